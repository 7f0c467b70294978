#include "RunReport.h"

#include <algorithm>
#include <cstdio>

namespace velmora::cli {
namespace {

JsonDocument JsonOptional(const std::optional<std::string>& text) {
    return text ? JsonDocument(*text) : JsonDocument(nullptr);
}

JsonDocument VerificationJson(const TableVerification& v) {
    JsonDocument differences = JsonDocument::array();
    for (const VerificationDifference& d : v.differences) {
        differences.push_back({{"kind", d.kind}, {"key", d.key}, {"column", d.column},
                               {"source", JsonOptional(d.source)}, {"target", JsonOptional(d.target)}});
    }
    return {{"mode", v.mode}, {"matches", v.Matches()}, {"sourceRows", v.sourceRows},
            {"targetRows", v.targetRows}, {"rowsCompared", v.rowsCompared}, {"missing", v.missing},
            {"extra", v.extra}, {"different", v.different},
            {"countOnly", v.mode == "count" || !v.note.empty()}, {"note", v.note},
            {"error", v.error}, {"stopped", v.stopped}, {"differences", differences}};
}

}  // namespace

std::vector<TableReport> MergeTableEntries(const std::vector<TableReport>& recorded) {
    std::vector<TableReport> merged;
    for (const TableReport& table : recorded) {
        TableReport* earlier = nullptr;
        for (TableReport& entry : merged) {
            if (entry.kind == table.kind && entry.database == table.database &&
                entry.name == table.name) {
                earlier = &entry;
            }
        }
        // A verification task's entry (nothing migrated) completes the migration's entry.
        if (earlier && table.result == 0 && table.skipped.empty() && table.verification) {
            earlier->verification = table.verification;
        } else {
            merged.push_back(table);
        }
    }
    return merged;
}

namespace {

std::string VerificationColumn(const TableReport& table) {
    if (!table.verification) return "-";
    const TableVerification& v = *table.verification;
    return v.mode + (v.Matches() ? " MATCH" : " MISMATCH") + ": " + std::to_string(v.rowsCompared) +
           " compared, " + std::to_string(v.missing) + " missing, " + std::to_string(v.extra) +
           " extra, " + std::to_string(v.different) + " different" +
           (v.error.empty() ? "" : " (" + v.error + ")");
}

bool Stopped(const TableReport& table) { return ObjectOutcome(table) == "stopped"; }

bool Failed(const TableReport& table) {
    const std::string outcome = ObjectOutcome(table);
    return outcome == "failed" || outcome == "skipped" || !table.schemaState.empty() ||
           (table.verification && !table.verification->Matches());
}

}  // namespace

void PrintSummaryTable(const std::vector<TableReport>& tables) {
    if (tables.empty()) return;
    int nameWidth = 6;
    int kindWidth = 4;
    int outcomeWidth = 8;
    for (const TableReport& table : tables) {
        nameWidth = std::max(nameWidth, static_cast<int>((table.database + "." + table.name).size()));
        kindWidth = std::max(kindWidth, static_cast<int>(table.kind.size()));
        outcomeWidth = std::max(outcomeWidth, static_cast<int>(ObjectOutcome(table).size()));
    }
    std::printf("\n%-*s  %-*s  %-*s %12s %12s %11s %9s  %s\n", nameWidth, "object", kindWidth,
                "kind", outcomeWidth, "outcome", "rows read", "rows written", "rows failed", "seconds",
                "verification");
    for (const TableReport& table : tables) {
        std::string reason;
        const std::string outcome = ObjectOutcome(table, &reason);
        std::printf("%-*s  %-*s  %-*s %12lld %12lld %11lld %9.2f  %s\n", nameWidth,
                    (table.database + "." + table.name).c_str(), kindWidth, table.kind.c_str(),
                    outcomeWidth, outcome.c_str(), static_cast<long long>(table.rows.rowsRead),
                    static_cast<long long>(table.rows.rowsWritten),
                    static_cast<long long>(table.rows.rowsFailed), table.seconds,
                    VerificationColumn(table).c_str());
        const std::string step = FailedStep(table);
        if (!reason.empty()) {
            const bool named = outcome != "failed" || step.empty() || reason.rfind(step, 0) == 0;
            std::printf("    %s%s\n", named ? "" : (step + ": ").c_str(), reason.c_str());
        }
        if (!table.resume.empty()) std::printf("    resume: %s\n", table.resume.c_str());
    }
}

std::string TaskTitle(const MigrationTask& task) {
    const std::string& from = task.sourceDatabase;
    const std::string& to = task.targetDatabase;
    switch (task.type) {
        case TaskType::CloneDatabase: return "migrate clone " + from;
        case TaskType::Database: return "migrate database " + from + " -> " + to;
        case TaskType::Tables: return "migrate tables " + from + " -> " + to;
        case TaskType::Views: return "migrate views " + from + " -> " + to;
        case TaskType::Table: return "migrate table " + from + "." + task.sourceObject + " -> " + to;
        case TaskType::View: return "migrate view " + from + "." + task.sourceObject + " -> " + to;
        case TaskType::VerifyDatabase: return "verify " + from + " -> " + to;
        case TaskType::VerifyTable: return "verify " + from + "." + task.sourceObject + " -> " + to;
        case TaskType::BackupDatabase: return "backup " + to;
        case TaskType::BackupObject: return "backup " + to + "." + task.targetObject;
    }
    return TaskTypeText(task.type);
}

std::string TaskSummaryLine(const MigrationTask& task, const std::vector<TableReport>& tables) {
    int tableCount = 0;
    int tablesFailed = 0;
    int othersFailed = 0;
    int stopped = 0;
    int notStarted = 0;
    for (const TableReport& table : tables) {
        stopped += Stopped(table) && table.stop.empty() ? 1 : 0;
        notStarted += table.stop == "not started" ? 1 : 0;
        if (table.kind == "table") {
            ++tableCount;
            tablesFailed += Failed(table) ? 1 : 0;
        } else {
            othersFailed += Failed(table) ? 1 : 0;
        }
    }
    std::string line = TaskTitle(task) + ": " + PhaseText(task.phase);
    if (tablesFailed > 0) {
        line += ", " + std::to_string(tablesFailed) + " of " + std::to_string(tableCount) +
                (tableCount == 1 ? " table failed" : " tables failed");
    }
    if (stopped > 0) line += ", " + std::to_string(stopped) + " stopped";
    if (notStarted > 0) line += ", " + std::to_string(notStarted) + " not started";
    if (othersFailed > 0) {
        line += ", " + std::to_string(othersFailed) +
                (othersFailed == 1 ? " other object failed" : " other objects failed");
    }
    return line;
}

JsonDocument ReportDocument(int exitCode, const std::vector<TaskPtr>& tasks,
                            const std::vector<TableReport>& tables) {
    JsonDocument taskList = JsonDocument::array();
    for (const TaskPtr& task : tasks) {
        taskList.push_back({{"type", static_cast<int>(task->type)},
                            {"kind", TaskTypeText(task->type)},
                            {"state", PhaseText(task->phase)},
                            {"verify", VerifyModeName(task->options.verify)},
                            {"sourceDatabase", task->sourceDatabase},
                            {"targetDatabase", task->targetDatabase},
                            {"targetSchema", task->options.targetSchema},
                            {"title", TaskTitle(*task)},
                            {"summary", TaskSummaryLine(*task, tables)}});
        if (const FollowRecord follow = task->Follow(); follow.followed) {
            taskList.back()["follow"] = {{"changesApplied", follow.changesApplied},
                                         {"changesRefused", follow.changesRefused},
                                         {"transactions", follow.transactions},
                                         {"changesPerSecond", follow.changesPerSecond},
                                         {"lagSeconds", follow.lagSeconds},
                                         {"position", follow.position},
                                         {"outcome", follow.outcome}};
        }
    }
    JsonDocument objects = JsonDocument::array();
    for (const TableReport& table : tables) {
        std::string reason;
        const std::string outcome = ObjectOutcome(table, &reason);
        objects.push_back({{"database", table.database},
                           {"kind", table.kind},
                           {"name", table.name},
                           {"outcome", outcome},
                           {"reason", reason},
                           {"resume", table.resume},
                           {"adjustments", table.adjustments},
                           {"rowsRead", table.rows.rowsRead},
                           {"rowsWritten", table.rows.rowsWritten},
                           {"rowsFailed", table.rows.rowsFailed},
                           {"seconds", table.seconds},
                           {"created", table.result == 1},
                           {"step", FailedStep(table)},
                           {"verification", table.verification ? VerificationJson(*table.verification)
                                                               : JsonDocument(nullptr)},
                           {"typeMap", table.overrides},
                           {"collations", table.collations}});
    }
    return {{"formatVersion", kReportFormatVersion},
            {"tool", {{"name", "velmora-cli"}, {"version", VELMORA_VERSION}}},
            {"exitCode", exitCode},
            {"tasks", taskList},
            {"objects", objects}};
}

void WriteJsonReport(std::ostream& json, int exitCode, const std::vector<TaskPtr>& tasks,
                     const std::vector<TableReport>& tables) {
    json << LaidOutJson(ReportDocument(exitCode, tasks, tables));
}

}  // namespace velmora::cli
