// The values a bulk copy sends: the same decisions as the INSERT literals (zero dates, times
// beyond a day, a year read as a date, decimals rounded for decimal(38,s)), with plain values in
// place of literals and binary columns as their bytes.
#include <gtest/gtest.h>

#include <string>

#include "translation/FullValueRendering.h"

namespace velmora {
namespace {

TargetColumn Column(ValueRendering rendering, bool nullable = true, int bitBytes = 0, int roundToScale = -1) {
    TargetColumn c;
    c.name = "c";
    c.rendering = rendering;
    c.nullable = nullable;
    c.bitBytes = bitBytes;
    c.roundToScale = roundToScale;
    return c;
}

TEST(BulkValue, SendsEachValueAsTheColumnStoresIt) {
    using R = ValueRendering;
    using O = ValueOutcome;
    struct Row { TargetColumn column; std::string value; bool isNull; std::string sent; bool null; O outcome; };
    const Row rows[] = {
        {Column(R::Number), "-9223372036854775808", false, "-9223372036854775808", false, O::Written},
        {Column(R::Number), "12.50", false, "12.50", false, O::Written},
        {Column(R::Number), "2024-01-01", false, "2024", false, O::Written},  // a year read as a date
        {Column(R::Number, true, 0, 3), "-99.9995", false, "-100.000", false, O::Written},
        {Column(R::Number, true, 0, 0), "9.5", false, "10", false, O::Written},
        {Column(R::Boolean), "\x01", false, "1", false, O::Written},
        {Column(R::Boolean), "0", false, "0", false, O::Written},
        {Column(R::Binary), "00FF10", false, std::string("\x00\xFF\x10", 3), false, O::Written},
        {Column(R::Binary), "", false, "", false, O::Written},                      // empty, not NULL
        {Column(R::Binary), "xyz", false, "xyz", false, O::Written},                // raw bytes stay
        {Column(R::BitBytes, true, 2), "05", false, std::string("\x00\x05", 2), false, O::Written},
        {Column(R::BitBytes, true, 2), "\x01", false, std::string("\x00\x01", 2), false, O::Written},
        {Column(R::Text), "it's \xF0\x9F\x98\x80\n", false, "it's \xF0\x9F\x98\x80\n", false, O::Written},
        {Column(R::Text), "", false, "", false, O::Written},
        {Column(R::Text), "", true, "", true, O::Written},
        {Column(R::DateTime), "2026-01-10 09:00:00.123456", false, "2026-01-10 09:00:00.123456", false, O::Written},
        {Column(R::Date), "0000-00-00", false, "", true, O::ZeroDateAsNull},
        {Column(R::DateTime), "2024-00-15 10:00:00", false, "", true, O::ZeroDateAsNull},
        {Column(R::Date, false), "2024-05-00", false, "", false, O::RowFails},
        {Column(R::Time), "23:59:59.999999", false, "23:59:59.999999", false, O::Written},
        {Column(R::Time), "24:00:00", false, "", false, O::RowFails},
        {Column(R::Time), "-01:00:00", false, "", false, O::RowFails},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        std::string scratch;
        std::string_view data;
        bool null = false;
        RenderedValue rendered = BulkFullValue(scratch, row.column, row.value, row.isNull, data, null);
        EXPECT_EQ(rendered.outcome, row.outcome);
        // The literal path decides alike.
        std::string literal;
        EXPECT_EQ(AppendFullValue(literal, row.column, row.value, row.isNull).outcome, row.outcome);
        if (row.outcome == O::RowFails) continue;
        EXPECT_EQ(null, row.null);
        if (!row.null) {
            EXPECT_EQ(std::string(data), row.sent);
        }
    }
}

TEST(BulkValue, BinaryColumnsGoAsBytes) {
    EXPECT_TRUE(BulkSendsBytes(Column(ValueRendering::Binary)));
    EXPECT_TRUE(BulkSendsBytes(Column(ValueRendering::BitBytes, true, 2)));
    for (ValueRendering text : {ValueRendering::Text, ValueRendering::Number, ValueRendering::Boolean,
                                ValueRendering::Date, ValueRendering::DateTime, ValueRendering::Time}) {
        EXPECT_FALSE(BulkSendsBytes(Column(text)));
    }
}

}  // namespace
}  // namespace velmora
