#include "explorer/TreeGestures.h"

#include "Converters/TargetServer.h"
#include "data/StatementExecution.h"
#include "explorer/TreeFill.h"
#include "tasks/OperationLog.h"

namespace velmora {

void DoubleClickNode(OperationLog& log, UserPort& port, DatabaseTree& tree, const NodePath& path) {
    if (tree.busy()) return;
    tree.Select(path);
    std::optional<TreeNode> node = tree.SelectedNode();
    if (!node || node->kind != kDatabaseNode) return;
    tree.SetCurrentDatabase(node->text);
    log.WriteOutputLine("Select Database [%s]", node->text.c_str());
    // A target that works in one database per connection is connected to it instead.
    if (auto openOn = tree.databaseOpener()) {
        openOn(node->text);
        return;
    }
    // The name is quoted as the side's server needs it, so no name can add a statement.
    ShowQueryResult(log, tree.session(), UseStatement(node->text, static_cast<int>(tree.pane())),
                    0);
    FillDatabaseTree(tree, log, port);
}

}  // namespace velmora
