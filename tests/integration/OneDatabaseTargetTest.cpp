// Targets that work in one database per connection (Azure SQL Database, Babelfish), played by
// the target double's one-database mode: the target tree, migrations, backups and the error
// texts when the catalog call fails. The source is the real local MariaDB (the sample "shop").
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "commands/ConnectCommands.h"
#include "commands/MainWindowCommands.h"
#include "data/OdbcConnection.h"
#include "explorer/TreeFill.h"
#include "backup/TargetBackup.h"
#include "support/ConversionFixture.h"
#include "support/LocalMariaDb.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using Names = std::vector<std::string>;
using test::CountContaining;
using test::kBabelfishVersion;

constexpr const char* kListQuery = "SELECT name FROM sys.databases ORDER BY name";

Names Texts(const TreeNode& node) {
    Names texts;
    for (const TreeNode& child : node.children) texts.push_back(child.text);
    return texts;
}

// The last lines of a long log, for failure output.
Names Tail(const Names& lines) {
    return Names(lines.end() - static_cast<std::ptrdiff_t>(std::min<size_t>(lines.size(), 8)), lines.end());
}

// The window connected to a target double; the tree is filled by the connect sequence.
class OneDatabaseTree : public ::testing::Test {
protected:
    OneDatabaseTree() {
        auto target = std::make_unique<test::TargetDouble>();
        double_ = target.get();
        window_ = std::make_unique<MainWindowModel>(port_, NewOdbcConnection(), std::move(target));
        double_->AddCatalog("master");
        double_->AddCatalog("acme_bf");
        double_->AddTable("acme_bf", "orders");
        double_->AddColumn("acme_bf", "orders", "id");
        double_->AddTable("acme_bf", "v_orders", "VIEW");
        window_->targetSettings = {"TCP/IP:Port", "MSDASQL", "bf01:1433", "sa", "pw", "acme_bf"};
    }
    const TreeNode& Root() { return window_->targetTree().Contents()->topLevel.at(0); }

    test::ScriptedPort port_;
    test::TargetDouble* double_ = nullptr;
    std::unique_ptr<MainWindowModel> window_;
};

TEST_F(OneDatabaseTree, BabelfishListsDatabasesByQueryAndReportsTheRefusalOnce) {
    double_->WorkInOneDatabase();
    ASSERT_TRUE(ConnectTarget(*window_));
    EXPECT_EQ(window_->targetKind, TargetKind::Babelfish);
    EXPECT_EQ(window_->targetTree().title(), "Microsoft SQL Server[16.00.4135] (Babelfish)");
    EXPECT_EQ(double_->openedOn(), "acme_bf");
    EXPECT_EQ(Texts(Root()), (Names{"acme_bf", "master"}));
    const auto contents = window_->targetTree().Contents();
    ASSERT_TRUE(contents->currentDatabaseNode.has_value());
    const TreeNode& database = *contents->At(*contents->currentDatabaseNode);
    EXPECT_EQ(database.text, "acme_bf");
    EXPECT_EQ(Texts(database.children.at(0)), Names{"orders"});
    EXPECT_EQ(Texts(database.children.at(1)), Names{"v_orders"});

    FillDatabaseTree(window_->targetTree(), window_->log(), port_);  // a refresh
    FillDatabaseTree(window_->targetTree(), window_->log(), port_);
    const Names lines = port_.OutputLines();
    EXPECT_EQ(CountContaining(lines, test::kCurrentDatabaseRefusal), 1u)
        << ::testing::PrintToString(lines);
    // Information, once, not worded as a failure.
    EXPECT_EQ(CountContaining(lines, "the databases are listed from sys.databases"), 1u);
    EXPECT_EQ(CountContaining(lines, "failed"), 0u) << ::testing::PrintToString(lines);
    EXPECT_EQ(CountContaining(lines, "The target is Babelfish"), 1u);
    EXPECT_EQ(double_->Statements(), (Names{kListQuery, kListQuery, kListQuery}));
    EXPECT_EQ(test::DescribeTsqlProblems(kListQuery), "");
}

TEST_F(OneDatabaseTree, AzureSqlDatabaseIsKnownByItsEdition) {
    double_->SetProperty(kPropServerEngineEdition, "5");
    double_->WorkInOneDatabase(std::nullopt);  // its catalog call lists the catalogs
    ASSERT_TRUE(ConnectTarget(*window_));
    EXPECT_EQ(window_->targetKind, TargetKind::AzureSqlDatabase);
    EXPECT_EQ(Texts(Root()), (Names{"master", "acme_bf"}));
    EXPECT_EQ(CountContaining(port_.OutputLines(), "The target is Azure SQL Database"), 1u);
    EXPECT_TRUE(double_->Statements().empty());
}

