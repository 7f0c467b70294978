// The target's kind from the server's answers, and its detection over the target double (plain
// and in the mode of a server that works in one database per connection).
#include <gtest/gtest.h>

#include "config/TargetKind.h"
#include "support/TargetDouble.h"

namespace velmora {
namespace {

using Answer = std::optional<std::string>;

struct KindCase {
    const char* name;
    Answer edition;
    Answer version;
    Answer refusal;
    TargetKind expected;
};

TEST(TargetKind, DecidedFromTheAnswers) {
    const std::string babelfish =
        "Babelfish for Aurora PostgreSQL with SQL Server Compatibility - 12.0.2000.8";
    const std::vector<KindCase> cases = {
        {"nothing answered", {}, {}, {}, TargetKind::SqlServer},
        {"enterprise edition", "3", "Microsoft SQL Server 2022 (RTM)", {}, TargetKind::SqlServer},
        {"express edition", "4", {}, {}, TargetKind::SqlServer},
        {"azure sql database", "5", "Microsoft SQL Azure (RTM) - 12.0.2000.8", {},
         TargetKind::AzureSqlDatabase},
        {"azure with blanks", " 5 ", {}, {}, TargetKind::AzureSqlDatabase},
        {"managed instance", "8", "Microsoft SQL Azure (RTM)", {},
         TargetKind::AzureSqlManagedInstance},
        {"babelfish by version", "3", babelfish, {}, TargetKind::Babelfish},
        {"babelfish, version in lower case", {}, "babelfish for postgresql", {},
         TargetKind::Babelfish},
        {"babelfish by its refusal", {}, {}, test::kCurrentDatabaseRefusal, TargetKind::Babelfish},
        {"an unrelated catalog failure", "3", {}, "[FreeTDS][SQL Server] Unknown error",
         TargetKind::SqlServer},
        {"edition 5 wins over the version", "5", babelfish, {}, TargetKind::AzureSqlDatabase},
        {"edition not a number", "five", {}, {}, TargetKind::SqlServer},
        {"edition 50", "50", {}, {}, TargetKind::SqlServer},
    };
    for (const KindCase& c : cases) {
        EXPECT_EQ(DecideTargetKind({c.edition, c.version, c.refusal}), c.expected) << c.name;
    }
}

TEST(TargetKind, OnlyAzureSqlDatabaseAndBabelfishWorkInOneDatabase) {
    EXPECT_FALSE(WorksInOneDatabase(TargetKind::SqlServer));
    EXPECT_FALSE(WorksInOneDatabase(TargetKind::AzureSqlManagedInstance));
    EXPECT_TRUE(WorksInOneDatabase(TargetKind::AzureSqlDatabase));
    EXPECT_TRUE(WorksInOneDatabase(TargetKind::Babelfish));
    EXPECT_STREQ(TargetKindName(TargetKind::AzureSqlDatabase), "Azure SQL Database");
}

TEST(TargetKind, RefusalsToReachAnotherDatabaseAreRecognised) {
    EXPECT_TRUE(IsOtherDatabaseRefusal(test::kCurrentDatabaseRefusal));
    EXPECT_TRUE(IsOtherDatabaseRefusal(
        "[42000] (40508) USE statement is not supported to switch between databases."));
    EXPECT_TRUE(IsOtherDatabaseRefusal(
        "Reference to database and/or server name in 'sales.sys.tables' is not supported in "
        "this version of SQL Server."));
    EXPECT_FALSE(IsOtherDatabaseRefusal("Login failed for user 'sa'."));
}

TEST(TargetKind, DetectedOnTheDouble) {
    test::TargetDouble plain;
    EXPECT_EQ(DetectTargetKind(plain), TargetKind::SqlServer);

    test::TargetDouble azure;
    azure.SetProperty(kPropServerEngineEdition, "5");
    azure.WorkInOneDatabase(std::nullopt);
    EXPECT_EQ(DetectTargetKind(azure), TargetKind::AzureSqlDatabase);

    test::TargetDouble babelfish;  // answers neither question, refuses the catalog call
    babelfish.WorkInOneDatabase();
    EXPECT_EQ(DetectTargetKind(babelfish), TargetKind::Babelfish);

    test::TargetDouble closed(false);
    EXPECT_EQ(DetectTargetKind(closed), TargetKind::SqlServer);
    // Detection sends no statement: the plain double's statement lists stay as they were.
    EXPECT_TRUE(plain.Statements().empty());
}

// The double's one-database mode, which the tests of such targets rely on.
TEST(TargetDouble, OneDatabaseModeKeepsEachConnectionInItsDatabase) {
    test::TargetDouble server;
    server.AddCatalog("master");
    server.AddCatalog("sales");
    server.AddTable("sales", "orders");
    server.WorkInOneDatabase();

    std::unique_ptr<test::TargetDouble> sales = server.NewConnection();
    PropertySet properties;
    properties.Add(kPropInitProviderString, std::string(";Driver={SQL Server};Database=sales"));
    ASSERT_EQ(sales->Open("SQLOLEDB", properties), kSuccess);
    ASSERT_EQ(sales->OpenSession(), kSuccess);
    EXPECT_EQ(sales->openedOn(), "sales");
    EXPECT_EQ(server.openedOn(), "master");

    auto tables = sales->session()->NewTablesRowset();
    ASSERT_EQ(tables->Open({std::nullopt, std::nullopt, std::nullopt, std::string("TABLE")}), kSuccess);
    ASSERT_EQ(tables->MoveNext(), kSuccess);
    EXPECT_EQ(tables->Current().tableName, "orders");

    auto elsewhere = server.session()->NewTablesRowset();
    EXPECT_EQ(elsewhere->Open({std::string("sales"), std::nullopt, std::nullopt, std::nullopt}), kFailure);
    EXPECT_EQ(elsewhere->ProviderErrorText(), test::kCurrentDatabaseRefusal);

    auto all = server.session()->NewCatalogsRowset();
    EXPECT_EQ(all->Open({std::nullopt}), kFailure);

    auto use = server.session()->NewStatement();
    use->Create("use sales;");
    EXPECT_EQ(use->Execute(StandardRowsetProperties()), kFailure);
    auto same = sales->session()->NewStatement();
    same->Create("use [sales];");
    EXPECT_EQ(same->Execute(StandardRowsetProperties()), kSuccess);
    EXPECT_EQ(server.StatementsOn("sales"), std::vector<std::string>{"use [sales];"});
    EXPECT_EQ(server.StatementsOn("master"), std::vector<std::string>{"use sales;"});
}

}  // namespace
}  // namespace velmora
