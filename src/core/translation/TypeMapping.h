// TypeMapping: the SQL Server type of one MySQL/MariaDB column, chosen so that every value the
// source column can hold fits the target column unchanged, and how the row copy renders its
// values. Text sizes count UTF-16 code units: a character outside the Basic Multilingual Plane
// takes two, so a column whose character set can hold such characters gets twice its length.
// Pure; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "translation/TableModel.h"

namespace velmora {

// How the row copy writes a value of the column (see FullValueRendering.h).
enum class ValueRendering {
    Number,    // integers, decimals, floating point, year: bare digits
    Boolean,   // bit(1), bool: 1 or 0
    BitBytes,  // bit(n > 1): 0x with the column's full byte width
    Text,      // N'...': text, enum, set, json, spatial WKT, uuid, inet, unknown types
    Binary,    // 0x...
    Date,      // '2024-01-15'; zero dates handled
    DateTime,  // '2024-01-15T10:00:00.5'; zero dates handled
    Time,      // '10:00:00'; values outside a day fail the row
};

struct MappedType {
    std::string targetType;  // "smallint", "nvarchar(510)", "decimal(20,0)", "varbinary(max)"
    ValueRendering rendering = ValueRendering::Text;
    int bitBytes = 0;        // BitBytes: the byte width of the target binary(n)
    int roundToScale = -1;   // a decimal wider than 38 digits: values are rounded to this scale
    bool spatial = false;    // read with ST_AsText, carried as WKT
    bool json = false;
    bool integral = false;   // may carry IDENTITY
    std::vector<std::string> adjustments;  // what the mapping changed in meaning
};

// `tableCharset` is the table's default character set (empty when the definition names none).
MappedType MapColumnType(const ColumnModel& column, std::string_view tableCharset);

// Whether a column of this target type can be part of an index key (no (max) types).
bool IsIndexableTargetType(std::string_view targetType);

// The length of UTF-8 text in UTF-16 code units (invalid bytes count one each).
size_t Utf16Length(std::string_view utf8);

}  // namespace velmora
