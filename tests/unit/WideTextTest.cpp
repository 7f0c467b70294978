#include <gtest/gtest.h>

#include "data/StreamedValues.h"
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

// Streamed values in small pieces: a text's UTF-16 pieces never split a character (so each piece
// converts alone to what the whole converts to), binary arrives as its bytes, from the bytes or
// from their digits, and the length told to the driver is what is sent.
TEST(StreamedValues, PiecesKeepEveryCharacterAndByte) {
    using Form = StreamedValue::Form;
    const std::string bad = "a\xFF\xE6\x97x\x80\x80\x80\x80z";
    struct {
        StreamedValue value;
        std::string expected;  // UTF-8 of the text, or the bytes
    } cases[] = {
        {{Form::Text, "Grüße 東京 😀😀 𝄞"}, "Grüße 東京 😀😀 𝄞"},
        {{Form::Text, bad}, Utf16ToUtf8(Utf8ToUtf16(bad))},
        {{Form::Text, ""}, ""},
        {{Form::Bytes, std::string_view("\0\xFF'x\x01", 5)}, std::string("\0\xFF'x\x01", 5)},
        {{Form::HexDigits, "00ff27Ab01"}, std::string("\0\xFF'\xAB\x01", 5)},
    };
    for (const auto& c : cases) {
        for (size_t pieceBytes : {8u, 9u, 10u, 1u << 20}) {
            SCOPED_TRACE(std::string(c.value.data) + " in pieces of " + std::to_string(pieceBytes));
            std::u16string units;
            std::string bytes, joined;
            size_t pieces = 0;
            ASSERT_TRUE(ForEachPiece(c.value, [&](const void* data, size_t size) {
                EXPECT_LE(size, pieceBytes);
                ++pieces;
                if (!c.value.IsText()) return bytes.append(static_cast<const char*>(data), size), true;
                const std::u16string piece(static_cast<const char16_t*>(data), size / 2);
                EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(piece)), piece);  // no surrogate pair cut
                units += piece;
                return true;
            }, pieceBytes));
            EXPECT_GE(pieces, 1u);
            EXPECT_EQ(c.value.IsText() ? Utf16ToUtf8(units) : bytes, c.expected);
            EXPECT_EQ(StreamedLength(c.value), c.value.IsText() ? units.size() : bytes.size());
        }
    }
    // A false from the receiver stops the pieces.
    size_t calls = 0;
    EXPECT_FALSE(ForEachPiece({Form::Bytes, "abcdefgh"}, [&](const void*, size_t) { return ++calls > 5; }, 2));
    EXPECT_EQ(calls, 1u);
}

}  // namespace
}  // namespace velmora
