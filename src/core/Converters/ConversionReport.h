// ConversionReport: what a conversion did, for the callers that must tell success from failure
// (the task engine ends a task as FAILURE when any object failed; the command line prints a
// summary). The drivers fill it next to their log lines, which stay as they are.
//
// Filled by the thread that runs the conversion; read after it returns.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The counts of one table's row copy.
struct RowCopyResult {
    // "TRUE", "FALSE", the RESULT text or the driver's error text (see CopyTableRows).
    std::string text;
    int64_t rowsRead = 0;     // rows fetched from the source (one insert generated per row)
    int64_t rowsWritten = 0;  // inserts the target accepted
    int64_t rowsFailed = 0;   // inserts the target refused
    int64_t queries = 0;      // source queries that read rows (pages, or 1 for one pass)
    bool stopped = false;     // a stop request ended the copy
    bool readFailed = false;  // the query or a fetch failed: rows may be missing
    bool backupFailed = false;  // AutoBackup is on and the data file could not be written
    bool targetLost = false;  // the target's connection broke: the rows after it were not sent
    std::string firstError;   // the driver's text for the first refused insert (or the lost link)
    std::string readError;    // the driver's words for a read that failed or was cut short

    bool Succeeded() const;
    // "the target's connection was lost after N rows: <driver text>" (targetLost only).
    std::string TargetLostText() const;
};

// One row that the verification found missing, extra or different (see Verification.h).
struct VerificationDifference {
    std::string kind;    // "missing", "extra" or "different"
    std::string key;     // "id=7", "a=1, b=x"
    std::string column;  // the first column that differs ("different" only)
    std::optional<std::string> source;  // the values of that column (NULL: nothing)
    std::optional<std::string> target;
};

// What the verification of one table found.
struct TableVerification {
    std::string mode;          // "count" or "full"
    int64_t sourceRows = -1;   // the source's rows under the migration condition (-1: unknown)
    int64_t targetRows = -1;
    int64_t rowsCompared = 0;  // rows found on both sides and compared value by value
    int64_t missing = 0;       // source rows absent from the target
    int64_t extra = 0;         // target rows absent from the source
    int64_t different = 0;     // rows on both sides with at least one differing value
    std::string note;          // why a full verification compared the counts only
    std::string error;         // why the table could not be verified (empty: it was)
    bool stopped = false;
    std::vector<VerificationDifference> differences;  // the first ten, in key order

    bool Matches() const {
        return error.empty() && !stopped && sourceRows == targetRows && missing == 0 &&
               extra == 0 && different == 0;
    }
};

// One source object of a task: a table, a view, or the foreign keys of a table.
struct TableReport {
    // "table", "view", "foreign keys" (Classic: all of a table's, named by the table),
    // "foreign key" (Full: one constraint, named table.constraint), "function", "procedure",
    // "trigger" or "event"
    std::string kind = "table";
    std::string database;
    std::string name;
    double seconds = 0;  // the whole conversion of the table, rows included
    int result = 0;  // ConvertTable's result: 1 created, -1 create failed, -2 no work file
    std::string skipped;  // why the table was not migrated at all (empty when it was tried)
    // Why an object that the target cannot hold was listed only (an event: the target's
    // scheduler is a separate product). Not a failure of the run.
    std::string notMigrated;
    // What the Full translation changed in meaning ("stamp: ON UPDATE ... dropped"), one per line
    // of the log.
    std::vector<std::string> adjustments;
    // The type map's choices ("id: int unsigned -> int (type map line 3: int unsigned = int)") and
    // the text columns' collations ("code: utf8mb4_bin -> Latin1_General_100_BIN2"), Full mode.
    std::vector<std::string> overrides;
    std::vector<std::string> collations;
    bool primaryKeyFailed = false;
    bool indexesFailed = false;
    RowCopyResult rows;
    std::string failure;  // the driver's text when the object could not be created
    // A step after the creation that failed (primary key, index, reseed, resume): the first such
    // step, and "<step> failed: <the server's reason>" of each, one after another. The table is
    // failed, whatever arrived of its rows.
    std::string failedStep;
    std::string stepFailure;
    void StepFailed(const std::string& step, const std::string& why) {
        if (failedStep.empty()) failedStep = step;
        stepFailure += (stepFailure.empty() ? "" : "; ") + step + " failed" +
                       (why.empty() ? "" : ": " + why);
    }
    std::string resume;  // what a resumed migration did with the table (empty: not resumed)
    std::optional<TableVerification> verification;
    // What the schema verification found of the object: "missing", "extra" or "different" (with
    // what differs in `failure`); empty when it was not compared or is as expected.
    std::string schemaState;
    // Where a stop request left the object: "not started" (the stop came before it) or "stopped"
    // (the run's own row: the stop itself, with what it left in `failure`); empty otherwise.
    std::string stop;
};

