#include "translation/TypeFit.h"

#include <cctype>
#include <cstdlib>
#include <initializer_list>
#include <vector>

#include "translation/SqlParser.h"

namespace velmora {
namespace {

enum class Kind { Number, Text, Bytes, Date, DateTime, Time, Uuid, Other };

bool OneOf(std::string_view value, std::initializer_list<std::string_view> names) {
    for (std::string_view name : names) {
        if (value == name) return true;
    }
    return false;
}

Kind SourceKind(const ColumnModel& c) {
    const std::string& t = c.baseType;
    if (OneOf(t, {"bit"})) return c.length.value_or(1) > 1 ? Kind::Bytes : Kind::Number;
    if (OneOf(t, {"tinyint", "smallint", "mediumint", "int", "integer", "bigint", "decimal", "numeric", "dec",
                  "fixed", "float", "double", "real", "bool", "boolean", "year"})) {
        return Kind::Number;
    }
    if (OneOf(t, {"binary", "varbinary", "tinyblob", "blob", "mediumblob", "longblob"})) return Kind::Bytes;
    if (t == "date") return Kind::Date;
    if (t == "datetime" || t == "timestamp") return Kind::DateTime;
    if (t == "time") return Kind::Time;
    if (t == "uuid") return Kind::Uuid;
    return Kind::Text;
}

// A target type split into its lower-case name and numbers ("decimal", {12, 2}; "varchar", {-1} for max).
struct Target {
    std::string name;
    std::vector<long long> numbers;
    bool max = false;
};

Target ParseTarget(std::string_view text) {
    Target t;
    std::string lower = LowerAscii(text);
    size_t open = lower.find('(');
    t.name = lower.substr(0, open);
    while (!t.name.empty() && t.name.back() == ' ') t.name.pop_back();
    if (open == std::string::npos) return t;
    std::string inside = lower.substr(open + 1, lower.find(')') - open - 1);
    t.max = inside.find("max") != std::string::npos;
    for (size_t at = 0; at < inside.size();) {
        size_t comma = inside.find(',', at);
        std::string part = inside.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        if (!t.max) t.numbers.push_back(std::atoll(part.c_str()));
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return t;
}

bool IsInteger(const Target& t) { return OneOf(t.name, {"bit", "tinyint", "smallint", "int", "bigint"}); }
bool IsDecimal(const Target& t) { return OneOf(t.name, {"decimal", "numeric", "money", "smallmoney"}); }
bool IsFloat(const Target& t) { return OneOf(t.name, {"real", "float"}); }
bool IsText(const Target& t) { return OneOf(t.name, {"char", "varchar", "nchar", "nvarchar", "text", "ntext"}); }
bool IsBytes(const Target& t) { return OneOf(t.name, {"binary", "varbinary", "image"}); }
bool IsUnicode(const Target& t) { return t.name == "nchar" || t.name == "nvarchar" || t.name == "ntext"; }

// The largest length the target takes (characters or bytes); -1 without a bound.
long long MaxLength(const Target& t) {
    if (t.max || t.name == "text" || t.name == "ntext" || t.name == "image") return -1;
    return t.numbers.empty() ? 1 : t.numbers[0];
}

struct Range {
    long double low, high;
    std::string text;
};

Range RangeOf(const Target& t) {
    if (t.name == "bit") return {0, 1, "0 or 1"};
    if (t.name == "tinyint") return {0, 255, "0 to 255"};
    if (t.name == "smallint") return {-32768, 32767, "-32768 to 32767"};
    if (t.name == "int") return {-2147483648.0L, 2147483647.0L, "-2147483648 to 2147483647"};
    if (t.name == "bigint") {
        return {-9223372036854775808.0L, 9223372036854775807.0L, "-9223372036854775808 to 9223372036854775807"};
    }
    if (t.name == "money") return {-922337203685477.5808L, 922337203685477.5807L, "-922337203685477.5808 to 922337203685477.5807"};
    if (t.name == "smallmoney") return {-214748.3648L, 214748.3647L, "-214748.3648 to 214748.3647"};
    long long p = t.numbers.empty() ? 18 : t.numbers[0];
    long long s = t.numbers.size() > 1 ? t.numbers[1] : 0;
    long double bound = 1;
    for (long long i = 0; i < p - s; ++i) bound *= 10;
    std::string digits = std::to_string(p - s);
    return {-bound, bound, "fewer than " + digits + " integer digits"};
}

int ScaleOf(const Target& t) {
    if (IsInteger(t)) return 0;
    if (t.name == "money" || t.name == "smallmoney") return 4;
    return t.numbers.size() > 1 ? static_cast<int>(t.numbers[1]) : 0;
}

std::string Shown(const std::string& value) {
    constexpr size_t kShown = 60;
    if (value.size() <= kShown) return value;
    size_t cut = kShown;
    while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) --cut;  // a whole character
    return value.substr(0, cut) + "...";
}

std::string RefuseKinds(Kind source, const Target& t, const ColumnModel& c, const std::string& type) {
    const std::string what = "a " + c.baseType + " column";
    switch (source) {
        case Kind::Number:
            if (IsInteger(t) || IsDecimal(t) || IsFloat(t) || IsText(t)) return "";
            break;
        case Kind::Text:
            if (IsText(t)) return "";
            break;
        case Kind::Bytes:
            if (IsBytes(t)) return "";
            break;
        case Kind::Uuid:
            if (t.name == "uniqueidentifier" || IsText(t)) return "";
            break;
        case Kind::Date:
            if (OneOf(t.name, {"date", "datetime", "datetime2", "smalldatetime", "datetimeoffset"}) || IsText(t)) return "";
            break;
        case Kind::DateTime:
            if (t.name == "date") return "date drops the time of day of " + what;
            if (OneOf(t.name, {"datetime", "datetime2", "smalldatetime", "datetimeoffset"}) || IsText(t)) return "";
            break;
        case Kind::Time:
            if (t.name == "time" || IsText(t)) return "";
            break;
        case Kind::Other:
            break;
    }
    return type + " cannot hold the values of " + what;
}

// Refusals that follow from the types alone (precision), before any value is read.
std::string RefusePrecision(Kind source, const Target& t, const ColumnModel& c) {
    const bool isDouble = OneOf(c.baseType, {"double", "real"}) || (c.baseType == "float" && c.length.value_or(0) > 24);
    if (IsFloat(t) && isDouble && (t.name == "real" || (!t.numbers.empty() && t.numbers[0] <= 24))) {
        return t.name + " keeps about 7 digits of a double's 15";
    }
    if ((source == Kind::DateTime || source == Kind::Time) && c.precision.value_or(0) > 0) {
        if (t.name == "datetime") return "datetime rounds fractions of a second to 1/300 s: datetime2 keeps them";
        if (t.name == "smalldatetime") return "smalldatetime keeps no seconds";
        if (OneOf(t.name, {"datetime2", "datetimeoffset", "time"})) {
            long long kept = t.numbers.empty() ? 7 : t.numbers[0];
            if (kept < *c.precision) {
                return t.name + "(" + std::to_string(kept) + ") rounds the " + std::to_string(*c.precision) +
                       " digits of the column's fractions of a second";
            }
        }
    }
    if (source == Kind::DateTime && t.name == "smalldatetime") return "smalldatetime keeps no seconds";
    return "";
}

}  // namespace

TypeFitPlan PlanTypeFit(const ColumnModel& column, std::string_view targetType) {
    TypeFitPlan plan;
    const Target t = ParseTarget(targetType);
    const Kind source = SourceKind(column);
    plan.refusal = RefuseKinds(source, t, column, LowerAscii(targetType));
    if (plan.refusal.empty()) plan.refusal = RefusePrecision(source, t, column);
    if (!plan.refusal.empty()) return plan;
    if (source == Kind::Number && (IsInteger(t) || IsDecimal(t))) {
        plan.needs.range = true;
        const bool fractions = !OneOf(column.baseType, {"tinyint", "smallint", "mediumint", "int", "integer", "bigint",
                                                        "bool", "boolean", "year", "bit"});
        if (fractions) plan.needs.roundedScale = ScaleOf(t);
    }
    if (OneOf(t.name, {"datetime", "smalldatetime"})) plan.needs.range = true;
    if (IsText(t) || IsBytes(t)) plan.needs.length = MaxLength(t) >= 0;
    if (IsText(t) && !IsUnicode(t)) plan.needs.ascii = true;
    return plan;
}

std::string JudgeTypeFit(const ColumnModel& column, std::string_view targetType, const ColumnFigures& figures) {
    const TypeFitPlan plan = PlanTypeFit(column, targetType);
    if (!plan.refusal.empty()) return plan.refusal;
    const Target t = ParseTarget(targetType);
    const std::string type = LowerAscii(targetType);
    if (plan.needs.range && (IsInteger(t) || IsDecimal(t))) {
        const Range range = RangeOf(t);
        for (const auto& value : {figures.minimum, figures.maximum}) {
            if (!value) continue;
            long double number = std::strtold(value->c_str(), nullptr);
            bool outside = IsDecimal(t) && !OneOf(t.name, {"money", "smallmoney"})
                               ? (number <= range.low || number >= range.high)
                               : (number < range.low || number > range.high);
            if (outside) return *value + ", which " + type + " cannot hold (" + range.text + ")";
        }
    }
    if (plan.needs.range && !IsInteger(t) && !IsDecimal(t)) {
        const bool small = t.name == "smalldatetime";
        const std::string low = small ? "1900-01-01" : "1753-01-01";
        const std::string high = small ? "2079-06-06 23:59" : "9999-12-31 23:59:59.997";
        if (figures.minimum && *figures.minimum < low) {
            return *figures.minimum + ", which " + type + " cannot hold (" + low + " to " + high + ")";
        }
        if (figures.maximum && *figures.maximum > high) {
            return *figures.maximum + ", which " + type + " cannot hold (" + low + " to " + high + ")";
        }
    }
    if (figures.rounded) return *figures.rounded + ", which " + type + " would round";
    if (plan.needs.length && figures.longest) {
        const long long limit = MaxLength(t);
        const long long used = IsBytes(t) ? figures.longestBytes
                                          : IsUnicode(t) ? figures.longestUnits : figures.longestCharacters;
        if (used > limit) {
            return "'" + Shown(*figures.longest) + "' (" + std::to_string(used) + (IsBytes(t) ? " bytes" : " characters") +
                   "), which " + type + " cannot hold";
        }
    }
    if (plan.needs.ascii && figures.nonAscii) {
        return "'" + Shown(*figures.nonAscii) + "', whose characters outside ASCII " + t.name +
               " cannot keep on every target (nvarchar can)";
    }
    return "";
}

}  // namespace velmora
