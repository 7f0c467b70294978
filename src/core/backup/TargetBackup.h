// TargetBackup: script files of SQL Server tables and views, written into a backup folder tree:
// <backup folder>/<database>/TABLES/<table>.tbl (the definition), DATA/<table>.data (one insert
// per row) and VIEWS/<view>.vw. Every file is written with a relative name into the process's
// current folder, which the folder steps (EnterFolder, EnterSubfolder) move.
//
// The data scripts restore the data: every value is a valid T-SQL literal of its type (the same
// rendering as the row copy), and names that need it are [bracketed].
//
// Threads: ChooseBackupFolder runs on the interface thread; everything else on the scheduler
// thread inside a backup task. The stop request is read per object and per row.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "MainWindowModel.h"

namespace velmora {

// What a backup could not do, one text per failed object or step (the log lines stay as they
// are); the task engine ends the task as FAILURE when it is not empty.
struct BackupReport {
    std::vector<std::string> failures;
    void Add(std::string what) { failures.push_back(std::move(what)); }
};

// The folder a chosen path stands for: the path itself, or for a root folder ("/", a drive
// root) a folder "Backup.Script" in it.
std::string BackupFolderPath(const std::string& chosen);

// Asks for the backup folder ("Please choise your backup directory:"), remembers it and enters
// it. A root folder gets "Backup.Script" appended. False when the user cancels.
bool ChooseBackupFolder(MainWindowModel& window);

// Makes `path` (absolute) the current folder, creating it when missing and replacing a file of
// that name by a folder.
bool EnterFolder(const std::string& path);
// The same for a name relative to the current folder (also "..").
bool EnterSubfolder(const std::string& name);

// 0, or -1 when the catalog cannot be opened.
int BackupDatabaseTables(MainWindowModel& window, DataSourceConnection* target,
                         const std::string& database, BackupReport* report = nullptr);
int BackupDatabaseViews(MainWindowModel& window, DataSourceConnection* target,
                        const std::string& database, BackupReport* report = nullptr);

// 1, or -2 when the script file cannot be opened.
int BackupTable(MainWindowModel& window, DataSourceConnection* target, const std::string& database,
                const std::string& table, BackupReport* report = nullptr);
int BackupView(MainWindowModel& window, DataSourceConnection* target, const std::string& database,
               const std::string& view, BackupReport* report = nullptr);

// The readers behind BackupTable and BackupView. Each returns its text, or "No Connection!",
// the driver's error text, or the "RESULT:" line; `ok` (when given) tells which.
std::string ReadTableDefinitionScript(MainWindowModel& window, DataSourceConnection* target,
                                      const std::string& table, bool* ok = nullptr);
// Writes <table>.data; "TRUE" when every row was written.
std::string WriteTableDataScript(MainWindowModel& window, DataSourceConnection* target,
                                 const std::string& table, const std::string& database,
                                 bool* ok = nullptr);
std::string ReadViewText(MainWindowModel& window, DataSourceConnection* target,
                         const std::string& view, bool* ok = nullptr);

// The column catalog query of the definition script, with the table name in place.
std::string TableDefinitionQuery(const std::string& table);

}  // namespace velmora
