// Migrate and Backup from every pair of tree selections, the task list commands, and the object
// maintenance commands, against the scripted target.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>

#include "commands/MainWindowCommands.h"
#include "support/ScriptedPort.h"
#include "support/TargetDouble.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

TreeContents SampleTree(const std::string& server, const std::string& database,
                        const std::string& table, const std::string& view) {
    TreeContents contents;
    contents.topLevel.push_back({kRootNode, server, true, {}});
    TreeNode& root = contents.topLevel[0];
    root.Append(kDatabaseNode, database);
    root.Append(kDatabaseNode, "other");
    TreeNode& db = root.children[0];
    db.Append(kTablesFolderNode, "Tables");
    db.Append(kViewsFolderNode, "Views");
    db.children[0].Append(kTableNode, table);
    db.children[0].Append(kTableNode, table + "2");
    db.children[1].Append(kViewNode, view);
    db.children[0].children[0].Append(kFieldsFolderNode, "Fields");
    return contents;
}

class CommandsTest : public testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/velmora-commands-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        home_ = folder;
        setenv("VELMORA_HOME", home_.c_str(), 1);
        previous_ = std::filesystem::current_path();
        auto target = std::make_unique<test::TargetDouble>();
        target_ = target.get();
        window_ = std::make_unique<MainWindowModel>(port_, std::make_unique<test::TargetDouble>(),
                                                    std::move(target));
        window_->sourceDbms = "MySQL[10.11]";
        window_->targetDbms = "Microsoft SQL Server[16.00]";
        window_->targetTree().Attach({&window_->targetConnection(), "sales", "SQLOLEDB", 1, 1, "", ""});
        window_->sourceTree().Replace(SampleTree("mysql", "shop", "orders", "v_orders"));
        window_->targetTree().Replace(SampleTree("mssql", "sales", "t", "tv"));
        SchedulerTimings fast;
        fast.passInterval = 5ms;
        fast.threadStartDelay = fast.startWait = fast.workerStartDelay = fast.closeWait = 0ms;
        commands_ = std::make_unique<MainWindowCommands>(
            *window_, [](MigrationTask&) { return true; }, fast);
    }
    void TearDown() override {
        commands_.reset();
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(home_);
        unsetenv("VELMORA_HOME");
    }

    void Select(TreeSide side, std::optional<NodePath> path) { window_->tree(side).Select(path); }

    test::ScriptedPort port_;
    std::unique_ptr<MainWindowModel> window_;
    test::TargetDouble* target_ = nullptr;
    std::unique_ptr<MainWindowCommands> commands_;
    std::string home_;
    std::filesystem::path previous_;
};

struct MigrateCase {
    NodePath source;
    NodePath target;
    const char* question;  // "" when nothing is asked
    int type;              // 0 when nothing is queued
    const char* sourceDatabase;
    const char* sourceObject;
    const char* targetDatabase;
};

TEST_F(CommandsTest, MigrateQueuesOneTaskPerSelectionPair) {
    const MigrateCase cases[] = {
        {{0, 0}, {0}, "Clone database [shop] of source tree?", 257, "shop", "", "shop"},
        {{0, 0}, {0, 0}, "Convert database [shop] into Target database [sales]?", 258, "shop", "",
         "sales"},
        {{0, 0, 0}, {0, 0}, "Convert tables of [shop] into Target database [sales]?", 259, "shop",
         "", "sales"},
        {{0, 0, 1}, {0, 0}, "Convert views of [shop] into Target database [sales]?", 260, "shop",
         "", "sales"},
        {{0, 0, 0, 0}, {0, 0}, "Convert table [orders] into Target database [sales]?", 261, "shop",
         "orders", "sales"},
        {{0, 0, 1, 0}, {0, 0}, "Convert view [v_orders] into Target database [sales]?", 262, "shop",
         "v_orders", "sales"},
        // The server node as source: nothing asked, nothing queued (the scheduler still starts).
        {{0}, {0, 0}, "", 0, "", "", ""},
        {{0, 0, 0, 0, 0}, {0, 0}, "", 0, "", "", ""},
    };
    for (const MigrateCase& c : cases) {
        size_t before = commands_->tasks().Size();
        size_t questions = port_.Questions().size();
        Select(TreeSide::Source, c.source);
        Select(TreeSide::Target, c.target);
        commands_->MigrateCommand();
        std::string question = port_.Questions().size() > questions ? port_.Questions().back() : "";
        EXPECT_EQ(question, c.question);
        if (c.type == 0) {
            EXPECT_EQ(commands_->tasks().Size(), before);
            continue;
        }
        ASSERT_EQ(commands_->tasks().Size(), before + 1) << c.question;
        TaskPtr task = commands_->tasks().At(before);
        EXPECT_EQ(static_cast<int>(task->type), c.type);
        EXPECT_EQ(task->category(), TaskCategory::Migration);
        EXPECT_EQ(task->sourceDatabase, c.sourceDatabase);
        EXPECT_EQ(task->sourceObject, c.sourceObject);
        EXPECT_EQ(task->targetDatabase, c.targetDatabase);
        EXPECT_EQ(task->sourceDbms, "MySQL[10.11]");
        EXPECT_EQ(task->targetDbms, "Microsoft SQL Server[16.00]");
    }
    // The migrate command makes data_cache beside the program, and leaves the current folder.
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(home_) / "data_cache"));
    EXPECT_EQ(std::filesystem::current_path(), previous_);
}

