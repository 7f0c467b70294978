// ExpressionTranslator: literals, names and operators of the T-SQL writer, and the entry point.
// Functions are written in FunctionTranslations.cpp.
#include "translation/ExpressionTranslator.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <functional>
#include <stdexcept>

#include "translation/Collations.h"
#include "translation/SqlParser.h"
#include "translation/TsqlWriter.h"
#include "translation/Naming.h"

namespace velmora {
namespace {

bool IsComparisonOp(std::string_view op) {
    return op == "=" || op == "<>" || op == "<" || op == "<=" || op == ">" || op == ">=" || op == "<=>";
}

std::string UpperAscii(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A collation of MySQL as the nearest T-SQL collation with the same case rule; a
// case-insensitive one goes (the target's default is case-insensitive too).
std::string CollationClause(const std::string& collation) {
    const std::string lower = LowerAscii(collation);
    if (lower.size() > 3 && lower.compare(lower.size() - 3, 3, "_ci") == 0) return "";
    if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, "_bin") == 0) return " COLLATE Latin1_General_100_BIN2";
    if (lower.size() > 3 && lower.compare(lower.size() - 3, 3, "_cs") == 0) return " COLLATE Latin1_General_100_CS_AS_SC";
    throw Untranslatable{"COLLATE " + collation};
}

}  // namespace

bool IsConditionNode(const SqlNode& node) {
    using K = SqlNode::Kind;
    if (node.kind == K::Binary)
        return IsComparisonOp(node.op) || node.op == "and" || node.op == "or" || node.op == "xor" || node.op == "like";
    if (node.kind == K::Unary) return node.op == "not";
    return node.kind == K::Between || node.kind == K::In || node.kind == K::Is || node.kind == K::Exists;
}

bool IsLiteralNode(const SqlNode& node) {
    using K = SqlNode::Kind;
    return node.kind == K::Null || node.kind == K::Boolean || node.kind == K::Number || node.kind == K::String ||
           node.kind == K::Hex || node.kind == K::Bits || node.kind == K::TypedLiteral;
}

std::string TsqlWriter::StringLiteral(const std::string& value) {
    std::string out = "N'";
    bool open = true;
    for (const char c : value) {
        if (c == '\0') {  // no way to write NUL inside a T-SQL literal
            out += open ? "' + NCHAR(0)" : " + NCHAR(0)";
            open = false;
            continue;
        }
        if (!open) {
            out += " + N'";
            open = true;
        }
        out += c;
        if (c == '\'') out += '\'';
    }
    if (open) out += "'";
    return out;
}

std::string TsqlWriter::ColumnName(const std::vector<std::string>& parts) const {
    std::size_t first = parts.size() > 2 ? parts.size() - 2 : 0;
    std::string out;
    for (std::size_t i = first; i < parts.size(); ++i) out += (out.empty() ? "" : ".") + QuoteTargetName(parts[i]);
    return out;
}

std::string TsqlWriter::TableName(const std::vector<std::string>& parts) const {
    if (routine.table) {
        std::string own = routine.table(parts);
        if (!own.empty()) return own;
    }
    if (parts.size() < 2) return TargetObjectName(names_.targetSchema, parts.back());
    const bool own = parts[0] == names_.sourceDatabase;
    const auto& siblings = names_.schemaDatabases;
    if (!own && std::find(siblings.begin(), siblings.end(), parts[0]) != siblings.end()) {
        // Another source database of the same migration: a schema of the same target database.
        if (names_.targetDatabase.empty()) return TargetObjectName(parts[0], parts.back());
        return QuoteTargetName(names_.targetDatabase) + "." + QuoteTargetName(parts[0]) + "." +
               QuoteTargetName(parts.back());
    }
    if (own && !IsDefaultSchema(names_.targetSchema)) {
        if (names_.targetDatabase.empty()) return TargetObjectName(names_.targetSchema, parts.back());
        return QuoteTargetName(names_.targetDatabase) + "." + TargetObjectName(names_.targetSchema, parts.back());
    }
    if (!own && !names_.oneDatabaseKind.empty()) {
        throw Untranslatable{"the table " + QuoteTargetName(parts[0]) + "." + QuoteTargetName(parts.back()) +
                             " of another database (a connection to " + names_.oneDatabaseKind +
                             " works only in its own database)"};
    }
    const std::string& database = own ? names_.targetDatabase : parts[0];
    if (database.empty()) return QuoteTargetName(parts.back());
    return QuoteTargetName(database) + ".." + QuoteTargetName(parts.back());
}

