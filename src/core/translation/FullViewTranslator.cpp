// FullViewTranslator: the view header, the query writer (SELECT, FROM, set operations, LIMIT)
// and the dependency order. Grouping rules (loose GROUP BY, GROUP_CONCAT(DISTINCT)) are in
// ViewGrouping.cpp.
#include "translation/FullViewTranslator.h"

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>

#include "translation/BatchSafety.h"
#include "translation/InputLimits.h"
#include "translation/SqlParser.h"
#include "translation/Collations.h"
#include "translation/GroupConcat.h"
#include "translation/ViewGrouping.h"
#include "translation/ViewScope.h"
#include "translation/Naming.h"

namespace velmora {
namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

class QueryWriter {
public:
    QueryWriter(const ExpressionNames& names, const std::vector<TableModel>& tables, const RoutineNameHooks& routine = {})
        : names_(names), tables_(tables), expressions_(names) {
        expressions_.routine = routine;
        expressions_.writeQuery = [this](const SqlQuery& query) { return Query(query); };
        expressions_.columnOf = [this](const SqlNode& name) {
            return scopes_.empty() ? nullptr : scopes_.back()->Column(name);
        };
        expressions_.collationOf = [this](const SqlNode& name) {
            const ViewScope::Source* source = scopes_.empty() ? nullptr : scopes_.back()->Resolve(name);
            const ColumnModel* column = scopes_.empty() ? nullptr : scopes_.back()->Column(name);
            return column && source && source->model ? SourceCollationOf(*column, source->model->options) : std::string();
        };
        expressions_.charsetOf = [this](const SqlNode& name) {
            const ViewScope::Source* source = scopes_.empty() ? nullptr : scopes_.back()->Resolve(name);
            const ColumnModel* column = scopes_.empty() ? nullptr : scopes_.back()->Column(name);
            if (column && !column->charset.empty()) return column->charset;
            return source && source->model ? source->model->options.charset : std::string();
        };
    }

    std::string Query(const SqlQuery& query) {
        if (!query.next) return Select(query);
        const std::vector<std::string> saved = std::move(unionCollations_);
        unionCollations_ = UnionCollations(query);
        std::string out;
        for (const SqlQuery* branch = &query; branch; branch = branch->next.get()) {
            const bool last = !branch->next;
            if (branch->limit || (!last && !branch->orderBy.empty()))
                throw Untranslatable{"ORDER BY or LIMIT on a branch of " + Upper(query.setOperator)};
            out += Select(*branch);
            if (!last) out += " " + Upper(branch->setOperator) + " ";
        }
        unionCollations_ = saved;
        return out;
    }

    const std::vector<std::string>& References() const { return references_; }
    const std::vector<std::string>& Adjustments() const { return adjustments_; }

private:
    // The scope of the SELECT being written, for the columns its expressions name.
    class ScopeGuard {
    public:
        ScopeGuard(std::vector<const ViewScope*>& scopes, const ViewScope& scope) : scopes_(scopes) { scopes_.push_back(&scope); }
        ~ScopeGuard() { scopes_.pop_back(); }
        ScopeGuard(const ScopeGuard&) = delete;
        ScopeGuard& operator=(const ScopeGuard&) = delete;

    private:
        std::vector<const ViewScope*>& scopes_;
    };

