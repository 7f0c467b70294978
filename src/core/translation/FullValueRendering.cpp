#include "translation/FullValueRendering.h"

#include <algorithm>

#include "translation/Naming.h"
#include "translation/ValueLiterals.h"
#include "translation/TypeCodes.h"

namespace velmora {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHexText(std::string_view text) {
    for (char c : text) {
        if (!IsDigit(c) && !(c >= 'A' && c <= 'F') && !(c >= 'a' && c <= 'f')) return false;
    }
    return true;
}

// The number of the digits at `at` (up to `count` of them), or -1 when one is not a digit.
int Digits(std::string_view text, size_t at, size_t count) {
    if (at + count > text.size()) return -1;
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (!IsDigit(text[i])) return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// '0000-00-00', '2024-00-15', '2024-05-00': a date SQL Server cannot hold.
bool IsZeroDate(std::string_view value) {
    if (value.size() < 10 || value[4] != '-' || value[7] != '-') return false;
    return Digits(value, 0, 4) == 0 || Digits(value, 5, 2) == 0 || Digits(value, 8, 2) == 0;
}

// A time of day: hh:mm:ss[.fraction] with hh below 24 and no sign.
bool IsTimeOfDay(std::string_view value) {
    size_t colon = value.find(':');
    if (colon != 2 || value.front() == '-') return false;
    int hours = Digits(value, 0, 2);
    return hours >= 0 && hours < 24;
}

// bit(n > 1): the hexadecimal digits padded on the left to the column's byte width, so that
// binary(n) does not pad the value on the right.
void AppendBitBytes(std::string& out, std::string_view value, int bytes) {
    out += "0x";
    if (!IsHexText(value) || value.size() % 2 != 0) {
        std::string hex;
        for (unsigned char c : value) {
            hex.push_back(kHexDigits[c >> 4]);
            hex.push_back(kHexDigits[c & 0x0F]);
        }
        AppendBitBytes(out.erase(out.size() - 2), hex, bytes);
        return;
    }
    while (value.size() > static_cast<size_t>(bytes) * 2 && value.front() == '0') value.remove_prefix(1);
    out.append(static_cast<size_t>(bytes) * 2 > value.size() ? static_cast<size_t>(bytes) * 2 - value.size() : 0, '0');
    out.append(value);
}

// A decimal with more fraction digits than `scale` (for a decimal(38,scale) column), rounded half
// away from zero; SQL Server refuses a literal of more than 38 digits. Where rounding would carry
// into an integer digit the column has no room for (all nines), the fraction is cut instead: the
// value then fits, within one unit of its last kept digit as with rounding.
void AppendRounded(std::string& out, std::string_view value, int scale) {
    size_t point = value.find('.');
    if (point == std::string_view::npos || value.size() - point - 1 <= static_cast<size_t>(scale) ||
        !IsNumericLiteral(value) || value.find_first_of("eE") != std::string_view::npos) {
        AppendValueLiteral(out, kTypeNumeric, value, false);
        return;
    }
    const std::string_view kept = value.substr(0, scale == 0 ? point : point + 1 + static_cast<size_t>(scale));
    std::string digits(kept);
    bool up = value[point + 1 + static_cast<size_t>(scale)] >= '5';
    bool grew = false;  // the carry added an integer digit
    for (size_t i = digits.size(); up && i-- > 0;) {
        if (digits[i] == '.') continue;
        if (!IsDigit(digits[i])) {  // past the sign
            digits.insert(i + 1, 1, '1');
            up = false;
            grew = true;
        } else if (digits[i] == '9') {
            digits[i] = '0';
        } else {
            ++digits[i];
            up = false;
        }
    }
    if (up) {
        digits.insert(0, 1, '1');
        grew = true;
    }
    // Such a column is decimal(38,scale): 38 - scale integer digits.
    const std::string_view integerPart = value.substr(0, point);
    const auto integerDigits = std::count_if(integerPart.begin(), integerPart.end(), IsDigit) + (grew ? 1 : 0);
    if (grew && integerDigits > 38 - scale) {
        out += kept;
    } else {
        out += digits;
    }
}

uint16_t TypeCodeOf(ValueRendering rendering) {
    switch (rendering) {
        case ValueRendering::Number: return kTypeNumeric;
        case ValueRendering::Boolean: return kTypeBool;
        case ValueRendering::Binary: return kTypeBytes;
        case ValueRendering::Date: return kTypeDbDate;
        case ValueRendering::DateTime: return kTypeDbTimestamp;
        case ValueRendering::Time: return kTypeDbTime;
        case ValueRendering::Text: case ValueRendering::BitBytes: return kTypeWStr;
    }
    return kTypeWStr;
}

// Binary digits to upper-case hexadecimal, whole bytes.
std::string BitsToHex(std::string_view bits) {
    std::string hex;
    size_t lead = (4 - bits.size() % 4) % 4;
    std::string padded = std::string(lead, '0') + std::string(bits);
    for (size_t i = 0; i < padded.size(); i += 4) {
        int nibble = 0;
        for (size_t j = i; j < i + 4; ++j) nibble = nibble * 2 + (padded[j] == '1');
        hex.push_back(kHexDigits[nibble]);
    }
    if (hex.size() % 2) hex.insert(hex.begin(), '0');
    return hex;
}

std::string TextToHex(std::string_view text) {
    std::string hex;
    for (unsigned char c : text) {
        hex.push_back(kHexDigits[c >> 4]);
        hex.push_back(kHexDigits[c & 0x0F]);
    }
    return hex;
}

// The unsigned value of hexadecimal digits, when it fits 64 bits.
bool HexToNumber(std::string_view hex, std::string& number) {
    while (!hex.empty() && hex.front() == '0') hex.remove_prefix(1);
    if (hex.size() > 16 || !IsHexText(hex)) return false;
    uint64_t value = 0;
    for (char c : hex) value = value * 16 + static_cast<uint64_t>(IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10);
    number = std::to_string(value);
    return true;
}

}  // namespace

RenderedValue AppendFullValue(std::string& out, const TargetColumn& column, std::string_view value, bool isNull) {
    if (isNull) {
        out += "NULL";
        return {};
    }
    switch (column.rendering) {
        case ValueRendering::Date:
        case ValueRendering::DateTime:
            if (IsZeroDate(value)) {
                if (!column.nullable) return {ValueOutcome::RowFails, "a zero date cannot be stored in a NOT NULL column"};
                out += "NULL";
                return {ValueOutcome::ZeroDateAsNull, "a zero date became NULL"};
            }
            break;
        case ValueRendering::Time:
            if (!IsTimeOfDay(value)) return {ValueOutcome::RowFails, "a time outside 00:00:00..23:59:59 cannot be stored"};
            break;
        case ValueRendering::BitBytes:
            AppendBitBytes(out, value, column.bitBytes);
            return {};
        case ValueRendering::Number:
            // A year may arrive as a date; its number is the year.
            if (value.size() == 10 && value[4] == '-' && Digits(value, 0, 4) >= 0) value = value.substr(0, 4);
            if (column.roundToScale >= 0) {
                AppendRounded(out, value, column.roundToScale);
                return {};
            }
            break;
        default:
            break;
    }
    AppendValueLiteral(out, TypeCodeOf(column.rendering), value, false);
    return {};
}

namespace {

int HexValue(char c) { return IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10; }

// Hexadecimal digits (an even number of them) to the bytes they spell, appended to `out`.
void AppendHexBytes(std::string& out, std::string_view hex) {
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<char>(HexValue(hex[i]) * 16 + HexValue(hex[i + 1])));
    }
}

}  // namespace