// "migrated", "failed", "skipped", "stopped" (a stop request ended its rows, or the run's own
// stop row), "not started" (a stop request came before it), "verified" (a verification without a
// migration), "missing", "extra" or "different" (the schema verification's finding) or "not
// migrated" (listed only, such as an event), and the reason of a failure, a skip, a stop, a
// finding or a listing in `reason`.
std::string ObjectOutcome(const TableReport& object, std::string* reason = nullptr);

// The step at which a failed object failed: "definition", "create", "work file", "rows", or the
// step after the rows ("primary key", "index", "reseed", "resume", "foreign key"); "" when it
// did not fail.
std::string FailedStep(const TableReport& object);

// The report of one task as lines of text, one object a line with its outcome and, where they
// apply, its reason, what resume did and the verification's figures and first differences.
std::string ReportText(const std::vector<TableReport>& objects);

// A foreign key of a table converted in Full mode, created once every table exists; the
// statement without its ON DELETE / ON UPDATE actions is the fallback when the target refuses a
// cascade (cycles, multiple cascade paths).
struct PendingForeignKey {
    std::string table;
    std::string name;
    std::string statement;
    std::string withoutActions;
};

struct ConversionReport {
    std::vector<TableReport> tables;
    std::vector<PendingForeignKey> foreignKeys;
    std::vector<std::string> viewsCreated;
    // The task migrates a whole database: the schema verification also names extra objects.
    bool wholeDatabase = false;
    // A share of a split run: how the work was split (SplitFingerprint), for its marker.
    std::string split;
    // One text per failed object or step, such as "table orders: create failed".
    std::vector<std::string> failures;
    bool stopped = false;

    void AddFailure(std::string what) { failures.push_back(std::move(what)); }
    // A skipped table is a failure of the run as well: it is named, never lost.
    void AddSkipped(const std::string& database, const std::string& name,
                    const std::string& reason) {
        TableReport table;
        table.database = database;
        table.name = name;
        table.skipped = reason;
        tables.push_back(std::move(table));
        AddFailure("table " + name + ": skipped, " + reason);
    }
    // An object a stop request came before: listed, never created.
    void AddNotStarted(const std::string& kind, const std::string& database, const std::string& name) {
        TableReport object;
        object.kind = kind;
        object.database = database;
        object.name = name;
        object.stop = "not started";
        tables.push_back(std::move(object));
    }
    // The verification of a table or view ("table", "view") joins its object (listed anew when the
    // report has none); one that does not match is a failure of the run, with its reason.
    void AddVerification(const std::string& kind, std::string_view database, std::string_view name,
                         TableVerification result);
    // After a stop: the run's own "stopped" row, which counts what is done, stopped and not started.
    void AddStopRow(const std::string& database);
    bool Failed() const { return !failures.empty(); }
    // A stop request ended the work (the loop over the objects, or an object's rows).
    bool Stopped() const;
    // A failure that no object of `tables` explains (the tables could not be listed, a work file
    // could not be opened) gets an object of its own, kind "database", named by `database`.
    void ExplainFailures(const std::string& database);
    int64_t RowsWritten() const;
    int64_t RowsFailed() const;
};

}  // namespace velmora
