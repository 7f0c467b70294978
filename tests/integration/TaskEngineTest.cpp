// Every task type end to end: the real local MariaDB as source, the scripted target, the real
// scheduler thread and worker bodies.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "Converters/Thread/WorkerBodies.h"
#include "commands/MainWindowCommands.h"
#include "support/ConversionFixture.h"
#include "data/OdbcConnection.h"
#include "support/SharedConnection.h"
#include "support/LocalMariaDb.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

class TaskEngineTest : public test::ConversionFixture {
protected:
    void SetUp() override {
        ConversionFixture::SetUp();
        test::MariaDbAddress db = test::LocalMariaDb();
        // Every task opens its own connections from the settings: the source is the local
        // MariaDB, the target stands for the fixture's target double.
        main_->sourceSettings = {"TCP/IP:Port", "MSDASQL",
                                 db.host + ":" + std::to_string(db.port), db.user, db.password,
                                 ""};
        main_->targetSettings = {"TCP/IP:Port", "MSDASQL", "mssql01:1433", "sa", "pw", ""};
        DataSourceConnection* target = context_.targetConnection.get();
        main_->connectionFactory = [target](TreeSide side) -> std::unique_ptr<DataSourceConnection> {
            if (side == TreeSide::Target) return std::make_unique<test::SharedConnection>(*target);
            return NewOdbcConnection();
        };
        target_->AddCatalog("sales");
        // These tests check the classic statements; a task keeps the mode it was queued with.
        main_->options().translation = TranslationMode::Classic;
        SchedulerTimings fast;
        fast.passInterval = 10ms;
        fast.threadStartDelay = fast.startWait = fast.workerStartDelay = fast.closeWait = 0ms;
        commands_ = std::make_unique<MainWindowCommands>(*main_, fast);
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

    bool Logged(const std::string& message) const {
        std::vector<std::string> messages = Messages();
        return std::find(messages.begin(), messages.end(), message) != messages.end();
    }

    std::unique_ptr<MainWindowCommands> commands_;
};

TEST_F(TaskEngineTest, TableTaskSelectsBothDatabasesConvertsAndSucceeds) {
    TaskPtr task = Run(TaskType::Table, {"shop", "categories", "sales", "", ""});
    EXPECT_EQ(task->status.load(), kTaskSucceeded);
    EXPECT_STREQ(PhaseText(task->phase), "SUCCESS");
    EXPECT_EQ(task->progress.load(), 100);
    std::vector<std::string> statements = target_->Statements();
    ASSERT_GE(statements.size(), 6u);
    // The task holds the run lock of its target database before it writes, naming itself to
    // any other run, and gives it back at its end.
    EXPECT_EQ(statements[0], "USE sales");
    EXPECT_NE(statements[1].find("sp_getapplock @Resource = N'velmora.run:sales', @LockMode = N'Exclusive'"),
              std::string::npos) << statements[1];
    EXPECT_NE(statements[2].find("N'velmora migrate table on host "), std::string::npos) << statements[2];
    EXPECT_EQ(statements[3], "use sales;");
    EXPECT_EQ(statements[4].rfind("create table categories (", 0), 0u) << statements[4];
    EXPECT_NE(statements.back().find("sp_releaseapplock @Resource = N'velmora.run:sales'"), std::string::npos);
    EXPECT_TRUE(Logged("TABLE: [shop].[categories] Converting..... "));
    EXPECT_EQ(Messages().back(), "Operation completed SUCCESSFULLY!");
    // The task worked on its own connections: the window's stay unconnected, its trees as they
    // were, and the target tree is asked to reload.
    EXPECT_EQ(main_->sourceSession(), nullptr);
    EXPECT_EQ(main_->targetSession(), nullptr);
    EXPECT_EQ(main_->targetTree().currentDatabase(), "");
    EXPECT_TRUE(main_->TakeTargetReload());
    EXPECT_EQ(main_->controllerState(), ControllerState::Idle);
    ExpectTargetStatementsParse();
}

// A database that another run holds (the desktop program's or the command line's): the task
// ends at once, naming the holder, and writes nothing.
TEST_F(TaskEngineTest, ATaskIntoADatabaseAnotherRunHoldsEndsAtOnceNamingIt) {
    target_->AnswerWhen([](const std::string& s) { return s.find("sp_getapplock") != std::string::npos; },
                        test::ScriptedResult::Text({""}, {{"-999"}}));
    const std::string holder = "velmora-cli migrate --resume on host db1, process 4711, started 2026-12-08 06:00:00 UTC";
    target_->AnswerWhen([](const std::string& s) { return s.starts_with("SELECT CAST(value AS nvarchar(4000))"); },
                        test::ScriptedResult::Text({""}, {{holder}}));
    TaskPtr task = Run(TaskType::Tables, {"shop", "", "sales", "", ""});
    EXPECT_EQ(task->status.load(), kTaskFailed);
    EXPECT_TRUE(Logged("FAILED: another run holds the target database sales: " + holder +
                       "; wait for it to end, or stop it"));
    EXPECT_TRUE(TargetStatementsStartingWith("create table").empty());
    EXPECT_TRUE(TargetStatementsStartingWith("use sales;").empty());
}

struct FailureCase {
    TaskType type;
    TaskNames names;
    const char* failingTargetUse;  // "" when the target use works
    const char* message;           // the location message, "" when the body writes none
};

TEST_F(TaskEngineTest, SelectionFailuresWriteTheirLocationAndEndTheTaskAsFailure) {
    const FailureCase cases[] = {
        {TaskType::Database, {"shop", "", "nowhere", "", ""}, "use nowhere;",
         "[Thread](375)Select Target Database [nowhere] Error!"},
        {TaskType::Database, {"no_such_db", "", "sales", "", ""}, "",
         "[Thread](394)Select Source Database[no_such_db] Error!"},
        {TaskType::Tables, {"shop", "", "nowhere", "", ""}, "use nowhere;",
         "[Thread](451)Select Target Database[nowhere] Error!"},
        {TaskType::Tables, {"no_such_db", "", "sales", "", ""}, "",
         "[Thread](473)Select Source Database[no_such_db] Error!"},
        {TaskType::Table, {"shop", "orders", "nowhere", "", ""}, "use nowhere;",
         "Select Target Database[nowhere] Error!"},
        {TaskType::Table, {"no_such_db", "orders", "sales", "", ""}, "",
         "[Thread](587)Select Source Database[no_such_db] Error!"},
        {TaskType::View, {"no_such_db", "v", "sales", "", ""}, "",
         "[Thread](650)Select Source Database[no_such_db] Error!"},
        {TaskType::CloneDatabase, {"no_such_db", "", "no_such_db", "", ""}, "",
         "[Thread](319)Select Source Database[no_such_db] Error!"},
        {TaskType::Views, {"shop", "", "nowhere", "", ""}, "use nowhere;", ""},
    };
    for (const FailureCase& c : cases) {
        if (*c.failingTargetUse) target_->FailOn(c.failingTargetUse, "Database 'nowhere' does not exist.");
        size_t before = Messages().size();
        TaskPtr task = Run(c.type, c.names);
        std::vector<std::string> messages = Messages();
        messages.erase(messages.begin(), messages.begin() + static_cast<std::ptrdiff_t>(before));
        EXPECT_EQ(task->status.load(), kTaskFailed) << c.message;
        EXPECT_STREQ(PhaseText(task->phase), "FAILURE");
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back(), "Operation FAILURE!");
        if (*c.message) {
            ASSERT_GE(messages.size(), 2u);
            // A clone drops the database it created before it ends: that line comes last.
            const bool clone = c.type == TaskType::CloneDatabase;
            EXPECT_EQ(messages[messages.size() - (clone ? 3 : 2)], c.message);
            if (clone) {
                EXPECT_EQ(messages[messages.size() - 2], "The database [no_such_db] that this run created was dropped again.");
            }
        } else {
            EXPECT_EQ(messages.size(), 1u) << messages.front();
        }
        EXPECT_LT(task->progress.load(), 50);
    }
}