namespace {

// Bounds the writer's recursion (operator chains are deeper than the parser's own recursion).
class WriterNesting {
public:
    explicit WriterNesting(int& nesting) : nesting_(nesting) {
        if (++nesting_ > 2 * kMaxSqlNesting) throw Untranslatable{"expression nested too deeply"};
    }
    ~WriterNesting() { --nesting_; }
    WriterNesting(const WriterNesting&) = delete;
    WriterNesting& operator=(const WriterNesting&) = delete;

private:
    int& nesting_;
};

// The collation the columns of one expression are coerced to while it is written.
class CoercionScope {
public:
    CoercionScope(std::string& current, const std::string& collation) : current_(current), saved_(current) {
        if (!collation.empty()) current_ = collation;
    }
    ~CoercionScope() { current_ = saved_; }
    CoercionScope(const CoercionScope&) = delete;
    CoercionScope& operator=(const CoercionScope&) = delete;

private:
    std::string& current_;
    std::string saved_;
};

// Functions whose result takes the collation of their text arguments.
bool PassesCollation(const SqlNode& node) {
    static const char* const kNames[] = {"concat", "concat_ws", "if", "ifnull", "coalesce", "nullif", "greatest", "least"};
    return node.kind == SqlNode::Kind::Function && !node.Details().hasWindow &&
           std::find_if(std::begin(kNames), std::end(kNames), [&](const char* name) { return node.text == name; }) != std::end(kNames);
}

}  // namespace

// MySQL's coercion over the columns an expression combines (comparison, LIKE, IN, CASE, CONCAT,
// IF...): where they mix collations, MySQL picks one (CoercedCollation) and SQL Server would
// refuse the mix or choose by other rules, so the other columns are written with COLLATE.
std::string TsqlWriter::CoercionOf(const SqlNode& node) const {
    using K = SqlNode::Kind;
    if (!collationOf) return {};
    const bool combines = PassesCollation(node) || node.kind == K::In || node.kind == K::Case ||
                          (node.kind == K::Binary && (IsComparisonOp(node.op) || node.op == "like"));
    if (!combines) return {};
    std::vector<std::string> collations;
    std::string explicitCollation;  // MySQL's COLLATE wins over every column
    const std::function<void(const SqlNode&)> collect = [&](const SqlNode& operand) {
        if (operand.kind == K::Collate && explicitCollation.empty()) explicitCollation = LowerAscii(operand.text);
        if (operand.kind == K::Name) collations.push_back(collationOf(operand));
        if (PassesCollation(operand))
            for (const auto& child : operand.Children()) if (child) collect(*child);
    };
    for (const auto& child : node.Children()) if (child) collect(*child);
    if (node.Details().elseValue) collect(*node.Details().elseValue);
    std::sort(collations.begin(), collations.end());
    collations.erase(std::unique(collations.begin(), collations.end()), collations.end());
    if (!collations.empty() && collations.front().empty()) collations.erase(collations.begin());
    if (!explicitCollation.empty()) return explicitCollation;
    return collations.size() < 2 ? std::string() : CoercedCollation(collations);
}

