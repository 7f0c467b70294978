#include "follow/BinlogRows.h"

#include <arpa/inet.h>

#include <charconv>
#include <cmath>
#include <cstring>

#include "translation/TableModel.h"

namespace velmora {
namespace {

// Binary log type codes (the server's enum_field_types).
enum : uint8_t {
    kDecimal = 0, kTiny = 1, kShort = 2, kLong = 3, kFloat = 4, kDouble = 5, kNull = 6,
    kTimestamp = 7, kLongLong = 8, kInt24 = 9, kDate = 10, kTime = 11, kDateTime = 12, kYear = 13,
    kNewDate = 14, kVarchar = 15, kBit = 16, kTimestamp2 = 17, kDateTime2 = 18, kTime2 = 19,
    kJson = 245, kNewDecimal = 246, kEnum = 247, kSet = 248, kTinyBlob = 249, kMediumBlob = 250,
    kLongBlob = 251, kBlob = 252, kVarString = 253, kString = 254, kGeometry = 255,
};

int MetadataBytes(uint8_t type) {
    switch (type) {
        case kFloat: case kDouble: case kBlob: case kTinyBlob: case kMediumBlob: case kLongBlob:
        case kGeometry: case kJson: case kTimestamp2: case kDateTime2: case kTime2:
            return 1;
        case kString: case kEnum: case kSet: case kNewDecimal: case kVarchar: case kVarString:
        case kBit: case kDecimal:
            return 2;
        default:
            return 0;
    }
}

uint64_t LittleEndian(const unsigned char* p, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
    return value;
}

uint64_t BigEndian(const unsigned char* p, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value = (value << 8) | p[i];
    return value;
}

void AppendHex(std::string& out, const unsigned char* p, size_t length) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < length; ++i) {
        out.push_back(kDigits[p[i] >> 4]);
        out.push_back(kDigits[p[i] & 15]);
    }
}

void AppendPadded(std::string& out, uint64_t value, int width) {
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), '0');
    out += digits;
}

// The fraction of a temporal value: (fsp + 1) / 2 big-endian bytes, in microseconds.
uint32_t FractionMicroseconds(const unsigned char* p, int fsp) {
    switch ((fsp + 1) / 2) {
        case 1: return static_cast<uint32_t>(p[0]) * 10000;
        case 2: return static_cast<uint32_t>(BigEndian(p, 2)) * 100;
        case 3: return static_cast<uint32_t>(BigEndian(p, 3));
        default: return 0;
    }
}

void AppendFraction(std::string& out, uint32_t microseconds, int fsp) {
    if (fsp <= 0) return;
    std::string digits;
    AppendPadded(digits, microseconds, 6);
    out.push_back('.');
    out += digits.substr(0, static_cast<size_t>(fsp));
}

// A binary decimal (the server's decimal2bin) as text with `scale` fraction digits.
std::string DecimalText(const unsigned char* p, int precision, int scale, size_t& used) {
    static constexpr int kDigitBytes[] = {0, 1, 1, 2, 2, 3, 3, 4, 4, 4};
    const int intg = precision - scale;
    const int intg0 = intg / 9, intgx = intg % 9, frac0 = scale / 9, fracx = scale % 9;
    used = static_cast<size_t>(intg0 * 4 + kDigitBytes[intgx] + frac0 * 4 + kDigitBytes[fracx]);
    std::string bytes(reinterpret_cast<const char*>(p), used);
    const bool negative = (static_cast<unsigned char>(bytes[0]) & 0x80) == 0;
    bytes[0] = static_cast<char>(bytes[0] ^ 0x80);
    if (negative) for (char& c : bytes) c = static_cast<char>(~c);
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    std::string whole, fraction;
    size_t at = 0;
    auto group = [&](int digits, int width, std::string& into) {
        const uint64_t value = BigEndian(b + at, width);
        at += static_cast<size_t>(width);
        AppendPadded(into, value, digits);
    };
    if (intgx) group(intgx, kDigitBytes[intgx], whole);
    for (int i = 0; i < intg0; ++i) group(9, 4, whole);
    for (int i = 0; i < frac0; ++i) group(9, 4, fraction);
    if (fracx) group(fracx, kDigitBytes[fracx], fraction);
    const size_t first = whole.find_first_not_of('0');
    whole = first == std::string::npos ? "0" : whole.substr(first);
    std::string text = negative ? "-" : "";
    text += whole;
    if (scale > 0) text += "." + fraction;
    return text;
}