    // One SELECT (of a set operation, the last one's ORDER BY sorts the whole, as in T-SQL).
    std::string Select(const SqlQuery& query) {
        const ViewScope scope(query, tables_, names_, scopes_.empty() ? nullptr : scopes_.back());
        const ScopeGuard inScope(scopes_, scope);
        std::vector<std::string> added;
        const std::vector<const SqlNode*> grouping = CompleteGrouping(query, expressions_, scope, added);
        if (!added.empty()) {
            std::string list;
            for (const auto& column : added) list += (list.empty() ? "" : ", ") + column;
            adjustments_.push_back("GROUP BY also lists " + list + ": the grouped key determines " +
                                   (added.size() == 1 ? "it" : "them") + ", which MySQL accepts and T-SQL does not");
        }
        if (HasGroupConcat(query)) {
            const GroupConcatForm form = ChooseGroupConcatForm(names_);
            const std::string note = GroupConcatFormNote(form);
            if (std::find(adjustments_.begin(), adjustments_.end(), note) == adjustments_.end()) adjustments_.push_back(note);
            if (NeedsGroupConcatRows(query, form)) return GroupConcatOverRows(query, expressions_, grouping, FromClause(query), form);
        }
        std::string out = "SELECT ";
        if (query.distinct) out += "DISTINCT ";
        const bool top = query.limit && !query.offset;
        if (top) out += "TOP (" + Limit(*query.limit) + ") ";
        for (std::size_t i = 0; i < query.items.size(); ++i) out += (i ? ", " : "") + Item(query.items[i], i);
        out += FromClause(query);
        if (!grouping.empty()) {
            out += query.withRollup ? " GROUP BY ROLLUP (" : " GROUP BY ";
            for (std::size_t i = 0; i < grouping.size(); ++i) out += (i ? ", " : "") + expressions_.Value(*grouping[i]);
            if (query.withRollup) out += ")";
        }
        if (query.having) {
            for (const auto& item : query.items)
                if (!item.alias.empty()) expressions_.aliasExpressions.emplace(LowerAscii(item.alias), item.expr.get());
            out += " HAVING " + expressions_.Condition(*query.having);
            expressions_.aliasExpressions.clear();
        }
        return out + OrderAndOffset(query, top);
    }

    // A UNION's columns of different collations: MySQL's choice per column (CoercedCollation),
    // written on the branches' columns that have another, as SQL Server would refuse the mix.
    std::vector<std::string> UnionCollations(const SqlQuery& query) const {
        std::vector<std::vector<std::string>> byColumn(query.items.size());
        for (const SqlQuery* branch = &query; branch; branch = branch->next.get()) {
            const ViewScope scope(*branch, tables_, names_, scopes_.empty() ? nullptr : scopes_.back());
            for (std::size_t i = 0; i < branch->items.size() && i < byColumn.size(); ++i) {
                const SqlNode& expr = *branch->items[i].expr;
                const ViewScope::Source* source = expr.kind == SqlNode::Kind::Name ? scope.Resolve(expr) : nullptr;
                const ColumnModel* column = source && source->model ? scope.Column(expr) : nullptr;
                byColumn[i].push_back(column ? SourceCollationOf(*column, source->model->options) : std::string());
            }
        }
        std::vector<std::string> winners;
        for (auto& collations : byColumn) {
            std::sort(collations.begin(), collations.end());
            collations.erase(std::unique(collations.begin(), collations.end()), collations.end());
            if (!collations.empty() && collations.front().empty()) collations.erase(collations.begin());
            winners.push_back(collations.size() < 2 ? std::string() : CoercedCollation(collations));
        }
        return winners;
    }

    std::string Item(const SqlSelectItem& item, std::size_t position = 0) {
        std::string out = expressions_.Value(*item.expr);
        const std::string winner = position < unionCollations_.size() ? unionCollations_[position] : std::string();
        if (!winner.empty() && item.expr->kind == SqlNode::Kind::Name && expressions_.collationOf(*item.expr) != winner &&
            !TargetCollation(winner).empty())
            out += " COLLATE " + TargetCollation(winner);
        if (!item.alias.empty()) out += " AS " + QuoteTargetName(item.alias);
        return out;
    }

    // FROM and WHERE.
    std::string FromClause(const SqlQuery& query) {
        std::string out;
        for (std::size_t i = 0; i < query.from.size(); ++i) out += (i ? ", " : " FROM ") + TableRef(*query.from[i]);
        if (query.where) out += " WHERE " + expressions_.Condition(*query.where);
        return out;
    }

