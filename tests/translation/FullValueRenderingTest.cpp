// How the Full row copy writes source values for their target columns: every mapped rendering with
// its boundary values, zero dates and times outside a day, and the statement texts around them.
#include <gtest/gtest.h>

#include <string>

#include "translation/FullValueRendering.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

const ExpressionNames kNames{"shop", "shop"};

TargetColumn Column(ValueRendering rendering, bool nullable = true, int bitBytes = 0, int roundToScale = -1) {
    TargetColumn c;
    c.roundToScale = roundToScale;
    c.name = "c";
    c.rendering = rendering;
    c.nullable = nullable;
    c.bitBytes = bitBytes;
    return c;
}

TEST(FullValueRendering, WritesEachValueForItsColumn) {
    using R = ValueRendering;
    struct Row { TargetColumn column; const char* value; bool isNull; const char* literal; ValueOutcome outcome; };
    const Row rows[] = {
        {Column(R::Number), "-128", false, "-128", ValueOutcome::Written},
        {Column(R::Number), "255", false, "255", ValueOutcome::Written},
        {Column(R::Number), "18446744073709551615", false, "18446744073709551615", ValueOutcome::Written},
        {Column(R::Number), "-9223372036854775808", false, "-9223372036854775808", ValueOutcome::Written},
        {Column(R::Number), "1.5e+38", false, "1.5e+38", ValueOutcome::Written},
        {Column(R::Number), "2155", false, "2155", ValueOutcome::Written},       // year
        {Column(R::Number), "2024-01-01", false, "2024", ValueOutcome::Written}, // year read as a date
        // decimal(65,30) in decimal(38,3): rounded, since SQL Server reads no literal beyond 38 digits
        {Column(R::Number, true, 0, 3), "12345678901234567890123456789012345.123556789012345678901234567890", false,
         "12345678901234567890123456789012345.124", ValueOutcome::Written},
        {Column(R::Number, true, 0, 3), "-99.9995", false, "-100.000", ValueOutcome::Written},
        // all 35 integer digits nines: rounding would need a 36th, so the fraction is cut
        {Column(R::Number, true, 0, 3), "-99999999999999999999999999999999999.999999999999999999999999999999", false,
         "-99999999999999999999999999999999999.999", ValueOutcome::Written},
        {Column(R::Number, true, 0, 3), "99999999999999999999999999999999998.9996", false,
         "99999999999999999999999999999999999.000", ValueOutcome::Written},
        {Column(R::Number, true, 0, 0), "9.5", false, "10", ValueOutcome::Written},
        {Column(R::Number, true, 0, 3), "1.5", false, "1.5", ValueOutcome::Written},
        {Column(R::Boolean), "1", false, "1", ValueOutcome::Written},
        {Column(R::Boolean), "00", false, "0", ValueOutcome::Written},
        {Column(R::Boolean), "\x01", false, "1", ValueOutcome::Written},
        {Column(R::BitBytes, true, 2), "05", false, "0x0005", ValueOutcome::Written},
        {Column(R::BitBytes, true, 2), "01FF", false, "0x01FF", ValueOutcome::Written},
        {Column(R::BitBytes, true, 2), "\x01", false, "0x0001", ValueOutcome::Written},  // a raw byte
        {Column(R::BitBytes, true, 8), "FFFFFFFFFFFFFFFF", false, "0xFFFFFFFFFFFFFFFF", ValueOutcome::Written},
        {Column(R::Text), "it's \xF0\x9F\x98\x80", false, "N'it''s \xF0\x9F\x98\x80'", ValueOutcome::Written},
        {Column(R::Text), "a,b", false, "N'a,b'", ValueOutcome::Written},  // a set value
        {Column(R::Text), "", false, "N''", ValueOutcome::Written},
        {Column(R::Text), "POINT(1 2)", false, "N'POINT(1 2)'", ValueOutcome::Written},
        {Column(R::Text), "{\"a\": [1, 2]}", false, "N'{\"a\": [1, 2]}'", ValueOutcome::Written},
        {Column(R::Binary), "00FF10", false, "0x00FF10", ValueOutcome::Written},
        {Column(R::Date), "2024-01-15", false, "'2024-01-15'", ValueOutcome::Written},
        {Column(R::Date), "1000-01-01", false, "'1000-01-01'", ValueOutcome::Written},
        {Column(R::Date), "0000-00-00", false, "NULL", ValueOutcome::ZeroDateAsNull},
        {Column(R::Date), "2024-00-15", false, "NULL", ValueOutcome::ZeroDateAsNull},
        {Column(R::Date), "2024-05-00", false, "NULL", ValueOutcome::ZeroDateAsNull},
        {Column(R::Date, false), "0000-00-00", false, "", ValueOutcome::RowFails},
        {Column(R::DateTime), "0000-00-00 00:00:00", false, "NULL", ValueOutcome::ZeroDateAsNull},
        {Column(R::DateTime, false), "0000-00-00 00:00:00", false, "", ValueOutcome::RowFails},
        {Column(R::DateTime), "9999-12-31 23:59:59.999999", false, "'9999-12-31T23:59:59.999999'", ValueOutcome::Written},
        {Column(R::DateTime), "2024-01-15 10:00:00.500000", false, "'2024-01-15T10:00:00.5'", ValueOutcome::Written},
        {Column(R::Time), "23:59:59", false, "'23:59:59'", ValueOutcome::Written},
        {Column(R::Time), "00:00:00", false, "'00:00:00'", ValueOutcome::Written},
        {Column(R::Time), "838:59:59", false, "", ValueOutcome::RowFails},
        {Column(R::Time), "24:00:00", false, "", ValueOutcome::RowFails},
        {Column(R::Time), "-00:00:01", false, "", ValueOutcome::RowFails},
        {Column(R::Time, false), "", true, "NULL", ValueOutcome::Written},
        {Column(R::Date, false), "", true, "NULL", ValueOutcome::Written},
    };
    for (const Row& row : rows) {
        std::string out = "(";
        RenderedValue rendered = AppendFullValue(out, row.column, row.value, row.isNull);
        EXPECT_EQ(rendered.outcome, row.outcome) << row.value;
        if (row.outcome == ValueOutcome::RowFails) {
            EXPECT_EQ(out, "(") << row.value;
            EXPECT_STRNE(rendered.reason, "") << row.value;
        } else {
            EXPECT_EQ(out, std::string("(") + row.literal) << row.value;
        }
    }
}