std::string DateText(uint32_t year, uint32_t month, uint32_t day) {
    std::string text;
    AppendPadded(text, year, 4);
    text.push_back('-');
    AppendPadded(text, month, 2);
    text.push_back('-');
    AppendPadded(text, day, 2);
    return text;
}

void AppendClock(std::string& out, uint64_t hour, uint64_t minute, uint64_t second) {
    AppendPadded(out, hour, 2);
    out.push_back(':');
    AppendPadded(out, minute, 2);
    out.push_back(':');
    AppendPadded(out, second, 2);
}

// TIME2: the packed value of the server's my_time_packed_from_binary.
std::string Time2Text(const unsigned char* p, int fsp, size_t& used) {
    used = 3 + static_cast<size_t>((fsp + 1) / 2);
    int64_t packed = 0;
    switch ((fsp + 1) / 2) {
        case 0:
            packed = (static_cast<int64_t>(BigEndian(p, 3)) - 0x800000) << 24;
            break;
        case 1: {
            int64_t whole = static_cast<int64_t>(BigEndian(p, 3)) - 0x800000;
            int64_t frac = static_cast<int8_t>(p[3]);
            if (whole < 0 && frac) { ++whole; frac -= 0x100; }
            packed = (whole << 24) + frac * 10000;
            break;
        }
        case 2: {
            int64_t whole = static_cast<int64_t>(BigEndian(p, 3)) - 0x800000;
            int64_t frac = static_cast<int64_t>(BigEndian(p + 3, 2));
            if (whole < 0 && frac) { ++whole; frac -= 0x10000; }
            packed = (whole << 24) + frac * 100;
            break;
        }
        default:
            packed = static_cast<int64_t>(BigEndian(p, 6)) - 0x800000000000LL;
            break;
    }
    std::string text;
    if (packed < 0) { text.push_back('-'); packed = -packed; }
    const uint64_t hms = static_cast<uint64_t>(packed) >> 24;
    const auto micro = static_cast<uint32_t>(static_cast<uint64_t>(packed) % (1 << 24));
    AppendClock(text, (hms >> 12) % (1 << 10), (hms >> 6) % 64, hms % 64);
    AppendFraction(text, micro, fsp);
    return text;
}

std::string DateTime2Text(const unsigned char* p, int fsp, size_t& used) {
    used = 5 + static_cast<size_t>((fsp + 1) / 2);
    const uint64_t whole = BigEndian(p, 5) - 0x8000000000ULL;
    const uint64_t ymd = whole >> 17, hms = whole % (1 << 17);
    const uint64_t ym = ymd >> 5;
    std::string text = DateText(static_cast<uint32_t>(ym / 13), static_cast<uint32_t>(ym % 13),
                                static_cast<uint32_t>(ymd % 32));
    text.push_back(' ');
    AppendClock(text, hms >> 12, (hms >> 6) % 64, hms % 64);
    AppendFraction(text, FractionMicroseconds(p + 5, fsp), fsp);
    return text;
}

// A UUID, INET6 or INET4 value's bytes (in the order the server prints them) as the server prints
// the value: 8-4-4-4-12 lowercase hexadecimal digits, an IPv6 address in its short form (an
// IPv4-mapped one with a dotted quad), a dotted quad. The log leaves out trailing zero bytes, as
// for any fixed-length binary string. False for other columns.
bool PrintedAsTheServerPrints(BinlogColumnShape::Printed printed, const unsigned char* logged, size_t length,
                              std::string& text) {
    using Printed = BinlogColumnShape::Printed;
    if (printed == Printed::Bytes) return false;
    const size_t size = printed == Printed::Inet4 ? 4 : 16;
    if (length > size) return false;
    unsigned char p[16] = {};
    std::memcpy(p, logged, length);
    if (printed == Printed::Uuid) {
        static const char* const kDigits = "0123456789abcdef";
        text.clear();
        for (size_t i = 0; i < 16; ++i) {
            if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
            text += kDigits[p[i] >> 4];
            text += kDigits[p[i] & 15];
        }
        return true;
    }
    char address[INET6_ADDRSTRLEN];
    if (!inet_ntop(printed == Printed::Inet6 ? AF_INET6 : AF_INET, p, address, sizeof address)) return false;
    text = address;
    return true;
}

std::string SetText(uint64_t bits, const std::vector<std::string>& labels) {
    std::string text;
    for (size_t i = 0; i < labels.size() && i < 64; ++i) {
        if (!(bits & (1ULL << i))) continue;
        if (!text.empty()) text.push_back(',');
        text += labels[i];
    }
    return text;
}

