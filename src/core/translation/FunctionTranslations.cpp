// FunctionTranslations: MySQL functions written as T-SQL with MySQL's results kept: NULL
// handling (CONCAT, CONCAT_WS), exact division of averages, MySQL's counting of elapsed units
// (TIMESTAMPDIFF), format strings (DATE_FORMAT, STR_TO_DATE), positions counted from the end
// (SUBSTRING). A function without such a form is Untranslatable, named.
#include <algorithm>
#include <array>
#include <map>

#include "translation/GroupConcat.h"
#include "translation/SqlParser.h"
#include "translation/TsqlWriter.h"

namespace velmora {
namespace {

void NeedArguments(const SqlNode& call, std::size_t least, std::size_t most) {
    const std::size_t count = call.Children().size();
    if (count < least || count > most)
        throw Untranslatable{"function " + call.text + " with " + std::to_string(count) + " arguments"};
}

std::string Join(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& part : parts) out += (out.empty() ? "" : ", ") + part;
    return out;
}

// The T-SQL type of CAST(x AS type) / CONVERT(x, type).
std::string CastTargetType(const std::string& type) {
    const std::size_t paren = type.find('(');
    const std::string base = type.substr(0, paren);
    const std::string size = paren == std::string::npos ? "" : type.substr(paren);
    if (base == "char" || base == "nchar" || base == "varchar") return size.empty() ? "nvarchar(max)" : "nvarchar" + size;
    if (base == "signed" || base == "int" || base == "integer" || base == "bigint") return "bigint";
    if (base == "unsigned" || base.rfind("unsigned ", 0) == 0) return "decimal(20, 0)";
    if (base == "decimal" || base == "dec" || base == "numeric" || base == "fixed") {
        if (size.empty()) return "decimal(10, 0)";
        const int precision = std::stoi(size.substr(1));
        if (precision > 38) throw Untranslatable{"CAST AS " + type + " (beyond 38 digits)"};
        return size.find(',') == std::string::npos ? "decimal" + size : "decimal(" + size.substr(1, size.find(',') - 1) + ", " +
                                                                             size.substr(size.find(',') + 1);
    }
    if (base == "date") return "date";
    if (base == "datetime") return "datetime2" + (size.empty() ? std::string("(0)") : size);
    if (base == "time") return "time" + (size.empty() ? std::string("(0)") : size);
    if (base == "double" || base == "real") return "float(53)";
    if (base == "float") return "real";
    if (base == "binary") return size.empty() ? "varbinary(max)" : "varbinary" + size;
    throw Untranslatable{"CAST AS " + type};
}

// DATE_FORMAT's specifiers as .NET custom format specifiers; every other character is escaped.
std::string DotNetFormat(const std::string& mysqlFormat) {
    static const std::map<char, std::string> kSpecifiers = {
        {'Y', "yyyy"}, {'y', "yy"}, {'m', "MM"}, {'c', "M"}, {'d', "dd"}, {'e', "d"}, {'H', "HH"},
        {'k', "H"}, {'h', "hh"}, {'I', "hh"}, {'l', "h"}, {'i', "mm"}, {'s', "ss"}, {'S', "ss"},
        {'p', "tt"}, {'M', "MMMM"}, {'b', "MMM"}, {'W', "dddd"}, {'a', "ddd"}, {'f', "ffffff"},
        {'T', "HH:mm:ss"}, {'r', "hh:mm:ss tt"}, {'%', "\\%"}};
    std::string out;
    for (std::size_t i = 0; i < mysqlFormat.size(); ++i) {
        if (mysqlFormat[i] != '%' || i + 1 == mysqlFormat.size()) {
            out += '\\';
            out += mysqlFormat[i];
            continue;
        }
        const auto found = kSpecifiers.find(mysqlFormat[++i]);
        if (found == kSpecifiers.end()) throw Untranslatable{std::string("DATE_FORMAT specifier %") + mysqlFormat[i]};
        out += found->second;
    }
    return out.size() == 1 ? "%" + out : out;  // one letter alone would be a standard format
}

// A literal integer argument (12, -3), if the node is one.
bool LiteralInteger(const SqlNode& node, long long& value) {
    const bool negative = node.kind == SqlNode::Kind::Unary && node.op == "-";
    const SqlNode& number = negative ? *node.Children()[0] : node;
    if (number.kind != SqlNode::Kind::Number || number.text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::stoll(number.text) * (negative ? -1 : 1);
    return true;
}

const std::map<std::string, std::string> kSameFunctions = {
    {"abs", "ABS"}, {"sign", "SIGN"}, {"floor", "FLOOR"}, {"ceil", "CEILING"}, {"ceiling", "CEILING"},
    {"sqrt", "SQRT"}, {"exp", "EXP"}, {"pi", "PI"}, {"sin", "SIN"}, {"cos", "COS"}, {"tan", "TAN"},
    {"asin", "ASIN"}, {"acos", "ACOS"}, {"atan", "ATAN"}, {"degrees", "DEGREES"}, {"radians", "RADIANS"},
    {"pow", "POWER"}, {"power", "POWER"}, {"ln", "LOG"}, {"log10", "LOG10"}, {"lower", "LOWER"},
    {"lcase", "LOWER"}, {"upper", "UPPER"}, {"ucase", "UPPER"}, {"ltrim", "LTRIM"}, {"rtrim", "RTRIM"},
    {"reverse", "REVERSE"}, {"repeat", "REPLICATE"}, {"space", "SPACE"}, {"left", "LEFT"},
    {"right", "RIGHT"}, {"coalesce", "COALESCE"}, {"nullif", "NULLIF"}, {"ifnull", "COALESCE"},
    {"year", "YEAR"}, {"month", "MONTH"}, {"day", "DAY"}, {"dayofmonth", "DAY"}, {"last_day", "EOMONTH"}};

const std::map<std::string, std::string> kDateParts = {
    {"microsecond", "microsecond"}, {"second", "second"}, {"minute", "minute"}, {"hour", "hour"},
    {"day", "day"}, {"week", "week"}, {"month", "month"}, {"quarter", "quarter"}, {"year", "year"},
    {"dayofyear", "dayofyear"}};

std::string DatePart(const std::string& unit) {
    const auto found = kDateParts.find(unit);
    if (found == kDateParts.end() || unit == "dayofyear") throw Untranslatable{"INTERVAL unit " + unit};
    return found->second;
}

// The sum, over the characters of `text` (an nvarchar), of the bytes `weights` gives each code
// point `c.u` (a CASE expression). No UTF-8 collation (SQL Server 2019 and later only) and no
// DATALENGTH (UTF-16 bytes on SQL Server, UTF-8 on Babelfish): one form for every server. Where
// SUBSTRING splits a surrogate pair (a collation without _SC), each half weighs half the pair.
std::string SumOverCharacters(const std::string& text, const std::string& weights) {
    std::string digits;
    for (int i = 1; i <= 6; ++i) {  // 16^6 characters
        digits += std::string(i > 1 ? " CROSS JOIN " : "") +
                  "(VALUES (0),(0),(0),(0),(0),(0),(0),(0),(0),(0),(0),(0),(0),(0),(0),(0)) AS d" + std::to_string(i) + "(z)";
    }
    return "CASE WHEN " + text + " IS NULL THEN NULL ELSE ISNULL((SELECT SUM(" + weights +
           ") FROM (SELECT CAST(" + text + " AS nvarchar(max)) AS s) AS v CROSS APPLY (SELECT TOP (LEN(v.s + N'.') - 1) "
           "UNICODE(SUBSTRING(v.s, ROW_NUMBER() OVER (ORDER BY (SELECT NULL)), 1)) AS u FROM " + digits + ") AS c), 0) END";
}

bool OneOf(const std::string& value, std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (value == name) return true;
    return false;
}

}  // namespace

// LENGTH and OCTET_LENGTH: bytes of the value in its character set, which a column's definition
// tells (an expression is utf8mb4, the connection's).
std::string TsqlWriter::ByteLength(const SqlNode& argument, const std::string& text) {
    const ColumnModel* column = argument.kind == SqlNode::Kind::Name && columnOf ? columnOf(argument) : nullptr;
    if (column && (column->baseType.find("binary") != std::string::npos || column->baseType.find("blob") != std::string::npos))
        return "DATALENGTH(" + text + ")";
    const std::string charset = column && charsetOf ? charsetOf(argument) : "";
    const std::string bmpOrPair = "CASE WHEN c.u BETWEEN 55296 AND 57343 THEN 2 WHEN c.u < 65536 THEN ";
    if (charset.empty() || charset.rfind("utf8", 0) == 0)
        return SumOverCharacters(text, "CASE WHEN c.u < 128 THEN 1 WHEN c.u < 2048 THEN 2 WHEN c.u BETWEEN 55296 AND 57343 THEN 2 "
                                       "WHEN c.u < 65536 THEN 3 ELSE 4 END");
    if (OneOf(charset, {"ucs2", "utf16", "utf16le"})) return SumOverCharacters(text, bmpOrPair + "2 ELSE 4 END");
    if (charset == "utf32") return SumOverCharacters(text, bmpOrPair + "4 ELSE 4 END");
    if (OneOf(charset, {"big5", "gbk", "gb2312", "gb18030", "sjis", "cp932", "ujis", "eucjpms", "euckr"}))
        throw Untranslatable{"LENGTH of " + charset + " text"};
    return "LEN(CAST(" + text + " AS nvarchar(max)) + N'.') - 1";  // one byte a character
}

bool IsAggregateName(const std::string& name) {
    static const std::array<std::string_view, 16> kAggregates = {
        "count", "sum", "min", "max", "avg", "group_concat", "std", "stddev", "stddev_pop", "stddev_samp",
        "variance", "var_pop", "var_samp", "bit_and", "bit_or", "bit_xor"};
    return std::find(kAggregates.begin(), kAggregates.end(), name) != kAggregates.end();
}

std::string TsqlWriter::Function(const SqlNode& call) {
    const std::string& name = call.text;
    if (routine.function) {
        std::string own = routine.function(call);
        if (!own.empty()) return own;
    }
    if (call.Details().hasWindow) return Window(call);
    if (IsAggregateName(name)) return Aggregate(call);
    if (call.distinct) throw Untranslatable{"DISTINCT in " + name};
    if (name == "cast" || name == "convert") return Cast(call);
    if (name == "timestampdiff") return TimestampDiff(call);
    if (name == "extract") {
        NeedArguments(call, 2, 2);
        return "DATEPART(" + DatePart(call.Children()[0]->text) + ", " + Value(*call.Children()[1]) + ")";
    }
    if (name == "if") {
        NeedArguments(call, 3, 3);
        return "CASE WHEN " + Condition(*call.Children()[0]) + " THEN " + Argument(*call.Children()[1]) + " ELSE " +
               Argument(*call.Children()[2]) + " END";
    }
    if (name == "date_add" || name == "adddate" || name == "date_sub" || name == "subdate") {
        NeedArguments(call, 2, 2);
        const bool subtract = name == "date_sub" || name == "subdate";
        if (call.Children()[1]->kind == SqlNode::Kind::Interval) return DateAdd(*call.Children()[0], *call.Children()[1], subtract);
        // ADDDATE(d, n) and SUBDATE(d, n) count days.
        return "DATEADD(day, " + std::string(subtract ? "-" : "") + Operand(*call.Children()[1]) + ", " + Value(*call.Children()[0]) + ")";
    }
    if (name == "isnull") {
        NeedArguments(call, 1, 1);
        return "CASE WHEN " + Operand(*call.Children()[0]) + " IS NULL THEN 1 ELSE 0 END";
    }
    std::vector<std::string> args;
    for (const auto& child : call.Children()) args.push_back(Argument(*child));
    const auto same = kSameFunctions.find(name);
    if (same != kSameFunctions.end() && !call.Details().elseValue) return same->second + "(" + Join(args) + ")";
    for (auto group : {&TsqlWriter::StringFunction, &TsqlWriter::DateFunction, &TsqlWriter::NumericFunction}) {
        std::string text = (this->*group)(call, args);
        if (!text.empty()) return text;
    }
    throw Untranslatable{"function " + name};
}

std::string TsqlWriter::StringFunction(const SqlNode& call, const std::vector<std::string>& args) {
    const std::string& name = call.text;
    if (name == "concat" || name == "concat_ws") {
        NeedArguments(call, name == "concat" ? 1 : 2, 1000);
        std::vector<const SqlNode*> nodes;
        for (const auto& child : call.Children()) nodes.push_back(child.get());
        return Concat(name == "concat_ws", nodes, args);
    }
    if (name == "substring" || name == "substr" || name == "mid") return Substring(call, args);
    if (name == "length" || name == "octet_length") {
        NeedArguments(call, 1, 1);
        return ByteLength(*call.Children()[0], args[0]);
    }
    if (name == "char_length" || name == "character_length") {  // LEN alone ignores trailing blanks
        NeedArguments(call, 1, 1);
        return "LEN(CAST(" + args[0] + " AS nvarchar(max)) + N'.') - 1";
    }
    if (name == "locate" || name == "position") {
        NeedArguments(call, 2, 3);
        return "CHARINDEX(" + Join(args) + ")";
    }
    if (name == "instr") {
        NeedArguments(call, 2, 2);
        return "CHARINDEX(" + args[1] + ", " + args[0] + ")";
    }
    if (name == "replace") {  // MySQL's REPLACE matches case-sensitively whatever the collation
        NeedArguments(call, 3, 3);
        return "REPLACE(" + Operand(*call.Children()[0]) + " COLLATE Latin1_General_100_BIN2, " + args[1] + ", " + args[2] + ")";
    }
    if (name == "trim") {
        NeedArguments(call, 1, 1);
        const bool spaces = !call.Details().elseValue || (call.Details().elseValue->kind == SqlNode::Kind::String && call.Details().elseValue->text == " ");
        if (spaces && call.op == "leading") return "LTRIM(" + args[0] + ")";
        if (spaces && call.op == "trailing") return "RTRIM(" + args[0] + ")";
        if (spaces) return "LTRIM(RTRIM(" + args[0] + "))";
        throw Untranslatable{"TRIM of characters other than blanks"};
    }
    return {};
}

std::string TsqlWriter::Concat(bool separated, const std::vector<const SqlNode*>& nodes, const std::vector<std::string>& args) {
    const std::size_t first = separated ? 1 : 0;
    // MySQL's CONCAT is NULL when any argument is NULL; T-SQL's CONCAT reads NULL as ''.
    // CONCAT_WS skips NULL values in both, but is NULL for a NULL separator only in MySQL.
    if (!separated && args.size() == 1) return "CAST(" + args[0] + " AS nvarchar(max))";
    std::vector<std::string> nullTests;
    for (std::size_t i = separated ? 0 : first; i < (separated ? 1 : args.size()); ++i) {
        if (nodes[i]->kind == SqlNode::Kind::Null) return "CAST(NULL AS nvarchar(max))";
        if (!IsLiteralNode(*nodes[i])) nullTests.push_back(Operand(*nodes[i]) + " IS NULL");
    }
    std::vector<std::string> values(args.begin() + static_cast<std::ptrdiff_t>(first), args.end());
    std::string body;
    // Babelfish's CONCAT gives the type of its first argument, so code-page text first would turn
    // the others' characters into '?'; SQL Server widens to nvarchar. nvarchar first: the same on both.
    const auto wide = [](const SqlNode& node, const std::string& text) {
        return node.kind == SqlNode::Kind::String ? text : "CAST(" + text + " AS nvarchar(max))";
    };
    if (values.size() == 1) body = "ISNULL(CAST(" + values[0] + " AS nvarchar(max)), N'')";
    else if (separated) body = "CONCAT_WS(" + wide(*nodes[0], args[0]) + ", " + Join(values) + ")";
    else body = "CONCAT(" + wide(*nodes[0], values[0]) + (values.size() > 1 ? ", " : "") +
                Join(std::vector<std::string>(values.begin() + 1, values.end())) + ")";
    if (nullTests.empty()) return body;
    std::string test;
    for (const auto& t : nullTests) test += (test.empty() ? "" : " OR ") + t;
    return "CASE WHEN " + test + " THEN NULL ELSE " + body + " END";
}

// MySQL counts a negative position from the end and gives '' for position 0 or before the start.
std::string TsqlWriter::Substring(const SqlNode& call, const std::vector<std::string>& args) {
    NeedArguments(call, 2, 3);
    long long position = 0;
    if (!LiteralInteger(*call.Children()[1], position)) throw Untranslatable{"SUBSTRING with a computed position"};
    const std::string length = args.size() > 2 ? args[2] : "2147483647";
    if (position > 0) return "SUBSTRING(" + args[0] + ", " + std::to_string(position) + ", " + length + ")";
    if (position == 0) return "CASE WHEN " + Operand(*call.Children()[0]) + " IS NULL THEN NULL ELSE N'' END";
    const std::string start = "LEN(CAST(" + args[0] + " AS nvarchar(max)) + N'.') - " + std::to_string(-position);
    return "CASE WHEN " + start + " < 1 THEN N'' ELSE SUBSTRING(" + args[0] + ", " + start + ", " + length + ") END";
}

std::string TsqlWriter::DateFunction(const SqlNode& call, const std::vector<std::string>& args) {
    const std::string& name = call.text;
    const std::string precision = args.empty() ? "0" : args[0];
    if (name == "now" || name == "current_timestamp" || name == "localtime" || name == "localtimestamp" || name == "sysdate")
        return NeedArguments(call, 0, 1), "CAST(SYSDATETIME() AS datetime2(" + precision + "))";
    if (name == "utc_timestamp") return NeedArguments(call, 0, 1), "CAST(SYSUTCDATETIME() AS datetime2(" + precision + "))";
    if (name == "curdate" || name == "current_date") return NeedArguments(call, 0, 0), "CAST(SYSDATETIME() AS date)";
    if (name == "utc_date") return NeedArguments(call, 0, 0), "CAST(SYSUTCDATETIME() AS date)";
    if (name == "curtime" || name == "current_time") return NeedArguments(call, 0, 1), "CAST(SYSDATETIME() AS time(" + precision + "))";
    if (name == "hour" || name == "minute" || name == "second" || name == "quarter" || name == "dayofyear" || name == "microsecond")
        return NeedArguments(call, 1, 1), "DATEPART(" + name + ", " + args[0] + ")";
    if (name == "date") return NeedArguments(call, 1, 1), "CAST(" + args[0] + " AS date)";
    if (name == "dayname") return NeedArguments(call, 1, 1), "FORMAT(CAST(" + args[0] + " AS datetime2(6)), 'dddd', 'en-US')";
    if (name == "monthname") return NeedArguments(call, 1, 1), "FORMAT(CAST(" + args[0] + " AS datetime2(6)), 'MMMM', 'en-US')";
    if (name == "to_days")  // days since MySQL's day 0; 0001-01-01 is day 366
        return NeedArguments(call, 1, 1), "DATEDIFF(day, CAST(N'0001-01-01' AS date), " + args[0] + ") + 366";
    if (name == "datediff") return NeedArguments(call, 2, 2), "DATEDIFF(day, " + args[1] + ", " + args[0] + ")";
    if (name == "date_format") return DateFormat(call, args);
    if (name == "str_to_date") return StrToDate(call, args);
    if (name == "timestampadd") {
        NeedArguments(call, 3, 3);
        return "DATEADD(" + DatePart(call.Children()[0]->text) + ", " + args[1] + ", " + args[2] + ")";
    }
    return {};
}

std::string TsqlWriter::DateAdd(const SqlNode& date, const SqlNode& interval, bool subtract) {
    if (interval.kind != SqlNode::Kind::Interval) throw Untranslatable{"date arithmetic without INTERVAL"};
    const std::string amount = Operand(*interval.Children()[0]);
    return "DATEADD(" + DatePart(interval.text) + ", " + (subtract ? "-" : "") + amount + ", " + Value(date) + ")";
}

// MySQL counts whole units elapsed; T-SQL's DATEDIFF counts boundaries crossed.
std::string TsqlWriter::TimestampDiff(const SqlNode& call) {
    NeedArguments(call, 3, 3);
    const std::string unit = call.Children()[0]->text;
    const std::string a = Value(*call.Children()[1]), b = Value(*call.Children()[2]);
    static const std::map<std::string, std::string> kMicroseconds = {
        {"microsecond", ""}, {"second", " / 1000000"}, {"minute", " / 60000000"}, {"hour", " / 3600000000"},
        {"day", " / 86400000000"}, {"week", " / 604800000000"}};
    const auto fixed = kMicroseconds.find(unit);
    if (fixed != kMicroseconds.end()) return "DATEDIFF_BIG(microsecond, " + a + ", " + b + ")" + fixed->second;
    if (unit != "month" && unit != "quarter" && unit != "year") throw Untranslatable{"TIMESTAMPDIFF unit " + unit};
    // Months between, less one when the end's day and time of month come before the start's.
    const auto inMonth = [](const std::string& x) {
        return "DATEDIFF_BIG(microsecond, DATEFROMPARTS(YEAR(" + x + "), MONTH(" + x + "), 1), " + x + ")";
    };
    const std::string months = "(DATEDIFF(month, " + a + ", " + b + ") - CASE WHEN " + a + " <= " + b + " AND " + inMonth(b) +
                               " < " + inMonth(a) + " THEN 1 WHEN " + a + " > " + b + " AND " + inMonth(b) + " > " + inMonth(a) +
                               " THEN -1 ELSE 0 END)";
    return unit == "month" ? months : months + (unit == "quarter" ? " / 3" : " / 12");
}

std::string TsqlWriter::DateFormat(const SqlNode& call, const std::vector<std::string>& args) {
    NeedArguments(call, 2, 3);
    if (call.Children()[1]->kind != SqlNode::Kind::String) throw Untranslatable{"DATE_FORMAT with a computed format"};
    return "FORMAT(CAST(" + args[0] + " AS datetime2(6)), " + StringLiteral(DotNetFormat(call.Children()[1]->text)) + ", 'en-US')";
}

std::string TsqlWriter::StrToDate(const SqlNode& call, const std::vector<std::string>& args) {
    NeedArguments(call, 2, 2);
    static const std::map<std::string, std::pair<std::string, int>> kStyles = {
        {"%Y-%m-%d", {"date", 23}}, {"%Y-%m-%d %H:%i:%s", {"datetime2(0)", 120}}, {"%Y-%m-%d %T", {"datetime2(0)", 120}},
        {"%d.%m.%Y", {"date", 104}}, {"%d/%m/%Y", {"date", 103}}, {"%m/%d/%Y", {"date", 101}},
        {"%d-%m-%Y", {"date", 105}}, {"%Y%m%d", {"date", 112}}, {"%H:%i:%s", {"time(0)", 108}}};
    const SqlNode& format = *call.Children()[1];
    const auto style = format.kind == SqlNode::Kind::String ? kStyles.find(format.text) : kStyles.end();
    if (style == kStyles.end()) throw Untranslatable{"STR_TO_DATE with format " + (format.kind == SqlNode::Kind::String ? format.text : "computed")};
    // MySQL gives NULL for text that does not match; so does TRY_CONVERT.
    return "TRY_CONVERT(" + style->second.first + ", " + args[0] + ", " + std::to_string(style->second.second) + ")";
}

std::string TsqlWriter::NumericFunction(const SqlNode& call, const std::vector<std::string>& args) {
    const std::string& name = call.text;
    if (name == "round") return NeedArguments(call, 1, 2), "ROUND(" + args[0] + ", " + (args.size() > 1 ? args[1] : "0") + ")";
    if (name == "truncate") return NeedArguments(call, 2, 2), "ROUND(" + args[0] + ", " + args[1] + ", 1)";
    if (name == "mod") {
        NeedArguments(call, 2, 2);
        return Operand(*call.Children()[0]) + " % NULLIF(" + args[1] + ", 0)";
    }
    if (name == "log") {
        NeedArguments(call, 1, 2);
        return args.size() == 1 ? "LOG(" + args[0] + ")" : "LOG(" + args[1] + ", " + args[0] + ")";
    }
    if (name == "log2") return NeedArguments(call, 1, 1), "LOG(" + args[0] + ", 2)";
    return {};
}

std::string TsqlWriter::Cast(const SqlNode& call) {
    NeedArguments(call, 1, 1);
    const std::string type = CastTargetType(call.Details().castType);
    // MySQL rounds a fraction to the nearest integer here; T-SQL's CAST truncates it.
    if (type == "bigint" || type == "decimal(20, 0)") return "CAST(ROUND(" + Value(*call.Children()[0]) + ", 0) AS " + type + ")";
    return "CAST(" + Argument(*call.Children()[0]) + " AS " + type + ")";
}

std::string TsqlWriter::Aggregate(const SqlNode& call) {
    const std::string& name = call.text;
    static const std::map<std::string, std::string> kNames = {
        {"count", "COUNT"}, {"sum", "SUM"}, {"min", "MIN"}, {"max", "MAX"}, {"avg", "AVG"}, {"std", "STDEVP"},
        {"stddev", "STDEVP"}, {"stddev_pop", "STDEVP"}, {"stddev_samp", "STDEV"}, {"variance", "VARP"},
        {"var_pop", "VARP"}, {"var_samp", "VAR"}};
    if (name == "group_concat") {
        if (call.distinct) throw Untranslatable{"GROUP_CONCAT(DISTINCT ...) in this position"};
        const GroupConcatForm form = ChooseGroupConcatForm(names_);
        if (form == GroupConcatForm::XmlPath) throw Untranslatable{"GROUP_CONCAT in this position for SQL Server 2016 (STRING_AGG needs 2017)"};
        if (form == GroupConcatForm::OrderedRows && !call.Details().orderBy.empty())
            throw Untranslatable{"GROUP_CONCAT ... ORDER BY in this position on Babelfish (it refuses WITHIN GROUP)"};
        std::string out = "STRING_AGG(" + GroupConcatItem(call) + ", " + GroupConcatSeparator(call) + ")";
        if (call.Details().orderBy.empty()) return CutGroupConcat(out);
        out += " WITHIN GROUP (ORDER BY ";
        for (std::size_t i = 0; i < call.Details().orderBy.size(); ++i)
            out += (i ? ", " : "") + Value(*call.Details().orderBy[i].first) + (call.Details().orderBy[i].second ? " DESC" : "");
        return CutGroupConcat(out + ")");
    }
    const auto found = kNames.find(name);
    if (found == kNames.end()) throw Untranslatable{"aggregate " + name};
    if (call.Children().size() == 1 && call.Children()[0]->kind == SqlNode::Kind::Star && name == "count") return "COUNT(*)";
    NeedArguments(call, 1, 1);
    std::string arg = Value(*call.Children()[0]);
    if (name == "avg") arg = Operand(*call.Children()[0]) + " * 1.0";  // AVG of integers is exact in MySQL
    return found->second + "(" + (call.distinct ? "DISTINCT " : "") + arg + ")";
}

std::string TsqlWriter::GroupConcatItem(const SqlNode& call) {
    std::vector<const SqlNode*> nodes;
    std::vector<std::string> args;
    for (const auto& child : call.Children()) nodes.push_back(child.get()), args.push_back(Argument(*child));
    return Concat(false, nodes, args);
}

std::string TsqlWriter::GroupConcatSeparator(const SqlNode& call) {
    if (call.Details().separator && call.Details().separator->kind != SqlNode::Kind::String) throw Untranslatable{"GROUP_CONCAT with a computed SEPARATOR"};
    return call.Details().separator ? Value(*call.Details().separator) : "N','";
}

// MySQL cuts the joined text at group_concat_max_len bytes; LEFT counts characters, the same for
// single-byte text.
std::string TsqlWriter::CutGroupConcat(const std::string& aggregate) const {
    if (!names_.groupConcatMaxLength) return aggregate;
    return "LEFT(" + aggregate + ", " + std::to_string(names_.groupConcatMaxLength) + ")";
}

std::string TsqlWriter::Window(const SqlNode& call) {
    static const std::map<std::string, std::string> kRanking = {
        {"row_number", "ROW_NUMBER"}, {"rank", "RANK"}, {"dense_rank", "DENSE_RANK"}, {"ntile", "NTILE"},
        {"percent_rank", "PERCENT_RANK"}, {"cume_dist", "CUME_DIST"}, {"lag", "LAG"}, {"lead", "LEAD"},
        {"first_value", "FIRST_VALUE"}, {"last_value", "LAST_VALUE"}};
    std::string out;
    const auto ranking = kRanking.find(call.text);
    if (ranking != kRanking.end()) {
        std::vector<std::string> args;
        for (const auto& child : call.Children()) args.push_back(Value(*child));
        out = ranking->second + "(" + Join(args) + ")";
    } else if (call.text == "group_concat") {
        throw Untranslatable{"GROUP_CONCAT with OVER"};
    } else {
        out = Aggregate(call);
    }
    out += " OVER (";
    for (std::size_t i = 0; i < call.Details().partitionBy.size(); ++i) out += (i ? ", " : "PARTITION BY ") + Value(*call.Details().partitionBy[i]);
    if (call.Details().orderBy.empty() && ranking != kRanking.end()) out += (call.Details().partitionBy.empty() ? "" : " ") + std::string("ORDER BY (SELECT NULL)");
    for (std::size_t i = 0; i < call.Details().orderBy.size(); ++i)
        out += (i ? ", " : (call.Details().partitionBy.empty() ? "ORDER BY " : " ORDER BY ")) + Value(*call.Details().orderBy[i].first) +
               (call.Details().orderBy[i].second ? " DESC" : "");
    return out + ")";
}

}  // namespace velmora
