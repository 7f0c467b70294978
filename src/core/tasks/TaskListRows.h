// What the "Task List" tab shows: one row of ten texts and a progress value per task, and the
// tick rule that decides when the view is rebuilt (every fifth second while the tab is current,
// or at once after RequestListRefresh).
//
// Interface thread only (the rows read the records' atomic run state without a lock).
#pragma once

#include <array>
#include <string>
#include <vector>

#include "tasks/TaskList.h"

namespace velmora {

// "NO.", "Progress", "Type", "State", "Source DBMS", "Source DB", "Source T(V)",
// "Targert DBMS", "Target DB", "Target T(V)".
const std::array<const char*, 10>& TaskListColumnTitles();
const std::array<int, 10>& TaskListColumnWidths();  // 0: the view's default width

struct TaskListRow {
    std::array<std::string, 10> cells;
    int progress = 0;
};

// Builds the rows in list order. A task shown for the first time with progress 0 gets 5, so a
// waiting task's bar is not empty.
std::vector<TaskListRow> BuildTaskListRows(const TaskList& tasks);

class RefreshTicker {
public:
    // One tick of the one-second timer: true when the list is to be rebuilt now.
    bool Tick(bool taskListTabIsCurrent);
    // The next tick rebuilds the list.
    void RequestListRefresh() { counter_ = 5; }

private:
    int counter_ = 0;
};

}  // namespace velmora
