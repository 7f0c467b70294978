// Resumed migrations against the target double: what an earlier run left on the target decides
// what is sent, and no row is ever inserted twice.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Converters/ConversionDrivers.h"
#include "Converters/ConversionReport.h"
#include "support/ConversionFixture.h"

namespace velmora::test {
namespace {

const std::string kDatabase = ProcessDatabaseName("velmora_it_resume");

class ResumeTest : public ConversionFixture {
protected:
    static void SetUpTestSuite() {
        RunSql("DROP DATABASE IF EXISTS " + kDatabase + "; CREATE DATABASE " + kDatabase +
               "; USE " + kDatabase +
               "; CREATE TABLE items (id int PRIMARY KEY, n varchar(10));"
               "INSERT INTO items VALUES (1,'a'),(2,'b'),(3,'c'),(4,'d'),(5,'e');"
               "CREATE TABLE loose (n int);"
               "INSERT INTO loose VALUES (1),(1),(2);");
    }
    static void TearDownTestSuite() { RunSql("DROP DATABASE IF EXISTS " + kDatabase + ";"); }

    void SetUp() override {
        ConversionFixture::SetUp();
        UseSourceDatabase(kDatabase);
        context_.options.resume = true;
    }

    // The target's count of `table`: `before` the first time it is asked, `after` since.
    void ScriptCounts(const std::string& table, const std::string& before, const std::string& after) {
        const std::string query = "select count_big(*) from [" + table + "]";
        auto asked = std::make_shared<int>(0);
        target_->AnswerWhen([query, asked](const std::string& s) { return s == query && (*asked)++ == 0; },
                            ScriptedResult::Text({""}, {{before}}));
        target_->AnswerWhen([query](const std::string& s) { return s == query; },
                            ScriptedResult::Text({""}, {{after}}));
    }

    TableReport Convert(const std::string& table) {
        ConversionReport report;
        EXPECT_EQ(ConvertTable(context_, kDatabase, table, &report), 1);
        EXPECT_EQ(report.tables.size(), 1u);
        failures_ = report.failures;
        return report.tables.empty() ? TableReport() : report.tables[0];
    }

    std::vector<std::string> failures_;
};

TEST_F(ResumeTest, AfterAStopInMidTableOnlyTheMissingRowsAreSent) {
    ScriptCounts("items", "3", "5");
    target_->AnswerWith("select top (1) [id] from [items] order by [id] desc",
                        ScriptedResult::Text({"id"}, {{"3"}}));
    TableReport table = Convert("items");
    EXPECT_TRUE(failures_.empty());
    EXPECT_EQ(TargetStatementsStartingWith("insert into "),
              (std::vector<std::string>{"insert into items values (4,N'd')\n",
                                        "insert into items values (5,N'e')\n"}));
    EXPECT_TRUE(TargetStatementsStartingWith("create table").empty());
    EXPECT_TRUE(TargetStatementsStartingWith("delete from").empty());
    EXPECT_NE(table.resume.find("continued after the largest key"), std::string::npos);
    EXPECT_EQ(table.rows.rowsWritten, 2);
}

TEST_F(ResumeTest, ContinuedRowsThatStillLeaveAGapRefillTheTable) {
    // The earlier copy did not go in key order: 5 is there, 4 is not.
    ScriptCounts("items", "4", "4");
    target_->AnswerWith("select top (1) [id] from [items] order by [id] desc",
                        ScriptedResult::Text({"id"}, {{"5"}}));
    TableReport table = Convert("items");
    EXPECT_EQ(TargetStatementsStartingWith("delete from").size(), 1u);
    EXPECT_EQ(TargetStatementsStartingWith("insert into ").size(), 5u);
    EXPECT_NE(table.resume.find("emptied and copied again"), std::string::npos);
}

TEST_F(ResumeTest, AfterAFailedTableItIsEmptiedAndCopiedAgain) {
    // The create went through, every row failed: the table is there and empty.
    ScriptCounts("items", "0", "5");
    TableReport table = Convert("items");
    EXPECT_EQ(TargetStatementsStartingWith("delete from"),
              (std::vector<std::string>{"delete from [items]"}));
    EXPECT_EQ(TargetStatementsStartingWith("insert into ").size(), 5u);
    EXPECT_NE(table.resume.find("the target table is empty"), std::string::npos);
}

TEST_F(ResumeTest, ACompleteTableIsSkippedAndATableWithoutKeyRefilled) {
    ScriptCounts("items", "5", "5");
    TableReport items = Convert("items");
    EXPECT_NE(items.resume.find("complete already"), std::string::npos);
    EXPECT_TRUE(TargetStatementsStartingWith("insert into ").empty());
    EXPECT_TRUE(failures_.empty());

    ScriptCounts("loose", "1", "3");
    TableReport loose = Convert("loose");
    EXPECT_NE(loose.resume.find("it has no key"), std::string::npos);
    EXPECT_EQ(TargetStatementsStartingWith("delete from"),
              (std::vector<std::string>{"delete from [loose]"}));
    EXPECT_EQ(TargetStatementsStartingWith("insert into loose").size(), 3u);
}

TEST_F(ResumeTest, ATableNotOnTheTargetIsMigratedAsUsual) {
    target_->FailOn("select count_big(*) from [items]", "Invalid object name 'items'.");
    DeclareInvalid("select count_big(*) from [items]");
    TableReport table = Convert("items");
    EXPECT_EQ(TargetStatementsStartingWith("create table").size(), 1u);
    EXPECT_EQ(TargetStatementsStartingWith("insert into ").size(), 5u);
    EXPECT_EQ(table.resume, "not on the target yet: migrated");
}

}  // namespace
}  // namespace velmora::test
