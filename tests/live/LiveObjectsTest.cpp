// Every object, on a real server: a resumed migration of the sample into an empty database makes
// every foreign key (two on one table included); the verification names a foreign key, an index
// and a trigger dropped since, and a resume brings each back.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "live/LiveTarget.h"

namespace velmora {
namespace {

using test::CliResult;
using test::LiveDatabase;

class LiveObjectsTest : public test::LiveCliFixture {
protected:
    // "kind name: outcome" of the report's objects whose outcome is not "migrated" or "verified".
    std::set<std::string> Findings() {
        std::set<std::string> findings;
        for (const nlohmann::json& object : Report().value("objects", nlohmann::json::array())) {
            const std::string outcome = object.value("outcome", "");
            if (outcome != "migrated" && outcome != "verified" && outcome != "not migrated") {
                findings.insert(object.value("kind", "") + " " + object.value("name", "") + ": " + outcome);
            }
        }
        return findings;
    }

    std::string Count(Session& session, const std::string& query) { return test::LiveQuery(session, query).at(0).at(0); }
};

TEST_F(LiveObjectsTest, AResumeMakesEveryObjectAndTheVerificationNamesWhatIsDropped) {
    LiveDatabase target("objects");  // created by the migration (--yes)
    CliResult first = Live("migrate database shop " + target.name() + " --yes --resume --report report.json");
    ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
    auto connection = test::ConnectLiveTarget(target.name());
    ASSERT_NE(connection->session(), nullptr);
    Session& session = *connection->session();
    EXPECT_EQ(Count(session, "SELECT COUNT(*) FROM sys.foreign_keys"), "7");
    CliResult clean = Live("verify shop " + target.name() + " --verify count --report report.json");
    EXPECT_EQ(clean.exitCode, 0) << clean.out;
    EXPECT_EQ(Findings(), std::set<std::string>{}) << clean.out;

    // The second key of a table with two, an index and a trigger go.
    for (const char* drop : {"ALTER TABLE order_items DROP CONSTRAINT fk_items_product",
                             "DROP INDEX ix_events_kind ON events", "DROP TRIGGER order_items_total"}) {
        ASSERT_EQ(test::LiveExecute(session, drop), "") << drop;
    }
    CliResult verify = Live("verify shop " + target.name() + " --verify count --report report.json");
    EXPECT_EQ(verify.exitCode, 1) << verify.out;
    EXPECT_EQ(Findings(), (std::set<std::string>{"foreign key order_items.fk_items_product: missing",
                                                 "index events.ix_events_kind: missing",
                                                 "trigger order_items_total: missing"}))
        << verify.out;

    CliResult resumed = Live("migrate database shop " + target.name() + " --yes --resume --verify count --report report.json");
    EXPECT_EQ(resumed.exitCode, 0) << resumed.out << resumed.err;
    EXPECT_EQ(Findings(), std::set<std::string>{}) << resumed.out;
    EXPECT_EQ(Count(session, "SELECT COUNT(*) FROM sys.foreign_keys WHERE name = 'fk_items_product'"), "1");
    // Babelfish lists the index under its name, its table's and a hash.
    EXPECT_EQ(Count(session, "SELECT COUNT(*) FROM sys.indexes WHERE name LIKE 'ix[_]events[_]kind%'"), "1");
    EXPECT_EQ(Count(session, "SELECT COUNT(*) FROM sys.triggers WHERE name = 'order_items_total'"), "1");
}

}  // namespace
}  // namespace velmora
