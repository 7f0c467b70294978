// The row copy's keyset pages against real tables (composite keys across page boundaries, a
// unique key when there is no primary key, rows large enough to shrink the pages, keys that need
// quoting and literals with quotes and backslashes), and names that need quoting through every
// statement of a table conversion and a view conversion.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Converters/Conditions.h"
#include "Converters/ConversionDrivers.h"
#include "Converters/ConversionReport.h"
#include "Converters/RowTransfer.h"
#include "Converters/TableDefinitionReader.h"
#include "support/ConversionFixture.h"
#include "support/LocalMariaDb.h"

namespace velmora::test {
namespace {

const std::string kDatabase = ProcessDatabaseName("velmora_it_convert_paging");

class PagingTest : public ConversionFixture {
protected:
    // The tables are only read: one database for the whole suite.
    static void SetUpTestSuite() {
        RunSql(std::string("DROP DATABASE IF EXISTS ") + kDatabase + "; CREATE DATABASE " +
               kDatabase + " CHARACTER SET utf8mb4; USE " + kDatabase + ";" +
               // 2,600 rows under a composite key whose first column has three values, so that
               // pages end in the middle of a group.
               "CREATE TABLE grouped (grp int NOT NULL, `key` varchar(20) NOT NULL, n int, "
               "PRIMARY KEY (grp, `key`));"
               "INSERT INTO grouped SELECT seq % 3, CONCAT('k', LPAD(seq, 5, '0')), seq FROM "
               "seq_1_to_2600;"
               // No primary key; a nullable unique key and a unique key over NOT NULL text whose
               // values hold quotes, backslashes and non-ASCII letters.
               "CREATE TABLE tagged (id int, tag varchar(40) NOT NULL, note varchar(10), "
               "UNIQUE KEY uq_note (note), UNIQUE KEY uq_tag (tag));"
               "INSERT INTO tagged SELECT seq, CONCAT(ELT(1 + seq % 4, 'a''b', 'c\\\\d', 'Ünï', "
               "'z'), seq), NULL FROM seq_1_to_1500;"
               // Rows of 20,000 bytes: the pages shrink to about 200 rows.
               "CREATE TABLE wide (id int PRIMARY KEY, body mediumtext);"
               "INSERT INTO wide SELECT seq, REPEAT('w', 20000) FROM seq_1_to_1200;"
               // A floating-point primary key does not qualify for paging.
               "CREATE TABLE measured (v double PRIMARY KEY, n int);"
               "INSERT INTO measured VALUES (0.1, 1), (0.2, 2), (0.3, 3);" +
               LongDefinition());
    }
    // A table whose show create table text is far longer than 8,192 bytes.
    static std::string LongDefinition() {
        std::string sql = "CREATE TABLE long_definition (id int PRIMARY KEY";
        for (int i = 0; i < 100; ++i) {
            sql += ", column_number_" + std::to_string(i) + " varchar(10) COMMENT '" +
                   std::string(100, 'x') + "'";
        }
        return sql + ");";
    }
    static void TearDownTestSuite() {
        RunSql(std::string("DROP DATABASE IF EXISTS ") + kDatabase + ";");
    }
    void SetUp() override {
        ConversionFixture::SetUp();
        UseSourceDatabase(kDatabase);
    }

