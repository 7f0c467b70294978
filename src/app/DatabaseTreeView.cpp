#include "DatabaseTreeView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolTip>

#include "Pictures.h"

namespace velmora {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kKindRole = Qt::UserRole + 1;

QVariantList ToVariant(const NodePath& path) {
    QVariantList list;
    for (size_t index : path) list << QVariant::fromValue<qulonglong>(index);
    return list;
}

}  // namespace

// The in-place name editor: Enter confirms (the model's renameConfirmed becomes 1 and the edit
// is handed on), Escape cancels, and losing the focus ends the edit without renaming.
class RenameDelegate : public QStyledItemDelegate {
public:
    explicit RenameDelegate(DatabaseTreeView* view) : QStyledItemDelegate(view), view_(view) {}

    bool eventFilter(QObject* object, QEvent* event) override {
        auto* editor = qobject_cast<QWidget*>(object);
        if (!editor) return false;
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                view_->model().SetRenameConfirmed(1);
                emit commitData(editor);
                emit closeEditor(editor, QAbstractItemDelegate::NoHint);
                return true;
            }
            if (key == Qt::Key_Escape) {
                view_->model().SetRenameConfirmed(0);
                emit closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            view_->model().SetRenameConfirmed(0);
            emit closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
            return true;
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

    // Called only through commitData, that is after Enter.
    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        const QString name = static_cast<QLineEdit*>(editor)->text();
        view_->EndRename(DatabaseTreeView::PathOf(view_->itemFromIndex(index)), name);
    }

private:
    DatabaseTreeView* view_;
};

DatabaseTreeView::DatabaseTreeView(DatabaseTree& model, QWidget* parent)
    : QTreeWidget(parent), model_(model) {
    setHeaderHidden(true);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new RenameDelegate(this));
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);  // the drop highlight shows where a drop goes
    setDragDropMode(QAbstractItemView::DragDrop);
    setAutoScroll(true);
    setAutoScrollMargin(10);
    setAutoExpandDelay(700);
    setExpandsOnDoubleClick(true);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { OnCurrentItemChanged(current); });
    connect(this, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { OnExpansion(item, true); });
    connect(this, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* item) { OnExpansion(item, false); });
    Rebuild();
}

NodePath DatabaseTreeView::PathOf(const QTreeWidgetItem* item) {
    NodePath path;
    if (!item) return path;
    for (const QVariant& index : item->data(0, kPathRole).toList()) {
        path.push_back(static_cast<size_t>(index.toULongLong()));
    }
    return path;
}

int DatabaseTreeView::KindOf(const QTreeWidgetItem* item) {
    return item ? item->data(0, kKindRole).toInt() : -1;
}

QTreeWidgetItem* DatabaseTreeView::itemAtPath(const NodePath& path) const {
    QTreeWidgetItem* item = nullptr;
    for (size_t depth = 0; depth < path.size(); ++depth) {
        const int index = static_cast<int>(path[depth]);
        item = depth == 0 ? topLevelItem(index) : item->child(index);
        if (!item) return nullptr;
    }
    return item;
}

void DatabaseTreeView::RequestRebuild() {
    if (rebuildPending_) return;
    rebuildPending_ = true;
    QTimer::singleShot(0, this, [this] {
        if (rebuildPending_) Rebuild();
    });
}

void DatabaseTreeView::Rebuild() {
    rebuildPending_ = false;
    if (state() == QAbstractItemView::EditingState) {
        // Never pull the items from under an open editor: redraw once it has closed.
        QTimer::singleShot(100, this, [this] { RequestRebuild(); });
        return;
    }
    std::shared_ptr<const TreeContents> contents = model_.Contents();
    rebuilding_ = true;
    const int horizontal = horizontalScrollBar()->value();
    const int vertical = verticalScrollBar()->value();
    if (!contents || !SameShape(*contents)) {
        clear();
        if (contents) AddItems(nullptr, contents->topLevel, {});
    }
    if (contents) SyncItems(nullptr, contents->topLevel);
    const std::optional<NodePath> selected = model_.selected();
    QTreeWidgetItem* current = selected ? itemAtPath(*selected) : nullptr;
    setCurrentItem(current);
    if (!current) clearSelection();
    horizontalScrollBar()->setValue(horizontal);
    verticalScrollBar()->setValue(vertical);
    shown_ = contents;
    rebuilding_ = false;
}

