// ValueLiterals: one column value, as the source delivered it (text, or upper-case hexadecimal
// digits for binary columns, with a NULL flag), written as a T-SQL literal for an INSERT.
//
// Rendering, chosen by the column's TypeCode:
// - NULL is NULL, whatever the type.
// - Text (char, varchar, text, enum, set, GUID, and every type not listed below) is a national
//   literal N'...' with every single quote doubled, so that any Unicode text reaches nvarchar and
//   ntext columns intact. A text with line breaks is written as a concatenation in which every
//   run of line breaks is NCHAR(13)/NCHAR(10), so that the statement stays on one line (a data
//   file holds one statement per line) while the value keeps every character:
//   CONCAT(CONVERT(nvarchar(max),N'first'),NCHAR(10),N'second'). The first part is nvarchar(max)
//   so that SQL Server never cuts the result at 4,000 characters.
// - Binary is 0x followed by every hexadecimal digit (an empty value is 0x). Text that is not
//   hexadecimal is taken as raw bytes and written in hexadecimal.
// - Dates are quoted ('2026-01-10'); times are quoted ('12:30:00'); date-times are quoted in the
//   ISO 8601 form with a T ('2026-01-10T09:00:00.123'), which SQL Server reads the same way for
//   datetime and datetime2 under every language setting. Trailing zeros of a fraction go (they
//   carry no value), so that a millisecond value fits a datetime column.
// - Numbers (integers, decimals, floating point) are written bare when the text is a number;
//   anything else arriving in a numeric column is quoted, so no value can ever leave its literal.
// - Bit and boolean are 1 or 0 ("True"/"False", "1"/"0", or a single raw byte).
//
// Pure functions; any thread. Also used for the backup's data scripts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// Appends the literal of one value to `out` (the fast path of the row copy).
void AppendValueLiteral(std::string& out, uint16_t typeCode, std::string_view value, bool isNull);

// The literal of one value.
std::string ValueLiteral(uint16_t typeCode, std::string_view value, bool isNull);

// A text as a literal on one line: CONCAT of its runs and CHAR(13)/CHAR(10) when it holds line
// breaks (NCHAR and N'...' when `national`), else the plain quoted literal.
std::string LineFreeText(std::string_view text, bool national);

// Whether `text` is a number T-SQL reads as a literal: [+-]digits[.digits][e[+-]digits], with
// digits on at least one side of the point.
bool IsNumericLiteral(std::string_view text);

}  // namespace velmora
