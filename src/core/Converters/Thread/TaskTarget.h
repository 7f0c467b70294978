// TaskTarget: a task's own target connection, opened from the settings, and the target's kind.
//
// On SQL Server (and Managed Instance) the connection is opened as the settings say and the
// task selects its database with `use`, as it always has. On a target that works in one database
// (Azure SQL Database, Babelfish) the connection is opened on the database the task works in, so
// that `use` of the same database and catalog calls of the current database are all it needs; a
// new database (the clone task) is created over a connection to master and then connected to,
// waiting a bounded time for it to come online.
//
// Threads: the scheduler thread, for one task.
#pragma once

#include <string>

#include "Converters/Thread/WorkerBodies.h"
#include "Converters/WorkerContext.h"

namespace velmora {

// Opens context.targetConnection for `task` (see above), decides context.targetKind and sets
// context.openTargetOn. False, after the failure lines, when no connection could be opened.
bool OpenTaskTarget(const TaskEnvironment& environment, const MigrationTask& task,
                    WorkerContext& context);

// One more target connection for a task that already has one (a peer of parallel tables): on
// `database` itself where the target's kind works in one database, else as the settings say.
// Null after the failure lines.
std::unique_ptr<DataSourceConnection> OpenPeerTarget(const TaskEnvironment& environment,
                                                     OperationLog& log, TargetKind kind,
                                                     const std::string& database);

}  // namespace velmora
