#include "Converters/Verification.h"

#include <optional>
#include <string>
#include <vector>

#include "Converters/Conditions.h"
#include "Converters/KeysetPaging.h"
#include "Converters/NativeRowSource.h"
#include "translation/Naming.h"
#include "Converters/OrderedRows.h"
#include "Converters/SchemaVerification.h"
#include "Converters/SourceQuery.h"
#include "Converters/ValueNormalisation.h"
#include "Converters/ViewVerification.h"
#include "Converters/WorkerContext.h"

namespace velmora {
namespace {

constexpr int64_t kProgressEvery = 100000;

std::string Text(std::string_view view) { return std::string(view); }

void CompareCounts(WorkerContext& context, std::string_view table, const std::string& condition,
                   TableVerification& result) {
    std::string error;
    auto source = CountRows(context.Log(), context.SourceSession(), SqlDialect::MySql, table,
                            condition, error);
    if (!source) {
        result.error = "the source rows cannot be counted: " + error;
        return;
    }
    auto target = CountRows(context.Log(), context.TargetSession(), SqlDialect::Tsql, table, "", error,
                            context.options.targetSchema);
    if (!target) {
        result.error = "the target rows cannot be counted: " + error;
        return;
    }
    result.sourceRows = *source;
    result.targetRows = *target;
    if (*source > *target) result.missing = *source - *target;
    if (*target > *source) result.extra = *target - *source;
}

// Merges the two ordered reads and compares the rows both have.
class RowMerge {
public:
    RowMerge(WorkerContext& context, std::string_view table, const TableShape& shape,
             OrderedRowReader& source, OrderedRowReader& target, TableVerification& result)
        : context_(context), table_(table), shape_(shape), source_(source), target_(target),
          result_(result) {}

    void Run(const OrderedReadSpec& spec) {
        bool haveSource = source_.Next();
        bool haveTarget = target_.Next();
        DescribeColumns();
        while ((haveSource || haveTarget) && !source_.failed() && !target_.failed()) {
            if (context_.StopRequested()) {
                result_.stopped = true;
                return;
            }
            int order = !haveSource ? 1 : (!haveTarget ? -1 : CompareKeys(spec));
            if (order < 0) {
                Note("missing", source_.row(), spec);
                ++result_.missing;
            } else if (order > 0) {
                Note("extra", target_.row(), spec);
                ++result_.extra;
            } else {
                CompareRow(spec);
            }
            if (order <= 0) {
                CountSourceRow();
                haveSource = source_.Next();
            }
            if (order >= 0) {
                ++result_.targetRows;
                haveTarget = target_.Next();
            }
        }
        if (source_.failed()) result_.error = "reading the source failed: " + source_.error();
        if (target_.failed()) result_.error = "reading the target failed: " + target_.error();
    }

private:
    void CountSourceRow() {
        if (++result_.sourceRows % kProgressEvery == 0) {
            context_.Log().WriteOutputLine("[%s] %lld records verified", table_.c_str(),
                                           static_cast<long long>(result_.sourceRows));
        }
    }

    void DescribeColumns() {
        for (size_t i = 0; i < shape_.columns.size(); ++i) {
            ComparedColumn column;
            column.name = shape_.columns[i].name;
            column.family = FamilyOfMySqlType(shape_.columns[i].type);
            if (i < source_.columns().size()) column.sourceType = source_.columns()[i].type;
            if (i < target_.columns().size()) {
                column.targetType = target_.columns()[i].type;
                column.targetScale = target_.columns()[i].scale;
            }
            columns_.push_back(std::move(column));
        }
        result_.sourceRows = 0;
        result_.targetRows = 0;
    }

    int CompareKeys(const OrderedReadSpec& spec) const {
        for (size_t i = 0; i < spec.keyPositions.size(); ++i) {
            size_t at = spec.keyPositions[i];
            int order = CompareKeyValues(spec.key.orders[i], source_.row()[at].value_or(""),
                                         target_.row()[at].value_or(""));
            if (order != 0) return order;
        }
        return 0;
    }

