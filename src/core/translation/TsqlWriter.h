// TsqlWriter: writes the syntax tree of a MySQL expression (SqlSyntax.h) as T-SQL. MySQL uses
// one kind for truth values and numbers; T-SQL separates search conditions (WHERE, ON, WHEN) from
// values, so every node is written either as a value or as a condition, and a comparison used as
// a value becomes CASE WHEN ... THEN 1 ... END. Throws Untranslatable for what T-SQL cannot say
// with the same meaning. Used by ExpressionTranslator and FullViewTranslator; one writer per
// translation, any thread.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "translation/ExpressionTranslator.h"
#include "translation/SqlSyntax.h"
#include "translation/TableModel.h"

namespace velmora {

// The names a stored routine owns, which the writer asks first; each answers "" for a name it
// does not own, and the writer goes on as for a view.
struct RoutineNameHooks {
    std::function<std::string(const SqlNode&)> name;      // a local variable, a trigger's NEW.x or OLD.x
    std::function<std::string(const SqlNode&)> function;  // stored functions, LAST_INSERT_ID(), ROW_COUNT(), ...
    std::function<std::string(const std::vector<std::string>&)> table;  // temporary tables
};

class TsqlWriter {
public:
    explicit TsqlWriter(const ExpressionNames& names) : names_(names) {}

    std::string Value(const SqlNode& node);
    std::string Condition(const SqlNode& node);
    // A value that may need parentheses as an operand of an operator.
    std::string Operand(const SqlNode& node);

    // A column reference or star: a database qualifier goes (T-SQL's three-part column names
    // mean schema.table.column).
    std::string ColumnName(const std::vector<std::string>& parts) const;
    // A table reference: the source database becomes the target database, or goes.
    std::string TableName(const std::vector<std::string>& parts) const;
    static std::string StringLiteral(const std::string& value);

    // A value as the argument of a function: a CHAR column without its trailing blanks, which
    // MySQL never returns and T-SQL keeps.
    std::string Argument(const SqlNode& node);

    // The definition of the column a reference names, where the query translator knows it.
    std::function<const ColumnModel*(const SqlNode&)> columnOf;

    // The character set of the column a reference names (its own or its table's), where known.
    std::function<std::string(const SqlNode&)> charsetOf;

    // The MySQL collation of a text column a reference names ("" for anything else), where known:
    // an expression over columns of different collations writes MySQL's choice with COLLATE.
    std::function<std::string(const SqlNode&)> collationOf;

    // Writes a subquery; set by the query translator (an expression alone has none).
    std::function<std::string(const SqlQuery&)> writeQuery;

    // Select aliases that bare names stand for while writing HAVING (lower-case keys): MySQL
    // lets HAVING name them, T-SQL does not.
    std::map<std::string, const SqlNode*> aliasExpressions;

    // Functions (FunctionTranslations.cpp).
    std::string Function(const SqlNode& call);

    // GROUP_CONCAT's parts (GroupConcat.h): one row's values joined, the separator as a literal,
    // and a result cut at the source's group_concat_max_len.
    std::string GroupConcatItem(const SqlNode& call);
    std::string GroupConcatSeparator(const SqlNode& call);
    std::string CutGroupConcat(const std::string& aggregate) const;

    // Set when the expression belongs to a stored routine.
    RoutineNameHooks routine;

private:
    std::string Binary(const SqlNode& node);
    std::string Arithmetic(const SqlNode& node);
    std::string Comparison(const SqlNode& node);
    std::string Like(const SqlNode& node);
    std::string Is(const SqlNode& node);
    std::string In(const SqlNode& node);
    std::string CaseExpression(const SqlNode& node);
    std::string Subquery(const SqlQuery& query);
    std::string Logical(const SqlNode& node);
    std::string LogicalOperand(const SqlNode& node, std::string_view parentOp);

    // Functions, grouped (FunctionTranslations.cpp).
    std::string StringFunction(const SqlNode& call, const std::vector<std::string>& args);
    std::string DateFunction(const SqlNode& call, const std::vector<std::string>& args);
    std::string NumericFunction(const SqlNode& call, const std::vector<std::string>& args);
    std::string Aggregate(const SqlNode& call);
    std::string Concat(bool separated, const std::vector<const SqlNode*>& nodes, const std::vector<std::string>& args);
    std::string Cast(const SqlNode& call);
    std::string ByteLength(const SqlNode& argument, const std::string& text);
    std::string Substring(const SqlNode& call, const std::vector<std::string>& args);
    std::string DateFormat(const SqlNode& call, const std::vector<std::string>& args);
    std::string StrToDate(const SqlNode& call, const std::vector<std::string>& args);
    std::string TimestampDiff(const SqlNode& call);
    std::string DateAdd(const SqlNode& date, const SqlNode& interval, bool subtract);
    std::string Window(const SqlNode& call);

    // The collation MySQL gives the operands of `node` when they mix collations; "" otherwise.
    std::string CoercionOf(const SqlNode& node) const;

    const ExpressionNames& names_;
    int nesting_ = 0;
    std::string coerceTo_;  // the MySQL collation the columns being written are coerced to
};

// True for nodes that MySQL evaluates as truth values: comparisons, AND/OR/NOT, LIKE, IN, ...
bool IsConditionNode(const SqlNode& node);

// Whether a function name (lower case) is one of MySQL's aggregates.
bool IsAggregateName(const std::string& name);

// Whether a node is a literal or NULL (never needs a NULL test of its own).
bool IsLiteralNode(const SqlNode& node);

}  // namespace velmora
