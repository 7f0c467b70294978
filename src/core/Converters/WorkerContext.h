// WorkerContext: everything one task needs while it runs, and nothing of the window.
//
// - its own source and target connections, opened from the settings when the task starts and
//   closed when it ends (the window's browsing connections are never used by a task);
// - the output-line sink and the stop check;
// - the absolute work folder (data_cache for migrations, the chosen backup folder for backups),
//   so that no step depends on the process's current folder;
// - the options as they were when the task was queued (AutoBackup, translation mode);
// - the condition store (Condition.cfg);
// - the task's names and progress, and two notifications for the window: the target's objects
//   changed (its tree reloads), and the tables converted (the command line's summary);
// - an optional row progress hook (the command line's live display); null by default, and then
//   nothing extra is queried or reported.
//
// Threads: built and used by the scheduler thread for one task; the notifications are called on
// that thread and must not wait for the interface thread. A peer (openPeer) is used by one
// thread of the task's own; the log, the stop check and the row progress hook it shares are
// safe to call from several threads.
#pragma once

#include <atomic>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Converters/ConversionReport.h"
#include "Converters/TaskChoices.h"
#include "config/Options.h"
#include "config/TargetKind.h"
#include "data/DataAccess.h"
#include "tasks/MigrationTask.h"
#include "tasks/OperationLog.h"

namespace velmora {

// How far the rows of one table are: sent every few hundred rows and once at the end.
struct TableProgress {
    std::string table;
    long long rowsDone = 0;
    long long expectedRows = -1;  // the catalog's estimate; -1 when there is none
    bool finished = false;
    // The rows wait for the target: the reader has rendered all it may hold ahead of the writer.
    bool targetHolding = false;
};

struct BulkGate;  // Converters/BulkCheck.h
struct NativeRows;  // Converters/NativeRowSource.cpp

struct WorkerContext {
    std::time_t stamp = 0;
    OperationLog* log = nullptr;
    std::function<bool()> stopCheck;

    std::unique_ptr<DataSourceConnection> sourceConnection;
    std::unique_ptr<DataSourceConnection> targetConnection;
    // The target's kind, decided on the task's own connection. On a kind that works in one
    // database, the target connection is opened on the database the task works in, and
    // `openTargetOn` replaces it by one opened on another database (false after the reason).
    TargetKind targetKind = TargetKind::SqlServer;
    std::function<bool(const std::string& database)> openTargetOn;
    // Another context of the same task for a thread of its own (parallel tables): the same log,
    // stop check, options, folder and names, with its own source connection on the source
    // database and its own target connection on the target database. Null after the failure
    // lines when they cannot be opened; the member itself is null where a task cannot have one.
    std::function<std::unique_ptr<WorkerContext>()> openPeer;
    // One more target connection on the target database, for a bulk copy of its own; null
    // where a task cannot have one. Whether the task may bulk-load at all is decided once and
    // shared with its peers (BulkCheck.h).
    std::function<std::unique_ptr<DataSourceConnection>()> openBulkTarget;
    std::shared_ptr<BulkGate> bulkGate;
    // Takes the run lock of the target database for the rest of the task (RunLock.h); false
    // after the refusal's line. Null where a task takes none. The clone calls it once its
    // database exists; the other migrations hold it before they start.
    std::function<bool()> lockTarget;

    std::string workFolder;     // absolute, ends in "/"
    TaskOptions options;
    // The schema, type map and target collation, made ready once per task (PrepareTaskChoices).
    TaskChoices choices;
    std::string conditionFile;  // full path of Condition.cfg

    std::string sourceObject;
    std::string sourceDatabase;
    std::string targetObject;
    std::string targetDatabase;
    std::string objectKind;
    std::atomic<int>* progress = nullptr;

    std::function<void()> targetChanged;
    std::function<void(const std::vector<TableReport>&)> tablesConverted;
    std::function<void(const TableProgress&)> tableProgress;
    // A short state the task list shows beside the task (a follower's lag); null: none.
    std::function<void(const std::string&)> statusNote;
    // The figures of following, for the task's report; null: none.
    std::function<void(const FollowRecord&)> followRecorded;
    // The connection that reads the rows of a Full copy (Converters/NativeRowSource.h), opened
    // on first use; null until then.
    std::shared_ptr<NativeRows> nativeRows;

    OperationLog& Log() const { return *log; }
    bool StopRequested() const { return stopCheck && stopCheck(); }
    // Null while that side has no open session.
    Session* SourceSession() const { return sourceConnection ? sourceConnection->session() : nullptr; }
    Session* TargetSession() const { return targetConnection ? targetConnection->session() : nullptr; }
    // `name` inside the work folder.
    std::string WorkPath(const std::string& name) const { return workFolder + name; }
    void SetProgress(int percent) const {
        if (progress) progress->store(percent);
    }
    void ReportRows(const TableProgress& rows) const {
        if (tableProgress) tableProgress(rows);
    }
    // What a peer of this task shares with it (see openPeer), without connections: the caller
    // gives the peer connections of its own.
    std::unique_ptr<WorkerContext> NewPeer() const {
        auto peer = std::make_unique<WorkerContext>();
        peer->stamp = stamp;
        peer->log = log;
        peer->stopCheck = stopCheck;
        peer->targetKind = targetKind;
        peer->workFolder = workFolder;
        peer->options = options;
        peer->choices = choices;
        peer->conditionFile = conditionFile;
        peer->sourceObject = sourceObject;
        peer->sourceDatabase = sourceDatabase;
        peer->targetObject = targetObject;
        peer->targetDatabase = targetDatabase;
        peer->objectKind = objectKind;
        peer->tableProgress = tableProgress;
        peer->openBulkTarget = openBulkTarget;
        peer->bulkGate = bulkGate;
        return peer;
    }
};

}  // namespace velmora
