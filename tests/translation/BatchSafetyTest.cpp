// What a script says is only what the source said: text from the source (literals, names,
// comments, bodies) can never end a batch or start a splitter command, and values stay the same.
#include <gtest/gtest.h>

#include "support/TsqlOracle.h"
#include "translation/BatchSafety.h"
#include "translation/FullRoutineTranslator.h"
#include "translation/FullTableTranslator.h"
#include "translation/FullViewTranslator.h"

namespace velmora {
namespace {

// One statement written as a script writes it: after rewriting, a splitter reads one batch, the
// oracle parses it, and no line starts a command.
void ExpectOneBatch(const std::string& statement) {
    const BatchSafeText safe = MakeBatchSafe(statement);
    ASSERT_TRUE(safe.ok()) << safe.refusal << "\n" << statement;
    const std::vector<std::string> batches = SplitBatches(safe.text + "\nGO\n");
    ASSERT_EQ(batches.size(), 1u) << safe.text;
    EXPECT_EQ(test::DescribeTsqlProblems(batches[0]), "") << safe.text;
}

TEST(BatchSafetyTest, SourceTextNeverEndsABatch) {
    const std::string hostile = "a\nGO\nDROP DATABASE victim\n:r /etc/passwd\n!!rm -rf /\r\nexit\ngo 5\nb";
    const FullViewTranslation view =
        TranslateViewFull("CREATE VIEW `v1` AS SELECT '" + hostile + "' AS `x` /* c\nGO\n */", "", {"", ""}, {});
    ASSERT_TRUE(view.ok()) << view.untranslatable;
    ExpectOneBatch(view.statement);
    const FullTableTranslation table = TranslateTableFull(
        "CREATE TABLE `t` (`c` varchar(200) DEFAULT '" + hostile + "' COMMENT '" + hostile + "', "
        "`e` enum('x','" + hostile + "'), CHECK (`c` <> '" + hostile + "')) COMMENT='" + hostile + "'", {}, {}, {});
    ASSERT_TRUE(table.ok()) << table.error;
    ExpectOneBatch(table.createTable);
    for (const std::string& comment : table.comments) ExpectOneBatch(comment);
    const FullRoutineTranslation routine = TranslateRoutineFull(
        "CREATE PROCEDURE `p`() BEGIN SELECT '" + hostile + "'; SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = '" + hostile +
            "'; END", {});
    ASSERT_TRUE(routine.ok()) << routine.untranslatable;
    const BatchSafeText safe = MakeBatchSafe(routine.statements[0]);
    ASSERT_TRUE(safe.ok()) << safe.refusal;
    ASSERT_EQ(SplitBatches(safe.text + "\nGO\n").size(), 1u) << safe.text;
    EXPECT_EQ(test::DescribeTsqlProblems(safe.text), "");
    EXPECT_EQ(safe.text.find("\nGO"), std::string::npos);
}

// Columns named as a splitter's commands (`version` is common) are bracketed, so that a table
// written a column to a line is neither refused nor split.
TEST(BatchSafetyTest, ColumnsNamedAsSplitterCommandsAreBracketed) {
    const FullTableTranslation table =
        TranslateTableFull("CREATE TABLE `t` (`id` int, `version` int, `GO` int, `exit` int, `quit` int)", {}, {}, {});
    ASSERT_TRUE(table.ok()) << table.error;
    for (const char* name : {"[version]", "[GO]", "[exit]", "[quit]"}) {
        EXPECT_NE(table.createTable.find(name), std::string::npos) << name << "\n" << table.createTable;
    }
    ExpectOneBatch(table.createTable);
}

TEST(BatchSafetyTest, RewritesOnlyWhatHoldsALineBreakAndRefusesWhatCannotBeRewritten) {
    struct Case { std::string in, out; };
    const Case cases[] = {
        {"SELECT N'a''b', 'c'", "SELECT N'a''b', 'c'"},
        {"SELECT N'a\nb'", "SELECT CONCAT(CONVERT(nvarchar(max),N'a'),NCHAR(10),N'b')"},
        {"SELECT 'it''s\r\n'", "SELECT CONCAT(CONVERT(varchar(max),'it''s'),CHAR(13),CHAR(10))"},
        {"SELECT 1 /* x\nGO */ -- y", "SELECT 1 /* x GO */ -- y"},
        {"SELECT [a]]'\n] FROM t", ""},           // a quoted name with a line break
        {"SELECT 1\nGO\nSELECT 2", ""},            // a bare line the splitter reads
        {"SELECT 1\n  :setvar x 1", ""},
        {"SELECT 'open", ""},
        {"IF 1=1\n    GOTO done;", "IF 1=1\n    GOTO done;"},
        {"SELECT [a']', \"b[\", /* 'c */ 1 -- 'd", "SELECT [a']', \"b[\", /* 'c */ 1 -- 'd"},
        {"SELECT [open", ""},
        {"SELECT 1 /* open", ""},
        {"go", ""},
    };
    for (const Case& c : cases) {
        const BatchSafeText safe = MakeBatchSafe(c.in);
        EXPECT_EQ(safe.ok() ? safe.text : "", c.out) << c.in;
        EXPECT_EQ(safe.ok(), !c.out.empty()) << c.in;
        // A statement on one line is judged as it stands, with the same refusal.
        const std::optional<std::string> asItStands = RefusalAsItStands(c.in);
        EXPECT_EQ(asItStands.has_value(), c.in.find_first_of("\r\n") == std::string::npos) << c.in;
        if (asItStands) {
            EXPECT_EQ(*asItStands, safe.refusal) << c.in;
        }
    }
}

TEST(BatchSafetyTest, NamesWithControlCharactersOrBrokenUtf8AreRefusedWithTheirReason) {
    const FullTableTranslation table = TranslateTableFull("CREATE TABLE `t` (`a\nGO` int)", {}, {}, {});
    EXPECT_EQ(table.error, "`a\\x0AGO`: the name holds the control character \\x0A");
    EXPECT_NE(TranslateTableFull("CREATE TABLE `t\xff` (`a` int)", {}, {}, {}).error.find("not valid UTF-8"),
              std::string::npos);
    EXPECT_NE(TranslateViewFull("CREATE VIEW `v\t` AS SELECT 1 AS `x`", "", {"", ""}, {}).untranslatable.find("\\x09"),
              std::string::npos);
    EXPECT_NE(TranslateRoutineFull("CREATE PROCEDURE `p\x01`() BEGIN SELECT 1; END", {}).untranslatable.find("\\x01"),
              std::string::npos);
    EXPECT_EQ(NameProblem("caf\xc3\xa9 \xf0\x9f\x98\x80"), "");
    EXPECT_EQ(ShownName(std::string(200, 'n')).size(), 80u + 4u);
}

}  // namespace
}  // namespace velmora
