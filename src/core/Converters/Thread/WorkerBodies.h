// WorkerBodies: what each task type does when the scheduler runs it. The runner builds the task's
// WorkerContext (its own connections opened from the settings of the moment, the work folder,
// the options the task was queued with, the conditions), runs the body of the task's type and
// closes the connections. A body selects the databases on the task's connections, calls the
// conversion drivers or the backup, sets the progress milestones, and tells whether the work
// succeeded: only when its selections worked and no driver reported a failed object; the failures
// are named in the log before "Operation FAILURE!".
//
// Runs on the scheduler thread. Nothing here touches the window: what the window must hear (the
// target changed, the tables converted) goes through the environment's notifications.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Converters/WorkerContext.h"
#include "config/ConnectSequence.h"
#include "tasks/ControllerState.h"
#include "tasks/TaskScheduler.h"

namespace velmora {

// What the runner needs from the window to build a task's context. Each function is called on
// the scheduler thread and must be safe there (the window guards what it shares).
// How long a new database may take to accept connections (the clone task on a target that works
// in one database): up to `attempts` connects, `pause` apart, each wait an output line.
struct OnlineWait {
    int attempts = 10;
    std::chrono::milliseconds pause{3000};
};

struct TaskEnvironment {
    OperationLog* log = nullptr;
    ControllerStateCell* state = nullptr;
    ConnectionFactory connectionFactory;
    // The settings of both sides, read when a task starts.
    std::function<ConnectionSettings(TreeSide)> settings;
    // The full path of Condition.cfg.
    std::function<std::string()> conditionFile;
    // The backup folder chosen last (nothing: <program folder>/backup).
    std::function<std::optional<std::string>()> backupFolder;
    std::function<void()> targetChanged;
    std::function<void(const std::vector<TableReport>&)> tablesConverted;
    // Row progress of each table (WorkerContext::tableProgress); null: none.
    std::function<void(const TableProgress&)> tableProgress;
    OnlineWait onlineWait;
    // The program a run lock names ("velmora", "velmora-cli"); empty where the target is no
    // server (a script) and migrations take no lock.
    std::string lockProgram = "velmora";
};

// The scheduler's runner over the bodies below.
TaskRunner MakeTaskRunner(TaskEnvironment environment);

// The bodies, one by one, on a context whose connections are open.
bool RunCloneDatabaseTask(WorkerContext& context);
bool RunDatabaseTask(WorkerContext& context);
bool RunTablesTask(WorkerContext& context);
bool RunViewsTask(WorkerContext& context);
bool RunTableTask(WorkerContext& context);
bool RunViewTask(WorkerContext& context);
bool RunBackupDatabaseTask(WorkerContext& context);
bool RunBackupObjectTask(WorkerContext& context);
// Verifications: the task's options say count or full (none is taken as full).
bool RunVerifyDatabaseTask(WorkerContext& context);
bool RunVerifyTableTask(WorkerContext& context);

}  // namespace velmora
