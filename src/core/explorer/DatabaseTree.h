// DatabaseTree: the model behind one of the two database trees (the MySQL source tree and the
// SQL Server target tree): its nodes, the connection it shows, its current database, the busy
// flag of a rebuild, the selection, and the few texts the tree commands keep.
//
// Nodes: every node has a kind (0 to 17, also its picture index) and a text; children keep their
// order (a new node always goes after its last sibling). A filled tree has one server node at
// the top level; see FillDatabaseTree (explorer/TreeFill.h) for the shape.
//
// Threads: the interface thread reads the tree while a worker on the scheduler thread may rebuild
// it. The nodes are published as an immutable snapshot: a rebuild builds a new structure and
// swaps it in under the lock, and every change to the nodes then calls UserPort::TreeChanged for
// this tree's pane (outside the lock). Readers take Contents() and may keep it as long as they
// like. Every member is safe to call from any thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "data/DataAccess.h"
#include "tasks/UserPort.h"

namespace velmora {

enum NodeKind : int {
    kRootNode = 0,
    kDatabaseNode = 1,
    kTableNode = 2,
    kTablesFolderNode = 3,
    kColumnNode = 4,
    kFieldsFolderNode = 5,
    kIndexNode = 6,
    kIndexesFolderNode = 7,
    kViewNode = 8,
    kViewsFolderNode = 9,
    // The source's routines, triggers and events (MySQL only).
    kProceduresFolderNode = 10,
    kProcedureNode = 11,
    kFunctionsFolderNode = 12,
    kFunctionNode = 13,
    kTriggersFolderNode = 14,
    kTriggerNode = 15,
    kEventsFolderNode = 16,
    kEventNode = 17,
};

struct TreeNode {
    int kind = kRootNode;
    std::string text;
    bool expanded = false;
    std::vector<TreeNode> children;
    // A table or view of a schema other than the default one: its schema (the text then reads
    // schema.name); empty everywhere else.
    std::string schema = {};

    int picture() const { return kind; }
    // The object's own name: the text without its schema.
    std::string ObjectName() const { return schema.empty() ? text : text.substr(schema.size() + 1); }
    // Appends a child after the last sibling; returns its index.
    size_t Append(int childKind, std::string childText);
};

// A node's position: child indices from the top level down.
using NodePath = std::vector<size_t>;

// One published state of the nodes.
struct TreeContents {
    std::vector<TreeNode> topLevel;
    std::optional<NodePath> serverNode;
    std::optional<NodePath> currentDatabaseNode;

    const TreeNode* At(const NodePath& path) const;
    TreeNode* At(const NodePath& path);
};

// Carries what the user expanded or folded in `shown` over to the same nodes of `fresh` (a
// rebuild of the same tree): a node is the same when its kind and text and those of its
// ancestors match. Only nodes that had children in `shown` carry their state (a leaf's flag
// means nothing); every other node keeps the state `fresh` gives it.
void KeepExpansion(const std::vector<TreeNode>& shown, std::vector<TreeNode>& fresh);

// What the connect sequence gives a tree when its side connects.
struct TreeAttachment {
    DataSourceConnection* connection = nullptr;
    std::string currentDatabase;
    std::string providerProgId;
    int side = -1;     // 0 source, 1 target
    int dbmsKind = 0;  // 2 MySQL, 1 SQL Server
    std::string userId;
    std::string password;
};

class DatabaseTree {
public:
    // `pane` is the pane the tree is shown in; `port` (may be null) hears of every change.
    explicit DatabaseTree(TreeSide pane, UserPort* port = nullptr);

    TreeSide pane() const { return pane_; }

    // --- Connection ---
    void Attach(const TreeAttachment& attachment);
    // No connection; `side` -1 (the side is being reconnected or failed to connect).
    void Detach();
    DataSourceConnection* connection() const;
    // The session of the attached connection; null when not attached or not connected.
    Session* session() const;
    int side() const;
    void SetSide(int side);
    int dbmsKind() const;
    std::string providerProgId() const;
    std::string userId() const;
    std::string password() const;

    // On a target that works in one database per connection: reopens the tree's connection on
    // another database and rebuilds the tree (false after the failure lines). Set by the connect
    // command for such targets, empty otherwise; selecting a database then uses it instead of
    // `use`. Kept across Attach and Detach.
    using DatabaseOpener = std::function<bool(const std::string& database)>;
    void SetDatabaseOpener(DatabaseOpener opener);
    DatabaseOpener databaseOpener() const;

    // --- Texts the commands keep ---
    // The current database; empty while none has been chosen. Survives rebuilds.
    std::string currentDatabase() const;
    void SetCurrentDatabase(std::string name);
    // The pane title: the DBMS description captured at connect time (a change is notified).
    std::string title() const;
    void SetTitle(std::string title);
    // A failure to list the databases is reported once, not at every rebuild: true when
    // `text` differs from the failure reported last (which it then becomes).
    bool FirstReportOf(const std::string& text);
    // "MyISAM" or "InnoDB".
    std::string storageEngine() const;
    void SetStorageEngine(std::string engine);
    // 1 after Enter during an in-place rename, 0 otherwise.
    int renameConfirmed() const { return renameConfirmed_.load(); }
    void SetRenameConfirmed(int value) { renameConfirmed_.store(value); }

    // --- Rebuild bracket ---
    // Set while a rebuild runs (rebuilds on two threads overlap safely: it counts them).
    bool busy() const { return busy_.load() != 0; }
    void BeginBusy() { ++busy_; }
    void EndBusy() { --busy_; }

    // --- Nodes ---
    std::shared_ptr<const TreeContents> Contents() const;
    // Publishes new nodes and tells the port. The selection stays when the new nodes still hold
    // the selected node at the same place (same kinds and texts down its path), else it goes.
    void Replace(TreeContents contents);
    // Changes one node; false when the path names no node.
    bool SetNodeText(const NodePath& path, std::string text);
    bool SetExpanded(const NodePath& path, bool expanded);
    // Removes a node and its subtree; kept paths (server, current database, selection) follow.
    bool RemoveNode(const NodePath& path);
    // Any other change: `change` edits a copy of the nodes under the lock (so it must not wait
    // for anything) and returns whether it changed them; the copy is then published.
    bool Modify(const std::function<bool(TreeContents&)>& change);

    // --- Selection ---
    std::optional<NodePath> selected() const;
    void Select(std::optional<NodePath> path);
    // A copy of the selected node (with its subtree); nothing when none is selected.
    std::optional<TreeNode> SelectedNode() const;

private:
    void Notify();

    const TreeSide pane_;
    UserPort* port_;
    mutable std::mutex mutex_;
    std::shared_ptr<const TreeContents> contents_;
    std::optional<NodePath> selected_;
    DataSourceConnection* connection_ = nullptr;
    int side_ = -1;
    int dbmsKind_ = 0;
    std::string providerProgId_;
    std::string userId_;
    std::string password_;
    std::string currentDatabase_;
    DatabaseOpener databaseOpener_;
    std::string title_;
    std::string reportedFailure_;
    std::string storageEngine_ = "MyISAM";
    std::atomic<int> busy_{0};
    std::atomic<int> renameConfirmed_{0};
};

}  // namespace velmora
