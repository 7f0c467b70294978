// ViewGrouping: the rules of grouped queries that differ between MySQL and T-SQL. MySQL lets a
// query select columns that are neither grouped nor aggregated. Where the grouped columns hold a
// key of the column's table (a primary key, or a unique key over NOT NULL columns, directly or
// through join conditions), the column has one value per group and joins the T-SQL GROUP BY;
// otherwise ("loose" grouping, whose values come from any row of the group) no T-SQL form returns
// the same rows, so it is Untranslatable. GROUP BY may name a select alias or position in MySQL,
// not in T-SQL. GROUP_CONCAT is in GroupConcat.h.
// Used by FullViewTranslator; any thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "translation/SqlSyntax.h"
#include "translation/TsqlWriter.h"
#include "translation/ViewScope.h"

namespace velmora {

// Calls `visit` on every node of an expression (not inside subqueries), not descending where it
// returns false.
void WalkExpression(const SqlNode& node, const std::function<bool(const SqlNode&)>& visit);

// The node written as a value; "" when it has no T-SQL form (for comparing expressions by text).
std::string TextOf(TsqlWriter& writer, const SqlNode& node);

// The GROUP BY expressions with positions (GROUP BY 2) and select aliases replaced by the
// expressions they stand for.
std::vector<const SqlNode*> GroupingExpressions(const SqlQuery& query);

// The grouping of a query in T-SQL: GroupingExpressions, then the columns it selects (or orders
// or filters by) that the grouped columns determine, each named in `added`. Throws Untranslatable
// when a grouped or aggregating query selects a column that is neither grouped, aggregated nor
// determined.
std::vector<const SqlNode*> CompleteGrouping(const SqlQuery& query, TsqlWriter& writer, const ViewScope& scope,
                                             std::vector<std::string>& added);

}  // namespace velmora
