#include "LogPane.h"

#include <QStyledItemDelegate>

namespace velmora {

namespace {

// Every row is as wide as the pane's extent, so the horizontal scroll range follows the extent
// rule rather than the width of the lines currently held.
class ExtentDelegate : public QStyledItemDelegate {
public:
    ExtentDelegate(const int& extent, QObject* parent)
        : QStyledItemDelegate(parent), extent_(extent) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setWidth(std::max(extent_, 1));
        return size;
    }

    void NotifyExtentChanged(const QModelIndex& index) { emit sizeHintChanged(index); }

private:
    const int& extent_;
};

}  // namespace

LogPane::LogPane(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new ExtentDelegate(extent_, this));
    setUniformItemSizes(true);
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void LogPane::AppendLine(const QString& line) {
    if (count() >= kMaxLines) delete takeItem(0);
    auto* item = new QListWidgetItem(line, this);
    const int width = fontMetrics().horizontalAdvance(line);
    if (width > extent_) {
        extent_ = width + 10;
        static_cast<ExtentDelegate*>(itemDelegate())->NotifyExtentChanged(indexFromItem(item));
    }
    setCurrentItem(item);
    scrollToItem(item);
}

QStringList LogPane::lines() const {
    QStringList result;
    result.reserve(count());
    for (int i = 0; i < count(); ++i) result << item(i)->text();
    return result;
}

}  // namespace velmora
