// Source operations on the real local MariaDB; target operations on the SQL Server target
// double, with every statement the target receives parsed by the T-SQL oracle.
#include <gtest/gtest.h>
#include <unistd.h>

#include "Converters/SourceServer.h"
#include "Converters/TargetServer.h"
#include "commands/MainWindowModel.h"
#include "explorer/TreeCommands.h"
#include "commands/ConnectCommands.h"
#include "config/ConnectSequence.h"
#include "data/OdbcConnection.h"
#include "support/LocalMariaDb.h"
#include "support/ScriptedPort.h"
#include "support/TargetDouble.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

constexpr const char* kSuccessLine = "RESULT:    The operation completed SUCCESSFULLY";

std::string Db(const char* suffix) {
    return "velmora_it_ops_" + std::to_string(getpid()) + "_" + suffix;
}

std::vector<std::string> LineMessages(const test::ScriptedPort& port) {
    std::vector<std::string> messages;
    for (const std::string& line : port.OutputLines()) messages.push_back(line.substr(24));
    return messages;
}

// A value read on the source session.
std::string QueryOne(Session* session, const std::string& sql) {
    auto statement = session->NewStatement();
    if (statement->Create(sql) < 0 || statement->Execute(StandardRowsetProperties()) != kSuccess ||
        !statement->HasRowset() || statement->BindAllAsText() != kSuccess ||
        statement->MoveNext() != kSuccess) {
        return "<failed: " + statement->ProviderErrorText() + ">";
    }
    std::string value(statement->Value(0));
    statement->Close();
    return value;
}

class Operations : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::RunMariaDbClient("DROP DATABASE IF EXISTS " + Db("main") +
                               ";"
                               "DROP DATABASE IF EXISTS `" +
                               Db("spaced name") +
                               "`;"
                               "CREATE DATABASE " +
                               Db("main") +
                               ";"
                               "CREATE TABLE " +
                               Db("main") +
                               ".t1 (id INT);"
                               "CREATE DATABASE `" +
                               Db("spaced name") +
                               "`;"
                               "CREATE TABLE `" +
                               Db("spaced name") + "`.t2 (id INT);");
    }
    static void TearDownTestSuite() {
        test::RunMariaDbClient("DROP DATABASE IF EXISTS " + Db("main") +
                               ";"
                               "DROP DATABASE IF EXISTS `" +
                               Db("spaced name") + "`;");
    }

    Operations() {
        auto target = std::make_unique<test::TargetDouble>();
        target_ = target.get();
        window_ = std::make_unique<MainWindowModel>(port_, NewOdbcConnection(), std::move(target));
        target_->AddCatalog("master");
        target_->AddCatalog("sales");
        target_->AddTable("sales", "orders");
    }
    void ConnectBoth() {
        test::MariaDbAddress db = test::LocalMariaDb();
        window_->sourceSettings = {
            "TCP/IP:Port", "MSDASQL",   db.host + ":" + std::to_string(db.port),
            db.user,       db.password, Db("main")};
        window_->targetSettings = {"TCP/IP:Port", "MSDASQL", "mssql01", "sa", "pw", "master"};
        ConnectCommand(*window_);
        ASSERT_NE(window_->sourceSession(), nullptr);
        ASSERT_NE(window_->targetSession(), nullptr);
        target_->ClearStatements();
        linesBefore_ = port_.OutputLines().size();
    }
    // The output lines written since ConnectBoth.
    std::vector<std::string> NewLines() const {
        std::vector<std::string> lines = LineMessages(port_);
        return std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(linesBefore_),
                                        lines.end());
    }
    void ExpectTargetStatementsParse() {
        for (const std::string& statement : target_->Statements()) {
            EXPECT_EQ(test::DescribeTsqlProblems(statement), "");
        }
    }

    test::ScriptedPort port_;
    test::TargetDouble* target_ = nullptr;
    std::unique_ptr<MainWindowModel> window_;
    size_t linesBefore_ = 0;
};

TEST_F(Operations, UseOnTheSourceSwitchesDatabaseAndRebuildsTheTree) {
    ConnectBoth();
    ASSERT_TRUE(SelectTreeDatabase(window_->log(), port_, window_->sourceTree(), Db("spaced name"), 0));
    EXPECT_EQ(QueryOne(window_->sourceSession(), "select database()"), Db("spaced name"));
    auto contents = window_->sourceTree().Contents();
    ASSERT_TRUE(contents->currentDatabaseNode.has_value());
    const TreeNode& current = *contents->At(*contents->currentDatabaseNode);
    EXPECT_EQ(current.text, Db("spaced name"));
    EXPECT_EQ(current.children.at(0).children.at(0).text, "t2");
}

