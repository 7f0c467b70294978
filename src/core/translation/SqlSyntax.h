// SqlSyntax: the syntax tree of a MySQL expression or SELECT query, as SqlParser builds it and
// the T-SQL writers (ExpressionTranslator, FullViewTranslator) read it. Plain data; any thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace velmora {

struct SqlQuery;

// The construct that has no faithful T-SQL form, or text the parser cannot read. Thrown inside
// the translation and turned into the `untranslatable` text at its entry points.
struct Untranslatable {
    std::string construct;
};

// How deep the parser and the writer recurse before they refuse a text: far beyond any real
// view, and well inside a thread's stack.
constexpr int kMaxSqlNesting = 150;

struct SqlNode;
using SqlNodePtr = std::unique_ptr<SqlNode>;
struct SqlCallExtras;

struct SqlNode {
    enum class Kind {
        Null,        // NULL
        Boolean,     // TRUE / FALSE (text "1" / "0")
        Number,      // text as written
        String,      // text = the value (escapes resolved)
        Hex,         // text = hexadecimal digits
        Bits,        // text = binary digits
        TypedLiteral,// DATE '...', TIME '...', TIMESTAMP '...': name = the type, children[0] = String
        Name,        // parts = qualifier(s) and name
        Star,        // parts = optional qualifier(s)
        Function,    // name = lower-case function name, children = arguments
        Unary,       // op = "-", "+", "~", "not"
        Binary,      // op = lower-case operator ("+", "and", "=", "<=>", "div", "like", ...)
        Between,     // children = value, low, high; negated
        In,          // children[0] = value, rest = list; or query = subquery; negated
        Is,          // children[0]; name = "null" / "true" / "false" / "unknown"; negated
        Case,        // children[0] = operand or empty; then when/then pairs; elseValue
        Interval,    // children[0] = amount; name = unit (upper case)
        Subquery,    // query
        Exists,      // query
        Collate,     // children[0]; name = collation
    };
    Kind kind = Kind::Null;
    bool negated = false;
    bool distinct = false;          // aggregate(DISTINCT ...)
    int depth = 1;                  // of operator chains (a + b + c ...), to bound the recursion over them
    std::string text;
    std::string name;
    std::string op;
    std::vector<std::string> parts;
    std::vector<SqlNodePtr> children;
    SqlNodePtr elseValue;           // CASE ... ELSE; LIKE ... ESCAPE
    std::shared_ptr<SqlQuery> query;
    // What few function calls carry, held apart so that the many other nodes of a large text stay
    // small; null when the call has none. Read through the accessors below.
    std::unique_ptr<SqlCallExtras> extras;

    SqlCallExtras& Extras();  // created on first use, by the parser
    bool HasWindow() const;
    const std::string& CastType() const;
    const SqlNode* Separator() const;
    const std::vector<std::pair<SqlNodePtr, bool>>& CallOrderBy() const;
    const std::vector<SqlNodePtr>& PartitionBy() const;
};

// A function call's extras: CAST/CONVERT target type, GROUP_CONCAT ordering and separator, OVER.
struct SqlCallExtras {
    std::string castType;           // lower case, e.g. "decimal(10,2)", "char", "signed"
    std::vector<std::pair<SqlNodePtr, bool>> orderBy;  // expression, descending
    SqlNodePtr separator;
    bool hasWindow = false;
    std::vector<SqlNodePtr> partitionBy;
};

inline SqlCallExtras& SqlNode::Extras() {
    if (!extras) extras = std::make_unique<SqlCallExtras>();
    return *extras;
}
inline bool SqlNode::HasWindow() const { return extras && extras->hasWindow; }
inline const std::string& SqlNode::CastType() const {
    static const std::string none;
    return extras ? extras->castType : none;
}
inline const SqlNode* SqlNode::Separator() const { return extras ? extras->separator.get() : nullptr; }
inline const std::vector<std::pair<SqlNodePtr, bool>>& SqlNode::CallOrderBy() const {
    static const std::vector<std::pair<SqlNodePtr, bool>> none;
    return extras ? extras->orderBy : none;
}
inline const std::vector<SqlNodePtr>& SqlNode::PartitionBy() const {
    static const std::vector<SqlNodePtr> none;
    return extras ? extras->partitionBy : none;
}

struct SqlSelectItem {
    SqlNodePtr expr;
    std::string alias;  // empty when none
};

struct SqlTableRef {
    enum class Kind { Table, Derived, Join };
    Kind kind = Kind::Table;
    std::vector<std::string> nameParts;   // Table: [database.]table
    std::string alias;
    std::shared_ptr<SqlQuery> derived;    // Derived
    std::string joinType;                 // Join: "join", "left join", "right join", "cross join", "straight_join"
    std::unique_ptr<SqlTableRef> left, right;
    SqlNodePtr on;
    std::vector<std::string> usingColumns;
};

struct SqlQuery {
    bool distinct = false;
    std::vector<SqlSelectItem> items;
    std::vector<std::unique_ptr<SqlTableRef>> from;  // comma-separated list
    SqlNodePtr where;
    std::vector<SqlNodePtr> groupBy;
    bool withRollup = false;
    SqlNodePtr having;
    std::vector<std::pair<SqlNodePtr, bool>> orderBy;  // expression, descending
    SqlNodePtr limit, offset;
    // UNION / INTERSECT / EXCEPT: this query's next branch and how it joins ("union all", ...).
    std::string setOperator;
    std::shared_ptr<SqlQuery> next;
};

}  // namespace velmora
