// ExecuteStatement and ShowQueryResult against the scripted target.
#include <gtest/gtest.h>

#include <cerrno>

#include "commands/MainWindowModel.h"
#include "data/StatementExecution.h"
#include "support/ScriptedPort.h"
#include "support/TargetDouble.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

class StatementExecution : public ::testing::Test {
protected:
    StatementExecution() {
        auto target = std::make_unique<test::TargetDouble>();
        target_ = target.get();
        auto source = std::make_unique<test::TargetDouble>(false);
        window_ = std::make_unique<MainWindowModel>(port_, std::move(source), std::move(target));
    }
    Session* target() { return window_->targetSession(); }
    std::vector<std::string> Messages() { return window_->log().Messages(); }

    test::ScriptedPort port_;
    test::TargetDouble* target_;
    std::unique_ptr<MainWindowModel> window_;
};

// The failure format carries the data layer's code for a missing connection, never whatever
// errno the thread happens to hold (here a stale EACCES).
TEST_F(StatementExecution, WithoutSessionBothWriteNoConnectionInTheFailureFormat) {
    errno = EACCES;
    EXPECT_FALSE(ExecuteStatement((*window_).log(), nullptr, "use sales;", 1));
    errno = EACCES;
    EXPECT_FALSE(ShowQueryResult((*window_).log(), window_->sourceSession(), "select 1", 1));
    const std::string line =
        "No Connection! \r\n failed with error code:[0x80040e19] \r\n discription:No connection "
        "to the data source.";
    EXPECT_EQ(Messages(), (std::vector<std::string>{line, line}));
    EXPECT_TRUE(target_->Statements().empty());
}

TEST_F(StatementExecution, SuccessLineOnlyWithFlagOneAndNoRowset) {
    struct {
        const char* statement;
        int flag;
        bool rowset;
        bool line;
    } cases[] = {
        {"use sales;", 1, false, true},
        {"use sales;", 0, false, false},
        {"sp_rename 'orders', 'orders_old', 'object'", 1, false, true},
        {"drop table orders", 2, false, false},  // only exactly 1 asks for it
        {"select name from sys.tables", 1, true, false},
    };
    target_->AnswerWith("select name from sys.tables", test::ScriptedResult::Text({"name"}, {{"orders"}}));
    for (const auto& c : cases) {
        window_->log().WriteText("--");
        EXPECT_TRUE(ExecuteStatement((*window_).log(), target(), c.statement, c.flag)) << c.statement;
        std::vector<std::string> messages = Messages();
        bool wroteLine = messages.back() == kSuccessLine;
        EXPECT_EQ(wroteLine, c.line) << c.statement;
        EXPECT_EQ(messages.back() == "--", !c.line) << c.statement;
    }
    std::vector<std::string> sent = target_->Statements();
    ASSERT_EQ(sent.size(), std::size(cases));
    for (const std::string& statement : sent) EXPECT_EQ(test::DescribeTsqlProblems(statement), "");
    EXPECT_EQ(target_->currentCatalog(), "sales");
}

TEST_F(StatementExecution, FailuresAreSilentInExecuteAndReportedInShowQueryResult) {
    target_->FailOn("drop table missing", "Cannot drop the table 'missing', because it does not exist.");
    EXPECT_FALSE(ExecuteStatement((*window_).log(), target(), "drop table missing", 1));
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(ShowQueryResult((*window_).log(), target(), "drop table missing", 1));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Cannot drop the table 'missing', because it does not exist."});
}

TEST_F(StatementExecution, SuccessWithInformationCountsAsFailure) {
    target_->FailOn("use sales;", "", kSuccessWithInfo);
    EXPECT_FALSE(ExecuteStatement((*window_).log(), target(), "use sales;", 1));
    EXPECT_FALSE(ShowQueryResult((*window_).log(), target(), "use sales;", 1));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Unknown Error!"});
}

TEST_F(StatementExecution, ShowQueryResultWritesOneLinePerValueForTheFirstHundredRows) {
    std::vector<test::ScriptedRow> rows;
    for (int i = 0; i < 250; ++i) {
        rows.push_back({std::to_string(i), i % 2 ? std::optional<std::string>() : "even", std::string()});
    }
    target_->AnswerWith("select * from t", test::ScriptedResult::Text({"a", "b", "c"}, rows));
    EXPECT_TRUE(ShowQueryResult((*window_).log(), target(), "select * from t", 1));
    std::vector<std::string> messages = Messages();
    ASSERT_EQ(messages.size(), 300u);
    EXPECT_EQ(std::vector<std::string>(messages.begin(), messages.begin() + 6),
              (std::vector<std::string>{"0", "even", "", "1", "(NULL)", ""}));
    EXPECT_EQ(messages[297], "99");
    // An empty value is a line with the time stamp only.
    EXPECT_EQ(window_->log().Lines()[2].size(), OperationLog::TimePrefix().size());
}

TEST_F(StatementExecution, ValuesWithPercentSignsAndLongValuesAreWrittenLiterally) {
    target_->AnswerWith("select note", test::ScriptedResult::Text({"note"}, {{"100% %s %d"}, {std::string(3000, 'x')}}));
    EXPECT_TRUE(ShowQueryResult((*window_).log(), target(), "select note", 0));
    EXPECT_EQ(Messages(), (std::vector<std::string>{"100% %s %d", std::string(1024, 'x')}));
}

}  // namespace
}  // namespace velmora
