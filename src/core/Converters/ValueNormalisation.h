// ValueNormalisation: how the verification decides that a value read back from SQL Server is the
// value the MySQL source holds. Both sides arrive as text (binary as upper-case hexadecimal); each
// column belongs to a value family chosen from its MySQL type by a table (TypeRules), and each
// family has a rule (FamilyRules) that turns a source value into the value expected on the target,
// turns the target's text into the same form, and says whether the two are equal.
//
// What a SQL Server reached through its ODBC driver returns, and what the rules assume:
// - decimal and numeric as plain digits, sometimes without the leading zero (".50", "-.5") and
//   always with the column's scale ("1.50"): numbers are compared as canonical decimals (no sign
//   on zero, no leading or trailing zeros), so trailing zeros never count.
// - float(53) and real with up to 17 significant digits: floating point values are parsed and
//   compared as binary values; when the driver printed fewer digits (but at least 6 for real
//   and 15 for float(53), the precisions drivers print), the source value is rounded to that
//   many before comparing.
// - datetime2(n), time(n) with n fraction digits, datetime with 3 (its steps are 1/300 s):
//   dates and times are compared to the precision of the target column (its scale, or the
//   digits it printed), so what differs only below that precision counts as equal. The date and
//   time separator may be a blank or a T.
// - nchar(n) padded with blanks (MySQL's char drops trailing blanks when read): char values are
//   compared without trailing blanks.
// - bit as 1 or 0; MySQL's bit(n) arrives as bytes (hexadecimal) and lands in bit, binary or
//   bigint: bit values are compared as unsigned numbers.
// - binary and varbinary as hexadecimal digits: compared byte for byte (zero bytes included).
// - NULL is only equal to NULL; an empty string is a value.
//
// The adjustments the Full translation makes are part of the expected value: a zero date
// ('0000-00-00', '2024-00-15') is expected as NULL, enum and set arrive as their text, unsigned
// integers widened to a larger type or decimal(20,0) are numbers like any other, year is a number,
// spatial values are compared as WKT text (the source reads them with ST_AsText). A translation
// that adds an adjustment adds a row to TypeRules or a family to FamilyRules.
//
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/DataAccess.h"

namespace velmora {

enum class ValueFamily {
    Text,      // varchar, text, enum, set, json, and any type not in the table
    FixedText, // char: trailing blanks do not count
    Integer,
    Decimal,
    Real,      // MySQL float: single precision
    Double,
    Date,
    DateTime,  // datetime, timestamp
    Time,
    Year,
    Bit,
    Binary,
    Spatial,   // read as WKT text
};

// A row of the type table: the first word of the MySQL type ("bigint", "varchar") and its family.
struct TypeRule {
    std::string_view typeWord;
    ValueFamily family;
};
const std::vector<TypeRule>& TypeRules();

// The family of a MySQL column type as "show columns" gives it ("decimal(10,2) unsigned").
ValueFamily FamilyOfMySqlType(std::string_view mysqlType);
const char* FamilyName(ValueFamily family);

// One value in the form the comparison uses.
struct NormalisedValue {
    bool null = false;
    std::string text;            // canonical text (numbers, text, hexadecimal)
    std::optional<int64_t> ticks;  // dates and times: 100 ns units
    int significantDigits = 0;   // floating point: digits the text carried (0: not counted)
};

// What the comparison knows of one column.
struct ComparedColumn {
    std::string name;
    ValueFamily family = ValueFamily::Text;
    uint16_t sourceType = kTypeEmpty;  // TypeCode of the source column (bit as bytes or number)
    uint16_t targetType = kTypeEmpty;
    int targetScale = -1;              // fraction digits of the target's date/time column
};

// A row of the family table.
struct FamilyRule {
    ValueFamily family;
    const char* name;
    // The value expected on the target, from the source's text.
    NormalisedValue (*fromSource)(const ComparedColumn& column, std::string_view value);
    // The target's text in the same form.
    NormalisedValue (*fromTarget)(const ComparedColumn& column, std::string_view value);
};
const std::vector<FamilyRule>& FamilyRules();

NormalisedValue NormaliseSource(const ComparedColumn& column, std::optional<std::string_view> value);
NormalisedValue NormaliseTarget(const ComparedColumn& column, std::optional<std::string_view> value);
// Whether the target holds the expected value (the target's text is needed for date and time
// precision).
// Whether the two texts as read are the same value of a family whose comparison needs no copy
// (text as it is, fixed-length text without its trailing blanks, hexadecimal in any case): a
// large value that matches is compared in place. False says nothing: compare the normalised values.
bool SameTextAsRead(const ComparedColumn& column, std::string_view source, std::string_view target);

bool SameValue(const ComparedColumn& column, const NormalisedValue& expected,
               const NormalisedValue& actual, std::string_view targetText);

// Canonical decimal text: "-0012.3400" -> "-12.34", ".5" -> "0.5", "-0.00" -> "0". Nothing when
// the text is no plain decimal number.
std::optional<std::string> CanonicalDecimal(std::string_view text);
// Sign-aware order of two canonical decimals: <0, 0, >0.
int CompareDecimals(std::string_view left, std::string_view right);
// "YYYY-MM-DD[ hh:mm:ss[.fffffff]]" (blank or T) or "[-]hhh:mm:ss[.f]" in 100 ns units;
// nothing for zero dates and text of another form.
std::optional<int64_t> DateTimeTicks(std::string_view text);
std::optional<int64_t> TimeTicks(std::string_view text);
// Whether a date text is a zero date (year, month or day zero).
bool IsZeroDate(std::string_view text);

}  // namespace velmora
