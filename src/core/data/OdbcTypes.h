// OdbcTypes: which TypeCode an ODBC SQL type stands for, and how a column of that type is read
// (as UTF-16 text, or as bytes that become hexadecimal digits).
//
// Pure functions; any thread.
#pragma once

#include <cstdint>

#include "data/DataAccess.h"

namespace velmora {

// The TypeCode of an ODBC SQL type (SQL_VARCHAR, SQL_TYPE_TIMESTAMP, ...). `isUnsigned` only
// matters for tinyint. Types without a code of their own (intervals, driver-specific types)
// read as text: kTypeWStr.
TypeCode TypeCodeForSqlType(int16_t sqlType, bool isUnsigned);

// How a column's values are fetched:
// - Text: as UTF-16 text, converted to UTF-8;
// - Binary: binary, varbinary and long varbinary as bytes, shown as upper-case hex digits;
// - Bit: as the number 0 or 1 ("0", "1"). MariaDB Connector/ODBC 3.1.15 hands a bit(1) value
//   converted to text as the raw byte 0x01, not as the digit.
enum class ReadKind { Text, Binary, Bit };
ReadKind ReadKindFor(int16_t sqlType);

}  // namespace velmora
