// A text written under another SQL mode, turned into the default mode's text token by token; what
// the mode makes untranslatable is refused by name; a routine under ANSI_QUOTES translates.
#include <gtest/gtest.h>

#include "translation/FullRoutineTranslator.h"
#include "translation/SqlModes.h"

namespace velmora {
namespace {

TEST(SqlModes, TextInTheDefaultMode) {
    const struct {
        const char* mode;
        const char* text;
        const char* expected;  // the text in the default mode, or the refusal
    } cases[] = {
        {"ANSI_QUOTES", "SELECT \"a\"\"b\", 'x\"y', \"c`d\" FROM t", "SELECT `a\"b`, 'x\"y', `c``d` FROM t"},
        {"ansi_quotes,STRICT_TRANS_TABLES", "SET v = \"n\"", "SET v = `n`"},
        {"NO_BACKSLASH_ESCAPES", "SET v = 'a\\b' -- c:\\", "SET v = 'a\\\\b' -- c:\\"},
        {"", "SET v = \"text\"", "SET v = \"text\""},
        {"IGNORE_SPACE", "SET v = count (x)", "SET v = count (x)"},
        {"PIPES_AS_CONCAT", "SET v = a || b", "|| as concatenation (sql_mode PIPES_AS_CONCAT)"},
        {"ANSI", "SET v = \"a\" || 'b'", "|| as concatenation (sql_mode PIPES_AS_CONCAT)"},
        {"HIGH_NOT_PRECEDENCE", "SET v = NOT a BETWEEN 1 AND 2", "NOT before an operand under sql_mode HIGH_NOT_PRECEDENCE"},
        {"HIGH_NOT_PRECEDENCE", "SET v = a IS NOT NULL AND b NOT IN (1)", "SET v = a IS NOT NULL AND b NOT IN (1)"},
        {"PIPES_AS_CONCAT,ORACLE", "x", "a routine in Oracle mode (sql_mode ORACLE)"},
        {"ANSI_QUOTES,PIPES_AS_CONCAT", "SET v = a || \"b", "SET v = a || \"b"},  // unreadable: left to the parser
    };
    for (const auto& c : cases) {
        const SqlModeText out = InDefaultSqlMode(c.text, c.mode);
        EXPECT_EQ(out.refusal.empty() ? std::string(out.In(c.text)) : out.refusal, c.expected) << c.mode << ": " << c.text;
    }
}

TEST(SqlModes, ARoutineUnderAnsiQuotesTranslates) {
    RoutineContext context;
    const std::string text = "CREATE DEFINER=\"root\"@\"localhost\" PROCEDURE \"p\"(IN \"a\" int)\nBEGIN\n"
                             "  UPDATE \"t\" SET \"x\" = a WHERE \"id\" = 1;\nEND";
    EXPECT_FALSE(TranslateRoutineFull(text, context).ok());
    context.sqlMode = "ANSI_QUOTES";
    const FullRoutineTranslation out = TranslateRoutineFull(text, context);
    ASSERT_TRUE(out.ok()) << out.untranslatable;
    EXPECT_NE(out.statements.back().find("UPDATE t SET x = @a WHERE id = 1;"), std::string::npos) << out.statements.back();
}

}  // namespace
}  // namespace velmora
