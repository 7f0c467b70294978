#include <gtest/gtest.h>

#include "data/WideText.h"

namespace velmora {
namespace {

TEST(WideText, RoundTripsEveryPlane) {
    const std::string texts[] = {"", "plain ASCII", "Zoë Müller-Lüdenscheidt", "日本語のテキスト",
                                 "emoji 🙂🎉🚀 and 𝄞", std::string("nul\0inside", 10)};
    for (const std::string& text : texts) EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
    EXPECT_EQ(Utf8ToUtf16("🙂"), (std::u16string{0xD83D, 0xDE42}));
}

TEST(WideText, BadInputBecomesReplacementCharacters) {
    const std::string kReplacement = "\xEF\xBF\xBD";
    struct {
        std::string utf8;
        std::string expected;
    } cases[] = {
        {"a\xFFz", "a" + kReplacement + "z"},                       // a byte that starts nothing
        {"a\xC3", "a" + kReplacement},                               // cut short at the end
        {"\xE6\x97x", kReplacement + kReplacement + "x"},           // cut short before ASCII
        {"\xC0\xAF", kReplacement + kReplacement},                  // overlong form
        {"\xED\xA0\x80", kReplacement + kReplacement + kReplacement},  // a surrogate in UTF-8
    };
    for (const auto& c : cases) EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(c.utf8)), c.expected);
    EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD800, u'b'}), "a" + kReplacement + "b");
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00}), kReplacement);
}

TEST(WideText, HexIsUpperCaseTwoDigitsPerByte) {
    const unsigned char bytes[] = {0x00, 0x01, 0xAB, 0xFF, 0x10};
    std::string out = "0x";
    AppendHex(bytes, sizeof bytes, out);
    EXPECT_EQ(out, "0x0001ABFF10");
}

}  // namespace
}  // namespace velmora
