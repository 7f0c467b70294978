// DatabaseTreeView: one of the two database trees (MySQL source on the left, SQL Server target on
// the right), drawn from the core's DatabaseTree. It shows the model's nodes with their 16 x 16
// pictures, writes the user's selection and expansion back to the model, offers the pruned
// right-click popup, lets a node be dragged onto either tree (a drop asks the main window to
// migrate; Shift makes it a move), and edits a table's name in place, where only Enter renames
// (Escape or clicking elsewhere keeps the old name).
//
// The view decides nothing about databases: every command is handed to the main window as a
// signal, which passes it to the core.
//
// Interface thread only. The model may be rebuilt on the scheduler thread; the view hears of it
// through the port (RequestRebuild) and redraws from the model's published snapshot.
#pragma once

#include <QPersistentModelIndex>
#include <QTreeWidget>
#include <functional>
#include <memory>

#include "TreeMenus.h"
#include "explorer/DatabaseTree.h"

namespace velmora {

class DatabaseTreeView : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr const char* kDragFormat = "application/x-velmora-tree-node";

    explicit DatabaseTreeView(DatabaseTree& model, QWidget* parent = nullptr);

    DatabaseTree& model() const { return model_; }
    bool isSourceTree() const { return model_.pane() == TreeSide::Source; }

    // Redraws from the model now / once control returns to the event loop (coalesced).
    void Rebuild();
    void RequestRebuild();

    QTreeWidgetItem* itemAtPath(const NodePath& path) const;
    static NodePath PathOf(const QTreeWidgetItem* item);
    static int KindOf(const QTreeWidgetItem* item);
    // The popup the node offers (what a right click shows).
    QVector<PopupEntry> PopupFor(const QTreeWidgetItem* item) const;

    // Starts editing the selected node's name in place ("Rename Table").
    void StartRename();
    // Ends a drag that started here: a move removes the dragged node from the model, once the
    // Migrate command that the drop posted has read it.
    void FinishDrag(const NodePath& dragged, Qt::DropAction action);
    // Drops a dragged node at `position` (viewport coordinates): selects the drop-highlighted
    // node (else the node there) and asks for a migration. False when there is no node to drop on.
    bool DropAt(const QPoint& position, Qt::KeyboardModifiers modifiers);

    // While a drag moves over the tree (`position` in viewport coordinates): the node under the
    // cursor is drop-highlighted, except in the strip of kDropEdgeStrip pixels along the tree's
    // right edge (the scroll bar and the border), where the highlight stays where it was.
    static constexpr int kDropEdgeStrip = 70;
    void HighlightForDrop(const QPoint& position);
    QTreeWidgetItem* dropHighlight() const;
    void ClearDropHighlight();

    // The tooltip of a node (the source tree shows a table's migration condition).
    void SetTooltipProvider(std::function<QString(const QTreeWidgetItem*)> provider) {
        tooltipProvider_ = std::move(provider);
    }

signals:
    void nodeSelected(velmora::DatabaseTreeView* tree, int kind);
    void popupCommand(velmora::DatabaseTreeView* tree, const QString& command);
    void nodeDoubleClicked(velmora::DatabaseTreeView* tree, const velmora::NodePath& path);
    void migrateDropped(bool move);
    void renameEdited(velmora::DatabaseTreeView* tree, const velmora::NodePath& path,
                      const QString& newName);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;

private:
    friend class RenameDelegate;

    void AddItems(QTreeWidgetItem* parent, const std::vector<TreeNode>& nodes, NodePath path);
    void SyncItems(QTreeWidgetItem* parent, const std::vector<TreeNode>& nodes);
    bool SameShape(const TreeContents& contents) const;
    void OnCurrentItemChanged(QTreeWidgetItem* current);
    void OnExpansion(QTreeWidgetItem* item, bool expanded);
    void EndRename(const NodePath& path, const QString& newName);

    DatabaseTree& model_;
    std::shared_ptr<const TreeContents> shown_;
    bool rebuilding_ = false;
    bool rebuildPending_ = false;
    std::function<QString(const QTreeWidgetItem*)> tooltipProvider_;
    QPersistentModelIndex dropHighlight_;
};

}  // namespace velmora
