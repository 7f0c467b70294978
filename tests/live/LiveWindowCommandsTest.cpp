// The window's commands on the live target, run as the window runs them (the state behind the
// main window with a scripted person answering): rename a table, clear the data, drop the tables,
// create a database and drop it again. Each step is checked by asking the server.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "commands/ConnectCommands.h"
#include "translation/Naming.h"
#include "commands/MainWindowCommands.h"
#include "config/Configuration.h"
#include "data/OdbcConnection.h"
#include "explorer/TreeFill.h"
#include "live/LiveTarget.h"
#include "support/ScriptedPort.h"

namespace velmora {
namespace {

using Rows = std::vector<std::vector<std::string>>;

class LiveWindow : public testing::Test {
protected:
    void SetUp() override {
        std::optional<test::LiveAddress> address = test::LiveTargetAddress();
        if (!address) GTEST_SKIP() << "no live target (scripts/test --target HOST[,PORT])";
        database_ = std::make_unique<test::LiveDatabase>("window", true);
        auto setup = test::ConnectLiveTarget(database_->name());
        ASSERT_NE(setup->session(), nullptr);
        for (const char* statement :
             {"CREATE TABLE t1 (id int NOT NULL PRIMARY KEY, v nvarchar(10))",
              "INSERT INTO t1 VALUES (1, N'one'), (2, N'two')", "CREATE TABLE t2 (id int NOT NULL)",
              "INSERT INTO t2 VALUES (7)", "CREATE VIEW v1 AS SELECT id FROM t1"}) {
            ASSERT_EQ(test::LiveExecute(*setup->session(), statement), "") << statement;
        }
        window_ = std::make_unique<MainWindowModel>(port_, NewOdbcConnection(), NewOdbcConnection());
        window_->connectionFactory = [](TreeSide) { return NewOdbcConnection(); };
        window_->targetSettings = {"TCP/IP:Port", ProviderProgId("TCP/IP:Port"), address->server,
                                   address->user, address->password, database_->name()};
        ASSERT_TRUE(ConnectTarget(*window_)) << ::testing::PrintToString(port_.OutputLines());
        commands_ = std::make_unique<MainWindowCommands>(*window_);
    }

    DatabaseTree& tree() { return window_->targetTree(); }
    Rows Ask(const std::string& query) {
        auto connection = test::ConnectLiveTarget(database_->name());
        return connection->session() ? test::LiveQuery(*connection->session(), query) : Rows{};
    }
    // The path of the first node with `text` below `parent`, depth first.
    std::optional<NodePath> Find(const std::string& text) {
        auto contents = tree().Contents();
        std::optional<NodePath> found;
        std::function<void(const std::vector<TreeNode>&, NodePath)> walk = [&](const std::vector<TreeNode>& nodes,
                                                                                 NodePath path) {
            for (size_t i = 0; i < nodes.size() && !found; ++i) {
                NodePath here = path;
                here.push_back(i);
                if (nodes[i].text == text) found = here;
                walk(nodes[i].children, here);
            }
        };
        walk(contents->topLevel, {});
        return found;
    }

