// FullViewTranslator: turns a MySQL/MariaDB view definition, as "show create view" prints it,
// into the T-SQL CREATE VIEW statement that returns the same rows: the header's ALGORITHM,
// DEFINER and SQL SECURITY go, names and expressions are translated through the syntax tree
// (ExpressionTranslator), join trees are flattened, GROUP_CONCAT becomes STRING_AGG, LIMIT becomes
// TOP or OFFSET/FETCH. A view with a construct that T-SQL cannot say with the same meaning is not
// translated; the construct is named instead. Also orders views so that each comes after the
// views it selects from. Pure; any thread.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Converters/Full/ExpressionTranslator.h"

namespace velmora {

struct FullViewTranslation {
    std::string statement;                 // CREATE VIEW ... (no trailing line feed)
    std::string untranslatable;            // the construct, when the view cannot be translated
    std::vector<std::string> references;   // tables and views it selects from (unqualified names)
    bool ok() const { return untranslatable.empty(); }
};

FullViewTranslation TranslateViewFull(std::string_view showCreateViewText, std::string_view viewName,
                                      const ExpressionNames& names);

// Views in an order where every view comes after the views it selects from; a cycle or a
// reference to an unknown name does not lose a view (it keeps its place in the input order).
// Otherwise the input order stays: of the views that can go next, the first of the input goes.
std::vector<std::string> OrderViewsByDependency(
    const std::vector<std::pair<std::string, std::vector<std::string>>>& viewsWithReferences);

}  // namespace velmora