TEST_F(OneDatabaseTree, AnySqlServerFallsBackWhenTheCatalogCallFails) {
    double_->FailCatalogCall("[FreeTDS][SQL Server]Unknown error");
    ASSERT_TRUE(ConnectTarget(*window_));
    EXPECT_EQ(window_->targetKind, TargetKind::SqlServer);
    EXPECT_EQ(Texts(Root()), (Names{"acme_bf", "master"}));
    EXPECT_EQ(CountContaining(port_.OutputLines(), "the driver said: [FreeTDS][SQL Server]Unknown error"), 1u);
}

TEST_F(OneDatabaseTree, WhenTheQueryFailsTooBothReasonsAreLoggedOnce) {
    double_->FailCatalogCall("catalog call failed");
    double_->FailOn(kListQuery, "The SELECT permission was denied on the object 'databases'.");
    ASSERT_TRUE(ConnectTarget(*window_));
    FillDatabaseTree(window_->targetTree(), window_->log(), port_);
    const Names lines = port_.OutputLines();
    EXPECT_EQ(CountContaining(lines, "catalog call failed"), 1u) << ::testing::PrintToString(lines);
    EXPECT_EQ(CountContaining(lines, "The SELECT permission was denied"), 1u);
    EXPECT_TRUE(Texts(Root()).empty());
}

TEST(ServerPropertyQueries, ParseAsTsql) {
    for (uint32_t id : {kPropServerEngineEdition, kPropServerVersionText}) {
        ASSERT_STRNE(ServerPropertyQuery(id), "");
        EXPECT_EQ(test::DescribeTsqlProblems(ServerPropertyQuery(id)), "") << id;
    }
}

// Tasks against a Babelfish-like target: every connection a task opens is a new connection to
// the double's server, opened on the database named in its properties.
class OneDatabaseTasks : public test::ConversionFixture {
protected:
    void SetUp() override {
        ConversionFixture::SetUp();
        test::MariaDbAddress db = test::LocalMariaDb();
        main_->sourceSettings = {"TCP/IP:Port", "MSDASQL", db.host + ":" + std::to_string(db.port),
                                 db.user, db.password, ""};
        main_->targetSettings = {"TCP/IP:Port", "MSDASQL", "bf01:1433", "sa", "pw", ""};
        target_->AddCatalog("master");
        target_->AddCatalog("sales");
        target_->SetProperty(kPropServerVersionText, kBabelfishVersion);
        target_->WorkInOneDatabase();
        test::TargetDouble* server = target_;
        main_->connectionFactory = [server](TreeSide side) -> std::unique_ptr<DataSourceConnection> {
            if (side == TreeSide::Target) return server->NewConnection();
            return NewOdbcConnection();
        };
        main_->options().translation = TranslationMode::Classic;
        UseOnlineWait(OnlineWait{});
    }
    // The scheduler runs the window's tasks with this wait for a new database.
    void UseOnlineWait(OnlineWait wait) {
        SchedulerTimings fast;
        fast.passInterval = 10ms;
        fast.threadStartDelay = fast.startWait = fast.workerStartDelay = fast.closeWait = 0ms;
        TaskEnvironment environment = WindowTaskEnvironment(*main_);
        environment.onlineWait = wait;
        commands_.reset();
        commands_ = std::make_unique<MainWindowCommands>(*main_, MakeTaskRunner(environment), fast);
    }
    void TearDown() override {
        commands_.reset();
        ConversionFixture::TearDown();
    }
    TaskPtr Run(TaskType type, const TaskNames& names) {
        TaskPtr task = commands_->QueueTask(type, names, 0);
        commands_->scheduler().StartScheduler();
        commands_->scheduler().WaitUntilIdle();
        return task;
    }

    // The sample's one table that no migration takes (its name holds a blank) is the task's
    // only failure: everything else worked on the target.
    void ExpectOnlyTheBlankNamedTableFailed(const TaskPtr& task) {
        EXPECT_EQ(task->status.load(), kTaskFailed);
        const Names messages = Messages();
        EXPECT_EQ(CountContaining(messages, "FAILED:"), 1u) << ::testing::PrintToString(Tail(messages));
        EXPECT_EQ(CountContaining(messages, "FAILED: table order notes: skipped"), 1u);
    }

    std::unique_ptr<MainWindowCommands> commands_;
};

