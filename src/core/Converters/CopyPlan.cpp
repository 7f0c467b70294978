#include "Converters/CopyPlan.h"

#include <optional>

#include "Converters/SourceQuery.h"
#include "Converters/WorkerContext.h"
#include "translation/Naming.h"

namespace velmora {
namespace {

// The rows of `table`: the catalog's estimate, or the exact count; -1 when unknown.
int64_t TableRows(WorkerContext& context, std::string_view database, std::string_view table,
                  bool exact) {
    std::string query =
        exact ? "select count(*) from " + QuoteSourceName(table)
              : "select TABLE_ROWS from information_schema.TABLES where TABLE_SCHEMA = " +
                    SourceStringLiteral(database) + " and TABLE_NAME = " + SourceStringLiteral(table);
    SourceQuery rows(context.Log(), context.SourceSession(), query, false);
    if (!rows.ok() || !rows.Next() || rows.IsNull(0)) return -1;
    std::string_view value = rows.Value(0);
    if (value.empty() || value.find_first_not_of("0123456789") != std::string_view::npos) return -1;
    return std::stoll(std::string(value));
}

struct KeyCut {
    std::vector<KeyRange> ranges;  // empty: the table stays whole
    std::string how;               // how it was cut, or why not
};

std::optional<std::pair<std::string, std::string>> MinMax(WorkerContext& context,
                                                          std::string_view table,
                                                          const std::string& column) {
    const std::string name = QuoteSourceName(column);
    SourceQuery bounds(context.Log(), context.SourceSession(),
                       "select min(" + name + "), max(" + name + ") from " + QuoteSourceName(table),
                       false);
    if (!bounds.ok() || !bounds.Next() || bounds.IsNull(0) || bounds.IsNull(1)) return std::nullopt;
    return std::make_pair(std::string(bounds.Value(0)), std::string(bounds.Value(1)));
}

std::vector<std::string> SampledKeys(WorkerContext& context, std::string_view table,
                                     const std::string& column, int64_t rows, int count,
                                     std::string& why) {
    // Four samples a range: the quantiles hold however far the row figure is off.
    const int64_t step = std::max<int64_t>(1, rows / (static_cast<int64_t>(count) * 4));
    SourceQuery sample(context.Log(), context.SourceSession(), SampleKeysQuery(table, column, step),
                       false);
    std::vector<std::string> keys;
    if (!sample.ok()) {
        why = "its keys cannot be sampled: " + sample.reason();
        return keys;
    }
    while (sample.Next()) keys.emplace_back(sample.Value(0));
    return keys;
}

KeyCut CutTable(WorkerContext& context, std::string_view table, int64_t rows) {
    KeyCut cut;
    const std::string name(table);
    if (name.find(' ') != std::string::npos) {
        cut.how = "its name holds a blank";
        return cut;
    }
    TableShape shape = ReadTableShape(context.Log(), context.SourceSession(), table);
    if (!shape.error.empty()) {
        cut.how = "its key cannot be read: " + shape.error;
        return cut;
    }
    if (!shape.key) {
        cut.how = "it has no primary key and no unique key over NOT NULL columns";
        return cut;
    }
    if (shape.key->columns.size() != 1) {
        cut.how = "its key has " + std::to_string(shape.key->columns.size()) + " columns";
        return cut;
    }
    const std::string column = shape.key->columns.front();
    std::string type;
    for (const ColumnDescription& described : shape.columns) {
        if (described.name == column) type = described.type;
    }
    std::optional<KeyOrder> order = KeyOrderOfType(type);
    // MySQL's time runs past a day, which SQL Server's time cannot compare with.
    const bool time = type.rfind("time", 0) == 0 && type.rfind("timestamp", 0) != 0;
    if (!order || *order == KeyOrder::Text || *order == KeyOrder::Binary || time) {
        cut.how = "its key is " + type + ", which the two servers do not order alike";
        return cut;
    }
    const int count = RangeCountFor(rows);
    std::vector<std::string> boundaries;
    if (IsIntegerType(type)) {
        auto bounds = MinMax(context, table, column);
        if (bounds && DenseIntegerKey(bounds->first, bounds->second, rows)) {
            boundaries = EvenBoundaries(bounds->first, bounds->second, count);
            cut.how = "between its key's minimum and maximum";
        }
    }
    if (cut.how.empty()) {
        std::vector<std::string> keys = SampledKeys(context, table, column, rows, count, cut.how);
        if (!cut.how.empty()) return cut;
        boundaries = PickBoundaries(keys, count);
        cut.how = "at quantiles sampled from its key";
    }
    if (boundaries.empty()) {
        cut.how = "its keys leave nothing to cut";
        return cut;
    }
    cut.ranges = RangesBetween(column, *order, boundaries);
    return cut;
}

}  // namespace

std::string SampleKeysQuery(std::string_view table, std::string_view column, int64_t step) {
    const std::string name = QuoteSourceName(column);
    return "select " + name + " from (select " + name + ", row_number() over (order by " + name +
           ") as velmora_row from " + QuoteSourceName(table) +
           ") as velmora_sample where velmora_row % " + std::to_string(step) + " = 0 order by " +
           name;
}

std::vector<CopyUnit> PlanCopyUnits(WorkerContext& context, std::string_view database,
                                    const std::vector<std::string>& tables, PlanChoices choices) {
    std::vector<CopyUnit> units;
    for (const std::string& table : tables) {
        const int64_t rows = choices.cut || choices.exactCounts
                                 ? TableRows(context, database, table, choices.exactCounts)
                                 : 0;
        if (!choices.cut || RangeCountFor(rows) < 2) {
            units.push_back({table, std::nullopt, std::max<int64_t>(rows, 0)});
            continue;
        }
        KeyCut cut = CutTable(context, table, rows);
        if (cut.ranges.empty()) {
            context.Log().WriteOutputLine("[%s] copied by one writer: %s", table.c_str(),
                                          cut.how.c_str());
            units.push_back({table, std::nullopt, rows});
            continue;
        }
        context.Log().WriteOutputLine("[%s] cut into %zu key ranges %s", table.c_str(),
                                      cut.ranges.size(), cut.how.c_str());
        const int64_t each = rows / static_cast<int64_t>(cut.ranges.size());
        for (KeyRange& range : cut.ranges) units.push_back({table, std::move(range), each});
    }
    return units;
}

}  // namespace velmora
