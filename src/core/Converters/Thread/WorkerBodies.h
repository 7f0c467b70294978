// WorkerBodies: what each task type does when the scheduler runs it: select the databases,
// call the conversion drivers or the backup, set the progress milestones, and tell whether the
// work succeeded. A task succeeds only when its selections worked and no driver reported a
// failed object; the failures are named in the log before "Operation FAILURE!".
//
// Runs on the scheduler thread.
#pragma once

#include "tasks/TaskScheduler.h"

namespace velmora {

// One body per task type, for the TaskScheduler.
WorkerBodies MakeWorkerBodies();

// The bodies, one by one (the scheduler reaches them through MakeWorkerBodies).
bool RunCloneDatabaseTask(WorkerContext& context);
bool RunDatabaseTask(WorkerContext& context);
bool RunTablesTask(WorkerContext& context);
bool RunViewsTask(WorkerContext& context);
bool RunTableTask(WorkerContext& context);
bool RunViewTask(WorkerContext& context);
bool RunBackupDatabaseTask(WorkerContext& context);
bool RunBackupObjectTask(WorkerContext& context);

}  // namespace velmora