TEST_F(CommandsTest, VerifyQueuesByTheSourceSelection) {
    struct Case {
        NodePath source;
        NodePath target;
        int type;  // 0: nothing queued
        const char* sourceObject;
    };
    const Case cases[] = {
        {{0, 0}, {0, 0}, 270, ""},              // a database
        {{0, 0, 0}, {0, 0}, 270, ""},           // its Tables folder
        {{0, 0, 0, 0}, {0, 0}, 271, "orders"},  // a table
        {{0, 0, 1, 0}, {0, 0}, 0, ""},          // a view has no rows of its own to verify
        {{0, 0}, {0}, 0, ""},                   // the target server instead of a database
    };
    for (const Case& c : cases) {
        size_t before = commands_->tasks().Size();
        Select(TreeSide::Source, c.source);
        Select(TreeSide::Target, c.target);
        commands_->VerifyCommand();
        if (c.type == 0) {
            EXPECT_EQ(commands_->tasks().Size(), before);
            continue;
        }
        ASSERT_EQ(commands_->tasks().Size(), before + 1);
        TaskPtr task = commands_->tasks().At(before);
        EXPECT_EQ(static_cast<int>(task->type), c.type);
        EXPECT_EQ(task->sourceObject, c.sourceObject);
        EXPECT_EQ(task->targetDatabase, "sales");
        EXPECT_EQ(task->options.verify, VerifyMode::Full);
        EXPECT_STREQ(TaskTypeText(task->type), "VERIFY");
    }
    window_->options().verify = VerifyMode::Count;
    Select(TreeSide::Source, NodePath{0, 0});
    Select(TreeSide::Target, NodePath{0, 0});
    commands_->VerifyCommand();
    EXPECT_EQ(commands_->tasks().At(commands_->tasks().Size() - 1)->options.verify, VerifyMode::Count);
}

TEST_F(CommandsTest, ReportShowsTheLastTaskOnly) {
    commands_->ShowReportCommand();
    EXPECT_EQ(port_.Messages().back(), "No task has reported yet.");
    TableReport first;
    first.database = "shop";
    first.name = "old";
    first.result = 1;
    first.rows.text = "TRUE";
    TableReport skipped;
    skipped.database = "shop";
    skipped.name = "order notes";
    skipped.skipped = "its name holds a blank";
    window_->RecordTables({first});
    window_->RecordTables({skipped});
    commands_->ShowReportCommand();
    EXPECT_EQ(port_.Messages().back(),
              "The last task:\n\ntable shop.order notes: skipped, its name holds a blank\n");
}

