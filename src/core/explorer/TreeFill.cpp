#include "explorer/TreeFill.h"

#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "Converters/SourceRoutines.h"
#include "config/TargetKind.h"
#include "tasks/OperationLog.h"

namespace velmora {
namespace {

// TreeAttachment::dbmsKind of a MySQL side: only its tree lists routines, triggers and events.
constexpr int kMySqlDbms = 2;

constexpr const char* kDatabaseListQuery = "SELECT name FROM sys.databases ORDER BY name";

using Restrictions = std::vector<std::optional<std::string>>;

bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string Trim(std::string_view text) {
    size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) ++first;
    size_t last = text.size();
    while (last > first && IsBlank(text[last - 1])) --last;
    return std::string(text.substr(first, last - first));
}

std::string TrimRight(std::string_view text) {
    size_t last = text.size();
    while (last > 0 && IsBlank(text[last - 1])) --last;
    return std::string(text.substr(0, last));
}

struct TableRow {
    std::string schema;
    std::string name;
    std::string type;
};

// All rows of a tables rowset of one type. The rows are read before any details are asked for,
// so no second catalog query runs while this one still has rows pending (some drivers allow
// only one active result per connection).
ResultCode ReadTables(Session& session, const char* type, std::vector<TableRow>& rows) {
    auto rowset = session.NewTablesRowset();
    if (!rowset) return kOutOfMemory;
    ResultCode result = rowset->Open(Restrictions{std::nullopt, std::nullopt, std::nullopt, type});
    if (result != kSuccess) return result;
    while (rowset->MoveNext() == kSuccess) {
        const TableRecord& record = rowset->Current();
        rows.push_back({record.tableSchema, record.tableName, record.tableType});
    }
    rowset->Close();
    return kSuccess;
}

// The folder of `kind` under the current database node (or at the top level when the current
// database has no node of its own).
std::vector<TreeNode>* FolderChildren(TreeContents& contents, int folderKind) {
    std::vector<TreeNode>* siblings = &contents.topLevel;
    if (contents.currentDatabaseNode) {
        TreeNode* database = contents.At(*contents.currentDatabaseNode);
        if (!database) return nullptr;
        siblings = &database->children;
    }
    for (TreeNode& node : *siblings) {
        if (node.kind == folderKind) return &node.children;
    }
    return nullptr;
}

// The nodes under construction and the folders that objects go into.
struct TreeBuild {
    TreeContents contents;

