// Every MariaDB column type read through the real driver and written as a T-SQL literal by the
// row copy: NULL, quotes, non-ASCII text, binary with zero bytes, dates and times, decimals,
// bits, and a 100,000-byte text, each checked exactly and parsed by the T-SQL oracle.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Converters/RowTransfer.h"
#include "support/ConversionFixture.h"
#include "support/TsqlOracle.h"

namespace velmora::test {
namespace {

const std::string kDatabase = ProcessDatabaseName("velmora_it_convert_types");

// Column, its MariaDB type, the SQL of a value, and the literal expected for that value.
struct TypeCase {
    const char* column;
    const char* type;
    std::string value;
    std::string literal;
};

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

std::vector<TypeCase> Cases() {
    const std::string longText(100000, 'y');
    return {
        {"c_tinyint", "tinyint", "-128", "-128"},
        {"c_utinyint", "tinyint unsigned", "255", "255"},
        {"c_bool", "boolean", "true", "1"},
        {"c_smallint", "smallint", "-32768", "-32768"},
        {"c_mediumint", "mediumint unsigned", "16777215", "16777215"},
        {"c_int", "int", "-2147483648", "-2147483648"},
        {"c_bigint", "bigint", "-9223372036854775808", "-9223372036854775808"},
        {"c_ubigint", "bigint unsigned", "18446744073709551615", "18446744073709551615"},
        {"c_decimal", "decimal(30,10)", "-12345678901234567890.0123456789",
         "-12345678901234567890.0123456789"},
        {"c_decimal0", "decimal(10,2)", "0", "0.00"},
        {"c_float", "float", "0.5", "0.5"},
        {"c_double", "double", "-1.25e100", "-1.25e100"},
        {"c_bit1", "bit(1)", "b'1'", "1"},
        {"c_bit0", "bit(1)", "b'0'", "0"},
        {"c_bit8", "bit(8)", "b'00000101'", "0x05"},
        {"c_char", "char(10)", "'it''s'", "N'it''s'"},
        {"c_varchar", "varchar(100)", "'Zoë 美咲 🎉 \"q\" back\\\\slash 100%'",
         "N'Zoë 美咲 🎉 \"q\" back\\slash 100%'"},
        {"c_empty", "varchar(10)", "''", "N''"},
        {"c_lines", "text", "'first\\nsecond\\r\\nthird'",
         "CONCAT(CONVERT(nvarchar(max),N'first'),NCHAR(10),N'second',NCHAR(13),NCHAR(10),"
         "N'third')"},
        {"c_longtext", "longtext", "REPEAT('y', 100000)", "N'" + longText + "'"},
        {"c_binary", "binary(4)", "X'00410000'", "0x00410000"},
        {"c_varbinary", "varbinary(10)", "X'000102FF00'", "0x000102FF00"},
        {"c_emptyblob", "blob", "X''", "0x"},
        {"c_blob", "mediumblob", "REPEAT(X'00FF', 40000)", "0x" + Repeat("00FF", 40000)},
        {"c_date", "date", "'2026-02-28'", "'2026-02-28'"},
        {"c_time", "time", "'-12:30:05'", "'-12:30:05'"},
        {"c_time6", "time(6)", "'23:59:59.250000'", "'23:59:59.25'"},
        {"c_datetime", "datetime", "'2026-12-31 23:59:59'", "'2026-12-31T23:59:59'"},
        {"c_datetime3", "datetime(3)", "'2026-01-01 00:00:00.123'", "'2026-01-01T00:00:00.123'"},
        {"c_datetime6", "datetime(6)", "'2026-01-01 00:00:00.000001'",
         "'2026-01-01T00:00:00.000001'"},
        {"c_timestamp", "timestamp NULL", "'2024-02-29 12:00:00'", "'2024-02-29T12:00:00'"},
        {"c_year", "year", "2026", "2026"},
        {"c_enum", "enum('a''b','c')", "'a''b'", "N'a''b'"},
        {"c_set", "set('x','y')", "'x,y'", "N'x,y'"},
    };
}

class ValueRenderingTest : public ConversionFixture {
protected:
    void SetUp() override {
        std::string columns = "id int primary key";
        std::string values = "1";
        std::string nulls = "2";
        for (const TypeCase& c : Cases()) {
            columns += std::string(", ") + c.column + " " + c.type;
            values += ", " + c.value;
            nulls += ", NULL";
        }
        RunSql(std::string("DROP DATABASE IF EXISTS ") + kDatabase + "; CREATE DATABASE " +
               kDatabase + " CHARACTER SET utf8mb4; USE " + kDatabase + "; CREATE TABLE t (" +
               columns + "); INSERT INTO t VALUES (" + values + "), (" + nulls + ");");
        ConversionFixture::SetUp();
        UseSourceDatabase(kDatabase);
    }
    void TearDown() override {
        ConversionFixture::TearDown();
        RunSql(std::string("DROP DATABASE IF EXISTS ") + kDatabase + ";");
    }
};

TEST_F(ValueRenderingTest, EveryColumnTypeBecomesItsLiteral) {
    const std::vector<TypeCase> cases = Cases();
    context_.options.autoBackup = true;
    RowCopyResult result =
        CopyTableRows(context_, kDatabase, "t");
    EXPECT_EQ(result.text, "TRUE");
    EXPECT_EQ(result.rowsWritten, 2);
    std::vector<std::string> statements = target_->Statements();
    ASSERT_EQ(statements.size(), 2u);

    std::string values = "insert into t values (1";
    std::string nulls = "insert into t values (2";
    for (const TypeCase& c : cases) {
        values += "," + c.literal;
        nulls += ",NULL";
    }
    // Compared column by column first, so that a difference names its column.
    std::string rest = statements[0].substr(std::string("insert into t values (1").size());
    for (const TypeCase& c : cases) {
        ASSERT_EQ(rest.rfind("," + c.literal, 0), 0u)
            << c.column << " (" << c.type << "): " << rest.substr(0, 200);
        rest = rest.substr(c.literal.size() + 1);
    }
    EXPECT_EQ(statements[0], values + ")\n");
    EXPECT_EQ(statements[1], nulls + ")\n");
    EXPECT_EQ(ReadWorkFile("t.data"), statements[0] + statements[1]);
    for (const std::string& statement : statements) {
        EXPECT_EQ(DescribeTsqlProblems(statement), "");
        // One statement per line.
        EXPECT_EQ(statement.find('\n'), statement.size() - 1);
    }
}

}  // namespace
}  // namespace velmora::test