    // ORDER BY, and LIMIT with an offset as OFFSET/FETCH. T-SQL accepts ORDER BY in a view or a
    // derived table only with TOP or OFFSET, hence OFFSET 0 ROWS when MySQL has no LIMIT.
    std::string OrderAndOffset(const SqlQuery& query, bool top) {
        std::string out;
        std::vector<std::string> order;
        for (const auto& [expr, descending] : query.orderBy) {
            if (expr->kind == SqlNode::Kind::Null) continue;  // ORDER BY NULL: MySQL's "do not sort"
            order.push_back(expressions_.Value(*expr) + (descending ? " DESC" : ""));
        }
        if (order.empty() && query.offset) order.push_back("(SELECT NULL)");
        for (std::size_t i = 0; i < order.size(); ++i) out += (i ? ", " : " ORDER BY ") + order[i];
        if (query.offset) return out + " OFFSET " + Limit(*query.offset) + " ROWS FETCH NEXT " + Limit(*query.limit) + " ROWS ONLY";
        if (!order.empty() && !top) out += " OFFSET 0 ROWS";
        return out;
    }

    std::string Limit(const SqlNode& node) {
        if (node.kind != SqlNode::Kind::Number) throw Untranslatable{"LIMIT with a computed count"};
        return node.text;
    }

    std::string TableRef(const SqlTableRef& ref) {
        switch (ref.kind) {
            case SqlTableRef::Kind::Table: {
                AddReference(ref.nameParts.back());
                return expressions_.TableName(ref.nameParts) + (ref.alias.empty() ? "" : " AS " + QuoteTargetName(ref.alias));
            }
            case SqlTableRef::Kind::Derived:
                return "(" + Query(*ref.derived) + ") AS " + QuoteTargetName(ref.alias.empty() ? "derived" : ref.alias);
            case SqlTableRef::Kind::Join: break;
        }
        // A left-deep tree needs no parentheses: (a JOIN b ON x) JOIN c ON y = a JOIN b ON x JOIN c ON y.
        std::string out = TableRef(*ref.left);
        const std::string right = ref.right->kind == SqlTableRef::Kind::Join ? "(" + TableRef(*ref.right) + ")" : TableRef(*ref.right);
        if (!ref.on && ref.usingColumns.empty()) return out + " CROSS JOIN " + right;
        out += " " + Upper(ref.joinType == "join" ? std::string("inner join") : ref.joinType) + " " + right + " ON ";
        if (ref.on) return out + expressions_.Condition(*ref.on);
        const std::string leftName = ExposedName(*ref.left), rightName = ExposedName(*ref.right);
        for (std::size_t i = 0; i < ref.usingColumns.size(); ++i) {
            const std::string column = QuoteTargetName(ref.usingColumns[i]);
            out += (i ? " AND " : "") + leftName + "." + column + " = " + rightName + "." + column;
        }
        return out;
    }

    // The name that qualifies columns of a table reference (for USING); the rightmost table of a join.
    std::string ExposedName(const SqlTableRef& ref) {
        if (ref.kind == SqlTableRef::Kind::Join) {
            if (!ref.right || ref.right->kind == SqlTableRef::Kind::Join) throw Untranslatable{"USING over a nested join"};
            return ExposedName(*ref.right);
        }
        if (!ref.alias.empty()) return QuoteTargetName(ref.alias);
        if (ref.kind == SqlTableRef::Kind::Derived) throw Untranslatable{"USING with a derived table without a name"};
        return QuoteTargetName(ref.nameParts.back());
    }

    void AddReference(const std::string& name) {
        if (std::find(references_.begin(), references_.end(), name) == references_.end()) references_.push_back(name);
    }

