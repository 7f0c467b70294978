#include "Converters/Thread/WorkerBodies.h"

#include <map>

#include "Converters/BulkCheck.h"
#include "Converters/ConversionDrivers.h"
#include "Converters/ConversionReport.h"
#include "Converters/ParallelTables.h"
#include "Converters/RunLock.h"
#include "Converters/RoutineConversion.h"
#include "Converters/SourceServer.h"
#include "Converters/SplitRun.h"
#include "translation/Collations.h"
#include "translation/PatternService.h"
#include "Converters/TargetServer.h"
#include "Converters/Thread/TaskTarget.h"
#include "Converters/Verification.h"
#include "backup/TargetBackup.h"
#include "config/WorkFolder.h"
#include "data/ErrorText.h"
#include "data/StatementExecution.h"
#include "follow/FollowTask.h"

namespace velmora {
namespace {

// The source unit named in the location messages of the selection failures.
constexpr const char* kUnit = "Thread";

// "use" on one side of the task's own connections; the semicolon is left out where a worker has
// always sent the bare statement.
bool UseOn(WorkerContext& context, TreeSide side, const std::string& database,
           bool withSemicolon = true) {
    std::string statement = UseStatement(database, side == TreeSide::Source ? 0 : 1);
    if (!withSemicolon && !statement.empty() && statement.back() == ';') statement.pop_back();
    Session* session =
        side == TreeSide::Source ? context.SourceSession() : context.TargetSession();
    return ExecuteStatement(context.Log(), session, statement, 0);
}

void ReloadTarget(WorkerContext& context) {
    if (context.targetChanged) context.targetChanged();
}

void SourceSelectError(WorkerContext& context, int location) {
    context.Log().WriteOutputLine("[%s](%d)Select Source Database[%s] Error!", kUnit, location,
                                  context.sourceDatabase.c_str());
}

// Names every failed object in the log; true when nothing failed. The tables' counts are kept
// for the run's summary. A migration queued with a verification verifies its tables first.
bool Clean(WorkerContext& context, ConversionReport& report) {
    VerifyMigratedTables(context, context.options.verify, report);
    if (report.Stopped()) report.AddStopRow(context.sourceDatabase);
    report.ExplainFailures(context.sourceDatabase);
    if (context.tablesConverted) context.tablesConverted(report.tables);
    for (const std::string& failure : report.failures) {
        context.Log().WriteOutputLine("FAILED: %s", failure.c_str());
    }
    // A stopped migration is incomplete: never a SUCCESS.
    if (report.Stopped()) context.Log().WriteText("FAILED: stopped before the end");
    return !report.Failed() && !report.Stopped();
}

bool Clean(WorkerContext& context, const BackupReport& report) {
    for (const std::string& failure : report.failures) {
        context.Log().WriteOutputLine("FAILED: %s", failure.c_str());
    }
    return report.failures.empty();
}

// One share of a split run: its tables only, between its markers; idempotent (as a resumed run),
// and verified by --finish, when every share is in.
bool ConvertShare(WorkerContext& context) {
    context.options.resume = true;
    context.options.verify = VerifyMode::None;
    if (!BeginShare(context)) return false;
    ConversionReport report;
    if (ConvertDatabaseTables(context, context.sourceDatabase, &report) < 0) {
        report.AddFailure("the tables of [" + context.sourceDatabase + "] could not be listed");
    }
    const bool clean = Clean(context, report);
    return EndShare(context, report.split, clean) && clean;
}

// The end of a split run: foreign keys, identities, views and the verification, once every
// share is in.
bool FinishSplit(WorkerContext& context) {
    context.options.resume = true;
    ConversionReport report;
    FinishSplitRun(context, report);
    context.options.verify = VerifyMode::None;  // verified already
    return Clean(context, report);
}

// Tables, then their foreign keys, then functions, views and procedures, then triggers (after
// the rows), with the progress milestones of a whole database (50 after the tables, then
// `afterViews`).
bool ConvertWholeDatabase(WorkerContext& context, int afterViews) {
    if (context.options.finish) return FinishSplit(context);
    if (context.options.Split()) return ConvertShare(context);
    ConversionReport report;
    report.wholeDatabase = true;
    if (ConvertDatabaseTables(context, context.sourceDatabase, &report) < 0) {
        report.AddFailure("the tables of [" + context.sourceDatabase + "] could not be listed");
    }
    context.SetProgress(50);
    ConvertDatabaseProgrammables(context, context.sourceDatabase, &report);
    context.SetProgress(afterViews);
    return Clean(context, report);
}

// The one-object tasks select both databases before converting.
bool SelectForObject(WorkerContext& context, int sourceLocation) {
    if (!UseOn(context, TreeSide::Target, context.targetDatabase)) {
        context.Log().WriteOutputLine("Select Target Database[%s] Error!",
                                      context.targetDatabase.c_str());
        return false;
    }
    if (!UseOn(context, TreeSide::Source, context.sourceDatabase)) {
        SourceSelectError(context, sourceLocation);
        return false;
    }
    return true;
}

const std::map<TaskType, bool (*)(WorkerContext&)>& Bodies() {
    static const std::map<TaskType, bool (*)(WorkerContext&)> bodies = {
        {TaskType::CloneDatabase, RunCloneDatabaseTask},
        {TaskType::Database, RunDatabaseTask},
        {TaskType::Tables, RunTablesTask},
        {TaskType::Views, RunViewsTask},
        {TaskType::Table, RunTableTask},
        {TaskType::View, RunViewTask},
        {TaskType::BackupDatabase, RunBackupDatabaseTask},
        {TaskType::BackupObject, RunBackupObjectTask},
        {TaskType::VerifyDatabase, RunVerifyDatabaseTask},
        {TaskType::VerifyTable, RunVerifyTableTask},
    };
    return bodies;
}

// The work folder of a task: data_cache for migrations, the chosen backup folder for backups.
std::string WorkFolderOf(const TaskEnvironment& environment, const MigrationTask& task) {
    if (task.category() == TaskCategory::Migration) return EnsureWorkFolder("./data_cache");
    std::optional<std::string> chosen =
        environment.backupFolder ? environment.backupFolder() : std::nullopt;
    if (!chosen) return EnsureWorkFolder("./backup");
    std::string folder = *chosen;
    if (folder.empty() || folder.back() != '/') folder += '/';
    return MakeFolders(folder) ? folder : std::string();
}

// A peer of `main` for parallel tables: the same task on connections of its own, on the same
// databases.
std::unique_ptr<WorkerContext> OpenPeer(const TaskEnvironment& environment,
                                        const WorkerContext& main) {
    std::unique_ptr<WorkerContext> peer = main.NewPeer();
    OperationLog& log = main.Log();
    peer->sourceConnection = OpenTaskConnection(log, TreeSide::Source,
                                                environment.settings(TreeSide::Source),
                                                environment.connectionFactory);
    if (!peer->sourceConnection) return nullptr;
    peer->targetConnection = OpenPeerTarget(environment, log, main.targetKind, main.targetDatabase);
    if (!peer->targetConnection) return nullptr;
    if (!UseOn(*peer, TreeSide::Source, peer->sourceDatabase) ||
        !UseOn(*peer, TreeSide::Target, peer->targetDatabase)) {
        return nullptr;
    }
    return peer;
}

// A target connection of its own for a bulk copy of `main`'s task, on its target database.
std::unique_ptr<DataSourceConnection> OpenBulkTarget(const TaskEnvironment& environment,
                                                     const WorkerContext& main) {
    OperationLog& log = main.Log();
    std::unique_ptr<DataSourceConnection> target =
        OpenPeerTarget(environment, log, main.targetKind, main.targetDatabase);
    if (!target || !target->session()) return nullptr;
    if (!ExecuteStatement(log, target->session(), UseStatement(main.targetDatabase, 1), 0)) return nullptr;
    return target;
}

// The environment of one task with the settings read once, when it starts: the task's own
// connections, the ones it opens later (another database, a peer for tables at once) and its
// peers' all come from the same settings, whatever the interface thread changes meanwhile.
TaskEnvironment WithSettingsOfNow(const TaskEnvironment& environment) {
    TaskEnvironment own = environment;
    if (environment.settings) {
        const ConnectionSettings source = environment.settings(TreeSide::Source);
        const ConnectionSettings target = environment.settings(TreeSide::Target);
        own.settings = [source, target](TreeSide side) {
            return side == TreeSide::Source ? source : target;
        };
    }
    return own;
}

// What a run lock says a migration task runs: "migrate database --resume".
std::string TaskCommand(const MigrationTask& task) {
    static const std::map<TaskType, const char*> kinds = {
        {TaskType::CloneDatabase, "clone"}, {TaskType::Database, "database"}, {TaskType::Tables, "tables"},
        {TaskType::Views, "views"},         {TaskType::Table, "table"},       {TaskType::View, "view"},
    };
    const TaskOptions& options = task.options;
    if (options.followOnly) return "follow";
    auto kind = kinds.find(task.type);
    std::string command = std::string("migrate ") + (kind == kinds.end() ? "" : kind->second);
    if (options.resume) command += " --resume";
    if (options.finish) command += " --finish";
    if (options.Split()) command += " --part " + std::to_string(options.part) + "/" + std::to_string(options.parts);
    if (options.follow) command += " --follow";
    return command;
}

// One run at a time per target database: a migration task holds the run lock of its target
// database until it ends, unless this process holds it already (the command line takes it
// before its tasks, so that a second run is refused before anything starts). The shares of a
// split run hold it together.
bool LockTaskTarget(const TaskEnvironment& environment, const MigrationTask& task, WorkerContext& context,
                    std::unique_ptr<RunLock>& lock) {
    if (environment.lockProgram.empty() || RunLock::HeldHere(context.targetDatabase)) return true;
    OperationLog& log = context.Log();
    std::unique_ptr<DataSourceConnection> connection =
        OpenPeerTarget(environment, log, context.targetKind, context.targetDatabase);
    std::string refusal;
    lock = RunLock::Acquire(std::move(connection), context.targetDatabase,
                            environment.lockProgram + " " + TaskCommand(task),
                            task.options.Split() ? RunLock::Mode::Shared : RunLock::Mode::Exclusive, refusal);
    if (!lock) log.WriteText("FAILED: " + refusal);
    return lock != nullptr;
}

bool RunOneTask(const TaskEnvironment& shared, MigrationTask& task) {
    const TaskEnvironment environment = WithSettingsOfNow(shared);
    OperationLog& log = *environment.log;
    auto body = Bodies().find(task.type);
    if (body == Bodies().end()) {
        log.WriteOutputLine("No worker for task type %d!", static_cast<int>(task.type));
        return false;
    }
    WorkerContext context;
    context.stamp = task.stamp;
    context.log = environment.log;
    ControllerStateCell* state = environment.state;
    context.stopCheck = [state] { return state && state->StopRequested(); };
    context.options = task.options;
    if (environment.conditionFile) context.conditionFile = environment.conditionFile();
    context.sourceObject = task.sourceObject;
    context.sourceDatabase = task.sourceDatabase;
    context.targetObject = task.targetObject;
    context.targetDatabase = task.targetDatabase;
    context.objectKind = task.objectKind;
    context.progress = &task.progress;
    context.statusNote = [&task](const std::string& note) { task.SetNote(note); };
    context.followRecorded = [&task](const FollowRecord& record) { task.SetFollow(record); };
    context.targetChanged = environment.targetChanged;
    context.tablesConverted = environment.tablesConverted;
    context.tableProgress = environment.tableProgress;
    context.workFolder = WorkFolderOf(environment, task);
    if (context.workFolder.empty()) {
        log.WriteText(FormatLastSystemError("The work folder cannot be made!"));
        return false;
    }
    // The task's own connections: the window's browsing connections stay the user's.
    if (task.category() == TaskCategory::Migration) {
        context.sourceConnection = OpenTaskConnection(
            log, TreeSide::Source, environment.settings(TreeSide::Source),
            environment.connectionFactory);
        if (!context.sourceConnection) return false;
    }
    if (!OpenTaskTarget(environment, task, context)) return false;
    if (task.category() == TaskCategory::Migration) {
        context.openPeer = [&environment, &context] { return OpenPeer(environment, context); };
        context.openBulkTarget = [&environment, &context] { return OpenBulkTarget(environment, context); };
        context.bulkGate = std::make_shared<BulkGate>();
    }
    std::unique_ptr<RunLock> lock;
    if (task.category() == TaskCategory::Migration) {
        context.lockTarget = [&environment, &task, &context, &lock] {
            return LockTaskTarget(environment, task, context, lock);
        };
        if (task.type != TaskType::CloneDatabase && !context.lockTarget()) {
            context.targetConnection->Close();
            context.sourceConnection->Close();
            return false;
        }
    }
    bool succeeded = body->second(context);
    // A stopped migration keeps what it copied; the line says how to complete it.
    if (context.StopRequested() && task.category() == TaskCategory::Migration) {
        log.WriteText("STOPPED: what was copied stays; run the migration again with resume "
                      "(--resume on the command line) to complete it.");
    }
    if (context.targetConnection) context.targetConnection->Close();
    if (context.sourceConnection) context.sourceConnection->Close();
    if (lock) lock->Release();
    return succeeded;
}

}  // namespace

TaskRunner MakeTaskRunner(TaskEnvironment environment) {
    return [environment = std::move(environment)](MigrationTask& task) {
        return RunOneTask(environment, task);
    };
}

namespace {

// A failure right after the run created the database: the empty database goes again (only
// it: nothing else was created), or its name is said when it cannot be dropped.
void DropCreatedDatabase(WorkerContext& context, const std::string& name) {
    OperationLog& log = context.Log();
    const bool connected = WorksInOneDatabase(context.targetKind)
                               ? context.openTargetOn && context.openTargetOn("master")
                               : UseDatabase(log, context.TargetSession(), "master", 1);
    if (connected && DropDatabase(log, context.TargetSession(), name)) {
        log.WriteOutputLine("The database [%s] that this run created was dropped again.", name.c_str());
        return;
    }
    log.WriteOutputLine("The database [%s] that this run created is left on the target, empty: drop it "
                        "before another try.", name.c_str());
}

}  // namespace

bool RunCloneDatabaseTask(WorkerContext& context) {
    OperationLog& log = context.Log();
    std::string name = context.targetDatabase;
    if (const std::string why = UnconnectableDatabaseName(context.targetKind, name); !why.empty()) {
        log.WriteOutputLine("Create Target Database [%s] refused: %s", name.c_str(), why.c_str());
        return false;
    }
    // In Full the clone compares text as the source database does; Babelfish takes no collation
    // but its own default there (its columns carry theirs).
    std::string collation;
    if (context.options.translation == TranslationMode::Full && context.targetKind != TargetKind::Babelfish) {
        collation = TargetCollation(SourceDatabaseCollation(log, context.SourceSession(), context.sourceDatabase));
    }
    if (!CreateDatabase(log, context.TargetSession(), name, collation)) {
        log.WriteOutputLine("Create Target Database [%s] Error!", name.c_str());
        return false;
    }
    const char* drivePrefix = "^[a-zA-Z]:\\\\";
    if (LastMatch(name, drivePrefix).size() == 3) name = ReplaceAll(name, drivePrefix, "");
    context.targetDatabase = name;
    // A target that works in one database is connected to the new one instead of `use`.
    const bool selected = WorksInOneDatabase(context.targetKind)
                              ? context.openTargetOn && context.openTargetOn(name)
                              : UseDatabase(log, context.TargetSession(), name, 1);
    if (!selected) {
        DropCreatedDatabase(context, name);
        return false;
    }
    if (!UseDatabase(log, context.SourceSession(), context.sourceDatabase, 0)) {
        SourceSelectError(context, 319);
        DropCreatedDatabase(context, name);
        return false;
    }
    // The new database is this run's from here on; no other run can have it yet.
    if (context.lockTarget && !context.lockTarget()) return false;
    bool clean = ConvertWholeDatabase(context, 100);
    ReloadTarget(context);
    return clean;
}

bool RunDatabaseTask(WorkerContext& context) {
    if (!UseOn(context, TreeSide::Target, context.targetDatabase)) {
        context.Log().WriteOutputLine("[%s](%d)Select Target Database [%s] Error!", kUnit, 375,
                                      context.targetDatabase.c_str());
        return false;
    }
    if (!UseOn(context, TreeSide::Source, context.sourceDatabase)) {
        SourceSelectError(context, 394);
        return false;
    }
    // Online migration: follow alone (follow SRC TGT), or record the position before the copy
    // reads its first row and follow after it. A share of a split run records nothing.
    if (context.options.followOnly) return RunFollowTask(context);
    const bool follow = context.options.follow && !context.options.Split() && !context.options.finish;
    if (follow && !RecordFollowStart(context)) return false;
    bool clean = ConvertWholeDatabase(context, 90);
    ReloadTarget(context);
    context.SetProgress(100);
    if (clean && follow && !context.StopRequested()) clean = RunFollowTask(context);
    return clean;
}

bool RunTablesTask(WorkerContext& context) {
    if (!UseOn(context, TreeSide::Target, context.targetDatabase)) {
        context.Log().WriteOutputLine("[%s](%d)Select Target Database[%s] Error!", kUnit, 451,
                                      context.targetDatabase.c_str());
        return false;
    }
    if (!UseOn(context, TreeSide::Source, context.sourceDatabase)) {
        SourceSelectError(context, 473);
        return false;
    }
    ConversionReport report;
    if (ConvertDatabaseTables(context, context.sourceDatabase, &report) < 0) {
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
    if (ConvertDatabaseViews(context, context.sourceDatabase, &report) < 0) {
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
    // A big table is cut into key ranges that several writers copy at once.
    if (context.options.translation == TranslationMode::Full && context.options.jobs > 1 && context.openPeer) {
        ConvertTablesInParallel(context, context.sourceDatabase, {context.sourceObject}, &report);
    } else {
        ConvertTable(context, context.sourceDatabase, context.sourceObject, &report);
    }
    context.SetProgress(90);
    ReloadTarget(context);
    context.SetProgress(100);
    return Clean(context, report);
}

bool RunViewTask(WorkerContext& context) {
    if (!SelectForObject(context, 650)) return false;
    ConversionReport report;
    bool created = ConvertView(context, context.sourceDatabase, context.sourceObject, &report);
    context.SetProgress(90);
    ReloadTarget(context);
    context.SetProgress(100);
    return Clean(context, report) && created;
}

bool RunBackupDatabaseTask(WorkerContext& context) {
    if (!UseDatabase(context.Log(), context.TargetSession(), context.targetDatabase, 1)) {
        return false;
    }
    BackupReport report;
    if (context.objectKind == "A" || context.objectKind == "T") {
        BackupDatabaseTables(context, context.targetDatabase, &report);
    }
    context.SetProgress(50);
    if (context.objectKind == "A" || context.objectKind == "V") {
        BackupDatabaseViews(context, context.targetDatabase, &report);
    }
    if (context.objectKind == "A") BackupDatabaseRoutines(context, context.targetDatabase, &report);
    context.SetProgress(100);
    return Clean(context, report);
}

bool RunBackupObjectTask(WorkerContext& context) {
    if (!UseOn(context, TreeSide::Target, context.targetDatabase, false)) return false;
    BackupReport report;
    if (context.objectKind == "T") {
        BackupTable(context, context.targetDatabase, context.targetObject, &report);
    }
    context.SetProgress(50);
    if (context.objectKind == "V") {
        BackupView(context, context.targetDatabase, context.targetObject, &report);
    }
    context.SetProgress(100);
    return Clean(context, report);
}

namespace {

VerifyMode VerifyModeOf(const WorkerContext& context) {
    return context.options.verify == VerifyMode::Count ? VerifyMode::Count : VerifyMode::Full;
}

}  // namespace

bool RunVerifyDatabaseTask(WorkerContext& context) {
    if (!SelectForObject(context, 700)) return false;
    ConversionReport report;
    VerifyDatabaseTables(context, context.sourceDatabase, VerifyModeOf(context), report);
    context.SetProgress(100);
    return Clean(context, report);
}

bool RunVerifyTableTask(WorkerContext& context) {
    if (!SelectForObject(context, 710)) return false;
    ConversionReport report;
    VerifyIntoReport(context, context.sourceDatabase, context.sourceObject, VerifyModeOf(context),
                     report);
    context.SetProgress(100);
    return Clean(context, report);
}

}  // namespace velmora
