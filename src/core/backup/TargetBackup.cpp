#include "backup/TargetBackup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "Converters/Naming.h"
#include "Converters/PatternService.h"
#include "Converters/ValueLiterals.h"
#include "config/WorkFolder.h"
#include "data/ErrorText.h"

namespace velmora {
namespace {

constexpr const char* kNoConnection = "No Connection!";
constexpr const char* kResultLine = "RESULT:    The operation completed SUCCESSFULLY";
constexpr const char* kCannotOpenFile = "Perhaps CHARACTER SET not correct!\nPlease change and try again.";

// The column catalog query; "%s" stands for the table name inside object_id('...').
constexpr const char* kDefinitionQuery =
    " \t\tselect\tname 'Column_name', \t\ttype_name(user_type_id) 'Type', \t\tcase when "
    "user_type_id in (34,35,36,99,104) then ' ' \t\twhen user_type_id in "
    "(40,41,42,43,58,61,189) then ' ' \t\twhen max_length=-1 then '(max)' \t\twhen user_type_id "
    "in (106,108) then '('+convert(varchar,precision)+','+convert(varchar,scale)+')' \t\twhen "
    "(user_type_id in (56,127,48,52,122,60,62,59)) and (is_identity=0) then ' ' \t\twhen "
    "(user_type_id in (56,127,48,52,122,60,62,59)) and (is_identity=1) then \t\t\t(select "
    "'identity('+CONVERT(varchar,seed_value)+','+CONVERT(varchar,increment_value)+')' from "
    "sys.identity_columns where object_id = a.object_id and name=a.name) \t\twhen user_type_id "
    "in (239,231) then '('+CONVERT(varchar,max_length/2)+')' \t\telse "
    "'('+CONVERT(varchar,max_length)+')' end 'Length', \t\tcase when is_nullable = 0 then 'NOT "
    "NULL' else 'NULL' end 'Nullable', \t\tcase when default_object_id = 0 then '' else (select "
    "'default '+definition from sys.default_constraints where object_id=default_object_id ) end "
    "'Default' \tfrom sys.all_columns a \twhere a.object_id = object_id('%s')";

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// A script file named after an object in the current folder. A name that would leave the
// folder (a path separator, "." or "..") is refused like any name the file system refuses.
File OpenScript(const std::string& name, const char* extension) {
    if (name.find('/') != std::string::npos || name == "." || name == "..") return nullptr;
    return File(std::fopen((name + extension).c_str(), "w+"));
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// Creates `path` as a folder, replacing a file of that name.
bool MakeFolder(const std::string& path) {
    if (Exists(path) && !IsFolder(path)) std::remove(path.c_str());
    if (!Exists(path) && mkdir(path.c_str(), 0755) != 0) return false;
    return true;
}

// A name inside a string literal ('...'): the name as a statement would write it (bare when
// plain, else [bracketed]) with its single quotes doubled.
std::string NameInLiteral(const std::string& name) {
    std::string quoted = QuoteTargetName(name);
    std::string out;
    for (char c : quoted) {
        out.push_back(c);
        if (c == '\'') out.push_back('\'');
    }
    return out;
}

// The object argument of sp_helptext: bare when plain, else a string literal.
std::string ProcedureArgument(const std::string& name) {
    return IsPlainIdentifier(name) && !IsTargetReservedWord(name)
               ? name
               : "N'" + NameInLiteral(name) + "'";
}

// Runs `query` on the target; on failure returns the text to give back.
std::optional<std::string> RunQuery(MainWindowModel& window, const std::string& query,
                                    StatementRowset& statement, const PropertySet& properties) {
    if (statement.Create(query) != kSuccess || statement.Execute(properties) != kSuccess) {
        return GetProviderErrorText(statement);
    }
    if (!statement.HasRowset()) {
        window.log().WriteText(kResultLine);
        return std::string(kResultLine);
    }
    if (statement.BindAllAsText(true) != kSuccess) return GetProviderErrorText(statement);
    return std::nullopt;
}

std::string DatabaseFolderName(const std::string& database) {
    return ReplaceAll(database, "[a-zA-Z]:[\\\\|/]", "");
}

// Enters <backup root>/<database>.
void EnterDatabaseFolder(MainWindowModel& window, const std::string& database) {
    if (std::optional<std::string> root = window.backupFolder()) {
        EnterFolder(*root);
    } else {
        EnsureWorkFolder("./backup");
    }
    EnterSubfolder(DatabaseFolderName(database));
}

// Opens the target's catalog of one table type ("TABLE" or "VIEW") in the current database.
std::unique_ptr<TablesRowset> OpenObjectCatalog(DataSourceConnection* target, const char* type,
                                                ResultCode& opened) {
    Session* session = target ? target->session() : nullptr;
    std::unique_ptr<TablesRowset> rowset = session ? session->NewTablesRowset() : nullptr;
    opened = rowset ? rowset->Open({std::nullopt, std::nullopt, std::nullopt, std::string(type)})
                    : kNotConnected;
    return rowset;
}

}  // namespace

std::string TableDefinitionQuery(const std::string& table) {
    std::string query = kDefinitionQuery;
    query.replace(query.find("%s"), 2, NameInLiteral(table));
    return query;
}

std::string BackupFolderPath(const std::string& chosen) {
    if (chosen.size() > 3) return chosen;
    return (chosen.back() == '/' || chosen.back() == '\\' ? chosen : chosen + "/") +
           "Backup.Script";
}

bool ChooseBackupFolder(MainWindowModel& window) {
    std::optional<std::string> chosen =
        window.port().ChooseFolder("Please choise your backup directory:",
                                   window.backupFolder().value_or(""));
    if (!chosen || chosen->empty()) return false;
    std::string folder = BackupFolderPath(*chosen);
    window.SetBackupFolder(folder);
    EnterFolder(folder);
    return true;
}

bool EnterFolder(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (!IsFolder(path)) {
        std::string parent = slash == std::string::npos ? "." : path.substr(0, slash);
        if (parent.empty()) parent = "/";
        if (!IsFolder(parent)) EnterFolder(parent);
        if (!MakeFolder(path)) return false;
    }
    return chdir(path.c_str()) == 0;
}

bool EnterSubfolder(const std::string& name) {
    if (name != ".." && !MakeFolder(name)) return false;
    return chdir(name.c_str()) == 0;
}

int BackupDatabaseTables(MainWindowModel& window, DataSourceConnection* target,
                         const std::string& database, BackupReport* report) {
    window.log().WriteOutputLine("Backup Tables of database [%s]", database.c_str());
    EnterDatabaseFolder(window, database);
    ResultCode opened = kSuccess;
    std::unique_ptr<TablesRowset> tables = OpenObjectCatalog(target, "TABLE", opened);
    if (opened != kSuccess) {
        window.port().ShowMessage(FormatProviderError("Open tables Error: ", opened));
        if (report) report->Add("the tables of [" + database + "] could not be listed");
        return -1;
    }
    while (tables->MoveNext() == kSuccess) {
        const TableRecord& row = tables->Current();
        if (row.tableName.find(' ') != std::string::npos || row.tableType == "VIEW") continue;
        BackupTable(window, target, database, row.tableName, report);
        if (window.StopRequested()) {
            window.log().WriteText("Tables Backup Terminaled!");
            break;
        }
    }
    tables->Close();
    return 0;
}

int BackupDatabaseViews(MainWindowModel& window, DataSourceConnection* target,
                        const std::string& database, BackupReport* report) {
    window.log().WriteOutputLine("Backup Views of database [%s]", database.c_str());
    EnterDatabaseFolder(window, database);
    ResultCode opened = kSuccess;
    std::unique_ptr<TablesRowset> views = OpenObjectCatalog(target, "VIEW", opened);
    if (opened != kSuccess) {
        window.log().WriteText(FormatProviderError("Open views Error: ", opened));
        if (report) report->Add("the views of [" + database + "] could not be listed");
        return -1;
    }
    while (views->MoveNext() == kSuccess) {
        const TableRecord& row = views->Current();
        if (row.tableType == "VIEW" && row.tableSchema != "sys" &&
            row.tableSchema != "INFORMATION_SCHEMA") {
            BackupView(window, target, database, row.tableName, report);
        }
        if (window.StopRequested()) {
            window.log().WriteText("Views Backup Terminaled!");
            break;
        }
    }
    views->Close();
    return 0;
}

int BackupTable(MainWindowModel& window, DataSourceConnection* target, const std::string& database,
                const std::string& table, BackupReport* report) {
    EnterSubfolder("TABLES");
    File file = OpenScript(table, ".tbl");
    if (!file) {
        window.log().WriteText(kCannotOpenFile);
        EnterSubfolder("..");
        if (report) report->Add("table " + table + ": its script file cannot be created");
        return -2;
    }
    bool definitionRead = false;
    std::string definition = ReadTableDefinitionScript(window, target, table, &definitionRead);
    std::fwrite(definition.data(), 1, definition.size(), file.get());
    file.reset();
    EnterSubfolder("..");
    EnterSubfolder("DATA");
    bool dataWritten = false;
    WriteTableDataScript(window, target, table, database, &dataWritten);
    EnterSubfolder("..");
    if (report && !definitionRead) report->Add("table " + table + ": definition not read");
    if (report && !dataWritten) report->Add("table " + table + ": data not written");
    return 1;
}

int BackupView(MainWindowModel& window, DataSourceConnection* target, const std::string& database,
               const std::string& view, BackupReport* report) {
    EnterSubfolder("VIEWS");
    File file = OpenScript(view, ".vw");
    if (!file) {
        window.log().WriteText(kCannotOpenFile);
        EnterSubfolder("..");
        if (report) report->Add("view " + view + ": its script file cannot be created");
        return -2;
    }
    window.log().WriteOutputLine("Bakcup View [%s].[%s]", database.c_str(), view.c_str());
    bool textRead = false;
    std::string text = ReadViewText(window, target, view, &textRead);
    if (report && !textRead) report->Add("view " + view + ": text not read");
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (text.find("create view") != std::string::npos) window.log().WriteText(kResultLine);
    size_t at = text.find(" view ");
    // Without " view " (a reader's failure text) the whole text follows, so the file tells why.
    std::string line = "create" + (at == std::string::npos ? " " + text : text.substr(at)) + "\n";
    std::fwrite(line.data(), 1, line.size(), file.get());
    file.reset();
    EnterSubfolder("..");
    return 1;
}

std::string ReadTableDefinitionScript(MainWindowModel& window, DataSourceConnection* target,
                                      const std::string& table, bool* ok) {
    if (ok) *ok = false;
    Session* session = target ? target->session() : nullptr;
    if (!session) {
        window.log().WriteText(kNoConnection);
        return kNoConnection;
    }
    std::unique_ptr<StatementRowset> statement = session->NewStatement();
    if (auto failed = RunQuery(window, TableDefinitionQuery(table), *statement,
                               StandardRowsetProperties())) {
        statement->Close();
        return *failed;
    }
    std::string script = "create table " + QuoteTargetName(table) + "(\n";
    bool first = true;
    while (statement->MoveNext() == kSuccess) {
        if (!first) script += ",\n";
        first = false;
        for (int column = 0; column < statement->ColumnCount(); ++column) {
            if (statement->IsNull(column)) {
                window.log().WriteText("HAS (NULL)!!!");
                continue;
            }
            std::string value(statement->Value(column));
            // The first column is the column name: bracketed when it needs it.
            script += (column == 0 ? QuoteTargetName(value) : value) + " ";
        }
    }
    statement->Close();
    if (ok) *ok = true;
    return script + ")\n";
}

std::string WriteTableDataScript(MainWindowModel& window, DataSourceConnection* target,
                                 const std::string& table, const std::string& /*database*/,
                                 bool* ok) {
    if (ok) *ok = false;
    Session* session = target ? target->session() : nullptr;
    if (!session) {
        window.log().WriteText(kNoConnection);
        return kNoConnection;
    }
    PropertySet properties = StandardRowsetProperties();
    properties.Add(kPropIRowsetChange, true);
    std::unique_ptr<StatementRowset> statement = session->NewStatement();
    const std::string name = QuoteTargetName(table);
    if (auto failed = RunQuery(window, "select * from " + name, *statement, properties)) {
        statement->Close();
        return *failed;
    }
    File file = OpenScript(table, ".data");
    if (!file) {
        statement->Close();
        window.log().WriteText(kCannotOpenFile);
        return kCannotOpenFile;
    }
    const std::string head = "insert into " + name + " values (";
    std::string line;
    int rows = 0;
    bool written = true;
    ResultCode fetched;
    while ((fetched = statement->MoveNext()) == kSuccess) {
        line = head;
        for (int column = 0; column < statement->ColumnCount(); ++column) {
            if (column > 0) line += ',';
            AppendValueLiteral(line, statement->Column(column).type, statement->Value(column),
                               statement->IsNull(column));
        }
        line += ");\n";
        written = written && std::fwrite(line.data(), 1, line.size(), file.get()) == line.size();
        ++rows;
        if (window.StopRequested()) {
            window.log().WriteText("Data Backup Terminaled!");
            break;
        }
    }
    window.log().WriteOutputLine("[%s]%8d records backuped!!!", table.c_str(), rows);
    // A failed fetch (not the end of the rows) or a failed write leaves rows out of the script.
    if (fetched < 0) {
        window.log().WriteText(GetProviderErrorText(*statement));
        written = false;
    }
    written = std::fflush(file.get()) == 0 && written;
    statement->Close();
    if (ok) *ok = written;
    return written ? "TRUE" : "FALSE";
}

std::string ReadViewText(MainWindowModel& window, DataSourceConnection* target,
                         const std::string& view, bool* ok) {
    if (ok) *ok = false;
    Session* session = target ? target->session() : nullptr;
    if (!session) {
        window.log().WriteText(kNoConnection);
        return kNoConnection;
    }
    std::unique_ptr<StatementRowset> statement = session->NewStatement();
    if (auto failed = RunQuery(window, "sp_helptext " + ProcedureArgument(view), *statement,
                               StandardRowsetProperties())) {
        statement->Close();
        return *failed;
    }
    std::string text;
    while (statement->MoveNext() == kSuccess) {
        if (statement->ColumnCount() > 0 && !statement->IsNull(0) &&
            statement->Value(0).substr(0, 2) == "--") {
            continue;
        }
        for (int column = 0; column < statement->ColumnCount(); ++column) {
            if (statement->IsNull(column)) {
                window.log().WriteText("HAS Unexpect Info!!!");
                continue;
            }
            text.append(statement->Value(column));
        }
    }
    statement->Close();
    if (ok) *ok = true;
    return text;
}

}  // namespace velmora