    RowCopyResult Copy(const std::string& table) {
        return CopyTableRows(context_, kDatabase,
                             table);
    }
};

// The first value of each insert, in the order sent.
std::vector<std::string> FirstValues(const std::vector<std::string>& statements) {
    std::vector<std::string> values;
    for (const std::string& s : statements) {
        size_t open = s.find('(');
        values.push_back(s.substr(open + 1, s.find(',', open) - open - 1));
    }
    return values;
}

TEST_F(PagingTest, ACompositeKeyAcrossPageBoundariesCopiesEveryRowOnceInKeyOrder) {
    RowCopyResult result = Copy("grouped");
    EXPECT_EQ(result.rowsWritten, 2600);
    EXPECT_GT(result.queries, 1);
    std::vector<std::vector<std::string>> expected =
        QueryRows(std::string("select grp, `key`, n from ") + kDatabase +
                  ".grouped order by grp, `key`");
    std::vector<std::string> statements = target_->Statements();
    ASSERT_EQ(statements.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(statements[i], "insert into grouped values (" + expected[i][0] + ",N'" +
                                     expected[i][1] + "'," + expected[i][2] + ")\n")
            << i;
    }
}

TEST_F(PagingTest, AUniqueKeyOverNotNullTextStandsInForThePrimaryKey) {
    ASSERT_TRUE(SaveCondition(main_->conditionFilePath(), kDatabase, "tagged", "id % 5 <> 0"));
    RowCopyResult result = Copy("tagged");
    EXPECT_EQ(result.rowsWritten, 1200);
    EXPECT_GT(result.queries, 1);
    std::vector<std::vector<std::string>> expected = QueryRows(
        std::string("select id from ") + kDatabase + ".tagged where id % 5 <> 0 order by tag");
    std::vector<std::string> ids = FirstValues(target_->Statements());
    ASSERT_EQ(ids.size(), expected.size());
    for (size_t i = 0; i < ids.size(); ++i) ASSERT_EQ(ids[i], expected[i][0]) << i;
    for (const std::string& m : Messages()) EXPECT_EQ(m.find("one pass"), std::string::npos) << m;
}

TEST_F(PagingTest, LargeRowsShrinkThePagesAndEveryRowArrivesOnce) {
    RowCopyResult result = Copy("wide");
    EXPECT_EQ(result.rowsWritten, 1200);
    // 1,000 rows, then pages of 4 MB / 20,000 bytes = 209 rows.
    EXPECT_EQ(result.queries, 2);
    std::vector<std::string> ids = FirstValues(target_->Statements());
    ASSERT_EQ(ids.size(), 1200u);
    for (size_t i = 0; i < ids.size(); ++i) ASSERT_EQ(ids[i], std::to_string(i + 1));
    EXPECT_EQ(Messages(), (std::vector<std::string>{
                              "[wide] 1000 records converted!",
                              "[wide] 1200 records converted, convertion completed SUCCESSFULLY!"}));
}

TEST_F(PagingTest, ATableWithoutAQualifyingKeyIsReadInOnePass) {
    RowCopyResult result = Copy("measured");
    EXPECT_EQ(result.rowsWritten, 3);
    EXPECT_EQ(result.queries, 1);
    EXPECT_EQ(Messages().front(),
              "[measured] has no primary key and no unique key over NOT NULL columns: its rows "
              "are read in one pass");
}

TEST_F(PagingTest, AMissingTableOrConnection) {
    RowCopyResult result = Copy("no_such_table");
    EXPECT_EQ(result.text, "FALSE");
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("no_such_table"), std::string::npos) << Messages()[0];
    EXPECT_FALSE(WorkFileExists("no_such_table.data"));

