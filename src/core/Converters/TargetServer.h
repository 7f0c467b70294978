// TargetServer: the SQL Server side's own operations: the initialisation properties of the
// target data source (with the host-and-port connection string), the version query, and the
// database-level statements (use, create, drop, rename) that the tree commands and the workers
// run on the target.
//
// Names go into statements through the quoting rule of Naming.h (plain names bare, others
// bracketed), so the fixed statement texts stay as they are for ordinary names and no name can
// add a statement of its own. A failed statement prints nothing here; callers report it.
//
// Threads: UseDatabase and CreateDatabase (with a given name) also run on the scheduler thread;
// the operations keep no state of their own.
#pragma once

#include <string>
#include <string_view>

#include "config/ConnectionSettings.h"
#include "data/DataAccess.h"

namespace velmora {

class MainWindowModel;

// The fixed connection string of the "TCP/IP:Port" route to SQL Server: host and port from
// `sourceName` ("host:port", port 1433 without a colon, empty after a trailing colon), then
// "Database=" and the catalog when it is not empty.
std::string TargetProviderString(std::string_view sourceName, std::string_view catalogName);

// Fills `set` with the target's initialisation properties. Always true.
bool BuildTargetInitProperties(const ConnectionSettings& settings, PropertySet& set);

// "select @@Version" on the target: the first column of the last row, the driver's error text,
// the success text when no rows came back, or "" without a session (after a "No Connection!"
// output line).
std::string GetTargetServerVersion(MainWindowModel& window, Session* session);
// "select @@Version" on either side: the first column of the last row, the driver's error text,
// or the success text when no rows came back (also logged when `logNoRowset`).
std::string ReadServerVersion(MainWindowModel& window, Session& session, bool logNoRowset);

// The statement texts (the names quoted as the server needs).
std::string UseStatement(std::string_view database, int side);
std::string CreateDatabaseStatement(std::string_view database);
std::string DropDatabaseStatement(std::string_view database);
std::string DropTableStatement(std::string_view table);
std::string DropViewStatement(std::string_view view);
std::string RenameStatement(std::string_view oldName, std::string_view newName);

// Makes `name` the current database of a side (0 source, 1 target): records it as the tree's
// current database (even when the statement then fails), runs "use", and rebuilds that tree on
// success. Any other side does nothing and gives true.
bool UseDatabase(MainWindowModel& window, std::string_view name, int side);

// Creates a target database: with a given name, minus a leading drive prefix ("C:\"); without
// one, the name comes from the "DB Name:" prompt (cancel gives false, nothing runs).
bool CreateDatabase(MainWindowModel& window, std::string_view name, bool nameGiven);

// Clears the target tree's current database, then drops the database.
bool DropDatabase(MainWindowModel& window, std::string_view name);

// `database` is not used: the table is dropped in the target's current database.
bool DropTable(MainWindowModel& window, std::string_view database, std::string_view table);
bool DropView(MainWindowModel& window, std::string_view view);

// sp_rename of a target object; prints the success line when it worked.
bool RenameObject(MainWindowModel& window, Session* session, std::string_view oldName,
                  std::string_view newName);

}  // namespace velmora
