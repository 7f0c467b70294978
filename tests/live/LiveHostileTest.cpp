// Hostile input on the live server: a script written from a source whose literals, comments and
// names hold "GO" lines, replayed by FreeTDS tsql (a line-by-line batch splitter), creates each
// object as written, the values exact, and runs nothing else; a second run into a database that
// a run holds stops at once, naming the holder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "Converters/RunLock.h"
#include "live/LiveTarget.h"
#include "support/CliFixture.h"
#include "support/SourceConnection.h"

namespace velmora {
namespace {

using test::CliResult;
using test::LiveDatabase;

class LiveHostileTest : public test::LiveCliFixture {};

TEST_F(LiveHostileTest, ScriptReplayedByTsqlCreatesOnlyWhatTheSourceSaid) {
    if (std::system("command -v tsql >/dev/null 2>&1") != 0) GTEST_SKIP() << "FreeTDS tsql is not installed";
    LiveDatabase victim("victim", true);
    LiveDatabase target("hostile", true);
    const std::string hostile = "a\\nGO\\nDROP DATABASE " + victim.name() + "\\nGO\\n:r /etc/passwd\\nexit\\nb";
    const std::string value = "a\nGO\nDROP DATABASE " + victim.name() + "\nGO\n:r /etc/passwd\nexit\nb";
    test::ScratchDatabase source(
        "vlive_hostile", "CREATE TABLE t1 (id int PRIMARY KEY, note varchar(200) DEFAULT '" + hostile + "' COMMENT '" +
                             hostile + "') COMMENT '" + hostile + "';"
                             "INSERT INTO t1 VALUES (1, '" + hostile + "');"
                             "CREATE VIEW v1 AS SELECT '" + hostile + "' AS x;");
    CliResult run = Cli("migrate database " + source.name() + " " + target.name() + " --yes --target-script out");
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    const auto address = *test::LiveTargetAddress();
    const std::string host = address.server.substr(0, address.server.find(':'));
    const std::string port = address.server.find(':') == std::string::npos ? "1433" : address.server.substr(address.server.find(':') + 1);
    const std::string replay = "(printf 'USE " + target.name() + "\\ngo\\n'; cat '" + home_ + "/out/" + target.name() +
                               ".sql') | tsql -S " + host + " -p " + port + " -U '" + address.user +
                               "' -P \"$VELMORA_LIVE_TARGET_PASSWORD\" > '" + home_ + "/tsql.txt' 2>&1";
    ASSERT_EQ(std::system(replay.c_str()), 0) << test::ReadFile(home_ + "/tsql.txt");
    EXPECT_EQ(test::ReadFile(home_ + "/tsql.txt").find("Msg "), std::string::npos) << test::ReadFile(home_ + "/tsql.txt");

    auto master = test::ConnectLiveTarget();
    EXPECT_EQ(test::LiveQuery(*master->session(), "SELECT COUNT(*) FROM sys.databases WHERE name = '" + victim.name() + "'")
                  .at(0).at(0), "1");
    auto connection = test::ConnectLiveTarget(target.name());
    Session& session = *connection->session();
    EXPECT_EQ(test::LiveQuery(session, "SELECT note FROM t1").at(0).at(0), value);
    EXPECT_EQ(test::LiveQuery(session, "SELECT x FROM v1").at(0).at(0), value);
    test::LiveExecute(session, "INSERT INTO t1 (id) VALUES (2)");
    EXPECT_EQ(test::LiveQuery(session, "SELECT note FROM t1 WHERE id = 2").at(0).at(0), value);
    EXPECT_EQ(test::LiveQuery(session, "SELECT COUNT(*) FROM sys.tables").at(0).at(0), "1");
}

TEST_F(LiveHostileTest, ASecondRunStopsAtOnceNamingTheRunThatHoldsTheDatabase) {
    test::ScratchDatabase source("vlive_lock", "CREATE TABLE k (a int, b varchar(10)); INSERT INTO k VALUES (1, 'x');");
    LiveDatabase target("lock", true);
    std::string refusal;
    std::unique_ptr<RunLock> held =
        RunLock::Acquire(test::ConnectLiveTarget(target.name()), target.name(), "velmora-cli migrate --resume", RunLock::Mode::Exclusive, refusal);
    ASSERT_TRUE(held) << refusal;
    const std::string migrate = "migrate database " + source.name() + " " + target.name() + " --yes --resume";
    CliResult second = Live(migrate);
    EXPECT_EQ(second.exitCode, 2) << second.out << second.err;
    EXPECT_NE(second.err.find("another run holds the target database " + target.name() + ": " + held->holder()),
              std::string::npos) << second.err;
    EXPECT_NE(held->holder().find("process " + std::to_string(getpid())), std::string::npos) << held->holder();
    EXPECT_EQ(test::LiveRowCount(target.name(), "k"), -1);  // nothing was written
    held->Release();
    CliResult after = Live(migrate);
    EXPECT_EQ(after.exitCode, 0) << after.out << after.err;
    EXPECT_EQ(test::LiveRowCount(target.name(), "k"), 1);
}

}  // namespace
}  // namespace velmora
