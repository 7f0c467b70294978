// Binary log positions as the follow table stores them, their order across rotations, and the
// double texts of the log's floating point values, which must equal the server's own.
#include <gtest/gtest.h>

#include "follow/BinlogPosition.h"
#include "follow/BinlogRows.h"

namespace velmora {
namespace {

TEST(FollowPosition, TextRoundTripsAndBadTextIsRefused) {
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"mariadb-bin.000003:1234", true},
        {"mariadb-bin.000003:1234 gtid 0-1-57", true},
        {"/var/log/my:sql/bin.000001:4", true},  // the last colon separates the offset
        {"mariadb-bin.000003", false},
        {"mariadb-bin.000003:", false},
        {":12", false},
        {"mariadb-bin.000003:12x", false},
        {"mariadb-bin.000003:12 gtid 0-1", false},
    };
    for (const auto& c : cases) {
        const auto position = ParseBinlogPosition(c.text);
        EXPECT_EQ(position.has_value(), c.valid) << c.text;
        if (position) {
            EXPECT_EQ(position->Text(), c.text);
        }
    }
}

TEST(FollowPosition, OrderFollowsTheFileSequenceThenTheOffset) {
    const BinlogPosition a{"mariadb-bin.000009", 900, ""};
    const BinlogPosition b{"mariadb-bin.000010", 4, ""};
    const BinlogPosition c{"mariadb-bin.000010", 120, ""};
    EXPECT_TRUE(b.AtOrAfter(a));
    EXPECT_FALSE(a.AtOrAfter(b));
    EXPECT_TRUE(c.AtOrAfter(b));
    EXPECT_TRUE(c.AtOrAfter(c));
    EXPECT_FALSE(b.AtOrAfter(c));
}

TEST(FollowValues, DoublesPrintAsTheServerPrintsThem) {
    // The texts MariaDB prints for these doubles (SELECT x + 0e0).
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.1, "0.1"},
        {-1.7976931348623157e308, "-1.7976931348623157e308"},
        {static_cast<double>(3.40282e38f), "3.402820018375656e38"},
        {static_cast<double>(1.1f), "1.100000023841858"},
        {static_cast<double>(-1.17549e-38f), "-1.1754900067970481e-38"},
        {1e15, "1e15"},
        {123456789.0, "123456789"},
        {123456789012345678.0, "1.2345678901234568e17"},
        {0.0001, "0.0001"},
        {1e-15, "0.000000000000001"},
        {1e-300, "1e-300"},
        {-0.5, "-0.5"},
        {0, "0"},
    };
    for (const auto& c : cases) EXPECT_EQ(ServerDoubleText(c.value), c.text) << c.text;
}

}  // namespace
}  // namespace velmora
