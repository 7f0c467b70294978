#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "translation/PatternService.h"

namespace velmora {
namespace {

struct ReplaceCase {
    const char* text;
    const char* pattern;
    const char* replacement;
    const char* expected;
};

class ReplaceAllTest : public testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceAllTest, ReplacesEveryMatch) {
    const ReplaceCase& c = GetParam();
    EXPECT_EQ(ReplaceAll(c.text, c.pattern, c.replacement), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Dialect, ReplaceAllTest,
    testing::Values(
        // An empty alternative matches the empty text.
        ReplaceCase{"a int(11), b bigint(20)", "\\s(tiny|small|medium|big|)int[\\s]*\\([0-9]*\\)",
                    " $1int", "a int, b bigint"},
        // "^0*" inserts at the start when there is nothing to take, and takes all leading zeros.
        ReplaceCase{"4142", "^0*", "0x", "0x4142"},
        ReplaceCase{"000A", "^0*", "0x", "0xA"},
        // "0*$" removes trailing zeros only.
        ReplaceCase{"A100", "0*$", "", "A1"},
        ReplaceCase{"A1", "0*$", "", "A1"},
        // "$" is the end of the whole text, not of a line.
        ReplaceCase{"a\nb", "a$", "X", "a\nb"},
        ReplaceCase{"a\nb\n", "b$", "X", "a\nb\n"},
        // "." does not cross a line feed but does take a carriage return.
        ReplaceCase{"ab\ncd", "b.*", "", "a\ncd"},
        ReplaceCase{"ab\rcd\n", "b.*", "", "a\n"},
        // "\s" includes vertical tab and form feed; "\w" is ASCII only.
        ReplaceCase{"a\v\fb", "\\s+", "_", "a_b"},
        ReplaceCase{"é_1", "\\w", "w", "\xc3\xa9ww"},
        // Case-sensitive.
        ReplaceCase{"Key key", "key", "K", "Key K"},
        // A group that did not take part expands to nothing; "$" not before a digit is literal.
        ReplaceCase{"ab", "(x)?b", "[$1]$", "a[]$"},
        ReplaceCase{"ab", "(a)(b)", "$2$1$0", "ba$0"},
        // Counted repetition and alternation tried left to right.
        ReplaceCase{"aaaa", "a{2,3}", "X", "Xa"},
        ReplaceCase{"foobar", "(foo|foobar)", "X", "Xbar"},
        // Nothing matches: the text comes back unchanged.
        ReplaceCase{"plain", "zzz", "y", "plain"},
        // Empty matches advance by one character, as in ECMAScript's global mode.
        ReplaceCase{"abc", "x*", "-", "-a-b-c-"},
        ReplaceCase{"aaa", "a*", "X", "XX"}));

TEST(LastMatch, ReturnsTheLastOfSeveralMatches) {
    EXPECT_EQ(LastMatch("(a join b) x (c join d)", "\\([\\w*\\sjoin\\s]+\\w*\\)"), "(c join d)");
}

TEST(LastMatch, ReturnsEmptyTextWithoutMatch) {
    EXPECT_EQ(LastMatch("nothing here", "\\d+"), "");
    EXPECT_EQ(LastMatch("", "a"), "");
}

TEST(LastMatch, FindsDrivePrefix) {
    EXPECT_EQ(LastMatch("C:\\data\\shop.mdf", "^[A-Za-z]:"), "C:");
    EXPECT_EQ(LastMatch("/var/data/shop.mdf", "^[A-Za-z]:"), "");
}

TEST(PatternService, InvalidPatternYieldsErrorText) {
    EXPECT_EQ(ReplaceAll("text", "(unclosed", "x"), "Error");
    EXPECT_EQ(LastMatch("text", "[unclosed"), "Error");
    EXPECT_FALSE(Matches("text", "(unclosed"));
}

TEST(PatternService, HandlesTextsOfAMegabyte) {
    std::string text(1 << 20, 'a');
    text[500000] = '\n';
    std::string replaced = ReplaceAll(text, "a+", "b");
    EXPECT_EQ(replaced, "b\nb");
    EXPECT_EQ(LastMatch(text, "a+$").size(), text.size() - 500001);
}

TEST(PatternService, IsSafeFromManyThreads) {
    std::vector<std::thread> threads;
    std::vector<int> failures(8, 0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 2000; ++i) {
                std::string pattern = "x" + std::to_string(i % 50) + "(y)";
                std::string text = "a x" + std::to_string(i % 50) + "y b";
                if (ReplaceAll(text, pattern, "[$1]") != "a [y] b") ++failures[t];
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int count : failures) EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace velmora