    test::ScriptedPort port_;
    std::unique_ptr<test::LiveDatabase> database_;
    std::unique_ptr<MainWindowModel> window_;
    std::unique_ptr<MainWindowCommands> commands_;
};

TEST_F(LiveWindow, RenameClearDropCreateAndDropADatabase) {
    // The tree shows the database's tables and view.
    ASSERT_TRUE(Find("t1")) << ::testing::PrintToString(port_.OutputLines());
    ASSERT_TRUE(Find("t2"));
    ASSERT_TRUE(Find("v1"));

    tree().Select(Find("t2"));
    tree().SetRenameConfirmed(1);
    EXPECT_TRUE(commands_->EndRename("t2 renamed")) << ::testing::PrintToString(port_.OutputLines());
    EXPECT_EQ(Ask("SELECT name FROM sys.tables ORDER BY name"), (Rows{{"t1"}, {"t2 renamed"}}));

    tree().Select(Find(database_->name()));
    port_.QueueAnswer(true);
    port_.QueueAnswer(true);
    commands_->ClearAllDataCommand();
    EXPECT_EQ(Ask("SELECT (SELECT COUNT(*) FROM t1) + (SELECT COUNT(*) FROM [t2 renamed])"), (Rows{{"0"}}))
        << ::testing::PrintToString(port_.OutputLines());

    tree().Select(Find(database_->name()));
    port_.QueueAnswer(true);
    port_.QueueAnswer(true);
    commands_->ClearAllTablesCommand();
    EXPECT_EQ(Ask("SELECT COUNT(*) FROM sys.tables"), (Rows{{"0"}})) << ::testing::PrintToString(port_.OutputLines());

    test::LiveDatabase fresh("window_new");
    tree().Select(NodePath{0});
    port_.QueueText(fresh.name());
    commands_->NewDatabaseCommand();
    auto master = test::ConnectLiveTarget();
    const std::string exists = "SELECT COUNT(*) FROM sys.databases WHERE name = N" + QuoteTargetString(fresh.name());
    EXPECT_EQ(test::LiveQuery(*master->session(), exists), (Rows{{"1"}}))
        << ::testing::PrintToString(port_.OutputLines());
    ASSERT_TRUE(Find(fresh.name())) << "the new database is not in the tree";

    tree().Select(Find(fresh.name()));
    port_.QueueAnswer(true);
    port_.QueueAnswer(true);
    commands_->DeleteDatabaseCommand();
    EXPECT_EQ(test::LiveQuery(*master->session(), exists), (Rows{{"0"}}))
        << ::testing::PrintToString(port_.OutputLines());
    for (const std::string& line : port_.OutputLines()) EXPECT_EQ(line.find("rror"), std::string::npos) << line;
}

// A table of another schema with the name of a dbo table: the tree shows it as schema.name, and
// rename, clear and drop act on it alone.
TEST_F(LiveWindow, CommandsOnATableOfAnotherSchemaLeaveDbosTableAlone) {
    {
        auto setup = test::ConnectLiveTarget(database_->name());
        ASSERT_NE(setup->session(), nullptr);
        for (const char* statement : {"CREATE SCHEMA archive", "CREATE TABLE archive.t1 (id int NOT NULL PRIMARY KEY)",
                                      "INSERT INTO archive.t1 VALUES (10), (11), (12)"}) {
            ASSERT_EQ(test::LiveExecute(*setup->session(), statement), "") << statement;
        }
    }
    FillDatabaseTree(tree(), window_->log(), port_);
    ASSERT_TRUE(Find("archive.t1")) << ::testing::PrintToString(port_.OutputLines());
    const std::string tables = "SELECT s.name, t.name FROM sys.tables t JOIN sys.schemas s ON s.schema_id = t.schema_id ORDER BY 1, 2";
    const std::string dboRows = "SELECT COUNT(*) FROM dbo.t1";

    tree().Select(Find("archive.t1"));
    tree().SetRenameConfirmed(1);
    EXPECT_TRUE(commands_->EndRename("archive.t1 old")) << ::testing::PrintToString(port_.OutputLines());
    EXPECT_EQ(Ask(tables), (Rows{{"archive", "t1 old"}, {"dbo", "t1"}, {"dbo", "t2"}}));
    ASSERT_TRUE(Find("archive.t1 old"));

    tree().Select(Find(database_->name()));
    port_.QueueAnswer(true);
    port_.QueueAnswer(true);
    commands_->ClearAllDataCommand();
    EXPECT_EQ(Ask("SELECT COUNT(*) FROM archive.[t1 old]"), (Rows{{"0"}})) << ::testing::PrintToString(port_.OutputLines());

    ASSERT_EQ(test::LiveExecute(*test::ConnectLiveTarget(database_->name())->session(),
                                "INSERT INTO dbo.t1 VALUES (3, N'three')"),
              "");
    tree().Select(Find("archive.t1 old"));
    commands_->DropTableCommand();
    EXPECT_EQ(Ask(tables), (Rows{{"dbo", "t1"}, {"dbo", "t2"}}));
    EXPECT_EQ(Ask(dboRows), (Rows{{"1"}}));
    for (const std::string& line : port_.OutputLines()) EXPECT_EQ(line.find("rror"), std::string::npos) << line;
}

}  // namespace
}  // namespace velmora
