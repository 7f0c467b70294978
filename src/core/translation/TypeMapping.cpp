#include "translation/TypeMapping.h"

#include <algorithm>


namespace velmora {
namespace {

constexpr int64_t kMaxNvarchar = 4000;
constexpr int64_t kMaxVarbinary = 8000;
constexpr int64_t kMaxDecimalPrecision = 38;

bool OneOf(const std::string& value, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (value == name) return true;
    }
    return false;
}

// Whether text in this character set can hold characters outside the Basic Multilingual Plane.
// An unknown set counts as able to, so that nothing can be cut.
bool HoldsSupplementaryCharacters(std::string charset) {
    if (charset.empty()) return true;
    return OneOf(charset, {"utf8mb4", "utf16", "utf16le", "utf32", "gb18030"});
}

std::string CharsetOf(const ColumnModel& column, std::string_view tableCharset) {
    if (!column.charset.empty()) return column.charset;
    if (!column.collation.empty() && column.collation != "binary") {
        return column.collation.substr(0, column.collation.find('_'));
    }
    return std::string(tableCharset);
}

std::string Sized(const char* type, int64_t units) {
    if (units > kMaxNvarchar) return "nvarchar(max)";
    return std::string(type) + "(" + std::to_string(std::max<int64_t>(units, 1)) + ")";
}

MappedType Integer(const ColumnModel& c) {
    MappedType m;
    m.rendering = ValueRendering::Number;
    m.integral = true;
    const std::string& t = c.baseType;
    bool u = c.isUnsigned;
    if (OneOf(t, {"tinyint", "int1"})) m.targetType = u ? "tinyint" : "smallint";
    else if (OneOf(t, {"smallint", "int2"})) m.targetType = u ? "int" : "smallint";
    else if (OneOf(t, {"mediumint", "middleint", "int3"})) m.targetType = "int";
    else if (OneOf(t, {"int", "integer", "int4"})) m.targetType = u ? "bigint" : "int";
    else if (u && c.autoIncrement) {
        // decimal(20,0) holds every value, but some SQL Server-compatible servers refuse an
        // identity of more than 18 digits; bigint is an identity on every one of them.
        m.targetType = "bigint";
        m.adjustments.push_back("bigint unsigned AUTO_INCREMENT becomes bigint IDENTITY (an identity takes at "
                                "most 18 digits on some targets): keys above 9223372036854775807 fail");
    } else if (u && c.holdsIdentityKeys) {
        m.targetType = "bigint";
        m.adjustments.push_back("bigint unsigned becomes bigint, the type of the identity key it references: "
                                "values above 9223372036854775807 fail");
    } else {
        m.targetType = u ? "decimal(20,0)" : "bigint";
    }
    return m;
}

MappedType Decimal(const ColumnModel& c) {
    MappedType m;
    m.rendering = ValueRendering::Number;
    int64_t p = c.length.value_or(10), s = c.scale.value_or(0);
    if (p > kMaxDecimalPrecision) {
        // Keep every integer digit; the fraction gives way.
        int64_t integerDigits = p - s;
        int64_t scale = std::max<int64_t>(0, kMaxDecimalPrecision - integerDigits);
        m.adjustments.push_back("decimal(" + std::to_string(p) + "," + std::to_string(s) +
                                ") is wider than SQL Server's 38 digits: decimal(38," +
                                std::to_string(scale) + ")" +
                                (integerDigits > kMaxDecimalPrecision ? ", values beyond 38 digits fail" : ", fractions are rounded"));
        p = kMaxDecimalPrecision;
        s = scale;
        m.roundToScale = static_cast<int>(scale);
    }
    m.integral = s == 0;
    m.targetType = "decimal(" + std::to_string(p) + "," + std::to_string(s) + ")";
    return m;
}

MappedType Text(const ColumnModel& c, std::string_view tableCharset) {
    MappedType m;
    const std::string& t = c.baseType;
    int64_t perCharacter = HoldsSupplementaryCharacters(CharsetOf(c, tableCharset)) ? 2 : 1;
    if (OneOf(t, {"char", "nchar"})) {
        // MySQL returns CHAR values without their trailing blanks; nchar would pad them back (with
        // n more where a character may take two units). Comparisons ignore trailing blanks in both.
        int64_t units = c.length.value_or(1) * perCharacter;
        m.targetType = units == 0 ? "nvarchar(1)" : units > kMaxNvarchar ? "nvarchar(max)" : Sized("nvarchar", units);
        m.adjustments.push_back("char(" + std::to_string(c.length.value_or(1)) + ") becomes " + m.targetType +
                                ": values read back without trailing blanks, as MySQL returns them");
    } else if (OneOf(t, {"varchar", "nvarchar", "varchar2", "varcharacter"})) {
        m.targetType = Sized("nvarchar", c.length.value_or(kMaxNvarchar + 1) * perCharacter);
    } else if (t == "tinytext") {
        m.targetType = "nvarchar(255)";  // 255 bytes never take more than 255 UTF-16 units
    } else {
        m.targetType = "nvarchar(max)";
        m.json = t == "json";
    }
    return m;
}

MappedType Binary(const ColumnModel& c) {
    MappedType m;
    m.rendering = ValueRendering::Binary;
    const std::string& t = c.baseType;
    int64_t n = c.length.value_or(1);
    if (t == "binary") m.targetType = n == 0 ? "varbinary(1)" : "binary(" + std::to_string(n) + ")";
    else if (t == "varbinary") m.targetType = n > kMaxVarbinary ? "varbinary(max)" : "varbinary(" + std::to_string(std::max<int64_t>(n, 1)) + ")";
    else if (t == "tinyblob") m.targetType = "varbinary(255)";
    else m.targetType = "varbinary(max)";
    return m;
}

MappedType Temporal(const ColumnModel& c) {
    MappedType m;
    const std::string& t = c.baseType;
    std::string fraction = "(" + std::to_string(std::clamp<int64_t>(c.precision.value_or(0), 0, 7)) + ")";
    if (t == "date") {
        m.targetType = "date";
        m.rendering = ValueRendering::Date;
    } else if (t == "time") {
        m.targetType = "time" + fraction;
        m.rendering = ValueRendering::Time;
    } else if (t == "year") {
        m.targetType = "smallint";
        m.rendering = ValueRendering::Number;
    } else {
        m.targetType = "datetime2" + fraction;
        m.rendering = ValueRendering::DateTime;
    }
    return m;
}

MappedType EnumOrSet(const ColumnModel& c) {
    MappedType m;
    size_t units = 0;
    for (const std::string& label : c.labels) {
        size_t length = Utf16Length(label);
        units = c.baseType == "enum" ? std::max(units, length) : units + length;
    }
    if (c.baseType == "set" && !c.labels.empty()) units += c.labels.size() - 1;
    m.targetType = Sized("nvarchar", static_cast<int64_t>(units));
    return m;
}

MappedType Floating(const ColumnModel& c) {
    MappedType m;
    m.rendering = ValueRendering::Number;
    bool single = OneOf(c.baseType, {"float", "float4"}) && !(c.length && !c.scale && *c.length > 24);
    m.targetType = single ? "real" : "float(53)";
    return m;
}

MappedType Bit(const ColumnModel& c) {
    MappedType m;
    int64_t n = c.baseType == "bit" ? c.length.value_or(1) : 1;
    if (n <= 1) {
        m.targetType = "bit";
        m.rendering = ValueRendering::Boolean;
        return m;
    }
    m.bitBytes = static_cast<int>((n + 7) / 8);
    m.targetType = "binary(" + std::to_string(m.bitBytes) + ")";
    m.rendering = ValueRendering::BitBytes;
    return m;
}

}  // namespace

