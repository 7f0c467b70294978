// SqlParser, queries: SELECT with its clauses, set operations, and the FROM clause's table
// references and join trees (parenthesised as MariaDB prints them, or not).
#include <algorithm>
#include <array>

#include "translation/InputLimits.h"
#include "translation/SqlParser.h"

namespace velmora {
namespace {

bool IsReservedAfterTable(std::string_view lower) {
    static const std::array<std::string_view, 20> kWords = {
        "where", "group", "having", "order", "limit", "union", "intersect", "except", "on", "using",
        "join", "inner", "left", "right", "cross", "straight_join", "natural", "with", "window", "for"};
    return std::find(kWords.begin(), kWords.end(), lower) != kWords.end();
}

bool IsReservedAfterItem(std::string_view lower) {
    return lower == "from" || lower == "into" || IsReservedAfterTable(lower);
}

}  // namespace

std::shared_ptr<SqlQuery> SqlParser::ParseQuery() {
    NestingGuard guard(*this);
    if (PeekWord("with")) throw Untranslatable{"WITH (common table expression)"};
    std::shared_ptr<SqlQuery> query;
    if (AcceptText("(")) {
        query = ParseQuery();
        ExpectText(")");
        if (PeekWord("order") || PeekWord("limit")) ParseTail(*query);
    } else {
        query = ParseSelect();
    }
    for (const char* op : {"union", "intersect", "except"}) {
        if (!AcceptWord(op)) continue;
        query->setOperator = op;
        if (AcceptWord("all")) query->setOperator += " all";
        else AcceptWord("distinct");
        query->next = ParseQuery();
        break;
    }
    return query;
}

std::shared_ptr<SqlQuery> SqlParser::ParseSelect() {
    ExpectWord("select");
    auto query = std::make_shared<SqlQuery>();
    for (;;) {
        if (AcceptWord("distinct") || AcceptWord("distinctrow")) query->distinct = true;
        else if (AcceptWord("all") || AcceptWord("straight_join") || AcceptWord("sql_no_cache") ||
                 AcceptWord("sql_cache") || AcceptWord("sql_calc_found_rows") || AcceptWord("high_priority") ||
                 AcceptWord("sql_small_result") || AcceptWord("sql_big_result") || AcceptWord("sql_buffer_result")) {
        } else {
            break;
        }
    }
    ParseSelectItems(*query);
    if (AcceptWord("from")) {
        do query->from.push_back(ParseTableRef());
        while (AcceptText(","));
    }
    if (AcceptWord("where")) query->where = ParseExpression();
    if (AcceptWord("group")) {
        ExpectWord("by");
        do {
            query->groupBy.push_back(ParseExpression());
            if (AcceptWord("asc")) {
            } else if (AcceptWord("desc")) {
                throw Untranslatable{"GROUP BY ... DESC"};
            }
        } while (AcceptText(","));
        if (AcceptWord("with")) {
            ExpectWord("rollup");
            query->withRollup = true;
        }
    }
    if (AcceptWord("having")) query->having = ParseExpression();
    if (PeekWord("window")) throw Untranslatable{"WINDOW clause"};
    ParseTail(*query);
    if (PeekWord("for") || PeekWord("lock") || PeekWord("into")) throw Untranslatable{"locking or INTO clause"};
    return query;
}

void SqlParser::ParseSelectItems(SqlQuery& query) {
    do {
        if (query.items.size() == kMaxSelectColumns)
            throw Untranslatable{"the SELECT list has more than " + std::to_string(kMaxSelectColumns) + " columns; SQL Server allows " +
                                 std::to_string(kMaxSelectColumns)};
        SqlSelectItem item;
        item.expr = ParseExpression();
        item.alias = ParseOptionalAlias();
        query.items.push_back(std::move(item));
        if (nesting_ == 1) Forget();  // the outermost query's: no caller holds a token
    } while (AcceptText(","));
}

// ORDER BY and LIMIT of one query.
void SqlParser::ParseTail(SqlQuery& query) {
    if (AcceptWord("order")) {
        ExpectWord("by");
        query.orderBy = ParseOrderList();
    }
    if (AcceptWord("limit")) {
        query.limit = ParseExpression();
        if (AcceptText(",")) {
            query.offset = std::move(query.limit);
            query.limit = ParseExpression();
        } else if (AcceptWord("offset")) {
            query.offset = ParseExpression();
        }
        if (PeekWord("rows")) throw Untranslatable{"LIMIT ROWS EXAMINED"};
    }
}

std::string SqlParser::ParseOptionalAlias() {
    if (AcceptWord("as")) {
        const SqlToken* token = Peek();
        if (token && token->kind == SqlTokenKind::String) {
            ++pos_;
            return StringTokenValue(*token);
        }
        return ReadName();
    }
    const SqlToken* token = Peek();
    if (!token) return {};
    if (token->kind == SqlTokenKind::QuotedName) return ReadName();
    if (token->kind == SqlTokenKind::Word && !IsReservedAfterItem(LowerAscii(token->text))) return ReadName();
    return {};
}

std::unique_ptr<SqlTableRef> SqlParser::ParseTableRef() {
    std::unique_ptr<SqlTableRef> left = ParseTablePrimary();
    // Each join of the chain is a level deeper in the tree, which its readers recurse over (MySQL
    // itself joins at most 61 tables).
    for (int joins = 0;; ++joins) {
        if (joins > kMaxSqlNesting) throw Untranslatable{"joins nested too deeply"};
        std::string type;
        if (PeekWord("natural")) throw Untranslatable{"NATURAL JOIN"};
        if (AcceptWord("straight_join")) type = "join";
        else if (AcceptWord("join")) type = "join";
        else if (AcceptWord("inner") || AcceptWord("cross")) ExpectWord("join"), type = "join";
        else if (AcceptWord("left") || AcceptWord("right")) {
            type = LowerAscii(Previous().text) + " join";
            AcceptWord("outer");
            ExpectWord("join");
        } else {
            return left;
        }
        auto join = std::make_unique<SqlTableRef>();
        join->kind = SqlTableRef::Kind::Join;
        join->joinType = type;
        join->left = std::move(left);
        join->right = ParseTablePrimary();
        if (AcceptWord("on")) {
            join->on = ParseExpression();
        } else if (AcceptWord("using")) {
            ExpectText("(");
            do join->usingColumns.push_back(ReadName());
            while (AcceptText(","));
            ExpectText(")");
        } else if (type != "join") {
            Fail("expected ON after an outer join");
        }
        left = std::move(join);
    }
}

std::unique_ptr<SqlTableRef> SqlParser::ParseTablePrimary() {
    NestingGuard guard(*this);
    // MySQL 8's table functions and lateral derived tables: named, not read.
    if (PeekWord("lateral")) throw Untranslatable{"LATERAL derived table"};
    if (PeekWord("json_table") && Peek(1) && Peek(1)->text == "(") throw Untranslatable{"JSON_TABLE"};
    if (AcceptText("(")) {
        if (PeekWord("select") || PeekWord("with") || (Peek() && Peek()->text == "(" && PeekWord("select", 1))) {
            auto derived = std::make_unique<SqlTableRef>();
            derived->kind = SqlTableRef::Kind::Derived;
            derived->derived = ParseQuery();
            ExpectText(")");
            derived->alias = ParseOptionalAlias();
            return derived;
        }
        std::unique_ptr<SqlTableRef> inner = ParseTableRef();
        while (AcceptText(",")) {  // (a, b): a cross join
            auto join = std::make_unique<SqlTableRef>();
            join->kind = SqlTableRef::Kind::Join;
            join->joinType = "join";
            join->left = std::move(inner);
            join->right = ParseTableRef();
            inner = std::move(join);
        }
        ExpectText(")");
        return inner;
    }
    auto table = std::make_unique<SqlTableRef>();
    ReadDottedName(table->nameParts);
    if (table->nameParts.size() > 2) Fail("expected a table name");
    if (PeekWord("use") || PeekWord("force") || PeekWord("ignore")) throw Untranslatable{"index hint"};
    if (PeekWord("partition")) throw Untranslatable{"PARTITION selection"};
    if (AcceptWord("as")) table->alias = ReadName();
    else if (Peek() && (Peek()->kind == SqlTokenKind::QuotedName ||
                        (Peek()->kind == SqlTokenKind::Word && !IsReservedAfterTable(LowerAscii(Peek()->text)))))
        table->alias = ReadName();
    return table;
}

}  // namespace velmora