// Reads one value; false when the data ends early or the type is not known.
class ValueReader {
public:
    ValueReader(std::string_view data) : p_(reinterpret_cast<const unsigned char*>(data.data())),
                                          end_(p_ + data.size()) {}
    bool AtEnd() const { return p_ >= end_; }
    const unsigned char* Take(size_t bytes) {
        if (static_cast<size_t>(end_ - p_) < bytes) return nullptr;
        const unsigned char* at = p_;
        p_ += bytes;
        return at;
    }
    bool Read(uint8_t type, uint16_t meta, const BinlogColumnShape& shape, BinlogValue& value);

private:
    bool Integer(int bytes, const BinlogColumnShape& shape, BinlogValue& value) {
        const unsigned char* p = Take(static_cast<size_t>(bytes));
        if (!p) return false;
        const uint64_t raw = LittleEndian(p, bytes);
        if (shape.isUnsigned) {
            value.text = std::to_string(raw);
        } else {
            const int shift = 64 - bytes * 8;
            value.text = std::to_string(static_cast<int64_t>(raw << shift) >> shift);
        }
        return true;
    }
    bool Text(size_t lengthBytes, const BinlogColumnShape& shape, BinlogValue& value) {
        const unsigned char* head = Take(lengthBytes);
        if (!head) return false;
        const auto length = static_cast<size_t>(LittleEndian(head, static_cast<int>(lengthBytes)));
        const unsigned char* p = Take(length);
        if (!p) return false;
        if (PrintedAsTheServerPrints(shape.printed, p, length, value.text)) return true;
        if (shape.binary) {
            AppendHex(value.text, p, length);
        } else {
            value.text.assign(reinterpret_cast<const char*>(p), length);
            if (shape.spatial) value.need = ServerNeed::Spatial;
            else if (!shape.utf8) value.need = ServerNeed::Charset;
        }
        return true;
    }

    const unsigned char* p_;
    const unsigned char* end_;
};

