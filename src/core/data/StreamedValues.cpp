#include "data/StreamedValues.h"

#include <algorithm>
#include <vector>

#include "data/WideText.h"

namespace velmora {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

// Where a piece of UTF-8 that starts at `from` and holds at most `most` bytes (4 or more) ends:
// before the lead byte of a character that would not fit whole. Malformed text, whose
// continuation bytes run longer than a character, is cut where the piece is full.
size_t Utf8PieceEnd(std::string_view text, size_t from, size_t most) {
    const size_t end = std::min(text.size(), from + most);
    if (end == text.size()) return end;
    size_t cut = end;
    for (int back = 0; back < 3 && IsContinuation(static_cast<unsigned char>(text[cut])); ++back) --cut;
    return IsContinuation(static_cast<unsigned char>(text[cut])) ? end : cut;
}

}  // namespace

size_t StreamedLength(const StreamedValue& value) {
    switch (value.form) {
        case StreamedValue::Form::Bytes: return value.data.size();
        case StreamedValue::Form::HexDigits: return value.data.size() / 2;
        case StreamedValue::Form::Text: break;
    }
    // One UTF-16 unit per character, two for a character of four UTF-8 bytes; what the
    // conversion makes of malformed bytes is counted by converting them.
    size_t units = 0;
    ForEachPiece(value, [&](const void*, size_t bytes) {
        units += bytes / sizeof(char16_t);
        return true;
    });
    return units;
}

bool ForEachPiece(const StreamedValue& value,
                  const std::function<bool(const void* data, size_t bytes)>& send,
                  size_t pieceBytes) {
    const std::string_view data = value.data;
    if (data.empty()) return send(data.data(), 0);
    switch (value.form) {
        case StreamedValue::Form::Bytes:
            for (size_t at = 0; at < data.size(); at += pieceBytes) {
                if (!send(data.data() + at, std::min(pieceBytes, data.size() - at))) return false;
            }
            return true;
        case StreamedValue::Form::HexDigits: {
            const size_t digits = data.size() - data.size() % 2;
            if (digits == 0) return send(data.data(), 0);
            std::vector<unsigned char> bytes;
            bytes.reserve(std::min(pieceBytes, digits / 2));
            for (size_t at = 0; at < digits; at += 2 * pieceBytes) {
                const size_t end = std::min(digits, at + 2 * pieceBytes);
                bytes.clear();
                for (size_t i = at; i < end; i += 2) {
                    bytes.push_back(static_cast<unsigned char>(HexValue(data[i]) * 16 + HexValue(data[i + 1])));
                }
                if (!send(bytes.data(), bytes.size())) return false;
            }
            return true;
        }
        case StreamedValue::Form::Text: {
            // A piece of UTF-8 never makes more UTF-16 bytes than twice its own.
            const size_t most = std::max<size_t>(pieceBytes / 2, 4);
            for (size_t at = 0; at < data.size();) {
                const size_t end = Utf8PieceEnd(data, at, most);
                const std::u16string units = Utf8ToUtf16(data.substr(at, end - at));
                if (!send(units.data(), units.size() * sizeof(char16_t))) return false;
                at = end;
            }
            return true;
        }
    }
    return false;
}

}  // namespace velmora
