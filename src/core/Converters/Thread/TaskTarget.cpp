#include "Converters/Thread/TaskTarget.h"

#include <thread>

#include "config/ConnectSequence.h"

namespace velmora {
namespace {

// The task types that create the database they work in: it does not exist yet when they start.
bool CreatesItsDatabase(const MigrationTask& task) {
    return task.type == TaskType::CloneDatabase;
}

std::unique_ptr<DataSourceConnection> OpenOn(const TaskEnvironment& environment,
                                             OperationLog& log, const std::string& database) {
    ConnectionSettings settings = environment.settings(TreeSide::Target);
    if (!database.empty()) settings.catalogName = database;
    return OpenTaskConnection(log, TreeSide::Target, settings, environment.connectionFactory);
}

// Replaces the target connection by one on `database`, trying again while a new database is
// still coming online; every wait is an output line and a stop request ends the waiting.
bool ReopenOn(const TaskEnvironment& environment, WorkerContext& context,
              const std::string& database, OnlineWait wait) {
    OperationLog& log = context.Log();
    if (context.targetConnection) context.targetConnection->Close();
    context.targetConnection.reset();
    for (int attempt = 1; attempt <= wait.attempts; ++attempt) {
        context.targetConnection = OpenOn(environment, log, database);
        if (context.targetConnection) return true;
        if (attempt == wait.attempts || context.StopRequested()) break;
        log.WriteOutputLine("Waiting for database [%s] to come online (%d/%d)...",
                            database.c_str(), attempt, wait.attempts - 1);
        std::this_thread::sleep_for(wait.pause);
    }
    log.WriteOutputLine("%s: database [%s] cannot be connected to!",
                        TargetKindName(context.targetKind), database.c_str());
    return false;
}

}  // namespace

std::unique_ptr<DataSourceConnection> OpenPeerTarget(const TaskEnvironment& environment,
                                                     OperationLog& log, TargetKind kind,
                                                     const std::string& database) {
    return OpenOn(environment, log, WorksInOneDatabase(kind) ? database : "");
}

bool OpenTaskTarget(const TaskEnvironment& environment, const MigrationTask& task,
                    WorkerContext& context) {
    const OnlineWait wait = environment.onlineWait;
    OperationLog& log = *environment.log;
    context.targetConnection = OpenOn(environment, log, "");
    if (!context.targetConnection) return false;
    context.targetKind = DetectTargetKind(*context.targetConnection);
    context.openTargetOn = [&environment, &context, wait](const std::string& database) {
        return ReopenOn(environment, context, database, wait);
    };
    if (!WorksInOneDatabase(context.targetKind)) return true;
    if (CreatesItsDatabase(task)) {
        // `create database` runs on a connection to master there.
        const std::string initial = environment.settings(TreeSide::Target).catalogName;
        if (initial.empty() || initial == "master") return true;
        return ReopenOn(environment, context, "master", OnlineWait{1, {}});
    }
    if (task.targetDatabase.empty()) return true;
    return ReopenOn(environment, context, task.targetDatabase, OnlineWait{1, {}});
}

}  // namespace velmora