TEST(FullValueRendering, StatementsAroundTheValuesUseTheWrittenColumns) {
    FullTableTranslation t = TranslateTableFull(
        "CREATE TABLE `order lines` (\n  `id` int NOT NULL AUTO_INCREMENT,\n  `where` point DEFAULT NULL,\n"
        "  `twice` int GENERATED ALWAYS AS (`id` * 2) VIRTUAL,\n  PRIMARY KEY (`id`)\n) ENGINE=InnoDB",
        kNames);
    ASSERT_TRUE(t.ok()) << t.error;
    EXPECT_EQ(SourceSelectList(t), "id, ST_AsText(`where`) AS `where`");
    FullTableTranslation labels = TranslateTableFull(
        "CREATE TABLE `l` (\n  `kind` enum('a','b') NOT NULL,\n  `flags` set('x','y') DEFAULT NULL\n) DEFAULT CHARSET=binary",
        kNames);
    EXPECT_EQ(SourceSelectList(labels), "CONVERT(kind USING utf8mb4) AS kind, CONVERT(flags USING utf8mb4) AS flags");
    FullTableTranslation floats = TranslateTableFull(
        "CREATE TABLE `m` (\n  `f` float DEFAULT NULL,\n  `u` float(7,3) unsigned DEFAULT NULL,\n"
        "  `d` double DEFAULT NULL\n)", kNames);
    EXPECT_EQ(SourceSelectList(floats), "f + 0e0 AS f, u + 0e0 AS u, d");
    EXPECT_EQ(InsertPrefix(t), "INSERT INTO [order lines] (id,[where]) VALUES ");
    EXPECT_EQ(IdentityInsertStatement(t, true), "SET IDENTITY_INSERT [order lines] ON");
    EXPECT_EQ(IdentityInsertStatement(t, false), "SET IDENTITY_INSERT [order lines] OFF");
    std::string insert = InsertPrefix(t) + "(1,";
    AppendFullValue(insert, t.columns[1], "POINT(1 2)", false);
    insert += ")";
    EXPECT_EQ(test::DescribeTsqlProblems(insert), "");
    EXPECT_EQ(test::DescribeTsqlProblems(IdentityInsertStatement(t, true)), "");
}

}  // namespace
}  // namespace velmora