TEST_F(CommandsTest, MigrateAsksToResumeOnlyWhenTheTargetHoldsTheTable) {
    Select(TreeSide::Source, NodePath{0, 0, 0, 0});
    Select(TreeSide::Target, NodePath{0, 0});
    commands_->MigrateCommand();  // the target has no such table: no question
    ASSERT_EQ(commands_->tasks().Size(), 1u);
    EXPECT_FALSE(commands_->tasks().At(0)->options.resume);
    EXPECT_EQ(port_.Questions().size(), 1u);

    target_->AnswerWith("select count_big(*) from sales.sys.tables where name = N'orders'",
                        test::ScriptedResult::Text({""}, {{"1"}}));
    for (bool resume : {true, false}) {
        port_.QueueAnswer(true);    // convert the table
        port_.QueueAnswer(resume);  // and resume?
        commands_->MigrateCommand();
        EXPECT_NE(port_.Questions().back().find("already holds the table [orders]"), std::string::npos);
        EXPECT_EQ(commands_->tasks().At(commands_->tasks().Size() - 1)->options.resume, resume);
    }
    // With a target schema, a table of that name in dbo is not the task's: only the schema's
    // tables are asked for.
    window_->options().translation = TranslationMode::Full;
    window_->options().targetSchema = "it's";
    const size_t asked = port_.Questions().size();
    port_.QueueAnswer(true);
    commands_->MigrateCommand();
    EXPECT_EQ(port_.Questions().size(), asked + 1);  // the migration's own question only
    target_->AnswerWith("select count_big(*) from sales.sys.tables t join sales.sys.schemas s on s.schema_id = "
                        "t.schema_id where s.name = N'it''s' and t.name = N'orders'",
                        test::ScriptedResult::Text({""}, {{"1"}}));
    port_.QueueAnswer(true);
    port_.QueueAnswer(true);
    commands_->MigrateCommand();
    EXPECT_NE(port_.Questions().back().find("already holds the table [orders]"), std::string::npos);
    EXPECT_TRUE(commands_->tasks().At(commands_->tasks().Size() - 1)->options.resume);
}

TEST_F(CommandsTest, MigrateRefusesWithoutConnectionSelectionOrTargetDatabase) {
    Select(TreeSide::Source, NodePath{0, 0});
    Select(TreeSide::Target, NodePath{0, 0, 0});  // a folder is not a database
    commands_->MigrateCommand();
    Select(TreeSide::Target, NodePath{0});
    Select(TreeSide::Source, NodePath{0, 0, 0, 0});  // a table onto the server node
    commands_->MigrateCommand();
    Select(TreeSide::Source, std::nullopt);
    commands_->MigrateCommand();
    Select(TreeSide::Source, NodePath{0, 0});
    Select(TreeSide::Target, std::nullopt);
    commands_->MigrateCommand();
    port_.QueueAnswer(false);  // Cancel queues nothing
    Select(TreeSide::Target, NodePath{0, 0});
    commands_->MigrateCommand();
    window_->targetTree().Detach();
    commands_->MigrateCommand();
    EXPECT_EQ(port_.Messages(), (std::vector<std::string>{
                                    "Please select a target Database!",
                                    "Please select a target Database!",
                                    "No Selected Source Database Object!",
                                    "No Selected Target Objects!",
                                    "No Target DataSource Connection!"}));
    EXPECT_EQ(port_.Hints().back(), "Please confirm your Target Database Connection is valid!");
    EXPECT_TRUE(commands_->tasks().Empty());
}

TEST_F(CommandsTest, BackupQueuesByTheTargetSelection) {
    struct Case {
        NodePath target;
        int type;
        const char* kind;
        const char* database;
        const char* object;
    };
    const Case cases[] = {{{0, 0}, 513, "A", "sales", ""},  {{0, 0, 0}, 513, "T", "sales", ""},
                          {{0, 0, 1}, 513, "V", "sales", ""}, {{0, 0, 0, 0}, 514, "T", "sales", "t"},
                          {{0, 0, 1, 0}, 514, "V", "sales", "tv"}, {{0}, 0, "", "", ""}};
    for (const Case& c : cases) {
        size_t before = commands_->tasks().Size();
        Select(TreeSide::Target, c.target);
        port_.QueueText(home_ + "/backups");
        commands_->BackupCommand();
        if (c.type == 0) {
            EXPECT_EQ(commands_->tasks().Size(), before);
            continue;
        }
        ASSERT_EQ(commands_->tasks().Size(), before + 1);
        TaskPtr task = commands_->tasks().At(before);
        EXPECT_EQ(static_cast<int>(task->type), c.type);
        EXPECT_EQ(task->objectKind, c.kind);
        EXPECT_EQ(task->targetDatabase, c.database);
        EXPECT_EQ(task->targetObject, c.object);
        EXPECT_EQ(task->sourceDbms, "");
    }
    EXPECT_EQ(window_->backupFolder(), home_ + "/backups");
    // No selection: the message, and an idle scheduler is still started.
    commands_->scheduler().RequestStop();
    commands_->scheduler().WaitUntilIdle();
    Select(TreeSide::Target, std::nullopt);
    commands_->BackupCommand();
    EXPECT_EQ(port_.Messages().back(), "No selected Objects to backup!");
    EXPECT_NE(window_->controllerState(), ControllerState::Idle);
    // A cancelled folder choice queues nothing.
    size_t before = commands_->tasks().Size();
    Select(TreeSide::Target, NodePath{0, 0});
    commands_->BackupCommand();
    EXPECT_EQ(commands_->tasks().Size(), before);
}

