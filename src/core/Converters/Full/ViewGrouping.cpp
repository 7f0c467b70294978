// ViewGrouping: see the header.
#include "Converters/Full/ViewGrouping.h"

#include <algorithm>
#include <functional>

#include "Converters/Full/SqlParser.h"
#include "Converters/Naming.h"

namespace velmora {
namespace {

bool IsAggregate(const SqlNode& node) {
    return node.kind == SqlNode::Kind::Function && !node.hasWindow && IsAggregateName(node.name);
}

// Calls `visit` on every node of an expression, not descending where it returns false.
void Walk(const SqlNode& node, const std::function<bool(const SqlNode&)>& visit) {
    if (!visit(node)) return;
    for (const auto& child : node.children)
        if (child) Walk(*child, visit);
    if (node.elseValue) Walk(*node.elseValue, visit);
    for (const auto& part : node.partitionBy) Walk(*part, visit);
    for (const auto& [expr, descending] : node.orderBy) Walk(*expr, visit);
}

bool Contains(const SqlNode& root, const std::function<bool(const SqlNode&)>& test) {
    bool found = false;
    Walk(root, [&](const SqlNode& node) {
        if (test(node)) found = true;
        return !found;
    });
    return found;
}

std::string TextOf(TsqlWriter& writer, const SqlNode& node) {
    try {
        return writer.Value(node);
    } catch (const Untranslatable&) {
        return {};
    }
}

bool IsDistinctGroupConcat(const SqlNode& node) {
    return node.kind == SqlNode::Kind::Function && node.name == "group_concat" && node.distinct;
}

SqlNodePtr NameNode(const std::string& name) {
    auto node = std::make_unique<SqlNode>();
    node->kind = SqlNode::Kind::Name;
    node->parts.push_back(name);
    return node;
}

}  // namespace

std::vector<const SqlNode*> GroupingExpressions(const SqlQuery& query) {
    std::vector<const SqlNode*> grouping;
    for (const auto& group : query.groupBy) {
        const SqlNode* resolved = group.get();
        if (group->kind == SqlNode::Kind::Number && group->text.find_first_not_of("0123456789") == std::string::npos) {
            const std::size_t position = std::stoul(group->text);
            if (position < 1 || position > query.items.size()) throw Untranslatable{"GROUP BY position " + group->text};
            resolved = query.items[position - 1].expr.get();
        } else if (group->kind == SqlNode::Kind::Name && group->parts.size() == 1) {
            for (const auto& item : query.items)
                if (LowerAscii(item.alias) == LowerAscii(group->parts[0])) resolved = item.expr.get();
        }
        grouping.push_back(resolved);
    }
    return grouping;
}

void RejectLooseGrouping(const SqlQuery& query, TsqlWriter& writer) {
    bool aggregated = !query.groupBy.empty();
    for (const auto& item : query.items) aggregated = aggregated || Contains(*item.expr, IsAggregate);
    if (!aggregated) return;
    std::vector<std::string> grouped;
    for (const SqlNode* group : GroupingExpressions(query)) grouped.push_back(TextOf(writer, *group));
    for (const auto& item : query.items) {
        Walk(*item.expr, [&](const SqlNode& node) {
            if (IsAggregate(node) || node.kind == SqlNode::Kind::Subquery || node.kind == SqlNode::Kind::Exists) return false;
            if (node.kind != SqlNode::Kind::Name && node.kind != SqlNode::Kind::Star && IsLiteralNode(node)) return false;
            const std::string text = TextOf(writer, node);
            if (!text.empty() && std::find(grouped.begin(), grouped.end(), text) != grouped.end()) return false;
            if (node.kind == SqlNode::Kind::Name || node.kind == SqlNode::Kind::Star)
                throw Untranslatable{"loose GROUP BY (" + (text.empty() ? std::string("*") : text) +
                                     " is neither grouped nor aggregated)"};
            return true;
        });
    }
}

bool HasDistinctGroupConcat(const SqlQuery& query) {
    for (const auto& item : query.items)
        if (Contains(*item.expr, IsDistinctGroupConcat)) return true;
    return false;
}

std::string DistinctGroupConcat(const SqlQuery& query, TsqlWriter& writer, const std::string& fromClause) {
    if (query.having || !query.orderBy.empty() || query.limit || query.withRollup || query.distinct)
        throw Untranslatable{"GROUP_CONCAT(DISTINCT ...) with HAVING, ORDER BY, LIMIT or ROLLUP"};
    std::vector<std::string> grouped;
    for (const SqlNode* group : GroupingExpressions(query)) grouped.push_back(TextOf(writer, *group));
    std::string inner, outer;
    const SqlNode* aggregate = nullptr;
    std::string aggregateAlias;
    for (const auto& item : query.items) {
        if (IsDistinctGroupConcat(*item.expr) && !aggregate) {
            aggregate = item.expr.get();
            aggregateAlias = item.alias;
            outer += std::string(outer.empty() ? "" : ", ") + "%AGGREGATE%";
            continue;
        }
        const auto found = std::find(grouped.begin(), grouped.end(), TextOf(writer, *item.expr));
        if (found == grouped.end()) throw Untranslatable{"GROUP_CONCAT(DISTINCT ...) beside another aggregate or column"};
        const std::string column = "group_" + std::to_string(found - grouped.begin() + 1);
        std::string alias = item.alias;
        if (alias.empty() && item.expr->kind == SqlNode::Kind::Name) alias = item.expr->parts.back();
        outer += (outer.empty() ? "" : ", ") + column + (alias.empty() ? "" : " AS " + QuoteTargetName(alias));
    }
    for (std::size_t i = 0; i < grouped.size(); ++i)
        inner += (inner.empty() ? "" : ", ") + grouped[i] + " AS group_" + std::to_string(i + 1);
    // The distinct values of each group, then the aggregate over them.
    SqlNode plain;
    plain.kind = SqlNode::Kind::Function;
    plain.name = "group_concat";
    std::vector<std::string> values;
    for (const auto& argument : aggregate->children) {
        values.push_back(writer.Value(*argument));
        inner += (inner.empty() ? "" : ", ") + values.back() + " AS value_" + std::to_string(values.size());
        plain.children.push_back(NameNode("value_" + std::to_string(values.size())));
    }
    for (const auto& [expr, descending] : aggregate->orderBy) {
        const auto found = std::find(values.begin(), values.end(), writer.Value(*expr));
        if (found == values.end()) throw Untranslatable{"GROUP_CONCAT(DISTINCT ...) ordered by a value it does not list"};
        plain.orderBy.emplace_back(NameNode("value_" + std::to_string(found - values.begin() + 1)), descending);
    }
    if (aggregate->separator) {
        plain.separator = std::make_unique<SqlNode>();
        plain.separator->kind = aggregate->separator->kind;
        plain.separator->text = aggregate->separator->text;
    }
    std::string aggregateText = writer.Value(plain) + (aggregateAlias.empty() ? "" : " AS " + QuoteTargetName(aggregateAlias));
    outer.replace(outer.find("%AGGREGATE%"), 11, aggregateText);
    std::string out = "SELECT " + outer + " FROM (SELECT DISTINCT " + inner + fromClause + ") AS distinct_rows";
    for (std::size_t i = 0; i < grouped.size(); ++i) out += (i ? ", " : " GROUP BY ") + std::string("group_") + std::to_string(i + 1);
    return out;
}

}  // namespace velmora