    void AddObject(TreeNode node) {
        std::vector<TreeNode>* folder =
            FolderChildren(contents, node.kind == kViewNode ? kViewsFolderNode : kTablesFolderNode);
        if (folder) folder->push_back(std::move(node));
    }
};

std::string DataSourceName(DataSourceConnection& connection, UserPort& port) {
    std::string name;
    if (connection.GetProperty(kPropDataSourceName, name) != kSuccess) {
        port.ShowMessage("Get Datasource Name Error!");
        name.clear();
    }
    return Trim(name);
}

// The databases as the server's catalog view lists them, for servers whose catalog call for
// all catalogs fails (Babelfish, Azure SQL Database, some drivers). False when the query fails.
bool AddDatabasesByQuery(Session& session, TreeNode& root, std::string& error) {
    auto statement = session.NewStatement();
    if (!statement) return false;
    ResultCode result = statement->Create(kDatabaseListQuery);
    if (result >= 0) result = statement->Execute(StandardRowsetProperties());
    if (result == kSuccess && statement->HasRowset()) result = statement->BindAllAsText(true);
    if (result != kSuccess || !statement->HasRowset()) {
        error = statement->MostInformativeError();
        statement->Close();
        return false;
    }
    std::vector<std::string> names;
    while ((result = statement->MoveNext()) == kSuccess) {
        if (!statement->IsNull(0)) names.emplace_back(statement->Value(0));
    }
    statement->Close();
    if (result < 0) return false;
    for (std::string& name : names) root.Append(kDatabaseNode, std::move(name));
    return true;
}

// Adds the database nodes from the catalog call, or from sys.databases when it fails. The
// driver's words go to the log once per tree and failure, not at every rebuild.
void AddDatabases(DatabaseTree& tree, Session& session, TreeNode& root, OperationLog& log) {
    auto rowset = session.NewCatalogsRowset();
    ResultCode result = rowset ? rowset->Open(Restrictions{std::nullopt}) : kOutOfMemory;
    if (result == kSuccess) {
        while (rowset->MoveNext() == kSuccess)
            root.Append(kDatabaseNode, rowset->Current().catalogName);
        rowset->Close();
        return;
    }
    std::string failure = rowset ? rowset->ProviderErrorText() : session.ProviderErrorText();
    std::string queryError;
    if (AddDatabasesByQuery(session, root, queryError)) {
        if (tree.FirstReportOf(failure)) {
            log.WriteText("The driver's catalog call for all databases is not available on this "
                          "server; the databases are listed from sys.databases (the driver said: " +
                          failure + ")");
        }
        return;
    }
    if (tree.FirstReportOf(failure + queryError)) {
        log.WriteText(failure);
        if (!queryError.empty()) log.WriteText(queryError);
    }
}

// Places "Tables" and "Views" under the current database's node (found without regard to
// case), or at the top level when no database node matches.
void AddFolders(TreeBuild& build, const std::string& currentDatabase) {
    TreeContents& contents = build.contents;
    const TreeNode& root = contents.topLevel.front();
    for (size_t i = 0; i < root.children.size(); ++i) {
        if (SameDatabaseName(root.children[i].text, currentDatabase)) {
            contents.currentDatabaseNode = NodePath{0, i};
            break;
        }
    }
    std::vector<TreeNode>& siblings = contents.currentDatabaseNode
                                          ? contents.At(*contents.currentDatabaseNode)->children
                                          : contents.topLevel;
    siblings.push_back(TreeNode{kTablesFolderNode, "Tables", false, {}});
    siblings.push_back(TreeNode{kViewsFolderNode, "Views", false, {}});
}

// The schema an object lives in when it is not the default one (dbo on SQL Server; MySQL has
// none) nor a system schema.
std::string OwnSchema(const TableRow& row) {
    std::string lower;
    for (char c : row.schema) lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    return lower == "dbo" || lower == "sys" || lower == "information_schema" ? "" : row.schema;
}

// Tables (and views that a driver lists as tables); false when they could not be listed.
bool AddTables(TreeBuild& build, Session& session) {
    std::vector<TableRow> rows;
    if (ReadTables(session, "TABLE", rows) != kSuccess) return false;
    for (const TableRow& row : rows) {
        const int kind = row.type == "VIEW" ? kViewNode : kTableNode;
        TreeNode node;
        ReadObjectNode(session, kind, row.name, node, OwnSchema(row));
        build.AddObject(std::move(node));
    }
    return true;
}

void AddViews(TreeBuild& build, Session& session) {
    std::vector<TableRow> rows;
    if (ReadTables(session, "VIEW", rows) != kSuccess) return;
    for (const TableRow& row : rows) {
        if (row.type != "VIEW" || row.schema == "sys" || row.schema == "INFORMATION_SCHEMA") {
            continue;
        }
        TreeNode node;
        ReadObjectNode(session, kViewNode, row.name, node, OwnSchema(row));
        build.AddObject(std::move(node));
    }
}

// A MySQL database's procedures, functions, triggers (named "table.trigger", in the order they
// fire) and events, each in a folder of its own after "Views". The folders stay empty when the
// lists cannot be read; the reason goes to the log.
void AddProgrammables(TreeBuild& build, Session& session, OperationLog& log,
                      std::string database) {
    std::vector<TreeNode>* siblings = &build.contents.topLevel;
    if (build.contents.currentDatabaseNode) {
        TreeNode* node = build.contents.At(*build.contents.currentDatabaseNode);
        database = node->text;  // the catalog's spelling
        siblings = &node->children;
    }
    TreeNode procedures{kProceduresFolderNode, "Procedures", false, {}};
    TreeNode functions{kFunctionsFolderNode, "Functions", false, {}};
    TreeNode triggers{kTriggersFolderNode, "Triggers", false, {}};
    TreeNode events{kEventsFolderNode, "Events", false, {}};
    std::string failure;
    if (auto found = ReadSourceProgrammables(log, &session, database, &failure)) {
        for (const SourceRoutine& routine : found->routines) {
            if (routine.kind == RoutineKind::Function) {
                functions.Append(kFunctionNode, routine.name);
            } else {
                procedures.Append(kProcedureNode, routine.name);
            }
        }
        for (const SourceRoutine& trigger : found->triggers)
            triggers.Append(kTriggerNode, trigger.table + "." + trigger.name);
        for (const std::string& event : found->events) events.Append(kEventNode, event);
    }
    for (TreeNode* folder : {&procedures, &functions, &triggers, &events})
        siblings->push_back(std::move(*folder));
}

// The current database opens on its tables.
void ExpandTablesFolder(TreeContents& contents) {
    if (!contents.currentDatabaseNode) return;
    TreeNode* database = contents.At(*contents.currentDatabaseNode);
    if (!database || database->children.empty()) return;
    database->expanded = true;
    database->children.front().expanded = true;
}

// Publishes the rebuilt nodes, open and folded where the user left the shown ones.
void Publish(DatabaseTree& tree, TreeContents contents) {
    if (std::shared_ptr<const TreeContents> shown = tree.Contents()) {
        KeepExpansion(shown->topLevel, contents.topLevel);
    }
    tree.Replace(std::move(contents));
}

// Ends the rebuild however it ends.
class BusyScope {
public:
    explicit BusyScope(DatabaseTree& tree) : tree_(tree) { tree_.BeginBusy(); }
    ~BusyScope() { tree_.EndBusy(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    DatabaseTree& tree_;
};

}  // namespace

ResultCode ReadObjectNode(Session& session, int kind, std::string_view name, TreeNode& node,
                          std::string_view schema) {
    const std::string shown = schema.empty() ? std::string(name) : std::string(schema) + "." + std::string(name);
    node = TreeNode{kind == kViewNode ? kViewNode : kTableNode, shown, false, {}, std::string(schema)};
    const std::optional<std::string> inSchema =
        schema.empty() ? std::nullopt : std::optional<std::string>(std::string(schema));
    const size_t fields = node.Append(kFieldsFolderNode, "Fields");
    std::optional<size_t> indexes;
    if (node.kind == kTableNode) indexes = node.Append(kIndexesFolderNode, "Indexes");

    auto columns = session.NewColumnsRowset();
    if (!columns) return kOutOfMemory;
    ResultCode result =
        columns->Open(Restrictions{std::nullopt, inSchema, std::string(name), std::nullopt});
    if (result != kSuccess) return result;
    while (columns->MoveNext() == kSuccess) {
        node.children[fields].Append(kColumnNode, columns->Current().columnName);
    }
    columns->Close();
    if (!indexes) return kSuccess;

    auto rowset = session.NewIndexesRowset();
    if (!rowset) return kOutOfMemory;
    result = rowset->Open(
        Restrictions{std::nullopt, inSchema, std::nullopt, std::nullopt, std::string(name)});
    if (result != kSuccess) return result;
    while (rowset->MoveNext() == kSuccess) {
        std::string indexName = TrimRight(rowset->Current().indexName);
        if (!indexName.empty()) node.children[*indexes].Append(kIndexNode, std::move(indexName));
    }
    rowset->Close();
    return kSuccess;
}

void FillDatabaseTree(DatabaseTree& tree, OperationLog& log, UserPort& port) {
    BusyScope busy(tree);
    TreeBuild build;
    DataSourceConnection* connection = tree.connection();
    Session* session = connection ? connection->session() : nullptr;
    if (!session) {
        tree.Replace({});
        return;
    }

    const std::string serverName = DataSourceName(*connection, port);
    build.contents.topLevel.push_back(
        TreeNode{kRootNode, serverName.empty() ? "DATABASES" : serverName, false, {}});
    build.contents.serverNode = NodePath{0};
    AddDatabases(tree, *session, build.contents.topLevel.front(), log);

    std::string current = tree.currentDatabase();
    if (current.empty()) {
        if (connection->GetProperty(kPropCurrentCatalog, current) == kSuccess) {
            tree.SetCurrentDatabase(current);
        } else {
            current.clear();
        }
    }
    build.contents.topLevel.front().expanded = true;
    if (current.empty() || SameDatabaseName(current, "null")) {
        Publish(tree, std::move(build.contents));
        return;
    }

    AddFolders(build, current);
    const bool tablesListed = AddTables(build, *session);
    if (tablesListed) {
        ExpandTablesFolder(build.contents);
        AddViews(build, *session);
        if (tree.dbmsKind() == kMySqlDbms) AddProgrammables(build, *session, log, current);
    }
    if (std::string note = session->TakeCatalogNote(); !note.empty()) log.WriteText(note);
    Publish(tree, std::move(build.contents));
}

ResultCode AddObjectDetails(DatabaseTree& tree, int kind, std::string_view name) {
    Session* session = tree.session();
    if (!session) return kNotConnected;
    TreeNode node;
    ResultCode result = ReadObjectNode(*session, kind, name, node);
    const int folderKind = node.kind == kViewNode ? kViewsFolderNode : kTablesFolderNode;
    bool added = tree.Modify([&](TreeContents& contents) {
        std::vector<TreeNode>* folder = FolderChildren(contents, folderKind);
        if (!folder) return false;
        folder->push_back(node);
        return true;
    });
    return added ? result : kFailure;
}

}  // namespace velmora
