#include "Converters/ConversionReport.h"

#include "Converters/SourceQuery.h"

namespace velmora {

bool RowCopyResult::Succeeded() const {
    return text == kTrueText && rowsFailed == 0 && !readFailed && !backupFailed && !targetLost;
}

std::string RowCopyResult::TargetLostText() const {
    return "the target's connection was lost after " + std::to_string(rowsWritten) + " rows: " + firstError;
}

int64_t ConversionReport::RowsWritten() const {
    int64_t total = 0;
    for (const TableReport& table : tables) total += table.rows.rowsWritten;
    return total;
}

bool ConversionReport::Stopped() const {
    if (stopped) return true;
    for (const TableReport& table : tables) {
        if (table.rows.stopped) return true;
    }
    return false;
}

int64_t ConversionReport::RowsFailed() const {
    int64_t total = 0;
    for (const TableReport& table : tables) total += table.rows.rowsFailed;
    return total;
}

namespace {

std::string RowFailure(const RowCopyResult& rows) {
    if (rows.targetLost) return rows.TargetLostText();
    if (rows.rowsFailed > 0) {
        return std::to_string(rows.rowsFailed) + " rows failed: " + rows.firstError;
    }
    const std::string why = rows.readError.empty() ? "" : ": " + rows.readError;
    if (rows.readFailed) return "reading the rows failed" + why;
    if (rows.stopped) return "stopped";
    if (rows.backupFailed) return "the data file could not be written";
    // A read that never started says the driver's words, not its fixed "FALSE".
    if (!rows.readError.empty()) return "reading the rows failed" + why;
    return rows.text;
}

std::string Quoted(const std::optional<std::string>& value) {
    return value ? "'" + *value + "'" : std::string("NULL");
}

std::string VerificationText(const TableVerification& v) {
    std::string text = "verified (" + v.mode + "): " + (v.Matches() ? "MATCH" : "MISMATCH");
    if (!v.error.empty()) return text + ", " + v.error;
    text += ", " + std::to_string(v.sourceRows) + " source rows, " + std::to_string(v.targetRows) +
            " target rows, " + std::to_string(v.rowsCompared) + " compared, " +
            std::to_string(v.missing) + " missing, " + std::to_string(v.extra) + " extra, " +
            std::to_string(v.different) + " different" + (v.stopped ? ", stopped" : "");
    if (!v.note.empty()) text += " (" + v.note + ")";
    for (const VerificationDifference& d : v.differences) {
        text += "\n      " + d.kind + " at " + d.key;
        if (d.kind == "different") {
            text += ": " + d.column + " " + Quoted(d.source) + " / " + Quoted(d.target);
        }
    }
    return text;
}

}  // namespace

std::string ObjectOutcome(const TableReport& table, std::string* reason) {
    auto set = [reason](const std::string& text) {
        if (reason) *reason = text;
    };
    set("");
    if (!table.schemaState.empty()) {
        set(table.failure);
        return table.schemaState;
    }
    if (!table.stop.empty()) {
        set(table.stop == "not started" ? "a stop request came before it" : table.failure);
        return table.stop;
    }
    if (!table.notMigrated.empty()) {
        set(table.notMigrated);
        return "not migrated";
    }
    if (!table.skipped.empty()) {
        set(table.skipped);
        return "skipped";
    }
    if (table.result == 0) return table.verification ? "verified" : "skipped";
    if (table.result == -1) {
        set(table.failure.empty() ? "it could not be created" : table.failure);
        return "failed";
    }
    if (table.result == -2) {
        set("its work file cannot be opened");
        return "failed";
    }
    if (!table.rows.Succeeded()) {
        set(RowFailure(table.rows));
        return "failed";
    }
    if (!table.stepFailure.empty()) {
        set(table.stepFailure);
        return "failed";
    }
    if (table.rows.stopped) {
        set("a stop request ended the copy after " + std::to_string(table.rows.rowsWritten) +
            " rows; a resumed migration completes it");
        return "stopped";
    }
    return "migrated";
}

std::string FailedStep(const TableReport& table) {
    const std::string outcome = ObjectOutcome(table);
    if (outcome == "stopped") return "rows";
    if (outcome != "failed") return "";
    if (table.kind == "foreign key" || table.kind == "foreign keys") return "foreign key";
    if (table.result == -1) {
        return table.failure.rfind("its definition", 0) == 0 ? "definition" : "create";
    }
    if (table.result == -2) return "work file";
    if (!table.rows.Succeeded()) return "rows";
    return table.failedStep;
}

void ConversionReport::ExplainFailures(const std::string& database) {
    if (!Failed()) return;
    for (const TableReport& table : tables) {
        const std::string outcome = ObjectOutcome(table);
        if (outcome == "failed" || outcome == "skipped" || outcome == "stopped" || !table.schemaState.empty() ||
            (table.verification && !table.verification->Matches())) {
            return;
        }
    }
    TableReport entry;
    entry.kind = "database";
    entry.database = database;
    entry.name = database;
    entry.result = -1;
    for (const std::string& failure : failures) {
        entry.failure += (entry.failure.empty() ? "" : "; ") + failure;
    }
    tables.push_back(std::move(entry));
}

void ConversionReport::AddVerification(const std::string& kind, std::string_view database,
                                       std::string_view name, TableVerification result) {
    if (!result.Matches()) {
        const std::string why = !result.error.empty() ? result.error : result.stopped ? "stopped" : "the rows do not match";
        AddFailure(kind + " " + std::string(name) + ": verification failed, " + why);
    }
    for (TableReport& entry : tables) {
        if (entry.kind == kind && entry.database == database && entry.name == name) {
            entry.verification = std::move(result);
            return;
        }
    }
    TableReport entry;
    entry.kind = kind;
    entry.database = std::string(database);
    entry.name = std::string(name);
    entry.verification = std::move(result);
    tables.push_back(std::move(entry));
}

void ConversionReport::AddStopRow(const std::string& database) {
    int done = 0;
    int stoppedObjects = 0;
    int notStarted = 0;
    for (const TableReport& table : tables) {
        const std::string outcome = ObjectOutcome(table);
        if (table.stop == "stopped") return;  // there is one already
        if (outcome == "not started") {
            ++notStarted;
        } else if (outcome == "stopped") {
            ++stoppedObjects;
        } else if (table.result != 0) {
            ++done;
        }
    }
    TableReport row;
    row.kind = "database";
    row.database = database;
    row.name = database;
    row.stop = "stopped";
    row.failure = "a stop request ended the run: " + std::to_string(done) + " done, " +
                  std::to_string(stoppedObjects) + " stopped, " + std::to_string(notStarted) +
                  " not started; a resumed migration completes it";
    tables.push_back(std::move(row));
}

std::string ReportText(const std::vector<TableReport>& objects) {
    std::string text;
    for (const TableReport& object : objects) {
        std::string reason;
        text += object.kind + " " + object.database + "." + object.name + ": " +
                ObjectOutcome(object, &reason);
        if (!reason.empty()) text += ", " + reason;
        if (object.kind == "table" && object.result == 1) {
            text += ", " + std::to_string(object.rows.rowsWritten) + " rows written";
        }
        text += "\n";
        if (!object.resume.empty()) text += "    resume: " + object.resume + "\n";
        for (const std::string& adjustment : object.adjustments) {
            text += "    adjusted: " + adjustment + "\n";
        }
        if (object.verification) text += "    " + VerificationText(*object.verification) + "\n";
    }
    return text;
}

}  // namespace velmora
