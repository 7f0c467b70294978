#include "commands/MainWindowCommands.h"

#include <cstdio>

#include "commands/OneDatabaseGuard.h"

#include "Converters/Conditions.h"
#include "translation/Naming.h"
#include "Converters/TargetServer.h"
#include "backup/TargetBackup.h"
#include "config/WorkFolder.h"
#include "data/StatementExecution.h"
#include "explorer/TreeFill.h"
#include "tasks/OperationLog.h"

namespace velmora {
namespace {

std::string Format(const char* format, const std::string& a, const std::string& b = "") {
    std::string out(format);
    size_t at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, a);
    at = out.find("%s", at == std::string::npos ? 0 : at + a.size());
    if (at != std::string::npos) out.replace(at, 2, b);
    return out;
}

}  // namespace

std::string MigrationQuestion(TaskType type, const TaskNames& names) {
    switch (type) {
        case TaskType::CloneDatabase:
            return Format("Clone database [%s] of source tree?", names.sourceDatabase);
        case TaskType::Database:
            return Format("Convert database [%s] into Target database [%s]?",
                          names.sourceDatabase, names.targetDatabase);
        case TaskType::Tables:
            return Format("Convert tables of [%s] into Target database [%s]?",
                          names.sourceDatabase, names.targetDatabase);
        case TaskType::Views:
            return Format("Convert views of [%s] into Target database [%s]?",
                          names.sourceDatabase, names.targetDatabase);
        case TaskType::Table:
            return Format("Convert table [%s] into Target database [%s]?", names.sourceObject,
                          names.targetDatabase);
        case TaskType::View:
            return Format("Convert view [%s] into Target database [%s]?", names.sourceObject,
                          names.targetDatabase);
        default:
            return {};
    }
}

std::optional<SelectedObject> DescribeSelection(const DatabaseTree& tree) {
    std::optional<NodePath> path = tree.selected();
    if (!path) return std::nullopt;
    std::shared_ptr<const TreeContents> contents = tree.Contents();
    const TreeNode* node = contents->At(*path);
    if (!node) return std::nullopt;
    SelectedObject selected;
    selected.kind = node->kind;
    selected.text = node->text;
    selected.path = *path;
    selected.schema = node->schema;
    selected.name = node->ObjectName();
    NodePath ancestor = *path;
    for (std::string* text : {&selected.parentText, &selected.grandparentText}) {
        if (ancestor.size() <= 1) break;
        ancestor.pop_back();
        if (const TreeNode* up = contents->At(ancestor)) *text = up->text;
    }
    return selected;
}

TaskEnvironment WindowTaskEnvironment(MainWindowModel& window) {
    TaskEnvironment environment;
    environment.log = &window.log();
    environment.state = &window.controller();
    environment.connectionFactory = [&window](TreeSide side) {
        return window.connectionFactory ? window.connectionFactory(side) : nullptr;
    };
    environment.settings = [&window](TreeSide side) { return window.settings(side); };
    environment.conditionFile = [&window] { return window.conditionFilePath(); };
    environment.backupFolder = [&window] { return window.backupFolder(); };
    // The worker's thread must not rebuild the tree; the window reloads it on its own thread.
    environment.targetChanged = [&window] {
        window.RequestTargetReload();
        window.port().TreeChanged(TreeSide::Target);
    };
    environment.tablesConverted = [&window](const std::vector<TableReport>& tables) {
        window.RecordTables(tables);
    };
    return environment;
}

MainWindowCommands::MainWindowCommands(MainWindowModel& window, SchedulerTimings timings)
    : MainWindowCommands(window, TaskRunner(), timings) {}

MainWindowCommands::MainWindowCommands(MainWindowModel& window, TaskRunner runner,
                                       SchedulerTimings timings)
    : window_(window),
      scheduler_(window.controller(), window.port(), window.log(), tasks_,
                 runner ? std::move(runner) : MakeTaskRunner(WindowTaskEnvironment(window)),
                 timings) {}

