#include "Converters/Assessment.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <utility>

#include "Converters/ConversionDrivers.h"
#include "Converters/FullTableConversion.h"
#include "Converters/RefusalNote.h"
#include "Converters/RowReading.h"
#include "Converters/RoutineConversion.h"
#include "Converters/SourceQuery.h"
#include "Converters/TaskChoices.h"
#include "Converters/TargetServer.h"
#include "Converters/WorkerContext.h"
#include "translation/Naming.h"

namespace velmora {
namespace {

int64_t Number(std::string_view text) {
    return text.empty() ? 0 : std::strtoll(std::string(text).c_str(), nullptr, 10);
}

// One row of information_schema.TABLES.
struct CatalogRow {
    std::string name;
    bool view = false;
    std::string engine;
    int64_t rows = -1;
    int64_t dataBytes = 0;
    int64_t indexBytes = 0;
};

bool ReadCatalog(WorkerContext& context, const std::string& database, std::vector<CatalogRow>& rows,
                 std::string& why) {
    SourceQuery query(context.Log(), context.SourceSession(),
                      "select TABLE_NAME, TABLE_TYPE, ENGINE, TABLE_ROWS, DATA_LENGTH, INDEX_LENGTH "
                      "from information_schema.TABLES where TABLE_SCHEMA = " +
                          SourceStringLiteral(database) + " order by TABLE_NAME",
                      false);
    if (!query.ok()) {
        why = query.reason().empty() ? query.failureText() : query.reason();
        return false;
    }
    while (query.Next()) {
        CatalogRow row;
        row.name = std::string(query.Value(0));
        row.view = query.Value(1) == "VIEW";
        row.engine = std::string(query.Value(2));
        row.rows = query.IsNull(3) ? -1 : Number(query.Value(3));
        row.dataBytes = Number(query.Value(4));
        row.indexBytes = Number(query.Value(5));
        rows.push_back(std::move(row));
    }
    if (query.fetchFailed()) why = "the table list could not be read whole";
    return why.empty();
}

// Engines whose catalog row count is exact rather than sampled.
bool ExactCountEngine(const std::string& engine) {
    return engine == "MyISAM" || engine == "Aria" || engine == "MEMORY" || engine == "CSV";
}

// The row count: the catalog's where it is exact, counted where that is cheap, else the
// catalog's estimate (rowsExact false).
void CountRows(WorkerContext& context, const CatalogRow& row, const AssessmentSettings& settings,
               AssessedObject& object) {
    object.rows = row.rows;
    object.rowsExact = ExactCountEngine(row.engine) && row.rows >= 0;
    if (object.rowsExact || row.rows < 0 || row.rows > settings.exactCountLimit) return;
    SourceQuery count(context.Log(), context.SourceSession(),
                      "select count(*) from " + QuoteSourceName(row.name), false);
    if (count.ok() && count.Next()) {
        object.rows = Number(count.Value(0));
        object.rowsExact = true;
    }
}

// Each column with its target type, the collations it compares by on both sides, and the
// type-map rules that chose its type or collation.
void AddColumns(const FullTableTranslation& translation, AssessedObject& object) {
    for (const TargetColumn& column : translation.columns) {
        AssessedColumn assessed{column.name, column.sourceType, column.targetType, "", "", ""};
        for (const ColumnCollation& collation : translation.collations) {
            if (collation.column != column.name) continue;
            assessed.collation = collation.source;
            assessed.targetCollation = collation.target;
        }
        for (const AppliedOverride& applied : translation.overrides) {
            if (applied.column != column.name) continue;
            assessed.overrideApplied += (assessed.overrideApplied.empty() ? "" : "; ") + std::string("type map line ") +
                                        std::to_string(applied.line) + ": " + applied.rule;
        }
        object.columns.push_back(std::move(assessed));
    }
}

AssessedObject NewObject(const std::string& database, const std::string& kind, const std::string& name) {
    AssessedObject object;
    object.database = database;
    object.kind = kind;
    object.name = name;
    return object;
}

AssessedObject AssessTable(WorkerContext& context, const std::string& database, const CatalogRow& row,
                           const AssessmentSettings& settings) {
    AssessedObject object = NewObject(database, "table", row.name);
    object.engine = row.engine;
    object.dataBytes = row.dataBytes;
    object.indexBytes = row.indexBytes;
    std::string definition, why;
    FullTableTranslation translation = ReadTableFull(context, database, row.name, definition, why);
    CountRows(context, row, settings, object);
    if (!why.empty()) {
        // A text that was read but could not be translated is refused; one that could not be
        // read says why.
        const bool read = !definition.empty() && translation.error == why;
        object.outcome = read ? assessed::kRefused : assessed::kUnreadable;
        (read ? object.construct : object.reason) = why;
        object.source = definition;
        object.rewrite = read ? SuggestedRewrite(why) : "";
        return object;
    }
    // A type-map rule whose type cannot hold the column's values stops the migration before
    // anything is created: the table cannot arrive as the rules stand.
    const std::vector<std::string> misfits = TypeMapMisfits(context, database, row.name);
    if (!misfits.empty()) {
        AddColumns(translation, object);
        object.outcome = assessed::kRefused;
        object.source = definition;
        for (const std::string& misfit : misfits) {
            object.construct += (object.construct.empty() ? "" : "; ") + misfit;
        }
        return object;
    }
    for (const Adjustment& adjustment : translation.adjustments) {
        object.adjustments.push_back(adjustment.column.empty() ? adjustment.text
                                                               : adjustment.column + ": " + adjustment.text);
    }
    object.statements.push_back(translation.createTable);
    for (const auto* list : {&translation.indexes, &translation.comments, &translation.foreignKeys}) {
        object.statements.insert(object.statements.end(), list->begin(), list->end());
    }
    if (!translation.identityReseed.empty()) object.statements.push_back(translation.identityReseed);
    AddColumns(translation, object);
    object.outcome = object.adjustments.empty() ? assessed::kReady : assessed::kAdjusted;
    return object;
}

AssessedObject AssessView(WorkerContext& context, const std::string& database, const std::string& name) {
    AssessedObject object = NewObject(database, "view", name);
    ViewStatement view = TranslateViewForTask(context, database, name);
    object.adjustments = view.adjustments;
    object.source = view.definition;
    if (!view.readFailure.empty()) {
        object.outcome = assessed::kUnreadable;
        object.reason = view.readFailure;
    } else if (!view.untranslatable.empty()) {
        object.outcome = assessed::kRefused;
        object.construct = view.untranslatable;
        object.rewrite = SuggestedRewrite(view.untranslatable);
    } else {
        object.statements.push_back(view.text);
        object.outcome = view.adjustments.empty() ? assessed::kReady : assessed::kAdjusted;
    }
    return object;
}

// A procedure, function or trigger as the migration creates it: its T-SQL and adjustments, the
// construct that keeps it from the target, or why its text could not be read.
AssessedObject AssessRoutine(const std::string& database, const PreparedRoutine& routine) {
    const std::string name = routine.source.kind == RoutineKind::Trigger
                                 ? routine.source.table + "." + routine.source.name
                                 : routine.source.name;
    AssessedObject object = NewObject(database, RoutineKindWord(routine.source.kind), name);
    const FullRoutineTranslation& translation = routine.translation;
    object.source = routine.text;
    if (!routine.readFailure.empty()) {
        object.outcome = assessed::kUnreadable;
        object.reason = routine.readFailure;
    } else if (!translation.ok()) {
        object.outcome = assessed::kRefused;
        object.construct = translation.untranslatable;
        object.rewrite = SuggestedRewrite(translation.untranslatable);
    } else {
        object.statements = translation.statements;
        object.adjustments = translation.adjustments;
        object.outcome = object.adjustments.empty() ? assessed::kReady : assessed::kAdjusted;
    }
    return object;
}

// Functions, procedures and triggers, translated as the migration translates them; events are
// listed as not migrated.
void AddRoutines(WorkerContext& context, const std::string& database, DatabaseAssessment& result) {
    const PreparedProgrammables prepared = PrepareDatabaseProgrammables(context, database);
    for (const PreparedRoutine& routine : prepared.routines) result.objects.push_back(AssessRoutine(database, routine));
    for (const PreparedRoutine& trigger : prepared.triggers) result.objects.push_back(AssessRoutine(database, trigger));
    for (const std::string& event : prepared.events) {
        AssessedObject object = NewObject(database, "event", event);
        object.outcome = assessed::kNotMigrated;
        object.reason = kSchedulerNote;
        object.rewrite = SuggestedRewrite("event");
        result.objects.push_back(std::move(object));
    }
    if (!prepared.failure.empty()) {
        AssessedObject object = NewObject(database, "routines", "procedures, functions and triggers");
        object.outcome = assessed::kUnreadable;
        object.reason = "the routines and triggers could not be listed: " + prepared.failure;
        result.objects.push_back(std::move(object));
    }
}

// Takes the rows of the measured read: counts them and their bytes, and asks the read to stop
// once the sample is complete.
class SampleSink : public RowSink {
public:
    size_t TakeRow(StatementRowset& row) override {
        size_t bytes = 0;
        for (int i = 0; i < row.ColumnCount(); ++i) bytes += row.IsNull(i) ? 0 : row.Length(i);
        ++rows;
        textBytes += static_cast<int64_t>(bytes);
        return bytes;
    }
    int64_t rows = 0;
    int64_t textBytes = 0;
};

// Reads up to `sampleRows` rows of each of the largest tables (by data_length) the way the copy
// reads them (RowReading.h: the migration condition, keyset pages, blocks of rows), within
// `sampleSeconds` in all. Its lines go to a log of its own: a sample's stop is no news.
ReadMeasurement MeasureRead(WorkerContext& context, const std::string& database,
                            const std::vector<AssessedObject>& objects, const AssessmentSettings& settings) {
    std::vector<const AssessedObject*> tables;
    for (const AssessedObject& object : objects) {
        if (object.kind == "table" && object.rows > 0 && object.outcome != assessed::kUnreadable) {
            tables.push_back(&object);
        }
    }
    std::stable_sort(tables.begin(), tables.end(), [](const AssessedObject* a, const AssessedObject* b) {
        return a->dataBytes > b->dataBytes;
    });
    if (tables.size() > static_cast<size_t>(settings.measuredTables)) tables.resize(settings.measuredTables);
    ReadMeasurement measured;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    OperationLog quiet;
    OperationLog* log = std::exchange(context.log, &quiet);
    std::function<bool()> stopCheck = context.stopCheck;
    for (const AssessedObject* table : tables) {
        if (elapsed() >= settings.sampleSeconds) break;
        SampleSink sink;
        context.stopCheck = [&] { return sink.rows >= settings.sampleRows || elapsed() >= settings.sampleSeconds; };
        RowCopyResult result;
        ReadTableRows(context, database, table->name, "*", sink, result);
        if (sink.rows == 0) continue;
        measured.tables.push_back(table->name);
        measured.rows += sink.rows;
        measured.textBytes += sink.textBytes;
        measured.storageBytes += table->dataBytes * sink.rows / std::max<int64_t>(table->rows, sink.rows);
    }
    context.log = log;
    context.stopCheck = stopCheck;
    measured.seconds = elapsed();
    return measured;
}

// Each table's copy time at the measured rate, and the database's sum.
void EstimateCopyTimes(DatabaseAssessment& result) {
    const double rate = result.measurement.StorageBytesPerSecond();
    if (rate <= 0) return;
    for (AssessedObject& object : result.objects) {
        if (object.kind != "table" || object.outcome == assessed::kUnreadable) continue;
        object.copySeconds = object.rows == 0 ? 0 : object.dataBytes / rate;
        result.copySeconds += object.copySeconds;
    }
}

}  // namespace

DatabaseAssessment AssessDatabase(WorkerContext& context, const std::string& database,
                                  const AssessmentSettings& settings) {
    DatabaseAssessment result;
    result.name = database;
    std::vector<CatalogRow> rows;
    if (!UseDatabase(context.Log(), context.SourceSession(), database, 0)) {
        result.failure = "the database " + database + " cannot be selected";
        return result;
    }
    if (!ReadCatalog(context, database, rows, result.failure)) return result;
    const auto tell = [&](const std::string& what) {
        if (settings.progress) settings.progress(what);
    };
    for (const CatalogRow& row : rows) {
        tell((row.view ? "reading view " : "reading table ") + database + "." + row.name);
        result.objects.push_back(row.view ? AssessView(context, database, row.name)
                                          : AssessTable(context, database, row, settings));
    }
    AddRoutines(context, database, result);
    tell("measuring the read of the largest tables of " + database);
    result.measurement = MeasureRead(context, database, result.objects, settings);
    EstimateCopyTimes(result);
    return result;
}

std::vector<std::pair<std::string, int>> OutcomeCounts(const Assessment& assessment) {
    std::vector<std::pair<std::string, int>> counts;
    for (std::string_view outcome : {assessed::kReady, assessed::kAdjusted, assessed::kRefused,
                                     assessed::kUnreadable, assessed::kNotMigrated}) {
        counts.emplace_back(std::string(outcome), 0);
    }
    for (const DatabaseAssessment& database : assessment.databases) {
        for (const AssessedObject& object : database.objects) {
            for (auto& [outcome, count] : counts) count += outcome == object.outcome ? 1 : 0;
        }
    }
    return counts;
}

bool AssessmentFails(const Assessment& assessment, std::string_view gate) {
    for (const DatabaseAssessment& database : assessment.databases) {
        if (!database.failure.empty()) return true;
        for (const AssessedObject& object : database.objects) {
            if (object.outcome != assessed::kReady &&
                (gate == "adjustments" || object.outcome != assessed::kAdjusted)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace velmora
