#include "Converters/Thread/WorkerBodies.h"

#include <thread>

#include "Converters/ConversionDrivers.h"
#include "Converters/ConversionReport.h"
#include "Converters/PatternService.h"
#include "Converters/TargetServer.h"
#include "backup/TargetBackup.h"
#include "data/StatementExecution.h"
#include "explorer/TreeFill.h"

namespace velmora {
namespace {

// The source unit named in the location messages of the selection failures.
constexpr const char* kUnit = "Thread";

Session* SessionOf(DataSourceConnection* connection) {
    return connection ? connection->session() : nullptr;
}

// "use on target/source": record the name as the tree's current database, then run
// "use <name>" on that side's connection.
bool UseOn(WorkerContext& context, TreeSide side, const std::string& database,
           bool withSemicolon = true) {
    MainWindowModel& window = *context.window;
    window.tree(side).SetCurrentDatabase(database);
    std::string statement = UseStatement(database, side == TreeSide::Source ? 0 : 1);
    if (!withSemicolon && !statement.empty() && statement.back() == ';') statement.pop_back();
    DataSourceConnection* connection =
        side == TreeSide::Source ? context.sourceConnection : context.targetConnection;
    return ExecuteStatement(window, SessionOf(connection), statement, 0);
}

void ReloadTarget(WorkerContext& context) {
    FillDatabaseTree(*context.window, context.window->targetTree());
}

void SourceSelectError(WorkerContext& context, int location) {
    context.window->log().WriteOutputLine("[%s](%d)Select Source Database[%s] Error!", kUnit,
                                          location, context.sourceDatabase.c_str());
}

// Names every failed object in the log; true when nothing failed. The tables' counts are kept
// for the run's summary.
bool Clean(WorkerContext& context, const ConversionReport& report) {
    context.window->RecordTables(report.tables);
    for (const std::string& failure : report.failures) {
        context.window->log().WriteOutputLine("FAILED: %s", failure.c_str());
    }
    return !report.Failed();
}

bool Clean(WorkerContext& context, const BackupReport& report) {
    for (const std::string& failure : report.failures) {
        context.window->log().WriteOutputLine("FAILED: %s", failure.c_str());
    }
    return report.failures.empty();
}

// Tables, then their foreign keys, then views, with the progress milestones of a whole
// database (50 after the tables, then `afterViews`).
bool ConvertWholeDatabase(WorkerContext& context, int afterViews) {
    ConversionReport report;
    Session* source = SessionOf(context.sourceConnection);
    if (ConvertDatabaseTables(*context.window, source, context.sourceDatabase, &report) < 0) {
        report.AddFailure("the tables of [" + context.sourceDatabase + "] could not be listed");
    }
    context.SetProgress(50);
    if (ConvertDatabaseViews(*context.window, source, context.sourceDatabase, &report) < 0) {
        report.AddFailure("the views of [" + context.sourceDatabase + "] could not be listed");
    }
    context.SetProgress(afterViews);
    return Clean(context, report);
}

// The one-object tasks select both databases (with tree rebuilds) before converting.
bool SelectForObject(WorkerContext& context, int sourceLocation) {
    MainWindowModel& window = *context.window;
    if (!UseDatabase(window, context.targetDatabase, 1)) {
        window.log().WriteOutputLine("Select Target Database[%s] Error!",
                                     context.targetDatabase.c_str());
        return false;
    }
    if (!UseDatabase(window, context.sourceDatabase, 0)) {
        SourceSelectError(context, sourceLocation);
        return false;
    }
    return true;
}

}  // namespace

bool RunCloneDatabaseTask(WorkerContext& context) {
    MainWindowModel& window = *context.window;
    std::string name = context.targetDatabase;
    if (!CreateDatabase(window, name, true)) {
        window.log().WriteOutputLine("Create Target Database [%s] Error!", name.c_str());
        return false;
    }
    const char* drivePrefix = "^[a-zA-Z]:\\\\";
    if (LastMatch(name, drivePrefix).size() == 3) name = ReplaceAll(name, drivePrefix, "");
    if (!UseDatabase(window, name, 1)) return false;
    window.targetTree().SetCurrentDatabase(name);
    window.targetSettings.catalogName = name;
    if (!UseDatabase(window, context.sourceDatabase, 0)) {
        SourceSelectError(context, 319);
        return false;
    }
    bool clean = ConvertWholeDatabase(context, 100);
    ReloadTarget(context);
    return clean;
}

bool RunDatabaseTask(WorkerContext& context) {
    MainWindowModel& window = *context.window;
    if (!UseOn(context, TreeSide::Target, context.targetDatabase)) {
        window.log().WriteOutputLine("[%s](%d)Select Target Database [%s] Error!", kUnit, 375,
                                     context.targetDatabase.c_str());
        return false;
    }
    if (!UseOn(context, TreeSide::Source, context.sourceDatabase)) {
        SourceSelectError(context, 394);
        return false;
    }
    bool clean = ConvertWholeDatabase(context, 90);
    ReloadTarget(context);
    context.SetProgress(100);
    return clean;
}

bool RunTablesTask(WorkerContext& context) {
    MainWindowModel& window = *context.window;
    if (!UseOn(context, TreeSide::Target, context.targetDatabase)) {
        window.log().WriteOutputLine("[%s](%d)Select Target Database[%s] Error!", kUnit, 451,
                                     context.targetDatabase.c_str());
        return false;
    }
    if (!UseOn(context, TreeSide::Source, context.sourceDatabase)) {
        SourceSelectError(context, 473);
        return false;
    }
    ConversionReport report;
    if (ConvertDatabaseTables(window, SessionOf(context.sourceConnection),
                              context.sourceDatabase, &report) < 0) {
        report.AddFailure("the tables of [" + context.sourceDatabase + "] could not be listed");
    }
    context.SetProgress(90);
    ReloadTarget(context);
    context.SetProgress(100);
    return Clean(context, report);
}

bool RunViewsTask(WorkerContext& context) {
    if (!UseOn(context, TreeSide::Target, context.targetDatabase)) return false;
    if (!UseOn(context, TreeSide::Source, context.sourceDatabase)) return false;
    ConversionReport report;
    if (ConvertDatabaseViews(*context.window, SessionOf(context.sourceConnection),
                             context.sourceDatabase, &report) < 0) {
        report.AddFailure("the views of [" + context.sourceDatabase + "] could not be listed");
    }
    context.SetProgress(90);
    ReloadTarget(context);
    context.SetProgress(100);
    return Clean(context, report);
}

bool RunTableTask(WorkerContext& context) {
    if (!SelectForObject(context, 587)) return false;
    ConversionReport report;
    ConvertTable(*context.window, SessionOf(context.sourceConnection), context.sourceDatabase,
                 context.sourceObject, &report);
    context.SetProgress(90);
    ReloadTarget(context);
    context.SetProgress(100);
    return Clean(context, report);
}

bool RunViewTask(WorkerContext& context) {
    if (!SelectForObject(context, 650)) return false;
    ConversionReport report;
    bool created = ConvertView(*context.window, SessionOf(context.sourceConnection),
                               context.sourceDatabase, context.sourceObject, &report);
    context.SetProgress(90);
    ReloadTarget(context);
    context.SetProgress(100);
    return Clean(context, report) && created;
}

bool RunBackupDatabaseTask(WorkerContext& context) {
    MainWindowModel& window = *context.window;
    if (!UseDatabase(window, context.targetDatabase, 1)) return false;
    BackupReport report;
    if (context.objectKind == "A" || context.objectKind == "T") {
        BackupDatabaseTables(window, context.targetConnection, context.targetDatabase, &report);
    }
    context.SetProgress(50);
    if (context.objectKind == "A" || context.objectKind == "V") {
        BackupDatabaseViews(window, context.targetConnection, context.targetDatabase, &report);
    }
    context.SetProgress(100);
    return Clean(context, report);
}

bool RunBackupObjectTask(WorkerContext& context) {
    MainWindowModel& window = *context.window;
    if (!UseOn(context, TreeSide::Target, context.targetDatabase, false)) return false;
    BackupReport report;
    if (context.objectKind == "T") {
        BackupTable(window, context.targetConnection, context.targetDatabase,
                    context.targetObject, &report);
    }
    context.SetProgress(50);
    if (context.objectKind == "V") {
        BackupView(window, context.targetConnection, context.targetDatabase, context.targetObject,
                   &report);
    }
    context.SetProgress(100);
    return Clean(context, report);
}

WorkerBodies MakeWorkerBodies() {
    return {
        {TaskType::CloneDatabase, RunCloneDatabaseTask},
        {TaskType::Database, RunDatabaseTask},
        {TaskType::Tables, RunTablesTask},
        {TaskType::Views, RunViewsTask},
        {TaskType::Table, RunTableTask},
        {TaskType::View, RunViewTask},
        {TaskType::BackupDatabase, RunBackupDatabaseTask},
        {TaskType::BackupObject, RunBackupObjectTask},
    };
}

}  // namespace velmora