TaskPtr MainWindowCommands::QueueTask(TaskType type, const TaskNames& names, std::time_t stamp) {
    auto task = std::make_shared<MigrationTask>(type, stamp);
    task->objectKind = CutToSlot(names.objectKind);
    if (task->category() == TaskCategory::Migration) task->sourceDbms = CutToSlot(window_.sourceDbms);
    task->targetDbms = CutToSlot(window_.targetDbms);
    task->sourceDatabase = CutToSlot(names.sourceDatabase);
    task->sourceObject = CutToSlot(names.sourceObject);
    task->targetDatabase = CutToSlot(names.targetDatabase);
    task->targetObject = CutToSlot(names.targetObject);
    task->options = window_.options().ForTask();
    tasks_.Append(task);
    return task;
}

void MainWindowCommands::MigrateCommand() {
    UserPort& port = window_.port();
    if (!window_.targetTree().session()) {
        port.ShowHint("Please confirm your Target Database Connection is valid!");
        port.ShowMessage("No Target DataSource Connection!");
        return;
    }
    EnsureWorkFolder("./data_cache");
    std::optional<SelectedObject> source = DescribeSelection(window_.sourceTree());
    if (!source) {
        port.ShowHint("Please Select a Object to Convert in Source Databases Tree!");
        port.ShowMessage("No Selected Source Database Object!");
        return;
    }
    std::optional<SelectedObject> target = DescribeSelection(window_.targetTree());
    if (!target) {
        port.ShowHint("Please Select a object in Target Tree!");
        port.ShowMessage("No Selected Target Objects!");
        return;
    }
    const std::time_t stamp = std::time(nullptr);
    std::optional<std::pair<TaskType, TaskNames>> task;
    if (target->kind == kRootNode && source->kind == kDatabaseNode) {
        task = {TaskType::CloneDatabase, {source->text, "", source->text, "", ""}};
    } else if (target->kind != kDatabaseNode) {
        port.ShowHint("Please select a database in Target Database Tree!");
        port.ShowMessage("Please select a target Database!");
        return;
    } else {
        const std::string& into = target->text;
        switch (source->kind) {
            case kDatabaseNode:
                task = {TaskType::Database, {source->text, "", into, "", ""}};
                break;
            case kTableNode:
                task = {TaskType::Table, {source->grandparentText, source->text, into, "", ""}};
                break;
            case kTablesFolderNode:
                task = {TaskType::Tables, {source->parentText, "", into, "", ""}};
                break;
            case kViewNode:
                task = {TaskType::View, {source->grandparentText, source->text, into, "", ""}};
                break;
            case kViewsFolderNode:
                task = {TaskType::Views, {source->parentText, "", into, "", ""}};
                break;
            default:
                break;  // nothing to ask and nothing to queue; the scheduler still starts
        }
    }
    if (task) {
        if (!port.AskOkCancel(MigrationQuestion(task->first, task->second))) return;
        bool resume = AskResume(task->first, task->second);
        QueueTask(task->first, task->second, stamp)->options.resume = resume;
    }
    scheduler_.StartScheduler();
}

bool MainWindowCommands::AskResume(TaskType type, const TaskNames& names) {
    if (type != TaskType::Database && type != TaskType::Tables && type != TaskType::Table) {
        return window_.options().resume;
    }
    // The target's catalog by a three-part name: the browsing session stays in its database. A
    // one-database target takes no three-part name: it is asked in the database itself.
    const bool oneDatabase = WorksInOneDatabase(window_.targetKind);
    const std::string catalog = oneDatabase ? "" : QuoteTargetName(names.targetDatabase) + ".";
    // With a target schema only its tables count: a dbo table of the same name is not the task's.
    const std::string& schema = window_.options().targetSchema;
    const bool inSchema = !IsDefaultSchema(schema) && window_.options().translation == TranslationMode::Full;
    std::string query = "select count_big(*) from " + catalog + "sys.tables";
    std::vector<std::string> conditions;
    if (inSchema) {
        query += " t join " + catalog + "sys.schemas s on s.schema_id = t.schema_id";
        conditions.push_back("s.name = N" + QuoteTargetString(schema));
    }
    if (type == TaskType::Table) {
        conditions.push_back((inSchema ? "t.name = N" : "name = N") + QuoteTargetString(names.sourceObject));
    }
    for (size_t i = 0; i < conditions.size(); ++i) query += (i == 0 ? " where " : " and ") + conditions[i];
    std::string found;
    RunInDatabase(window_, names.targetDatabase, [&](Session* session) {
        found = QuerySingleValue(window_.log(), session, query, 0);
        return true;
    });
    if (found.empty() || found == "0" || found.find_first_not_of("0123456789") != std::string::npos) {
        return window_.options().resume;
    }
    return window_.port().AskYesNo(
        "The target database [" + names.targetDatabase + "] already holds " +
        (type == TaskType::Table ? "the table [" + names.sourceObject + "]" : "tables") +
        ".\nResume: keep what is there and copy only what is missing?\n(No: migrate as usual)");
}

