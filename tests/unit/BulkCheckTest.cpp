// The bulk copy's self-check compares every value it sent with what the server read back: the
// forms drivers print for equal values pass, every way a driver was seen to (or could) change a
// value fails and is named; and the check's own rows cover what it promises.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "Converters/BulkCheck.h"
#include "config/Options.h"

namespace velmora {
namespace {

size_t ColumnIndex(const std::string& name) {
    const auto& columns = BulkCheckColumns();
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name == name) return i;
    }
    ADD_FAILURE() << "no check column " << name;
    return 0;
}

// The check's rows with one value of one row replaced by what a server read back.
std::vector<CheckRow> ReadBack(size_t row, const std::string& column, std::optional<std::string> value) {
    std::vector<CheckRow> rows = BulkCheckRows();
    rows[row][ColumnIndex(column)] = std::move(value);
    return rows;
}

TEST(BulkCheck, EqualValuesInTheFormsDriversPrintPass) {
    struct Case { size_t row; const char* column; std::optional<std::string> read; };
    const Case cases[] = {
        {3, "d10_2", "12.5"},                      // trailing zeros do not count
        {4, "d10_2", "-.10"},                      // nor a missing leading zero
        {3, "d18_9", ".000000001"},
        {1, "c", "abc       "},                    // nchar(10) comes back padded
        {3, "c", "          "},
        {3, "dt2", "2026-01-10 09:00:00.1234560"},  // more fraction digits, same instant
        {3, "dt2", "2026-01-10T09:00:00.123456"},
        {3, "tm", "12:30:00.500000"},
        {0, "f", "-1.23456789012346e+300"},         // float printed with 15 digits
        {3, "r", "0.100000001"},                   // real printed with 9
        {0, "vb", "00ff00"},                        // hexadecimal in lower case
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.column);
        EXPECT_EQ(FirstBulkCheckDifference(BulkCheckColumns(), BulkCheckRows(), ReadBack(c.row, c.column, c.read)), "");
    }
    EXPECT_EQ(FirstBulkCheckDifference(BulkCheckColumns(), BulkCheckRows(), BulkCheckRows()), "");
}

TEST(BulkCheck, EveryChangedValueFailsAndIsNamed) {
    struct Case { size_t row; const char* column; std::optional<std::string> read; const char* expected; };
    const Case cases[] = {
        // decimal(10,2) in its short form read at the wrong scale
        {3, "d10_2", "1250.00", "decimal(10,2) column d10_2 of row 4: sent 12.50, read back 1250.00"},
        {1, "i64", "9223372036854775806", "bigint column i64 of row 2: sent 9223372036854775807, read back 9223372036854775806"},
        {0, "d38_0", "-9999999999999999999999999999999999999",
         "decimal(38,0) column d38_0 of row 1: sent -99999999999999999999999999999999999999, read back "
         "-9999999999999999999999999999999999999"},
        {0, "vc", std::nullopt, "varchar(40) column vc of row 1: sent '', read back NULL"},  // empty became NULL
        {2, "nv", "", "nvarchar(100) column nv of row 3: sent NULL, read back ''"},
        {1, "vbm", std::nullopt, "varbinary(max) column vbm of row 2: sent '', read back NULL"},
        {0, "vb", "FF00", "varbinary(16) column vb of row 1: sent 00FF00, read back FF00"},  // zero byte lost
        {0, "nv", "Gr??e ? ??? ?", nullptr},          // Unicode through a code page
        {0, "nvm", std::string(8000, 'A'), nullptr},   // a long value cut at 8,000 bytes
        {3, "dt2", "2026-01-10 09:00:00.123000", nullptr},
        {1, "b", "0", nullptr},
        {3, "f", "0.1000001", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.column);
        const std::string difference =
            FirstBulkCheckDifference(BulkCheckColumns(), BulkCheckRows(), ReadBack(c.row, c.column, c.read));
        if (c.expected) {
            EXPECT_EQ(difference, c.expected);
        } else {
            EXPECT_NE(difference.find(std::string("column ") + c.column + " of row " + std::to_string(c.row + 1)),
                      std::string::npos)
                << difference;
        }
    }
}

