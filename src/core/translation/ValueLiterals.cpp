#include "translation/ValueLiterals.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "translation/TypeCodes.h"

namespace velmora {
namespace {

// Type codes beyond the ones DataAccess.h names, as OLE DB numbers them.
constexpr uint16_t kTypeCurrency = 6;
constexpr uint16_t kTypeAutomationDate = 7;
constexpr uint16_t kTypeDecimal = 14;
constexpr uint16_t kTypeVarNumeric = 139;
constexpr uint16_t kTypeDbTime2 = 145;
constexpr uint16_t kTypeDbTimestampOffset = 146;

// CONCAT takes at most 254 arguments on SQL Server and 100 on Babelfish.
constexpr size_t kMaxConcatArguments = 100;

enum class Rendering { Text, Binary, Number, Boolean, Date, Time, DateTime };

Rendering RenderingOf(uint16_t typeCode) {
    switch (typeCode) {
        case kTypeBytes:
            return Rendering::Binary;
        case kTypeI1: case kTypeI2: case kTypeI4: case kTypeI8:
        case kTypeUI1: case kTypeUI2: case kTypeUI4: case kTypeUI8:
        case kTypeR4: case kTypeR8: case kTypeNumeric:
        case kTypeCurrency: case kTypeDecimal: case kTypeVarNumeric:
            return Rendering::Number;
        case kTypeBool:
            return Rendering::Boolean;
        case kTypeDbDate: case kTypeAutomationDate:
            return Rendering::Date;
        case kTypeDbTime: case kTypeDbTime2:
            return Rendering::Time;
        case kTypeDbTimestamp: case kTypeDbTimestampOffset:
            return Rendering::DateTime;
        default:
            return Rendering::Text;
    }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Appends `text` between single quotes with every quote doubled; `national` adds the N.
void AppendQuoted(std::string& out, std::string_view text, bool national) {
    if (national) out.push_back('N');
    out.push_back('\'');
    size_t from = 0;
    for (size_t at = text.find('\''); at != std::string_view::npos; at = text.find('\'', from)) {
        out.append(text, from, at + 1 - from);
        out.push_back('\'');
        from = at + 1;
    }
    out.append(text, from, std::string_view::npos);
    out.push_back('\'');
}

// Whether `text` holds a CR or an LF: two scans of the whole text (find_first_of would scan the
// set of two characters once per character of the text, the row copy's hottest spot).
bool HasLineBreak(std::string_view text) {
    return std::memchr(text.data(), '\n', text.size()) != nullptr ||
           std::memchr(text.data(), '\r', text.size()) != nullptr;
}

// The arguments of a text with line breaks, one after another: its runs of text as N'...', each
// CR or LF as NCHAR(13) or NCHAR(10) (without `national`: '...' and CHAR(13)/CHAR(10)). Written
// straight into the literal, so that a long text is not held again in pieces.
class TextParts {
public:
    TextParts(std::string_view text, bool national) : text_(text), national_(national) {}

    size_t Count() const {
        size_t parts = 0;
        for (size_t at = 0; at < text_.size(); ++parts) at = IsBreak(text_[at]) ? at + 1 : RunEnd(at);
        return parts;
    }
    void AppendNext(std::string& out) {
        if (IsBreak(text_[at_])) {
            out += national_ ? "N" : "";
            out += text_[at_++] == '\r' ? "CHAR(13)" : "CHAR(10)";
            return;
        }
        const size_t end = RunEnd(at_);
        AppendQuoted(out, text_.substr(at_, end - at_), national_);
        at_ = end;
    }

private:
    static bool IsBreak(char c) { return c == '\r' || c == '\n'; }
    size_t RunEnd(size_t at) const { return std::min(text_.find_first_of("\r\n", at), text_.size()); }

    std::string_view text_;
    bool national_;
    size_t at_ = 0;
};

// Appends item `index` of `level` of the CONCAT tree over the parts (level 0: the parts
// themselves; `counts` holds the items of each level): a CONCAT of at most kMaxConcatArguments
// items of the level below, whose first argument is nvarchar(max) so that no group is ever cut
// at 4,000 characters; a group of one item is that item.
void AppendConcatGroup(std::string& out, const std::vector<size_t>& counts, size_t level, size_t index,
                       TextParts& parts, bool national) {
    if (level == 0) return parts.AppendNext(out);
    const size_t first = index * kMaxConcatArguments;
    const size_t last = std::min(counts[level - 1], first + kMaxConcatArguments);
    if (last - first == 1) return AppendConcatGroup(out, counts, level - 1, first, parts, national);
    out += national ? "CONCAT(CONVERT(nvarchar(max)," : "CONCAT(CONVERT(varchar(max),";
    AppendConcatGroup(out, counts, level - 1, first, parts, national);
    out += ")";
    for (size_t i = first + 1; i < last; ++i) {
        out += ",";
        AppendConcatGroup(out, counts, level - 1, i, parts, national);
    }
    out += ")";
}

// A text with line breaks as CONCAT over its parts, nested in groups.
void AppendConcatOfParts(std::string& out, std::string_view text, bool national) {
    TextParts parts(text, national);
    std::vector<size_t> counts{parts.Count()};
    if (counts[0] == 0) {
        out += national ? "N''" : "''";
        return;
    }
    while (counts.back() > 1) counts.push_back((counts.back() + kMaxConcatArguments - 1) / kMaxConcatArguments);
    AppendConcatGroup(out, counts, counts.size() - 1, 0, parts, national);
}

void AppendText(std::string& out, std::string_view text) {
    if (!HasLineBreak(text)) {
        AppendQuoted(out, text, true);
        return;
    }
    AppendConcatOfParts(out, text, true);
}

void AppendBinary(std::string& out, std::string_view value) {
    bool hex = value.size() % 2 == 0;
    for (char c : value) {
        if (!hex) break;
        hex = IsHexDigit(c);
    }
    out += "0x";
    if (hex) {
        out.append(value);
        return;
    }
    static const char kDigits[] = "0123456789ABCDEF";
    for (unsigned char c : value) {
        out.push_back(kDigits[c >> 4]);
        out.push_back(kDigits[c & 0x0F]);
    }
}

void AppendBoolean(std::string& out, std::string_view value) {
    if (value.starts_with("True") || value.starts_with("true") || value == "\x01") {
        out.push_back('1');
    } else if (value.starts_with("False") || value.starts_with("false") || value == std::string_view("\0", 1)) {
        out.push_back('0');
    } else if (IsNumericLiteral(value)) {
        bool zero = value.find_first_of("123456789") == std::string_view::npos;
        out.push_back(zero ? '0' : '1');
    } else {
        AppendText(out, value);
    }
}

// A fraction's trailing zeros go, and the point with them when nothing is left.
std::string_view TrimFraction(std::string_view value) {
    size_t point = value.rfind('.');
    if (point == std::string_view::npos) return value;
    for (size_t i = point + 1; i < value.size(); ++i) {
        if (!IsDigit(value[i])) return value;
    }
    size_t end = value.find_last_not_of('0');
    if (end == point) return value.substr(0, point);
    return value.substr(0, end + 1);
}

// "YYYY-MM-DD hh:mm:ss[.f]" becomes "YYYY-MM-DDThh:mm:ss[.f]".
void AppendDateTime(std::string& out, std::string_view value) {
    std::string text(TrimFraction(value));
    bool shaped = text.size() >= 19 && text[4] == '-' && text[7] == '-' && text[10] == ' ' &&
                  text[13] == ':' && text[16] == ':';
    if (shaped) text[10] = 'T';
    AppendQuoted(out, text, false);
}

}  // namespace

std::string LineFreeText(std::string_view text, bool national) {
    std::string out;
    if (!HasLineBreak(text)) AppendQuoted(out, text, national);
    else AppendConcatOfParts(out, text, national);
    return out;
}

bool IsNumericLiteral(std::string_view text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        size_t exponent = 0;
        while (i < text.size() && IsDigit(text[i])) ++i, ++exponent;
        if (exponent == 0) return false;
    }
    return i == text.size();
}

void AppendValueLiteral(std::string& out, uint16_t typeCode, std::string_view value, bool isNull) {
    if (isNull) {
        out += "NULL";
        return;
    }
    Rendering rendering = RenderingOf(typeCode);
    bool quotedAsIs = rendering == Rendering::Date || rendering == Rendering::Time ||
                      rendering == Rendering::DateTime;
    // A line break cannot be part of a date or time; such a value is written as text so that the
    // statement still stays on one line.
    if (quotedAsIs && HasLineBreak(value)) {
        rendering = Rendering::Text;
    }
    switch (rendering) {
        case Rendering::Binary:
            AppendBinary(out, value);
            return;
        case Rendering::Number:
            if (IsNumericLiteral(value)) {
                out.append(value);
            } else {
                AppendText(out, value);
            }
            return;
        case Rendering::Boolean:
            AppendBoolean(out, value);
            return;
        case Rendering::Date:
            AppendQuoted(out, value, false);
            return;
        case Rendering::Time:
            AppendQuoted(out, TrimFraction(value), false);
            return;
        case Rendering::DateTime:
            AppendDateTime(out, value);
            return;
        case Rendering::Text:
            AppendText(out, value);
            return;
    }
}

std::string ValueLiteral(uint16_t typeCode, std::string_view value, bool isNull) {
    std::string out;
    AppendValueLiteral(out, typeCode, value, isNull);
    return out;
}

}  // namespace velmora