TEST_F(CommandsTest, DeleteSelectedOnATablesFolderCountsTheTablesDropped) {
    target_->FailOn("drop table t2", "Cannot drop the table 't2'.");
    Select(TreeSide::Target, NodePath{0, 0, 0});
    commands_->DeleteSelectedCommand();
    EXPECT_EQ(port_.Questions(),
              (std::vector<std::string>{
                  "Delete all the tables of [sales]?",
                  "After remove, you can not restore [sales] again! Continue?\nPress YES to "
                  "Continue Removing!"}));
    // Each drop acts in the folder's database, selected first.
    EXPECT_EQ(target_->Statements(), (std::vector<std::string>{"use sales;", "drop table t",
                                                               "use sales;", "drop table t2"}));
    EXPECT_EQ(window_->log().Messages(), (std::vector<std::string>{
                                             "Delete all the tables of [sales]?",
                                             "[1] tables removed!"}));
    // The failed one stays in the tree.
    auto folder = window_->targetTree().Contents()->At(NodePath{0, 0, 0});
    ASSERT_NE(folder, nullptr);
    ASSERT_EQ(folder->children.size(), 1u);
    EXPECT_EQ(folder->children[0].text, "t2");
}

TEST_F(CommandsTest, DeleteSelectedAsksTwiceAndStopsAtCancelOrNo) {
    Select(TreeSide::Target, NodePath{0, 0, 0, 0});
    port_.QueueAnswer(false);
    commands_->DeleteSelectedCommand();
    port_.QueueAnswer(true);
    port_.QueueAnswer(false);
    commands_->DeleteSelectedCommand();
    EXPECT_TRUE(target_->Statements().empty());
    commands_->DeleteSelectedCommand();
    EXPECT_EQ(target_->Statements(), (std::vector<std::string>{"use sales;", "drop table t"}));
    EXPECT_EQ(port_.Questions().back(),
              "After remove, you can not restore the table [sales.t]! Continue?\nPress YES to "
              "Continue Removing!");
    Select(TreeSide::Target, std::nullopt);
    commands_->DeleteSelectedCommand();
    EXPECT_EQ(port_.Messages().back(), "No selected Object to delete!");
}

TEST_F(CommandsTest, DestructiveCommandsWhileTasksRunOnlyStopThem) {
    window_->SetControllerState(ControllerState::StopRequested);
    commands_->DeleteSelectedCommand();
    EXPECT_EQ(port_.Messages().back(), "Some Tasks is Stopping, Please try again later!!!");
    Select(TreeSide::Target, NodePath{0, 0});
    commands_->ClearAllDataCommand();
    commands_->ClearAllTablesCommand();
    commands_->DeleteDatabaseCommand();
    Select(TreeSide::Target, NodePath{0, 0, 0, 0});
    commands_->DropTableCommand();
    window_->targetTree().SetRenameConfirmed(1);
    EXPECT_FALSE(commands_->EndRename("t_new"));
    EXPECT_EQ(port_.Messages().size(), 6u);
    window_->SetControllerState(ControllerState::Idle);
    EXPECT_TRUE(target_->Statements().empty());
}

