// The window's commands on a target that works in one database per connection (Babelfish here,
// played by the target double): work on another database than the one the window's connection
// is on is refused up front, naming the target's kind; databases are created and dropped over a
// connection to master; a double click on a database moves the connection there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "commands/ConnectCommands.h"
#include "commands/MainWindowCommands.h"
#include "explorer/TreeGestures.h"
#include "support/ScriptedPort.h"
#include "support/TargetDouble.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using Names = std::vector<std::string>;
using test::CountContaining;
using test::kBabelfishVersion;


Names Texts(const TreeNode& node) {
    Names texts;
    for (const TreeNode& child : node.children) texts.push_back(child.text);
    return texts;
}

class OneDatabaseCommands : public ::testing::Test {
protected:
    void SetUp() override {
        auto target = std::make_unique<test::TargetDouble>();
        double_ = target.get();
        window_ = std::make_unique<MainWindowModel>(port_, std::make_unique<test::TargetDouble>(false),
                                                    std::move(target));
        for (const char* name : {"master", "acme_bf", "sales"}) double_->AddCatalog(name);
        double_->AddTable("acme_bf", "orders");
        double_->AddTable("acme_bf", "v_orders", "VIEW");
        double_->AddTable("sales", "invoices");
        double_->SetProperty(kPropServerVersionText, kBabelfishVersion);
        double_->WorkInOneDatabase();
        test::TargetDouble* server = double_;
        window_->connectionFactory = [server](TreeSide side) -> std::unique_ptr<DataSourceConnection> {
            if (side == TreeSide::Target) return server->NewConnection();
            return nullptr;
        };
        window_->targetSettings = {"TCP/IP:Port", "MSDASQL", "bf01:1433", "sa", "pw", "acme_bf"};
        ASSERT_TRUE(ConnectTarget(*window_));
        ASSERT_EQ(window_->targetKind, TargetKind::Babelfish);
        SchedulerTimings fast;
        fast.passInterval = 5ms;
        fast.threadStartDelay = fast.startWait = fast.workerStartDelay = fast.closeWait = 0ms;
        commands_ = std::make_unique<MainWindowCommands>(*window_, fast);
        double_->ClearStatements();
    }

    DatabaseTree& tree() { return window_->targetTree(); }
    // The path of a database node by its name.
    NodePath DatabaseNode(const std::string& name) {
        const Names names = Texts(tree().Contents()->topLevel.at(0));
        const auto at = std::find(names.begin(), names.end(), name);
        EXPECT_NE(at, names.end()) << name;
        return NodePath{0, static_cast<size_t>(at - names.begin())};
    }
    void SelectDatabase(const std::string& name) { tree().Select(DatabaseNode(name)); }

    test::ScriptedPort port_;
    test::TargetDouble* double_ = nullptr;
    std::unique_ptr<MainWindowModel> window_;
    std::unique_ptr<MainWindowCommands> commands_;
};

struct RefusalCase {
    const char* name;
    const char* database;
    void (MainWindowCommands::*command)();
    const char* refusal;
};

