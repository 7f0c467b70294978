#include "explorer/MaintenanceCommands.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "Converters/TargetServer.h"
#include "MainWindowModel.h"
#include "data/StatementExecution.h"
#include "explorer/TreeFill.h"

namespace velmora {

namespace {

std::string Format(const char* format, const std::string& first, const std::string& second = {}) {
    char buffer[1200];
    std::snprintf(buffer, sizeof buffer, format, first.c_str(), second.c_str());
    return buffer;
}

const char* const kRemoveWarning =
    "After remove, you can not restore [%s] again! Continue?\nPress YES to Continue Removing!";

bool Confirm(MainWindowModel& window, const std::string& question, const std::string& warning) {
    return window.port().AskOkCancel(question) && window.port().AskYesNo(warning);
}

bool IsTarget(const DatabaseTree& tree) { return tree.pane() == TreeSide::Target; }

// The selected node and its path, when it is of `kind`.
struct Selection {
    NodePath path;
    TreeNode node;
};

std::optional<Selection> Selected(const DatabaseTree& tree) {
    std::optional<NodePath> path = tree.selected();
    std::optional<TreeNode> node = tree.SelectedNode();
    if (!path || !node) return std::nullopt;
    return Selection{*path, *node};
}

// The text of the node `levels` above `path` (1: parent, 2: grandparent).
std::string AncestorText(const DatabaseTree& tree, NodePath path, size_t levels) {
    if (path.size() <= levels) return {};
    path.resize(path.size() - levels);
    std::shared_ptr<const TreeContents> contents = tree.Contents();
    const TreeNode* node = contents ? contents->At(path) : nullptr;
    return node ? node->text : std::string();
}

// The path of the database node's first child of `folderKind` ("Tables" or "Views").
std::optional<NodePath> FolderOf(const Selection& database, int folderKind) {
    for (size_t i = 0; i < database.node.children.size(); ++i) {
        if (database.node.children[i].kind == folderKind) {
            NodePath path = database.path;
            path.push_back(i);
            return path;
        }
    }
    return std::nullopt;
}

// Drops every child of the folder at `folderPath` with `drop`, each with its own statement,
// removing the node of every object that went. Returns how many went.
int DropChildren(DatabaseTree& tree, const NodePath& folderPath,
                 const std::function<bool(const std::string&)>& drop) {
    std::shared_ptr<const TreeContents> contents = tree.Contents();
    const TreeNode* folder = contents ? contents->At(folderPath) : nullptr;
    if (!folder) return 0;
    // The names are taken first, so removing nodes does not end the walk early.
    const std::vector<TreeNode> children = folder->children;
    int removed = 0;
    for (size_t i = 0; i < children.size(); ++i) {
        if (!drop(children[i].text)) continue;
        NodePath child = folderPath;
        child.push_back(i - static_cast<size_t>(removed));
        tree.RemoveNode(child);
        ++removed;
    }
    return removed;
}

std::optional<Selection> SelectedDatabase(MainWindowModel& window, DatabaseTree& tree) {
    std::optional<Selection> selection = Selected(tree);
    if (!selection || selection->node.kind != kDatabaseNode) {
        window.port().ShowMessage("No Database in TARGET Side be Selected!");
        return std::nullopt;
    }
    return selection;
}

}  // namespace

bool RunTargetTreeCommand(MainWindowModel& window, DatabaseTree& tree, const std::string& command) {
    using Command = void (*)(MainWindowModel&, DatabaseTree&);
    static const std::pair<const char*, Command> commands[] = {
        {"New Database", NewDatabaseCommand},       {"Delete Database", DeleteDatabaseCommand},
        {"Clear all tables", ClearAllTablesCommand}, {"Clear all Data", ClearAllDataCommand},
        {"Drop Table", DropTableCommand},           {"Drop View", DropViewCommand},
    };
    for (const auto& [name, run] : commands) {
        if (command == name) {
            if (IsTarget(tree)) run(window, tree);
            return true;
        }
    }
    return false;
}

void NewDatabaseCommand(MainWindowModel& window, DatabaseTree& tree) {
    if (!IsTarget(tree)) return;
    if (CreateDatabase(window, "", false)) FillDatabaseTree(window, tree);
}

void DeleteDatabaseCommand(MainWindowModel& window, DatabaseTree& tree) {
    if (!IsTarget(tree)) return;
    std::optional<Selection> database = SelectedDatabase(window, tree);
    if (!database) return;
    const std::string& name = database->node.text;
    if (!Confirm(window, Format("Remove database [%s]?", name), Format(kRemoveWarning, name))) {
        return;
    }
    DropDatabase(window, name);
    FillDatabaseTree(window, tree);
}

void ClearAllTablesCommand(MainWindowModel& window, DatabaseTree& tree) {
    if (!IsTarget(tree)) return;
    std::optional<Selection> database = SelectedDatabase(window, tree);
    if (!database) return;
    const std::string& name = database->node.text;
    if (!Confirm(window, Format("Remove all the tables of [%s]?", name),
                 Format(kRemoveWarning, name))) {
        return;
    }
    if (std::optional<NodePath> views = FolderOf(*database, kViewsFolderNode)) {
        DropChildren(tree, *views, [&](const std::string& view) { return DropView(window, view); });
    }
    // The folders were found on the node as it was selected; look the tables up again, as
    // removing the views does not move them.
    if (std::optional<NodePath> tables = FolderOf(*database, kTablesFolderNode)) {
        DropChildren(tree, *tables,
                     [&](const std::string& table) { return DropTable(window, name, table); });
    }
    FillDatabaseTree(window, tree);
}

void ClearAllDataCommand(MainWindowModel& window, DatabaseTree& tree) {
    if (!IsTarget(tree)) return;
    std::optional<Selection> database = SelectedDatabase(window, tree);
    if (!database) return;
    const std::string& name = database->node.text;
    if (!Confirm(window, Format("Delete all the data of [%s]?", name),
                 Format(kRemoveWarning, name))) {
        return;
    }
    // The views stay. The tree is not rebuilt, but the dropped tables leave it, so it never
    // shows a table that is gone.
    if (std::optional<NodePath> tables = FolderOf(*database, kTablesFolderNode)) {
        DropChildren(tree, *tables,
                     [&](const std::string& table) { return DropTable(window, name, table); });
    }
}

void DropTableCommand(MainWindowModel& window, DatabaseTree& tree) {
    if (!IsTarget(tree)) return;
    std::optional<Selection> table = Selected(tree);
    if (!table || table->node.kind != kTableNode) return;
    if (DropTable(window, AncestorText(tree, table->path, 2), table->node.text)) {
        tree.RemoveNode(table->path);
    }
}

void DropViewCommand(MainWindowModel& window, DatabaseTree& tree) {
    if (!IsTarget(tree)) return;
    std::optional<Selection> view = Selected(tree);
    if (!view || view->node.kind != kViewNode) return;
    if (DropView(window, view->node.text)) tree.RemoveNode(view->path);
}

namespace {

void DeleteDatabaseNode(MainWindowModel& window, DatabaseTree& tree, const Selection& node) {
    const std::string& name = node.node.text;
    if (!Confirm(window, Format("Delete database [%s]?", name), Format(kRemoveWarning, name))) {
        return;
    }
    window.log().WriteText(Format("Remove Database [%s]!", name));
    if (DropDatabase(window, name)) {
        tree.RemoveNode(node.path);
        tree.SetCurrentDatabase("");
    }
}

void DeleteObjectNode(MainWindowModel& window, DatabaseTree& tree, const Selection& node,
                      bool view) {
    const std::string database = AncestorText(tree, node.path, 2);
    const std::string question =
        Format(view ? "Delete the view [%s.%s]?" : "Delete the table [%s.%s]?", database,
               node.node.text);
    const std::string warning = Format(
        view ? "After remove, you can not restore the view [%s.%s] again! Continue?\nPress YES "
               "to Continue Removing!"
             : "After remove, you can not restore the table [%s.%s]! Continue?\nPress YES to "
               "Continue Removing!",
        database, node.node.text);
    if (!Confirm(window, question, warning)) return;
    window.log().WriteText(question);
    const bool dropped = view ? DropView(window, node.node.text)
                              : DropTable(window, database, node.node.text);
    if (dropped) tree.RemoveNode(node.path);
}

void DeleteFolderNode(MainWindowModel& window, DatabaseTree& tree, const Selection& node,
                      bool views) {
    const std::string database = AncestorText(tree, node.path, 1);
    const std::string question =
        Format(views ? "Delete all the views of [%s]?" : "Delete all the tables of [%s]?", database);
    const std::string warning = Format(
        views ? "After remove, you can not restore the views of [%s] again! Continue?\nPress YES "
                "to Continue Removing!"
              : kRemoveWarning,
        database);
    if (!Confirm(window, question, warning)) return;
    window.log().WriteText(question);
    const int removed = DropChildren(tree, node.path, [&](const std::string& name) {
        return views ? DropView(window, name) : DropTable(window, database, name);
    });
    window.log().WriteOutputLine(views ? "[%d] views removed!" : "[%d] tables removed!", removed);
}

}  // namespace

void DeleteSelectedCommand(MainWindowModel& window) {
    switch (window.controllerState()) {
        case ControllerState::Running:
            if (window.port().AskOkCancel("Some Tasks is Processing, STOP ALL?")) {
                window.SetControllerState(ControllerState::StopRequested);
                window.port().ShowStopStartButton(false, "");
            }
            return;
        case ControllerState::StopRequested:
            window.port().ShowMessage("Some Tasks is Stopping, Please try again later!!!");
            return;
        case ControllerState::Idle:
            break;
    }
    if (!window.targetSession()) {
        window.log().ShowHint("Press Config button, and get a successful target Connection!");
        window.port().ShowMessage("No Source DataSource Connection!");
        return;
    }
    DatabaseTree& tree = window.targetTree();
    std::optional<Selection> node = Selected(tree);
    if (!node) {
        window.log().ShowHint(
            "Please select a table, tables, views or database on target Database Tree!");
        window.port().ShowMessage("No selected Object to delete!");
        return;
    }
    switch (node->node.kind) {
        case kDatabaseNode: DeleteDatabaseNode(window, tree, *node); break;
        case kTableNode: DeleteObjectNode(window, tree, *node, false); break;
        case kViewNode: DeleteObjectNode(window, tree, *node, true); break;
        case kTablesFolderNode: DeleteFolderNode(window, tree, *node, false); break;
        case kViewsFolderNode: DeleteFolderNode(window, tree, *node, true); break;
        default: break;
    }
}

bool FinishRename(MainWindowModel& window, DatabaseTree& tree, const NodePath& path,
                  const std::string& newName) {
    const bool confirmed = tree.renameConfirmed() != 0;
    tree.SetRenameConfirmed(0);
    if (!confirmed) return false;
    std::shared_ptr<const TreeContents> contents = tree.Contents();
    const TreeNode* node = contents ? contents->At(path) : nullptr;
    if (!node) return false;
    if (!RenameObject(window, tree.session(), node->text, newName)) return false;
    tree.SetNodeText(path, newName);
    return true;
}

void DoubleClickNode(MainWindowModel& window, DatabaseTree& tree, const NodePath& path) {
    if (tree.busy()) return;
    tree.Select(path);
    std::optional<TreeNode> node = tree.SelectedNode();
    if (!node || node->kind != kDatabaseNode) return;
    tree.SetCurrentDatabase(node->text);
    window.log().WriteOutputLine("Select Database [%s]", node->text.c_str());
    ShowQueryResult(window, tree.session(), UseStatement(node->text, static_cast<int>(tree.pane())),
                    0);
    FillDatabaseTree(window, tree);
}

}  // namespace velmora