TEST_F(OneDatabaseTasks, ADatabaseMigrationRunsOnAConnectionToItsDatabase) {
    TaskPtr task = Run(TaskType::Database, {"shop", "", "sales", "", ""});
    ExpectOnlyTheBlankNamedTableFailed(task);
    const Names all = target_->Statements();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(target_->StatementsOn("sales"), all);  // nothing ran anywhere else
    EXPECT_EQ(all.front(), "USE sales");              // the run lock's, then the task's: accepted
    EXPECT_EQ(TargetStatementsStartingWith("use sales;").size(), 1u);
    EXPECT_FALSE(TargetStatementsStartingWith("create table").empty());
    ExpectTargetStatementsParse();
}

// Babelfish ignores SET IDENTITY_INSERT on a name with a blank: in Full such a table with an
// identity is created and loaded under a plain name (a leftover of that name dropped first), then
// renamed; its indexes and reseed follow under its own name.
TEST_F(OneDatabaseTasks, InFullABlankNamedIdentityTableIsLoadedUnderAPlainNameThenRenamed) {
    main_->options().translation = TranslationMode::Full;
    TaskPtr task = Run(TaskType::Table, {"shop", "order notes", "sales", "", ""});
    EXPECT_EQ(task->status.load(), kTaskSucceeded) << ::testing::PrintToString(Tail(Messages()));
    const Names creates = TargetStatementsStartingWith("CREATE TABLE");
    ASSERT_EQ(creates.size(), 1u) << ::testing::PrintToString(creates);
    const std::string loading = creates[0].substr(13, creates[0].find(' ', 13) - 13);
    EXPECT_EQ(loading.rfind("velmora_load_", 0), 0u) << loading;
    const Names all = target_->Statements();
    auto at = [&](const std::string& prefix) {
        return std::find_if(all.begin(), all.end(), [&](const std::string& s) { return s.rfind(prefix, 0) == 0; }) -
               all.begin();
    };
    const auto drop = at("IF OBJECT_ID(N'" + loading + "') IS NOT NULL DROP TABLE " + loading);
    const auto identityOn = at("SET IDENTITY_INSERT " + loading + " ON");
    const auto insert = at("INSERT INTO " + loading + " (id,order_id,body) VALUES ");
    const auto rename = at("EXEC sp_rename N'" + loading + "', N'order notes', N'OBJECT'");
    const auto reseed = at("IF EXISTS (SELECT 1 FROM [order notes])");
    const auto end = static_cast<std::ptrdiff_t>(all.size());
    EXPECT_LT(drop, at("CREATE TABLE"));
    EXPECT_LT(at("CREATE TABLE"), identityOn);
    EXPECT_LT(identityOn, insert);
    EXPECT_LT(insert, rename);
    EXPECT_LT(rename, reseed);
    EXPECT_LT(reseed, end) << ::testing::PrintToString(all);
    EXPECT_TRUE(TargetStatementsStartingWith("INSERT INTO [order notes]").empty());
    ExpectTargetStatementsParse();
}

TEST_F(OneDatabaseTasks, ACloneCreatesTheDatabaseFromMasterThenConnectsToIt) {
    const std::string name = test::ProcessDatabaseName("velmora_bf_clone_");
    main_->targetSettings.catalogName = "sales";  // the clone still creates from master
    TaskPtr task = Run(TaskType::CloneDatabase, {"shop", "", name, "", ""});
    ExpectOnlyTheBlankNamedTableFailed(task);
    const Names onMaster = target_->StatementsOn("master");
    ASSERT_EQ(onMaster.size(), 1u) << ::testing::PrintToString(onMaster);
    EXPECT_EQ(onMaster.front().rfind("create database", 0), 0u) << onMaster.front();
    const Names onNew = target_->StatementsOn(name);
    EXPECT_EQ(onNew.size() + 1, target_->Statements().size());
    EXPECT_EQ(std::count_if(onNew.begin(), onNew.end(),
                            [](const std::string& s) { return s.rfind("use ", 0) == 0; }),
              0);
    ExpectTargetStatementsParse();
}

TEST_F(OneDatabaseTasks, ACloneWaitsForItsNewDatabaseToComeOnline) {
    const std::string name = test::ProcessDatabaseName("velmora_bf_online_");
    const std::string offline = "Database '" + name + "' on server 'bf01' is not currently available.";
    target_->RefuseOpenOn(name, 2, offline);
    UseOnlineWait(OnlineWait{4, 1ms});
    TaskPtr task = Run(TaskType::CloneDatabase, {"shop", "", name, "", ""});
    ExpectOnlyTheBlankNamedTableFailed(task);
    const Names lines = port_.OutputLines();
    EXPECT_EQ(CountContaining(lines, "Waiting for database [" + name + "] to come online"), 2u)
        << ::testing::PrintToString(Tail(lines));
    EXPECT_EQ(CountContaining(lines, "Waiting for database [" + name + "] to come online (1/3)"), 1u);
    EXPECT_EQ(CountContaining(lines, offline), 2u);  // the server's reason at each refusal
    EXPECT_FALSE(target_->StatementsOn(name).empty());
    ExpectTargetStatementsParse();
}

