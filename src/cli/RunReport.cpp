#include "RunReport.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace velmora::cli {
namespace {

std::string JsonOptional(const std::optional<std::string>& text) {
    return text ? JsonText(*text) : "null";
}

std::string VerificationJson(const TableVerification& v) {
    std::ostringstream out;
    out << "{\"mode\": " << JsonText(v.mode) << ", \"matches\": " << (v.Matches() ? "true" : "false")
        << ", \"sourceRows\": " << v.sourceRows << ", \"targetRows\": " << v.targetRows
        << ", \"rowsCompared\": " << v.rowsCompared << ", \"missing\": " << v.missing
        << ", \"extra\": " << v.extra << ", \"different\": " << v.different
        << ", \"countOnly\": " << (v.mode == "count" || !v.note.empty() ? "true" : "false")
        << ", \"note\": " << JsonText(v.note) << ", \"error\": " << JsonText(v.error)
        << ", \"stopped\": " << (v.stopped ? "true" : "false") << ", \"differences\": [";
    for (size_t i = 0; i < v.differences.size(); ++i) {
        const VerificationDifference& d = v.differences[i];
        out << (i > 0 ? ", " : "") << "{\"kind\": " << JsonText(d.kind)
            << ", \"key\": " << JsonText(d.key) << ", \"column\": " << JsonText(d.column)
            << ", \"source\": " << JsonOptional(d.source)
            << ", \"target\": " << JsonOptional(d.target) << "}";
    }
    out << "]}";
    return out.str();
}

// ["a", "b"]
std::string JsonTexts(const std::vector<std::string>& texts) {
    std::string array = "[";
    for (size_t i = 0; i < texts.size(); ++i) array += (i > 0 ? ", " : "") + JsonText(texts[i]);
    return array + "]";
}

}  // namespace

std::string JsonText(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

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
    return outcome == "failed" || outcome == "skipped" ||
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
    for (const TableReport& table : tables) {
        stopped += Stopped(table) ? 1 : 0;
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
    if (othersFailed > 0) {
        line += ", " + std::to_string(othersFailed) +
                (othersFailed == 1 ? " other object failed" : " other objects failed");
    }
    return line;
}

void WriteJsonReport(std::ostream& json, int exitCode, const std::vector<TaskPtr>& tasks,
                     const std::vector<TableReport>& tables) {
    json << "{\n  \"formatVersion\": " << kReportFormatVersion
         << ",\n  \"tool\": {\"name\": \"velmora-cli\", \"version\": " << JsonText(VELMORA_VERSION)
         << "},\n  \"exitCode\": " << exitCode << ",\n  \"tasks\": [";
    bool first = true;
    for (const TaskPtr& task : tasks) {
        json << (first ? "\n" : ",\n") << "    {\"type\": " << static_cast<int>(task->type)
             << ", \"kind\": " << JsonText(TaskTypeText(task->type))
             << ", \"state\": " << JsonText(PhaseText(task->phase))
             << ", \"verify\": " << JsonText(VerifyModeName(task->options.verify))
             << ", \"sourceDatabase\": " << JsonText(task->sourceDatabase)
             << ", \"targetDatabase\": " << JsonText(task->targetDatabase)
             << ", \"targetSchema\": " << JsonText(task->options.targetSchema)
             << ", \"title\": " << JsonText(TaskTitle(*task))
             << ", \"summary\": " << JsonText(TaskSummaryLine(*task, tables)) << "}";
        first = false;
    }
    json << "\n  ],\n  \"objects\": [";
    first = true;
    for (const TableReport& table : tables) {
        std::string reason;
        std::string outcome = ObjectOutcome(table, &reason);
        json << (first ? "\n" : ",\n") << "    {\"database\": " << JsonText(table.database)
             << ", \"kind\": " << JsonText(table.kind) << ", \"name\": " << JsonText(table.name)
             << ", \"outcome\": " << JsonText(outcome) << ", \"reason\": " << JsonText(reason)
             << ", \"resume\": " << JsonText(table.resume) << ", \"adjustments\": [";
        for (size_t i = 0; i < table.adjustments.size(); ++i) {
            json << (i > 0 ? ", " : "") << JsonText(table.adjustments[i]);
        }
        json << "], \"rowsRead\": " << table.rows.rowsRead
             << ", \"rowsWritten\": " << table.rows.rowsWritten
             << ", \"rowsFailed\": " << table.rows.rowsFailed << ", \"seconds\": " << table.seconds
             << ", \"created\": " << (table.result == 1 ? "true" : "false")
             << ", \"step\": " << JsonText(FailedStep(table))
             << ", \"verification\": "
             << (table.verification ? VerificationJson(*table.verification) : "null")
             << ", \"typeMap\": " << JsonTexts(table.overrides) << ", \"collations\": " << JsonTexts(table.collations)
             << "}";
        first = false;
    }
    json << "\n  ]\n}\n";
}

}  // namespace velmora::cli