    const ExpressionNames& names_;
    const std::vector<TableModel>& tables_;
    TsqlWriter expressions_;
    std::vector<const ViewScope*> scopes_;
    std::vector<std::string> references_;
    std::vector<std::string> adjustments_;
    std::vector<std::string> unionCollations_;  // per column of the set operation being written
};

// CREATE [OR REPLACE] [ALGORITHM=...] [DEFINER=...] [SQL SECURITY ...] VIEW name [(columns)] AS
// query [WITH [CASCADED | LOCAL] CHECK OPTION]
struct ParsedView {
    std::vector<std::string> nameParts;
    std::vector<std::string> columns;
    std::shared_ptr<SqlQuery> query;
    bool checkOption = false;
};

ParsedView ParseView(std::string_view text) {
    SqlParser parser(SqlParser::Reading(text));
    ParsedView view;
    parser.ExpectWord("create");
    while (!parser.AtEnd() && !parser.PeekWord("view")) parser.Skip();  // OR REPLACE, ALGORITHM, DEFINER, SQL SECURITY
    parser.ExpectWord("view");
    parser.ReadDottedName(view.nameParts);
    if (parser.AcceptText("(")) {
        do view.columns.push_back(parser.ReadName());
        while (parser.AcceptText(","));
        parser.ExpectText(")");
    }
    parser.ExpectWord("as");
    view.query = parser.ParseQuery();
    if (parser.AcceptWord("with")) {
        if (!parser.AcceptWord("cascaded")) parser.AcceptWord("local");
        parser.ExpectWord("check");
        parser.ExpectWord("option");
        view.checkOption = true;
    }
    parser.AcceptText(";");
    if (!parser.AtEnd()) parser.Fail("unexpected text after the view's query");
    return view;
}

FullViewTranslation Translate(std::string_view text, std::string_view viewName, const ExpressionNames& names,
                              const std::vector<TableModel>& tables) {
    const ParsedView view = ParseView(text);
    std::string columns;
    for (const auto& column : view.columns) columns += (columns.empty() ? "" : ", ") + QuoteTargetName(column);
    const std::string name = viewName.empty() && !view.nameParts.empty() ? view.nameParts.back() : std::string(viewName);
    QueryWriter writer(names, tables);
    FullViewTranslation result;
    result.statement = "CREATE VIEW " + TargetObjectName(names.targetSchema, name) + (columns.empty() ? "" : " (" + columns + ")") + " AS " +
                       writer.Query(*view.query) + (view.checkOption ? " WITH CHECK OPTION" : "");
    result.references = writer.References();
    result.adjustments = writer.Adjustments();
    return result;
}

// The tables of a query's FROM clauses and subqueries.
void AddSourceTables(const SqlQuery& query, std::string_view database, std::vector<std::string>& out);
void AddSourceTables(const SqlNode& node, std::string_view database, std::vector<std::string>& out);

void AddSourceTables(const SqlTableRef& ref, std::string_view database, std::vector<std::string>& out) {
    if (ref.kind == SqlTableRef::Kind::Derived) return AddSourceTables(*ref.derived, database, out);
    if (ref.kind == SqlTableRef::Kind::Table) {
        if ((ref.nameParts.size() == 1 || ref.nameParts[0] == database) &&
            std::find(out.begin(), out.end(), ref.nameParts.back()) == out.end())
            out.push_back(ref.nameParts.back());
        return;
    }
    AddSourceTables(*ref.left, database, out);
    AddSourceTables(*ref.right, database, out);
    if (ref.on) AddSourceTables(*ref.on, database, out);
}

void AddSourceTables(const SqlNode& node, std::string_view database, std::vector<std::string>& out) {
    WalkExpression(node, [&](const SqlNode& part) {
        if (part.Details().query) AddSourceTables(*part.Details().query, database, out);
        return true;
    });
}

void AddSourceTables(const SqlQuery& query, std::string_view database, std::vector<std::string>& out) {
    for (const auto& ref : query.from) AddSourceTables(*ref, database, out);
    for (const auto& item : query.items) AddSourceTables(*item.expr, database, out);
    for (const SqlNode* node : {query.where.get(), query.having.get()})
        if (node) AddSourceTables(*node, database, out);
    for (const auto& group : query.groupBy) AddSourceTables(*group, database, out);
    for (const auto& [expr, descending] : query.orderBy) AddSourceTables(*expr, database, out);
    if (query.next) AddSourceTables(*query.next, database, out);
}

}  // namespace