bool ValueReader::Read(uint8_t type, uint16_t meta, const BinlogColumnShape& shape, BinlogValue& value) {
    switch (type) {
        case kTiny: return Integer(1, shape, value);
        case kShort: return Integer(2, shape, value);
        case kInt24: return Integer(3, shape, value);
        case kLong: return Integer(4, shape, value);
        case kLongLong: return Integer(8, shape, value);
        case kFloat: {
            const unsigned char* p = Take(4);
            if (!p) return false;
            float f;
            std::memcpy(&f, p, 4);
            value.text = ServerDoubleText(static_cast<double>(f));
            return true;
        }
        case kDouble: {
            const unsigned char* p = Take(8);
            if (!p) return false;
            double d;
            std::memcpy(&d, p, 8);
            value.text = ServerDoubleText(d);
            return true;
        }
        case kNewDecimal: {
            const int precision = meta >> 8, scale = meta & 0xFF;
            if (precision <= 0 || scale > precision) return false;
            size_t used = 0;
            static constexpr int kDigitBytes[] = {0, 1, 1, 2, 2, 3, 3, 4, 4, 4};
            const size_t need = static_cast<size_t>(((precision - scale) / 9) * 4 + kDigitBytes[(precision - scale) % 9] +
                                                    (scale / 9) * 4 + kDigitBytes[scale % 9]);
            const unsigned char* p = Take(need);
            if (!p) return false;
            value.text = DecimalText(p, precision, scale, used);
            return true;
        }
        case kYear: {
            const unsigned char* p = Take(1);
            if (!p) return false;
            value.text.clear();
            AppendPadded(value.text, p[0] ? p[0] + 1900u : 0u, 4);
            return true;
        }
        case kDate: case kNewDate: {
            const unsigned char* p = Take(3);
            if (!p) return false;
            const auto v = static_cast<uint32_t>(LittleEndian(p, 3));
            value.text = DateText(v >> 9, (v >> 5) & 15, v & 31);
            return true;
        }
        case kTime2: {
            size_t used = 3 + static_cast<size_t>((meta + 1) / 2);
            const unsigned char* p = Take(used);
            if (!p) return false;
            value.text = Time2Text(p, meta, used);
            return true;
        }
        case kDateTime2: {
            size_t used = 5 + static_cast<size_t>((meta + 1) / 2);
            const unsigned char* p = Take(used);
            if (!p) return false;
            value.text = DateTime2Text(p, meta, used);
            return true;
        }
        case kTimestamp2: {
            const unsigned char* p = Take(4 + static_cast<size_t>((meta + 1) / 2));
            if (!p) return false;
            // Seconds since the epoch and the fraction: the server prints it in its time zone.
            value.text = std::to_string(BigEndian(p, 4));
            value.text.push_back('.');
            AppendPadded(value.text, FractionMicroseconds(p + 4, meta), 6);
            value.need = ServerNeed::Timestamp;
            return true;
        }
        case kTimestamp: {
            const unsigned char* p = Take(4);
            if (!p) return false;
            value.text = std::to_string(LittleEndian(p, 4)) + ".000000";
            value.need = ServerNeed::Timestamp;
            return true;
        }
        case kDateTime: {
            const unsigned char* p = Take(8);
            if (!p) return false;
            const uint64_t v = LittleEndian(p, 8);
            const uint64_t date = v / 1000000, clock = v % 1000000;
            value.text = DateText(static_cast<uint32_t>(date / 10000),
                                  static_cast<uint32_t>(date / 100 % 100), static_cast<uint32_t>(date % 100));
            value.text.push_back(' ');
            AppendClock(value.text, clock / 10000, clock / 100 % 100, clock % 100);
            return true;
        }
        case kTime: {
            const unsigned char* p = Take(3);
            if (!p) return false;
            const uint64_t v = LittleEndian(p, 3);
            value.text.clear();
            AppendClock(value.text, v / 10000, v / 100 % 100, v % 100);
            return true;
        }
        case kBit: {
            const size_t bytes = static_cast<size_t>(meta >> 8) + ((meta & 0xFF) ? 1 : 0);
            const unsigned char* p = Take(bytes);
            if (!p) return false;
            if (shape.bitDigit) value.text = (bytes && p[bytes - 1] & 1) ? "1" : "0";
            else AppendHex(value.text, p, bytes);
            return true;
        }
        case kEnum: case kSet: {
            const int bytes = meta & 0xFF;
            const unsigned char* p = Take(static_cast<size_t>(bytes));
            if (!p) return false;
            const uint64_t raw = LittleEndian(p, bytes);
            if (type == kSet) value.text = SetText(raw, shape.labels);
            else value.text = raw >= 1 && raw <= shape.labels.size() ? shape.labels[raw - 1] : "";
            return true;
        }
        case kVarchar: case kVarString:
            return Text(meta < 256 ? 1 : 2, shape, value);
        case kString: {
            // The real type and the length share the word (the server's Field_string::do_save_field_metadata).
            const uint8_t high = static_cast<uint8_t>(meta >> 8), low = static_cast<uint8_t>(meta & 0xFF);
            if ((high & 0x30) != 0x30) {
                const unsigned length = low | (((high & 0x30) ^ 0x30) << 4);
                return Text(length < 256 ? 1 : 2, shape, value);
            }
            if (high == kEnum || high == kSet) return Read(high, low, shape, value);
            return Text(1, shape, value);
        }
        case kBlob: case kTinyBlob: case kMediumBlob: case kLongBlob: case kGeometry: case kJson:
            if (meta < 1 || meta > 4) return false;
            return Text(meta, shape, value);
        default:
            return false;
    }
}

size_t CountBits(std::string_view bitmap, size_t columns) {
    size_t count = 0;
    for (size_t i = 0; i < columns; ++i) {
        if (static_cast<unsigned char>(bitmap[i / 8]) >> (i % 8) & 1) ++count;
    }
    return count;
}

bool IsUtf8Charset(const std::string& charset) {
    return charset.empty() || charset.rfind("utf8", 0) == 0 || charset == "ascii";
}

}  // namespace

BinlogColumnShape ShapeOfColumn(const ColumnModel& column, std::string_view tableCharset) {
    BinlogColumnShape shape;
    shape.name = column.name;
    shape.isUnsigned = column.isUnsigned;
    const std::string& type = column.baseType;
    const std::string charset = column.charset.empty() ? std::string(tableCharset) : column.charset;
    const bool textType = type == "char" || type == "varchar" || type.find("text") != std::string::npos;
    shape.binary = type == "binary" || type == "varbinary" || type.find("blob") != std::string::npos ||
                   (textType && charset == "binary");
    shape.utf8 = !textType || IsUtf8Charset(charset);
    if (!shape.utf8) shape.charset = charset;
    static const char* const kSpatial[] = {"geometry", "point", "linestring", "polygon", "multipoint",
                                           "multilinestring", "multipolygon", "geometrycollection"};
    for (const char* name : kSpatial) shape.spatial = shape.spatial || type == name;
    shape.bitDigit = type == "bit" && column.length.value_or(1) == 1;
    shape.labels = column.labels;
    shape.isSet = type == "set";
    shape.fraction = static_cast<int>(column.precision.value_or(0));
    if (type == "uuid") shape.printed = BinlogColumnShape::Printed::Uuid;
    if (type == "inet6") shape.printed = BinlogColumnShape::Printed::Inet6;
    if (type == "inet4") shape.printed = BinlogColumnShape::Printed::Inet4;
    return shape;
}