TEST_F(OneDatabaseTasks, ANewDatabaseThatNeverComesOnlineFailsTheCloneAfterTheBoundedWait) {
    const std::string name = test::ProcessDatabaseName("velmora_bf_offline_");
    target_->RefuseOpenOn(name, 1000, "Database '" + name + "' is not currently available.");
    UseOnlineWait(OnlineWait{3, 1ms});
    TaskPtr task = Run(TaskType::CloneDatabase, {"shop", "", name, "", ""});
    EXPECT_EQ(task->status.load(), kTaskFailed);
    const Names lines = port_.OutputLines();
    EXPECT_EQ(CountContaining(lines, "to come online"), 2u) << ::testing::PrintToString(Tail(lines));
    EXPECT_EQ(CountContaining(lines, "Babelfish: database [" + name + "] cannot be connected to!"), 1u);
    // The create database, and the drop of what this run created when it cannot go on.
    const std::vector<std::string> onMaster = target_->StatementsOn("master");
    ASSERT_EQ(onMaster.size(), 2u);
    EXPECT_EQ(onMaster[1], "drop database " + name + ";");
    EXPECT_EQ(CountContaining(lines, "The database [" + name + "] that this run created was dropped again."), 1u);
    EXPECT_TRUE(target_->StatementsOn(name).empty());
}

TEST_F(OneDatabaseTasks, ABackupOfADatabaseListsItsTablesAndViewsOnItsOwnConnection) {
    target_->AddTable("sales", "orders");
    target_->AddTable("sales", "v_totals", "VIEW");
    target_->AnswerWith(TableDefinitionQuery("orders"),
                        test::ScriptedResult::Text({"Column_name", "Type", "Length", "Nullable", "Default"},
                                                   {{"id", "int", " ", "NOT NULL", ""}}));
    target_->AnswerWith("select * from orders", test::ScriptedResult::Text({"id"}, {{"1"}}));
    target_->AnswerWith("sp_helptext v_totals",
                        test::ScriptedResult::Text({"Text"}, {{"CREATE VIEW v_totals AS SELECT 1\n"}}));
    main_->SetBackupFolder(workFolder_ + "/backups");
    TaskPtr task = Run(TaskType::BackupDatabase, {"", "", "sales", "", "A"});
    EXPECT_EQ(task->status.load(), kTaskSucceeded) << ::testing::PrintToString(Tail(Messages()));
    EXPECT_TRUE(std::filesystem::exists(workFolder_ + "/backups/sales/VIEWS/v_totals.vw"));
    EXPECT_TRUE(std::filesystem::exists(workFolder_ + "/backups/sales/TABLES/orders.tbl"));
    EXPECT_EQ(target_->StatementsOn("sales"), target_->Statements());
}

TEST_F(OneDatabaseTasks, AVerificationCountsTheRowsOnAConnectionToItsDatabase) {
    target_->AnswerWhen([](const std::string& s) { return s.rfind("select count_big(*)", 0) == 0; },
                        test::ScriptedResult::Text({""}, {{"5"}}));
    main_->options().verify = VerifyMode::Count;
    TaskPtr task = Run(TaskType::VerifyTable, {"shop", "categories", "sales", "", ""});
    EXPECT_EQ(task->status.load(), kTaskSucceeded) << ::testing::PrintToString(Tail(Messages()));
    ASSERT_FALSE(TargetStatementsStartingWith("select count_big(*)").empty());
    EXPECT_EQ(target_->StatementsOn("sales"), target_->Statements());
    ExpectTargetStatementsParse();
}

TEST_F(OneDatabaseTasks, ATargetThatCannotBeConnectedToFailsTheTaskWithTheReason) {
    target_->RefuseOpen("Cannot open database \"gone\" requested by the login.");
    TaskPtr task = Run(TaskType::BackupDatabase, {"", "", "gone", "", "A"});
    EXPECT_EQ(task->status.load(), kTaskFailed);
    EXPECT_TRUE(target_->Statements().empty());
    EXPECT_EQ(CountContaining(port_.OutputLines(), "Cannot open database \"gone\""), 1u)
        << ::testing::PrintToString(port_.OutputLines());
}

}  // namespace
}  // namespace velmora
