// SqlTokenizer: token kinds, exact source texts and offsets, literal values, and clear errors on
// text that ends inside a string, name or comment.
#include <gtest/gtest.h>

#include "translation/SqlTokenizer.h"

namespace velmora {
namespace {

using K = SqlTokenKind;

struct OneToken {
    const char* text;
    SqlTokenKind kind;
    const char* value;  // StringTokenValue / QuotedNameValue / LiteralDigits, where it applies
};

class TokenizerSingleToken : public ::testing::TestWithParam<OneToken> {};

TEST_P(TokenizerSingleToken, IsReadWholeWithItsKindAndValue) {
    const OneToken& c = GetParam();
    const SqlTokens tokens = TokenizeSql(c.text);
    ASSERT_TRUE(tokens.ok()) << tokens.error;
    ASSERT_EQ(tokens.tokens.size(), 1u) << c.text << " split into " << tokens.tokens.size();
    const SqlToken& token = tokens.tokens[0];
    EXPECT_EQ(token.kind, c.kind) << c.text;
    EXPECT_EQ(token.text, c.text);
    std::string value;
    if (c.kind == K::String) value = StringTokenValue(token);
    if (c.kind == K::QuotedName) value = QuotedNameValue(token);
    if (c.kind == K::HexLiteral || c.kind == K::BitLiteral) value = LiteralDigits(token);
    EXPECT_EQ(value, c.value) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Strings, TokenizerSingleToken, ::testing::Values(
    OneToken{"'Mixed Case'", K::String, "Mixed Case"},
    OneToken{"'It''s'", K::String, "It's"},
    OneToken{"'a\\'b\\\\c'", K::String, "a'b\\c"},
    OneToken{"'line\\nnext\\ttab'", K::String, "line\nnext\ttab"},
    OneToken{"'100\\%\\_'", K::String, "100\\%\\_"},  // kept for LIKE, as MySQL keeps them
    OneToken{"\"say \"\"hi\"\"\"", K::String, "say \"hi\""},
    OneToken{"_utf8mb4'Zoë'", K::String, "Zoë"},
    OneToken{"_latin1'x'", K::String, "x"},
    OneToken{"N'national'", K::String, "national"},
    OneToken{"''", K::String, ""}));

INSTANTIATE_TEST_SUITE_P(Literals, TokenizerSingleToken, ::testing::Values(
    OneToken{"x'ab'", K::HexLiteral, "ab"},
    OneToken{"X'00FF'", K::HexLiteral, "00FF"},
    OneToken{"0xAb", K::HexLiteral, "Ab"},
    OneToken{"b'0101'", K::BitLiteral, "0101"},
    OneToken{"0b11", K::BitLiteral, "11"},
    OneToken{"12", K::Number, ""},
    OneToken{"1.5", K::Number, ""},
    OneToken{".5", K::Number, ""},
    OneToken{"1e3", K::Number, ""},
    OneToken{"2.5E-3", K::Number, ""}));

INSTANTIATE_TEST_SUITE_P(NamesAndWords, TokenizerSingleToken, ::testing::Values(
    OneToken{"`order notes`", K::QuotedName, "order notes"},
    OneToken{"`we``ird`", K::QuotedName, "we`ird"},
    OneToken{"`Mixed`", K::QuotedName, "Mixed"},
    OneToken{"select", K::Word, ""},
    OneToken{"_utf8mb4", K::Word, ""},
    OneToken{"0xZZ", K::Word, ""},  // not hexadecimal: a name, as in MySQL
    OneToken{"1abc", K::Word, ""},
    OneToken{"@total", K::Variable, ""},
    OneToken{"@@session.sql_mode", K::Variable, ""}));

INSTANTIATE_TEST_SUITE_P(Operators, TokenizerSingleToken, ::testing::Values(
    OneToken{"<=>", K::Operator, ""}, OneToken{":=", K::Operator, ""}, OneToken{"||", K::Operator, ""},
    OneToken{"&&", K::Operator, ""}, OneToken{"!=", K::Operator, ""}, OneToken{"<>", K::Operator, ""},
    OneToken{"->", K::Operator, ""}, OneToken{"->>", K::Operator, ""}, OneToken{"<=", K::Operator, ""},
    OneToken{">=", K::Operator, ""}, OneToken{"<<", K::Operator, ""}, OneToken{"%", K::Operator, ""}));

INSTANTIATE_TEST_SUITE_P(Comments, TokenizerSingleToken, ::testing::Values(
    OneToken{"-- to the end", K::Comment, ""}, OneToken{"# hash", K::Comment, ""},
    OneToken{"/* block\n over lines */", K::Comment, ""}));

TEST(SqlTokenizer, SplitsAViewTextWithOffsets) {
    const std::string text = "select `t`.`a` AS `a`,concat(_utf8mb4'x',`b`)<=>NULL from t -- done";
    const SqlTokens tokens = TokenizeSql(text);
    ASSERT_TRUE(tokens.ok()) << tokens.error;
    std::vector<std::string> texts;
    for (const auto& token : tokens.tokens) {
        EXPECT_EQ(text.substr(token.offset, token.text.size()), token.text);
        texts.emplace_back(token.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"select", "`t`", ".", "`a`", "AS", "`a`", ",", "concat", "(", "_utf8mb4'x'",
                                               ",", "`b`", ")", "<=>", "NULL", "from", "t", "-- done"}));
}

// A dot before a digit that starts a name is a dot: reading it as a number or a word would read
// nothing, again and again.
TEST(SqlTokenizer, ADotBeforeANameThatStartsWithADigitIsADot) {
    const SqlTokens tokens = TokenizeSql("0..0x1FFF t.1a");
    ASSERT_TRUE(tokens.ok()) << tokens.error;
    std::vector<std::string> texts;
    for (const auto& token : tokens.tokens) texts.emplace_back(token.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"0.", ".", "0x1FFF", "t", ".", "1a"}));
}

TEST(SqlTokenizer, DoubleDashWithoutBlankIsTwoMinusSigns) {
    const SqlTokens tokens = TokenizeSql("5--3");
    ASSERT_TRUE(tokens.ok());
    ASSERT_EQ(tokens.tokens.size(), 4u);
    EXPECT_EQ(tokens.tokens[1].kind, K::Operator);
    EXPECT_EQ(tokens.tokens[2].kind, K::Operator);
}

TEST(SqlTokenizer, UnterminatedTextIsAnErrorWithItsOffset) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {{"select 'abc", "unterminated string at offset 7"},
                 {"select `abc", "unterminated quoted name at offset 7"},
                 {"a /* b", "unterminated comment at offset 2"},
                 {"a ? b", "unexpected character '?' at offset 2"},
                 {"'ends in backslash\\'", "unterminated string at offset 0"}};
    for (const auto& c : cases) EXPECT_EQ(TokenizeSql(c.text).error, c.error) << c.text;
}

}  // namespace
}  // namespace velmora
