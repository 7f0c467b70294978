#include "Converters/SplitRun.h"

#include <map>
#include <vector>

#include "Converters/ConversionDrivers.h"
#include "Converters/CopyPlan.h"
#include "Converters/FullTableConversion.h"
#include "Converters/RoutineConversion.h"
#include "Converters/SourceQuery.h"
#include "Converters/TaskChoices.h"
#include "Converters/Verification.h"
#include "Converters/WorkFiles.h"
#include "Converters/WorkerContext.h"
#include "data/StatementExecution.h"
#include "translation/Naming.h"

namespace velmora {
namespace {

bool Run(WorkerContext& context, const std::string& statement, std::string* why = nullptr) {
    return ExecuteStatement(context.Log(), context.TargetSession(), statement, 0, why);
}

// The marker table lives in the run's target schema: every share and --finish of one run take
// the same --target-schema (the finish reseeds and verifies the tables there), so they all find
// it, and a login that may only use that schema can keep it. The default schema names it bare.
std::string MarkerTable(const WorkerContext& context) {
    return TargetObjectName(context.options.targetSchema, kSplitMarkerTable);
}

// Creates the marker table when it is missing. In a schema of its own, only once the schema
// exists: the tables' conversion creates it, after the type map's check, so that a share that
// fails that check has created nothing there.
std::string CreateMarkerStatement(const WorkerContext& context) {
    const std::string table = MarkerTable(context);
    const std::string& schema = context.options.targetSchema;
    const std::string guard = IsDefaultSchema(schema) ? "" : "SCHEMA_ID(N" + QuoteTargetString(schema) + ") IS NOT NULL AND ";
    return "IF " + guard + "OBJECT_ID(N" + QuoteTargetString(table) + ") IS NULL CREATE TABLE " + table +
           " (part int NOT NULL PRIMARY KEY, parts int NOT NULL, "
           "split nvarchar(32) NOT NULL, outcome nvarchar(16) NOT NULL, ended datetime2 NOT NULL)";
}

bool MarkersExist(WorkerContext& context) {
    SourceQuery probe(context.Log(), context.TargetSession(),
                      "select count_big(*) from " + MarkerTable(context), false);
    return probe.ok();
}

struct Marker {
    int parts = 0;
    std::string split;
    std::string outcome;
};

std::map<int, Marker> ReadMarkers(WorkerContext& context) {
    std::map<int, Marker> markers;
    SourceQuery rows(context.Log(), context.TargetSession(),
                     "select part, parts, split, outcome from " + MarkerTable(context), false);
    while (rows.ok() && rows.Next()) {
        markers[std::atoi(std::string(rows.Value(0)).c_str())] = {
            std::atoi(std::string(rows.Value(1)).c_str()), std::string(rows.Value(2)),
            std::string(rows.Value(3))};
    }
    return markers;
}

std::vector<std::string> SourceTables(WorkerContext& context) {
    std::vector<std::string> names;
    auto tables = ReadSourceCatalog(context.Log(), context.SourceSession(), "TABLE", "Open tables Error: ");
    if (!tables) return names;
    for (const TableRecord& record : *tables) {
        if (record.tableType != "VIEW") names.push_back(record.tableName);
    }
    return names;
}

// What keeps --finish from going on: a share missing, failed, or split differently.
std::vector<std::string> SharesNotIn(WorkerContext& context, const std::vector<std::string>& tables) {
    if (!MarkersExist(context)) {
        return {"no share of a split run has ended in [" + context.targetDatabase +
                "]: run the shares (--part I/N) first"};
    }
    std::map<int, Marker> markers = ReadMarkers(context);
    if (markers.empty()) return {"no share of the split run has ended yet"};
    const int parts = markers.begin()->second.parts;
    const PlanChoices choices{!context.options.autoBackup, true};
    const std::string split =
        SplitFingerprint(PlanCopyUnits(context, context.sourceDatabase, tables, choices), parts);
    std::vector<std::string> problems;
    for (int part = 1; part <= parts; ++part) {
        const std::string share = "share " + std::to_string(part) + " of " + std::to_string(parts);
        auto found = markers.find(part);
        if (found == markers.end()) {
            problems.push_back(share + " has not ended: run it (--part " + std::to_string(part) + "/" +
                               std::to_string(parts) + ")");
        } else if (found->second.parts != parts || found->second.split != split) {
            problems.push_back(share + " split the work differently (the source or the options "
                                       "changed since): run every share again");
        } else if (found->second.outcome != "SUCCESS") {
            problems.push_back(share + " ended " + found->second.outcome +
                               ": run it again, it completes what it left");
        }
    }
    return problems;
}

// Reseeds the identity of every table with rows and queues its foreign keys.
void ReseedAndQueueKeys(WorkerContext& context, const std::vector<std::string>& tables,
                        ConversionReport& report) {
    for (const std::string& table : tables) {
        TableReport entry;
        entry.name = table;
        FullTableTranslation translation;
        if (!TranslateTableForTask(context, context.sourceDatabase, table, entry, &report, translation)) continue;
        std::string error;
        std::optional<int64_t> rows =
            CountRows(context.Log(), context.TargetSession(), SqlDialect::Tsql, table, "", error,
                      context.options.targetSchema);
        if (rows && *rows > 0) {
            WorkFile file = OpenWorkFile(context.workFolder, table, "a+");
            ReseedIdentity(context, file, translation, entry, &report);
        }
        QueueTableForeignKeys(context, context.sourceDatabase, translation, &report);
    }
}

}  // namespace

bool BeginShare(WorkerContext& context) {
    std::string why;
    // Two shares may create it at once: the loser finds it there.
    if (!Run(context, CreateMarkerStatement(context), &why) && !MarkersExist(context)) {
        context.Log().WriteOutputLine("The split run's marker table cannot be created: %s", why.c_str());
        return false;
    }
    const std::string remove = "DELETE FROM " + MarkerTable(context) + " WHERE part = " + std::to_string(context.options.part);
    // A schema of its own may not exist yet, and the table with it: no marker to remove then.
    if (IsDefaultSchema(context.options.targetSchema)) return Run(context, remove);
    return Run(context, "IF OBJECT_ID(N" + QuoteTargetString(MarkerTable(context)) + ") IS NOT NULL " + remove);
}

bool EndShare(WorkerContext& context, const std::string& split, bool clean) {
    const std::string part = std::to_string(context.options.part);
    const char* outcome = clean ? "SUCCESS" : "FAILURE";
    // In a schema of its own the table may only now be possible (the share created the schema).
    const bool ready = IsDefaultSchema(context.options.targetSchema) || Run(context, CreateMarkerStatement(context));
    const bool marked =
        ready && Run(context, "DELETE FROM " + MarkerTable(context) + " WHERE part = " + part) &&
        Run(context, "INSERT INTO " + MarkerTable(context) +
                         " (part, parts, split, outcome, ended) VALUES (" + part + ", " +
                         std::to_string(context.options.parts) + ", N" + QuoteTargetString(split) +
                         ", N'" + outcome + "', SYSDATETIME())");
    context.Log().WriteOutputLine(marked ? "Share %d of %d ended %s" : "Share %d of %d ended %s, but its marker cannot be written",
                                  context.options.part, context.options.parts, outcome);
    return marked;
}

bool FinishSplitRun(WorkerContext& context, ConversionReport& report) {
    OperationLog& log = context.Log();
    const std::vector<std::string> tables = SourceTables(context);
    const std::vector<std::string> problems = SharesNotIn(context, tables);
    for (const std::string& problem : problems) {
        log.WriteOutputLine("FINISH: %s", problem.c_str());
        report.AddFailure(problem);
    }
    // The type map the shares used translates the tables again alike.
    if (!problems.empty() || !PrepareTaskChoices(context, &report)) return false;
    log.WriteOutputLine("Every share is in: the foreign keys, identities, views, routines, triggers and verification follow");
    ReseedAndQueueKeys(context, tables, report);
    CreatePendingForeignKeys(context, context.sourceDatabase, report);
    if (ConvertDatabaseProgrammables(context, context.sourceDatabase, &report) < 0) {
        report.AddFailure("the views and routines of [" + context.sourceDatabase + "] could not be listed");
    }
    const VerifyMode mode = context.options.verify == VerifyMode::Count ? VerifyMode::Count : VerifyMode::Full;
    VerifyDatabaseTables(context, context.sourceDatabase, mode, report);
    if (!report.Failed() && !report.Stopped() &&
        Run(context, "DROP TABLE " + MarkerTable(context))) {
        log.WriteOutputLine("The split run is complete: its marker table %s is dropped", MarkerTable(context).c_str());
    }
    return !report.Failed();
}

}  // namespace velmora
