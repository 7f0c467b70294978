#include "explorer/DatabaseTree.h"

#include <algorithm>

namespace velmora {
namespace {

bool IsPrefix(const NodePath& prefix, const NodePath& path) {
    return prefix.size() <= path.size() && std::equal(prefix.begin(), prefix.end(), path.begin());
}

// Where `path` goes after the node at `removed` went: unchanged, shifted, or gone.
std::optional<NodePath> AfterRemoval(const std::optional<NodePath>& path, const NodePath& removed) {
    if (!path) return std::nullopt;
    if (IsPrefix(removed, *path)) return std::nullopt;
    NodePath moved = *path;
    const size_t depth = removed.size() - 1;
    if (moved.size() > depth &&
        std::equal(removed.begin(), removed.begin() + static_cast<std::ptrdiff_t>(depth),
                   moved.begin()) &&
        moved[depth] > removed[depth]) {
        --moved[depth];
    }
    return moved;
}

}  // namespace

size_t TreeNode::Append(int childKind, std::string childText) {
    children.push_back(TreeNode{childKind, std::move(childText), false, {}});
    return children.size() - 1;
}

const TreeNode* TreeContents::At(const NodePath& path) const {
    if (path.empty() || path[0] >= topLevel.size()) return nullptr;
    const TreeNode* node = &topLevel[path[0]];
    for (size_t i = 1; i < path.size(); ++i) {
        if (path[i] >= node->children.size()) return nullptr;
        node = &node->children[path[i]];
    }
    return node;
}

TreeNode* TreeContents::At(const NodePath& path) {
    return const_cast<TreeNode*>(static_cast<const TreeContents*>(this)->At(path));
}

void KeepExpansion(const std::vector<TreeNode>& shown, std::vector<TreeNode>& fresh) {
    for (TreeNode& node : fresh) {
        const auto same = std::find_if(shown.begin(), shown.end(), [&](const TreeNode& old) {
            return old.kind == node.kind && old.text == node.text;
        });
        if (same == shown.end()) continue;
        if (!same->children.empty()) node.expanded = same->expanded;
        KeepExpansion(same->children, node.children);
    }
}

DatabaseTree::DatabaseTree(TreeSide pane, UserPort* port)
    : pane_(pane), port_(port), contents_(std::make_shared<const TreeContents>()) {}

void DatabaseTree::Attach(const TreeAttachment& attachment) {
    std::lock_guard<std::mutex> lock(mutex_);
    connection_ = attachment.connection;
    currentDatabase_ = attachment.currentDatabase;
    providerProgId_ = attachment.providerProgId;
    side_ = attachment.side;
    dbmsKind_ = attachment.dbmsKind;
    userId_ = attachment.userId;
    password_ = attachment.password;
}

void DatabaseTree::Detach() {
    std::lock_guard<std::mutex> lock(mutex_);
    connection_ = nullptr;
    side_ = -1;
}

void DatabaseTree::SetDatabaseOpener(DatabaseOpener opener) {
    std::lock_guard<std::mutex> lock(mutex_);
    databaseOpener_ = std::move(opener);
}

DatabaseTree::DatabaseOpener DatabaseTree::databaseOpener() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return databaseOpener_;
}

DataSourceConnection* DatabaseTree::connection() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connection_;
}

Session* DatabaseTree::session() const {
    DataSourceConnection* connection = this->connection();
    return connection ? connection->session() : nullptr;
}

int DatabaseTree::side() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return side_;
}

void DatabaseTree::SetSide(int side) {
    std::lock_guard<std::mutex> lock(mutex_);
    side_ = side;
}

int DatabaseTree::dbmsKind() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dbmsKind_;
}

std::string DatabaseTree::providerProgId() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return providerProgId_;
}

std::string DatabaseTree::userId() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return userId_;
}

std::string DatabaseTree::password() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return password_;
}

std::string DatabaseTree::currentDatabase() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return currentDatabase_;
}

