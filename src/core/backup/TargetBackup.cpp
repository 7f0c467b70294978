#include "backup/TargetBackup.h"

#include <cerrno>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "backup/TableKeys.h"
#include "translation/BatchSafety.h"
#include "translation/Naming.h"
#include "translation/PatternService.h"
#include "translation/ValueLiterals.h"
#include "config/WorkFolder.h"
#include "Converters/WorkerContext.h"
#include "tasks/UserPort.h"
#include "data/ErrorText.h"

namespace velmora {
namespace {

constexpr const char* kNoConnection = "No Connection!";
constexpr const char* kResultLine = "RESULT:    The operation completed SUCCESSFULLY";
constexpr const char* kCannotOpenFile = "Perhaps CHARACTER SET not correct!\nPlease change and try again.";

// The column catalog query; "%s" stands for the table name inside object_id('...'). Types go by
// name, not by SQL Server's fixed type ids, which other SQL Server-compatible servers do not
// share; the identity comes from the first row of sys.identity_columns (such a server lists each
// identity twice there). Sizes are kept exactly: the fractional seconds of time, datetime2 and
// datetimeoffset, a decimal identity, a text column's collation, a computed column's expression.
constexpr const char* kDefinitionQuery =
    " \t\tselect\tname 'Column_name', \t\ttype_name(user_type_id) 'Type', \t\tcase when "
    "type_name(user_type_id) in ('image','text','uniqueidentifier','ntext','bit','xml','sql_variant','hierarchyid',"
    "'geography','geometry','sysname') then ' ' \t\twhen "
    "type_name(user_type_id) in ('date','smalldatetime','datetime','timestamp') then ' ' \t\twhen "
    "type_name(user_type_id) in ('time','datetime2','datetimeoffset') then '('+convert(varchar,scale)+')' \t\twhen max_length=-1 then '(max)' \t\twhen type_name(user_type_id) in "
    "('decimal','numeric') then '('+convert(varchar,precision)+','+convert(varchar,scale)+')'+case when is_identity=1 "
    "then (select top 1 ' identity('+CONVERT(varchar,seed_value)+','+CONVERT(varchar,increment_value)+')' from "
    "sys.identity_columns where object_id = a.object_id and name=a.name) else '' end \t\twhen "
    "(type_name(user_type_id) in ('int','bigint','tinyint','smallint','smallmoney','money','float','real')) "
    "and (is_identity=0) then ' ' \t\twhen (type_name(user_type_id) in ('int','bigint','tinyint','smallint',"
    "'smallmoney','money','float','real')) and (is_identity=1) then \t\t\t(select top 1 "
    "'identity('+CONVERT(varchar,seed_value)+','+CONVERT(varchar,increment_value)+')' from "
    "sys.identity_columns where object_id = a.object_id and name=a.name) \t\twhen "
    "type_name(user_type_id) in ('nchar','nvarchar') then '('+CONVERT(varchar,max_length/2)+')' \t\telse "
    "'('+CONVERT(varchar,max_length)+')' end+case when collation_name is null then '' else ' collate '+"
    "collation_name end 'Length', \t\tcase when is_nullable = 0 then 'NOT "
    "NULL' else 'NULL' end 'Nullable', \t\tcase when default_object_id = 0 then '' else (select "
    "'default '+definition from sys.default_constraints where object_id=default_object_id ) end "
    "'Default', (select 'as '+definition+case when is_persisted=1 then ' persisted' else '' end from "
    "sys.computed_columns where object_id=a.object_id and column_id=a.column_id) 'Computed' \tfrom sys.all_columns a "
    "\twhere a.object_id = object_id('%s')";
// The columns of that query that hold a column's default and a computed column's expression (NULL
// for any other).
constexpr int kDefaultColumn = 4;
constexpr int kComputedColumn = 5;

// Whether the table has an identity column (false when the server cannot say).
bool HasIdentityColumn(Session& session, const std::string& name) {
    std::unique_ptr<StatementRowset> statement = session.NewStatement();
    const std::string query = "SELECT COUNT(*) FROM sys.columns WHERE object_id = OBJECT_ID(N" +
                              QuoteTargetString(name) + ") AND is_identity = 1";
    bool identity = statement->Create(query) == kSuccess &&
                    statement->Execute(StandardRowsetProperties()) == kSuccess && statement->HasRowset() &&
                    statement->BindAllAsText(true) == kSuccess && statement->MoveNext() == kSuccess &&
                    !statement->IsNull(0) && statement->Value(0) != "0";
    statement->Close();
    return identity;
}

// The names of the table's computed columns (none when the server cannot say).
std::set<std::string> ComputedColumns(Session& session, const std::string& name) {
    std::set<std::string> names;
    std::unique_ptr<StatementRowset> statement = session.NewStatement();
    if (statement->Create(ComputedColumnsQuery(name)) == kSuccess &&
        statement->Execute(StandardRowsetProperties()) == kSuccess && statement->HasRowset() &&
        statement->BindAllAsText(true) == kSuccess) {
        while (statement->MoveNext() == kSuccess) {
            if (!statement->IsNull(0)) names.emplace(statement->Value(0));
        }
    }
    statement->Close();
    return names;
}

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// A script file named after an object in `folder` (absolute, ending in "/"), which is made
// first. A name that would leave the folder (a path separator, "." or "..") is refused like any
// name the file system refuses.
File OpenScript(const std::string& folder, const std::string& name, const char* extension) {
    if (name.find('/') != std::string::npos || name == "." || name == "..") return nullptr;
    if (!MakeFolders(folder)) return nullptr;
    return File(std::fopen((folder + name + extension).c_str(), "w+"));
}

// A name inside a string literal ('...'): the name as a statement would write it (bare when
// plain, else [bracketed], schema.name outside the default schema) with its single quotes doubled.
std::string NameInLiteral(const std::string& name, const std::string& schema = "") {
    std::string quoted = TargetObjectName(schema, name);
    std::string out;
    for (char c : quoted) {
        out.push_back(c);
        if (c == '\'') out.push_back('\'');
    }
    return out;
}

// The object argument of sp_helptext: bare when plain, else a string literal.
std::string ProcedureArgument(const std::string& name, const std::string& schema) {
    return IsDefaultSchema(schema) && IsPlainIdentifier(name) && !IsTargetReservedWord(name)
               ? name
               : "N'" + NameInLiteral(name, schema) + "'";
}

// The script file of an object: its name, schema.name outside the default schema (so that two
// schemas' objects of one name keep a file each).
std::string ScriptName(const std::string& schema, const std::string& name) {
    return IsDefaultSchema(schema) ? name : schema + "." + name;
}

// Runs `query` on the target; on failure returns the text to give back.
std::optional<std::string> RunQuery(OperationLog& log, const std::string& query,
                                    StatementRowset& statement, const PropertySet& properties) {
    if (statement.Create(query) != kSuccess || statement.Execute(properties) != kSuccess) {
        return GetProviderErrorText(statement);
    }
    if (!statement.HasRowset()) {
        log.WriteText(kResultLine);
        return std::string(kResultLine);
    }
    if (statement.BindAllAsText(true) != kSuccess) return GetProviderErrorText(statement);
    return std::nullopt;
}

std::string DatabaseFolderName(const std::string& database) {
    return ReplaceAll(database, "[a-zA-Z]:[\\\\|/]", "");
}

// The folder of a whole database's scripts: <backup root>/<database>/. A one-object backup writes
// straight into the backup root (the task's work folder).
std::string DatabaseFolder(const WorkerContext& context, const std::string& database) {
    return context.workFolder + DatabaseFolderName(database) + "/";
}

int BackupTableIn(WorkerContext& context, const std::string& base, const std::string& schema,
                  const std::string& table, BackupReport* report);
int BackupViewIn(WorkerContext& context, const std::string& base, const std::string& database,
                 const std::string& schema, const std::string& view, BackupReport* report);

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

std::string TableDefinitionQuery(const std::string& table, const std::string& schema) {
    std::string query = kDefinitionQuery;
    query.replace(query.find("%s"), 2, NameInLiteral(table, schema));
    return query;
}

std::string BackupFolderPath(const std::string& chosen) {
    if (chosen.size() > 3) return chosen;
    return (chosen.back() == '/' || chosen.back() == '\\' ? chosen : chosen + "/") +
           "Backup.Script";
}

std::optional<std::string> ChooseBackupFolder(UserPort& port,
                                              const std::optional<std::string>& current) {
    std::optional<std::string> chosen =
        port.ChooseFolder("Please choise your backup directory:", current.value_or(""));
    if (!chosen || chosen->empty()) return std::nullopt;
    std::string folder = BackupFolderPath(*chosen);
    MakeFolders(folder);
    return folder;
}

int BackupDatabaseTables(WorkerContext& context, const std::string& database,
                         BackupReport* report) {
    OperationLog& log = context.Log();
    log.WriteOutputLine("Backup Tables of database [%s]", database.c_str());
    ResultCode opened = kSuccess;
    std::unique_ptr<TablesRowset> tables =
        OpenObjectCatalog(context.targetConnection.get(), "TABLE", opened);
    if (opened != kSuccess) {
        log.ShowMessage(FormatProviderError("Open tables Error: ", opened));
        if (tables) log.WriteText(tables->ProviderErrorText());
        if (report) report->Add("the tables of [" + database + "] could not be listed");
        return -1;
    }
    while (tables->MoveNext() == kSuccess) {
        const TableRecord& row = tables->Current();
        // A table whose name holds a blank is backed up too: Full migrates such tables, and a
        // backup that left one out would look complete without it.
        if (row.tableType == "VIEW") continue;
        BackupTableIn(context, DatabaseFolder(context, database), row.tableSchema, row.tableName, report);
        if (context.StopRequested()) {
            log.WriteText("Tables Backup Terminaled!");
            break;
        }
    }
    tables->Close();
    return 0;
}

int BackupDatabaseViews(WorkerContext& context, const std::string& database,
                        BackupReport* report) {
    OperationLog& log = context.Log();
    log.WriteOutputLine("Backup Views of database [%s]", database.c_str());
    ResultCode opened = kSuccess;
    std::unique_ptr<TablesRowset> views =
        OpenObjectCatalog(context.targetConnection.get(), "VIEW", opened);
    if (opened != kSuccess) {
        log.WriteText(FormatProviderError("Open views Error: ", opened));
        if (views) log.WriteText(views->ProviderErrorText());
        if (report) report->Add("the views of [" + database + "] could not be listed");
        return -1;
    }
    while (views->MoveNext() == kSuccess) {
        const TableRecord& row = views->Current();
        if (row.tableType == "VIEW" && row.tableSchema != "sys" &&
            row.tableSchema != "INFORMATION_SCHEMA") {
            BackupViewIn(context, DatabaseFolder(context, database), database, row.tableSchema,
                         row.tableName, report);
        }
        if (context.StopRequested()) {
            log.WriteText("Views Backup Terminaled!");
            break;
        }
    }
    views->Close();
    return 0;
}

std::string RoutineModulesQuery() {
    return "SELECT o.name, o.type, m.definition, SCHEMA_NAME(o.schema_id) FROM sys.sql_modules m JOIN sys.objects o ON "
           "o.object_id = m.object_id WHERE o.type IN ('P', 'FN', 'IF', 'TF', 'TR') "
           "ORDER BY o.name";
}

int BackupDatabaseRoutines(WorkerContext& context, const std::string& database,
                           BackupReport* report) {
    OperationLog& log = context.Log();
    log.WriteOutputLine("Backup Routines and Triggers of database [%s]", database.c_str());
    Session* session = context.TargetSession();
    std::unique_ptr<StatementRowset> statement = session ? session->NewStatement() : nullptr;
    std::optional<std::string> failed =
        statement ? RunQuery(log, RoutineModulesQuery(), *statement, StandardRowsetProperties())
                  : std::optional<std::string>(kNoConnection);
    // No rows at all is an empty list, not a failure.
    if (failed && *failed != kResultLine) {
        log.WriteText(*failed);
        if (report) report->Add("the routines and triggers of [" + database + "] could not be listed");
        return -1;
    }
    struct Module {
        std::string name, type, text;
    };
    std::vector<Module> modules;
    while (!failed && statement->MoveNext() == kSuccess) {
        if (statement->IsNull(2)) continue;  // a text the login may not see
        std::string type(statement->Value(1));
        while (!type.empty() && type.back() == ' ') type.pop_back();
        // The schema, where the server gives it: a routine of another schema than dbo.
        std::string name(statement->Value(0));
        if (statement->ColumnCount() > 3 && !statement->IsNull(3)) name = ScriptName(std::string(statement->Value(3)), name);
        modules.push_back({name, type, std::string(statement->Value(2))});
    }
    if (statement) statement->Close();
    for (const Module& module : modules) {
        const bool trigger = module.type == "TR";
        const bool procedure = module.type == "P";
        const std::string folder = trigger ? "TRIGGERS/" : procedure ? "PROCEDURES/" : "FUNCTIONS/";
        File file = OpenScript(DatabaseFolder(context, database) + folder, module.name,
                               trigger ? ".trg" : procedure ? ".sp" : ".fn");
        if (!file) {
            log.WriteText(kCannotOpenFile);
            if (report) report->Add(module.name + ": its script file cannot be created");
            continue;
        }
        log.WriteOutputLine("Backup %s [%s].[%s]", folder.substr(0, folder.size() - 2).c_str(),
                            database.c_str(), module.name.c_str());
        const BatchSafeText safe = MakeBatchSafe(module.text);
        if (!safe.ok()) {
            log.WriteOutputLine("Backup of [%s] skipped: %s", module.name.c_str(), safe.refusal.c_str());
            if (report) report->Add(module.name + ": its script cannot be written safely: " + safe.refusal);
            continue;
        }
        const std::string script = safe.text + "\nGO\n";
        std::fwrite(script.data(), 1, script.size(), file.get());
        if (context.StopRequested()) {
            log.WriteText("Routines Backup Terminaled!");
            break;
        }
    }
    return 0;
}

int BackupTable(WorkerContext& context, const std::string& /*database*/, const std::string& table,
                BackupReport* report) {
    return BackupTableIn(context, context.workFolder, context.options.targetSchema, table, report);
}

int BackupView(WorkerContext& context, const std::string& database, const std::string& view,
               BackupReport* report) {
    return BackupViewIn(context, context.workFolder, database, context.options.targetSchema, view, report);
}

namespace {

int BackupTableIn(WorkerContext& context, const std::string& base, const std::string& schema,
                  const std::string& table, BackupReport* report) {
    OperationLog& log = context.Log();
    const std::string shown = ScriptName(schema, table);
    File file = OpenScript(base + "TABLES/", shown, ".tbl");
    if (!file) {
        log.WriteText(kCannotOpenFile);
        if (report) report->Add("table " + shown + ": its script file cannot be created");
        return -2;
    }
    bool definitionRead = false;
    std::string definition =
        ReadTableDefinitionScript(log, context.TargetSession(), table, &definitionRead, schema);
    // Its keys and indexes follow the definition; its foreign keys and checks go into a script
    // run after every table's rows.
    TableKeyScripts keys;
    if (definitionRead) keys = ReadTableKeyScripts(log, context.TargetSession(), table, schema);
    definition += keys.keys;
    std::fwrite(definition.data(), 1, definition.size(), file.get());
    file.reset();
    if (!keys.constraints.empty()) {
        File constraints = OpenScript(base + "CONSTRAINTS/", shown, ".con");
        if (!constraints || std::fwrite(keys.constraints.data(), 1, keys.constraints.size(), constraints.get()) !=
                                keys.constraints.size()) {
            keys.failures.push_back("its constraints script cannot be written");
        }
    }
    for (const std::string& failure : keys.failures) {
        log.WriteOutputLine("Backup of table [%s]: %s", shown.c_str(), failure.c_str());
        if (report) report->Add("table " + shown + ": " + failure);
    }
    bool dataWritten = false;
    WriteTableDataScript(context, base + "DATA/", table, &dataWritten, schema);
    if (report && !definitionRead) report->Add("table " + shown + ": definition not read");
    if (report && !dataWritten) report->Add("table " + shown + ": data not written");
    return 1;
}

int BackupViewIn(WorkerContext& context, const std::string& base, const std::string& database,
                 const std::string& schema, const std::string& view, BackupReport* report) {
    OperationLog& log = context.Log();
    const std::string shown = ScriptName(schema, view);
    File file = OpenScript(base + "VIEWS/", shown, ".vw");
    if (!file) {
        log.WriteText(kCannotOpenFile);
        if (report) report->Add("view " + shown + ": its script file cannot be created");
        return -2;
    }
    log.WriteOutputLine("Bakcup View [%s].[%s]", database.c_str(), shown.c_str());
    bool textRead = false;
    std::string text = ReadViewText(log, context.TargetSession(), view, &textRead, schema);
    if (report && !textRead) report->Add("view " + shown + ": text not read");
    // The words are found without regard to case; the text is written as the server keeps it
    // (lower-casing it would change string literals, and N'...' prefixes some servers refuse).
    std::string lower = text;
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (lower.find("create view") != std::string::npos) log.WriteText(kResultLine);
    size_t at = lower.find(" view ");
    // Without " view " (a reader's failure text) the whole text follows, so the file tells why.
    std::string line = "create" + (at == std::string::npos ? " " + text : text.substr(at)) + "\n";
    std::fwrite(line.data(), 1, line.size(), file.get());
    file.reset();
    return 1;
}

}  // namespace

std::string ReadTableDefinitionScript(OperationLog& log, Session* session,
                                      const std::string& table, bool* ok, const std::string& schema) {
    if (ok) *ok = false;
    if (!session) {
        log.WriteText(kNoConnection);
        return kNoConnection;
    }
    std::unique_ptr<StatementRowset> statement = session->NewStatement();
    if (auto failed = RunQuery(log, TableDefinitionQuery(table, schema), *statement,
                               StandardRowsetProperties())) {
        statement->Close();
        return *failed;
    }
    std::string script = "create table " + TargetObjectName(schema, table) + "(\n";
    std::string refusal;
    // A default or a computed column's expression is the server's text: its line breaks inside
    // literals must not end the script's batch.
    auto safe = [&refusal](std::string_view text) {
        BatchSafeText made = MakeBatchSafe(text);
        if (!made.ok() && refusal.empty()) refusal = made.refusal;
        return made.text;
    };
    bool first = true;
    while (statement->MoveNext() == kSuccess) {
        if (!first) script += ",\n";
        first = false;
        // A computed column is its name and its expression ("as (...) persisted").
        const bool computed = statement->ColumnCount() > kComputedColumn && !statement->IsNull(kComputedColumn);
        for (int column = 0; column < std::min(statement->ColumnCount(), kComputedColumn); ++column) {
            if (computed && column > 0) break;
            if (statement->IsNull(column)) {
                log.WriteText("HAS (NULL)!!!");
                continue;
            }
            std::string value(statement->Value(column));
            // The first column is the column name: bracketed when it needs it.
            script += (column == 0 ? QuoteTargetName(value) : column == kDefaultColumn ? safe(value) : value) + " ";
        }
        if (computed) script += safe(statement->Value(kComputedColumn)) + " ";
    }
    statement->Close();
    if (!refusal.empty()) {
        const std::string line = "The definition of [" + table + "] cannot be written safely: " + refusal;
        log.WriteText(line);
        return line;
    }
    if (ok) *ok = true;
    return script + ")\n";
}

std::string WriteTableDataScript(WorkerContext& context, const std::string& folder,
                                 const std::string& table, bool* ok, const std::string& schema) {
    if (ok) *ok = false;
    OperationLog& log = context.Log();
    Session* session = context.TargetSession();
    if (!session) {
        log.WriteText(kNoConnection);
        return kNoConnection;
    }
    PropertySet properties = StandardRowsetProperties();
    properties.Add(kPropIRowsetChange, true);
    std::unique_ptr<StatementRowset> statement = session->NewStatement();
    const std::string name = TargetObjectName(schema, table);
    const bool identity = HasIdentityColumn(*session, name);
    const std::set<std::string> computed = ComputedColumns(*session, name);
    if (auto failed = RunQuery(log, "select * from " + name, *statement, properties)) {
        statement->Close();
        return *failed;
    }
    File file = OpenScript(folder, ScriptName(schema, table), ".data");
    if (!file) {
        statement->Close();
        log.WriteText(kCannotOpenFile);
        return kCannotOpenFile;
    }
    // The rows of a table with an identity keep their values when the script is run: the
    // server takes them with IDENTITY_INSERT on and a column list only.
    // A computed column takes no value: its table's rows name the columns they give.
    std::vector<bool> given(statement->ColumnCount(), true);
    for (int column = 0; column < statement->ColumnCount(); ++column) {
        given[column] = !computed.count(statement->Column(column).name);
    }
    std::string head = "insert into " + name + " values (";
    if (identity || !computed.empty()) {
        std::string columns;
        for (int column = 0; column < statement->ColumnCount(); ++column) {
            if (given[column]) columns += (columns.empty() ? "" : ",") + QuoteTargetName(statement->Column(column).name);
        }
        head = "insert into " + name + " (" + columns + ") values (";
    }
    if (identity) {
        const std::string on = "set identity_insert " + name + " on;\n";
        std::fwrite(on.data(), 1, on.size(), file.get());
    }
    std::string line;
    int rows = 0;
    bool written = true;
    ResultCode fetched;
    while ((fetched = statement->MoveNext()) == kSuccess) {
        line = head;
        for (int column = 0; column < statement->ColumnCount(); ++column) {
            if (!given[column]) continue;
            if (line.size() > head.size()) line += ',';
            AppendValueLiteral(line, statement->Column(column).type, statement->Value(column),
                               statement->IsNull(column));
        }
        line += ");\n";
        written = written && std::fwrite(line.data(), 1, line.size(), file.get()) == line.size();
        ++rows;
        if (rows % 200 == 0) context.ReportRows({table, rows, -1, false});
        if (context.StopRequested()) {
            log.WriteText("Data Backup Terminaled!");
            break;
        }
    }
    if (identity) {
        const std::string off = "set identity_insert " + name + " off;\n";
        written = written && std::fwrite(off.data(), 1, off.size(), file.get()) == off.size();
    }
    context.ReportRows({table, rows, -1, true});
    log.WriteOutputLine("[%s]%8d records backuped!!!", table.c_str(), rows);
    // A failed fetch (not the end of the rows) or a failed write leaves rows out of the script.
    if (fetched < 0) {
        log.WriteText(GetProviderErrorText(*statement));
        written = false;
    }
    written = std::fflush(file.get()) == 0 && written;
    statement->Close();
    if (ok) *ok = written;
    return written ? "TRUE" : "FALSE";
}

std::string ComputedColumnsQuery(const std::string& table) {
    return "SELECT name FROM sys.columns WHERE object_id = OBJECT_ID(N" + QuoteTargetString(table) + ") AND is_computed = 1";
}

std::string ViewDefinitionQuery(const std::string& view, const std::string& schema) {
    return "SELECT definition FROM sys.sql_modules WHERE object_id = OBJECT_ID(N" +
           QuoteTargetString(TargetObjectName(schema, view)) + ")";
}

std::string ReadViewText(OperationLog& log, Session* session, const std::string& view,
                         bool* ok, const std::string& schema) {
    if (ok) *ok = false;
    if (!session) {
        log.WriteText(kNoConnection);
        return kNoConnection;
    }
    std::unique_ptr<StatementRowset> statement = session->NewStatement();
    if (auto failed = RunQuery(log, "sp_helptext " + ProcedureArgument(view, schema), *statement,
                               StandardRowsetProperties())) {
        // Servers without sp_helptext keep the text in sys.sql_modules, as SQL Server does.
        statement->Close();
        statement = session->NewStatement();
        if (*failed == kResultLine ||
            RunQuery(log, ViewDefinitionQuery(view, schema), *statement, StandardRowsetProperties())) {
            statement->Close();
            return *failed;
        }
    }
    std::string text;
    while (statement->MoveNext() == kSuccess) {
        if (statement->ColumnCount() > 0 && !statement->IsNull(0) &&
            statement->Value(0).substr(0, 2) == "--") {
            continue;
        }
        for (int column = 0; column < statement->ColumnCount(); ++column) {
            if (statement->IsNull(column)) {
                log.WriteText("HAS Unexpect Info!!!");
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