TEST_F(CommandsTest, DatabaseCommandsNeedADatabaseAndClearAllDataKeepsTheTables) {
    Select(TreeSide::Target, NodePath{0, 0, 0, 0});
    commands_->DeleteDatabaseCommand();
    EXPECT_EQ(port_.Messages().back(), "No Database in TARGET Side be Selected!");
    Select(TreeSide::Target, NodePath{0, 0});
    commands_->ClearAllDataCommand();
    EXPECT_EQ(target_->Statements(),
              (std::vector<std::string>{"use sales;", "delete from t", "delete from t2"}));
    target_->ClearStatements();
    commands_->ClearAllTablesCommand();
    std::vector<std::string> statements = target_->Statements();
    ASSERT_GE(statements.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(statements.begin(), statements.begin() + 6),
              (std::vector<std::string>{"use sales;", "drop view tv", "use sales;", "drop table t",
                                        "use sales;", "drop table t2"}));
    // The rows of a database whose name cannot be selected are left alone.
    target_->ClearStatements();
    target_->FailOn("use sales;", "Database 'sales' does not exist.");
    window_->targetTree().Replace(SampleTree("mssql", "sales", "t", "tv"));
    Select(TreeSide::Target, NodePath{0, 0});
    commands_->ClearAllDataCommand();
    EXPECT_EQ(target_->Statements(), std::vector<std::string>{"use sales;"});
}

TEST_F(CommandsTest, NewDatabaseOnlyFromTheRootAndRenameOnlyAfterEnter) {
    Select(TreeSide::Target, NodePath{0, 0});
    commands_->NewDatabaseCommand();
    EXPECT_EQ(port_.Messages().back(),
              "Can only create database in TARGET!!!\nPlease Select Target ROOT to create new "
              "database!");
    Select(TreeSide::Target, NodePath{0});
    port_.QueueText(std::string("reports"));
    commands_->NewDatabaseCommand();
    EXPECT_EQ(target_->Statements().front(), "create database reports;");
    target_->ClearStatements();
    // The new database rebuilt the tree from the (empty) scripted catalog: show the sample again.
    window_->targetTree().Replace(SampleTree("mssql", "sales", "t", "tv"));
    Select(TreeSide::Target, NodePath{0, 0, 0, 0});
    EXPECT_FALSE(commands_->EndRename("t_new"));  // Escape or leaving the edit
    EXPECT_TRUE(target_->Statements().empty());
    window_->targetTree().SetRenameConfirmed(1);
    EXPECT_TRUE(commands_->EndRename("t_new"));
    EXPECT_EQ(target_->Statements(),
              (std::vector<std::string>{"use sales;", "sp_rename 't', 't_new', 'object'"}));
    EXPECT_EQ(window_->targetTree().Contents()->At(NodePath{0, 0, 0, 0})->text, "t_new");
    EXPECT_EQ(window_->targetTree().renameConfirmed(), 0);
}

