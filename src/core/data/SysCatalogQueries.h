// The catalog questions of a SQL Server-compatible target answered from its sys views, for the
// servers whose ODBC catalog calls fail: FreeTDS answers SQLTables, SQLColumns and SQLStatistics
// with catalog procedures (sp_tableswc, sp_columns_100, sp_statistics_100) that some
// SQL Server-compatible servers lack. sys.tables, sys.views, sys.columns and sys.indexes answer
// the same questions on every SQL Server since 2005 and on those servers.
//
// The query texts are built here (pure, tested without a server); RunSysCatalogQuery sends one
// over the link and hands each row to a reader. Names are exact (no search patterns); an absent
// catalog means the current database, another catalog is named in three-part names.
//
// Threads: any; each call uses its own statement on the link.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/DataAccess.h"
#include "data/OdbcHandles.h"

namespace velmora {

using CatalogRestriction = std::optional<std::string>;

// User tables and views: columns schema, name, type ("TABLE" or "VIEW"). `type` restricts to
// one of the two (another type gives no rows).
std::string SysTablesQuery(const CatalogRestriction& catalog, const CatalogRestriction& schema,
                           const CatalogRestriction& table, const CatalogRestriction& type);
// Columns of user tables and views: schema, table, column, ordinal, type name, max_length,
// precision, scale, is_nullable, default definition; in table and ordinal order.
std::string SysColumnsQuery(const CatalogRestriction& catalog, const CatalogRestriction& schema,
                            const CatalogRestriction& table, const CatalogRestriction& column);
// Key columns of the indexes of user tables: schema, table, index, is_primary_key, is_unique,
// key ordinal, column; in table, index and key order.
std::string SysIndexesQuery(const CatalogRestriction& catalog, const CatalogRestriction& schema,
                            const CatalogRestriction& index, const CatalogRestriction& table);

// The driver's SQL type code of a SQL Server type name (SQL_VARCHAR for "varchar"); 0 when
// unknown.
int16_t SqlTypeOfServerType(std::string_view typeName);

// One result row: the values as text, NULL as nothing.
using SysCatalogRow = std::vector<std::optional<std::string>>;

// Runs `query` on the link and calls `row` for each row; false with `error` when it fails.
bool RunSysCatalogQuery(const std::shared_ptr<OdbcLink>& link, const std::string& query,
                        const std::function<void(const SysCatalogRow&)>& row, std::string& error);

// True for a connection to a SQL Server-compatible server, the only kind whose catalogs the
// sys views answer (SQL_DBMS_NAME "Microsoft SQL Server").
bool AnswersFromSysViews(const OdbcLink& link);

}  // namespace velmora
