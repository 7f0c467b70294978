// The live suite's online migration: the edge database (every column type, in a table whose
// values all fit) copied with --follow while a workload writes to it, the workload going on after
// the copy (inserts, updates that change keys, deletes, multi-row transactions, a rollback, one
// 10,000-row transaction, every column type), then cutover: the follower applies through the
// cutover point and the full verification on the real server matches. Then the faults: the
// follower killed mid-transaction and started again with `follow` (a second follower refused
// meanwhile), and a log rotation crossed.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <regex>
#include <string>
#include <thread>

#include "live/LiveTarget.h"
#include "support/CliFixture.h"
#include "support/EdgeDatabase.h"
#include "support/LocalMariaDb.h"
#include "support/SourceConnection.h"

namespace velmora {
namespace {

using test::CliResult;
using test::LiveDatabase;

// Every type of the edge database's limits table, at values every target column holds exactly.
const char* const kKindsDdl = R"SQL(
CREATE TABLE kinds (
  id int NOT NULL AUTO_INCREMENT PRIMARY KEY,
  ti tinyint, tiu tinyint unsigned, si smallint, mi mediumint unsigned, i int, bi bigint, biu bigint unsigned,
  d10 decimal(10,2), d38 decimal(38,10), f float, dbl double, b1 bit(1), b13 bit(13), y year,
  dt datetime(6), ts timestamp(3) NULL DEFAULT NULL, dte date, tm time(6), j json,
  e enum('a','b','c d'), st set('x','y','z'), pt point, c char(10), vc varchar(300), tx text,
  bl blob, vb varbinary(100)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
)SQL";

std::string KindsRow(int n) {
    const std::string v = std::to_string(n);
    return "(NULL, -" + v + " % 128, " + v + " % 256, " + v + ", " + v + ", -" + v + ", " + v + " * 1000000007, " +
           v + " * 4000000000, " + v + ".25, -" + v + ".0123456789, " + v + ".5, " + v + " / 3, b'1', b'1010101010101', 2001, "
           "'2024-02-29 10:11:12.654321' + INTERVAL " + v + " SECOND, '2025-01-01 00:00:00.5', '2024-02-29', '23:59:59.999999', "
           "'{\"n\": " + v + ", \"s\": \"ü\"}', 'c d', 'x,z', ST_GeomFromText('POINT(" + v + " -1.5)'), 'zehn', "
           "CONCAT('Ünïcödé 日本語 😀 ', " + v + "), REPEAT('t', " + v + "), UNHEX('00FF00'), UNHEX('0001')),";
}

std::string KindsRows(int from, int count) {
    std::string sql = "INSERT INTO kinds VALUES ";
    for (int n = from; n < from + count; ++n) sql += KindsRow(n);
    sql.back() = ';';
    return sql;
}

// A workload round: every kind of change, in single and multi-row transactions.
std::string Workload(const std::string& database, int round) {
    const std::string r = std::to_string(round);
    return "USE " + database + "; SET SESSION sql_mode = '';" + KindsRows(1000 + round * 10, 5) +
           "UPDATE kinds SET vc = CONCAT(vc, '+'), ts = NOW(3), dbl = dbl * 2 WHERE id % 7 = " + std::to_string(round % 7) + ";"
           "DELETE FROM kinds WHERE id = " + std::to_string(round * 3 + 1) + ";"
           "INSERT INTO big (name, amount, noted) SELECT CONCAT('w" + r + " ', seq), seq, NOW() FROM seq_1_to_50;"
           "UPDATE big SET amount = amount + 1 WHERE id % 97 = " + r + ";"
           "DELETE FROM big WHERE id % 101 = " + r + ";"
           "START TRANSACTION; UPDATE gaps SET id = id + 1000, v = 'moved' WHERE id < 1000 LIMIT 1;"
           "INSERT INTO `odd names` VALUES (" + std::to_string(100 + round) + ", ']', '''', 'w', 1, 'ß'); COMMIT;"
           "START TRANSACTION; DELETE FROM big WHERE id < 100; INSERT INTO kinds (id) VALUES (NULL); ROLLBACK;";
}

class LiveFollowTest : public test::LiveCliFixture {
protected:
    // Waits until the target's follow table says `state` (the copy is done once it follows).
    bool WaitForState(const std::string& target, const std::string& state, int seconds) {
        auto connection = test::ConnectLiveTarget(target);
        for (int i = 0; i < seconds * 2; ++i) {
            if (connection && connection->session()) {
                // The follow table exists once the position is recorded.
                Session& session = *connection->session();
                const auto there = test::LiveQuery(session, "SELECT COUNT(*) FROM sys.tables WHERE name = 'velmora_follow'");
                const auto rows = !there.empty() && there[0].at(0) == "1"
                                      ? test::LiveQuery(session, "SELECT state FROM velmora_follow")
                                      : std::vector<std::vector<std::string>>();
                if (!rows.empty() && !rows[0].empty() && rows[0][0] == state) return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
        return false;
    }

    void ExpectCutoverMatches(const std::string& source, const std::string& target) {
        CliResult cut = Live("cutover " + source + " " + target);
        EXPECT_EQ(cut.exitCode, 0) << cut.out << cut.err;
        EXPECT_TRUE(std::regex_search(cut.out, std::regex("cutover at [^:]+:[0-9]+( gtid [0-9-]+)?: target equals "
                                                          "source \\(10 tables, [0-9,]+ rows\\): MATCH")))
            << cut.out;
    }
};

TEST_F(LiveFollowTest, CopyWhileWritingThenFollowCutOverAndMatch) {
    test::ScratchDatabase source("vlive_follow", test::LiveEdgeDatabaseDdl(20000) + kKindsDdl + KindsRows(1, 200));
    LiveDatabase target("follow", true);
    const std::string how = " --yes --follow --jobs 2 --exclude limits,durations" + TargetOptions();
    const pid_t follower = Launch("migrate database " + source.name() + " " + target.name() + how, "m");
    for (int round = 0; !WaitForState(target.name(), "following", 1) && round < 200; ++round) {
        test::RunMariaDbClient(Workload(source.name(), round));
    }
    ASSERT_TRUE(WaitForState(target.name(), "following", 300)) << Collect(follower, "m").out;
    // After the copy: more rounds, one 10,000-row transaction, a rotation of the log.
    for (int round = 200; round < 210; ++round) test::RunMariaDbClient(Workload(source.name(), round));
    test::RunMariaDbClient("USE " + source.name() + "; INSERT INTO big (name, amount, noted) "
                           "SELECT CONCAT('tx ', seq), seq, NOW() FROM seq_1_to_10000; FLUSH BINARY LOGS;" +
                           KindsRows(5000, 20));
    ExpectCutoverMatches(source.name(), target.name());
    const CliResult ended = Collect(follower, "m");
    EXPECT_EQ(ended.exitCode, 0) << ended.out.substr(ended.out.size() > 4000 ? ended.out.size() - 4000 : 0) << ended.err;
    EXPECT_NE(ended.out.find("Applied through the cutover point"), std::string::npos);
}

TEST_F(LiveFollowTest, KilledMidTransactionFollowGoesOnWithNothingDoubledOrLost) {
    test::ScratchDatabase source("vlive_follow_kill", std::string(kKindsDdl) + KindsRows(1, 20) +
                                                          "CREATE TABLE big (id int AUTO_INCREMENT PRIMARY KEY, n int NOT NULL);");
    LiveDatabase target("follow_kill", true);
    pid_t follower = Launch("migrate database " + source.name() + " " + target.name() + " --yes --follow" + TargetOptions(), "a");
    ASSERT_TRUE(WaitForState(target.name(), "following", 300)) << Collect(follower, "a").out;
    // Large transactions keep the follower inside a target transaction most of the time.
    for (int i = 0; i < 6; ++i) {
        test::RunMariaDbClient("USE " + source.name() + "; INSERT INTO big (n) SELECT seq FROM seq_1_to_20000;" +
                               KindsRows(100 + i * 10, 10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    kill(follower, SIGKILL);
    Collect(follower, "a");
    follower = Launch("follow " + source.name() + " " + target.name() + TargetOptions(), "b");
    test::RunMariaDbClient("USE " + source.name() + "; UPDATE big SET n = n + 1 WHERE id % 3 = 0; DELETE FROM big WHERE id % 5 = 0;");
    ASSERT_TRUE(WaitForState(target.name(), "following", 60));
    // A second follower of the same target is refused at once, naming the first.
    const CliResult second = Live("follow " + source.name() + " " + target.name());
    EXPECT_EQ(second.exitCode, 2) << second.out << second.err;
    EXPECT_NE(second.err.find("another run holds the target database " + target.name() + ": velmora-cli follow on host"),
              std::string::npos) << second.err;
    CliResult cut = Live("cutover " + source.name() + " " + target.name());
    EXPECT_EQ(cut.exitCode, 0) << cut.out << cut.err;
    EXPECT_NE(cut.out.find("target equals source (2 tables, "), std::string::npos) << cut.out;
    const CliResult ended = Collect(follower, "b");
    EXPECT_EQ(ended.exitCode, 0) << ended.out << ended.err;
}

}  // namespace
}  // namespace velmora