TEST(BulkCheck, MissingAndExtraRowsFail) {
    std::vector<CheckRow> fewer = BulkCheckRows();
    fewer.pop_back();
    EXPECT_EQ(FirstBulkCheckDifference(BulkCheckColumns(), BulkCheckRows(), fewer), "row 5 did not arrive");
    std::vector<CheckRow> more = BulkCheckRows();
    more.push_back(more.back());
    more.push_back(more.back());
    EXPECT_EQ(FirstBulkCheckDifference(BulkCheckColumns(), BulkCheckRows(), more), "2 rows more than sent");
    EXPECT_EQ(FirstBulkCheckDifference(BulkCheckColumns(), BulkCheckRows(), {}), "row 1 did not arrive");
}

// What the check promises to cover: NULL in every column, empty text and binary, values over
// 8 KB, zero bytes, non-ASCII text, the integer limits, and a decimal in its short form.
TEST(BulkCheck, RowsCoverEveryFamilyAndEdge) {
    const auto& columns = BulkCheckColumns();
    const auto& rows = BulkCheckRows();
    for (const CheckRow& row : rows) ASSERT_EQ(row.size(), columns.size());
    for (size_t c = 1; c < columns.size(); ++c) {
        bool null = false, value = false;
        for (const CheckRow& row : rows) (row[c] ? value : null) = true;
        EXPECT_TRUE(null && value) << columns[c].name;
    }
    auto any = [&](const char* column, auto predicate) {
        for (const CheckRow& row : rows) {
            if (row[ColumnIndex(column)] && predicate(*row[ColumnIndex(column)])) return true;
        }
        return false;
    };
    EXPECT_TRUE(any("i64", [](const std::string& v) { return v == "-9223372036854775808"; }));
    EXPECT_TRUE(any("i64", [](const std::string& v) { return v == "9223372036854775807"; }));
    EXPECT_TRUE(any("d10_2", [](const std::string& v) { return v == "12.50"; }));
    EXPECT_TRUE(any("vc", [](const std::string& v) { return v.empty(); }));
    EXPECT_TRUE(any("nv", [](const std::string& v) { return v.find("\xF0\x9F\x98\x80") != std::string::npos; }));
    EXPECT_TRUE(any("nvm", [](const std::string& v) { return v.size() > 8192; }));
    EXPECT_TRUE(any("vbm", [](const std::string& v) { return v.size() / 2 > 8192 && v.find("00") == 0; }));
    EXPECT_TRUE(any("vb", [](const std::string& v) { return v == "00FF00"; }));
    std::set<std::string> types;
    for (const BulkCheckColumn& column : columns) types.insert(column.type.substr(0, column.type.find('(')));
    for (const char* type : {"tinyint", "smallint", "int", "bigint", "decimal", "real", "float", "bit", "date",
                             "time", "datetime2", "nchar", "varchar", "nvarchar", "varbinary"}) {
        EXPECT_TRUE(types.count(type)) << type;
    }
}

TEST(BulkCheck, ScratchTablesNeverShareAName) {
    std::set<std::string> names;
    for (int i = 0; i < 100; ++i) names.insert(BulkCheckTableName());
    EXPECT_EQ(names.size(), 100u);
    EXPECT_EQ(names.begin()->rfind("velmora_bulk_check_", 0), 0u);
}

TEST(BulkCheck, BulkModeParses) {
    struct Case { const char* text; std::optional<BulkMode> mode; };
    const Case cases[] = {{"auto", BulkMode::Auto}, {"AUTO", BulkMode::Auto}, {"off", BulkMode::Off},
                          {"Off", BulkMode::Off},   {"on", std::nullopt},     {"", std::nullopt},
                          {"auto ", std::nullopt}};
    for (const Case& c : cases) EXPECT_EQ(ParseBulkMode(c.text), c.mode) << c.text;
}

}  // namespace
}  // namespace velmora
