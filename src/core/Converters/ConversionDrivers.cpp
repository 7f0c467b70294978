#include "Converters/ConversionDrivers.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Converters/ConversionReport.h"
#include "Converters/ForeignKeys.h"
#include "Converters/FullTableConversion.h"
#include "Converters/ParallelTables.h"
#include "Converters/RefusalNote.h"
#include "Converters/KeyBuilder.h"
#include "Converters/Resume.h"
#include "Converters/ResumeObjects.h"
#include "Converters/RowTransfer.h"
#include "Converters/SourceQuery.h"
#include "Converters/TaskChoices.h"
#include "Converters/TableDefinitionReader.h"
#include "Converters/ViewTranslator.h"
#include "translation/CreateTableParser.h"
#include "translation/FullViewTranslator.h"
#include "translation/Naming.h"
#include "Converters/WorkFiles.h"
#include "Converters/WorkerContext.h"
#include "data/StatementExecution.h"

namespace velmora {
namespace {

std::string Text(std::string_view view) { return std::string(view); }

void Fail(ConversionReport* report, const std::string& what) {
    if (report) report->AddFailure(what);
}

// Writes a key or index text to the work file and, when not empty, runs it on the target. A
// failure is followed by the driver's reason.
bool CreateKeys(WorkerContext& context, WorkFile& file, const std::string& text,
                const char* success, const char* failure, std::string& why) {
    file.Write(text);
    if (text.empty()) return true;
    bool created = ExecuteStatement(context.Log(), context.TargetSession(), text, 0, &why);
    if (created) {
        context.Log().WriteText(success);
    } else {
        context.Log().WriteGroup({failure, why});
    }
    return created;
}

// The tables one after the other. After a stop none is started: each is listed as not started.
void ConvertTablesOneByOne(WorkerContext& context, std::string_view database,
                           const std::vector<TableRecord>& tables, ConversionReport* report) {
    OperationLog& log = context.Log();
    const bool full = context.options.translation == TranslationMode::Full;
    bool stopped = false;
    for (const TableRecord& record : tables) {
        if (record.tableType == "VIEW") continue;
        if (context.StopRequested()) {
            if (!stopped) log.WriteText("Tables Converting Terminaled!");
            stopped = true;
            if (report) report->AddNotStarted("table", Text(database), record.tableName);
            continue;
        }
        if (!full && record.tableName.find(' ') != std::string::npos) {
            // Never silently: the table is named as skipped, and the task cannot end SUCCESS.
            log.WriteOutputLine("TABLE: [%s].[%s] SKIPPED: its name holds a blank",
                                Text(database).c_str(), record.tableName.c_str());
            if (report) report->AddSkipped(Text(database), record.tableName, "its name holds a blank");
            NoteRefusal(context, {"table", Text(database), record.tableName,
                                  "skipped: its name holds a blank (the Classic translation cannot "
                                  "name it; the Full translation can)", "", ""});
            continue;
        }
        ConvertTable(context, database, record.tableName, report);
    }
    if (!stopped && context.StopRequested()) log.WriteText("Tables Converting Terminaled!");
    if (report && context.StopRequested()) report->stopped = true;
}

}  // namespace

std::string RowCopyFailure(const RowCopyResult& rows) {
    std::vector<std::string> parts;
    if (rows.text != kTrueText) parts.push_back("the rows could not be read" + (rows.readFailed || rows.readError.empty() ? "" : ": " + rows.readError));
    if (rows.rowsFailed > 0) {
        parts.push_back(std::to_string(rows.rowsFailed) + " of " + std::to_string(rows.rowsRead) +
                        " rows failed");
    }
    if (rows.readFailed) {
        parts.push_back("reading the rows failed after " + std::to_string(rows.rowsRead) + " rows" +
                        (rows.readError.empty() ? "" : ": " + rows.readError));
    }
    if (rows.targetLost) parts.push_back(rows.TargetLostText());
    if (rows.backupFailed) parts.push_back("the data file could not be written");
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
    return text;
}

int ConvertDatabaseTables(WorkerContext& context, std::string_view database,
                          ConversionReport* report) {
    OperationLog& log = context.Log();
    log.WriteOutputLine("Convert Tables of database [%s]", Text(database).c_str());
    auto tables = ReadSourceCatalog(log, context.SourceSession(), "TABLE", "Open tables Error: ");
    if (!tables) {
        Fail(report, "tables of database " + Text(database) + ": the catalog cannot be opened");
        return -1;
    }
    // --exclude: the tables the user left out are not migrated (each said once).
    const std::vector<std::string>& excluded = context.options.exclude;
    auto isExcluded = [&](const std::string& name) {
        return std::find(excluded.begin(), excluded.end(), name) != excluded.end();
    };
    std::vector<std::string> tableNames;
    std::vector<TableRecord> kept;
    for (const TableRecord& record : *tables) {
        if (record.tableType == "VIEW") continue;
        if (isExcluded(record.tableName)) {
            log.WriteOutputLine("TABLE: [%s].[%s] left out (--exclude)", Text(database).c_str(), record.tableName.c_str());
            continue;
        }
        tableNames.push_back(record.tableName);
        kept.push_back(record);
    }
    // The schema and the type map before anything is created: nothing is when they fail.
    if (!PrepareTaskChoices(context, report) || !CheckTypeMapFits(context, database, tableNames, report) ||
        !EnsureTargetSchema(context, report)) {
        return 0;
    }
    context.choices.valuesChecked = true;
    const bool full = context.options.translation == TranslationMode::Full;
    // A split run always plans its share, even on one writer.
    if (full && ((context.options.jobs > 1 && context.openPeer) || context.options.Split())) {
        ConvertTablesInParallel(context, database, tableNames, report);
    } else {
        ConvertTablesOneByOne(context, database, kept, report);
    }
    if (context.StopRequested()) {
        // After a stop no object is created: the foreign keys waiting for their tables are listed.
        if (report) {
            for (const PendingForeignKey& key : report->foreignKeys) {
                report->AddNotStarted("foreign key", Text(database), key.table + "." + key.name);
            }
            report->foreignKeys.clear();
        }
    } else if (full && context.options.Split()) {
        // The shares' foreign keys wait for --finish, when every share's rows are in.
        if (report) report->foreignKeys.clear();
    } else if (full) {
        ConversionReport keys;
        ConversionReport& pending = report ? *report : keys;
        CreatePendingForeignKeys(context, database, pending);
    } else {
        ConvertForeignKeys(context, database, report);
    }
    return 0;
}

namespace {

// The classic translation of one table: the rewritten definition, then the primary key and the
// unique indexes from the source's index list, then the rows, one insert each.
int ConvertTableClassic(WorkerContext& context, std::string_view database, std::string_view table,
                        WorkFile& file, TableReport& outcome, ConversionReport* report) {
    OperationLog& log = context.Log();
    const std::string db = Text(database);
    std::string readFailure;
    std::string definition = TranslateTableDefinition(context.SourceSession(), database, table,
                                                      log, &readFailure);
    if (!readFailure.empty()) {
        log.WriteGroup({"TABLE: Create [" + db + "].[" + outcome.name + "] ERROR !", readFailure});
        outcome.failure = "its definition could not be read: " + readFailure;
        Fail(report, "table " + outcome.name + ": its definition could not be read: " + readFailure);
        return -1;
    }
    file.Write(definition);
    std::string why;
    if (!ExecuteStatement(log, context.TargetSession(), definition, 0, &why)) {
        log.WriteGroup({"TABLE: Create [" + db + "].[" + outcome.name + "] ERROR !", why});
        outcome.failure = why;
        Fail(report, "table " + outcome.name + ": create failed: " + why);
        return -1;
    }
    log.WriteOutputLine("Create table [%s] SUCCESSFULLY!!!", outcome.name.c_str());
    std::string keyFailure;
    std::string primaryKey = BuildPrimaryKeyStatement(log, context.SourceSession(),
                                                      context.TargetSession(), table, &keyFailure);
    if (!keyFailure.empty()) {
        log.WriteGroup({"Create PK failure!", keyFailure});
        outcome.primaryKeyFailed = true;
        outcome.StepFailed("primary key", "it could not be read: " + keyFailure);
        Fail(report, "table " + outcome.name + ": primary key could not be read");
    } else if (!CreateKeys(context, file, primaryKey, "Create PRIMARY KEY SUCCESSFULLY!!!",
                           "Create PK failure!", why)) {
        outcome.primaryKeyFailed = true;
        outcome.StepFailed("primary key", why);
        Fail(report, "table " + outcome.name + ": primary key failed");
    }
    std::string indexFailure;
    std::string indexes = BuildUniqueIndexStatements(
        log, context.SourceSession(), context.TargetSession(), table, &indexFailure);
    if (!indexFailure.empty()) {
        log.WriteGroup({"Create Index failure!", indexFailure});
        outcome.indexesFailed = true;
        outcome.StepFailed("index", "they could not be read: " + indexFailure);
        Fail(report, "table " + outcome.name + ": indexes could not be read");
    } else if (!CreateKeys(context, file, indexes, "Create Index SUCCESSFULLY!!!",
                           "Create Index failure!", why)) {
        outcome.indexesFailed = true;
        outcome.StepFailed("index", why);
        Fail(report, "table " + outcome.name + ": indexes failed");
    }
    outcome.rows = CopyTableRows(context, database, table);
    return 1;
}

}  // namespace

int ConvertTable(WorkerContext& context, std::string_view database, std::string_view table,
                 ConversionReport* report) {
    OperationLog& log = context.Log();
    TableReport outcome;
    outcome.name = Text(table);
    outcome.database = Text(database);
    const auto started = std::chrono::steady_clock::now();
    auto finish = [&](int result) {
        outcome.result = result;
        outcome.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        if (report) report->tables.push_back(outcome);
        return result;
    };
    if (!PrepareTaskChoices(context, report) ||
        (!context.choices.valuesChecked && !CheckTypeMapFits(context, database, {outcome.name}, report)) ||
        !EnsureTargetSchema(context, report)) {
        outcome.failure = "nothing was created: " + (report && !report->failures.empty() ? report->failures.back()
                                                                                          : std::string("see the log"));
        return finish(-1);
    }
    if (context.options.resume) {
        ResumePlan plan = PlanTableResume(context, database, table);
        if (plan.action != ResumeAction::Migrate) {
            auto copy = [&](std::string_view narrower) {
                return context.options.translation == TranslationMode::Full
                           ? CopyRowsFull(context, database, table, outcome, narrower)
                           : CopyTableRows(context, database, table, narrower);
            };
            if (!ResumeTable(context, table, plan, copy, outcome)) {
                outcome.StepFailed("resume", "the target's rows could not be prepared (see the log)");
                Fail(report, "table " + outcome.name + ": resume failed");
            } else if (!outcome.rows.Succeeded()) {
                Fail(report, "table " + outcome.name + ": " + RowCopyFailure(outcome.rows));
            }
            if (context.options.translation == TranslationMode::Full && !context.StopRequested()) {
                CompleteResumedTable(context, database, table, outcome, report);
            }
            return finish(1);
        }
        outcome.resume = "not on the target yet: migrated";
        log.WriteOutputLine("[%s] resume: %s", outcome.name.c_str(), outcome.resume.c_str());
    }
    WorkFile file = OpenWorkFile(context.workFolder, table, "w+");
    int result = -2;
    if (!file) {
        log.WriteText(kCharacterSetText);
        Fail(report, "table " + outcome.name + ": its work file cannot be opened");
    } else {
        log.WriteOutputLine("TABLE: [%s].[%s] Converting..... ", outcome.database.c_str(),
                            outcome.name.c_str());
        result = context.options.translation == TranslationMode::Full
                     ? ConvertTableFull(context, database, table, file, outcome, report)
                     : ConvertTableClassic(context, database, table, file, outcome, report);
        if (result == 1 && !outcome.rows.Succeeded()) {
            Fail(report, "table " + outcome.name + ": " + RowCopyFailure(outcome.rows));
        }
        if (result == 1 && !file.Close()) {
            log.WriteOutputLine("[%s] The work file could not be written completely!",
                                outcome.name.c_str());
        }
    }
    return finish(result);
}

namespace {

// The definitions of the source's tables that a view selects from: their keys and column types
// tell the translation what the view's grouping and text values mean. A table that cannot be
// read (or a view) is left out; what only it would prove stays refused.
std::vector<TableModel> ViewTableModels(WorkerContext& context, std::string_view database,
                                        std::string_view definition) {
    std::vector<TableModel> models;
    for (const std::string& table : ViewSourceTables(definition, database)) {
        SourceQuery query(context.Log(), context.SourceSession(), ShowCreateTableStatement(table),
                          false);
        if (!query.ok() || !query.Next()) continue;
        ParsedTable parsed = ParseCreateTable(query.Value(1));
        if (parsed.ok()) models.push_back(std::move(parsed.table));
    }
    return models;
}

}  // namespace

ViewStatement TranslateViewForTask(WorkerContext& context, std::string_view database,
                                   std::string_view view) {
    ViewStatement result;
    result.name = Text(view);
    OperationLog& log = context.Log();
    if (context.options.translation == TranslationMode::Classic) {
        result.text = TranslateViewDefinition(context.SourceSession(), database, view, log,
                                              &result.readFailure);
        return result;
    }
    std::string definition =
        ReadDefinition(log, context.SourceSession(), "show create view " + QuoteSourceName(view),
                       &result.readFailure);
    if (!result.readFailure.empty()) return result;
    result.definition = definition;
    FullViewTranslation full =
        TranslateViewFull(definition, view, NamesForTask(context, database), ViewTableModels(context, database, definition));
    result.untranslatable = full.untranslatable;
    result.text = full.statement;
    result.references = full.references;
    result.adjustments = full.adjustments;
    return result;
}

namespace {

// Writes the statement into "<view>.vw" and creates the view, with the lines of a view's
// conversion; true when the view was created. Without a statement translated beforehand, the
// view is read and translated after its "Converting" line.
bool CreateView(WorkerContext& context, std::string_view database, const std::string& name,
                const ViewStatement* translated, ConversionReport* report) {
    OperationLog& log = context.Log();
    // The view's entry in the report: created (result 1) or failed with the reason.
    std::vector<std::string> adjustments;
    auto record = [&](bool created, const std::string& failure) {
        if (!report) return created;
        TableReport entry;
        entry.kind = "view";
        entry.database = Text(database);
        entry.name = name;
        entry.result = created ? 1 : -1;
        entry.failure = failure;
        entry.adjustments = adjustments;
        entry.rows.text = std::string(kTrueText);
        report->tables.push_back(std::move(entry));
        return created;
    };
    if (context.options.resume && TargetViewExists(context, name)) {
        log.WriteOutputLine("[%s] resume: the view exists already: not created again", name.c_str());
        return record(true, "");
    }
    WorkFile file = OpenWorkFile(context.workFolder, name + ".vw", "w+");
    if (!file) {
        log.WriteText(kCharacterSetText);
        Fail(report, "view " + name + ": its work file cannot be opened");
        return record(false, "its work file cannot be opened");
    }
    log.WriteOutputLine("VIEW: [%s].[%s] Converting..... ", Text(database).c_str(), name.c_str());
    const ViewStatement view =
        translated ? *translated : TranslateViewForTask(context, database, name);
    if (!view.readFailure.empty() || !view.untranslatable.empty()) {
        const std::string why = !view.readFailure.empty()
                                    ? view.readFailure
                                    : "it cannot be translated: " + view.untranslatable;
        log.WriteGroup({"Create VIEW [" + name + "] failure!!!", why});
        const std::string failure =
            view.readFailure.empty() ? why : "its definition could not be read: " + why;
        NoteRefusal(context, {"view", Text(database), name, failure, view.definition,
                              SuggestedRewrite(view.untranslatable)});
        Fail(report, "view " + name + ": " + failure);
        return record(false, failure);
    }
    adjustments = view.adjustments;
    for (const std::string& adjustment : adjustments)
        log.WriteOutputLine("[%s] ADJUSTED %s", name.c_str(), adjustment.c_str());
    file.Write(view.text);
    std::string why;
    if (!ExecuteStatement(log, context.TargetSession(), view.text, 0, &why)) {
        log.WriteGroup({"Create VIEW [" + name + "] failure!!!", why});
        Fail(report, "view " + name + ": create failed: " + why);
        return record(false, why);
    }
    log.WriteOutputLine("Create VIEW [%s] SUCCESSFULLY!!!", name.c_str());
    if (report) report->viewsCreated.push_back(name);
    return record(true, "");
}

}  // namespace

namespace {

// Creates the views and their companions in the order of what each references (for views
// translated in Classic mode only the input order: functions, views, procedures).
void CreateInOrder(WorkerContext& context, std::string_view database,
                   const std::vector<std::string>& views,
                   std::map<std::string, ViewStatement>& translated,
                   const ViewCompanions& companions, ConversionReport* report) {
    std::vector<DependentObject> entries = companions.before;
    for (const std::string& name : views) {
        auto found = translated.find(name);
        const ViewStatement* view = found != translated.end() ? &found->second : nullptr;
        entries.push_back({name, view ? view->references : std::vector<std::string>{},
                           [&context, database, name, view, report] {
                               CreateView(context, database, name, view, report);
                           },
                           "view"});
    }
    entries.insert(entries.end(), companions.after.begin(), companions.after.end());
    std::vector<std::pair<std::string, std::vector<std::string>>> dependencies;
    for (const DependentObject& entry : entries) dependencies.emplace_back(entry.name, entry.references);
    std::vector<bool> done(entries.size(), false);
    bool stopped = false;
    // A view and a routine may share a name: each name takes the first entry of it not done.
    for (const std::string& name : OrderViewsByDependency(dependencies)) {
        for (size_t i = 0; i < entries.size(); ++i) {
            if (done[i] || entries[i].name != name) continue;
            done[i] = true;
            // After a stop nothing more is created; what is left is listed as not started.
            if (!context.StopRequested()) {
                entries[i].create();
            } else if (report) {
                report->AddNotStarted(entries[i].kind, Text(database), name);
            }
            break;
        }
        if (!stopped && context.StopRequested()) {
            stopped = true;
            context.Log().WriteText("Views Converting Terminaled!");
            if (report) report->stopped = true;
        }
    }
}

}  // namespace

int ConvertDatabaseViews(WorkerContext& context, std::string_view database,
                         ConversionReport* report, const ViewCompanions& companions) {
    OperationLog& log = context.Log();
    // Nothing of a task whose schema or type map failed is created.
    if (!EnsureTargetSchema(context, report)) return 0;
    log.WriteOutputLine("Convert Views of database [%s]", Text(database).c_str());
    auto catalog = ReadSourceCatalog(log, context.SourceSession(), "VIEW", "Open views Error: ");
    if (!catalog) {
        Fail(report, "views of database " + Text(database) + ": the catalog cannot be opened");
    }
    std::vector<std::string> names;
    for (const TableRecord& record : catalog ? *catalog : std::vector<TableRecord>{}) {
        if (record.tableType == "VIEW" && record.tableSchema != "sys" &&
            record.tableSchema != "INFORMATION_SCHEMA") {
            names.push_back(record.tableName);
        }
    }
    // Full mode: every definition is read and translated first, so that a view is created after
    // the views it selects from, whatever their names.
    std::map<std::string, ViewStatement> translated;
    if (context.options.translation == TranslationMode::Full) {
        for (const std::string& name : names)
            translated.emplace(name, TranslateViewForTask(context, database, name));
    }
    CreateInOrder(context, database, names, translated, companions, report);
    return catalog ? 0 : -1;
}

bool ConvertView(WorkerContext& context, std::string_view database, std::string_view view,
                 ConversionReport* report) {
    if (!EnsureTargetSchema(context, report)) return false;
    return CreateView(context, database, Text(view), nullptr, report);
}

}  // namespace velmora
