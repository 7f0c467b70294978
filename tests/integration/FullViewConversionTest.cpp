// The views of the sample database shop_views converted by the drivers in Full mode, into the
// SQL Server target double: every statement parses as T-SQL, views come after the views they
// select from, the untranslatable ones fail before anything is sent and name their construct,
// and the others go on. Classic mode keeps the plain rewrite.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Converters/ConversionDrivers.h"
#include "Converters/ConversionReport.h"
#include "support/ConversionFixture.h"

namespace velmora::test {
namespace {

class FullViewConversionTest : public ConversionFixture {
protected:
    void SetUp() override {
        ConversionFixture::SetUp();
        UseSourceDatabase("shop_views");
        context_.options.translation = TranslationMode::Full;
        context_.targetDatabase = "sales";
    }

    // The position of the create statement of `view` among the target's statements.
    std::ptrdiff_t CreatedAt(const std::string& view) const {
        std::vector<std::string> statements = target_->Statements();
        auto found = std::find_if(statements.begin(), statements.end(), [&](const std::string& s) {
            return s.rfind("CREATE VIEW " + view + " ", 0) == 0 ||
                   s.rfind("CREATE VIEW [" + view + "] ", 0) == 0;
        });
        return found == statements.end() ? -1 : found - statements.begin();
    }
};

TEST_F(FullViewConversionTest, AllViewsInDependencyOrderWithTheUntranslatableOnesNamed) {
    ConversionReport report;
    EXPECT_EQ(ConvertDatabaseViews(context_, "shop_views", &report), 0);
    // 20 views: two have no faithful T-SQL form and are never sent.
    EXPECT_EQ(report.viewsCreated.size(), 18u);
    EXPECT_EQ(target_->Statements().size(), 18u);
    EXPECT_EQ(CreatedAt("pattern_clients"), -1);
    EXPECT_EQ(CreatedAt("loose_grouping"), -1);
    // a_top_clients selects from z_client_spend: it comes after it, whatever their names.
    ASSERT_GE(CreatedAt("z_client_spend"), 0);
    EXPECT_GT(CreatedAt("a_top_clients"), CreatedAt("z_client_spend"));
    std::vector<std::string> failures = report.failures;
    std::sort(failures.begin(), failures.end());
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0].rfind("view loose_grouping: it cannot be translated: ", 0), 0u)
        << failures[0];
    EXPECT_EQ(failures[1].rfind("view pattern_clients: it cannot be translated: REGEXP", 0), 0u)
        << failures[1];
    std::vector<std::string> messages = Messages();
    auto failed = std::find(messages.begin(), messages.end(),
                            "Create VIEW [pattern_clients] failure!!!");
    ASSERT_NE(failed, messages.end());
    ASSERT_NE(failed + 1, messages.end());
    EXPECT_NE((failed + 1)->find("REGEXP"), std::string::npos) << *(failed + 1);
    // No source-database qualifier is left in any statement, and the work files hold them.
    for (const std::string& statement : target_->Statements()) {
        EXPECT_EQ(statement.find("shop_views."), std::string::npos) << statement;
    }
    EXPECT_EQ(ReadWorkFile("z_client_spend.vw").rfind("CREATE VIEW", 0), 0u);
    EXPECT_EQ(ReadWorkFile("pattern_clients.vw"), "");
    ExpectTargetStatementsParse();
}

TEST_F(FullViewConversionTest, OneUntranslatableViewSendsNothing) {
    ConversionReport report;
    EXPECT_FALSE(ConvertView(context_, "shop_views", "loose_grouping", &report));
    EXPECT_TRUE(target_->Statements().empty());
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_TRUE(ConvertView(context_, "shop_views", "client_labels", &report));
    EXPECT_EQ(target_->Statements().size(), 1u);
}

// The keys come from the source's own table definitions: the view grouped by the clients' primary
// key is created with the columns that key determines in its GROUP BY, and says so.
TEST_F(FullViewConversionTest, AViewGroupedByAKeyGroupsByTheColumnsItDetermines) {
    ConversionReport report;
    EXPECT_TRUE(ConvertView(context_, "shop_views", "client_purchase_totals", &report));
    ASSERT_EQ(target_->Statements().size(), 1u);
    EXPECT_NE(target_->Statements()[0].find(" GROUP BY c.id, c.name, c.homeCity"), std::string::npos)
        << target_->Statements()[0];
    const std::string adjusted = "GROUP BY also lists c.name, c.homeCity: the grouped key determines "
                                 "them, which MySQL accepts and T-SQL does not";
    ASSERT_EQ(report.tables.size(), 1u);
    EXPECT_EQ(report.tables[0].adjustments, std::vector<std::string>{adjusted});
    std::vector<std::string> messages = Messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), "[client_purchase_totals] ADJUSTED " + adjusted),
              messages.end());
    ExpectTargetStatementsParse();
}

// The project's own sample: the joins MariaDB prints parenthesised, the view whose name holds a
// blank and the aggregate all become views SQL Server creates (the classic rewrite left one of
// three creatable).
TEST_F(FullViewConversionTest, TheShopSampleViewsAllTranslate) {
    UseSourceDatabase("shop");
    ConversionReport report;
    EXPECT_EQ(ConvertDatabaseViews(context_, "shop", &report), 0);
    EXPECT_TRUE(report.failures.empty()) << report.failures.front();
    EXPECT_EQ(report.viewsCreated.size(), 3u);
    for (const std::string& statement : target_->Statements()) {
        EXPECT_EQ(statement.find("shop."), std::string::npos) << statement;
    }
    ExpectTargetStatementsParse();
}

TEST_F(FullViewConversionTest, ClassicKeepsThePlainRewrite) {
    context_.options.translation = TranslationMode::Classic;
    EXPECT_TRUE(ConvertView(context_, "shop_views", "client_labels"));
    ASSERT_EQ(target_->Statements().size(), 1u);
    EXPECT_EQ(target_->Statements()[0].rfind("create view client_labels as select", 0), 0u)
        << target_->Statements()[0];
    DeclareInvalid(target_->Statements()[0]);  // the classic rewrite leaves MySQL functions
}

}  // namespace
}  // namespace velmora::test