void MainWindowCommands::ShowReportCommand() {
    std::vector<TableReport> objects = window_.LastTaskTables();
    window_.port().ShowMessage(objects.empty() ? std::string("No task has reported yet.")
                                               : "The last task:\n\n" + ReportText(objects));
}

void MainWindowCommands::VerifyCommand() {
    UserPort& port = window_.port();
    std::optional<SelectedObject> source = DescribeSelection(window_.sourceTree());
    std::optional<SelectedObject> target = DescribeSelection(window_.targetTree());
    if (!window_.targetTree().session() || !target || target->kind != kDatabaseNode) {
        port.ShowHint("Please select the database to verify in Target Database Tree!");
        port.ShowMessage("Please select a target Database!");
        return;
    }
    std::optional<std::pair<TaskType, TaskNames>> task;
    if (source && source->kind == kDatabaseNode) {
        task = {TaskType::VerifyDatabase, {source->text, "", target->text, "", ""}};
    } else if (source && source->kind == kTablesFolderNode) {
        task = {TaskType::VerifyDatabase, {source->parentText, "", target->text, "", ""}};
    } else if (source && source->kind == kTableNode) {
        task = {TaskType::VerifyTable,
                {source->grandparentText, source->text, target->text, source->text, ""}};
    }
    if (!task) {
        port.ShowHint("Please select a database or a table to verify in Source Databases Tree!");
        port.ShowMessage("No Selected Source Database Object!");
        return;
    }
    TaskPtr queued = QueueTask(task->first, task->second, std::time(nullptr));
    if (queued->options.verify == VerifyMode::None) queued->options.verify = VerifyMode::Full;
    scheduler_.StartScheduler();
}

void MainWindowCommands::BackupCommand() {
    UserPort& port = window_.port();
    if (!window_.targetTree().session()) {
        port.ShowHint("Please confirm your target Database connected SUCCESSFULLY!");
        port.ShowMessage("No Target DataSource Connection!");
        return;
    }
    EnsureWorkFolder("./backup");
    const std::time_t stamp = std::time(nullptr);
    std::optional<SelectedObject> target = DescribeSelection(window_.targetTree());
    if (!target) {
        port.ShowHint("Please select a Object in Target Databases Tree to backup!");
        port.ShowMessage("No selected Objects to backup!");
    } else {
        std::optional<std::string> folder = ChooseBackupFolder(port, window_.backupFolder());
        if (!folder) return;
        window_.SetBackupFolder(*folder);
        switch (target->kind) {
            case kDatabaseNode:
                QueueTask(TaskType::BackupDatabase, {"", "", target->text, "", "A"}, stamp);
                break;
            case kTablesFolderNode:
                QueueTask(TaskType::BackupDatabase, {"", "", target->parentText, "", "T"}, stamp);
                break;
            case kViewsFolderNode:
                QueueTask(TaskType::BackupDatabase, {"", "", target->parentText, "", "V"}, stamp);
                break;
            case kTableNode:
            case kViewNode:
                // The object's own name; its schema goes with the task's options.
                QueueTask(TaskType::BackupObject,
                          {"", "", target->grandparentText, target->name, target->kind == kTableNode ? "T" : "V"},
                          stamp)
                    ->options.targetSchema = target->schema;
                break;
            default:
                break;
        }
    }
    scheduler_.StartScheduler();
}

void MainWindowCommands::DeleteTaskCommand(std::optional<size_t> row) {
    if (row && tasks_.RemoveAt(*row)) window_.port().TaskListChanged();
}

