// TreeCommands: commands that act on a database tree and its browsing session: selecting a
// database (the tree records it, "use" runs, the tree is rebuilt), the character-set command
// and the storage-engine choice of the MySQL tree.
//
// Threads: the interface thread, on the tree's own browsing session; a task never calls these.
#pragma once

#include <string>
#include <string_view>

#include "explorer/DatabaseTree.h"

namespace velmora {

class OperationLog;

// Makes `name` the tree's current database: records it (even when the statement then fails),
// runs "use" of the tree's side on its session, and rebuilds the tree on success. A tree with a
// database opener (a one-database target) is connected to `name` by it instead.
bool SelectTreeDatabase(OperationLog& log, UserPort& port, DatabaseTree& tree,
                        std::string_view name, int side);

// "Change Charset" on a tree: only on a tree connected to MySQL. Asks for the character set
// (preselecting `currentCharset`), runs the five statements whatever each gives, records the
// choice in `currentCharset` and rebuilds the tree.
void ChangeCharsetCommand(OperationLog& log, UserPort& port, DatabaseTree& tree,
                          std::string& currentCharset);

// "Storage Engines": flips `menuText` between MyISAM and InnoDB, tells the user and records the
// new engine on the source tree.
void ToggleStorageEngineCommand(UserPort& port, DatabaseTree& sourceTree, std::string& menuText);

}  // namespace velmora
