#include <gtest/gtest.h>

#include "translation/Naming.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

TEST(Naming, PlainNamesStayBare) {
    for (const char* name : {"orders", "order_items", "_tmp", "T1", "api_key", "Customers"}) {
        EXPECT_EQ(QuoteTargetName(name), name) << name;
        EXPECT_EQ(QuoteSourceName(name), name) << name;
    }
}

TEST(Naming, ReservedWordsAreQuotedWhateverTheirCase) {
    EXPECT_EQ(QuoteTargetName("order"), "[order]");
    EXPECT_EQ(QuoteTargetName("User"), "[User]");
    EXPECT_EQ(QuoteTargetName("KEY"), "[KEY]");
    EXPECT_EQ(QuoteSourceName("order"), "`order`");
    EXPECT_EQ(QuoteSourceName("key"), "`key`");
    // Reserved on one server only.
    EXPECT_EQ(QuoteSourceName("user"), "user");
    EXPECT_EQ(QuoteTargetName("limit"), "limit");
    EXPECT_EQ(QuoteSourceName("limit"), "`limit`");
}

// Words the T-SQL grammar reads as keywords although SQL Server does not reserve them: bare, a
// column of that name breaks the statement (a wiki schema has a column named raw).
TEST(Naming, GrammarKeywordsAreQuotedAndTheStatementsParse) {
    for (const char* word : {"raw", "RAW", "negotiate", "shrinklog", "order", "file"}) {
        std::string name = QuoteTargetName(word);
        EXPECT_EQ(name, "[" + std::string(word) + "]");
        for (const std::string& statement :
             {"CREATE TABLE " + name + " (" + name + " int)", "SELECT " + name + " FROM " + name,
              "INSERT INTO t (" + name + ") VALUES (1)", "CREATE INDEX ix ON t (" + name + ")"}) {
            EXPECT_EQ(test::DescribeTsqlProblems(statement), "");
        }
    }
}

TEST(Naming, OtherNamesAreQuotedWithTheClosingQuoteDoubled) {
    EXPECT_EQ(QuoteTargetName("order notes"), "[order notes]");
    EXPECT_EQ(QuoteTargetName("a]b"), "\"a]b\"");
    EXPECT_EQ(QuoteTargetName("a]\"b"), "\"a]\"\"b\"");
    EXPECT_EQ(QuoteTargetName("x]; drop table t; --"), "\"x]; drop table t; --\"");
    EXPECT_EQ(QuoteSourceName("a`b"), "`a``b`");
    EXPECT_EQ(QuoteTargetName("1st"), "[1st]");
    EXPECT_EQ(QuoteTargetName("Küche"), "[Küche]");
    EXPECT_EQ(QuoteTargetName(""), "[]");
}

TEST(Naming, StringLiteralsDoubleTheirQuotes) {
    EXPECT_EQ(QuoteTargetString("it's"), "'it''s'");
    EXPECT_EQ(QuoteTargetString(""), "''");
}

}  // namespace
}  // namespace velmora