void DatabaseTreeView::AddItems(QTreeWidgetItem* parent, const std::vector<TreeNode>& nodes,
                                NodePath path) {
    for (size_t i = 0; i < nodes.size(); ++i) {
        const TreeNode& node = nodes[i];
        path.push_back(i);
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        item->setText(0, QString::fromStdString(node.text));
        item->setIcon(0, NodePicture(node.kind));
        item->setData(0, kPathRole, ToVariant(path));
        item->setData(0, kKindRole, node.kind);
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled |
                       Qt::ItemIsDropEnabled);
        AddItems(item, node.children, path);
        path.pop_back();
    }
}

// Same nodes as shown: only texts and expansion may need an update.
void DatabaseTreeView::SyncItems(QTreeWidgetItem* parent, const std::vector<TreeNode>& nodes) {
    for (size_t i = 0; i < nodes.size(); ++i) {
        QTreeWidgetItem* item = parent ? parent->child(static_cast<int>(i))
                                       : topLevelItem(static_cast<int>(i));
        const QString text = QString::fromStdString(nodes[i].text);
        if (item->text(0) != text) item->setText(0, text);
        SyncItems(item, nodes[i].children);
        if (item->isExpanded() != nodes[i].expanded) item->setExpanded(nodes[i].expanded);
    }
}

namespace {

bool SameNodes(const QTreeWidgetItem* parent, const QTreeWidget* tree,
               const std::vector<TreeNode>& nodes) {
    const int count = parent ? parent->childCount() : tree->topLevelItemCount();
    if (count != static_cast<int>(nodes.size())) return false;
    for (int i = 0; i < count; ++i) {
        const QTreeWidgetItem* item = parent ? parent->child(i) : tree->topLevelItem(i);
        if (DatabaseTreeView::KindOf(item) != nodes[static_cast<size_t>(i)].kind) return false;
        if (!SameNodes(item, tree, nodes[static_cast<size_t>(i)].children)) return false;
    }
    return true;
}

}  // namespace

bool DatabaseTreeView::SameShape(const TreeContents& contents) const {
    return SameNodes(nullptr, this, contents.topLevel);
}

void DatabaseTreeView::OnCurrentItemChanged(QTreeWidgetItem* current) {
    // A half-built tree (the model rebuilding) never changes the selection or the menus.
    if (rebuilding_ || model_.busy() || !current) return;
    model_.Select(PathOf(current));
    emit nodeSelected(this, KindOf(current));
}

void DatabaseTreeView::OnExpansion(QTreeWidgetItem* item, bool expanded) {
    if (rebuilding_) return;
    model_.SetExpanded(PathOf(item), expanded);
}

QVector<PopupEntry> DatabaseTreeView::PopupFor(const QTreeWidgetItem* item) const {
    if (!item) return {};
    return PopupEntries(isSourceTree(), model_.dbmsKind(), KindOf(item), item->text(0));
}

void DatabaseTreeView::contextMenuEvent(QContextMenuEvent* event) {
    QTreeWidgetItem* item = itemAt(event->pos());
    if (!item) return;
    setCurrentItem(item);
    const QVector<PopupEntry> entries = PopupFor(item);
    if (entries.isEmpty()) return;
    QMenu popup(this);
    for (const PopupEntry& entry : entries) {
        popup.addAction(entry.label)->setData(entry.command);
    }
    if (QAction* chosen = popup.exec(event->globalPos())) {
        emit popupCommand(this, chosen->data().toString());
    }
}

void DatabaseTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
    // While the model rebuilds, a double click does nothing at all.
    if (model_.busy()) return;
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    const bool database = KindOf(item) == kDatabaseNode;
    if (item) emit nodeDoubleClicked(this, PathOf(item));
    // On a database the double click chooses it (and the rebuild opens it): it never also folds
    // it, as it would fold any other node.
    if (!database) QTreeWidget::mouseDoubleClickEvent(event);
}

void DatabaseTreeView::StartRename() {
    QTreeWidgetItem* item = currentItem();
    if (!item) return;
    model_.SetRenameConfirmed(0);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    editItem(item, 0);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
}

void DatabaseTreeView::EndRename(const NodePath& path, const QString& newName) {
    if (model_.renameConfirmed() != 0) emit renameEdited(this, path, newName);
    model_.SetRenameConfirmed(0);
}

QStringList DatabaseTreeView::mimeTypes() const { return {QString::fromLatin1(kDragFormat)}; }

Qt::DropActions DatabaseTreeView::supportedDropActions() const {
    return Qt::CopyAction | Qt::MoveAction;
}

void DatabaseTreeView::startDrag(Qt::DropActions) {
    QTreeWidgetItem* item = currentItem();
    if (!item) return;
    const NodePath dragged = PathOf(item);
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kDragFormat), item->text(0).toUtf8());
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->setPixmap(item->icon(0).pixmap(16, 16));
    drag->setHotSpot(QPoint(8, 8));
    const Qt::DropAction action = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
    ClearDropHighlight();
    FinishDrag(dragged, action);
}