std::string TsqlWriter::Value(const SqlNode& node) {
    using K = SqlNode::Kind;
    const WriterNesting guard(nesting_);
    const CoercionScope coercion(coerceTo_, CoercionOf(node));
    if (IsConditionNode(node)) {
        const bool neverUnknown = node.kind == K::Is || node.kind == K::Exists || node.op == "<=>";
        const std::string condition = Condition(node);
        // MySQL's comparison is NULL when an operand is NULL; keep that instead of 0.
        return neverUnknown ? "CASE WHEN " + condition + " THEN 1 ELSE 0 END"
                            : "CASE WHEN " + condition + " THEN 1 WHEN NOT (" + condition + ") THEN 0 END";
    }
    switch (node.kind) {
        case K::Null: return "NULL";
        case K::Boolean: case K::Number: return node.text;
        case K::String: return StringLiteral(node.text);
        case K::Hex: return "0x" + UpperAscii(node.text);
        case K::Bits: {
            if (node.text.size() > 63) throw Untranslatable{"bit literal wider than 63 bits"};
            return std::to_string(node.text.empty() ? 0 : std::stoull(node.text, nullptr, 2));
        }
        case K::TypedLiteral: {
            const bool fraction = node.Children()[0]->text.find('.') != std::string::npos;
            const std::string type = node.text == "date" ? "date" : node.text == "time" ? (fraction ? "time(6)" : "time(0)")
                                                                                        : (fraction ? "datetime2(6)" : "datetime2(0)");
            return "CAST(" + StringLiteral(node.Children()[0]->text) + " AS " + type + ")";
        }
        case K::Name: {
            if (routine.name) {
                std::string own = routine.name(node);
                if (!own.empty()) return own;
            }
            const auto alias = node.Parts().size() == 1 ? aliasExpressions.find(LowerAscii(node.Parts()[0])) : aliasExpressions.end();
            if (alias != aliasExpressions.end()) return Operand(*alias->second);
            const std::string own = coerceTo_.empty() ? std::string() : collationOf(node);
            const std::string collation = own.empty() || own == coerceTo_ ? std::string() : TargetCollation(coerceTo_);
            return ColumnName(node.Parts()) + (collation.empty() ? "" : " COLLATE " + collation);
        }
        case K::Star: return node.Parts().empty() ? "*" : ColumnName(node.Parts()) + ".*";
        case K::Function: return Function(node);
        case K::Unary: return std::string(node.op) + Operand(*node.Children()[0]);
        case K::Binary: return Binary(node);
        case K::Case: return CaseExpression(node);
        case K::Interval: throw Untranslatable{"INTERVAL outside date arithmetic"};
        case K::Subquery: return "(" + Subquery(*node.Details().query) + ")";
        case K::Collate: return Operand(*node.Children()[0]) + CollationClause(node.text);
        default: break;
    }
    throw Untranslatable{"expression"};
}

std::string TsqlWriter::Operand(const SqlNode& node) {
    using K = SqlNode::Kind;
    if (node.kind == K::Collate && CollationClause(node.text).empty()) return Operand(*node.Children()[0]);
    const bool compound = (node.kind == K::Binary && !IsConditionNode(node)) || node.kind == K::Collate ||
                          (node.kind == K::Unary && node.op != "not") ||
                          (node.kind == K::Number && node.text[0] == '-');
    return compound ? "(" + Value(node) + ")" : Value(node);
}

std::string TsqlWriter::Argument(const SqlNode& node) {
    const ColumnModel* column = node.kind == SqlNode::Kind::Name && columnOf ? columnOf(node) : nullptr;
    const bool fixed = column && (column->baseType == "char" || column->baseType == "nchar");
    return fixed ? "RTRIM(" + Value(node) + ")" : Value(node);
}

std::string TsqlWriter::Condition(const SqlNode& node) {
    using K = SqlNode::Kind;
    const WriterNesting guard(nesting_);
    const CoercionScope coercion(coerceTo_, CoercionOf(node));
    if (node.kind == K::Boolean) return node.text == "1" ? "1 = 1" : "1 = 0";
    if (!IsConditionNode(node)) {
        return Operand(node) + " <> 0";  // MySQL: any non-zero value is true
    }
    if (node.kind == K::Binary && IsComparisonOp(node.op)) return Comparison(node);
    if (node.kind == K::Binary && node.op == "like") return Like(node);
    if (node.kind == K::Binary || node.kind == K::Unary) return Logical(node);
    if (node.kind == K::Is) return Is(node);
    if (node.kind == K::In) return In(node);
    if (node.kind == K::Exists) return "EXISTS (" + Subquery(*node.Details().query) + ")";
    // BETWEEN
    return Operand(*node.Children()[0]) + (node.negated ? " NOT BETWEEN " : " BETWEEN ") + Operand(*node.Children()[1]) +
           " AND " + Operand(*node.Children()[2]);
}

