// Bounded input: a definition over the statement limit is refused with its size before any
// parsing (a 61 MB routine took 37 s and 6 GB only to be refused), and a table with more columns
// than SQL Server allows is refused with both numbers (6.4 million columns were translated).
#include <gtest/gtest.h>

#include "translation/FullRoutineTranslator.h"
#include "translation/FullTableTranslator.h"
#include "translation/FullViewTranslator.h"
#include "translation/InputLimits.h"

namespace velmora {
namespace {

TEST(InputLimitsTest, OversizedDefinitionsAndTooManyColumnsAreRefusedWithTheirSize) {
    SetStatementLimit(4096);
    const std::string padding(5000, ' ');
    const std::string expected = "the statement holds 5032 bytes, more than the limit of 4096 (--max-statement-mb raises it)";
    EXPECT_EQ(TranslateRoutineFull("CREATE PROCEDURE p() BEGIN END" + padding + "  ", {}).untranslatable, expected);
    EXPECT_EQ(TranslateViewFull("CREATE VIEW v AS SELECT 1 AS `x`" + padding, "", {"", ""}, {}).untranslatable, expected);
    EXPECT_EQ(TranslateTableFull("CREATE TABLE `t` (`a` int)" + padding + "      ", {}, {}, {}).error, expected);
    EXPECT_TRUE(RoutineSignature("CREATE PROCEDURE p() BEGIN END" + padding + "  ").name.empty());
    SetStatementLimit(kDefaultStatementLimit);
    EXPECT_TRUE(TranslateRoutineFull("CREATE PROCEDURE p() BEGIN END" + padding, {}).ok());

    std::string columns;
    for (int i = 0; i < 1025; ++i) columns += (i ? ", `c" : "`c") + std::to_string(i) + "` int";
    EXPECT_EQ(TranslateTableFull("CREATE TABLE `wide` (" + columns + ")", {}, {}, {}).error,
              "the table has 1025 columns; SQL Server allows 1024");
    columns.resize(columns.rfind(", `c1024`"));
    EXPECT_TRUE(TranslateTableFull("CREATE TABLE `wide` (" + columns + ")", {}, {}, {}).ok());
    // Fixed-length columns over 8,060 bytes are refused; text that may leave the row is not.
    std::string bigints = "`a` varchar(60000), `b` binary(255)";
    for (int i = 0; i < 1000; ++i) bigints += ", `c" + std::to_string(i) + "` bigint";
    const FullTableTranslation fixed = TranslateTableFull("CREATE TABLE `f` (" + bigints + ")", {}, {}, {});
    EXPECT_NE(fixed.error.find("SQL Server allows 8060"), std::string::npos) << fixed.error;
    EXPECT_EQ(MinimumRowBytes({"nchar(10)", "decimal(20,2)", "bit", "bit", "nvarchar(max)", "datetime2(3)"}), 7u + 20 + 13 + 1 + 8);
}

}  // namespace
}  // namespace velmora