size_t Utf16Length(std::string_view utf8) {
    size_t units = 0;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
        units += length == 4 ? 2 : 1;
        i += std::min(length, utf8.size() - i);
    }
    return units;
}

bool IsIndexableTargetType(std::string_view targetType) {
    return targetType.find("(max)") == std::string_view::npos;
}

MappedType MapColumnType(const ColumnModel& c, std::string_view tableCharset) {
    const std::string& t = c.baseType;
    if (OneOf(t, {"tinyint", "smallint", "mediumint", "middleint", "int", "integer", "bigint", "int1",
                  "int2", "int3", "int4", "int8"})) {
        return Integer(c);
    }
    if (OneOf(t, {"decimal", "numeric", "dec", "fixed"})) return Decimal(c);
    if (OneOf(t, {"float", "double", "real", "float4", "float8"})) return Floating(c);
    if (OneOf(t, {"bit", "bool", "boolean"})) return Bit(c);
    if (OneOf(t, {"char", "nchar", "varchar", "nvarchar", "varchar2", "varcharacter", "tinytext",
                  "text", "mediumtext", "longtext", "long", "json", "clob"})) {
        return Text(c, tableCharset);
    }
    if (OneOf(t, {"binary", "varbinary", "tinyblob", "blob", "mediumblob", "longblob", "raw"})) {
        return Binary(c);
    }
    if (OneOf(t, {"date", "time", "datetime", "timestamp", "year"})) return Temporal(c);
    if (OneOf(t, {"enum", "set"})) return EnumOrSet(c);
    MappedType m;
    if (OneOf(t, {"geometry", "point", "linestring", "polygon", "multipoint", "multilinestring",
                  "multipolygon", "geometrycollection", "geomcollection"})) {
        m.targetType = "nvarchar(max)";
        m.spatial = true;
        m.adjustments.push_back(t + " values are carried as WKT text in nvarchar(max)");
    } else if (t == "uuid") {
        m.targetType = "uniqueidentifier";
    } else if (OneOf(t, {"inet4", "inet6"})) {
        m.targetType = "nvarchar(45)";
    } else {
        m.targetType = "nvarchar(max)";
        m.adjustments.push_back("type " + t + " has no SQL Server counterpart: values are carried as text");
    }
    return m;
}

}  // namespace velmora
