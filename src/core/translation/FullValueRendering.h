// FullValueRendering: how the row copy of the Full translation writes one source value (the text
// the MariaDB driver delivers, binary as upper-case hexadecimal digits, with a NULL flag) as a
// T-SQL literal for its target column, and the statement texts around the values: the source
// select list, the INSERT prefix with its explicit column list, the IDENTITY_INSERT switches.
// A zero date ('0000-00-00', '2024-00-15') becomes NULL in a nullable column and fails the row in
// a NOT NULL one; a time outside 00:00:00..23:59:59 fails the row. The append path allocates
// nothing beyond the growth of `out`: it runs for every value of every row.
// Pure; any thread.
#pragma once

#include <string>
#include <string_view>

#include "translation/FullTableTranslator.h"

namespace velmora {

enum class ValueOutcome {
    Written,         // the literal was appended
    ZeroDateAsNull,  // a zero date in a nullable column: NULL was appended (count it per column)
    RowFails,        // the value cannot be stored: nothing was appended; the row is not copied
};

struct RenderedValue {
    ValueOutcome outcome = ValueOutcome::Written;
    const char* reason = "";  // RowFails and ZeroDateAsNull: why, for the log and the report
};

RenderedValue AppendFullValue(std::string& out, const TargetColumn& column, std::string_view value, bool isNull);

// The same value for a bulk copy, which sends values instead of literals: the decisions of
// AppendFullValue (zero dates, times beyond a day, a year read as a date, decimals rounded for a
// decimal(38,s)) with the plain value as the result: text as it is, binary and bit(n) columns
// as their bytes (BulkSendsBytes). `data` is the value, or NULL when `null` is set; it points
// into `value` or into `scratch`, which the caller keeps until the value is sent.
RenderedValue BulkFullValue(std::string& scratch, const TargetColumn& column, std::string_view value, bool isNull,
                            std::string_view& data, bool& null);

// Whether the bulk copy sends the column's values as bytes (binary, bit(n)) rather than text.
bool BulkSendsBytes(const TargetColumn& column);

// The literal of a column's DEFAULT value (a string, number, bit or hexadecimal literal of the
// model) written for the target column, in `literal`. Returns "" or why the default cannot stay.
std::string DefaultLiteral(const TargetColumn& column, const ColumnDefault& value, std::string& literal);

// The select list for the source, in the order of the written columns: `a`, ST_AsText(`g`) AS `g`,
// `f` + 0e0 AS `f` (a float as the double it is: all its digits).
std::string SourceSelectList(const FullTableTranslation& translation);

// INSERT INTO [t] ([a],[b]) VALUES  (the written columns; a trailing blank).
std::string InsertPrefix(const FullTableTranslation& translation);

// SET IDENTITY_INSERT [t] ON / OFF; empty when the table has no identity.
std::string IdentityInsertStatement(const FullTableTranslation& translation, bool on);

}  // namespace velmora
