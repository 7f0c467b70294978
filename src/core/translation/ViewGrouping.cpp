// ViewGrouping: see the header.
#include "translation/ViewGrouping.h"

#include <algorithm>
#include <functional>
#include <set>

#include "translation/SqlParser.h"
#include "translation/Naming.h"

namespace velmora {
namespace {

bool IsAggregate(const SqlNode& node) {
    return node.kind == SqlNode::Kind::Function && !node.Details().hasWindow && IsAggregateName(node.text);
}

bool Contains(const SqlNode& root, const std::function<bool(const SqlNode&)>& test) {
    bool found = false;
    WalkExpression(root, [&](const SqlNode& node) {
        if (test(node)) found = true;
        return !found;
    });
    return found;
}

}  // namespace

std::string TextOf(TsqlWriter& writer, const SqlNode& node) {
    try {
        return writer.Value(node);
    } catch (const Untranslatable&) {
        return {};
    }
}

void WalkExpression(const SqlNode& node, const std::function<bool(const SqlNode&)>& visit) {
    if (!visit(node)) return;
    for (const auto& child : node.Children())
        if (child) WalkExpression(*child, visit);
    if (node.Details().elseValue) WalkExpression(*node.Details().elseValue, visit);
    for (const auto& part : node.Details().partitionBy) WalkExpression(*part, visit);
    for (const auto& [expr, descending] : node.Details().orderBy) WalkExpression(*expr, visit);
}

std::vector<const SqlNode*> GroupingExpressions(const SqlQuery& query) {
    std::vector<const SqlNode*> grouping;
    for (const auto& group : query.groupBy) {
        const SqlNode* resolved = group.get();
        if (group->kind == SqlNode::Kind::Number && group->text.find_first_not_of("0123456789") == std::string::npos) {
            const std::size_t position = std::stoul(group->text);
            if (position < 1 || position > query.items.size()) throw Untranslatable{"GROUP BY position " + group->text};
            resolved = query.items[position - 1].expr.get();
        } else if (group->kind == SqlNode::Kind::Name && group->Parts().size() == 1) {
            for (const auto& item : query.items)
                if (LowerAscii(item.alias) == LowerAscii(group->Parts()[0])) resolved = item.expr.get();
        }
        grouping.push_back(resolved);
    }
    return grouping;
}

namespace {

// `to` has one value per group where `from` has ("" for a constant), by a condition of the query.
struct Dependency {
    std::string from, to;
};

void Conjuncts(const SqlNode& node, std::vector<const SqlNode*>& out) {
    if (node.kind == SqlNode::Kind::Binary && node.op == "and") {
        Conjuncts(*node.Children()[0], out);
        Conjuncts(*node.Children()[1], out);
        return;
    }
    out.push_back(&node);
}

// A column whose equal values are the same value: not text, which compares under a collation
// ('a' = 'A').
bool ComparesExactly(const ColumnModel* column) {
    if (!column) return false;
    const std::string& type = column->baseType;
    return type.find("char") == std::string::npos && type.find("text") == std::string::npos && type != "enum" &&
           type != "set" && type != "json";
}

// The equalities (a = b, a = constant) of a condition as dependencies, towards the columns of
// the sources in `targets` (every source when it is null).
void AddEqualities(const SqlNode& condition, const ViewScope& scope, const std::vector<std::string>* targets,
                   std::vector<Dependency>& out) {
    std::vector<const SqlNode*> conjuncts;
    Conjuncts(condition, conjuncts);
    const auto target = [&](const SqlNode& side) {
        if (side.kind != SqlNode::Kind::Name || !ComparesExactly(scope.Column(side))) return std::string();
        const std::string key = scope.Key(side);
        const std::string source = key.substr(0, key.find('\x1f'));
        const bool allowed = !targets || std::find(targets->begin(), targets->end(), source) != targets->end();
        return allowed ? key : std::string();
    };
    const auto from = [&](const SqlNode& side, std::string& key) {
        if (IsLiteralNode(side)) return side.kind != SqlNode::Kind::Null;
        key = side.kind == SqlNode::Kind::Name ? scope.Key(side) : "";
        return !key.empty();
    };
    for (const SqlNode* conjunct : conjuncts) {
        if (conjunct->kind != SqlNode::Kind::Binary || (conjunct->op != "=" && conjunct->op != "<=>")) continue;
        const SqlNode& a = *conjunct->Children()[0];
        const SqlNode& b = *conjunct->Children()[1];
        std::string keyA, keyB;
        const std::string toA = target(a), toB = target(b);
        if (!toB.empty() && from(a, keyA)) out.push_back({keyA, toB});
        if (!toA.empty() && from(b, keyB)) out.push_back({keyB, toA});
    }
}

// An ON condition tells about the null-supplying side of an outer join only: the preserved side
// keeps its rows whether they match or not.
void AddJoinDependencies(const SqlTableRef& ref, const ViewScope& scope, std::vector<Dependency>& out) {
    if (ref.kind != SqlTableRef::Kind::Join) return;
    AddJoinDependencies(*ref.left, scope, out);
    AddJoinDependencies(*ref.right, scope, out);
    if (!ref.on) return;
    std::vector<std::string> targets;
    if (ref.joinType != "right join") ViewScope::ExposedNames(*ref.right, targets);
    if (ref.joinType != "left join") ViewScope::ExposedNames(*ref.left, targets);
    AddEqualities(*ref.on, scope, &targets, out);
}

// Whether the known columns hold a whole key of the table: the primary key, or a unique key
// over NOT NULL columns (several rows may hold NULL in a nullable one).
bool HoldsKey(const ViewScope::Source& source, const std::set<std::string>& known) {
    for (const IndexModel& index : source.model->indexes) {
        if (index.kind != IndexModel::Kind::Primary && index.kind != IndexModel::Kind::Unique) continue;
        bool whole = !index.parts.empty();
        for (const KeyPart& part : index.parts) {
            const ColumnModel* column = source.model->FindColumn(part.column);
            whole = whole && column && !part.prefixLength && known.count(source.exposed + '\x1f' + LowerAscii(part.column)) &&
                    (index.kind == IndexModel::Kind::Primary || !column->nullable);
        }
        if (whole) return true;
    }
    return false;
}

// The columns (ViewScope keys) with one value per group: the grouped ones, those equal to them or
// to constants, and every column of a table whose key they hold; to a fixed point.
std::set<std::string> DeterminedColumns(const SqlQuery& query, const std::vector<const SqlNode*>& grouping,
                                        const ViewScope& scope) {
    std::set<std::string> known;
    for (const SqlNode* group : grouping) {
        const std::string key = scope.Key(*group);
        if (!key.empty()) known.insert(key);
    }
    std::vector<Dependency> dependencies;
    for (const auto& ref : query.from) AddJoinDependencies(*ref, scope, dependencies);
    if (query.where) AddEqualities(*query.where, scope, nullptr, dependencies);
    for (bool changed = true; changed;) {
        changed = false;
        for (const Dependency& dependency : dependencies)
            if ((dependency.from.empty() || known.count(dependency.from)) && known.insert(dependency.to).second) changed = true;
        for (const ViewScope::Source& source : scope.Sources()) {
            if (!source.model || !HoldsKey(source, known)) continue;
            for (const ColumnModel& column : source.model->columns)
                if (known.insert(source.exposed + '\x1f' + LowerAscii(column.name)).second) changed = true;
        }
    }
    return known;
}

std::string LooseGrouping(const std::string& text, const SqlNode& node, const SqlQuery& query, const ViewScope& scope) {
    std::string reason = "loose GROUP BY (" + (text.empty() ? std::string("*") : text) + " is neither grouped nor aggregated";
    const ViewScope::Source* source = query.groupBy.empty() ? nullptr : scope.Resolve(node);
    if (source && source->model) reason += ", and the grouped columns determine no key of " + QuoteTargetName(source->name);
    else if (source) reason += ", and the keys of " + QuoteTargetName(source->name) + " are not known";
    return reason + ")";
}

}  // namespace

std::vector<const SqlNode*> CompleteGrouping(const SqlQuery& query, TsqlWriter& writer, const ViewScope& scope,
                                             std::vector<std::string>& added) {
    std::vector<const SqlNode*> grouping = GroupingExpressions(query);
    bool aggregated = !query.groupBy.empty();
    for (const auto& item : query.items) aggregated = aggregated || Contains(*item.expr, IsAggregate);
    if (!aggregated) return grouping;
    std::vector<std::string> grouped;
    for (const SqlNode* group : grouping) grouped.push_back(TextOf(writer, *group));
    // Without GROUP BY the whole query is one group, even over no rows: no key can help there.
    const std::set<std::string> determined = query.groupBy.empty() ? std::set<std::string>() : DeterminedColumns(query, grouping, scope);
    std::vector<std::string> aliases;
    for (const auto& item : query.items) aliases.push_back(LowerAscii(item.alias));
    // HAVING and ORDER BY may name a select alias (mustGroup false); what else they name must be
    // grouped in T-SQL too.
    const auto visit = [&](const SqlNode& root, bool mustGroup) {
        WalkExpression(root, [&](const SqlNode& node) {
            if (IsAggregate(node) || node.kind == SqlNode::Kind::Subquery || node.kind == SqlNode::Kind::Exists) return false;
            if (node.kind != SqlNode::Kind::Name && node.kind != SqlNode::Kind::Star && IsLiteralNode(node)) return false;
            if (!mustGroup && node.kind == SqlNode::Kind::Name && node.Parts().size() == 1 &&
                std::find(aliases.begin(), aliases.end(), LowerAscii(node.Parts()[0])) != aliases.end())
                return false;
            const std::string text = TextOf(writer, node);
            if (!text.empty() && std::find(grouped.begin(), grouped.end(), text) != grouped.end()) return false;
            if (node.kind != SqlNode::Kind::Name && node.kind != SqlNode::Kind::Star) return true;
            if (node.kind == SqlNode::Kind::Name && !text.empty() && determined.count(scope.Key(node))) {
                grouping.push_back(&node);
                grouped.push_back(text);
                added.push_back(text);
                return false;
            }
            if (mustGroup) throw Untranslatable{LooseGrouping(text, node, query, scope)};
            return false;
        });
    };
    for (const auto& item : query.items) visit(*item.expr, true);
    if (query.having) visit(*query.having, false);
    for (const auto& [expr, descending] : query.orderBy) visit(*expr, false);
    return grouping;
}

}  // namespace velmora