std::string TsqlWriter::Logical(const SqlNode& node) {
    if (node.op == "not") return "NOT (" + Condition(*node.Children()[0]) + ")";
    if (node.op == "xor") {
        const std::string a = LogicalOperand(*node.Children()[0], "xor"), b = LogicalOperand(*node.Children()[1], "xor");
        return "(" + a + " AND NOT " + b + ") OR (NOT " + a + " AND " + b + ")";
    }
    const std::string op = node.op == "and" ? " AND " : " OR ";
    return LogicalOperand(*node.Children()[0], node.op) + op + LogicalOperand(*node.Children()[1], node.op);
}

std::string TsqlWriter::LogicalOperand(const SqlNode& node, std::string_view parentOp) {
    const bool logical = node.kind == SqlNode::Kind::Binary && (node.op == "and" || node.op == "or" || node.op == "xor");
    const std::string text = Condition(node);
    return logical && (node.op != parentOp || parentOp == "xor") ? "(" + text + ")" : text;
}

std::string TsqlWriter::Comparison(const SqlNode& node) {
    const std::string a = Operand(*node.Children()[0]), b = Operand(*node.Children()[1]);
    if (node.op != "<=>") return a + " " + std::string(node.op) + " " + b;
    if (node.Children()[1]->kind == SqlNode::Kind::Null) return a + " IS NULL";
    if (node.Children()[0]->kind == SqlNode::Kind::Null) return b + " IS NULL";
    if (IsLiteralNode(*node.Children()[1])) return "(" + a + " = " + b + " AND " + a + " IS NOT NULL)";
    return "(" + a + " = " + b + " OR (" + a + " IS NULL AND " + b + " IS NULL))";
}

// MySQL's LIKE escapes with a backslash; in T-SQL there is no default escape and [ opens a
// character class, so both are spelled out.
std::string TsqlWriter::Like(const SqlNode& node) {
    const SqlNode& pattern = *node.Children()[1];
    std::string escape = "\\";
    if (node.Details().elseValue) {
        if (node.Details().elseValue->kind != SqlNode::Kind::String || node.Details().elseValue->text.size() != 1)
            throw Untranslatable{"LIKE with a computed ESCAPE"};
        escape = node.Details().elseValue->text;
    }
    std::string patternText;
    bool needsEscape = true;
    if (pattern.kind == SqlNode::Kind::String) {
        std::string value;
        for (const char c : pattern.text) {
            if (c == '[') value += escape;
            value += c;
        }
        needsEscape = value.find(escape) != std::string::npos;
        patternText = StringLiteral(value);
    } else {
        patternText = "REPLACE(" + Value(pattern) + ", N'[', " + StringLiteral(escape + "[") + ")";
    }
    const SqlNode& value = *node.Children()[0];
    return (value.kind == SqlNode::Kind::Name ? Argument(value) : Operand(value)) + (node.negated ? " NOT LIKE " : " LIKE ") + patternText +
           (needsEscape ? " ESCAPE " + StringLiteral(escape) : "");
}

std::string TsqlWriter::Is(const SqlNode& node) {
    const std::string value = Operand(*node.Children()[0]);
    if (node.text == "null" || node.text == "unknown") return value + (node.negated ? " IS NOT NULL" : " IS NULL");
    if (node.text == "true") return node.negated ? "(" + value + " = 0 OR " + value + " IS NULL)" : value + " <> 0";
    if (node.text == "false") return node.negated ? "(" + value + " <> 0 OR " + value + " IS NULL)" : value + " = 0";
    throw Untranslatable{"IS " + node.text};
}

std::string TsqlWriter::In(const SqlNode& node) {
    std::string out = Operand(*node.Children()[0]) + (node.negated ? " NOT IN (" : " IN (");
    if (node.Details().query) return out + Subquery(*node.Details().query) + ")";
    for (std::size_t i = 1; i < node.Children().size(); ++i) out += (i > 1 ? ", " : "") + Value(*node.Children()[i]);
    return out + ")";
}