    void CompareRow(const OrderedReadSpec& spec) {
        ++result_.rowsCompared;
        const RowValues& source = source_.row();
        const RowValues& target = target_.row();
        for (size_t i = 0; i < columns_.size(); ++i) {
            if (source[i] && target[i] && SameTextAsRead(columns_[i], *source[i], *target[i])) continue;
            NormalisedValue expected = NormaliseSource(columns_[i], source[i]);
            NormalisedValue actual = NormaliseTarget(columns_[i], target[i]);
            if (SameValue(columns_[i], expected, actual, target[i].value_or(""))) continue;
            ++result_.different;
            if (result_.differences.size() < kKeptDifferences) {
                result_.differences.push_back({"different", KeyText(source, spec), columns_[i].name, Kept(source[i]), Kept(target[i])});
            }
            return;
        }
    }

    void Note(const char* kind, const RowValues& row, const OrderedReadSpec& spec) {
        if (result_.differences.size() >= kKeptDifferences) return;
        result_.differences.push_back({kind, KeyText(row, spec), "", std::nullopt, std::nullopt});
    }

    static std::string KeyText(const RowValues& row, const OrderedReadSpec& spec) {
        std::string text;
        for (size_t i = 0; i < spec.keyPositions.size(); ++i) {
            (text += (i > 0 ? ", " : "") + spec.key.columns[i] + "=") += row[spec.keyPositions[i]].value_or("NULL");
        }
        return text;
    }

    static std::optional<std::string> Kept(const std::optional<std::string_view>& value) {
        return value ? std::optional<std::string>(*value) : std::nullopt;
    }

