// How a big table is cut into key ranges, and how the copy units are shared among the processes
// of a split run.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "Converters/CopyPlan.h"
#include "Converters/KeyRanges.h"

namespace velmora {
namespace {

TEST(KeyRanges, RangeCountGrowsWithTheRowsUpToTheCap) {
    const std::vector<std::pair<int64_t, int>> cases = {
        {-1, 1}, {0, 1}, {kCutRows - 1, 1}, {kCutRows, 2}, {100000, 4}, {100001, 5},
        {kRowsPerRange * kMaxRanges, kMaxRanges}, {1000000000, kMaxRanges}};
    for (const auto& [rows, ranges] : cases) EXPECT_EQ(RangeCountFor(rows), ranges) << rows;
}

TEST(KeyRanges, EvenBoundariesSplitTheSpanAndNeverRepeat) {
    struct Case {
        const char* min;
        const char* max;
        int count;
        std::vector<std::string> boundaries;
    };
    const std::vector<Case> cases = {
        {"1", "100", 4, {"26", "51", "76"}},
        {"0", "99", 2, {"50"}},
        {"-100", "99", 4, {"-50", "0", "50"}},
        // A span narrower than the count: each key its own range at most.
        {"5", "7", 8, {"6", "7"}},
        {"7", "7", 4, {}},
        // The whole unsigned bigint range: no overflow.
        {"0", "18446744073709551615", 2, {"9223372036854775808"}},
        {"-9223372036854775808", "9223372036854775807", 2, {"0"}},
        // Not integers, or upside down: nothing to cut.
        {"1.5", "9", 2, {}},
        {"9", "1", 2, {}},
        {"", "9", 2, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EvenBoundaries(c.min, c.max, c.count), c.boundaries) << c.min << ".." << c.max;
    }
}

TEST(KeyRanges, DenseMeansASpanOfAtMostTwiceTheRows) {
    EXPECT_TRUE(DenseIntegerKey("1", "100000", 100000));
    EXPECT_TRUE(DenseIntegerKey("1", "200000", 100000));   // every other key missing
    EXPECT_FALSE(DenseIntegerKey("1", "200001", 100000));  // sparser: sampled instead
    EXPECT_FALSE(DenseIntegerKey("1", "100", 0));
    EXPECT_FALSE(DenseIntegerKey("a", "100", 100));
}

TEST(KeyRanges, BoundariesPickedFromSamplesAreQuantilesWithoutRepeats) {
    std::vector<std::string> sampled;
    for (int i = 1; i <= 16; ++i) sampled.push_back(std::to_string(i * 10));
    EXPECT_EQ(PickBoundaries(sampled, 4), (std::vector<std::string>{"50", "90", "130"}));
    // Skewed: most samples share one value; the ranges around it collapse into one.
    std::vector<std::string> skewed = {"1", "7", "7", "7", "7", "7", "7", "900"};
    EXPECT_EQ(PickBoundaries(skewed, 4), (std::vector<std::string>{"7"}));
    EXPECT_TRUE(PickBoundaries({}, 4).empty());
    EXPECT_TRUE(PickBoundaries(sampled, 1).empty());
}

TEST(KeyRanges, RangesCoverEveryKeyOnceOnBothServers) {
    std::vector<KeyRange> ranges = RangesBetween("id", KeyOrder::Number, {"100", "200"});
    ASSERT_EQ(ranges.size(), 3u);
    EXPECT_EQ(RangePredicate(SqlDialect::MySql, ranges[0]), "id < 100");
    EXPECT_EQ(RangePredicate(SqlDialect::MySql, ranges[1]), "id >= 100 and id < 200");
    EXPECT_EQ(RangePredicate(SqlDialect::Tsql, ranges[2]), "[id] >= 200");
    EXPECT_EQ(DescribeRange(ranges[1]), "range 2 of 3 (id >= 100 and id < 200)");
    // Names that need it are quoted in each dialect's way; dates are text literals.
    std::vector<KeyRange> dates = RangesBetween("order day", KeyOrder::Temporal, {"2024-01-01 00:00:00"});
    EXPECT_EQ(RangePredicate(SqlDialect::MySql, dates[0]), "`order day` < '2024-01-01 00:00:00'");
    EXPECT_EQ(RangePredicate(SqlDialect::Tsql, dates[1]), "[order day] >= '2024-01-01 00:00:00'");
    EXPECT_EQ(RangePredicate(SqlDialect::Tsql, RangesBetween("id", KeyOrder::Number, {})[0]), "");
}

TEST(KeyRanges, PartSpecs) {
    const std::map<std::string, std::optional<std::pair<int, int>>> cases = {
        {"1/1", std::make_pair(1, 1)}, {"2/3", std::make_pair(2, 3)},
        {"1000/1000", std::make_pair(1000, 1000)}, {"0/3", std::nullopt}, {"4/3", std::nullopt},
        {"-1/3", std::nullopt}, {"1/-3", std::nullopt}, {"1/1001", std::nullopt},
        {"1/", std::nullopt}, {"/3", std::nullopt}, {"", std::nullopt}, {"2", std::nullopt},
        {"a/b", std::nullopt}, {"1/2/3", std::nullopt}, {" 1/2", std::nullopt}};
    for (const auto& [text, expected] : cases) {
        std::optional<PartSpec> part = ParsePart(text);
        ASSERT_EQ(part.has_value(), expected.has_value()) << text;
        if (part) {
            EXPECT_EQ(std::make_pair(part->part, part->parts), *expected) << text;
        }
    }
}

std::vector<CopyUnit> SampleUnits() {
    std::vector<CopyUnit> units = {{"small", std::nullopt, 10}, {"empty", std::nullopt, 0}};
    for (const KeyRange& range : RangesBetween("id", KeyOrder::Number, {"100", "200", "300"})) {
        units.push_back({"big", range, 50000});
    }
    units.push_back({"medium", std::nullopt, 60000});
    return units;
}

TEST(KeyRanges, SharesCoverEveryUnitOnceAndBalanceTheRows) {
    const std::vector<CopyUnit> units = SampleUnits();
    for (int parts : {1, 2, 3, 5, 9}) {
        std::vector<int> shares = AssignShares(units, parts);
        ASSERT_EQ(shares.size(), units.size());
        std::map<int, int64_t> load;
        for (size_t i = 0; i < units.size(); ++i) {
            ASSERT_GE(shares[i], 1);
            ASSERT_LE(shares[i], parts);
            load[shares[i]] += units[i].rows;
        }
        // The same units give the same shares, whatever process asks.
        EXPECT_EQ(AssignShares(units, parts), shares);
        if (parts == 2) {
            EXPECT_EQ(load[1], 110010);
            EXPECT_EQ(load[2], 150000);
        }
    }
    // More shares than units: every unit gets a share of its own.
    std::vector<int> many = AssignShares(units, 9);
    EXPECT_EQ(std::set<int>(many.begin(), many.end()).size(), units.size());
}

TEST(KeyRanges, TheFingerprintChangesWithTheSplit) {
    const std::vector<CopyUnit> units = SampleUnits();
    const std::string fingerprint = SplitFingerprint(units, 3);
    EXPECT_EQ(fingerprint.size(), 16u);
    EXPECT_EQ(SplitFingerprint(units, 3), fingerprint);
    EXPECT_NE(SplitFingerprint(units, 2), fingerprint);
    std::vector<CopyUnit> moved = units;
    moved[2].range->to = "101";
    EXPECT_NE(SplitFingerprint(moved, 3), fingerprint);
    std::vector<CopyUnit> grown = units;
    grown[0].rows = 11;
    EXPECT_NE(SplitFingerprint(grown, 3), fingerprint);
}

TEST(KeyRanges, SampleQueryNumbersTheKeysInOrder) {
    EXPECT_EQ(SampleKeysQuery("big t", "id", 250),
              "select id from (select id, row_number() over (order by id) as velmora_row "
              "from `big t`) as velmora_sample where velmora_row % 250 = 0 order by id");
    EXPECT_TRUE(IsIntegerType("bigint(20) unsigned"));
    EXPECT_TRUE(IsIntegerType("INT"));
    EXPECT_FALSE(IsIntegerType("decimal(10,0)"));
    EXPECT_FALSE(IsIntegerType("date"));
}

}  // namespace
}  // namespace velmora