bool BulkSendsBytes(const TargetColumn& column) {
    return column.rendering == ValueRendering::Binary || column.rendering == ValueRendering::BitBytes;
}

RenderedValue BulkFullValue(std::string& scratch, const TargetColumn& column, std::string_view value, bool isNull,
                            std::string_view& data, bool& null) {
    null = isNull;
    data = value;
    if (isNull) return {};
    switch (column.rendering) {
        case ValueRendering::Date:
        case ValueRendering::DateTime:
            if (IsZeroDate(value)) {
                if (!column.nullable) return {ValueOutcome::RowFails, "a zero date cannot be stored in a NOT NULL column"};
                null = true;
                return {ValueOutcome::ZeroDateAsNull, "a zero date became NULL"};
            }
            return {};
        case ValueRendering::Time:
            if (!IsTimeOfDay(value)) return {ValueOutcome::RowFails, "a time outside 00:00:00..23:59:59 cannot be stored"};
            return {};
        case ValueRendering::BitBytes: {
            std::string hex;
            AppendBitBytes(hex, value, column.bitBytes);
            scratch.clear();
            AppendHexBytes(scratch, std::string_view(hex).substr(2));
            data = scratch;
            return {};
        }
        case ValueRendering::Binary:
            // Binary arrives as hexadecimal digits; anything else is the bytes themselves.
            if (value.size() % 2 == 0 && IsHexText(value)) {
                scratch.clear();
                AppendHexBytes(scratch, value);
                data = scratch;
            }
            return {};
        case ValueRendering::Boolean:
            scratch.clear();
            AppendValueLiteral(scratch, kTypeBool, value, false);
            data = scratch;
            return {};
        case ValueRendering::Number:
            if (value.size() == 10 && value[4] == '-' && Digits(value, 0, 4) >= 0) data = value.substr(0, 4);
            if (column.roundToScale >= 0) {
                scratch.clear();
                AppendRounded(scratch, data, column.roundToScale);
                data = scratch;
            }
            return {};
        default:
            return {};
    }
}