void MainWindowCommands::ClearAllTasksCommand() {
    tasks_.Clear();
    window_.port().TaskListChanged();
}

void MainWindowCommands::ItemUpCommand(std::optional<size_t> row) {
    if (row && tasks_.MoveUp(*row)) window_.port().TaskListChanged();
}

void MainWindowCommands::ItemDownCommand(std::optional<size_t> row) {
    if (row && tasks_.MoveDown(*row)) window_.port().TaskListChanged();
}

bool MainWindowCommands::ConfirmTwice(const std::string& question, const std::string& warning,
                                      MessageIcon warningIcon) {
    return window_.port().AskOkCancel(question) && window_.port().AskYesNo(warning, warningIcon);
}

bool MainWindowCommands::RefusedWhileTasksRun() {
    UserPort& port = window_.port();
    switch (window_.controllerState()) {
        case ControllerState::Running:
            if (port.AskOkCancel("Some Tasks is Processing, STOP ALL?")) scheduler_.RequestStop();
            return true;
        case ControllerState::StopRequested:
            port.ShowMessage("Some Tasks is Stopping, Please try again later!!!");
            return true;
        case ControllerState::Idle:
            break;
    }
    return false;
}

int MainWindowCommands::DropChildren(const NodePath& folder, const std::string& database,
                                     bool views, bool removeNodes) {
    DatabaseTree& tree = window_.targetTree();
    std::shared_ptr<const TreeContents> contents = tree.Contents();
    const TreeNode* node = contents->At(folder);
    if (!node) return 0;
    std::vector<size_t> dropped;
    for (size_t i = 0; i < node->children.size(); ++i) {
        const TreeNode& child = node->children[i];
        const std::string name = child.ObjectName();
        bool ok = views ? DropView(window_.log(), tree.session(), database, name, child.schema)
                        : DropTable(window_.log(), tree.session(), database, name, child.schema);
        if (ok) dropped.push_back(i);
    }
    if (removeNodes) {
        // From the last to the first, so that the earlier paths stay valid.
        for (auto it = dropped.rbegin(); it != dropped.rend(); ++it) {
            NodePath child = folder;
            child.push_back(*it);
            tree.RemoveNode(child);
        }
    }
    return static_cast<int>(dropped.size());
}

void MainWindowCommands::DeleteSelectedCommand() {
    UserPort& port = window_.port();
    if (RefusedWhileTasksRun()) return;
    DatabaseTree& tree = window_.targetTree();
    if (!tree.session()) {
        port.ShowHint("Press Config button, and get a successful target Connection!");
        port.ShowMessage("No Target DataSource Connection!", "Delete");
        return;
    }
    std::optional<SelectedObject> node = DescribeSelection(tree);
    if (!node) {
        port.ShowHint("Please select a table, tables, views or database on target Database Tree!");
        port.ShowMessage("No selected Object to delete!");
        return;
    }
    if (RefusedToDrop(window_, *node)) return;
    const std::string noRestore =
        "After remove, you can not restore [%s] again! Continue?\nPress YES to Continue Removing!";
    OperationLog& log = window_.log();
    switch (node->kind) {
        case kDatabaseNode:
            if (!ConfirmTwice(Format("Delete database [%s]?", node->text),
                              Format(noRestore.c_str(), node->text), MessageIcon::Warning)) {
                return;
            }
            log.WriteOutputLine("Remove Database [%s]!", node->text.c_str());
            if (DropTargetDatabase(window_, node->text)) tree.RemoveNode(node->path);
            break;
        case kTableNode: {
            std::string question =
                Format("Delete the table [%s.%s]?", node->grandparentText, node->text);
            if (!ConfirmTwice(question,
                              Format("After remove, you can not restore the table [%s.%s]! "
                                     "Continue?\nPress YES to Continue Removing!",
                                     node->grandparentText, node->text))) {
                return;
            }
            log.WriteText(question);
            if (DropTable(log, tree.session(), node->grandparentText, node->name, node->schema)) {
                tree.RemoveNode(node->path);
            }
            break;
        }
        case kTablesFolderNode: {
            std::string question = Format("Delete all the tables of [%s]?", node->parentText);
            if (!ConfirmTwice(question, Format(noRestore.c_str(), node->parentText))) return;
            log.WriteText(question);
            log.WriteOutputLine("[%d] tables removed!",
                                DropChildren(node->path, node->parentText, false, true));
            break;
        }
        case kViewNode: {
            std::string question =
                Format("Delete the view [%s.%s]?", node->grandparentText, node->text);
            if (!ConfirmTwice(question,
                              Format("After remove, you can not restore the view [%s.%s] again! "
                                     "Continue?\nPress YES to Continue Removing!",
                                     node->grandparentText, node->text))) {
                return;
            }
            log.WriteText(question);
            if (DropView(log, tree.session(), node->grandparentText, node->name, node->schema)) {
                tree.RemoveNode(node->path);
            }
            break;
        }
        case kViewsFolderNode: {
            std::string question = Format("Delete all the views of [%s]?", node->parentText);
            if (!ConfirmTwice(question,
                              Format("After remove, you can not restore the views of [%s] again! "
                                     "Continue?\nPress YES to Continue Removing!",
                                     node->parentText),
                              MessageIcon::Warning)) {
                return;
            }
            log.WriteText(question);
            log.WriteOutputLine("[%d] views removed!",
                                DropChildren(node->path, node->parentText, true, true));
            break;
        }
        default:
            break;
    }
}

