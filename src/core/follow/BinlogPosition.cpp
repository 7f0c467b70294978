#include "follow/BinlogPosition.h"

#include <charconv>

namespace velmora {
namespace {

template <typename Number>
bool ReadNumber(std::string_view text, Number& value) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// The number after the last dot of a log file's name ("mariadb-bin.000012" -> 12).
uint64_t FileSequence(const std::string& file) {
    const size_t dot = file.rfind('.');
    uint64_t number = 0;
    if (dot != std::string::npos) ReadNumber(std::string_view(file).substr(dot + 1), number);
    return number;
}

}  // namespace

std::string BinlogPosition::Text() const {
    std::string text = file + ":" + std::to_string(offset);
    if (!gtid.empty()) text += " gtid " + gtid;
    return text;
}

bool BinlogPosition::AtOrAfter(const BinlogPosition& other) const {
    if (file == other.file) return offset >= other.offset;
    return FileSequence(file) > FileSequence(other.file);
}

std::optional<BinlogPosition> ParseBinlogPosition(std::string_view text) {
    BinlogPosition position;
    const size_t blank = text.find(" gtid ");
    if (blank != std::string_view::npos) {
        position.gtid = std::string(text.substr(blank + 6));
        if (!ParseGtid(position.gtid)) return std::nullopt;
        text = text.substr(0, blank);
    }
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    if (!ReadNumber(text.substr(colon + 1), position.offset)) return std::nullopt;
    position.file = std::string(text.substr(0, colon));
    return position;
}

std::optional<GtidParts> ParseGtid(std::string_view text) {
    const size_t first = text.find('-');
    const size_t second = first == std::string_view::npos ? first : text.find('-', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    GtidParts parts;
    if (!ReadNumber(text.substr(0, first), parts.domain) ||
        !ReadNumber(text.substr(first + 1, second - first - 1), parts.server) ||
        !ReadNumber(text.substr(second + 1), parts.sequence)) {
        return std::nullopt;
    }
    return parts;
}

}  // namespace velmora