TEST_F(CommandsTest, TaskListCommandsActOnTheSelectedRow) {
    for (const char* name : {"a", "b", "c"}) {
        commands_->QueueTask(TaskType::Table, {"shop", name, "sales", "", ""}, 0);
    }
    commands_->ItemUpCommand(1);
    commands_->ItemDownCommand(std::nullopt);
    commands_->ItemDownCommand(2);  // the last row stays
    commands_->DeleteTaskCommand(0);
    std::vector<std::string> order;
    for (const TaskPtr& task : commands_->tasks().Snapshot()) order.push_back(task->sourceObject);
    EXPECT_EQ(order, (std::vector<std::string>{"a", "c"}));
    commands_->ClearAllTasksCommand();
    EXPECT_TRUE(commands_->tasks().Empty());
    // Names longer than the slot are cut to 255 bytes.
    TaskPtr task = commands_->QueueTask(TaskType::Table, {std::string(300, 'd'), "", "", "", ""}, 0);
    EXPECT_EQ(task->sourceDatabase.size(), 255u);
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// The Yes/No warning of Delete Selected carries the warning icon for a database and a views
// folder, none for a table, a tables folder or a view; Cancel at the first question asks nothing
// more.
TEST_F(CommandsTest, DeleteWarningsCarryTheirIcons) {
    const std::vector<std::pair<NodePath, MessageIcon>> cases = {
        {{0, 0}, MessageIcon::Warning},        // database
        {{0, 0, 0}, MessageIcon::None},        // tables folder
        {{0, 0, 0, 0}, MessageIcon::None},     // table
        {{0, 0, 1}, MessageIcon::Warning},     // views folder
        {{0, 0, 1, 0}, MessageIcon::None},     // view
    };
    for (const auto& [path, icon] : cases) {
        Select(TreeSide::Target, path);
        port_.QueueAnswer(true);
        port_.QueueAnswer(false);  // No at the warning: nothing is dropped
        commands_->DeleteSelectedCommand();
        ASSERT_FALSE(port_.YesNoIcons().empty());
        EXPECT_EQ(port_.YesNoIcons().back(), icon) << path.size();
    }
    EXPECT_EQ(port_.YesNoIcons().size(), cases.size());
    EXPECT_TRUE(target_->Statements().empty());
    // The database menu's commands warn with the icon as well.
    Select(TreeSide::Target, NodePath{0, 0});
    port_.QueueAnswer(true);
    port_.QueueAnswer(false);
    commands_->ClearAllTablesCommand();
    EXPECT_EQ(port_.YesNoIcons().back(), MessageIcon::Warning);
}

// Tables and views of another schema than dbo, shown as schema.name beside dbo's of the same
// name: every command acts on that schema's object, never on dbo's.
TEST_F(CommandsTest, CommandsOnAnObjectOfAnotherSchemaActInThatSchema) {
    auto tree = [] {
        TreeContents contents = SampleTree("mssql", "sales", "orders", "recent");
        TreeNode& db = contents.topLevel[0].children[0];
        db.children[0].children[1] = TreeNode{kTableNode, "order archive.orders", false, {}, "order archive"};
        db.children[1].Append(kViewNode, "order archive.recent");
        db.children[1].children[1].schema = "order archive";
        return contents;
    };
    const NodePath table{0, 0, 0, 1}, view{0, 0, 1, 1};
    struct Case {
        const char* what;
        NodePath selected;
        std::function<void()> command;
        std::vector<std::string> statements;
    };
    const Case cases[] = {
        {"drop table", table, [&] { commands_->DropTableCommand(); }, {"use sales;", "drop table [order archive].orders"}},
        {"drop view", view, [&] { commands_->DropViewCommand(); }, {"use sales;", "drop view [order archive].recent"}},
        {"delete table", table, [&] { commands_->DeleteSelectedCommand(); }, {"use sales;", "drop table [order archive].orders"}},
        {"delete views", {0, 0, 1}, [&] { commands_->DeleteSelectedCommand(); },
         {"use sales;", "drop view recent", "use sales;", "drop view [order archive].recent"}},
        {"clear data", {0, 0}, [&] { commands_->ClearAllDataCommand(); },
         {"use sales;", "delete from orders", "delete from [order archive].orders"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        window_->targetTree().Replace(tree());
        target_->ClearStatements();
        Select(TreeSide::Target, c.selected);
        for (int i = 0; i < 2; ++i) port_.QueueAnswer(true);
        c.command();
        EXPECT_EQ(target_->Statements(), c.statements);
    }
    // Rename keeps the object in its schema, whether the edit kept the schema's part or not.
    for (const char* edited : {"old orders", "order archive.old orders"}) {
        window_->targetTree().Replace(tree());
        target_->ClearStatements();
        Select(TreeSide::Target, table);
        window_->targetTree().SetRenameConfirmed(1);
        EXPECT_TRUE(commands_->EndRename(edited));
        EXPECT_EQ(target_->Statements(),
                  (std::vector<std::string>{"use sales;", "sp_rename '[order archive].orders', 'old orders', 'object'"}));
        const TreeNode* renamed = window_->targetTree().Contents()->At(table);
        EXPECT_EQ(renamed->text, "order archive.old orders");
        EXPECT_EQ(renamed->ObjectName(), "old orders");
    }
    // A backup of one object carries its own name and its schema; dbo's carries none, whatever
    // the window's target schema.
    window_->options().targetSchema = "elsewhere";
    window_->targetTree().Replace(tree());
    for (const auto& [path, schema] : {std::pair<NodePath, std::string>{table, "order archive"}, {{0, 0, 0, 0}, ""}}) {
        const size_t before = commands_->tasks().Size();
        Select(TreeSide::Target, path);
        port_.QueueText(home_ + "/backups");
        commands_->BackupCommand();
        ASSERT_EQ(commands_->tasks().Size(), before + 1);
        TaskPtr task = commands_->tasks().At(before);
        EXPECT_EQ(task->targetObject, "orders");
        EXPECT_EQ(task->options.targetSchema, schema);
    }
}

}  // namespace
}  // namespace velmora
