// TreeFill: fills a DatabaseTree from the catalogs of its connection (catalog rowsets, not SQL),
// so the same code serves the MySQL source and the SQL Server target.
//
// Shape of a filled tree:
//   server node (the data source name, or "DATABASES")
//     one database node per catalog, in the catalogs' order
//       under the current database only: "Tables", then "Views"
//         "Tables": one node per table, each with "Fields" (its columns) and "Indexes"
//         "Views":  one node per view, each with "Fields"
//       and on a MySQL source, after them: "Procedures", "Functions", "Triggers" (one node per
//       trigger, "table.trigger", in firing order) and "Events" (read with SQL from
//       information_schema: the catalog calls know none of them)
//
// Rules: names holding blanks are listed like any other; views of the schemas "sys" and "INFORMATION_SCHEMA" are left out; a current database "null" (any case)
// lists the databases only; the current database matches a catalog without regard to case; the
// index rows come one per index column, so an index over two columns is listed twice. The
// current database and its "Tables" open; a rebuild keeps every other node open or folded as the
// user left it.
//
// Threads: the interface thread, on the tree's own (browsing) session; a task never fills a
// tree, it tells the window that the target changed. The nodes are built apart and published in one step, so a
// reader never sees a half-built tree; the tree's busy flag brackets the rebuild.
#pragma once

#include <string_view>

#include "data/DataAccess.h"
#include "explorer/DatabaseTree.h"

namespace velmora {

class OperationLog;

// Rebuilds the whole tree. Failures become a message box ("Get Datasource Name Error!") or an
// output line (the driver's text when the catalogs cannot be read); the rebuild goes on.
void FillDatabaseTree(DatabaseTree& tree, OperationLog& log, UserPort& port);

// Reads one table (kind 2: "Fields" and "Indexes") or view (kind 8: "Fields") into `node`.
// Returns the result of the last catalog call (0 on success); on failure `node` keeps the
// folders read so far.
// An object of a schema other than the default one (`schema` not empty) is shown as schema.name,
// its columns and indexes read from that schema.
ResultCode ReadObjectNode(Session& session, int kind, std::string_view name, TreeNode& node,
                          std::string_view schema = "");

// Adds a table or view, with its details, under the "Tables" or "Views" folder of the tree's
// current database node. Returns the result of the last catalog call; kNotConnected without a
// session, kFailure when the tree has no such folder.
ResultCode AddObjectDetails(DatabaseTree& tree, int kind, std::string_view name);

}  // namespace velmora