std::string WriteRoutineQuery(const SqlQuery& query, const ExpressionNames& names, const std::vector<TableModel>& tables,
                              const RoutineNameHooks& hooks, std::vector<std::string>& references,
                              std::vector<std::string>& adjustments) {
    QueryWriter writer(names, tables, hooks);
    std::string text = writer.Query(query);
    for (const auto& name : writer.References())
        if (std::find(references.begin(), references.end(), name) == references.end()) references.push_back(name);
    adjustments.insert(adjustments.end(), writer.Adjustments().begin(), writer.Adjustments().end());
    return text;
}

FullViewTranslation TranslateViewFull(std::string_view showCreateViewText, std::string_view viewName,
                                      const ExpressionNames& names, const std::vector<TableModel>& tables) {
    try {
        if (std::string problem = StatementSizeProblem(showCreateViewText.size()); !problem.empty()) throw Untranslatable{problem};
        if (std::string problem = NameProblemIn(showCreateViewText); !problem.empty()) throw Untranslatable{problem};
        return Translate(showCreateViewText, viewName, names, tables);
    } catch (const Untranslatable& problem) {
        FullViewTranslation failed;
        failed.untranslatable = problem.construct;
        return failed;
    } catch (const std::out_of_range&) {  // a length, position or limit beyond any integer
        FullViewTranslation failed;
        failed.untranslatable = "number out of range";
        return failed;
    }
}

std::vector<std::string> ViewSourceTables(std::string_view showCreateViewText, std::string_view sourceDatabase) {
    std::vector<std::string> tables;
    if (!StatementSizeProblem(showCreateViewText.size()).empty()) return tables;
    try {
        AddSourceTables(*ParseView(showCreateViewText).query, sourceDatabase, tables);
    } catch (const Untranslatable&) {
        tables.clear();
    } catch (const std::out_of_range&) {
        tables.clear();
    }
    return tables;
}

std::pair<std::string, std::string> ViewNameOf(std::string_view showCreateViewText) {
    if (!StatementSizeProblem(showCreateViewText.size()).empty()) return {};
    try {
        const ParsedView view = ParseView(showCreateViewText);
        if (view.nameParts.empty()) return {};
        return {view.nameParts.back(), view.nameParts.size() > 1 ? view.nameParts[view.nameParts.size() - 2] : ""};
    } catch (const Untranslatable&) {
        return {};
    } catch (const std::out_of_range&) {
        return {};
    }
}

std::vector<std::string> OrderViewsByDependency(
    const std::vector<std::pair<std::string, std::vector<std::string>>>& viewsWithReferences) {
    const std::size_t count = viewsWithReferences.size();
    std::set<std::string> known, placed;
    for (const auto& entry : viewsWithReferences) known.insert(entry.first);
    const auto ready = [&](const std::pair<std::string, std::vector<std::string>>& entry) {
        return std::all_of(entry.second.begin(), entry.second.end(), [&](const std::string& reference) {
            return reference == entry.first || !known.count(reference) || placed.count(reference);
        });
    };
    // Each step places the first view of the input whose views are all placed; when a cycle
    // leaves none, the first view still waiting goes, so that no view is lost.
    std::vector<std::string> ordered;
    std::vector<bool> done(count, false);
    for (std::size_t step = 0; step < count; ++step) {
        std::size_t pick = count;
        for (std::size_t i = 0; i < count && pick == count; ++i)
            if (!done[i] && ready(viewsWithReferences[i])) pick = i;
        for (std::size_t i = 0; i < count && pick == count; ++i)
            if (!done[i]) pick = i;
        done[pick] = true;
        placed.insert(viewsWithReferences[pick].first);
        ordered.push_back(viewsWithReferences[pick].first);
    }
    return ordered;
}

}  // namespace velmora
