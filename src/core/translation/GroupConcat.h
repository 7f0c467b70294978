// GroupConcat: MySQL's GROUP_CONCAT in the form the target server accepts. STRING_AGG exists from
// SQL Server 2017; its WITHIN GROUP (ORDER BY) is refused by Babelfish; SQL Server 2016 has
// neither, and there the values are joined by FOR XML PATH. The form follows the target's kind and
// version (ExpressionNames); a script, whose server is not known, takes the oldest form, which every
// SQL Server accepts. Where a form cannot be written inline (DISTINCT, or an order without WITHIN
// GROUP, or FOR XML PATH), the query's rows go into a derived table first: its grouped values, the
// aggregate's values and its order keys. Where MySQL leaves the order of ties open, the values are
// ordered by the given keys, then by the values themselves: the same result as any order that keeps
// the ORDER BY. Used by FullViewTranslator and TsqlWriter; pure, any thread.
#pragma once

#include <string>
#include <vector>

#include "translation/ExpressionTranslator.h"
#include "translation/SqlSyntax.h"
#include "translation/TsqlWriter.h"

namespace velmora {

enum class GroupConcatForm {
    WithinGroup,  // STRING_AGG(...) WITHIN GROUP (ORDER BY ...): SQL Server 2017 and later
    OrderedRows,  // STRING_AGG over rows in order: Babelfish
    XmlPath,      // FOR XML PATH(''): SQL Server 2016, and scripts
};

GroupConcatForm ChooseGroupConcatForm(const ExpressionNames& names);

// The adjustment that says which form a translation took.
std::string GroupConcatFormNote(GroupConcatForm form);

// Whether the query selects a GROUP_CONCAT (not inside a subquery).
bool HasGroupConcat(const SqlQuery& query);

// Whether the query's GROUP_CONCAT needs rows of its own (GroupConcatOverRows).
bool NeedsGroupConcatRows(const SqlQuery& query, GroupConcatForm form);

// The query with its one GROUP_CONCAT over a derived table of its rows; the other items must be
// grouped. `fromClause` is the query's FROM and WHERE as written.
std::string GroupConcatOverRows(const SqlQuery& query, TsqlWriter& writer, const std::vector<const SqlNode*>& grouping,
                                const std::string& fromClause, GroupConcatForm form);

}  // namespace velmora
