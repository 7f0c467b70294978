// The main window's side of the two database trees: building the panes, routing the trees'
// gestures and popup commands and the menu bar's selection menus to the core, and the menu
// bar's shown and hidden entries by selection.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

#include "ConditionDialog.h"
#include "Converters/Conditions.h"
#include "Converters/SourceServer.h"
#include "DatabaseTreeView.h"
#include "MainWindow.h"
#include "explorer/TreeCommands.h"
#include "explorer/TreeFill.h"
#include "explorer/TreeGestures.h"

namespace velmora {

namespace {

std::string Text(const QTreeWidgetItem* item) {
    return item ? item->text(0).toStdString() : std::string();
}

}  // namespace

DatabaseTreeView* MainWindow::NewTreeView(TreeSide side) {
    auto* view = new DatabaseTreeView(model_->tree(side));
    view->setObjectName(side == TreeSide::Source ? QStringLiteral("sourceTree")
                                                 : QStringLiteral("targetTree"));
    connect(view, &DatabaseTreeView::nodeSelected, this, &MainWindow::OnNodeSelected);
    connect(view, &DatabaseTreeView::popupCommand, this, &MainWindow::RunTreeCommand);
    connect(view, &DatabaseTreeView::nodeDoubleClicked, this,
            [this](DatabaseTreeView* tree, const NodePath& path) {
                DoubleClickNode(model_->log(), model_->port(), tree->model(), path);
            });
    connect(view, &DatabaseTreeView::migrateDropped, this, [this](bool) { MigrateCommand(); });
    connect(view, &DatabaseTreeView::renameEdited, this,
            [this](DatabaseTreeView* tree, const NodePath& path, const QString& name) {
                // The rename applies to the node being edited, which is the selected one.
                tree->model().Select(path);
                commands_->EndRename(name.toStdString());
                tree->RequestRebuild();
            });
    if (side == TreeSide::Source) {
        view->SetTooltipProvider([this](const QTreeWidgetItem* item) -> QString {
            if (DatabaseTreeView::KindOf(item) != kTableNode || !item->parent() ||
                !item->parent()->parent()) {
                return {};
            }
            return QString::fromStdString(ConditionTooltipText(
                model_->conditionFilePath(), Text(item->parent()->parent()), Text(item)));
        });
    }
    return view;
}

void MainWindow::RefreshTree(TreeSide side) {
    // A task changed the target: its tree is filled again here, on the interface thread, with
    // the window's own connection (the fill notifies again, and finds the request taken).
    if (side == TreeSide::Target && model_->TakeTargetReload()) {
        FillDatabaseTree(model_->targetTree(), model_->log(), model_->port());
    }
    const int index = static_cast<int>(side);
    trees_[index]->RequestRebuild();
    const std::string title = model_->tree(side).title();
    paneTitles_[index]->setText(title.empty() ? (side == TreeSide::Source ? QStringLiteral("MySQL")
                                                                          : QStringLiteral("MSSQL"))
                                              : QString::fromStdString(title));
}

void MainWindow::OnNodeSelected(DatabaseTreeView* tree, int kind) {
    activeTree_ = tree;
    const MenuBarState state = MenuBarStateFor(tree->isSourceTree(), kind);
    menus_[2]->menuAction()->setVisible(state.databasesShown);
    menus_[3]->menuAction()->setVisible(state.databaseShown);
    menus_[4]->menuAction()->setVisible(state.tableShown);
    if (state.tableItemsSet) {
        const QList<QAction*> items = menus_[4]->actions();
        items[0]->setEnabled(state.migrationConditionEnabled);
        items[1]->setEnabled(state.dropTableEnabled);
        items[2]->setEnabled(state.dropViewEnabled);
        items[3]->setEnabled(state.renameTableEnabled);
    }
}

DatabaseTreeView* MainWindow::treeView(TreeSide side) const {
    return trees_[static_cast<int>(side)];
}

// The selection menus act on the tree whose selection showed them.
void MainWindow::RunMenuBarTreeCommand(const QString& command) {
    DatabaseTreeView* tree = activeTree_ ? activeTree_ : trees_[1];
    if (command == tree_command::kNewDatabase) {
        DatabaseTreeView* target = trees_[1];
        const std::optional<TreeNode> node = target->model().SelectedNode();
        if (tree != target || !node || node->kind != kRootNode) {
            port_.ShowMessage(
                "Can only create database in TARGET!!!\nPlease Select Target ROOT to create new "
                "database!");
            return;
        }
    }
    RunTreeCommand(tree, command);
}

void MainWindow::RunTreeCommand(DatabaseTreeView* tree, const QString& command) {
    using namespace tree_command;
    if (command == kRenameTable) {
        if (!tree->isSourceTree()) tree->StartRename();
    } else if (command == kMigrationCondition) {
        if (tree->isSourceTree()) OpenConditionDialog(tree);
    } else if (command == kVerify) {
        if (tree->isSourceTree()) commands_->VerifyCommand();
    } else if (command == kAssess) {
        if (tree->isSourceTree()) AssessCommand();
    } else if (command == kChangeCharset) {
        ChangeCharsetCommand(model_->log(), model_->port(), tree->model(),
                             model_->currentCharset);
    } else if (command == kStorageEngines) {
        ToggleStorageEngineCommand(model_->port(), model_->sourceTree(),
                                   model_->storageEngineMenuText);
        storageEngineItem_->setText(QString::fromStdString(model_->storageEngineMenuText));
    } else if (!tree->isSourceTree()) {
        // The target tree's own commands; on the source tree they do nothing.
        const std::pair<const QString&, void (MainWindowCommands::*)()> targetCommands[] = {
            {kNewDatabase, &MainWindowCommands::NewDatabaseCommand},
            {kDeleteDatabase, &MainWindowCommands::DeleteDatabaseCommand},
            {kClearAllTables, &MainWindowCommands::ClearAllTablesCommand},
            {kClearAllData, &MainWindowCommands::ClearAllDataCommand},
            {kDropTable, &MainWindowCommands::DropTableCommand},
            {kDropView, &MainWindowCommands::DropViewCommand},
            {kDeleteAllTables, &MainWindowCommands::DeleteSelectedCommand},
            {kDeleteAllViews, &MainWindowCommands::DeleteSelectedCommand},
        };
        for (const auto& [name, run] : targetCommands) {
            if (command == name) (commands_.get()->*run)();
        }
    }
}

void MainWindow::OpenConditionDialog(DatabaseTreeView* tree) {
    QTreeWidgetItem* item = tree->currentItem();
    const int kind = DatabaseTreeView::KindOf(item);
    if ((kind != kTableNode && kind != kViewNode) || !item->parent() || !item->parent()->parent()) {
        return;
    }
    ConditionDialogModel condition(model_->log(), model_->sourceSession(),
                                   model_->conditionFilePath(),
                                   Text(item->parent()->parent()), Text(item));
    ConditionDialog dialog(condition, this);
    dialog.exec();
}

}  // namespace velmora