void MainWindowCommands::NewDatabaseCommand() {
    std::optional<SelectedObject> node = DescribeSelection(window_.targetTree());
    if (!node || node->kind != kRootNode) {
        window_.port().ShowMessage(
            "Can only create database in TARGET!!!\nPlease Select Target ROOT to create new "
            "database!");
        return;
    }
    std::optional<std::string> name = window_.port().PromptText("DB Name:");
    if (!name) return;
    DatabaseTree& tree = window_.targetTree();
    if (RunOnServerLevel(window_, "Creating database [" + *name + "]", "", [&](Session* session) {
            return CreateDatabase(window_.log(), session, *name);
        })) {
        FillDatabaseTree(tree, window_.log(), window_.port());
    }
}

std::optional<SelectedObject> MainWindowCommands::SelectedDatabase() {
    std::optional<SelectedObject> node = DescribeSelection(window_.targetTree());
    // A database's "Tables" or "Views" folder stands for its database.
    if (node && (node->kind == kTablesFolderNode || node->kind == kViewsFolderNode) &&
        node->path.size() > 1) {
        NodePath database = node->path;
        database.pop_back();
        const auto contents = window_.targetTree().Contents();
        const TreeNode* parent = contents->At(database);
        if (parent && parent->kind == kDatabaseNode) {
            node = SelectedObject{kDatabaseNode, parent->text, node->grandparentText, "", database};
        }
    }
    if (!node || node->kind != kDatabaseNode) {
        window_.port().ShowMessage("No Database in TARGET Side be Selected!");
        return std::nullopt;
    }
    return node;
}

namespace {
const char* const kDatabaseWarning =
    "After remove, you can not restore [%s] again! Continue?\nPress YES to Continue Removing!";

// The folder of a database node: "Tables" is its first child, "Views" the next one.
std::optional<NodePath> FolderOf(const DatabaseTree& tree, const NodePath& database, int kind) {
    std::shared_ptr<const TreeContents> contents = tree.Contents();
    const TreeNode* node = contents->At(database);
    if (!node) return std::nullopt;
    for (size_t i = 0; i < node->children.size(); ++i) {
        if (node->children[i].kind == kind) {
            NodePath path = database;
            path.push_back(i);
            return path;
        }
    }
    return std::nullopt;
}
}  // namespace

void MainWindowCommands::DeleteDatabaseCommand() {
    if (RefusedWhileTasksRun()) return;
    std::optional<SelectedObject> node = SelectedDatabase();
    if (!node || RefusedToDrop(window_, *node) ||
        !ConfirmTwice(Format("Remove database [%s]?", node->text),
                               Format(kDatabaseWarning, node->text), MessageIcon::Warning)) {
        return;
    }
    DropTargetDatabase(window_, node->text);
    FillDatabaseTree(window_.targetTree(), window_.log(), window_.port());
}