TEST_F(TaskEngineTest, AFailedObjectEndsTheTaskAsFailureAndIsNamed) {
    target_->FailWhen(
        [](const std::string& s) { return s.rfind("create table products", 0) == 0; },
        "Column, parameter, or variable #12: Cannot find data type enum.");
    TaskPtr task = Run(TaskType::Tables, {"shop", "", "sales", "", ""});
    EXPECT_EQ(task->status.load(), kTaskFailed);
    EXPECT_EQ(task->progress.load(), 100);
    EXPECT_TRUE(Logged("TABLE: Create [shop].[products] ERROR !"));
    std::vector<std::string> messages = Messages();
    bool named = std::any_of(messages.begin(), messages.end(), [](const std::string& m) {
        return m.rfind("FAILED: ", 0) == 0 && m.find("products") != std::string::npos;
    });
    EXPECT_TRUE(named);
    EXPECT_EQ(messages.back(), "Operation FAILURE!");
    // The other tables were still converted.
    EXPECT_FALSE(TargetStatementsStartingWith("create table customers").empty());
}

TEST_F(TaskEngineTest, CloneCreatesTheDatabaseAndConvertsEverything) {
    TaskPtr task = Run(TaskType::CloneDatabase, {"shop", "", "shop", "", ""});
    std::vector<std::string> statements = target_->Statements();
    ASSERT_GE(statements.size(), 2u);
    EXPECT_EQ(statements[0], "create database shop;");
    EXPECT_EQ(statements[1], "use shop;");
    EXPECT_FALSE(TargetStatementsStartingWith("create view order_totals").empty());
    EXPECT_EQ(task->progress.load(), 100);
    // The user's settings and browsing state are not the task's to change.
    EXPECT_EQ(main_->targetSettings.catalogName, "");
    EXPECT_EQ(main_->targetTree().currentDatabase(), "");
}