TEST_F(OneDatabaseCommands, WorkOutsideTheConnectionsDatabaseIsRefusedBeforeAnyQuestion) {
    const RefusalCase cases[] = {
        {"clear tables", "sales", &MainWindowCommands::ClearAllTablesCommand,
         "Dropping the tables of [sales] cannot run on Babelfish: a connection there works only "
         "in its own database."},
        {"clear data", "sales", &MainWindowCommands::ClearAllDataCommand,
         "Deleting the data of [sales] cannot run on Babelfish: a connection there works only in "
         "its own database."},
        {"drop own database", "acme_bf", &MainWindowCommands::DeleteDatabaseCommand,
         "Dropping database [acme_bf] while the target tree works in it cannot run on Babelfish"},
        {"delete own database", "acme_bf", &MainWindowCommands::DeleteSelectedCommand,
         "Dropping database [acme_bf] while the target tree works in it cannot run on Babelfish"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        SelectDatabase(c.database);
        const size_t before = port_.OutputLines().size();
        (commands_.get()->*c.command)();
        const Names all = port_.OutputLines();
        const Names lines(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
        EXPECT_EQ(CountContaining(lines, c.refusal), 1u) << ::testing::PrintToString(lines);
        EXPECT_EQ(CountContaining(lines, "The target tree works in [acme_bf]"), 1u);
        EXPECT_TRUE(port_.Questions().empty()) << ::testing::PrintToString(port_.Questions());
        EXPECT_TRUE(double_->Statements().empty()) << ::testing::PrintToString(double_->Statements());
    }
}

TEST_F(OneDatabaseCommands, WorkInTheConnectionsDatabaseRunsThere) {
    SelectDatabase("acme_bf");
    port_.QueueAnswer(true);
    port_.QueueAnswer(true);
    commands_->ClearAllDataCommand();
    const Names statements = double_->Statements();
    EXPECT_EQ(double_->StatementsOn("acme_bf"), statements);
    EXPECT_EQ(CountContaining(statements, "use acme_bf;"), 1u) << ::testing::PrintToString(statements);
    EXPECT_EQ(CountContaining(statements, "delete from orders"), 1u);
}

TEST_F(OneDatabaseCommands, DatabasesAreCreatedAndDroppedOverAConnectionToMaster) {
    tree().Select(NodePath{0});
    port_.QueueText(std::string("fresh"));
    commands_->NewDatabaseCommand();
    SelectDatabase("sales");
    port_.QueueAnswer(true);
    port_.QueueAnswer(true);
    commands_->DeleteDatabaseCommand();
    EXPECT_EQ(double_->StatementsOn("master"), (Names{"create database fresh;", "drop database sales;"}));
    EXPECT_EQ(CountContaining(double_->Statements(), "database "), 2u);  // nowhere else
    EXPECT_EQ(double_->openedOn(), "acme_bf");  // the window's own connection stayed
    const auto contents = tree().Contents();  // and so did the tree's database and its tables
    ASSERT_TRUE(contents->currentDatabaseNode.has_value());
    EXPECT_EQ(contents->At(*contents->currentDatabaseNode)->text, "acme_bf");
    EXPECT_EQ(Texts(contents->At(*contents->currentDatabaseNode)->children.at(0)), Names{"orders"});
    for (const std::string& s : double_->StatementsOn("master")) EXPECT_EQ(test::DescribeTsqlProblems(s), "");
}

TEST_F(OneDatabaseCommands, ADoubleClickConnectsTheTreeToThatDatabase) {
    DoubleClickNode(window_->log(), port_, tree(), DatabaseNode("sales"));
    EXPECT_EQ(double_->openedOn(), "sales");
    EXPECT_EQ(window_->targetSettings.catalogName, "acme_bf");  // the saved settings stay
    EXPECT_EQ(CountContaining(double_->Statements(), "use "), 0u);
    const auto contents = tree().Contents();
    ASSERT_TRUE(contents->currentDatabaseNode.has_value());
    const TreeNode& database = *contents->At(*contents->currentDatabaseNode);
    EXPECT_EQ(database.text, "sales");
    EXPECT_EQ(Texts(database.children.at(0)), Names{"invoices"});
    EXPECT_EQ(tree().title(), "Microsoft SQL Server[16.00.4135] (Babelfish)");

    // Work in it is no longer refused; work in the database it left now is.
    SelectDatabase("acme_bf");
    commands_->ClearAllDataCommand();
    EXPECT_EQ(CountContaining(port_.OutputLines(), "Deleting the data of [acme_bf] cannot run on Babelfish"), 1u);
}

TEST_F(OneDatabaseCommands, ADatabaseThatCannotBeOpenedLeavesTheTreeWhereItWas) {
    double_->RefuseOpenOn("sales", 1, "Database 'sales' is not currently available.");
    DoubleClickNode(window_->log(), port_, tree(), DatabaseNode("sales"));
    EXPECT_EQ(double_->openedOn(), "acme_bf");
    EXPECT_EQ(CountContaining(port_.OutputLines(), "Database 'sales' is not currently available."), 1u)
        << ::testing::PrintToString(port_.OutputLines());
    ASSERT_NE(tree().session(), nullptr);
    const auto contents = tree().Contents();
    ASSERT_TRUE(contents->currentDatabaseNode.has_value());
    EXPECT_EQ(contents->At(*contents->currentDatabaseNode)->text, "acme_bf");
}

TEST_F(OneDatabaseCommands, TheResumeQuestionLooksInTheTargetDatabaseWithoutAThreePartName) {
    char home[] = "/tmp/velmora-onedb-XXXXXX";
    ASSERT_NE(mkdtemp(home), nullptr);
    setenv("VELMORA_HOME", home, 1);
    const std::filesystem::path previous = std::filesystem::current_path();
    TreeContents source;
    source.topLevel.push_back({kRootNode, "mysql", true, {}});
    source.topLevel[0].Append(kDatabaseNode, "shop");
    source.topLevel[0].children[0].Append(kTablesFolderNode, "Tables");
    source.topLevel[0].children[0].children[0].Append(kTableNode, "orders");
    window_->sourceTree().Replace(source);
    window_->sourceTree().Select(NodePath{0, 0, 0, 0});
    SelectDatabase("sales");
    const std::string lookup = "select count_big(*) from sys.tables where name = N'orders'";
    double_->AnswerWith(lookup, test::ScriptedResult::Text({""}, {{"1"}}));
    {
        SchedulerTimings fast;
        fast.passInterval = 5ms;
        fast.threadStartDelay = fast.startWait = fast.workerStartDelay = fast.closeWait = 0ms;
        MainWindowCommands queueOnly(*window_, [](MigrationTask&) { return true; }, fast);
        port_.QueueAnswer(true);  // convert the table
        port_.QueueAnswer(true);  // and resume
        queueOnly.MigrateCommand();
        ASSERT_EQ(queueOnly.tasks().Size(), 1u);
        EXPECT_TRUE(queueOnly.tasks().At(0)->options.resume);
    }
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(home);
    unsetenv("VELMORA_HOME");
    EXPECT_EQ(double_->StatementsOn("sales"), Names{lookup});
    EXPECT_EQ(double_->openedOn(), "acme_bf");
    EXPECT_EQ(test::DescribeTsqlProblems(lookup), "");
}

TEST(SqlServerTree, ADoubleClickStillRunsUseOnTheSameConnection) {
    test::ScriptedPort port;
    auto target = std::make_unique<test::TargetDouble>();
    test::TargetDouble& server = *target;
    MainWindowModel window(port, std::make_unique<test::TargetDouble>(false), std::move(target));
    server.AddCatalog("master");
    server.AddCatalog("sales");
    window.targetSettings = {"TCP/IP:Port", "MSDASQL", "db01:1433", "sa", "pw", "master"};
    ASSERT_TRUE(ConnectTarget(window));
    EXPECT_FALSE(window.targetTree().databaseOpener());
    const int opens = server.openCount();
    DoubleClickNode(window.log(), port, window.targetTree(), NodePath{0, 1});
    EXPECT_EQ(server.Statements(), Names{"use sales;"});
    EXPECT_EQ(server.openCount(), opens);
}

}  // namespace
}  // namespace velmora
