// Assessment: what a Full migration of source databases would do, found by reading the source
// alone (no target is needed and nothing is sent anywhere): for every table and view the T-SQL
// that Full creates, each adjustment, each refusal with its construct and MySQL source, the rows
// and the size on disk, and an estimate of the copy time from a short measured read of the
// largest tables. Procedures, functions and triggers are listed with what becomes of them. A
// connected target may add a short timed write into a temporary table (MeasureTargetWrite).
//
// The records here are plain data; AssessmentReport.h writes them as JSON and HTML.
// AssessDatabase runs on the caller's thread with the source session of the context it is given
// (the window's browsing connection on the interface thread, or the command line's).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class Session;
struct WorkerContext;

// What becomes of one object in Full.
namespace assessed {
inline constexpr std::string_view kReady = "ready";            // created as it is
inline constexpr std::string_view kAdjusted = "adjusted";      // created, with changes of meaning
inline constexpr std::string_view kRefused = "refused";        // not created: `construct` says why
inline constexpr std::string_view kUnreadable = "unreadable";  // its definition could not be read
inline constexpr std::string_view kNotMigrated = "not migrated";  // Full does not carry it over
}  // namespace assessed

// One column of a table as the target gets it.
struct AssessedColumn {
    std::string name;
    std::string sourceType;
    std::string targetType;
    std::string collation;        // the source column's collation; "" for a column without text
    std::string targetCollation;  // the SQL Server collation chosen for it; "" while none is chosen
    std::string overrideApplied;  // the type-map rule that chose the target type; "" for the built-in map
};

// One source object: a table, a view, a procedure, a function or a trigger.
struct AssessedObject {
    std::string database;
    std::string kind;  // "table", "view", "procedure", "function", "trigger", "event"
    std::string name;
    std::string outcome;    // one of assessed::k...
    std::string construct;  // refused: the construct T-SQL cannot say with the same meaning
    std::string reason;     // unreadable / not migrated: why
    std::string source;     // refused / unreadable: the MySQL text as read ("" when not read)
    std::string rewrite;    // refused: a suggested T-SQL way (RefusalNote.h), "" when none is known
    std::vector<std::string> statements;   // the T-SQL that Full sends, in order
    std::vector<std::string> adjustments;  // "column: what changes", or the object's own
    std::vector<AssessedColumn> columns;   // tables only
    std::string engine;        // tables: the storage engine
    int64_t rows = -1;         // tables: -1 unknown
    bool rowsExact = false;    // counted (or exact in the catalog) rather than estimated
    int64_t dataBytes = 0;     // information_schema.TABLES data_length
    int64_t indexBytes = 0;    // information_schema.TABLES index_length
    double copySeconds = -1;   // the estimate (see ReadMeasurement); -1 when none
};

// The short read of the largest tables that the copy-time estimate rests on.
struct ReadMeasurement {
    std::vector<std::string> tables;  // the tables read, largest first
    int64_t rows = 0;                 // rows fetched
    int64_t textBytes = 0;            // the values' bytes as the copy reads them
    int64_t storageBytes = 0;         // the share of data_length these rows stand for
    double seconds = 0;
    // data_length bytes per second; 0 when nothing could be measured (no rows)
    double StorageBytesPerSecond() const { return seconds > 0 ? storageBytes / seconds : 0; }
};

// A short timed write into a temporary table of a connected target, the other half of the
// copy-time estimate.
struct WriteMeasurement {
    int64_t rows = 0;
    int64_t textBytes = 0;  // the values' bytes as the statements carry them
    double seconds = 0;
    std::string failure;    // why it could not be measured ("" when it was)
    double TextBytesPerSecond() const { return seconds > 0 && failure.empty() ? textBytes / seconds : 0; }
};

struct DatabaseAssessment {
    std::string name;
    std::string failure;  // the objects could not be listed (then `objects` is empty)
    std::vector<AssessedObject> objects;
    ReadMeasurement measurement;
    double copySeconds = 0;  // the sum of the tables' estimates
};

struct Assessment {
    std::string generatedAt;    // UTC, ISO 8601
    std::string sourceServer;   // the server's version text
    // The target version checked against ("2016" ... "babelfish"; "" when none was given) and
    // where it came from ("--target-version", "the connected target").
    std::string targetVersion;
    std::string targetVersionFrom;
    std::vector<DatabaseAssessment> databases;
    std::optional<WriteMeasurement> write;  // measured when a target was connected
};

// How the assessment reads.
struct AssessmentSettings {
    int64_t exactCountLimit = 200000;  // count the rows of tables the catalog puts below this
    int measuredTables = 3;            // how many of the largest tables the read samples
    int64_t sampleRows = 100000;       // at most this many rows of each
    double sampleSeconds = 2.0;        // and for at most this long in all
    std::string targetVersion;         // checked against (see assessment/TargetVersion.h); "" none
    std::string targetVersionFrom;     // where it came from, for the report
    // Told before each object is read ("reading table shop.orders") and before the measured
    // read, for the caller's progress display.
    std::function<void(const std::string&)> progress;
};

// Reads and translates every object of `database`. Selects the database on the context's source
// session (`use`). The context needs its source connection and log; its target names only shape
// the statements (the assessment writes them for a target database named like the source).
DatabaseAssessment AssessDatabase(WorkerContext& context, const std::string& database,
                                  const AssessmentSettings& settings = {});

// Writes rows of about a hundred characters in statements of 250 rows (as the copy writes) into
// a temporary table of `target` for about `seconds`, then drops it. Nothing else is touched.
WriteMeasurement MeasureTargetWrite(Session* target, double seconds = 1.0);

// With a write measured, each table's estimate becomes the slower of its read and its write
// (the copy reads and writes at once), and the databases' sums follow.
void AddTargetWrites(Assessment& assessment, const WriteMeasurement& write);

// The outcome counts of an assessment, in a fixed order (ready, adjusted, refused, unreadable,
// not migrated).
std::vector<std::pair<std::string, int>> OutcomeCounts(const Assessment& assessment);

// What a pipeline's gate checks: "refusals" is true when any object will not arrive (refused,
// unreadable, not migrated, or a database that could not be read); "adjustments" also when any
// arrives changed.
bool AssessmentFails(const Assessment& assessment, std::string_view gate);

}  // namespace velmora
