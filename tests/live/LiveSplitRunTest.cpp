// The live suite's split run: one database copied by three velmora-cli processes at once
// (--part I/3), each creating what it copies into, and --finish, which refuses while a share is
// missing and then creates the foreign keys and the view, reseeds and verifies every table.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "live/LiveTarget.h"
#include "support/CliFixture.h"
#include "support/SourceConnection.h"

namespace velmora {
namespace {

using test::CliResult;
using test::LiveDatabase;

constexpr int kRows = 120000;

// A big identity table that is cut into key ranges, a sparse one cut at quantiles, a child
// with a foreign key into it, a small table and a view.
std::string SplitSourceDdl() {
    const std::string rows = std::to_string(kRows);
    return "CREATE TABLE big (id int AUTO_INCREMENT PRIMARY KEY, name varchar(40) NOT NULL, "
           "amount decimal(12,2), made datetime(3), note text) AUTO_INCREMENT = 500000;"
           "INSERT INTO big SELECT seq, CONCAT('name ', seq), seq / 100, '2024-01-01' + INTERVAL seq SECOND, "
           "IF(seq % 7 = 0, NULL, REPEAT('n', seq % 50)) FROM seq_1_to_" + rows + ";"
           "CREATE TABLE sparse (id bigint PRIMARY KEY, v int);"
           "INSERT INTO sparse SELECT seq * seq, seq FROM seq_1_to_60000;"
           "CREATE TABLE child (id int PRIMARY KEY, big_id int NOT NULL, "
           "FOREIGN KEY (big_id) REFERENCES big (id));"
           "INSERT INTO child SELECT seq, seq * 10 FROM seq_1_to_500;"
           "CREATE TABLE small (code varchar(8) PRIMARY KEY, label varchar(20));"
           "INSERT INTO small VALUES ('a', 'one'), ('b', 'two');"
           "CREATE VIEW child_names AS SELECT c.id, b.name FROM child c JOIN big b ON b.id = c.big_id;"
           "ANALYZE TABLE big, sparse;";
}

class LiveSplitRunTest : public test::LiveCliFixture {
protected:
    std::string Migrate(const std::string& source, const std::string& target, const std::string& how) {
        return "migrate database " + source + " " + target + " --yes " + how + TargetOptions();
    }
};

TEST_F(LiveSplitRunTest, ThreeSharesThenFinishCopyTheDatabaseWhole) {
    test::ScratchDatabase source("vlive_split", SplitSourceDdl());
    LiveDatabase target("split", true);
    // Shares 1 and 3 at once, each with two writers; share 2 is still missing.
    std::vector<pid_t> shares;
    for (int part : {1, 3}) {
        shares.push_back(Launch(Migrate(source.name(), target.name(),
                                        "--jobs 2 --part " + std::to_string(part) + "/3"),
                                std::to_string(part)));
    }
    for (size_t i = 0; i < shares.size(); ++i) {
        const std::string tag = i == 0 ? "1" : "3";
        CliResult share = Collect(shares[i], tag);
        EXPECT_EQ(share.exitCode, 0) << share.out << share.err;
        EXPECT_NE(share.out.find("ended SUCCESS"), std::string::npos) << share.out;
    }

    CliResult early = Cli(Migrate(source.name(), target.name(), "--finish"));
    EXPECT_EQ(early.exitCode, 1) << early.out << early.err;
    EXPECT_NE(early.out.find("share 2 of 3 has not ended"), std::string::npos) << early.out;
    auto connection = test::ConnectLiveTarget(target.name());
    Session& session = *connection->session();
    EXPECT_EQ(test::LiveQuery(session, "SELECT COUNT(*) FROM sys.foreign_keys").at(0).at(0), "0");

    CliResult second = Cli(Migrate(source.name(), target.name(), "--part 2/3"));
    EXPECT_EQ(second.exitCode, 0) << second.out << second.err;
    // A share run again completes what it left: here, nothing.
    CliResult again = Cli(Migrate(source.name(), target.name(), "--part 2/3 --jobs 3"));
    EXPECT_EQ(again.exitCode, 0) << again.out << again.err;

    CliResult finish = Cli(Migrate(source.name(), target.name(), "--finish --report report.json"));
    EXPECT_EQ(finish.exitCode, 0) << finish.out << finish.err;
    const nlohmann::json report = Report();
    ASSERT_TRUE(report.contains("objects")) << finish.out;
    size_t verified = 0;
    for (const nlohmann::json& object : report.value("objects", nlohmann::json::array())) {
        if (object["verification"].is_null()) continue;
        ++verified;
        EXPECT_TRUE(object["verification"].value("matches", false)) << object.dump(1);
        EXPECT_EQ(object["verification"].value("mode", ""), "full") << object.dump(1);
    }
    EXPECT_EQ(verified, 5u) << finish.out;  // the four tables and the view, by its rows
    EXPECT_EQ(test::LiveRowCount(target.name(), "big"), kRows);
    EXPECT_EQ(test::LiveRowCount(target.name(), "sparse"), 60000);
    EXPECT_EQ(test::LiveQuery(session, "SELECT COUNT(*) FROM sys.foreign_keys").at(0).at(0), "1");
    EXPECT_EQ(test::LiveQuery(session, "SELECT COUNT(*) FROM sys.views WHERE name = 'child_names'").at(0).at(0), "1");
    EXPECT_EQ(test::LiveQuery(session, "SELECT COUNT(*) FROM sys.tables WHERE name = 'velmora_split'").at(0).at(0), "0");
    // Reseeded once every share was in: the next identity follows the source's counter (at it,
    // or one past it where the server cannot seed below its current value).
    EXPECT_EQ(test::LiveExecute(session, "INSERT INTO big (name) VALUES (N'next')"), "");
    EXPECT_GE(std::stoll(test::LiveQuery(session, "SELECT MAX(id) FROM big").at(0).at(0)), 500000);

    CliResult verify = Cli("verify " + source.name() + " " + target.name() + " --verify full" + TargetOptions());
    EXPECT_EQ(verify.exitCode, 1) << "the row added above must show" << verify.out;
}

}  // namespace
}  // namespace velmora