void DatabaseTreeView::FinishDrag(const NodePath& dragged, Qt::DropAction action) {
    if (action != Qt::MoveAction) return;
    // The drop has posted the Migrate command, which reads the dragged node as the selection:
    // the node leaves the tree after that, never before (removing it first would migrate
    // nothing, or whatever the selection fell to).
    const std::string text = [&] {
        const std::shared_ptr<const TreeContents> contents = model_.Contents();
        const TreeNode* node = contents ? contents->At(dragged) : nullptr;
        return node ? node->text : std::string();
    }();
    QTimer::singleShot(0, this, [this, dragged, text] {
        const std::shared_ptr<const TreeContents> contents = model_.Contents();
        const TreeNode* node = contents ? contents->At(dragged) : nullptr;
        // Only the node that was dragged: a rebuild meanwhile may have put another one there.
        if (node && node->text == text) model_.RemoveNode(dragged);
    });
}

void DatabaseTreeView::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData()->hasFormat(QString::fromLatin1(kDragFormat))) {
        event->ignore();
        return;
    }
    QTreeWidget::dragEnterEvent(event);
    event->setDropAction(event->modifiers() & Qt::ShiftModifier ? Qt::MoveAction
                                                                : Qt::CopyAction);
    event->accept();
}

void DatabaseTreeView::dragMoveEvent(QDragMoveEvent* event) {
    if (!event->mimeData()->hasFormat(QString::fromLatin1(kDragFormat))) {
        event->ignore();
        return;
    }
    QTreeWidget::dragMoveEvent(event);  // auto-scroll
    HighlightForDrop(event->position().toPoint());
    event->setDropAction(event->modifiers() & Qt::ShiftModifier ? Qt::MoveAction
                                                                : Qt::CopyAction);
    event->accept();
}

void DatabaseTreeView::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasFormat(QString::fromLatin1(kDragFormat)) ||
        !DropAt(event->position().toPoint(), event->modifiers())) {
        event->ignore();
        return;
    }
    event->setDropAction(event->modifiers() & Qt::ShiftModifier ? Qt::MoveAction
                                                                : Qt::CopyAction);
    event->accept();
    setState(QAbstractItemView::NoState);
    viewport()->update();
}

void DatabaseTreeView::dragLeaveEvent(QDragLeaveEvent* event) {
    ClearDropHighlight();
    QTreeWidget::dragLeaveEvent(event);
}

void DatabaseTreeView::HighlightForDrop(const QPoint& position) {
    QTreeWidgetItem* item = itemAt(position);
    const QRect reduced = rect().adjusted(0, 0, -kDropEdgeStrip, 0);
    if (!item || !reduced.contains(viewport()->mapTo(this, position))) return;
    if (item == dropHighlight()) return;
    ClearDropHighlight();
    item->setBackground(0, palette().brush(QPalette::Highlight));
    item->setForeground(0, palette().brush(QPalette::HighlightedText));
    dropHighlight_ = indexFromItem(item);
}

QTreeWidgetItem* DatabaseTreeView::dropHighlight() const {
    return dropHighlight_.isValid() ? itemFromIndex(dropHighlight_) : nullptr;
}

void DatabaseTreeView::ClearDropHighlight() {
    if (QTreeWidgetItem* item = dropHighlight()) {
        item->setData(0, Qt::BackgroundRole, QVariant());
        item->setData(0, Qt::ForegroundRole, QVariant());
    }
    dropHighlight_ = QPersistentModelIndex();
}

bool DatabaseTreeView::DropAt(const QPoint& position, Qt::KeyboardModifiers modifiers) {
    QTreeWidgetItem* target = dropHighlight() ? dropHighlight() : itemAt(position);
    ClearDropHighlight();
    if (!target) return false;
    setCurrentItem(target);
    model_.Select(PathOf(target));
    // Posted, so the drag has ended before the Migrate command asks its question.
    const bool move = modifiers & Qt::ShiftModifier;
    QTimer::singleShot(0, this, [this, move] { emit migrateDropped(move); });
    return true;
}

bool DatabaseTreeView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        QTreeWidgetItem* item = itemAt(help->pos());
        const QString tip = tooltipProvider_ && item ? tooltipProvider_(item) : QString();
        if (tip.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), tip, viewport());
        }
        return true;
    }
    return QTreeWidget::viewportEvent(event);
}

}  // namespace velmora
