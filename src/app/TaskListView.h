// TaskListView: the "Task List" tab: the tool bar "TasksViewer" (Clear All Tasks, Delete,
// Item Down, Item Up, Stop/Start) over a grid of the queued tasks, ten columns with a progress
// bar in the "Progress" cell of every row. The grid is rebuilt from the core's rows
// (BuildTaskListRows); the tool bar's commands are handed to the main window as signals with
// the selected row.
//
// Interface thread only.
#pragma once

#include <QWidget>
#include <vector>

#include "tasks/TaskListRows.h"

class QAction;
class QProgressBar;
class QTableWidget;
class QToolBar;

namespace velmora {

class TaskListView : public QWidget {
    Q_OBJECT
public:
    explicit TaskListView(QWidget* parent = nullptr);

    // Shows `rows`, keeping the selected row and the scroll position.
    void ShowRows(const std::vector<TaskListRow>& rows);
    // The pause picture while the scheduler runs, the play picture otherwise; an empty tooltip
    // keeps the current one.
    void SetStopStartButton(bool pausePicture, const QString& tooltip);

    // -1 when no row is selected.
    int selectedRow() const;
    void SelectRow(int row);

    QTableWidget* grid() const { return grid_; }
    QToolBar* toolBar() const { return toolBar_; }
    QAction* stopStartAction() const { return stopStart_; }
    bool showsPausePicture() const { return pausePicture_; }
    QProgressBar* progressBar(int row) const;

signals:
    void clearAllRequested();
    void deleteRequested(int row);
    void itemDownRequested(int row);
    void itemUpRequested(int row);
    void stopStartRequested();
    void reportRequested();

private:
    QProgressBar* NewProgressBar();

    QToolBar* toolBar_;
    QTableWidget* grid_;
    QAction* stopStart_;
    bool pausePicture_ = false;
};

}  // namespace velmora
