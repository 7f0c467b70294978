// The verification of copied tables: the real MariaDB as the source, the target double scripted
// with what a SQL Server returns through its ODBC driver (decimals without leading zeros, float
// with 17 digits, datetime2 at its own precision, nchar padded, binary as hexadecimal).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Converters/Conditions.h"
#include "Converters/ConversionReport.h"
#include "Converters/Verification.h"
#include "support/ConversionFixture.h"

namespace velmora::test {
namespace {

const std::string kDatabase = ProcessDatabaseName("velmora_it_verify");

const std::vector<std::string> kColumns = {"id",   "name", "code", "price", "ratio", "born",
                                           "seen", "at",   "raw",  "flag",  "kind",  "tags",
                                           "yr",   "gone"};

// The target's rows as SQL Server prints the source's rows below.
std::vector<ScriptedRow> TargetRows() {
    return {
        {"1", "Ann", "A1   ", ".50", "0.10000000000000001", "2024-01-02",
         "2024-01-02 03:04:05.123", "10:11:12.500", "00FF00", "1", "a", "x,y", "2024", std::nullopt},
        {"2", "", "B2   ", "12.30", "2.5", "1999-12-31", "1999-12-31 23:59:59.000", "00:00:00.000",
         "", "0", "b", "", "1999", "2020-05-06"},
        {"3", std::nullopt, "C3   ", "-7.00", "-1E+20", "2000-02-29", "2000-02-29 00:00:00.000",
         "23:59:59.999", "0000", "1", "a", "y", "2000", std::nullopt},
    };
}

class VerificationTest : public ConversionFixture {
protected:
    static void SetUpTestSuite() {
        RunSql("DROP DATABASE IF EXISTS " + kDatabase + "; CREATE DATABASE " + kDatabase +
               " CHARACTER SET utf8mb4; USE " + kDatabase +
               "; SET SESSION sql_mode = '';"
               "CREATE TABLE typed (id int PRIMARY KEY, name varchar(20), code char(5), "
               "price decimal(10,2), ratio double, born date, seen datetime(6), at time(3), "
               "raw varbinary(10), flag bit(1), kind enum('a','b'), tags set('x','y'), yr year, "
               "gone date NULL);"
               "INSERT INTO typed VALUES "
               "(1, 'Ann', 'A1', 0.50, 0.1, '2024-01-02', '2024-01-02 03:04:05.123456', "
               "'10:11:12.5', X'00FF00', b'1', 'a', 'x,y', 2024, '0000-00-00'),"
               "(2, '', 'B2', 12.3, 2.5, '1999-12-31', '1999-12-31 23:59:59', '00:00:00', '', "
               "b'0', 'b', '', 1999, '2020-05-06'),"
               "(3, NULL, 'C3', -7, -1e20, '2000-02-29', '2000-02-29 00:00:00', '23:59:59.999', "
               "X'0000', b'1', 'a', 'y', 2000, NULL);"
               "CREATE TABLE loose (n int, note varchar(10));"
               "INSERT INTO loose VALUES (1, 'a'), (1, 'a'), (2, NULL);"
               "CREATE TABLE named (code varchar(10) NOT NULL, n int, UNIQUE KEY uq (code));"
               "INSERT INTO named VALUES ('b', 2), ('B_', 3), ('a', 1), ('_z', 4);");
    }
    static void TearDownTestSuite() { RunSql("DROP DATABASE IF EXISTS " + kDatabase + ";"); }

    void SetUp() override {
        ConversionFixture::SetUp();
        UseSourceDatabase(kDatabase);
    }

    // The target answers the first page of `table` with `rows` (the later pages are empty).
    void ScriptTarget(const std::string& table, const std::vector<std::string>& columns,
                      std::vector<ScriptedRow> rows, int dateScale = 3) {
        ScriptedResult result = ScriptedResult::Text(columns, std::move(rows));
        for (ColumnInfo& column : result.columns) {
            if (column.name == "seen" || column.name == "at") column.scale = static_cast<int16_t>(dateScale);
        }
        target_->ClearAnswers();
        std::string from = " from [" + table + "] order by ";
        target_->AnswerWhen(
            [from](const std::string& s) {
                return s.rfind("select top (", 0) == 0 && s.find(from) != std::string::npos;
            },
            result);
    }