std::string TsqlWriter::CaseExpression(const SqlNode& node) {
    std::string out = "CASE";
    const bool simple = node.Children()[0] != nullptr;
    if (simple) out += " " + Value(*node.Children()[0]);
    for (std::size_t i = 1; i + 1 < node.Children().size(); i += 2) {
        out += " WHEN " + (simple ? Value(*node.Children()[i]) : Condition(*node.Children()[i]));
        out += " THEN " + Value(*node.Children()[i + 1]);
    }
    if (node.Details().elseValue) out += " ELSE " + Value(*node.Details().elseValue);
    return out + " END";
}

std::string TsqlWriter::Subquery(const SqlQuery& query) {
    if (!writeQuery) throw Untranslatable{"subquery"};
    return writeQuery(query);
}

std::string TsqlWriter::Binary(const SqlNode& node) {
    const SqlNode& left = *node.Children()[0];
    const SqlNode& right = *node.Children()[1];
    if ((node.op == "+" || node.op == "-") && right.kind == SqlNode::Kind::Interval) return DateAdd(left, right, node.op == "-");
    if (node.op == "+" && left.kind == SqlNode::Kind::Interval) return DateAdd(right, left, false);
    if (node.op == "<<" || node.op == ">>") throw Untranslatable{"shift operator " + std::string(node.op)};
    const auto isToDays = [](const SqlNode& side) {
        return side.kind == SqlNode::Kind::Function && side.text == "to_days" && side.Children().size() == 1;
    };
    if (node.op == "-" && isToDays(left) && isToDays(right))  // how MariaDB prints DATEDIFF(a, b)
        return "DATEDIFF(day, " + Value(*right.Children()[0]) + ", " + Value(*left.Children()[0]) + ")";
    return Arithmetic(node);
}

std::string TsqlWriter::Arithmetic(const SqlNode& node) {
    const SqlNode& left = *node.Children()[0];
    const SqlNode& right = *node.Children()[1];
    const bool nonZeroLiteral = right.kind == SqlNode::Kind::Number && right.text.find_first_not_of("0.") != std::string::npos;
    const std::string divisor = nonZeroLiteral ? Operand(right) : "NULLIF(" + Value(right) + ", 0)";
    // Left-associative chains of the same operator need no parentheses.
    const std::string a = left.kind == SqlNode::Kind::Binary && left.op == node.op && (node.op == "+" || node.op == "*")
                              ? Value(left) : Operand(left);
    if (node.op == "/") {
        // MySQL divides exactly (5 / 2 = 2.5) and gives NULL for a zero divisor.
        const bool exact = (left.kind == SqlNode::Kind::Number && left.text.find_first_of(".eE") != std::string::npos) ||
                           (right.kind == SqlNode::Kind::Number && right.text.find_first_of(".eE") != std::string::npos);
        return a + (exact ? "" : " * 1.0") + " / " + divisor;
    }
    if (node.op == "div") return "CAST(" + a + " / " + divisor + " AS bigint)";
    if (node.op == "%") return a + " % " + divisor;
    return a + " " + std::string(node.op) + " " + Operand(right);
}

namespace {

TranslatedExpression Translate(std::string_view mysqlExpression, const ExpressionNames& names, bool condition) {
    try {
        const SqlNodePtr expression = ParseSqlExpression(mysqlExpression);
        TsqlWriter writer(names);
        return {condition ? writer.Condition(*expression) : writer.Value(*expression), {}};
    } catch (const Untranslatable& problem) {
        return {{}, problem.construct};
    } catch (const std::out_of_range&) {
        return {{}, "number out of range"};
    }
}

}  // namespace

TranslatedExpression TranslateExpression(std::string_view mysqlExpression, const ExpressionNames& names) {
    return Translate(mysqlExpression, names, false);
}

TranslatedExpression TranslateCondition(std::string_view mysqlExpression, const ExpressionNames& names) {
    return Translate(mysqlExpression, names, true);
}

}  // namespace velmora
