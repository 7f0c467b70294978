#include "translation/TypeMapRules.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <initializer_list>

#include "translation/BatchSafety.h"
#include "translation/Collations.h"
#include "translation/SqlParser.h"
#include "translation/TypeMapping.h"

namespace velmora {
namespace {

std::string Trim(std::string_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return std::string(text.substr(begin, end - begin));
}

bool OneOf(std::string_view value, std::initializer_list<std::string_view> names) {
    for (std::string_view name : names) {
        if (value == name) return true;
    }
    return false;
}

// The text up to a '#' that is not inside backquotes.
std::string_view WithoutComment(std::string_view line) {
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '`') quoted = !quoted;
        if (line[i] == '#' && !quoted) return line.substr(0, i);
    }
    return line;
}

// The first '=' outside backquotes and parentheses; npos when there is none.
size_t FindEquals(std::string_view line) {
    bool quoted = false;
    int depth = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '`') quoted = !quoted;
        if (quoted) continue;
        if (c == '(') ++depth;
        if (c == ')') --depth;
        if (c == '=' && depth == 0) return i;
    }
    return std::string_view::npos;
}

// Splits a.b.c at dots outside backquotes, unquoting each part; empty on a malformed path.
std::vector<std::string> NameParts(std::string_view text) {
    std::vector<std::string> parts(1);
    bool quoted = false, wasQuoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '`') {
            if (quoted && i + 1 < text.size() && text[i + 1] == '`') {
                parts.back().push_back('`');
                ++i;
                continue;
            }
            quoted = !quoted;
            wasQuoted = true;
            continue;
        }
        if (c == '.' && !quoted) {
            if (parts.back().empty()) return {};
            parts.emplace_back();
            wasQuoted = false;
            continue;
        }
        if (!quoted && std::isspace(static_cast<unsigned char>(c))) return {};
        parts.back().push_back(c);
    }
    if (quoted || (parts.back().empty() && !wasQuoted)) return {};
    return parts;
}

bool HasUnquotedDot(std::string_view text) {
    bool quoted = false;
    for (char c : text) {
        if (c == '`') quoted = !quoted;
        if (c == '.' && !quoted) return true;
    }
    return false;
}

std::optional<int64_t> Number(std::string_view text) {
    std::string trimmed = Trim(text);
    int64_t value = 0;
    auto [end, error] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
    if (error != std::errc() || end != trimmed.data() + trimmed.size() || trimmed.empty()) return std::nullopt;
    return value;
}

// A type as name, arguments and trailing words: "decimal(10, 2) unsigned".
struct TypeText {
    std::string name;
    std::vector<std::string> arguments;
    bool hasArguments = false;
    std::vector<std::string> words;
    std::string error;
};

