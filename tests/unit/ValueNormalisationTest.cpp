// The value normalisation of the verification: what a SQL Server prints through its driver
// against what MySQL holds, family by family, and the key order both sides are merged in.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Converters/OrderedRows.h"
#include "Converters/ValueNormalisation.h"

namespace velmora {
namespace {

struct Pair {
    std::string mysqlType;
    std::optional<std::string> source;
    std::optional<std::string> target;
    bool same;
    int targetScale = -1;
    uint16_t sourceType = kTypeWStr;
};

TEST(ValueNormalisationTest, SourceAndTargetValuesCompareByFamily) {
    const std::vector<Pair> pairs = {
        {"varchar(10)", "abc", "abc", true},
        {"varchar(10)", "abc", "abc ", false},          // varchar keeps its blanks
        {"varchar(10)", "", std::nullopt, false},        // empty string is no NULL
        {"varchar(10)", std::nullopt, std::nullopt, true},
        {"char(5)", "ab", "ab   ", true},                // nchar comes back padded
        {"text", "Ünï 😀", "Ünï 😀", true},
        {"int(11)", "-0", "0", true},
        {"bigint(20) unsigned", "18446744073709551615", "18446744073709551615", true},
        {"decimal(10,2)", "0.50", ".50", true},          // no leading zero from the driver
        {"decimal(10,2)", "-0.50", "-.5", true},
        {"decimal(10,2)", "12.30", "12.3", true},
        {"decimal(10,2)", "12.30", "12.31", false},
        {"double", "0.1", "0.10000000000000001", true},
        {"double", "0.1", "0.10000000000000002", false},
        {"double", "0.30000000000000004", "0.300000000000000", true},  // 15 digits printed
        {"float", "3.14159", "3.1415901", true},
        {"float", "3.14159", "3.1416", false},           // too few digits for a driver's print
        {"float", "3.14159", "3.14159", true},
        {"date", "2024-02-29", "2024-02-29", true},
        {"date", "2024-02-29", "2024-02-29 00:00:00.000", true},
        {"date", "0000-00-00", std::nullopt, true},       // zero dates arrive as NULL
        {"date", "2024-00-15", std::nullopt, true},
        {"date", "2024-00-15", "2024-01-15", false},
        {"datetime(6)", "2024-01-02 03:04:05.123456", "2024-01-02 03:04:05.1234560", true, 7},
        {"datetime(6)", "2024-01-02 03:04:05.123456", "2024-01-02 03:04:05.1234570", false, 7},
        {"datetime(6)", "2024-01-02 03:04:05.123456", "2024-01-02T03:04:05.123", true, 3},
        {"datetime", "2024-01-02 03:04:05", "2024-01-02 03:04:06", false, 0},
        {"timestamp", "0000-00-00 00:00:00", std::nullopt, true},
        {"time(3)", "10:11:12.500", "10:11:12.5000000", true, 7},
        {"time", "-01:00:00", "01:00:00", false},
        {"year(4)", "2024", "2024", true},
        {"varbinary(10)", "00FF00", "00ff00", true},
        {"varbinary(10)", "00FF00", "00FF", false},      // a zero byte lost
        {"binary(3)", "000000", "000000", true},
        {"bit(1)", "01", "1", true, -1, kTypeBytes},
        {"bit(1)", "1", "True", true},
        {"bit(10)", "0201", "513", true, -1, kTypeBytes},
        {"enum('a','b')", "a", "a", true},
        {"set('x','y')", "x,y", "x", false},
        {"point", "POINT(1 2)", "POINT(1 2)", true},
    };
    int inPlace = 0;  // pairs the in-place comparison of a large value took as the same
    for (const Pair& pair : pairs) {
        SCOPED_TRACE(pair.mysqlType + " " + pair.source.value_or("NULL") + " / " +
                     pair.target.value_or("NULL"));
        ComparedColumn column;
        column.family = FamilyOfMySqlType(pair.mysqlType);
        column.sourceType = pair.sourceType;
        column.targetType = kTypeWStr;
        column.targetScale = pair.targetScale;
        auto view = [](const std::optional<std::string>& v) {
            return v ? std::optional<std::string_view>(*v) : std::nullopt;
        };
        NormalisedValue expected = NormaliseSource(column, view(pair.source));
        NormalisedValue actual = NormaliseTarget(column, view(pair.target));
        EXPECT_EQ(SameValue(column, expected, actual, pair.target.value_or("")), pair.same);
        if (pair.source && pair.target && SameTextAsRead(column, *pair.source, *pair.target)) {
            EXPECT_TRUE(pair.same);
            ++inPlace;
        }
    }
    EXPECT_EQ(inPlace, 7);  // text, char with its padding, binary in either case, enum, point
}

TEST(ValueNormalisationTest, CanonicalDecimalsAndTheirOrder) {
    EXPECT_EQ(CanonicalDecimal("-0012.3400"), "-12.34");
    EXPECT_EQ(CanonicalDecimal(".5"), "0.5");
    EXPECT_EQ(CanonicalDecimal("-0.00"), "0");
    EXPECT_EQ(CanonicalDecimal("+7."), "7");
    EXPECT_EQ(CanonicalDecimal("1e5"), std::nullopt);
    EXPECT_EQ(CanonicalDecimal(""), std::nullopt);
    EXPECT_EQ(CanonicalDecimal("-"), std::nullopt);
    EXPECT_LT(CompareDecimals("-10", "-9"), 0);
    EXPECT_LT(CompareDecimals("9", "10"), 0);
    EXPECT_LT(CompareDecimals("1.05", "1.5"), 0);
    EXPECT_GT(CompareDecimals("0", "-0.1"), 0);
    EXPECT_EQ(CompareDecimals("18446744073709551615", "18446744073709551615"), 0);
}

TEST(ValueNormalisationTest, KeysOrderAsBothServersDeliverThem) {
    EXPECT_LT(CompareKeyValues(KeyOrder::Number, "9", "10"), 0);
    EXPECT_LT(CompareKeyValues(KeyOrder::Number, "-2", "1"), 0);
    EXPECT_LT(CompareKeyValues(KeyOrder::Text, "B_", "_z"), 0);   // code point order
    EXPECT_LT(CompareKeyValues(KeyOrder::Text, "_z", "a"), 0);
    EXPECT_EQ(CompareKeyValues(KeyOrder::Text, "a", "a  "), 0);   // trailing blanks do not count
    EXPECT_LT(CompareKeyValues(KeyOrder::Text, "a\t", "a"), 0);
    EXPECT_EQ(CompareKeyValues(KeyOrder::Temporal, "2024-01-02 03:04:05",
                               "2024-01-02 03:04:05.0000000"), 0);
    EXPECT_LT(CompareKeyValues(KeyOrder::Temporal, "9:00:00", "10:00:00"), 0);
    EXPECT_LT(CompareKeyValues(KeyOrder::Binary, "00FF", "0100"), 0);
}

TEST(ValueNormalisationTest, PagesOfBothDialects) {
    OrderedReadSpec spec;
    spec.table = "order lines";
    spec.selectList = {"`id`", "`code`"};
    spec.key = {{"id", "code"}, {KeyOrder::Number, KeyOrder::Text}};
    spec.keyPositions = {0, 1};
    spec.condition = "id > 3 -- recent";
    EXPECT_EQ(OrderedRowReader::QueryText(spec, {"7", "it's"}, 500),
              "select `id`, `code` from `order lines` where (id > 3 -- recent\n) and ((id > 7) or "
              "(id = 7 and convert(code using utf8mb4) collate utf8mb4_bin > 'it''s' collate "
              "utf8mb4_bin)) order by id, convert(code using utf8mb4) collate utf8mb4_bin limit 500");
    spec.dialect = SqlDialect::Tsql;
    spec.selectList = {"[id]", "[code]"};
    EXPECT_EQ(OrderedRowReader::QueryText(spec, {}, 1000),
              "select top (1000) [id], [code] from [order lines] order by [id], [code] collate "
              "Latin1_General_BIN2");
    spec.streams = true;
    EXPECT_EQ(OrderedRowReader::QueryText(spec, {"7", "it's"}, 1000),
              "select [id], [code] from [order lines] where (([id] > 7) or ([id] = 7 and [code] "
              "collate Latin1_General_BIN2 > N'it''s')) order by [id], [code] collate "
              "Latin1_General_BIN2");
}

}  // namespace
}  // namespace velmora
