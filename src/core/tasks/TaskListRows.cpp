#include "tasks/TaskListRows.h"

#include <cstdio>

namespace velmora {

const std::array<const char*, 10>& TaskListColumnTitles() {
    static const std::array<const char*, 10> titles = {
        "NO.",         "Progress",     "Type",      "State",    "Source DBMS",
        "Source DB",   "Source T(V)",  "Targert DBMS", "Target DB", "Target T(V)"};
    return titles;
}

const std::array<int, 10>& TaskListColumnWidths() {
    static const std::array<int, 10> widths = {32, 0, 62, 60, 200, 0, 0, 200, 0, 0};
    return widths;
}

std::vector<TaskListRow> BuildTaskListRows(const TaskList& tasks) {
    std::vector<TaskListRow> rows;
    int position = 0;
    for (const TaskPtr& task : tasks.Snapshot()) {
        TaskListRow row;
        char number[16];
        std::snprintf(number, sizeof number, "%02d", ++position);
        row.cells = {number,
                     " ",
                     TaskTypeText(task->type),
                     task->phase == TaskPhase::Working && !task->Note().empty() ? task->Note()
                                                                                 : PhaseText(task->phase),
                     task->sourceDbms,
                     task->sourceDatabase,
                     task->sourceObject,
                     task->targetDbms,
                     task->targetDatabase,
                     task->targetObject};
        if (!task->shownInList.exchange(true)) {
            int expected = 0;
            task->progress.compare_exchange_strong(expected, 5);
        }
        row.progress = task->progress.load();
        rows.push_back(std::move(row));
    }
    return rows;
}

bool RefreshTicker::Tick(bool taskListTabIsCurrent) {
    if (!taskListTabIsCurrent) return false;
    if (counter_ < 4) {
        ++counter_;
        return false;
    }
    counter_ = 0;
    return true;
}

}  // namespace velmora
