// The T-SQL literal of one value, per type code: NULL stays NULL, text is national and keeps its
// quotes, binary keeps every digit, dates and times are quoted forms SQL Server reads the same
// way under every language, numbers stay bare, and nothing can leave its literal.
#include <gtest/gtest.h>

#include <string>

#include "translation/ValueLiterals.h"
#include "translation/TypeCodes.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

struct LiteralCase {
    uint16_t type;
    std::string value;
    bool isNull;
    std::string expected;
};

TEST(ValueLiterals, EveryTypeRendersAsItsLiteral) {
    const LiteralCase cases[] = {
        // NULL is NULL whatever the type.
        {kTypeWStr, "", true, "NULL"},
        {kTypeStr, "ignored", true, "NULL"},
        {kTypeI4, "", true, "NULL"},
        {kTypeDbDate, "", true, "NULL"},
        {kTypeDbTimestamp, "", true, "NULL"},
        {kTypeBytes, "", true, "NULL"},
        {kTypeBool, "", true, "NULL"},
        // Text: national, quotes doubled, empty text stays an empty text.
        {kTypeWStr, "abc", false, "N'abc'"},
        {kTypeStr, "it's", false, "N'it''s'"},
        {kTypeWStr, "''", false, "N''''''"},
        {kTypeWStr, "", false, "N''"},
        {kTypeWStr, "Zoë 日本語 🎉", false, "N'Zoë 日本語 🎉'"},
        {kTypeWStr, "100% %s %d", false, "N'100% %s %d'"},
        {kTypeWStr, "back\\slash", false, "N'back\\slash'"},
        {kTypeGuid, "6F9619FF-8B86-D011-B42D-00C04FC964FF", false,
         "N'6F9619FF-8B86-D011-B42D-00C04FC964FF'"},
        {kTypeBstr, "x", false, "N'x'"},
        {kTypeEmpty, "unknown type", false, "N'unknown type'"},
        // Binary: every digit, zeros at both ends included; empty binary is 0x.
        {kTypeBytes, "0000FF00", false, "0x0000FF00"},
        {kTypeBytes, "4142", false, "0x4142"},
        {kTypeBytes, "00", false, "0x00"},
        {kTypeBytes, "", false, "0x"},
        // Not hexadecimal: the raw bytes are written in hexadecimal.
        {kTypeBytes, std::string("A\0'", 3), false, "0x410027"},
        {kTypeBytes, "ABC", false, "0x414243"},
        // Numbers stay bare.
        {kTypeI4, "42", false, "42"},
        {kTypeI8, "-9223372036854775808", false, "-9223372036854775808"},
        {kTypeUI8, "18446744073709551615", false, "18446744073709551615"},
        {kTypeNumeric, "0.00", false, "0.00"},
        {kTypeNumeric, "-500.25", false, "-500.25"},
        {kTypeR8, "1.5e+20", false, "1.5e+20"},
        {kTypeR4, "0.75", false, "0.75"},
        {kTypeI2, "1952", false, "1952"},
        // A numeric column whose text is not a number cannot leave its literal.
        {kTypeI4, "1); drop table t; --", false, "N'1); drop table t; --'"},
        {kTypeR8, "inf", false, "N'inf'"},
        {kTypeR8, "", false, "N''"},
        // Bit and boolean.
        {kTypeBool, "1", false, "1"},
        {kTypeBool, "0", false, "0"},
        {kTypeBool, "True", false, "1"},
        {kTypeBool, "False", false, "0"},
        {kTypeBool, "\x01", false, "1"},
        {kTypeBool, std::string("\0", 1), false, "0"},
        // Dates, times and date-times: quoted, the date-time in the ISO form with a T.
        {kTypeDbDate, "2026-01-11", false, "'2026-01-11'"},
        {kTypeDbTime, "12:30:00", false, "'12:30:00'"},
        {kTypeDbTime, "12:30:00.500000", false, "'12:30:00.5'"},
        {kTypeDbTimestamp, "2026-01-10 09:00:00", false, "'2026-01-10T09:00:00'"},
        {kTypeDbTimestamp, "2026-01-01 00:00:00.123", false, "'2026-01-01T00:00:00.123'"},
        {kTypeDbTimestamp, "2026-01-01 00:00:00.120000", false, "'2026-01-01T00:00:00.12'"},
        {kTypeDbTimestamp, "2026-01-01 00:00:00.000000", false, "'2026-01-01T00:00:00'"},
        {kTypeDbTimestamp, "0000-00-00 00:00:00", false, "'0000-00-00T00:00:00'"},
        {kTypeDbTimestamp, "odd'value", false, "'odd''value'"},
    };
    for (const LiteralCase& c : cases) {
        EXPECT_EQ(ValueLiteral(c.type, c.value, c.isNull), c.expected)
            << "type " << c.type << " value '" << c.value << "'";
    }
}

