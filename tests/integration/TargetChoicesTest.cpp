// A task's target schema and type map, driven against the real MariaDB source and the scripted
// target: the schema is created once, before the first table, and every table, key, row and
// view statement names it; a type-map rule is checked against the column's real values, and one
// that cannot hold them fails the task before anything is sent.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "Converters/ConversionDrivers.h"
#include "Converters/ConversionReport.h"
#include "support/ConversionFixture.h"

namespace velmora::test {
namespace {

class TargetChoicesTest : public ConversionFixture {
protected:
    void SetUp() override {
        ConversionFixture::SetUp();
        database_ = ProcessDatabaseName("velmora_it_choices");  // the prefix other tests leave out of their listings
        RunSql("DROP DATABASE IF EXISTS " + database_ + "; CREATE DATABASE " + database_ +
               " CHARACTER SET utf8mb4; USE " + database_ +
               ";\nCREATE TABLE `the list` (id int unsigned NOT NULL AUTO_INCREMENT PRIMARY KEY, "
               "flag tinyint(1) NOT NULL, name varchar(20) COLLATE utf8mb4_bin NOT NULL) ENGINE=InnoDB;"
               "INSERT INTO `the list` (id, flag, name) VALUES (1, 0, 'a'), (4000000000, 1, 'Ärger');"
               "CREATE TABLE child (id int NOT NULL PRIMARY KEY, list_id int unsigned NOT NULL, "
               "CONSTRAINT fk_list FOREIGN KEY (list_id) REFERENCES `the list` (id)) ENGINE=InnoDB;"
               "INSERT INTO child VALUES (1, 1);"
               "CREATE VIEW flagged AS SELECT l.id FROM `the list` l WHERE l.flag = 1;");
        UseSourceDatabase(database_);
        context_.options.translation = TranslationMode::Full;
        context_.options.jobs = 1;
        context_.targetDatabase = "sales";
    }
    void TearDown() override {
        ConversionFixture::TearDown();
        RunSql("DROP DATABASE IF EXISTS " + database_);
    }

    std::string TypeMapFile(const std::string& text) {
        const std::string path = workFolder_ + "types.map";
        std::ofstream(path) << text;
        return path;
    }

    std::string database_;
};

TEST_F(TargetChoicesTest, EveryStatementNamesTheSchemaCreatedBeforeTheFirstTable) {
    context_.options.targetSchema = "order archive";
    ConversionReport report;
    EXPECT_EQ(ConvertDatabaseTables(context_, database_, &report), 0);
    EXPECT_EQ(ConvertDatabaseViews(context_, database_, &report), 0);
    EXPECT_TRUE(report.failures.empty()) << report.failures.front();
    const std::vector<std::string> statements = target_->Statements();
    const std::string create = "IF SCHEMA_ID(N'order archive') IS NULL EXEC (N'CREATE SCHEMA [order archive]')";
    ASSERT_EQ(TargetStatementsStartingWith("IF SCHEMA_ID(").size(), 1u);
    const auto schema = std::find(statements.begin(), statements.end(), create);
    const auto table = std::find_if(statements.begin(), statements.end(),
                                    [](const std::string& s) { return s.starts_with("CREATE TABLE"); });
    ASSERT_NE(schema, statements.end());
    EXPECT_LT(schema, table);
    EXPECT_EQ(TargetStatementsStartingWith("CREATE TABLE [order archive].[the list] (").size(), 1u);
    EXPECT_EQ(TargetStatementsStartingWith("INSERT INTO [order archive].[the list] (").size(), 1u);
    EXPECT_EQ(TargetStatementsStartingWith("ALTER TABLE [order archive].child ADD CONSTRAINT fk_list").size(), 1u);
    EXPECT_EQ(TargetStatementsStartingWith("CREATE VIEW [order archive].flagged AS").size(), 1u);
    for (const std::string& statement : TargetStatementsStartingWith("CREATE TABLE")) {
        EXPECT_EQ(statement.find("CREATE TABLE [the list]"), std::string::npos);
    }
    // The binary collation arrives with the column.
    EXPECT_NE(TargetStatementsStartingWith("CREATE TABLE [order archive].[the list]")
                  .at(0)
                  .find("name nvarchar(40) COLLATE Latin1_General_100_BIN2 NOT NULL"),
              std::string::npos);
}

TEST_F(TargetChoicesTest, ARuleThatCannotHoldAValueSendsNothing) {
    context_.options.targetSchema = "archive";
    context_.options.typeMap = TypeMapFile("tinyint(1) = bit\n# the ids\nint unsigned = int\n");
    ConversionReport report;
    EXPECT_EQ(ConvertDatabaseTables(context_, database_, &report), 0);
    EXPECT_EQ(ConvertDatabaseViews(context_, database_, &report), 0);
    // The first value that does not fit, named with its table, column and the rule's line; the
    // rule's other column (child.list_id holds only 1) fits.
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0], "Type map line 3 (int unsigned = int): " + database_ +
                                      ".`the list`.id holds 4000000000, which int cannot hold (-2147483648 to 2147483647)");
    // Nothing is created: no schema, no table, no view.
    EXPECT_TRUE(TargetStatementsStartingWith("IF SCHEMA_ID(").empty());
    EXPECT_TRUE(TargetStatementsStartingWith("CREATE").empty()) << TargetStatementsStartingWith("CREATE").front();
    EXPECT_TRUE(TargetStatementsStartingWith("INSERT").empty());
}

TEST_F(TargetChoicesTest, RulesThatFitChooseTheTypesAndAreListed) {
    context_.options.typeMap = TypeMapFile("tinyint(1) = bit\n`the list`.name = nvarchar(5)\n");
    ConversionReport report;
    EXPECT_EQ(ConvertDatabaseTables(context_, database_, &report), 0);
    EXPECT_TRUE(report.failures.empty()) << report.failures.front();
    const std::string create = TargetStatementsStartingWith("CREATE TABLE [the list]").at(0);
    EXPECT_NE(create.find("flag bit NOT NULL"), std::string::npos) << create;
    EXPECT_NE(create.find("name nvarchar(5) COLLATE Latin1_General_100_BIN2 NOT NULL"), std::string::npos) << create;
    const auto found = std::find_if(report.tables.begin(), report.tables.end(),
                                    [](const TableReport& t) { return t.name == "the list"; });
    ASSERT_NE(found, report.tables.end());
    const TableReport& list = *found;
    ASSERT_EQ(list.overrides.size(), 2u);
    EXPECT_EQ(list.overrides[0], "flag: smallint -> bit (type map line 1: tinyint(1) = bit)");
    bool logged = false;
    for (const std::string& line : Messages()) logged = logged || line.find("[the list] TYPE MAP flag: ") != std::string::npos;
    EXPECT_TRUE(logged);
    EXPECT_TRUE(TargetStatementsStartingWith("IF SCHEMA_ID(").empty());
}

}  // namespace
}  // namespace velmora::test