    auto target = std::move(context_.targetConnection);
    result = CopyTableRows(context_, kDatabase, "wide");  // no target
    EXPECT_EQ(result.text, "FALSE");
    context_.targetConnection = std::move(target);
    context_.sourceConnection->Close();
    result = CopyTableRows(context_, kDatabase, "wide");
    EXPECT_EQ(result.text, "FALSE");
    std::vector<std::string> messages = Messages();
    EXPECT_EQ(std::vector<std::string>(messages.end() - 2, messages.end()),
              (std::vector<std::string>{"No Target Connection!", "No Source Connection!"}));
    EXPECT_TRUE(target_->Statements().empty());
}

TEST_F(PagingTest, ADefinitionLongerThan8KBIsReadWhole) {
    std::string create =
        TranslateTableDefinition(context_.SourceSession(), kDatabase, "long_definition", main_->log());
    EXPECT_GT(create.size(), 15000u);
    EXPECT_EQ(create.rfind("create table long_definition (\n  id int not null,\n", 0), 0u);
    const std::string end =
        "  column_number_99 varchar(10) default null comment '" + std::string(100, 'x') + "'\n)\n";
    ASSERT_GT(create.size(), end.size());
    EXPECT_EQ(create.substr(create.size() - end.size()), end);
}

const std::string kNamesDatabase = ProcessDatabaseName("velmora_it_convert_names");

class NamesTest : public ConversionFixture {
protected:
    void SetUp() override {
        RunSql(std::string("DROP DATABASE IF EXISTS ") + kNamesDatabase + "; CREATE DATABASE " +
               kNamesDatabase + " CHARACTER SET utf8mb4; USE " + kNamesDatabase + ";" +
               "CREATE TABLE `user` (`key` int NOT NULL, `first name` varchar(20), "
               "PRIMARY KEY (`key`));"
               "CREATE TABLE `order` (`select` int NOT NULL, `user` int NOT NULL, "
               "`group` varchar(10) NOT NULL, PRIMARY KEY (`select`), "
               "UNIQUE KEY `index` (`group`), KEY `by user` (`user`), "
               "CONSTRAINT `fk order user` FOREIGN KEY (`user`) REFERENCES `user` (`key`));"
               "INSERT INTO `user` VALUES (1, 'Ann'), (2, NULL);"
               "INSERT INTO `order` VALUES (10, 1, 'g''1'), (11, 2, 'g2');"
               "CREATE TABLE a (id int PRIMARY KEY, x int, c int);"
               "CREATE TABLE b (id int PRIMARY KEY, y int);"
               "CREATE VIEW `comma join` AS SELECT a.x, b.y FROM a, b WHERE a.id = b.id;"
               "CREATE VIEW ratios AS SELECT count(*) AS n, sum(a.c / (a.x * a.id)) AS r FROM a;");
        ConversionFixture::SetUp();
        UseSourceDatabase(kNamesDatabase);
    }
    void TearDown() override {
        ConversionFixture::TearDown();
        RunSql(std::string("DROP DATABASE IF EXISTS ") + kNamesDatabase + ";");
    }
};

TEST_F(NamesTest, ReservedWordsAndBlanksAreQuotedInEveryStatement) {
    ConversionReport report;
    EXPECT_EQ(ConvertDatabaseTables(context_, kNamesDatabase, &report), 0);
    EXPECT_FALSE(report.Failed());
    EXPECT_EQ(target_->Statements(),
              (std::vector<std::string>{
                  "create table a (\n  id int not null,\n  x int default null,\n"
                  "  c int default null\n)\n",
                  "ALTER TABLE \"a\" add PRIMARY KEY (id)\n",
                  "create table b (\n  id int not null,\n  y int default null\n)\n",
                  "ALTER TABLE \"b\" add PRIMARY KEY (id)\n",
                  "create table [order] (\n  [select] int not null,\n  [user] int not null,\n"
                  "  [group] varchar(10) not null\n)\n",
                  "ALTER TABLE [order] add PRIMARY KEY ([select])\n",
                  "CREATE UNIQUE INDEX [index] ON [order] ([group]);\n"
                  "CREATE INDEX [by user] ON [order] ([user])\n",
                  "insert into [order] values (10,1,N'g''1')\n",
                  "insert into [order] values (11,2,N'g2')\n",
                  "create table [user] (\n  [key] int not null,\n"
                  "  [first name] varchar(20) default null\n)\n",
                  "ALTER TABLE [user] add PRIMARY KEY ([key])\n",
                  "insert into [user] values (1,N'Ann')\n",
                  "insert into [user] values (2,NULL)\n",
                  "Alter Table [order] ADD CONSTRAINT [fk order user] FOREIGN KEY ([user])\n"
                  " REFERENCES [user]([key])\n"}));
}

TEST_F(NamesTest, ViewsKeepTheirProductsAndCountsAndLoseTheCommaJoin) {
    ConversionReport report;
    EXPECT_EQ(ConvertDatabaseViews(context_, kNamesDatabase, &report), 0);
    EXPECT_EQ(target_->Statements(),
              (std::vector<std::string>{
                  "create view [comma join] as select a.x as x,b.y as y from a , b where a.id = "
                  "b.id",
                  "create view ratios as select count(0) as n,sum(a.c / (a.x * a.id)) as r from "
                  "a"}));
    EXPECT_EQ(ReadWorkFile("comma join.vw"), target_->Statements()[0]);
}

}  // namespace
}  // namespace velmora::test
