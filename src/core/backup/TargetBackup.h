// TargetBackup: script files of SQL Server tables and views, written into a backup folder tree:
// <backup folder>/<database>/TABLES/<table>.tbl (the definition, then its keys and indexes),
// DATA/<table>.data (one insert per row), CONSTRAINTS/<table>.con (its foreign keys and checks,
// for a table that has any; TableKeys.h) and VIEWS/<view>.vw (an object of another schema than
// dbo: <schema>.<name>.tbl, ...), and with a whole database its FUNCTIONS, PROCEDURES and
// TRIGGERS; a one-object backup writes its folders straight into the backup folder. A restore
// runs them in that order: TABLES, DATA, CONSTRAINTS, VIEWS, FUNCTIONS, PROCEDURES, TRIGGERS. The backup folder is the task's work folder; every file is named
// by absolute path, so the process's current folder plays no part.
//
// The data scripts restore the data: every value is a valid T-SQL literal of its type (the same
// rendering as the row copy), and names that need it are [bracketed].
//
// Threads: ChooseBackupFolder runs on the interface thread; everything else on the scheduler
// thread inside a backup task, on the task's own target connection. The stop check is read per
// object and per row.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class OperationLog;
class Session;
class UserPort;
struct WorkerContext;

// What a backup could not do, one text per failed object or step (the log lines stay as they
// are); the task engine ends the task as FAILURE when it is not empty.
struct BackupReport {
    std::vector<std::string> failures;
    void Add(std::string what) { failures.push_back(std::move(what)); }
};

// The folder a chosen path stands for: the path itself, or for a root folder ("/", a drive
// root) a folder "Backup.Script" in it.
std::string BackupFolderPath(const std::string& chosen);

// Asks for the backup folder ("Please choise your backup directory:"), starting at `current`,
// and makes it. A root folder gets "Backup.Script" appended. Nothing when the user cancels.
std::optional<std::string> ChooseBackupFolder(UserPort& port,
                                              const std::optional<std::string>& current);

// 0, or -1 when the catalog cannot be opened.
int BackupDatabaseTables(WorkerContext& context, const std::string& database,
                         BackupReport* report = nullptr);
int BackupDatabaseViews(WorkerContext& context, const std::string& database,
                        BackupReport* report = nullptr);

// The functions, procedures and triggers of the current database, their texts as the server
// keeps them (sys.sql_modules), each followed by a GO line: <database>/FUNCTIONS/<name>.fn,
// PROCEDURES/<name>.sp and TRIGGERS/<name>.trg. 0, or -1 when they cannot be listed.
int BackupDatabaseRoutines(WorkerContext& context, const std::string& database,
                           BackupReport* report = nullptr);
// The query that lists them.
std::string RoutineModulesQuery();

// 1, or -2 when the script file cannot be opened. Into the backup folder itself; the object is
// of the task's schema (TaskOptions::targetSchema, the default schema when empty).
int BackupTable(WorkerContext& context, const std::string& database, const std::string& table,
                BackupReport* report = nullptr);
int BackupView(WorkerContext& context, const std::string& database, const std::string& view,
               BackupReport* report = nullptr);

// The readers behind BackupTable and BackupView. Each returns its text, or "No Connection!",
// the driver's error text, or the "RESULT:" line; `ok` (when given) tells which. An object of
// another schema than the default one (`schema`) is read and scripted as schema.name, so that
// its scripts restore it into that schema.
std::string ReadTableDefinitionScript(OperationLog& log, Session* session,
                                      const std::string& table, bool* ok = nullptr,
                                      const std::string& schema = "");
// Writes <folder><table>.data (<folder><schema>.<table>.data); "TRUE" when every row was written.
std::string WriteTableDataScript(WorkerContext& context, const std::string& folder,
                                 const std::string& table, bool* ok = nullptr,
                                 const std::string& schema = "");
// A view's text from sp_helptext, or from sys.sql_modules where the server has no sp_helptext.
std::string ReadViewText(OperationLog& log, Session* session, const std::string& view,
                         bool* ok = nullptr, const std::string& schema = "");
// The query for the names of a table's computed columns (`table` as a statement names it), whose
// values a data script leaves out.
std::string ComputedColumnsQuery(const std::string& table);
// The sys.sql_modules query for a view's text.
std::string ViewDefinitionQuery(const std::string& view, const std::string& schema = "");

// The column catalog query of the definition script, with the table name in place.
std::string TableDefinitionQuery(const std::string& table, const std::string& schema = "");

}  // namespace velmora