// In Full the clone compares text as its source database does (shop: utf8mb4_general_ci, which
// ignores case and accents); Classic creates it with the server's default, as it always did.
TEST_F(TaskEngineTest, AFullCloneTakesTheSourceDatabasesCollation) {
    main_->options().translation = TranslationMode::Full;
    Run(TaskType::CloneDatabase, {"shop", "", "shop", "", ""});
    const std::vector<std::string> statements = target_->Statements();
    ASSERT_FALSE(statements.empty());
    EXPECT_EQ(statements[0], "create database shop COLLATE Latin1_General_CI_AI;");
    ExpectTargetStatementsParse();
}

TEST_F(TaskEngineTest, ViewTaskSucceedsOnlyWhenTheViewWasCreated) {
    TaskPtr created = Run(TaskType::View, {"shop", "order_totals", "sales", "", ""});
    EXPECT_EQ(created->status.load(), kTaskSucceeded);
    target_->FailWhen([](const std::string& s) { return s.rfind("create view", 0) == 0; },
                      "Incorrect syntax near 'view'.");
    TaskPtr failed = Run(TaskType::View, {"shop", "order_totals", "sales", "", ""});
    EXPECT_EQ(failed->status.load(), kTaskFailed);
    EXPECT_TRUE(Logged("Create VIEW [order_totals] failure!!!"));
}

TEST_F(TaskEngineTest, BackupObjectTaskUsesTheDatabaseAndWritesTheScripts) {
    main_->SetBackupFolder(workFolder_ + "/backups");
    target_->AnswerWith("sp_helptext v",
                        test::ScriptedResult::Text({"Text"}, {{"CREATE VIEW v AS SELECT 1\n"}}));
    TaskPtr task = Run(TaskType::BackupObject, {"", "", "sales", "v", "V"});
    EXPECT_EQ(task->status.load(), kTaskSucceeded);
    EXPECT_EQ(target_->Statements().front(), "use sales");
    EXPECT_TRUE(std::filesystem::exists(workFolder_ + "/backups/VIEWS/v.vw"));
    // A database backup whose catalog cannot be listed fails.
    target_->FailOn("use gone", "Database 'gone' does not exist.");
    TaskPtr gone = Run(TaskType::BackupObject, {"", "", "gone", "v", "V"});
    EXPECT_EQ(gone->status.load(), kTaskFailed);
}

// Tables at once through the task runner: each peer opens its own source connection and selects
// both databases, from the settings as they were when the task started: settings changed while it
// runs (here to a port nothing listens on, as soon as the task selects its target database) leave
// the task's connections alone.
TEST_F(TaskEngineTest, TablesAtOnceOpenPeersFromTheSettingsTheTaskStartedWith) {
    main_->options().translation = TranslationMode::Full;
    main_->options().jobs = 3;
    MainWindowModel* main = main_.get();
    target_->FailWhen([main](const std::string& s) {
        if (s == "use sales;") main->sourceSettings.sourceName = "127.0.0.1:1";
        return false;
    }, "");
    TaskPtr task = Run(TaskType::Tables, {"shop", "", "sales", "", ""});
    EXPECT_EQ(task->status.load(), kTaskSucceeded) << Messages().back();
    std::vector<std::string> messages = Messages();
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(), [](const std::string& m) {
                  return m.find("tables, 3 at a time") != std::string::npos;
              }),
              1) << ::testing::PrintToString(messages);
    const std::vector<std::string> statements = target_->Statements();
    EXPECT_EQ(std::count(statements.begin(), statements.end(), "use sales;"), 3);
    size_t lastRow = 0;
    size_t firstKey = statements.size();
    for (size_t i = 0; i < statements.size(); ++i) {
        if (statements[i].rfind("INSERT INTO ", 0) == 0) lastRow = i;
        if (statements[i].find("FOREIGN KEY") != std::string::npos) firstKey = std::min(firstKey, i);
    }
    EXPECT_LT(lastRow, firstKey);
    EXPECT_LT(firstKey, statements.size());
}

}  // namespace
}  // namespace velmora
