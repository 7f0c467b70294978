// Bounded input: a definition over the statement limit is refused with its size before any
// parsing (a 61 MB routine took 37 s and 6 GB only to be refused), and a table or SELECT list with
// more columns than SQL Server allows is refused with both numbers (6.4 million columns were
// translated).
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
    // A check it cannot translate is named with its text cut to a readable length.
    std::string nots;
    for (int i = 0; i < 100000; ++i) nots += "NOT ";
    const FullTableTranslation checked = TranslateTableFull("CREATE TABLE `c` (`a` int, CONSTRAINT `k` CHECK (" + nots + "`a`))", {}, {}, {});
    ASSERT_EQ(checked.adjustments.size(), 1u);
    EXPECT_LT(checked.adjustments[0].text.size(), 400u);
    EXPECT_NE(checked.adjustments[0].text.find("bytes in all)) not created: expression nested too deeply"), std::string::npos);
    // A SELECT list is refused at its 4,097th column, before the rest is read.
    std::string items = "1 AS `c0`";
    for (int i = 1; i < 4096; ++i) items += ", " + std::to_string(i) + " AS `c" + std::to_string(i) + "`";
    EXPECT_TRUE(TranslateViewFull("CREATE VIEW v AS SELECT " + items, "", {"", ""}, {}).ok());
    EXPECT_EQ(TranslateViewFull("CREATE VIEW v AS SELECT " + items + ", 4096 AS `c4096`, (", "", {"", ""}, {}).untranslatable,
              "the SELECT list has more than 4096 columns; SQL Server allows 4096");
    // Fixed-length columns over 8,060 bytes are refused; text that may leave the row is not.
    std::string bigints = "`a` varchar(60000), `b` binary(255)";
    for (int i = 0; i < 1000; ++i) bigints += ", `c" + std::to_string(i) + "` bigint";
    const FullTableTranslation fixed = TranslateTableFull("CREATE TABLE `f` (" + bigints + ")", {}, {}, {});
    EXPECT_NE(fixed.error.find("SQL Server allows 8060"), std::string::npos) << fixed.error;
    EXPECT_EQ(MinimumRowBytes({"nchar(10)", "decimal(20,2)", "bit", "bit", "nvarchar(max)", "datetime2(3)"}), 7u + 20 + 13 + 1 + 8);
}

// A body of a megabyte (the translators' tokens view the text, comments are dropped in place and
// a quoted user variable's name is kept apart) translates as its statement repeated: the output
// of N copies is that of one copy with the second copy's lines repeated.
TEST(InputLimitsTest, AMegabyteBodyTranslatesAsItsStatementRepeated) {
    const std::string statement = "SET @`total` = (@`total` + a) * 2; -- a comment\n"
                                  "IF a > 1 THEN SELECT concat('x', @`total`, \"y\") INTO b; END IF;\n";
    const auto translate = [&](std::size_t copies) {
        std::string body;
        for (std::size_t i = 0; i < copies; ++i) body += statement;
        const FullRoutineTranslation routine =
            TranslateRoutineFull("CREATE PROCEDURE `p`(IN a INT, OUT b INT)\nBEGIN\n" + body + "END", {});
        EXPECT_TRUE(routine.ok()) << routine.untranslatable;
        return routine.ok() ? routine.statements.at(0) : std::string();
    };
    const std::string one = translate(1), two = translate(2);
    // `two` is `one` with one copy's lines inserted where the two first differ.
    std::size_t at = 0;
    while (at < one.size() && one[at] == two[at]) ++at;
    const std::string copy = two.substr(at, two.size() - one.size());
    ASSERT_EQ(two, one.substr(0, at) + copy + one.substr(at));
    const std::size_t copies = (1 << 20) / statement.size();
    std::string expected = one.substr(0, at);
    for (std::size_t i = 1; i < copies; ++i) expected += copy;
    EXPECT_TRUE(translate(copies) == expected + one.substr(at));
}

}  // namespace
}  // namespace velmora