    WorkerContext& context_;
    std::string table_;
    const TableShape& shape_;
    OrderedRowReader& source_;
    OrderedRowReader& target_;
    TableVerification& result_;
    std::vector<ComparedColumn> columns_;
};

void CompareRows(WorkerContext& context, std::string_view database, std::string_view table,
                 const std::string& condition, TableVerification& result) {
    TableShape shape = ReadTableShape(context.Log(), context.SourceSession(), table);
    if (!shape.error.empty()) {
        result.error = shape.error;
        return;
    }
    if (!shape.key) {
        result.note = "no primary key and no unique key over NOT NULL columns: compared by count only";
        CompareCounts(context, table, condition, result);
        return;
    }
    // The source's rows as the row copy reads them (NativeRowSource.h).
    Session* sourceSession = FullRowSession(context, database, result.error);
    if (!sourceSession) return;
    Session* targetSession = context.TargetSession();
    OrderedReadSpec sourceSpec = ReadSpecOf(SqlDialect::MySql, table, shape, sourceSession->StreamsRows());
    sourceSpec.condition = condition;
    OrderedReadSpec targetSpec = ReadSpecOf(SqlDialect::Tsql, table, shape, targetSession->StreamsRows());
    targetSpec.schema = context.options.targetSchema;
    OrderedRowReader source(context.Log(), sourceSession, sourceSpec);
    OrderedRowReader target(context.Log(), targetSession, targetSpec);
    RowMerge(context, table, shape, source, target, result).Run(sourceSpec);
}

std::string Quoted(const std::optional<std::string>& value) {
    return value ? "'" + *value + "'" : std::string("NULL");
}

void LogResult(OperationLog& log, const std::string& table, const TableVerification& result) {
    if (!result.note.empty()) log.WriteOutputLine("[%s] %s", table.c_str(), result.note.c_str());
    if (!result.error.empty()) {
        log.WriteOutputLine("[%s] verification FAILED: %s", table.c_str(), result.error.c_str());
        return;
    }
    log.WriteOutputLine(
        "[%s] verified (%s)%s: %lld source rows, %lld target rows, %lld compared, %lld missing, "
        "%lld extra, %lld different%s",
        table.c_str(), result.mode.c_str(), result.stopped ? ", STOPPED" : "",
        static_cast<long long>(result.sourceRows), static_cast<long long>(result.targetRows),
        static_cast<long long>(result.rowsCompared), static_cast<long long>(result.missing),
        static_cast<long long>(result.extra), static_cast<long long>(result.different),
        result.Matches() ? ": the tables MATCH" : ": MISMATCH");
    for (const VerificationDifference& difference : result.differences) {
        if (difference.kind == "different") {
            log.WriteOutputLine("[%s]   different at %s: column %s, source %s, target %s",
                                table.c_str(), difference.key.c_str(), difference.column.c_str(),
                                Quoted(difference.source).c_str(),
                                Quoted(difference.target).c_str());
        } else {
            log.WriteOutputLine("[%s]   %s at %s", table.c_str(), difference.kind.c_str(),
                                difference.key.c_str());
        }
    }
}

}  // namespace

TableVerification VerifyTable(WorkerContext& context, std::string_view database,
                              std::string_view table, VerifyMode mode) {
    TableVerification result;
    result.mode = mode == VerifyMode::Full ? "full" : "count";
    if (!context.SourceSession() || !context.TargetSession()) {
        result.error = "no connection";
    } else {
        std::string condition = LookupCondition(context.conditionFile, database, table);
        if (mode == VerifyMode::Full) {
            CompareRows(context, database, table, condition, result);
        } else {
            CompareCounts(context, table, condition, result);
        }
    }
    LogResult(context.Log(), Text(table), result);
    return result;
}

void VerifyIntoReport(WorkerContext& context, std::string_view database, std::string_view table,
                      VerifyMode mode, ConversionReport& report) {
    report.AddVerification("table", database, table, VerifyTable(context, database, table, mode));
}

int VerifyDatabaseTables(WorkerContext& context, std::string_view database, VerifyMode mode,
                         ConversionReport& report) {
    OperationLog& log = context.Log();
    log.WriteOutputLine("Verify Tables of database [%s] (%s)", Text(database).c_str(),
                        VerifyModeName(mode));
    auto tables = ReadSourceCatalog(log, context.SourceSession(), "TABLE", "Open tables Error: ");
    if (!tables) {
        report.AddFailure("tables of database " + Text(database) + ": the catalog cannot be opened");
        return -1;
    }
    for (const TableRecord& record : *tables) {
        if (record.tableType == "VIEW") continue;
        VerifyIntoReport(context, database, record.tableName, mode, report);
        if (context.StopRequested()) {
            log.WriteText("Verification Terminaled!");
            report.stopped = true;
            break;
        }
    }
    if (report.stopped) return 0;
    std::vector<std::string> views;
    if (auto records = ReadSourceCatalog(log, context.SourceSession(), "VIEW", "Open views Error: "))
        for (const TableRecord& record : *records) views.push_back(record.tableName);
    VerifyViewsIntoReport(context, database, views, mode, report);
    if (!context.StopRequested()) VerifySchema(context, database, SchemaScope{}, report);
    return 0;
}

void VerifyMigratedTables(WorkerContext& context, VerifyMode mode, ConversionReport& report) {
    if (mode == VerifyMode::None) return;
    std::vector<std::pair<std::string, std::string>> created;
    for (const TableReport& table : report.tables) {
        if (table.kind == "table" && table.result == 1) created.emplace_back(table.database, table.name);
    }
    SchemaScope scope{report.wholeDatabase, {}, {}};
    for (const auto& [database, name] : created) {
        if (context.StopRequested()) return;
        VerifyIntoReport(context, database, name, mode, report);
        scope.tables.push_back(name);
    }
    VerifyMigratedViews(context, mode, report);
    if (context.StopRequested()) return;
    if (scope.wholeDatabase || !scope.tables.empty()) VerifySchema(context, context.sourceDatabase, scope, report);
}

}  // namespace velmora
