// MaintenanceCommands: the commands that change objects of the SQL Server target at once,
// outside the task queue, and the tree gestures that act on a server: create, drop and empty
// databases, drop tables and views, the main window's "Delete Selected", the end of an
// in-place rename, and the double click that makes a database the current one.
//
// Destructive commands confirm twice: a question (OK/Cancel), then a warning (Yes/No); Cancel or
// No at either box ends the command before any statement runs. Names are the node texts as the
// tree shows them; the server operations quote them (Converters/TargetServer.h).
//
// Threads: the interface thread, while the user waits.
#pragma once

#include <string>

#include "explorer/DatabaseTree.h"

namespace velmora {

class MainWindowModel;

// Commands of a tree's popup and of the main menu, by their menu text ("New Database",
// "Delete Database", "Clear all tables", "Clear all Data", "Drop Table", "Drop View"). They act
// on the target tree only; on the source tree they do nothing. False when the text names none
// of them.
bool RunTargetTreeCommand(MainWindowModel& window, DatabaseTree& tree, const std::string& command);

void NewDatabaseCommand(MainWindowModel& window, DatabaseTree& tree);
void DeleteDatabaseCommand(MainWindowModel& window, DatabaseTree& tree);
void ClearAllTablesCommand(MainWindowModel& window, DatabaseTree& tree);
void ClearAllDataCommand(MainWindowModel& window, DatabaseTree& tree);
void DropTableCommand(MainWindowModel& window, DatabaseTree& tree);
void DropViewCommand(MainWindowModel& window, DatabaseTree& tree);

// The main window's "Delete Selected" (tool bar " Delete "): the target tree's selected
// database, folder, table or view, after the two confirmations. Refused while tasks run.
void DeleteSelectedCommand(MainWindowModel& window);

// The end of an in-place rename on `path`: renames the object on the server when the edit was
// confirmed with Enter (the tree's renameConfirmed is 1), and then shows the new name. The flag
// returns to 0 either way. True when renamed.
bool FinishRename(MainWindowModel& window, DatabaseTree& tree, const NodePath& path,
                  const std::string& newName);

// A double click on `path`: selects the node; on a database, makes it the tree's current
// database ("Select Database [name]" in the log, "use" on the server, the tree rebuilt).
// Nothing happens while the tree is being rebuilt.
void DoubleClickNode(MainWindowModel& window, DatabaseTree& tree, const NodePath& path);

}  // namespace velmora