bool DecodeTableMapMetadata(const std::vector<uint8_t>& types, std::string_view block,
                            std::vector<uint16_t>& metadata) {
    metadata.assign(types.size(), 0);
    size_t at = 0;
    for (size_t i = 0; i < types.size(); ++i) {
        const int bytes = MetadataBytes(types[i]);
        if (at + static_cast<size_t>(bytes) > block.size()) return false;
        const auto* p = reinterpret_cast<const unsigned char*>(block.data() + at);
        if (bytes == 1) metadata[i] = p[0];
        // Two bytes: little-endian for varchar and bit, (real type or precision, then length or
        // scale) for the rest.
        if (bytes == 2) {
            const bool littleEndian = types[i] == kVarchar || types[i] == kVarString || types[i] == kBit;
            metadata[i] = littleEndian ? static_cast<uint16_t>(p[0] | p[1] << 8)
                                       : static_cast<uint16_t>(p[0] << 8 | p[1]);
            if (types[i] == kBit) metadata[i] = static_cast<uint16_t>(p[1] << 8 | p[0]);
        }
        at += static_cast<size_t>(bytes);
    }
    return true;
}

bool DecodeRowImages(const BinlogTableMap& map, const std::vector<BinlogColumnShape>& shapes,
                     std::string_view columns, std::string_view afterColumns, bool update,
                     std::string_view data, std::vector<BinlogRowImage>& images, std::string& error) {
    const size_t count = map.types.size();
    const size_t bitmapBytes = (count + 7) / 8;
    if (shapes.size() != count || columns.size() < bitmapBytes ||
        (update && afterColumns.size() < bitmapBytes)) {
        error = "the row event of " + map.table + " does not fit its definition (" +
                std::to_string(count) + " columns in the log, " + std::to_string(shapes.size()) +
                " in the table)";
        return false;
    }
    ValueReader reader(data);
    bool after = false;
    while (!reader.AtEnd()) {
        const std::string_view present = update && after ? afterColumns : columns;
        const size_t nullBytes = (CountBits(present, count) + 7) / 8;
        const unsigned char* nulls = reader.Take(nullBytes);
        if (!nulls) break;
        BinlogRowImage image(count);
        size_t presentIndex = 0;
        for (size_t i = 0; i < count; ++i) {
            BinlogValue& value = image[i];
            if (!(static_cast<unsigned char>(present[i / 8]) >> (i % 8) & 1)) {
                value.present = false;
                continue;
            }
            const size_t bit = presentIndex++;
            if (nulls[bit / 8] >> (bit % 8) & 1) {
                value.null = true;
                continue;
            }
            if (!reader.Read(map.types[i], map.metadata[i], shapes[i], value)) {
                error = "the value of " + map.table + "." + shapes[i].name +
                        " could not be read from the log (type " + std::to_string(map.types[i]) + ")";
                return false;
            }
        }
        images.push_back(std::move(image));
        after = !after;
    }
    if (update && after) {
        error = "an update of " + map.table + " has no after image";
        return false;
    }
    return true;
}

std::string ServerDoubleText(double value) {
    if (value == 0) return std::signbit(value) ? "-0" : "0";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
    std::string out;
    if (text[0] == '-') {
        out.push_back('-');
        text.remove_prefix(1);
    }
    const size_t e = text.find('e');
    std::string digits(text.substr(0, e));
    if (digits.size() > 1) digits.erase(1, 1);  // the point
    int exponent = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(), exponent);
    const int len = static_cast<int>(digits.size());
    const int point = exponent + 1;  // digits before the decimal point
    // The server's choice (my_gcvt): plain form unless the point lies too far out.
    const bool plain = point >= -14 && (point <= 15 || len > point);
    if (plain) {
        if (point <= 0) {
            out += "0.";
            out.append(static_cast<size_t>(-point), '0');
            out += digits;
        } else if (point >= len) {
            out += digits;
            out.append(static_cast<size_t>(point - len), '0');
        } else {
            out += digits.substr(0, static_cast<size_t>(point));
            out.push_back('.');
            out += digits.substr(static_cast<size_t>(point));
        }
        return out;
    }
    out.push_back(digits[0]);
    if (len > 1) {
        out.push_back('.');
        out += digits.substr(1);
    }
    out.push_back('e');
    out += std::to_string(exponent);
    return out;
}

}  // namespace velmora
