// ViewScope: the tables and derived tables of one SELECT's FROM clause, by the names that qualify
// their columns, with the definitions (TableModel) of the tables the caller knows. It tells which
// source a column reference belongs to and what type the column has; a subquery's scope looks
// outward for the columns of the query it is correlated with. Used by FullViewTranslator and
// ViewGrouping; one scope per query being written, any thread.
#pragma once

#include <string>
#include <vector>

#include "translation/ExpressionTranslator.h"
#include "translation/SqlSyntax.h"
#include "translation/TableModel.h"

namespace velmora {

class ViewScope {
public:
    struct Source {
        std::string exposed;                // lower case: the alias, or the table's name
        std::string name;                   // the same as the view writes it
        const TableModel* model = nullptr;  // nullptr for a derived table or a table not known
        const SqlTableRef* ref = nullptr;
    };

    ViewScope(const SqlQuery& query, const std::vector<TableModel>& tables, const ExpressionNames& names,
              const ViewScope* outer);

    // The source of this scope that a column reference (Name node) belongs to: the qualifier's,
    // or for a bare name the one known table that has the column while no source is unknown.
    // nullptr when it cannot be told.
    const Source* Resolve(const SqlNode& name) const;

    // "source.column" (lower case) for a column reference of this scope; "" when unresolved.
    std::string Key(const SqlNode& name) const;

    // The definition of the column a reference names, in this scope or an outer one.
    const ColumnModel* Column(const SqlNode& name) const;

    // The exposed names of the sources under a table reference (of a join tree).
    static void ExposedNames(const SqlTableRef& ref, std::vector<std::string>& out);

    const std::vector<Source>& Sources() const { return sources_; }

private:
    void Add(const SqlTableRef& ref, const std::vector<TableModel>& tables, const ExpressionNames& names);

    std::vector<Source> sources_;
    const ViewScope* outer_;
};

}  // namespace velmora
