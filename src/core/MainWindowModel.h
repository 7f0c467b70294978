// MainWindowModel: the state behind the main window, as a plain core object. It owns what lives
// longer than one command: both connections, the operation log, the controller state, the
// options and the paths the commands share. The Qt main window and the terminal front end render
// it and route their commands to it.
//
// Threads: the interface thread owns it; the scheduler thread reads the connections, options and
// paths while a task runs and writes log lines. The controller state is atomic and read by every
// long loop without a lock.
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
#include "config/ConnectionSettings.h"
#include "data/DataAccess.h"
#include "explorer/DatabaseTree.h"
#include "tasks/OperationLog.h"
#include "tasks/UserPort.h"

namespace velmora {

enum class ControllerState : uint8_t { Idle = 0, Running = 2, StopRequested = 99 };

struct Options {
    bool autoBackup = false;
    bool tips = true;
};

class MainWindowModel {
public:
    MainWindowModel(UserPort& port, std::unique_ptr<DataSourceConnection> source,
                    std::unique_ptr<DataSourceConnection> target);

    UserPort& port() { return port_; }
    OperationLog& log() { return log_; }

    ControllerState controllerState() const {
        return static_cast<ControllerState>(controllerState_.load());
    }
    void SetControllerState(ControllerState state) {
        controllerState_.store(static_cast<uint8_t>(state));
    }
    bool StopRequested() const { return controllerState() == ControllerState::StopRequested; }

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
    }
    std::vector<TableReport> RecordedTables() const {
        std::lock_guard<std::mutex> lock(tablesMutex_);
        return tables_;
    }

    // DBMS descriptions captured at connect time ("MySQL 10.11.19-MariaDB", ...).
    std::string sourceDbms;
    std::string targetDbms;
    // The MySQL character set chosen last ("LATIN1" after every connect).
    std::string currentCharset = "LATIN1";

    // --- Connection settings and database trees (config/, explorer/) ---
    // What the configuration dialog's "Connect" handed over, per side.
    ConnectionSettings sourceSettings;
    ConnectionSettings targetSettings;
    DatabaseTree& sourceTree() { return sourceTree_; }
    DatabaseTree& targetTree() { return targetTree_; }
    DatabaseTree& tree(TreeSide side) { return side == TreeSide::Source ? sourceTree_ : targetTree_; }
    // Makes a fresh, unconnected connection for a side: the source driver probes and the
    // configuration dialog's connection test use their own, never the window's connections.
    std::function<std::unique_ptr<DataSourceConnection>(TreeSide)> connectionFactory;
    // The main menu item that shows the storage-engine choice.
    std::string storageEngineMenuText = "Change Storage Engine(MyISAM)";
    // --- end of connection settings and trees ---

private:
    UserPort& port_;
    OperationLog log_;
    std::atomic<uint8_t> controllerState_{static_cast<uint8_t>(ControllerState::Idle)};
    std::unique_ptr<DataSourceConnection> source_;
    std::unique_ptr<DataSourceConnection> target_;
    Options options_;
    std::string conditionFilePath_;
    mutable std::mutex tablesMutex_;
    std::vector<TableReport> tables_;
    mutable std::mutex backupFolderMutex_;
    std::optional<std::string> backupFolder_;
    DatabaseTree sourceTree_{TreeSide::Source, &port_};  // after port_: they notify it
    DatabaseTree targetTree_{TreeSide::Target, &port_};
};

}  // namespace velmora
