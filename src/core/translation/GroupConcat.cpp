// GroupConcat: see the header.
#include "translation/GroupConcat.h"

#include <algorithm>

#include "translation/Naming.h"
#include "translation/SqlParser.h"
#include "translation/ViewGrouping.h"

namespace velmora {
namespace {

bool IsGroupConcat(const SqlNode& node) {
    return node.kind == SqlNode::Kind::Function && node.text == "group_concat" && !node.Details().hasWindow;
}

SqlNodePtr NameNode(const std::string& name) {
    auto node = std::make_unique<SqlNode>();
    node->kind = SqlNode::Kind::Name;
    node->EditParts().push_back(name);
    return node;
}

std::string Numbered(const std::string& stem, std::size_t index) { return stem + "_" + std::to_string(index + 1); }

std::string List(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& item : items) out += (out.empty() ? "" : ", ") + item;
    return out;
}

// Characters of a UTF-8 text (what STUFF counts of the separator).
std::size_t Characters(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The derived table's columns and the aggregate's order over them.
struct Rows {
    std::vector<std::string> groups;                         // group_i: the grouped expressions
    std::vector<std::string> values;                         // value_j: the aggregate's arguments
    std::vector<std::string> orders;                         // order_k: order keys it does not list
    std::vector<std::pair<std::string, bool>> order;         // column names, descending
    std::vector<bool> orderDescending;                       // of each order_k
};

// The table of rows: all rows, or one per distinct value with the first of its order keys.
std::string RowsTable(const Rows& rows, const std::string& fromClause, bool distinct) {
    std::vector<std::string> all, kept;
    for (std::size_t i = 0; i < rows.groups.size(); ++i) all.push_back(rows.groups[i] + " AS " + Numbered("group", i)), kept.push_back(Numbered("group", i));
    for (std::size_t i = 0; i < rows.values.size(); ++i) all.push_back(rows.values[i] + " AS " + Numbered("value", i)), kept.push_back(Numbered("value", i));
    for (std::size_t i = 0; i < rows.orders.size(); ++i) all.push_back(rows.orders[i] + " AS " + Numbered("order", i));
    if (!distinct) return "SELECT " + List(all) + fromClause;
    if (rows.orders.empty()) return "SELECT DISTINCT " + List(all) + fromClause;
    // Values may be subqueries, which T-SQL does not group by: the rows are read first.
    std::vector<std::string> firstKeys;
    for (std::size_t i = 0; i < rows.orders.size(); ++i)
        firstKeys.push_back(std::string(rows.orderDescending[i] ? "MAX(" : "MIN(") + Numbered("order", i) + ") AS " + Numbered("order", i));
    return "SELECT " + List(kept) + ", " + List(firstKeys) + " FROM (SELECT " + List(all) + fromClause + ") AS all_rows GROUP BY " + List(kept);
}

std::string OrderList(const Rows& rows, const std::string& qualifier) {
    std::vector<std::string> out;
    for (const auto& [column, descending] : rows.order) out.push_back(qualifier + column + (descending ? " DESC" : ""));
    return List(out);
}

// The aggregate over the table of rows in `form`; `item` joins one row's values.
std::string AggregateOverRows(const SqlNode& call, TsqlWriter& writer, const Rows& rows, const std::string& table,
                              GroupConcatForm form, const std::string& item) {
    const std::string separator = writer.GroupConcatSeparator(call);
    if (form != GroupConcatForm::XmlPath) {
        std::string out = "STRING_AGG(" + item + ", " + separator + ")";
        if (form == GroupConcatForm::WithinGroup) out += " WITHIN GROUP (ORDER BY " + OrderList(rows, "") + ")";
        return out;
    }
    std::string match;
    for (std::size_t i = 0; i < rows.groups.size(); ++i) {
        const std::string inner = "joined_rows." + Numbered("group", i), outer = "group_rows." + Numbered("group", i);
        match += std::string(i ? " AND " : " WHERE ") + "(" + inner + " = " + outer + " OR (" + inner + " IS NULL AND " + outer + " IS NULL))";
    }
    const std::size_t length = call.Details().separator ? Characters(call.Details().separator->text) : 1;
    // NULL when no value is joined; '' when the only values are empty.
    return "CASE WHEN COUNT(" + item + ") = 0 THEN NULL ELSE ISNULL(STUFF((SELECT " + separator + " + " + item + " FROM (" + table +
           ") AS joined_rows" + match + " ORDER BY " + OrderList(rows, "joined_rows.") +
           " FOR XML PATH(''), TYPE).value('.', 'nvarchar(max)'), 1, " + std::to_string(length) + ", N''), N'') END";
}

}  // namespace

GroupConcatForm ChooseGroupConcatForm(const ExpressionNames& names) {
    if (names.oneDatabaseKind == "Babelfish") return GroupConcatForm::OrderedRows;
    return names.targetMajorVersion >= 14 ? GroupConcatForm::WithinGroup : GroupConcatForm::XmlPath;
}

std::string GroupConcatFormNote(GroupConcatForm form) {
    switch (form) {
        case GroupConcatForm::WithinGroup: return "GROUP_CONCAT is written as STRING_AGG ... WITHIN GROUP (SQL Server 2017 or later)";
        case GroupConcatForm::OrderedRows:
            return "GROUP_CONCAT is written as STRING_AGG over rows in the order it names (Babelfish refuses WITHIN GROUP)";
        case GroupConcatForm::XmlPath:
            return "GROUP_CONCAT is written as FOR XML PATH (every SQL Server from 2016; STRING_AGG needs 2017)";
    }
    return {};
}

bool HasGroupConcat(const SqlQuery& query) {
    bool found = false;
    for (const auto& item : query.items)
        WalkExpression(*item.expr, [&](const SqlNode& node) {
            found = found || IsGroupConcat(node);
            return !found;
        });
    return found;
}

bool NeedsGroupConcatRows(const SqlQuery& query, GroupConcatForm form) {
    bool needs = false;
    for (const auto& item : query.items)
        WalkExpression(*item.expr, [&](const SqlNode& node) {
            if (IsGroupConcat(node))
                needs = needs || node.distinct || form == GroupConcatForm::XmlPath ||
                        (form == GroupConcatForm::OrderedRows && !node.Details().orderBy.empty());
            return !needs;
        });
    return needs;
}

std::string GroupConcatOverRows(const SqlQuery& query, TsqlWriter& writer, const std::vector<const SqlNode*>& grouping,
                                const std::string& fromClause, GroupConcatForm form) {
    const SqlNode* call = nullptr;
    for (const auto& item : query.items)
        if (IsGroupConcat(*item.expr) && !call) call = item.expr.get();
    const std::string what = call && call->distinct ? "GROUP_CONCAT(DISTINCT ...)"
                             : form == GroupConcatForm::XmlPath ? "GROUP_CONCAT for SQL Server 2016"
                                                                : "GROUP_CONCAT ... ORDER BY on Babelfish";
    if (!call) throw Untranslatable{what + " inside an expression"};
    if (query.having || !query.orderBy.empty() || query.limit || query.withRollup || query.distinct)
        throw Untranslatable{what + " with HAVING, ORDER BY, LIMIT or ROLLUP"};
    Rows rows;
    for (const SqlNode* group : grouping) rows.groups.push_back(TextOf(writer, *group));
    std::string outer;
    for (const auto& item : query.items) {
        if (item.expr.get() == call) {
            outer += std::string(outer.empty() ? "" : ", ") + "%AGGREGATE%";
            continue;
        }
        const auto found = std::find(rows.groups.begin(), rows.groups.end(), TextOf(writer, *item.expr));
        if (found == rows.groups.end() || found->empty()) throw Untranslatable{what + " beside another aggregate or column"};
        std::string alias = item.alias;
        if (alias.empty() && item.expr->kind == SqlNode::Kind::Name) alias = item.expr->Parts().back();
        outer += (outer.empty() ? "" : ", ") + Numbered("group", static_cast<std::size_t>(found - rows.groups.begin())) +
                 (alias.empty() ? "" : " AS " + QuoteTargetName(alias));
    }
    // The aggregate's values, its order keys (a listed value, or a column of their own), then the values.
    SqlNode joined;
    joined.kind = SqlNode::Kind::Function;
    joined.text = "group_concat";
    for (const auto& argument : call->Children()) {
        rows.values.push_back(writer.Argument(*argument));
        joined.EditChildren().push_back(NameNode(Numbered("value", rows.values.size() - 1)));
    }
    for (const auto& [expr, descending] : call->Details().orderBy) {
        const std::string text = writer.Argument(*expr);
        const auto listed = std::find(rows.values.begin(), rows.values.end(), text);
        if (listed != rows.values.end()) {
            rows.order.emplace_back(Numbered("value", static_cast<std::size_t>(listed - rows.values.begin())), descending);
            continue;
        }
        rows.orders.push_back(text);
        rows.orderDescending.push_back(descending);
        rows.order.emplace_back(Numbered("order", rows.orders.size() - 1), descending);
    }
    for (std::size_t i = 0; i < rows.values.size(); ++i)
        if (std::none_of(rows.order.begin(), rows.order.end(), [&](const auto& o) { return o.first == Numbered("value", i); }))
            rows.order.emplace_back(Numbered("value", i), false);
    std::string table = RowsTable(rows, fromClause, call->distinct);
    const std::string item = writer.GroupConcatItem(joined);
    std::string aggregate = writer.CutGroupConcat(AggregateOverRows(*call, writer, rows, table, form, item));
    std::string alias;
    for (const auto& queryItem : query.items)
        if (queryItem.expr.get() == call) alias = queryItem.alias;
    if (!alias.empty()) aggregate += " AS " + QuoteTargetName(alias);
    outer.replace(outer.find("%AGGREGATE%"), 11, aggregate);
    std::vector<std::string> groupColumns;
    for (std::size_t i = 0; i < rows.groups.size(); ++i) groupColumns.push_back(Numbered("group", i));
    std::vector<std::string> rowOrder = groupColumns;
    if (!rows.order.empty()) rowOrder.push_back(OrderList(rows, ""));
    if (form == GroupConcatForm::OrderedRows)
        table = "SELECT TOP (2147483647) * FROM (" + table + ") AS unordered_rows ORDER BY " + List(rowOrder);
    std::string out = "SELECT " + outer + " FROM (" + table + ") AS group_rows";
    if (!groupColumns.empty()) out += " GROUP BY " + List(groupColumns);
    return out;
}

}  // namespace velmora
