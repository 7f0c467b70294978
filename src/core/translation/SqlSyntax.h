// SqlSyntax: the syntax tree of a MySQL expression or SELECT query, as SqlParser builds it and
// the T-SQL writers (ExpressionTranslator, FullViewTranslator) read it. Plain data; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
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
static_assert(kMaxSqlNesting < 255, "a node's depth is held in a byte");

// A node's operator, one of the parser's own (or none): held as its place in a fixed list, so that
// it takes one byte, and read and compared as its text. A text outside the list is refused.
class SqlOperator {
public:
    SqlOperator() = default;
    SqlOperator(std::string_view text);
    SqlOperator(const char* text) : SqlOperator(std::string_view(text)) {}
    std::string_view Text() const { return kTexts[index_]; }
    operator std::string_view() const { return Text(); }
    friend bool operator==(SqlOperator op, std::string_view text) { return op.Text() == text; }

private:
    static constexpr std::array<std::string_view, 28> kTexts = {
        "", "|", "&", "<<", ">>", "+", "-", "*", "/", "%", "div", "^", "~", "=", "<=>", "<>", "<", "<=", ">", ">=",
        "and", "or", "xor", "not", "like", "both", "leading", "trailing"};
    std::uint8_t index_ = 0;
};

struct SqlNode;
using SqlNodePtr = std::unique_ptr<SqlNode>;
struct SqlNodeBranches;
struct SqlNodeDetails;

struct SqlNode {
    enum class Kind : std::uint8_t {
        Null,        // NULL
        Boolean,     // TRUE / FALSE (text "1" / "0")
        Number,      // text as written
        String,      // text = the value (escapes resolved)
        Hex,         // text = hexadecimal digits
        Bits,        // text = binary digits
        TypedLiteral,// DATE '...', TIME '...', TIMESTAMP '...': text = the type, children[0] = String
        Name,        // parts = qualifier(s) and name
        Star,        // parts = optional qualifier(s)
        Function,    // text = lower-case function name, children = arguments
        Unary,       // op = "-", "+", "~", "not"
        Binary,      // op = lower-case operator ("+", "and", "=", "<=>", "div", "like", ...)
        Between,     // children = value, low, high; negated
        In,          // children[0] = value, rest = list; or query = subquery; negated
        Is,          // children[0]; text = "null" / "true" / "false" / "unknown"; negated
        Case,        // children[0] = operand or empty; then when/then pairs; elseValue
        Interval,    // children[0] = amount; text = unit (lower case)
        Subquery,    // query
        Exists,      // query
        Collate,     // children[0]; text = collation
    };
    Kind kind = Kind::Null;
    bool negated = false;
    bool distinct = false;          // aggregate(DISTINCT ...)
    std::uint8_t depth = 1;         // of operator chains (a + b + c ...), to bound the recursion over them
    SqlOperator op;
    std::string text;               // a literal's text, or the name a kind above gives it
    // A name's parts, an operator's operands, a call's arguments: held apart, so that the many
    // leaves of a large text (literals) carry no empty lists; null when the node has none. Read
    // through Parts() and Children(), written through EditParts() and EditChildren().
    std::unique_ptr<SqlNodeBranches> branches;
    // What few nodes carry (CASE's ELSE, a subquery, a function call's extras), held apart so
    // that the many other nodes of a large text stay small; null when the node has none. Read
    // through Details(), written through EditDetails().
    std::unique_ptr<SqlNodeDetails> details;

    const std::vector<std::string>& Parts() const;
    const std::vector<SqlNodePtr>& Children() const;
    std::vector<std::string>& EditParts();      // created on first use
    std::vector<SqlNodePtr>& EditChildren();    // created on first use
    const SqlNodeDetails& Details() const;
    SqlNodeDetails& EditDetails();  // created on first use, by the parser
};

struct SqlNodeBranches {
    std::vector<std::string> parts;
    std::vector<SqlNodePtr> children;
};

struct SqlNodeDetails {
    SqlNodePtr elseValue;           // CASE ... ELSE; LIKE ... ESCAPE; TRIM's characters
    std::shared_ptr<SqlQuery> query;
    // Function calls: CAST/CONVERT target type, GROUP_CONCAT ordering and separator, OVER.
    std::string castType;           // lower case, e.g. "decimal(10,2)", "char", "signed"
    std::vector<std::pair<SqlNodePtr, bool>> orderBy;  // expression, descending
    SqlNodePtr separator;
    bool hasWindow = false;
    std::vector<SqlNodePtr> partitionBy;
};

// A block of fields few nodes carry, made on first use: read as empty while there is none.
template <typename Block>
const Block& ReadBlock(const std::unique_ptr<Block>& block) {
    static const Block none;
    return block ? *block : none;
}
template <typename Block>
Block& EditBlock(std::unique_ptr<Block>& block) {
    if (!block) block = std::make_unique<Block>();
    return *block;
}

inline const std::vector<std::string>& SqlNode::Parts() const { return ReadBlock(branches).parts; }
inline const std::vector<SqlNodePtr>& SqlNode::Children() const { return ReadBlock(branches).children; }
inline std::vector<std::string>& SqlNode::EditParts() { return EditBlock(branches).parts; }
inline std::vector<SqlNodePtr>& SqlNode::EditChildren() { return EditBlock(branches).children; }
inline const SqlNodeDetails& SqlNode::Details() const { return ReadBlock(details); }
inline SqlNodeDetails& SqlNode::EditDetails() { return EditBlock(details); }

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
