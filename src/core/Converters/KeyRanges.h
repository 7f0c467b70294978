// KeyRanges: how one big table is cut into key ranges that several writers copy at once, and how
// the copy units of a database (whole tables and key ranges) are shared among the processes of a
// split run (--part I/N). Text in, text out: the queries that feed it are in CopyPlan.h.
//
// A table is cut when it holds at least kCutRows rows, into one range per kRowsPerRange rows
// (2 to kMaxRanges): the count depends on the table alone, never on the writers or the
// processes, so every process of a split run cuts it alike. An integer key whose span is at
// most twice its rows is cut into ranges of equal width between its minimum and maximum; any
// other key (sparse or skewed integers, decimals, dates) at quantiles sampled from the key in
// order. The first range is open below and the last open above, so the ranges cover every key.
//
// Stateless; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Converters/OrderedRows.h"

namespace velmora {

inline constexpr int64_t kCutRows = 50000;
inline constexpr int64_t kRowsPerRange = 25000;
inline constexpr int kMaxRanges = 16;

// The ranges a table of `rows` rows is cut into: 1 (not cut) below kCutRows.
int RangeCountFor(int64_t rows);

// Whether `type` (MySQL, "bigint(20) unsigned") is an integer type.
bool IsIntegerType(std::string_view mysqlType);

// Whether an integer key from `min` to `max` is dense enough to be cut by width: its span is at
// most twice the rows. False when either is not an integer.
bool DenseIntegerKey(std::string_view min, std::string_view max, int64_t rows);

// The count-1 inner boundaries of `count` ranges of equal width from the integer `min` to `max`
// (each the first key of its range), without repeats where the span is narrow.
std::vector<std::string> EvenBoundaries(std::string_view min, std::string_view max, int count);

// The count-1 boundaries picked evenly from keys sampled in ascending order, without repeats.
std::vector<std::string> PickBoundaries(const std::vector<std::string>& sampled, int count);

// One key range of a table: from `from` (included) to `to` (excluded); an absent bound is open.
struct KeyRange {
    std::string column;
    KeyOrder order = KeyOrder::Number;
    std::optional<std::string> from;
    std::optional<std::string> to;
    int index = 0;  // 0-based
    int count = 1;
};

// The ranges between the boundaries, in key order.
std::vector<KeyRange> RangesBetween(const std::string& column, KeyOrder order,
                                    const std::vector<std::string>& boundaries);

// The rows of a range as a predicate of that dialect ("`id` >= 100 and `id` < 200").
std::string RangePredicate(SqlDialect dialect, const KeyRange& range);

// "range 2 of 4 (`id` >= 100 and `id` < 200)", for the log.
std::string DescribeRange(const KeyRange& range);

// One piece of a database's copy: a whole table, or one key range of it.
struct CopyUnit {
    std::string table;
    std::optional<KeyRange> range;
    int64_t rows = 0;  // what the plan expects, for sharing the work evenly
};

// Share I of N of a split run (1-based).
struct PartSpec {
    int part = 0;
    int parts = 0;
};
inline constexpr int kMaxParts = 1000;

// "I/N" with 1 <= I <= N <= kMaxParts; nothing for any other text.
std::optional<PartSpec> ParsePart(std::string_view text);

// The share (1..parts) of every unit: the largest units first, each to the share with the fewest
// rows so far (the lowest share on a tie). The same units give the same shares in every process.
std::vector<int> AssignShares(const std::vector<CopyUnit>& units, int parts);

// A short text that differs when two processes would split the work differently.
std::string SplitFingerprint(const std::vector<CopyUnit>& units, int parts);

}  // namespace velmora