void MainWindowCommands::ClearAllTablesCommand() {
    if (RefusedWhileTasksRun()) return;
    std::optional<SelectedObject> node = SelectedDatabase();
    if (!node ||
        RefusedOutsideBrowsingDatabase(window_, "Dropping the tables of [" + node->text + "]",
                                       node->text) ||
        !ConfirmTwice(Format("Remove all the tables of [%s]?", node->text),
                               Format(kDatabaseWarning, node->text), MessageIcon::Warning)) {
        return;
    }
    DatabaseTree& tree = window_.targetTree();
    if (auto views = FolderOf(tree, node->path, kViewsFolderNode)) {
        DropChildren(*views, node->text, true, false);
    }
    if (auto tables = FolderOf(tree, node->path, kTablesFolderNode)) {
        DropChildren(*tables, node->text, false, false);
    }
    FillDatabaseTree(tree, window_.log(), window_.port());
}

void MainWindowCommands::ClearAllDataCommand() {
    if (RefusedWhileTasksRun()) return;
    std::optional<SelectedObject> node = SelectedDatabase();
    if (!node ||
        RefusedOutsideBrowsingDatabase(window_, "Deleting the data of [" + node->text + "]",
                                       node->text) ||
        !ConfirmTwice(Format("Delete all the data of [%s]?", node->text),
                               Format(kDatabaseWarning, node->text), MessageIcon::Warning)) {
        return;
    }
    // The rows go, the tables stay: "Clear all Data" must not take the table definitions with it.
    DatabaseTree& tree = window_.targetTree();
    std::optional<NodePath> tables = FolderOf(tree, node->path, kTablesFolderNode);
    if (!tables) return;
    std::shared_ptr<const TreeContents> contents = tree.Contents();
    // The rows of this database's tables, never of same-named tables in another database.
    if (!UseDatabase(window_.log(), tree.session(), node->text, 1)) return;
    if (const TreeNode* folder = contents->At(*tables)) {
        for (const TreeNode& table : folder->children) {
            ExecuteStatement(window_.log(), tree.session(),
                             "delete from " + TargetObjectName(table.schema, table.ObjectName()), 0);
        }
    }
}

void MainWindowCommands::DropTableCommand() {
    if (RefusedWhileTasksRun()) return;
    std::optional<SelectedObject> node = DescribeSelection(window_.targetTree());
    if (!node || node->kind != kTableNode || RefusedToDrop(window_, *node)) return;
    if (DropTable(window_.log(), window_.targetTree().session(), node->grandparentText,
                  node->name, node->schema)) {
        window_.targetTree().RemoveNode(node->path);
    }
}

void MainWindowCommands::DropViewCommand() {
    if (RefusedWhileTasksRun()) return;
    std::optional<SelectedObject> node = DescribeSelection(window_.targetTree());
    if (!node || node->kind != kViewNode || RefusedToDrop(window_, *node)) return;
    if (DropView(window_.log(), window_.targetTree().session(), node->grandparentText,
                 node->name, node->schema)) {
        window_.targetTree().RemoveNode(node->path);
    }
}

bool MainWindowCommands::EndRename(const std::string& edited) {
    DatabaseTree& tree = window_.targetTree();
    bool accepted = false;
    std::optional<SelectedObject> node = DescribeSelection(tree);
    // The edit starts from the shown text, schema.name: the object keeps its schema.
    std::string newName = edited;
    if (node && !node->schema.empty() && newName.starts_with(node->schema + ".")) newName.erase(0, node->schema.size() + 1);
    if (tree.renameConfirmed() != 0 && node && !RefusedWhileTasksRun() &&
        !RefusedOutsideBrowsingDatabase(
            window_, "Renaming [" + node->grandparentText + "].[" + node->text + "]",
            node->grandparentText) &&
        RenameObject(window_.log(), tree.session(), node->grandparentText, node->name,
                     newName, node->schema)) {
        tree.SetNodeText(node->path, node->schema.empty() ? newName : node->schema + "." + newName);
        accepted = true;
    }
    tree.SetRenameConfirmed(0);
    return accepted;
}

}  // namespace velmora