TypeText SplitType(std::string_view text) {
    TypeText type;
    std::string lower = LowerAscii(Trim(text));
    size_t i = 0;
    while (i < lower.size() && (std::isalnum(static_cast<unsigned char>(lower[i])) || lower[i] == '_')) ++i;
    type.name = lower.substr(0, i);
    if (type.name.empty()) {
        type.error = "no type name";
        return type;
    }
    std::string rest = Trim(std::string_view(lower).substr(i));
    if (!rest.empty() && rest[0] == '(') {
        size_t close = rest.find(')');
        if (close == std::string::npos) {
            type.error = "a '(' without ')'";
            return type;
        }
        type.hasArguments = true;
        std::string inside = rest.substr(1, close - 1);
        size_t start = 0;
        for (size_t comma = inside.find(','); ; comma = inside.find(',', start)) {
            type.arguments.push_back(Trim(inside.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
        rest = Trim(rest.substr(close + 1));
    }
    size_t start = 0;
    while (start < rest.size()) {
        size_t blank = rest.find(' ', start);
        std::string word = rest.substr(start, blank == std::string::npos ? std::string::npos : blank - start);
        if (!word.empty()) type.words.push_back(word);
        if (blank == std::string::npos) break;
        start = blank + 1;
    }
    return type;
}

bool IsMySqlType(std::string_view name) {
    return OneOf(name, {"tinyint", "smallint", "mediumint", "int", "integer", "bigint", "decimal", "numeric", "dec",
                        "fixed", "float", "double", "real", "bit", "bool", "boolean", "char", "varchar", "tinytext",
                        "text", "mediumtext", "longtext", "json", "binary", "varbinary", "tinyblob", "blob",
                        "mediumblob", "longblob", "date", "time", "datetime", "timestamp", "year", "enum", "set",
                        "geometry", "point", "linestring", "polygon", "multipoint", "multilinestring",
                        "multipolygon", "geometrycollection", "uuid", "inet4", "inet6"});
}

bool IsTemporal(std::string_view type) { return OneOf(type, {"time", "datetime", "timestamp"}); }

std::string Canonical(std::string_view type) {
    if (type == "integer" || type == "int4") return "int";
    if (OneOf(type, {"numeric", "dec", "fixed"})) return "decimal";
    if (type == "int8") return "bigint";
    if (type == "int1") return "tinyint";
    if (type == "int2") return "smallint";
    return std::string(type);
}

std::string ReadTypeRule(std::string_view left, TypeMapRule& rule) {
    TypeText type = SplitType(left);
    if (!type.error.empty()) return type.error;
    if (!IsMySqlType(type.name)) return "'" + type.name + "' is not a MySQL type";
    rule.baseType = Canonical(type.name);
    if (type.hasArguments) {
        if (type.arguments.empty() || type.arguments.size() > 2) return "a type takes one or two numbers in parentheses";
        rule.length = Number(type.arguments[0]);
        if (!rule.length) return "'" + type.arguments[0] + "' is not a number";
        if (type.arguments.size() == 2) {
            rule.scale = Number(type.arguments[1]);
            if (!rule.scale) return "'" + type.arguments[1] + "' is not a number";
        }
    }
    for (const std::string& word : type.words) {
        if (word == "unsigned") rule.isUnsigned = true;
        else if (word != "signed") return "'" + word + "' after the type is not understood (only unsigned is)";
    }
    return "";
}

std::string ReadColumnPath(std::string_view left, TypeMapRule& rule) {
    std::vector<std::string> parts = NameParts(Trim(left));
    if (parts.size() < 2 || parts.size() > 3) {
        return "a column is named database.table.column or table.column (names with dots or blanks in backquotes)";
    }
    rule.column = parts.back();
    rule.table = parts[parts.size() - 2];
    if (parts.size() == 3) rule.database = parts[0];
    return "";
}

// The rule of one line, or the reason it cannot be read.
std::string ReadRule(std::string_view line, TypeMapRule& rule) {
    if (std::count(line.begin(), line.end(), '`') % 2 != 0) return "a backquote is not closed";
    size_t equals = FindEquals(line);
    if (equals == std::string_view::npos) return "no '=' (a rule reads: source = target)";
    std::string left = Trim(line.substr(0, equals));
    rule.target = Trim(line.substr(equals + 1));
    if (left.empty()) return "nothing before '='";
    if (rule.target.empty()) return "nothing after '='";
    std::string lowerLeft = LowerAscii(left);
    if (lowerLeft.starts_with("collation") && lowerLeft.size() > 9 &&
        std::isspace(static_cast<unsigned char>(lowerLeft[9]))) {
        rule.collation = true;
        left = Trim(std::string_view(left).substr(9));
        if (std::string why = InvalidCollationName(rule.target); !why.empty()) return why;
        if (HasUnquotedDot(left) || left.find('`') != std::string::npos) return ReadColumnPath(left, rule);
        if (!InvalidCollationName(left).empty()) return "'" + left + "' is not a collation name";
        rule.sourceCollation = LowerAscii(left);
        return "";
    }
    if (std::string why = InvalidTargetType(rule.target); !why.empty()) return why;
    if (HasUnquotedDot(left) || left.front() == '`') return ReadColumnPath(left, rule);
    return ReadTypeRule(left, rule);
}

bool SameName(std::string_view rule, std::string_view name) { return LowerAscii(rule) == LowerAscii(name); }

bool ColumnRuleMatches(const TypeMapRule& rule, std::string_view database, std::string_view table,
                       std::string_view column) {
    return rule.IsColumnRule() && (rule.database.empty() || rule.database == database) &&
           SameName(rule.table, table) && SameName(rule.column, column);
}

// MySQL prints a json column as json; MariaDB as longtext with CHECK (json_valid(column)).
bool IsJsonColumn(const ColumnModel& c) {
    if (c.baseType == "json") return true;
    std::string compact;
    for (char ch : LowerAscii(c.check)) {
        if (ch != ' ' && ch != '`') compact.push_back(ch);
    }
    return compact == "json_valid(" + LowerAscii(c.name) + ")";
}

bool TypeRuleMatches(const TypeMapRule& rule, const ColumnModel& c) {
    if (rule.IsColumnRule() || rule.isUnsigned != c.isUnsigned) return false;
    if (rule.baseType == "json") return IsJsonColumn(c);
    if (Canonical(c.baseType) != rule.baseType) return false;
    if (!rule.length) return true;
    if (IsTemporal(c.baseType)) return c.precision.value_or(0) == *rule.length;
    if (c.length != rule.length) return false;
    return !rule.scale || c.scale.value_or(0) == *rule.scale;
}

}  // namespace

std::string InvalidCollationName(std::string_view name) {
    if (name.empty()) return "no collation name";
    for (char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') {
            return "'" + std::string(name) + "' is not a collation name (letters, digits and underscores only)";
        }
    }
    return "";
}

std::string InvalidTargetType(std::string_view text) {
    TypeText type = SplitType(text);
    const std::string quoted = "'" + Trim(text) + "'";
    if (!type.error.empty()) return quoted + " is not a SQL Server type: " + type.error;
    if (!type.words.empty()) return quoted + " is not a SQL Server type: '" + type.words.front() + "' after it";
    const std::string& n = type.name;
    auto range = [&](int64_t low, int64_t high, bool max) -> std::string {
        if (!type.hasArguments) return "";
        if (type.arguments.size() != 1) return quoted + " is not a SQL Server type: " + n + " takes one number";
        if (max && type.arguments[0] == "max") return "";
        std::optional<int64_t> v = Number(type.arguments[0]);
        if (!v || *v < low || *v > high) {
            return quoted + " is not a SQL Server type: " + n + " takes " + std::to_string(low) + " to " +
                   std::to_string(high) + (max ? " or max" : "");
        }
        return "";
    };
    if (OneOf(n, {"bit", "tinyint", "smallint", "int", "bigint", "money", "smallmoney", "real", "date", "datetime",
                  "smalldatetime", "uniqueidentifier", "xml", "text", "ntext", "image"})) {
        return type.hasArguments ? quoted + " is not a SQL Server type: " + n + " takes no length" : "";
    }
    if (OneOf(n, {"char", "varchar", "binary", "varbinary"})) return range(1, 8000, n[0] == 'v');
    if (OneOf(n, {"nchar", "nvarchar"})) return range(1, 4000, n == "nvarchar");
    if (n == "float") return range(1, 53, false);
    if (OneOf(n, {"time", "datetime2", "datetimeoffset"})) return range(0, 7, false);
    if (n == "decimal" || n == "numeric") {
        if (!type.hasArguments) return "";
        std::optional<int64_t> p = Number(type.arguments[0]);
        std::optional<int64_t> s = type.arguments.size() > 1 ? Number(type.arguments[1]) : int64_t{0};
        if (type.arguments.size() > 2 || !p || !s || *p < 1 || *p > 38 || *s < 0 || *s > *p) {
            return quoted + " is not a SQL Server type: " + n + "(p,s) takes a precision of 1 to 38 and a scale of 0 to p";
        }
        return "";
    }
    return quoted + " is not a SQL Server type";
}

TypeMapParse ParseTypeMap(std::string_view text) {
    TypeMapParse result;
    int number = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        ++number;
        std::string rule = Trim(WithoutComment(line));
        if (!rule.empty()) {
            TypeMapRule parsed;
            parsed.line = number;
            parsed.text = rule;
            if (std::string why = ReadRule(rule, parsed); !why.empty()) {
                result.errorLine = number;
                result.error = "line " + std::to_string(number) + ": " + ShownText(why, 300);
                result.map.rules.clear();
                return result;
            }
            result.map.rules.push_back(std::move(parsed));
        }
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return result;
}

const TypeMapRule* FindTypeRule(const TypeMap& map, std::string_view database, std::string_view table,
                                const ColumnModel& column) {
    const TypeMapRule* sized = nullptr;
    const TypeMapRule* plain = nullptr;
    for (const TypeMapRule& rule : map.rules) {
        if (rule.collation) continue;
        if (ColumnRuleMatches(rule, database, table, column.name)) return &rule;
        if (!TypeRuleMatches(rule, column)) continue;
        const TypeMapRule*& slot = rule.length ? sized : plain;
        if (!slot) slot = &rule;
    }
    return sized ? sized : plain;
}

const TypeMapRule* FindCollationRule(const TypeMap& map, std::string_view database, std::string_view table,
                                     std::string_view column, std::string_view collation) {
    const TypeMapRule* byName = nullptr;
    for (const TypeMapRule& rule : map.rules) {
        if (!rule.collation) continue;
        if (ColumnRuleMatches(rule, database, table, column)) return &rule;
        if (!byName && !rule.IsColumnRule() && !collation.empty() && rule.sourceCollation == LowerAscii(collation)) {
            byName = &rule;
        }
    }
    return byName;
}

std::string SourceTypeText(const ColumnModel& c) {
    std::string text = c.baseType;
    if (IsTemporal(c.baseType) && c.precision) {
        text += "(" + std::to_string(*c.precision) + ")";
    } else if (c.length && c.baseType != "enum" && c.baseType != "set") {
        text += "(" + std::to_string(*c.length) + (c.scale ? "," + std::to_string(*c.scale) : "") + ")";
    }
    if (c.isUnsigned) text += " unsigned";
    return text;
}

std::string AppliedOverride::Describe() const {
    return std::string(collation ? "collation " : "") + (builtinType.empty() ? sourceType : builtinType) + " -> " +
           targetType + " (type map line " + std::to_string(line) + ": " + rule + ")";
}

std::vector<AppliedOverride> AppliedOverrides(const TypeMap& map, std::string_view database, const TableModel& table) {
    std::vector<AppliedOverride> applied;
    if (map.empty()) return applied;
    std::string charset = table.options.charset;
    if (charset.empty()) charset = table.options.collation.substr(0, table.options.collation.find('_'));
    for (const ColumnModel& c : table.columns) {
        if (const TypeMapRule* rule = FindTypeRule(map, database, table.name, c)) {
            applied.push_back({std::string(database), table.name, c.name, SourceTypeText(c),
                               MapColumnType(c, charset).targetType, rule->target, false, rule->line, rule->text});
        }
    }
    for (const ColumnModel& c : table.columns) {
        std::string source = SourceCollationOf(c, table.options);
        if (!IsCollatedColumn(c) || IsJsonColumn(c)) continue;
        if (const TypeMapRule* rule = FindCollationRule(map, database, table.name, c.name, source)) {
            applied.push_back({std::string(database), table.name, c.name, source, TargetCollation(source),
                               rule->target, true, rule->line, rule->text});
        }
    }
    return applied;
}

}  // namespace velmora