TEST_F(Operations, NoNameCanAddAStatementOfItsOwn) {
    ConnectBoth();
    const std::string attack = Db("main") + "; drop database " + Db("main");
    EXPECT_FALSE(SelectTreeDatabase(window_->log(), port_, window_->sourceTree(), attack, 0));
    EXPECT_EQ(window_->sourceTree().currentDatabase(), attack);  // set before the statement ran
    EXPECT_EQ(test::QueryRows("SHOW DATABASES LIKE '" + Db("main") + "'").size(), 1u);
    EXPECT_EQ(QueryOne(window_->sourceSession(), "select database()"), Db("main"));
}

TEST_F(Operations, SourceVersionIsTheServersVersion) {
    ConnectBoth();
    EXPECT_EQ(QueryServerVersion(window_->log(), window_->sourceSession()),
              test::QueryRows("SELECT @@version").at(0).at(0));
    EXPECT_EQ(QueryServerVersion(window_->log(), nullptr), "No Connection!");
    EXPECT_EQ(LineMessages(port_).back(), "No Connection!");
}

TEST_F(Operations, CharsetCommandRunsTheFiveStatementsAndRebuilds) {
    ConnectBoth();
    const int changesBefore = port_.TreeChanges(TreeSide::Source);
    port_.QueueChoice(21);  // UTF8
    ChangeCharsetCommand(window_->log(), port_, window_->sourceTree(), window_->currentCharset);
    EXPECT_EQ(window_->currentCharset, "UTF8");
    EXPECT_NE(port_.Events().end(),
              std::find(port_.Events().begin(), port_.Events().end(),
                        "choose: Change Charset (36 options, preselected 5)"));
    Session* session = window_->sourceSession();
    for (const char* variable : {"client", "connection", "results", "server"}) {
        EXPECT_EQ(QueryOne(session, std::string("select @@character_set_") + variable), "utf8mb3")
            << variable;
    }
    EXPECT_GT(port_.TreeChanges(TreeSide::Source), changesBefore);

    // A choice outside the list sends "UNKOWNEN", which the server refuses, statement by
    // statement; the four reported ones print the driver's text.
    const size_t linesBefore = port_.OutputLines().size();
    port_.QueueChoice(99);
    ChangeCharsetCommand(window_->log(), port_, window_->sourceTree(), window_->currentCharset);
    EXPECT_EQ(window_->currentCharset, "UNKOWNEN");
    std::vector<std::string> lines = LineMessages(port_);
    EXPECT_EQ(lines.size() - linesBefore, 4u);
    EXPECT_NE(lines.back().find("UNKOWNEN"), std::string::npos) << lines.back();
    EXPECT_EQ(QueryOne(session, "select @@character_set_client"), "utf8mb3");
}

TEST_F(Operations, CharsetCommandActsOnlyOnAConnectedMySqlTree) {
    ConnectBoth();
    ChangeCharsetCommand(window_->log(), port_, window_->targetTree(), window_->currentCharset);
    EXPECT_TRUE(target_->Statements().empty());
    for (const std::string& event : port_.Events()) {
        EXPECT_NE(event.rfind("choose:", 0), 0u) << event;  // no question was asked
    }
    port_.QueueChoice(std::nullopt);  // cancelled
    ChangeCharsetCommand(window_->log(), port_, window_->sourceTree(), window_->currentCharset);
    EXPECT_EQ(window_->currentCharset, "LATIN1");
}

TEST_F(Operations, CreateDatabaseDropsADrivePrefix) {
    ConnectBoth();
    Session* target = window_->targetSession();
    EXPECT_TRUE(CreateDatabase(window_->log(), target, "C:\\sales2"));
    EXPECT_TRUE(CreateDatabase(window_->log(), target, "d:\\Data\\x"));
    EXPECT_TRUE(CreateDatabase(window_->log(), target, "sales3"));
    EXPECT_TRUE(CreateDatabase(window_->log(), target, "x:C:\\y"));  // only at the very start
    EXPECT_TRUE(CreateDatabase(window_->log(), target, "typed db"));
    EXPECT_EQ(target_->Statements(),
              (std::vector<std::string>{"create database sales2;", "create database [Data\\x];",
                                        "create database sales3;", "create database [x:C:\\y];",
                                        "create database [typed db];"}));
    ExpectTargetStatementsParse();
    EXPECT_TRUE(NewLines().empty());  // the statements report nothing themselves
}

