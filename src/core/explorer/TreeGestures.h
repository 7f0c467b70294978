// TreeGestures: what a gesture in a database tree does on the server. A double click on a
// database makes it the tree's current database: the log says "Select Database [name]", the
// tree's session runs "use", and the tree is rebuilt with that database's tables and views.
//
// Threads: the interface thread, on the tree's own browsing session.
#pragma once

#include "explorer/DatabaseTree.h"

namespace velmora {

class OperationLog;

// A double click on `path`: selects the node; on a database, makes it the tree's current
// database. Nothing happens while the tree is being rebuilt.
void DoubleClickNode(OperationLog& log, UserPort& port, DatabaseTree& tree, const NodePath& path);

}  // namespace velmora
