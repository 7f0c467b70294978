// MainWindowCommands: the commands of the main window that act on tasks and on target objects,
// as plain core code that the desktop program and the command line route to:
// - Migrate and Backup turn the two tree selections into one queued task and start the
//   scheduler; the task list commands delete, clear and reorder the queue;
// - the object maintenance commands create, drop, empty and rename target objects at once,
//   each behind its two-step confirmation where it destroys something.
// It owns the TaskList and the TaskScheduler. The object commands act on the window's browsing
// target session, and always in the database of the node acted on.
//
// Threads: the interface thread (the scheduler's workers run on its own thread).
#pragma once

#include <ctime>
#include <optional>
#include <string>

#include "Converters/Thread/WorkerBodies.h"
#include "commands/MainWindowModel.h"
#include "tasks/TaskList.h"
#include "tasks/TaskScheduler.h"

namespace velmora {

// A selected tree node with the texts the commands take from it and its ancestors.
struct SelectedObject {
    int kind = 0;
    std::string text;
    std::string parentText;
    std::string grandparentText;
    NodePath path;
    std::string schema = {};  // a table or view of another schema than the default one: its schema
    std::string name = {};    // the object's own name (the text without its schema)
};

std::optional<SelectedObject> DescribeSelection(const DatabaseTree& tree);

// The names a task carries; which ones are filled depends on its type.
struct TaskNames {
    std::string sourceDatabase;
    std::string sourceObject;
    std::string targetDatabase;
    std::string targetObject;
    std::string objectKind;  // backups: "A", "T" or "V"
};

// The confirmation asked before a migration task is queued ("Convert table [%s] into Target
// database [%s]?", ...).
std::string MigrationQuestion(TaskType type, const TaskNames& names);

// What the worker bodies get from the window: its log, controller state, connection factory,
// settings, conditions and backup folder, and the notifications back to it.
TaskEnvironment WindowTaskEnvironment(MainWindowModel& window);

class MainWindowCommands {
public:
    // The scheduler runs the worker bodies on the window's task environment.
    explicit MainWindowCommands(MainWindowModel& window, SchedulerTimings timings = {});
    // The scheduler runs `runner` instead (tests of the queue and the scheduler).
    MainWindowCommands(MainWindowModel& window, TaskRunner runner, SchedulerTimings timings = {});

    TaskList& tasks() { return tasks_; }
    TaskScheduler& scheduler() { return scheduler_; }

    // --- Tasks ---
    void MigrateCommand();
    void BackupCommand();
    // Verify: the selected source table or database against the selected target database, as a
    // task (full, or count when the window's verify option says count).
    void VerifyCommand();
    // Report: what the last task did with each of its objects, in a message.
    void ShowReportCommand();
    // Appends a waiting task (names cut to their slots); the Migrate and Backup commands and the
    // command line queue through here. Does not start the scheduler.
    TaskPtr QueueTask(TaskType type, const TaskNames& names, std::time_t stamp);
    void DeleteTaskCommand(std::optional<size_t> row);
    void ClearAllTasksCommand();
    void ItemUpCommand(std::optional<size_t> row);
    void ItemDownCommand(std::optional<size_t> row);

    // --- Target objects ---
    void DeleteSelectedCommand();
    void NewDatabaseCommand();
    void DeleteDatabaseCommand();
    void ClearAllTablesCommand();
    void ClearAllDataCommand();
    void DropTableCommand();
    void DropViewCommand();
    // The end of an in-place rename of the selected target table: true when the node takes the
    // new name (only after Enter, and only when the server renamed the table).
    bool EndRename(const std::string& newName);

private:
    // True, after the question or message of a busy scheduler, while a task runs or stops: the
    // destructive commands then change nothing.
    bool RefusedWhileTasksRun();
    // The OK/Cancel question, then the Yes/No warning with its icon; true when both said go.
    bool ConfirmTwice(const std::string& question, const std::string& warning,
                      MessageIcon warningIcon = MessageIcon::None);
    // Whether a migration into a target that already holds its tables resumes (the person's
    // choice; the window's resume option when nothing is there yet).
    bool AskResume(TaskType type, const TaskNames& names);
    std::optional<SelectedObject> SelectedDatabase();
    // Drops every child of a folder node, in order; returns how many were dropped.
    int DropChildren(const NodePath& folder, const std::string& database, bool views,
                     bool removeNodes);

    MainWindowModel& window_;
    TaskList tasks_;
    TaskScheduler scheduler_;
};

}  // namespace velmora
