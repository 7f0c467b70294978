#include "Converters/ValueNormalisation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace velmora {
namespace {

constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kTicksPerDay = 86'400 * kTicksPerSecond;
constexpr int kMaxFractionDigits = 7;

std::string LowerWord(std::string_view type) {
    std::string word;
    for (char c : type) {
        if (c == '(' || c == ' ') break;
        word.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    return word;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads `count` digits at `at`; nothing when they are not all digits.
std::optional<int64_t> Digits(std::string_view text, size_t at, size_t count) {
    if (at + count > text.size()) return std::nullopt;
    int64_t value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (!IsDigit(text[i])) return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// ".fffffff" at `at` (or nothing there): the fraction in ticks; `end` gets the position after.
std::optional<int64_t> FractionTicks(std::string_view text, size_t at, size_t& end) {
    end = at;
    if (at >= text.size() || text[at] != '.') return 0;
    int64_t ticks = 0;
    int digits = 0;
    for (end = at + 1; end < text.size() && IsDigit(text[end]); ++end) {
        // Digits beyond 100 ns carry nothing a target can hold.
        if (digits < kMaxFractionDigits) ticks = ticks * 10 + (text[end] - '0');
        ++digits;
    }
    for (int d = digits; d < kMaxFractionDigits; ++d) ticks *= 10;
    return ticks;
}

// Digits after the point in the text of a date or time.
int FractionDigits(std::string_view text) {
    size_t point = text.rfind('.');
    if (point == std::string_view::npos) return 0;
    int digits = 0;
    for (size_t i = point + 1; i < text.size() && IsDigit(text[i]); ++i) ++digits;
    return digits;
}

// hh:mm:ss at `at`, hours of `hourDigits` digits.
std::optional<int64_t> ClockTicks(std::string_view text, size_t at, size_t hourDigits,
                                  size_t& end) {
    auto hours = Digits(text, at, hourDigits);
    size_t minuteAt = at + hourDigits + 1;
    if (!hours || minuteAt + 5 > text.size() || text[minuteAt - 1] != ':' ||
        text[minuteAt + 2] != ':') {
        return std::nullopt;
    }
    auto minutes = Digits(text, minuteAt, 2);
    auto seconds = Digits(text, minuteAt + 3, 2);
    if (!minutes || !seconds) return std::nullopt;
    auto fraction = FractionTicks(text, minuteAt + 5, end);
    return ((*hours * 60 + *minutes) * 60 + *seconds) * kTicksPerSecond + *fraction;
}

NormalisedValue Raw(std::string_view value) {
    NormalisedValue normal;
    normal.text = std::string(value);
    return normal;
}

NormalisedValue Null() {
    NormalisedValue normal;
    normal.null = true;
    return normal;
}

NormalisedValue AsText(const ComparedColumn&, std::string_view value) { return Raw(value); }

// CHAR's value: SQL Server pads it with blanks, MySQL drops them.
std::string_view WithoutTrailingBlanks(std::string_view value) {
    const size_t end = value.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view() : value.substr(0, end + 1);
}

NormalisedValue AsFixedText(const ComparedColumn&, std::string_view value) { return Raw(WithoutTrailingBlanks(value)); }

NormalisedValue AsNumber(const ComparedColumn&, std::string_view value) {
    std::optional<std::string> canonical = CanonicalDecimal(value);
    return Raw(canonical ? std::string_view(*canonical) : value);
}

NormalisedValue AsFloatingPoint(const ComparedColumn&, std::string_view value) {
    NormalisedValue normal = Raw(value);
    int digits = 0;
    bool leading = true;
    for (char c : value) {
        if (c == 'e' || c == 'E') break;
        if (!IsDigit(c)) continue;
        if (leading && c == '0') continue;
        leading = false;
        ++digits;
    }
    normal.significantDigits = digits;
    return normal;
}

NormalisedValue AsDateTime(const ComparedColumn&, std::string_view value) {
    if (IsZeroDate(value)) return Null();  // the Full translation writes NULL for a zero date
    NormalisedValue normal = Raw(value);
    normal.ticks = DateTimeTicks(value);
    return normal;
}

NormalisedValue AsTime(const ComparedColumn&, std::string_view value) {
    NormalisedValue normal = Raw(value);
    normal.ticks = TimeTicks(value);
    return normal;
}

uint64_t HexValue(std::string_view hex) {
    uint64_t value = 0;
    for (char c : hex) {
        int digit = IsDigit(c) ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : 0;
        value = value * 16 + static_cast<uint64_t>(digit);
    }
    return value;
}

// A bit value as a number: from bytes (hexadecimal) or from the digits or words a driver wrote.
NormalisedValue BitNumber(uint16_t type, std::string_view value) {
    if (type == kTypeBytes) return Raw(std::to_string(HexValue(value)));
    if (value == "True" || value == "true") return Raw("1");
    if (value == "False" || value == "false") return Raw("0");
    std::optional<std::string> canonical = CanonicalDecimal(value);
    return Raw(canonical ? std::string_view(*canonical) : value);
}

NormalisedValue SourceBit(const ComparedColumn& column, std::string_view value) {
    return BitNumber(column.sourceType, value);
}

NormalisedValue TargetBit(const ComparedColumn& column, std::string_view value) {
    return BitNumber(column.targetType, value);
}

NormalisedValue AsHex(const ComparedColumn&, std::string_view value) {
    NormalisedValue normal = Raw(value);
    for (char& c : normal.text) {
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    }
    return normal;
}

const FamilyRule& RuleOf(ValueFamily family) {
    for (const FamilyRule& rule : FamilyRules()) {
        if (rule.family == family) return rule;
    }
    return FamilyRules().front();
}

// The smallest difference the target column can hold, in ticks.
int64_t TargetUnit(const ComparedColumn& column, std::string_view targetText) {
    int digits = std::max(column.targetScale, FractionDigits(targetText));
    if (digits >= kMaxFractionDigits) return 1;
    // Three digits may be SQL Server's datetime, whose steps are 1/300 s.
    if (digits == 3) return kTicksPerSecond / 300 + 1;
    int64_t unit = kTicksPerSecond;
    for (int d = 0; d < digits; ++d) unit /= 10;
    return unit;
}

bool SameFloatingPoint(bool single, const NormalisedValue& expected, const NormalisedValue& actual) {
    char* end = nullptr;
    double want = std::strtod(expected.text.c_str(), &end);
    if (end == expected.text.c_str()) return expected.text == actual.text;
    double got = std::strtod(actual.text.c_str(), &end);
    if (end == actual.text.c_str()) return false;
    auto same = [single](double a, double b) {
        return single ? static_cast<float>(a) == static_cast<float>(b) : a == b;
    };
    if (same(want, got)) return true;
    // The driver printed fewer digits than the value has (drivers print at least 6 for real and
    // 15 for float): compare at those digits. Fewer digits than that are a different value.
    int digits = actual.significantDigits;
    if (digits < (single ? 6 : 15) || digits >= 17) return false;
    char rounded[64];
    std::snprintf(rounded, sizeof rounded, "%.*g", digits,
                  single ? static_cast<double>(static_cast<float>(want)) : want);
    return same(std::strtod(rounded, nullptr), got);
}

}  // namespace

const std::vector<TypeRule>& TypeRules() {
    static const std::vector<TypeRule> rules = {
        {"char", ValueFamily::FixedText},    {"varchar", ValueFamily::Text},
        {"tinytext", ValueFamily::Text},     {"text", ValueFamily::Text},
        {"mediumtext", ValueFamily::Text},   {"longtext", ValueFamily::Text},
        {"enum", ValueFamily::Text},         {"set", ValueFamily::Text},
        {"json", ValueFamily::Text},         {"uuid", ValueFamily::Text},
        {"inet4", ValueFamily::Text},        {"inet6", ValueFamily::Text},
        {"tinyint", ValueFamily::Integer},   {"smallint", ValueFamily::Integer},
        {"mediumint", ValueFamily::Integer}, {"int", ValueFamily::Integer},
        {"integer", ValueFamily::Integer},   {"bigint", ValueFamily::Integer},
        {"bool", ValueFamily::Integer},      {"boolean", ValueFamily::Integer},
        {"decimal", ValueFamily::Decimal},   {"numeric", ValueFamily::Decimal},
        {"dec", ValueFamily::Decimal},       {"fixed", ValueFamily::Decimal},
        {"float", ValueFamily::Real},        {"double", ValueFamily::Double},
        {"real", ValueFamily::Double},       {"date", ValueFamily::Date},
        {"datetime", ValueFamily::DateTime}, {"timestamp", ValueFamily::DateTime},
        {"time", ValueFamily::Time},         {"year", ValueFamily::Year},
        {"bit", ValueFamily::Bit},           {"binary", ValueFamily::Binary},
        {"varbinary", ValueFamily::Binary},  {"tinyblob", ValueFamily::Binary},
        {"blob", ValueFamily::Binary},       {"mediumblob", ValueFamily::Binary},
        {"longblob", ValueFamily::Binary},   {"geometry", ValueFamily::Spatial},
        {"point", ValueFamily::Spatial},     {"linestring", ValueFamily::Spatial},
        {"polygon", ValueFamily::Spatial},   {"multipoint", ValueFamily::Spatial},
        {"multilinestring", ValueFamily::Spatial}, {"multipolygon", ValueFamily::Spatial},
        {"geometrycollection", ValueFamily::Spatial},
    };
    return rules;
}

const std::vector<FamilyRule>& FamilyRules() {
    static const std::vector<FamilyRule> rules = {
        {ValueFamily::Text, "text", AsText, AsText},
        {ValueFamily::FixedText, "char", AsFixedText, AsFixedText},
        {ValueFamily::Integer, "integer", AsNumber, AsNumber},
        {ValueFamily::Decimal, "decimal", AsNumber, AsNumber},
        {ValueFamily::Real, "float", AsFloatingPoint, AsFloatingPoint},
        {ValueFamily::Double, "double", AsFloatingPoint, AsFloatingPoint},
        {ValueFamily::Date, "date", AsDateTime, AsDateTime},
        {ValueFamily::DateTime, "datetime", AsDateTime, AsDateTime},
        {ValueFamily::Time, "time", AsTime, AsTime},
        {ValueFamily::Year, "year", AsNumber, AsNumber},
        {ValueFamily::Bit, "bit", SourceBit, TargetBit},
        {ValueFamily::Binary, "binary", AsHex, AsHex},
        {ValueFamily::Spatial, "spatial", AsText, AsText},
    };
    return rules;
}

ValueFamily FamilyOfMySqlType(std::string_view mysqlType) {
    std::string word = LowerWord(mysqlType);
    for (const TypeRule& rule : TypeRules()) {
        if (rule.typeWord == word) return rule.family;
    }
    return ValueFamily::Text;
}

const char* FamilyName(ValueFamily family) { return RuleOf(family).name; }

NormalisedValue NormaliseSource(const ComparedColumn& column, std::optional<std::string_view> value) {
    if (!value) return Null();
    return RuleOf(column.family).fromSource(column, *value);
}

NormalisedValue NormaliseTarget(const ComparedColumn& column, std::optional<std::string_view> value) {
    if (!value) return Null();
    return RuleOf(column.family).fromTarget(column, *value);
}

bool SameTextAsRead(const ComparedColumn& column, std::string_view source, std::string_view target) {
    const FamilyRule& rule = RuleOf(column.family);
    if (rule.fromSource != rule.fromTarget) return false;
    if (rule.fromSource == AsText) return source == target;
    if (rule.fromSource == AsFixedText) return WithoutTrailingBlanks(source) == WithoutTrailingBlanks(target);
    if (rule.fromSource == AsHex) {
        const auto upper = [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c; };
        return source.size() == target.size() &&
               std::equal(source.begin(), source.end(), target.begin(), [&](char a, char b) { return upper(a) == upper(b); });
    }
    return false;
}

bool SameValue(const ComparedColumn& column, const NormalisedValue& expected,
               const NormalisedValue& actual, std::string_view targetText) {
    if (expected.null || actual.null) return expected.null == actual.null;
    if (expected.ticks && actual.ticks) {
        int64_t difference = *expected.ticks - *actual.ticks;
        if (difference < 0) difference = -difference;
        if (column.family == ValueFamily::Date) return *expected.ticks / kTicksPerDay == *actual.ticks / kTicksPerDay;
        return difference < TargetUnit(column, targetText);
    }
    if (column.family == ValueFamily::Real || column.family == ValueFamily::Double) {
        return SameFloatingPoint(column.family == ValueFamily::Real, expected, actual);
    }
    return expected.text == actual.text;
}

std::optional<std::string> CanonicalDecimal(std::string_view text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::string whole;
    std::string fraction;
    for (; i < text.size() && IsDigit(text[i]); ++i) whole.push_back(text[i]);
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && IsDigit(text[i]); ++i) fraction.push_back(text[i]);
    }
    if (i != text.size() || (whole.empty() && fraction.empty())) return std::nullopt;
    size_t first = whole.find_first_not_of('0');
    whole = first == std::string::npos ? "0" : whole.substr(first);
    size_t last = fraction.find_last_not_of('0');
    fraction = last == std::string::npos ? "" : fraction.substr(0, last + 1);
    std::string canonical = whole + (fraction.empty() ? "" : "." + fraction);
    if (negative && canonical != "0") canonical.insert(0, "-");
    return canonical;
}

int CompareDecimals(std::string_view left, std::string_view right) {
    bool leftNegative = !left.empty() && left[0] == '-';
    bool rightNegative = !right.empty() && right[0] == '-';
    if (leftNegative != rightNegative) return leftNegative ? -1 : 1;
    if (leftNegative) {
        left.remove_prefix(1);
        right.remove_prefix(1);
    }
    size_t leftPoint = std::min(left.find('.'), left.size());
    size_t rightPoint = std::min(right.find('.'), right.size());
    int order = 0;
    if (leftPoint != rightPoint) {
        order = leftPoint < rightPoint ? -1 : 1;
    } else {
        order = left.compare(right);  // same number of whole digits: the text order is the order
        order = order < 0 ? -1 : (order > 0 ? 1 : 0);
    }
    return leftNegative ? -order : order;
}

bool IsZeroDate(std::string_view text) {
    auto year = Digits(text, 0, 4);
    auto month = Digits(text, 5, 2);
    auto day = Digits(text, 8, 2);
    return year && month && day && text[4] == '-' && text[7] == '-' &&
           (*year == 0 || *month == 0 || *day == 0);
}

std::optional<int64_t> DateTimeTicks(std::string_view text) {
    auto year = Digits(text, 0, 4);
    auto month = Digits(text, 5, 2);
    auto day = Digits(text, 8, 2);
    if (!year || !month || !day || text[4] != '-' || text[7] != '-' || *month == 0 ||
        *month > 12 || *day == 0 || *day > 31) {
        return std::nullopt;
    }
    int64_t ticks = DaysFromCivil(*year, *month, *day) * kTicksPerDay;
    if (text.size() == 10) return ticks;
    if (text[10] != ' ' && text[10] != 'T') return std::nullopt;
    size_t end = 0;
    auto clock = ClockTicks(text, 11, 2, end);
    if (!clock || end != text.size()) return std::nullopt;
    return ticks + *clock;
}

std::optional<int64_t> TimeTicks(std::string_view text) {
    bool negative = !text.empty() && text[0] == '-';
    size_t at = negative ? 1 : 0;
    size_t colon = text.find(':', at);
    if (colon == std::string_view::npos || colon == at || colon - at > 3) return std::nullopt;
    size_t end = 0;
    auto ticks = ClockTicks(text, at, colon - at, end);
    if (!ticks || end != text.size()) return std::nullopt;
    return negative ? -*ticks : *ticks;
}

}  // namespace velmora
