// ViewGrouping: the rules of grouped queries that differ between MySQL and T-SQL. MySQL lets a
// query select columns that are neither grouped nor aggregated ("loose" grouping, whose values
// come from any row of the group): no T-SQL form returns the same rows, so it is Untranslatable.
// GROUP BY may name a select alias or position in MySQL, not in T-SQL. GROUP_CONCAT(DISTINCT)
// becomes STRING_AGG over a derived table of distinct rows. Used by FullViewTranslator; any thread.
#pragma once

#include <string>
#include <vector>

#include "Converters/Full/SqlSyntax.h"
#include "Converters/Full/TsqlWriter.h"

namespace velmora {

// The GROUP BY expressions with positions (GROUP BY 2) and select aliases replaced by the
// expressions they stand for.
std::vector<const SqlNode*> GroupingExpressions(const SqlQuery& query);

// Throws Untranslatable when a grouped or aggregating query selects a column outside the
// aggregates and the GROUP BY.
void RejectLooseGrouping(const SqlQuery& query, TsqlWriter& writer);

bool HasDistinctGroupConcat(const SqlQuery& query);

// SELECT g, STRING_AGG(v, sep) FROM (SELECT DISTINCT g, v <fromClause>) AS distinct_rows GROUP BY g.
std::string DistinctGroupConcat(const SqlQuery& query, TsqlWriter& writer, const std::string& fromClause);

}  // namespace velmora