    TableVerification Verify(const std::string& table, VerifyMode mode = VerifyMode::Full) {
        return VerifyTable(context_, kDatabase, table, mode);
    }
};

TEST_F(VerificationTest, EqualDataMatchesAcrossEveryTypeFamily) {
    ScriptTarget("typed", kColumns, TargetRows());
    TableVerification result = Verify("typed");
    EXPECT_EQ(result.error, "");
    EXPECT_TRUE(result.Matches());
    EXPECT_EQ(result.rowsCompared, 3);
    EXPECT_EQ(result.sourceRows, 3);
    EXPECT_EQ(result.targetRows, 3);
    for (const VerificationDifference& d : result.differences) {
        ADD_FAILURE() << d.kind << " " << d.key << " " << d.column << " "
                      << d.source.value_or("NULL") << " / " << d.target.value_or("NULL");
    }
    EXPECT_EQ(TargetStatementsStartingWith("select top (1000) [id], [name], [code], [price]").size(), 1u);
}

TEST_F(VerificationTest, MissingAndExtraRowsAreNamedByKey) {
    std::vector<ScriptedRow> rows = TargetRows();
    rows.erase(rows.begin() + 1);  // id 2 did not arrive
    ScriptedRow extra = rows.back();
    extra[0] = "9";
    rows.push_back(extra);  // and the target has a row the source has not
    ScriptTarget("typed", kColumns, rows);
    TableVerification result = Verify("typed");
    EXPECT_FALSE(result.Matches());
    EXPECT_EQ(result.missing, 1);
    EXPECT_EQ(result.extra, 1);
    EXPECT_EQ(result.different, 0);
    EXPECT_EQ(result.rowsCompared, 2);
    ASSERT_EQ(result.differences.size(), 2u);
    EXPECT_EQ(result.differences[0].kind, "missing");
    EXPECT_EQ(result.differences[0].key, "id=2");
    EXPECT_EQ(result.differences[1].kind, "extra");
    EXPECT_EQ(result.differences[1].key, "id=9");
}

// One changed value per family, each in its own run; the row and column are named.
TEST_F(VerificationTest, AChangedValueInEachFamilyIsFound) {
    struct Case {
        size_t row;
        std::string column;
        std::optional<std::string> target;
    };
    const std::vector<Case> cases = {
        {0, "name", "Anne"},                            // text
        {0, "code", "A2   "},                           // fixed text
        {0, "price", ".51"},                            // decimal
        {0, "ratio", "0.10000000000000002"},            // double
        {0, "born", "2024-01-03"},                      // date
        {0, "seen", "2024-01-02 03:04:05.133"},         // datetime above the target's precision
        {0, "at", "10:11:13.500"},                      // time
        {0, "raw", "00FF"},                             // binary: a zero byte lost
        {0, "flag", "0"},                               // bit
        {0, "kind", "b"},                               // enum
        {0, "tags", "x"},                               // set
        {0, "yr", "2025"},                              // year
        {0, "gone", "2000-01-01"},                      // a zero date is expected as NULL
        {1, "name", std::nullopt},                      // an empty string is no NULL
        {2, "name", ""},                                // and a NULL no empty string
        {2, "ratio", "-1.0000000000000001E+20"},        // the last row differs
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.column + " = " + c.target.value_or("NULL"));
        std::vector<ScriptedRow> rows = TargetRows();
        size_t at = 0;
        while (kColumns[at] != c.column) ++at;
        rows[c.row][at] = c.target;
        target_->ClearStatements();
        ScriptTarget("typed", kColumns, rows);
        TableVerification result = Verify("typed");
        EXPECT_EQ(result.different, 1);
        EXPECT_EQ(result.missing + result.extra, 0);
        ASSERT_EQ(result.differences.size(), 1u);
        EXPECT_EQ(result.differences[0].key, "id=" + std::to_string(c.row + 1));
        EXPECT_EQ(result.differences[0].column, c.column);
        EXPECT_EQ(result.differences[0].target, c.target);
    }
}

TEST_F(VerificationTest, ADateThatDiffersOnlyBelowTheTargetPrecisionIsEqual) {
    std::vector<ScriptedRow> rows = TargetRows();
    rows[0][6] = "2024-01-02 03:04:05";  // datetime2(0): the fraction is below its precision
    rows[0][7] = "10:11:13";             // time(0): 12.5 s rounded up
    ScriptTarget("typed", kColumns, rows, 0);
    EXPECT_TRUE(Verify("typed").Matches());
    rows[0][6] = "2024-01-02 03:04:07";
    target_->ClearStatements();
    ScriptTarget("typed", kColumns, rows, 0);
    EXPECT_EQ(Verify("typed").different, 1);
}

TEST_F(VerificationTest, ATableWithoutKeyIsComparedByCountAndSaysSo) {
    target_->AnswerWith("select count_big(*) from [loose]", ScriptedResult::Text({""}, {{"3"}}));
    TableVerification result = Verify("loose");
    EXPECT_TRUE(result.Matches());
    EXPECT_EQ(result.sourceRows, 3);
    EXPECT_NE(result.note.find("compared by count only"), std::string::npos);
    target_->AnswerWith("select count_big(*) from [loose]", ScriptedResult::Text({""}, {{"2"}}));
    result = Verify("loose");
    EXPECT_EQ(result.missing, 1);
    EXPECT_FALSE(result.Matches());
}

TEST_F(VerificationTest, CountModeAppliesTheConditionOnTheSource) {
    ASSERT_TRUE(SaveCondition(context_.conditionFile, kDatabase, "typed", "id <= 2 -- two rows"));
    target_->AnswerWith("select count_big(*) from [typed]", ScriptedResult::Text({""}, {{"2"}}));
    TableVerification result = Verify("typed", VerifyMode::Count);
    EXPECT_TRUE(result.Matches());
    EXPECT_EQ(result.sourceRows, 2);
    // Full mode reads only those rows too.
    std::vector<ScriptedRow> rows = TargetRows();
    rows.pop_back();
    ScriptTarget("typed", kColumns, rows);
    EXPECT_TRUE(Verify("typed").Matches());
}

TEST_F(VerificationTest, TextKeysAreMergedInCodePointOrder) {
    // 'B_' < '_z' < 'a' < 'b' by code point, whatever the servers' collations say.
    ScriptTarget("named", {"code", "n"},
                 {{"B_", "3"}, {"_z", "4"}, {"a", "1"}, {"b", "2"}});
    TableVerification result = Verify("named");
    EXPECT_EQ(result.error, "");
    EXPECT_TRUE(result.Matches());
    auto selects = TargetStatementsStartingWith("select top (1000) [code], [n] from [named]");
    ASSERT_EQ(selects.size(), 1u);
    EXPECT_NE(selects[0].find("order by [code] collate Latin1_General_BIN2"), std::string::npos);
    // A target that delivers another order is refused, not merged into false differences.
    target_->ClearStatements();
    ScriptTarget("named", {"code", "n"}, {{"a", "1"}, {"B_", "3"}});
    result = Verify("named");
    EXPECT_NE(result.error.find("order of the key"), std::string::npos);
    EXPECT_FALSE(result.Matches());
}

TEST_F(VerificationTest, AStopEndsTheComparisonAsNotVerified) {
    ScriptTarget("typed", kColumns, TargetRows());
    int checks = 0;
    context_.stopCheck = [&checks] { return ++checks > 1; };
    ConversionReport report;
    VerifyIntoReport(context_, kDatabase, "typed", VerifyMode::Full, report);
    ASSERT_EQ(report.tables.size(), 1u);
    ASSERT_TRUE(report.tables[0].verification);
    EXPECT_TRUE(report.tables[0].verification->stopped);
    EXPECT_EQ(report.tables[0].verification->rowsCompared, 1);
    EXPECT_TRUE(report.Failed());
}

TEST_F(VerificationTest, AnUnreadableTargetTableFailsWithTheDriverText) {
    target_->FailWhen([](const std::string& s) { return s.find(" from [typed] ") != std::string::npos; },
                      "Invalid object name 'typed'.");
    ConversionReport report;
    VerifyIntoReport(context_, kDatabase, "typed", VerifyMode::Full, report);
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_NE(report.failures[0].find("Invalid object name 'typed'."), std::string::npos);
}

}  // namespace
}  // namespace velmora::test
