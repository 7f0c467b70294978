// What a command checks before it changes anything, against the target double: whether the
// target database exists (SQL Server, and a one-database target, where the lookup and the
// creation go over a connection to master), and the server's reason when it refuses a name.
#include <gtest/gtest.h>

#include "commands/ConnectCommands.h"
#include "commands/Preflight.h"
#include "support/ScriptedPort.h"
#include "support/TargetDouble.h"

namespace velmora {
namespace {

class Preflight : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        auto target = std::make_unique<test::TargetDouble>();
        double_ = target.get();
        window_ = std::make_unique<MainWindowModel>(port_, std::make_unique<test::TargetDouble>(false),
                                                    std::move(target));
        for (const char* name : {"master", "acme_bf", "Sales"}) double_->AddCatalog(name);
        if (OneDatabase()) {
            double_->SetProperty(kPropServerVersionText, test::kBabelfishVersion);
            double_->WorkInOneDatabase();
        }
        test::TargetDouble* server = double_;
        window_->connectionFactory = [server](TreeSide side) -> std::unique_ptr<DataSourceConnection> {
            if (side == TreeSide::Target) return server->NewConnection();
            return nullptr;
        };
        window_->targetSettings = {"TCP/IP:Port", "MSDASQL", "sql01:1433", "sa", "pw", "acme_bf"};
        ASSERT_TRUE(ConnectTarget(*window_));
        double_->ClearStatements();
    }
    bool OneDatabase() const { return GetParam(); }

    test::ScriptedPort port_;
    test::TargetDouble* double_ = nullptr;
    std::unique_ptr<MainWindowModel> window_;
};

TEST_P(Preflight, TheTargetDatabaseIsLookedUpWithoutRegardToCase) {
    std::string why;
    EXPECT_EQ(TargetDatabasePresence(*window_, "sales", why), Presence::Present) << why;
    EXPECT_EQ(TargetDatabasePresence(*window_, "acme_bf", why), Presence::Present) << why;
    EXPECT_EQ(TargetDatabasePresence(*window_, "sales2", why), Presence::Missing) << why;
    // On a one-database target the list comes from master, where every database is listed.
    if (OneDatabase()) {
        EXPECT_EQ(double_->StatementsOn("master").size(), 3u);
    }
}

TEST_P(Preflight, AFailedLookupIsNeitherPresentNorMissing) {
    double_->FailOn("SELECT name FROM sys.databases ORDER BY name",
                    "The SELECT permission was denied on the object 'databases'.");
    std::string why;
    EXPECT_EQ(TargetDatabasePresence(*window_, "sales", why), Presence::Unknown);
    EXPECT_NE(why.find("SELECT permission was denied"), std::string::npos) << why;
}

TEST_P(Preflight, CreatingTheDatabaseGivesTheServersReasonForARefusal) {
    std::string why;
    EXPECT_TRUE(CreateTargetDatabase(*window_, "sales2", why)) << why;
    const std::vector<std::string> sent =
        OneDatabase() ? double_->StatementsOn("master") : double_->Statements();
    EXPECT_EQ(sent, std::vector<std::string>{"create database sales2;"});

    const std::string tooLong(129, 'x');
    double_->FailOn("create database " + tooLong + ";",
                    "The identifier that starts with 'xxxx' is too long. Maximum length is 128.");
    EXPECT_FALSE(CreateTargetDatabase(*window_, tooLong, why));
    EXPECT_NE(why.find("is too long. Maximum length is 128."), std::string::npos) << why;
}

// A one-database target is connected to its database by name: a name it cannot be connected to
// is refused before the database is created (SQL Server is reached with `use` and takes it).
TEST_P(Preflight, ANameTheTargetCannotBeConnectedToIsRefusedBeforeItIsCreated) {
    for (const std::string& name : std::vector<std::string>{"a]b", "a;b", "a{b}", "a\nb"}) {
        double_->ClearStatements();
        std::string why;
        EXPECT_EQ(CreateTargetDatabase(*window_, name, why), !OneDatabase()) << name;
        if (!OneDatabase()) continue;
        EXPECT_TRUE(double_->Statements().empty()) << name;
        EXPECT_NE(why.find(", and this target is connected to its database by name"), std::string::npos) << why;
    }
}

INSTANTIATE_TEST_SUITE_P(SqlServerAndOneDatabase, Preflight, ::testing::Bool());

}  // namespace
}  // namespace velmora