TEST_F(Operations, DropAndRenameStatements) {
    ConnectBoth();
    window_->targetTree().SetCurrentDatabase("sales");
    target_->FailOn("drop view [my view]", "Cannot drop the view 'my view'.");
    Session* target = window_->targetSession();
    EXPECT_TRUE(DropDatabase(window_->log(), target, "old db"));
    // Each object statement acts in the database of the node: it is selected first.
    EXPECT_TRUE(DropTable(window_->log(), target, "sales", "order"));
    EXPECT_FALSE(DropView(window_->log(), target, "sales", "my view"));
    EXPECT_TRUE(RenameObject(window_->log(), target, "sales", "orders", "orders_2024"));
    EXPECT_EQ(target_->Statements(),
              (std::vector<std::string>{"drop database [old db];", "use sales;", "drop table [order]",
                                        "use sales;", "drop view [my view]", "use sales;",
                                        "sp_rename 'orders', 'orders_2024', 'object'"}));
    ExpectTargetStatementsParse();
    EXPECT_EQ(NewLines(), std::vector<std::string>{kSuccessLine});  // the rename's
}

TEST_F(Operations, RenameWithoutTargetConnectionFails) {
    EXPECT_FALSE(RenameObject(window_->log(), nullptr, "sales", "a", "b"));
    ASSERT_EQ(port_.OutputLines().size(), 1u);
    EXPECT_EQ(LineMessages(port_)[0].rfind("No Connection! \r\n failed with error code:[0x", 0),
              0u);
    EXPECT_TRUE(target_->Statements().empty());
}

TEST_F(Operations, UseOnTheTarget) {
    ConnectBoth();
    target_->FailOn("use nosuchdb;", "Database 'nosuchdb' does not exist.");
    const int changes = port_.TreeChanges(TreeSide::Target);
    EXPECT_FALSE(SelectTreeDatabase(window_->log(), port_, window_->targetTree(), "nosuchdb", 1));
    EXPECT_EQ(window_->targetTree().currentDatabase(), "nosuchdb");
    EXPECT_EQ(port_.TreeChanges(TreeSide::Target), changes);  // not rebuilt

    EXPECT_TRUE(SelectTreeDatabase(window_->log(), port_, window_->targetTree(), "sales", 1));
    EXPECT_GT(port_.TreeChanges(TreeSide::Target), changes);
    auto contents = window_->targetTree().Contents();
    ASSERT_TRUE(contents->currentDatabaseNode.has_value());
    EXPECT_EQ(contents->At(*contents->currentDatabaseNode)->children.at(0).children.at(0).text,
              "orders");

    EXPECT_TRUE(SelectTreeDatabase(window_->log(), port_, window_->targetTree(), "ignored", 2));
    EXPECT_EQ(target_->Statements(), (std::vector<std::string>{"use nosuchdb;", "use sales;"}));
    ExpectTargetStatementsParse();
}

TEST_F(Operations, TargetVersionQuery) {
    ConnectBoth();
    target_->AnswerWith("select @@Version", test::ScriptedResult::Text(
                                                {""}, {{"first"}, {"Microsoft SQL Server 2019"}}));
    EXPECT_EQ(GetTargetServerVersion(window_->log(), window_->targetSession()),
              "Microsoft SQL Server 2019");  // the last row's first column
    EXPECT_EQ(GetTargetServerVersion(window_->log(), nullptr), "");
    EXPECT_EQ(LineMessages(port_).back().rfind("No Connection! \r\n failed with error code:", 0),
              0u);
}

TEST_F(Operations, TargetVersionQueryFailuresGiveTheirTexts) {
    ConnectBoth();
    target_->FailOn("select @@Version", "Could not find stored procedure.");
    EXPECT_EQ(GetTargetServerVersion(window_->log(), window_->targetSession()),
              "Could not find stored procedure.");
}

TEST_F(Operations, TargetVersionQueryWithoutRowsetGivesTheSuccessText) {
    ConnectBoth();  // unscripted statements succeed without a rowset
    EXPECT_EQ(GetTargetServerVersion(window_->log(), window_->targetSession()), kSuccessLine);
    EXPECT_EQ(LineMessages(port_).back(), kSuccessLine);
}

}  // namespace
}  // namespace velmora