TEST(ValueLiterals, LineBreaksKeepTheValueAndTheStatementOnOneLine) {
    EXPECT_EQ(ValueLiteral(kTypeWStr, "a\nb", false),
              "CONCAT(CONVERT(nvarchar(max),N'a'),NCHAR(10),N'b')");
    EXPECT_EQ(ValueLiteral(kTypeWStr, "it's\r\n", false),
              "CONCAT(CONVERT(nvarchar(max),N'it''s'),NCHAR(13),NCHAR(10))");
    EXPECT_EQ(ValueLiteral(kTypeWStr, "\n\nx", false),
              "CONCAT(CONVERT(nvarchar(max),NCHAR(10)),NCHAR(10),N'x')");
    // A lone line break is a concatenation of one part.
    EXPECT_EQ(ValueLiteral(kTypeWStr, "\n", false), "NCHAR(10)");
    // A numeric column with a line break in its text goes the text way.
    EXPECT_EQ(ValueLiteral(kTypeI4, "1\n", false), "CONCAT(CONVERT(nvarchar(max),N'1'),NCHAR(10))");
    EXPECT_EQ(ValueLiteral(kTypeDbDate, "2026\n", false),
              "CONCAT(CONVERT(nvarchar(max),N'2026'),NCHAR(10))");
}

TEST(ValueLiterals, ManyLineBreaksNestConcatInGroupsThatAllStartAsMax) {
    std::string text;
    for (int i = 0; i < 600; ++i) text += "line\n";
    std::string literal = ValueLiteral(kTypeWStr, text, false);
    EXPECT_EQ(literal.find('\n'), std::string::npos);
    // 1,200 parts: twelve groups of at most 100 arguments (Babelfish's most) under one outer
    // CONCAT.
    size_t groups = 0;
    for (size_t at = literal.find("CONCAT(CONVERT(nvarchar(max),"); at != std::string::npos;
         at = literal.find("CONCAT(CONVERT(nvarchar(max),", at + 1)) {
        ++groups;
    }
    EXPECT_EQ(groups, 13u);
    EXPECT_EQ(test::DescribeTsqlProblems("insert into t values (" + literal + ")\n"), "");
}

TEST(ValueLiterals, StatementsOfEveryKindParseAsTsql) {
    std::string statement = "insert into t values (";
    const LiteralCase values[] = {
        {kTypeWStr, "it's", false, ""},     {kTypeBytes, "", false, ""},
        {kTypeBytes, "00FF", false, ""},    {kTypeDbTimestamp, "2026-01-10 09:00:00", false, ""},
        {kTypeDbDate, "2026-01-11", false, ""}, {kTypeDbTime, "12:00:00", false, ""},
        {kTypeNumeric, "-0.5", false, ""},  {kTypeR8, "1e+20", false, ""},
        {kTypeBool, "True", false, ""},     {kTypeI4, "", true, ""},
        {kTypeWStr, "x\r\ny", false, ""},   {kTypeI4, "1); drop table t; --", false, ""},
    };
    bool first = true;
    for (const LiteralCase& v : values) {
        if (!first) statement += ",";
        first = false;
        AppendValueLiteral(statement, v.type, v.value, v.isNull);
    }
    statement += ")\n";
    EXPECT_EQ(test::DescribeTsqlProblems(statement), "");
}

TEST(ValueLiterals, NumericLiteralShapes) {
    for (const char* yes : {"0", "-1", "+1", "1.", ".5", "1.5e10", "1E-5", "007"}) {
        EXPECT_TRUE(IsNumericLiteral(yes)) << yes;
    }
    for (const char* no : {"", "-", ".", "e5", "1e", "1.2.3", "0x10", "1 ", " 1", "nan", "1,5"}) {
        EXPECT_FALSE(IsNumericLiteral(no)) << no;
    }
}

}  // namespace
}  // namespace velmora
