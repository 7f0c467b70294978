// TargetServer: the SQL Server side's own statements: the version query and the database-level
// statements (use, create, drop, rename) that the tree commands and the workers run on the
// target. The connection properties are config/ConnectionProperties.h.
//
// Names go into statements through the quoting rule of Naming.h (plain names bare, others
// bracketed), so the fixed statement texts stay as they are for ordinary names and no name can
// add a statement of its own. A failed statement prints nothing here; callers report it.
//
// Each operation runs on the session it is given (the window's browsing session on the interface
// thread, or a task's own session on the scheduler thread) and keeps no state.
#pragma once

#include <string>
#include <string_view>

#include "config/TargetKind.h"

namespace velmora {

class OperationLog;
class Session;

// Why a target of `kind` cannot be connected to a database of this name ("" when it can): a
// target that works in one database is connected to it by name, and FreeTDS sends the name in
// brackets without doubling a "]" (the database is created, then never reached), while ";", "{"
// and "}" end or break the connection string. Asked before a database is created.
std::string UnconnectableDatabaseName(TargetKind kind, std::string_view name);

// "select @@Version" on the target: the first column of the last row, the driver's error text,
// the success text when no rows came back, or "" without a session (after a "No Connection!"
// output line).
std::string GetTargetServerVersion(OperationLog& log, Session* session);

// The statement texts (the names quoted as the server needs).
std::string UseStatement(std::string_view database, int side);
// `collation`: the new database's default ("" leaves the server's).
std::string CreateDatabaseStatement(std::string_view database, std::string_view collation = {});
std::string DropDatabaseStatement(std::string_view database);
// An object of `schema` (empty or dbo: the default schema, the name alone) is named schema.name.
std::string DropTableStatement(std::string_view table, std::string_view schema = "");
std::string DropViewStatement(std::string_view view, std::string_view schema = "");
std::string RenameStatement(std::string_view oldName, std::string_view newName, std::string_view schema = "");

// Runs "use <name>" of a side (0 source, 1 target) on `session`. Any other side does nothing and
// gives true.
bool UseDatabase(OperationLog& log, Session* session, std::string_view name, int side);

// Creates a target database, minus a leading drive prefix ("C:\"), with `collation` as its
// default when one is given.
bool CreateDatabase(OperationLog& log, Session* session, std::string_view name, std::string_view collation = {});

bool DropDatabase(OperationLog& log, Session* session, std::string_view name);

// Drop, rename: first "use <database>" (when a database is given), so that the statement acts on
// the object of that database and never on one of the same name in whatever database the session
// happens to be in. False, with nothing dropped, when the database cannot be selected.
bool DropTable(OperationLog& log, Session* session, std::string_view database,
               std::string_view table, std::string_view schema = "");
bool DropView(OperationLog& log, Session* session, std::string_view database,
              std::string_view view, std::string_view schema = "");

// sp_rename of a target object on `session`; prints the success line when it worked.
bool RenameObject(OperationLog& log, Session* session, std::string_view database,
                  std::string_view oldName, std::string_view newName, std::string_view schema = "");

}  // namespace velmora