std::string DefaultLiteral(const TargetColumn& column, const ColumnDefault& value, std::string& literal) {
    using Kind = ColumnDefault::Kind;
    std::string text = value.text;
    ValueRendering rendering = column.rendering;
    if (value.kind == Kind::BitLiteral || value.kind == Kind::HexLiteral) {
        std::string hex = value.kind == Kind::BitLiteral ? BitsToHex(value.text) : value.text;
        if (rendering == ValueRendering::Number || rendering == ValueRendering::Boolean) {
            if (!HexToNumber(hex, text)) return "the value does not fit 64 bits";
        } else if (rendering == ValueRendering::Binary || rendering == ValueRendering::BitBytes) {
            text = hex;
        } else {
            return "a binary literal for a " + column.targetType + " column";
        }
    } else if (rendering == ValueRendering::Binary) {
        text = TextToHex(value.text);  // a string default of a binary column is its bytes
    } else if (rendering == ValueRendering::BitBytes) {
        uint64_t n = 0;  // a number: written in hexadecimal
        for (char c : value.text) {
            if (!IsDigit(c)) return "not a number";
            n = n * 10 + static_cast<uint64_t>(c - '0');
        }
        text.clear();
        for (; n; n >>= 4) text.insert(text.begin(), kHexDigits[n & 0xF]);
        if (text.size() % 2) text.insert(text.begin(), '0');
    }
    RenderedValue rendered = AppendFullValue(literal, column, text, false);
    if (rendered.outcome != ValueOutcome::Written) {
        literal.clear();
        return rendered.outcome == ValueOutcome::ZeroDateAsNull ? "a zero date cannot be stored" : rendered.reason;
    }
    return "";
}

namespace {

bool IsEnumOrSet(std::string_view sourceType) { return sourceType == "enum" || sourceType == "set"; }

bool IsSingleFloat(std::string_view sourceType) {
    return sourceType == "float" || sourceType == "float unsigned" || sourceType == "float4" ||
           sourceType == "float4 unsigned";
}

}  // namespace

std::string SourceSelectList(const FullTableTranslation& translation) {
    std::string list;
    for (const TargetColumn& column : translation.columns) {
        if (!column.written) continue;
        if (!list.empty()) list += ", ";
        std::string name = QuoteSourceName(column.name);
        if (column.spatial) {
            list += "ST_AsText(" + name + ") AS " + name;
        } else if (IsSingleFloat(column.sourceType)) {
            // The server prints a float with six digits ("1.23457" for 1.2345679), which is
            // another float; as a double its every digit arrives and the float reads back exact.
            list += name + " + 0e0 AS " + name;
        } else if (IsEnumOrSet(column.sourceType)) {
            // The labels as text whatever the column's character set: in a table of the binary
            // set the driver would hand them over as bytes.
            list += "CONVERT(" + name + " USING utf8mb4) AS " + name;
        } else {
            list += name;
        }
    }
    return list;
}

namespace {

// The table as statements name it; a translation built by hand may leave targetName empty.
std::string TargetNameOf(const FullTableTranslation& translation) {
    return translation.targetName.empty() ? QuoteTargetName(translation.tableName) : translation.targetName;
}

}  // namespace

std::string InsertPrefix(const FullTableTranslation& translation) {
    std::string prefix = "INSERT INTO " + TargetNameOf(translation) + " (";
    bool first = true;
    for (const TargetColumn& column : translation.columns) {
        if (!column.written) continue;
        if (!first) prefix += ",";
        prefix += QuoteTargetName(column.name);
        first = false;
    }
    return prefix + ") VALUES ";
}

std::string IdentityInsertStatement(const FullTableTranslation& translation, bool on) {
    if (!translation.hasIdentity) return "";
    return "SET IDENTITY_INSERT " + TargetNameOf(translation) + (on ? " ON" : " OFF");
}

}  // namespace velmora
