#include "Converters/KeyRanges.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "translation/Naming.h"

namespace velmora {
namespace {

__extension__ typedef __int128 Wide;

// An integer of up to 38 digits with an optional sign; nothing for anything else.
std::optional<Wide> ParseWide(std::string_view text) {
    bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    if (text.empty() || text.size() > 38) return std::nullopt;
    Wide value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

std::string WideText(Wide value) {
    if (value == 0) return "0";
    const bool negative = value < 0;
    std::string digits;
    while (value != 0) {
        int digit = static_cast<int>(value % 10);
        digits.push_back(static_cast<char>('0' + (digit < 0 ? -digit : digit)));
        value /= 10;
    }
    if (negative) digits.push_back('-');
    std::reverse(digits.begin(), digits.end());
    return digits;
}

std::string Literal(SqlDialect dialect, KeyOrder order, const std::string& value) {
    if (order == KeyOrder::Number) return value;
    if (dialect == SqlDialect::MySql) return "'" + value + "'";
    return QuoteTargetString(value);
}

// FNV-1a, 64 bits: the same in every process and build.
uint64_t Fnv(std::string_view text, uint64_t hash = 14695981039346656037ull) {
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace

int RangeCountFor(int64_t rows) {
    if (rows < kCutRows) return 1;
    const int64_t ranges = (rows + kRowsPerRange - 1) / kRowsPerRange;
    return static_cast<int>(std::clamp<int64_t>(ranges, 2, kMaxRanges));
}

bool IsIntegerType(std::string_view mysqlType) {
    std::string word(mysqlType.substr(0, mysqlType.find_first_of("( ")));
    for (char& c : word) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return word == "tinyint" || word == "smallint" || word == "mediumint" || word == "int" ||
           word == "integer" || word == "bigint";
}

bool DenseIntegerKey(std::string_view min, std::string_view max, int64_t rows) {
    std::optional<Wide> low = ParseWide(min);
    std::optional<Wide> high = ParseWide(max);
    if (!low || !high || *high < *low || rows <= 0) return false;
    return *high - *low + 1 <= static_cast<Wide>(rows) * 2;
}

std::vector<std::string> EvenBoundaries(std::string_view min, std::string_view max, int count) {
    std::vector<std::string> boundaries;
    std::optional<Wide> low = ParseWide(min);
    std::optional<Wide> high = ParseWide(max);
    if (!low || !high || *high < *low || count < 2) return boundaries;
    const Wide span = *high - *low + 1;
    for (int i = 1; i < count; ++i) {
        std::string boundary = WideText(*low + span * i / count);
        if (boundary != WideText(*low) && (boundaries.empty() || boundaries.back() != boundary)) {
            boundaries.push_back(std::move(boundary));
        }
    }
    return boundaries;
}

std::vector<std::string> PickBoundaries(const std::vector<std::string>& sampled, int count) {
    std::vector<std::string> boundaries;
    if (sampled.empty() || count < 2) return boundaries;
    for (int i = 1; i < count; ++i) {
        const size_t at = sampled.size() * static_cast<size_t>(i) / static_cast<size_t>(count);
        const std::string& boundary = sampled[std::min(at, sampled.size() - 1)];
        if (boundaries.empty() || boundaries.back() != boundary) boundaries.push_back(boundary);
    }
    return boundaries;
}

std::vector<KeyRange> RangesBetween(const std::string& column, KeyOrder order,
                                    const std::vector<std::string>& boundaries) {
    std::vector<KeyRange> ranges;
    const int count = static_cast<int>(boundaries.size()) + 1;
    for (int i = 0; i < count; ++i) {
        KeyRange range{column, order, std::nullopt, std::nullopt, i, count};
        if (i > 0) range.from = boundaries[static_cast<size_t>(i - 1)];
        if (i + 1 < count) range.to = boundaries[static_cast<size_t>(i)];
        ranges.push_back(std::move(range));
    }
    return ranges;
}

std::string RangePredicate(SqlDialect dialect, const KeyRange& range) {
    const std::string name = QuoteSqlName(dialect, range.column);
    std::string predicate;
    if (range.from) predicate = name + " >= " + Literal(dialect, range.order, *range.from);
    if (range.to) {
        predicate += (predicate.empty() ? "" : " and ") + name + " < " +
                     Literal(dialect, range.order, *range.to);
    }
    return predicate;
}

std::string DescribeRange(const KeyRange& range) {
    return "range " + std::to_string(range.index + 1) + " of " + std::to_string(range.count) +
           " (" + RangePredicate(SqlDialect::MySql, range) + ")";
}

std::optional<PartSpec> ParsePart(std::string_view text) {
    const size_t slash = text.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    std::optional<Wide> part = ParseWide(text.substr(0, slash));
    std::optional<Wide> parts = ParseWide(text.substr(slash + 1));
    if (!part || !parts || *part < 1 || *parts > kMaxParts || *part > *parts) {
        return std::nullopt;
    }
    return PartSpec{static_cast<int>(*part), static_cast<int>(*parts)};
}

std::vector<int> AssignShares(const std::vector<CopyUnit>& units, int parts) {
    std::vector<size_t> order(units.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return units[a].rows > units[b].rows; });
    std::vector<int64_t> load(static_cast<size_t>(std::max(parts, 1)), 0);
    std::vector<int> shares(units.size(), 1);
    for (size_t unit : order) {
        const size_t least =
            static_cast<size_t>(std::min_element(load.begin(), load.end()) - load.begin());
        // An empty unit still costs a little work, so empty tables spread too.
        load[least] += std::max<int64_t>(units[unit].rows, 1);
        shares[unit] = static_cast<int>(least) + 1;
    }
    return shares;
}

std::string SplitFingerprint(const std::vector<CopyUnit>& units, int parts) {
    uint64_t hash = Fnv(std::to_string(parts));
    for (const CopyUnit& unit : units) {
        hash = Fnv(unit.table + '\n' + std::to_string(unit.rows) + '\n', hash);
        if (unit.range) hash = Fnv(DescribeRange(*unit.range) + '\n', hash);
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

}  // namespace velmora
