// MainWindowModel: the state behind the main window, as a plain core object. It owns what lives
// longer than one command: both connections, the operation log, the controller state, the
// options and the paths the commands share. The Qt main window and the terminal front end render
// it and route their commands to it.
//
// Threads: the interface thread owns it and is the only one that uses its connections, trees,
// options and settings. A task runs on the scheduler thread with its own WorkerContext (its own
// connections, a copy of the options, the settings of the moment it starts); from the window it
// only writes log lines, reads the controller state, the backup folder and the settings (which
// change only while no task runs), and records its tables. The controller state is atomic and
// read by every long loop without a lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Converters/ConversionReport.h"
#include "config/ConnectSequence.h"
#include "config/TargetKind.h"
#include "config/ConnectionSettings.h"
#include "config/Options.h"
#include "data/DataAccess.h"
#include "explorer/DatabaseTree.h"
#include "tasks/ControllerState.h"
#include "tasks/OperationLog.h"
#include "tasks/UserPort.h"

namespace velmora {

class MainWindowModel {
public:
    MainWindowModel(UserPort& port, std::unique_ptr<DataSourceConnection> source,
                    std::unique_ptr<DataSourceConnection> target);

    UserPort& port() { return port_; }
    OperationLog& log() { return log_; }

    ControllerStateCell& controller() { return controllerState_; }
    ControllerState controllerState() const { return controllerState_.Get(); }
    void SetControllerState(ControllerState state) { controllerState_.Set(state); }
    bool StopRequested() const { return controllerState_.StopRequested(); }

    DataSourceConnection& sourceConnection() { return *source_; }
    DataSourceConnection& targetConnection() { return *target_; }
    // Null while that side is not connected.
    Session* sourceSession() { return source_->session(); }
    Session* targetSession() { return target_->session(); }

    Options& options() { return options_; }

    // Full path of Condition.cfg (the migration conditions).
    const std::string& conditionFilePath() const { return conditionFilePath_; }
    void SetConditionFilePath(std::string path) { conditionFilePath_ = std::move(path); }

    // The backup folder chosen last (set by the Backup command on the interface thread, read by
    // the backup tasks on the scheduler thread); nothing until one has been chosen.
    std::optional<std::string> backupFolder() const {
        std::lock_guard<std::mutex> lock(backupFolderMutex_);
        return backupFolder_;
    }
    void SetBackupFolder(std::string folder) {
        std::lock_guard<std::mutex> lock(backupFolderMutex_);
        backupFolder_ = std::move(folder);
    }

    // What the conversions of this run did, table by table (the command line's summary).
    void RecordTables(const std::vector<TableReport>& tables) {
        std::lock_guard<std::mutex> lock(tablesMutex_);
        tables_.insert(tables_.end(), tables.begin(), tables.end());
        lastTaskTables_ = tables;
    }
    // The objects of the last task that reported (the desktop program's Report).
    std::vector<TableReport> LastTaskTables() const {
        std::lock_guard<std::mutex> lock(tablesMutex_);
        return lastTaskTables_;
    }
    std::vector<TableReport> RecordedTables() const {
        std::lock_guard<std::mutex> lock(tablesMutex_);
        return tables_;
    }

    // A task changed the target's objects: the interface thread fills the target tree again the
    // next time it hears TreeChanged(Target). True once per request.
    void RequestTargetReload() { targetReload_.store(true); }
    bool TakeTargetReload() { return targetReload_.exchange(false); }

    // DBMS descriptions captured at connect time ("MySQL 10.11.19-MariaDB", ...).
    std::string sourceDbms;
    std::string targetDbms;
    // What kind of server the target is (config/TargetKind.h), decided at the last Connect.
    TargetKind targetKind = TargetKind::SqlServer;
    // The MySQL character set chosen last ("LATIN1" after every connect).
    std::string currentCharset = "LATIN1";

    // --- Connection settings and database trees (config/, explorer/) ---
    // What the configuration dialog's "Connect" handed over, per side. Written only while no task
    // runs (Connect refuses otherwise); a task reads them when it starts, to open its own
    // connections.
    ConnectionSettings sourceSettings;
    ConnectionSettings targetSettings;
    const ConnectionSettings& settings(TreeSide side) const {
        return side == TreeSide::Source ? sourceSettings : targetSettings;
    }
    DatabaseTree& sourceTree() { return sourceTree_; }
    DatabaseTree& targetTree() { return targetTree_; }
    DatabaseTree& tree(TreeSide side) { return side == TreeSide::Source ? sourceTree_ : targetTree_; }
    // Makes a fresh, unconnected connection for a side: every task, the source driver probes and
    // the configuration dialog's connection test use their own, never the window's connections.
    ConnectionFactory connectionFactory;
    // The main menu item that shows the storage-engine choice.
    std::string storageEngineMenuText = "Change Storage Engine(MyISAM)";
    // --- end of connection settings and trees ---

private:
    UserPort& port_;
    OperationLog log_;
    ControllerStateCell controllerState_;
    std::atomic<bool> targetReload_{false};
    std::unique_ptr<DataSourceConnection> source_;
    std::unique_ptr<DataSourceConnection> target_;
    Options options_;
    std::string conditionFilePath_;
    mutable std::mutex tablesMutex_;
    std::vector<TableReport> tables_;
    std::vector<TableReport> lastTaskTables_;
    mutable std::mutex backupFolderMutex_;
    std::optional<std::string> backupFolder_;
    DatabaseTree sourceTree_{TreeSide::Source, &port_};  // after port_: they notify it
    DatabaseTree targetTree_{TreeSide::Target, &port_};
};

}  // namespace velmora
