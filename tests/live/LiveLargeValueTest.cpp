// Large values on the live server: rows whose blob or text (multi-byte, with quotes and line
// breaks) passes the size at which a value is sent as a parameter in pieces arrive exact, between
// small rows of the same table that go in batches, one of them a text of many lines; the
// identity values are kept.
#include <gtest/gtest.h>

#include <string>

#include "live/LiveTarget.h"
#include "support/CliFixture.h"
#include "support/SourceConnection.h"

namespace velmora {
namespace {

using test::CliResult;
using test::LiveDatabase;

class LiveLargeValueTest : public test::LiveCliFixture {};

TEST_F(LiveLargeValueTest, LargeBlobAndTextRowsArriveExactAmongSmallRows) {
    test::ScratchDatabase source(
        "vlive_large",
        "CREATE TABLE big (id int AUTO_INCREMENT PRIMARY KEY, b longblob, t longtext);"
        "INSERT INTO big VALUES (1, 0x00FF, 'small'), (2, REPEAT(0x00FF270A, 800000), NULL),"
        "(3, NULL, REPEAT('Grüße ''東京'' 😀\\r\\n', 150000)), (4, NULL, 'last'),"
        "(5, REPEAT(0x41, 1048576), REPEAT('ß', 600000)), (6, NULL, REPEAT('line\\n', 700));");
    LiveDatabase target("large", true);
    CliResult run = Live("migrate table " + source.name() + " big " + target.name() + " --yes --verify full");
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("the tables MATCH"), std::string::npos) << run.out;
    auto connection = test::ConnectLiveTarget(target.name());
    // Byte and character counts as the source has them: 3,200,000 bytes; 150,000 times 14
    // characters (the emoji counted once or as its two UTF-16 units, as the server counts).
    const auto rows = test::LiveQuery(*connection->session(),
                                      "SELECT id, DATALENGTH(b), LEN(t) FROM big ORDER BY id");
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[1], (std::vector<std::string>{"2", "3200000", "NULL"}));
    EXPECT_TRUE(rows[2][2] == "2100000" || rows[2][2] == "2250000") << rows[2][2];
    EXPECT_EQ(rows[4], (std::vector<std::string>{"5", "1048576", "600000"}));
    // A small text with 700 line breaks goes as a literal: a CONCAT of groups of 100 arguments.
    EXPECT_EQ(rows[5], (std::vector<std::string>{"6", "NULL", "3500"}));
}

}  // namespace
}  // namespace velmora
