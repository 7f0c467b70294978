// The catalog rowsets over ODBC's catalog functions: CatalogsRowset and TablesRowset over
// SQLTables, ColumnsRowset over SQLColumns, IndexesRowset over SQLStatistics (with
// SQLPrimaryKeys for the primary key flag).
//
// Restrictions are exact names, as the callers read them from other catalog rows: they are
// passed to the driver with the search-pattern characters (% and _) escaped, and the rows are
// checked once more here, so that "order_items" never matches "orderXitems". An absent catalog
// means the current database of the connection.
//
// A catalog result is small, so Open reads it whole and frees the driver's statement at once:
// a caller may open the columns of a table while it walks the tables, on any driver (FreeTDS
// allows one active result per connection only).
//
// Threads: one rowset object is used by one thread for one operation.
#pragma once

#include <memory>

#include "data/DataAccess.h"
#include "data/OdbcHandles.h"

namespace velmora {

std::unique_ptr<CatalogsRowset> NewOdbcCatalogsRowset(std::shared_ptr<OdbcLink> link);
std::unique_ptr<TablesRowset> NewOdbcTablesRowset(std::shared_ptr<OdbcLink> link);
std::unique_ptr<ColumnsRowset> NewOdbcColumnsRowset(std::shared_ptr<OdbcLink> link);
std::unique_ptr<IndexesRowset> NewOdbcIndexesRowset(std::shared_ptr<OdbcLink> link);

}  // namespace velmora
