#include "TaskListView.h"

#include <QAction>
#include <QHeaderView>
#include <QProgressBar>
#include <QScrollBar>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include "Pictures.h"

namespace velmora {

TaskListView::TaskListView(QWidget* parent)
    : QWidget(parent), toolBar_(new QToolBar(QStringLiteral("TasksViewer"))),
      grid_(new QTableWidget) {
    toolBar_->setObjectName(QStringLiteral("TasksViewer"));
    toolBar_->setIconSize(QSize(16, 16));
    auto add = [this](TaskPicture picture, const QString& name) {
        QAction* action = toolBar_->addAction(TaskBarPicture(picture), name);
        action->setToolTip(name);
        return action;
    };
    connect(add(TaskPicture::ClearAll, QStringLiteral("Clear All Tasks")), &QAction::triggered,
            this, &TaskListView::clearAllRequested);
    connect(add(TaskPicture::Remove, QStringLiteral("Delete")), &QAction::triggered, this,
            [this] {
                if (selectedRow() >= 0) emit deleteRequested(selectedRow());
            });
    connect(add(TaskPicture::Down, QStringLiteral("Item Down")), &QAction::triggered, this,
            [this] {
                if (selectedRow() >= 0) emit itemDownRequested(selectedRow());
            });
    connect(add(TaskPicture::Up, QStringLiteral("Item Up")), &QAction::triggered, this, [this] {
        if (selectedRow() >= 0) emit itemUpRequested(selectedRow());
    });
    stopStart_ = add(TaskPicture::Play, QStringLiteral("Stop Tasks"));
    connect(stopStart_, &QAction::triggered, this, &TaskListView::stopStartRequested);
    QAction* report = toolBar_->addAction(QStringLiteral("Report"));
    connect(report, &QAction::triggered, this, &TaskListView::reportRequested);

    const auto& titles = TaskListColumnTitles();
    const auto& widths = TaskListColumnWidths();
    grid_->setColumnCount(static_cast<int>(titles.size()));
    QStringList headers;
    for (const char* title : titles) headers << QString::fromUtf8(title);
    grid_->setHorizontalHeaderLabels(headers);
    // The given widths, but never narrower than the column's longest fixed text ("MIGRATION",
    // "SUCCESS") in the desktop's font: a cut state tells the user nothing.
    const QFontMetrics metrics(grid_->font());
    const QStringList longest[] = {{}, {}, {"MIGRATION", "BACKUP"},
                                   {"Waiting", "Working", "SUCCESS", "FAILURE"}};
    for (int column = 0; column < static_cast<int>(widths.size()); ++column) {
        int width = widths[column];
        if (column < 4) {
            for (const QString& text : longest[column]) {
                width = std::max(width, metrics.horizontalAdvance(text) + 16);
            }
        }
        if (width > 0) grid_->setColumnWidth(column, width);
    }
    grid_->setShowGrid(true);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->verticalHeader()->setVisible(false);
    grid_->verticalHeader()->setDefaultSectionSize(20);
    grid_->setWordWrap(false);
    grid_->horizontalHeader()->setStretchLastSection(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar_);
    layout->addWidget(grid_);
}

QProgressBar* TaskListView::NewProgressBar() {
    auto* bar = new QProgressBar;
    bar->setRange(0, 100);
    bar->setTextVisible(false);
    bar->setStyleSheet(QStringLiteral(
        "QProgressBar { border: none; background: transparent; margin: 3px 2px; }"
        "QProgressBar::chunk { background-color: rgb(27, 156, 213); }"));
    return bar;
}

QProgressBar* TaskListView::progressBar(int row) const {
    return qobject_cast<QProgressBar*>(grid_->cellWidget(row, 1));
}

void TaskListView::ShowRows(const std::vector<TaskListRow>& rows) {
    const int selected = selectedRow();
    const int horizontal = grid_->horizontalScrollBar()->value();
    const int vertical = grid_->verticalScrollBar()->value();

    grid_->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        for (int column = 0; column < static_cast<int>(rows[row].cells.size()); ++column) {
            const QString text = QString::fromStdString(rows[row].cells[column]);
            QTableWidgetItem* item = grid_->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                grid_->setItem(row, column, item);
            }
            if (item->text() != text) {
                item->setText(text);
                item->setToolTip(text.trimmed());  // the whole text of a cut cell
            }
        }
        QProgressBar* bar = progressBar(row);
        if (!bar) {
            bar = NewProgressBar();
            grid_->setCellWidget(row, 1, bar);
        }
        bar->setValue(rows[row].progress);
    }

    if (selected >= 0 && selected < grid_->rowCount()) SelectRow(selected);
    grid_->horizontalScrollBar()->setValue(horizontal);
    grid_->verticalScrollBar()->setValue(vertical);
}

void TaskListView::SetStopStartButton(bool pausePicture, const QString& tooltip) {
    pausePicture_ = pausePicture;
    stopStart_->setIcon(TaskBarPicture(pausePicture ? TaskPicture::Pause : TaskPicture::Play));
    if (!tooltip.isEmpty()) stopStart_->setToolTip(tooltip);
}

int TaskListView::selectedRow() const {
    const QList<QTableWidgetSelectionRange> ranges = grid_->selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.first().topRow();
}

void TaskListView::SelectRow(int row) {
    if (row < 0 || row >= grid_->rowCount()) {
        grid_->clearSelection();
        return;
    }
    grid_->selectRow(row);
}

}  // namespace velmora
