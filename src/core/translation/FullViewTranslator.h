// FullViewTranslator: turns a MySQL/MariaDB view definition, as "show create view" prints it,
// into the T-SQL CREATE VIEW statement that returns the same rows: the header's ALGORITHM,
// DEFINER and SQL SECURITY go, names and expressions are translated through the syntax tree
// (ExpressionTranslator), join trees are flattened, GROUP_CONCAT becomes STRING_AGG, LIMIT becomes
// TOP or OFFSET/FETCH. The definitions of the tables it selects from, where the caller has read
// them, tell which columns a grouped key determines and which columns are CHAR (whose trailing
// blanks MySQL strips). A view with a construct that T-SQL cannot say with the same meaning is not
// translated; the construct is named instead. Also orders views so that each comes after the
// views it selects from. Pure; any thread.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "translation/ExpressionTranslator.h"
#include "translation/TableModel.h"
#include "translation/TsqlWriter.h"

namespace velmora {

struct FullViewTranslation {
    std::string statement;                 // CREATE VIEW ... (no trailing line feed)
    std::string untranslatable;            // the construct, when the view cannot be translated
    std::vector<std::string> references;   // tables and views it selects from (unqualified names)
    std::vector<std::string> adjustments;  // where the T-SQL says more than the MySQL text to mean the same
    bool ok() const { return untranslatable.empty(); }
};

// `tables`: the definitions of tables of the source database the view selects from (any may be
// missing: what they would prove is then refused). An empty viewName takes the text's own.
FullViewTranslation TranslateViewFull(std::string_view showCreateViewText, std::string_view viewName,
                                      const ExpressionNames& names, const std::vector<TableModel>& tables = {});

// A query inside a stored routine's statement, written as a view's query is, with the routine's
// own names (`hooks`); adds what it selects from to `references` and its adjustments.
std::string WriteRoutineQuery(const SqlQuery& query, const ExpressionNames& names, const std::vector<TableModel>& tables,
                              const RoutineNameHooks& hooks, std::vector<std::string>& references,
                              std::vector<std::string>& adjustments);

// The tables and views a view's text selects from (unqualified names of the source database or
// of no database, in order of appearance, subqueries included); empty when the text is unreadable.
// What the caller reads the definitions of before the translation.
std::vector<std::string> ViewSourceTables(std::string_view showCreateViewText, std::string_view sourceDatabase);

// The view's own name in its text and the database that qualifies it ("" when none); both
// empty when the text is unreadable.
std::pair<std::string, std::string> ViewNameOf(std::string_view showCreateViewText);

// Views in an order where every view comes after the views it selects from; a cycle or a
// reference to an unknown name does not lose a view (it keeps its place in the input order).
// Otherwise the input order stays: of the views that can go next, the first of the input goes.
std::vector<std::string> OrderViewsByDependency(
    const std::vector<std::pair<std::string, std::vector<std::string>>>& viewsWithReferences);

}  // namespace velmora
