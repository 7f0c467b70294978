// OneDatabaseGuard: the window's maintenance commands on a target that works in one database per
// connection (Azure SQL Database, Babelfish).
//
// The window's target connection works in one database there: the one it was opened on, which
// a double click on another database replaces. Work that would reach another database (`use`,
// a three-part name) is refused up front with a line naming the target's kind, never sent to
// fail on the server. Creating and dropping databases runs over a short connection to master,
// as those servers require. On SQL Server and Managed Instance every check passes and the
// browsing session runs everything, as before.
//
// Threads: the interface thread (the window's commands).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "commands/MainWindowCommands.h"
#include "commands/MainWindowModel.h"

namespace velmora {

// The database the window's target connection works in, as its driver says; "" when unknown.
std::string BrowsingTargetDatabase(MainWindowModel& window);

// True, after the refusal lines, when the target works in one database and `database` (not
// empty) is not the one the window's target connection works in. `what` names the work, as in
// "Dropping table [sales].[orders]".
bool RefusedOutsideBrowsingDatabase(MainWindowModel& window, const std::string& what,
                                    std::string_view database);

// Deleting the selected target object (a database, a table, a view, or a folder of them): true,
// after the refusal lines, when the target works in one database and the object lies in another
// database than the window's target connection, or is that connection's own database.
bool RefusedToDrop(MainWindowModel& window, const SelectedObject& object);

// Creating or dropping database `database`: `work` gets the browsing session on SQL Server; on a
// one-database target, a session on master opened for it (and closed after), and dropping the
// database the window's target connection works in is refused. `what` names the work.
bool RunOnServerLevel(MainWindowModel& window, const std::string& what, std::string_view database,
                      const std::function<bool(Session*)>& work);

// Drops a target database for the window's commands. On SQL Server the tree first forgets its
// current database (the browsing session may be in the one dropped) and the browsing session
// drops it; on a one-database target a connection to master drops it and the tree keeps its
// database. False when it was not dropped.
bool DropTargetDatabase(MainWindowModel& window, const std::string& name);

// Work inside `database` that a window command does outside the tree's own database (the resume
// question's catalog lookup): `work` gets the browsing session on SQL Server, and on a
// one-database target also when that connection works in `database`; otherwise a session opened
// on `database` for it (false after the failure lines when it cannot be opened).
bool RunInDatabase(MainWindowModel& window, std::string_view database,
                   const std::function<bool(Session*)>& work);

}  // namespace velmora