void DatabaseTree::SetCurrentDatabase(std::string name) {
    std::lock_guard<std::mutex> lock(mutex_);
    currentDatabase_ = std::move(name);
}

std::string DatabaseTree::title() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return title_;
}

void DatabaseTree::SetTitle(std::string title) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        title_ = std::move(title);
    }
    Notify();
}

bool DatabaseTree::FirstReportOf(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (text == reportedFailure_) return false;
    reportedFailure_ = text;
    return true;
}

std::string DatabaseTree::storageEngine() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return storageEngine_;
}

void DatabaseTree::SetStorageEngine(std::string engine) {
    std::lock_guard<std::mutex> lock(mutex_);
    storageEngine_ = std::move(engine);
}

std::shared_ptr<const TreeContents> DatabaseTree::Contents() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return contents_;
}

void DatabaseTree::Notify() {
    if (port_) port_->TreeChanged(pane_);
}

namespace {

// Whether `path` names the same node (the same kinds and texts all the way down) in both.
bool SameNodeAt(const TreeContents& before, const TreeContents& after, const NodePath& path) {
    const std::vector<TreeNode>* a = &before.topLevel;
    const std::vector<TreeNode>* b = &after.topLevel;
    for (size_t index : path) {
        if (index >= a->size() || index >= b->size()) return false;
        const TreeNode& x = (*a)[index];
        const TreeNode& y = (*b)[index];
        if (x.kind != y.kind || x.text != y.text) return false;
        a = &x.children;
        b = &y.children;
    }
    return !path.empty();
}

}  // namespace

void DatabaseTree::Replace(TreeContents contents) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto replacement = std::make_shared<const TreeContents>(std::move(contents));
        // A rebuild (a worker reloads the target tree after every task) keeps the user's
        // selection when the selected node is still there; otherwise the selection goes.
        if (selected_ && !(contents_ && SameNodeAt(*contents_, *replacement, *selected_))) {
            selected_.reset();
        }
        contents_ = std::move(replacement);
    }
    Notify();
}

bool DatabaseTree::Modify(const std::function<bool(TreeContents&)>& change) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto copy = std::make_shared<TreeContents>(*contents_);
        if (!change(*copy)) return false;
        contents_ = std::move(copy);
    }
    Notify();
    return true;
}

bool DatabaseTree::SetNodeText(const NodePath& path, std::string text) {
    return Modify([&](TreeContents& contents) {
        TreeNode* node = contents.At(path);
        if (!node) return false;
        node->text = std::move(text);
        return true;
    });
}

bool DatabaseTree::SetExpanded(const NodePath& path, bool expanded) {
    return Modify([&](TreeContents& contents) {
        TreeNode* node = contents.At(path);
        if (!node) return false;
        node->expanded = expanded;
        return true;
    });
}

bool DatabaseTree::RemoveNode(const NodePath& path) {
    return Modify([&](TreeContents& contents) {
        if (!contents.At(path)) return false;
        NodePath parentPath(path.begin(), path.end() - 1);
        std::vector<TreeNode>& siblings =
            parentPath.empty() ? contents.topLevel : contents.At(parentPath)->children;
        siblings.erase(siblings.begin() + static_cast<std::ptrdiff_t>(path.back()));
        contents.serverNode = AfterRemoval(contents.serverNode, path);
        contents.currentDatabaseNode = AfterRemoval(contents.currentDatabaseNode, path);
        selected_ = AfterRemoval(selected_, path);  // the caller holds the lock
        return true;
    });
}

std::optional<NodePath> DatabaseTree::selected() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return selected_;
}

void DatabaseTree::Select(std::optional<NodePath> path) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (path && !contents_->At(*path)) path.reset();
    selected_ = std::move(path);
}

std::optional<TreeNode> DatabaseTree::SelectedNode() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!selected_) return std::nullopt;
    const TreeNode* node = contents_->At(*selected_);
    if (!node) return std::nullopt;
    return *node;
}

}  // namespace velmora
