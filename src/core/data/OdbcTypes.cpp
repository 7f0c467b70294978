#include "data/OdbcTypes.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

namespace velmora {

TypeCode TypeCodeForSqlType(int16_t sqlType, bool isUnsigned) {
    switch (sqlType) {
        case SQL_CHAR:
        case SQL_VARCHAR:
        case SQL_LONGVARCHAR: return kTypeStr;
        case SQL_WCHAR:
        case SQL_WVARCHAR:
        case SQL_WLONGVARCHAR: return kTypeWStr;
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY: return kTypeBytes;
        case SQL_TYPE_DATE:
        case SQL_DATE: return kTypeDbDate;
        case SQL_TYPE_TIME:
        case SQL_TIME: return kTypeDbTime;
        case SQL_TYPE_TIMESTAMP:
        case SQL_TIMESTAMP: return kTypeDbTimestamp;
        case SQL_BIT: return kTypeBool;
        case SQL_TINYINT: return isUnsigned ? kTypeUI1 : kTypeI1;
        case SQL_SMALLINT: return kTypeI2;
        case SQL_INTEGER: return kTypeI4;
        case SQL_BIGINT: return kTypeI8;
        case SQL_DECIMAL:
        case SQL_NUMERIC: return kTypeNumeric;
        case SQL_REAL: return kTypeR4;
        case SQL_FLOAT:
        case SQL_DOUBLE: return kTypeR8;
        case SQL_GUID: return kTypeGuid;
        default: return kTypeWStr;
    }
}

ReadKind ReadKindFor(int16_t sqlType) {
    if (sqlType == SQL_BINARY || sqlType == SQL_VARBINARY || sqlType == SQL_LONGVARBINARY) {
        return ReadKind::Binary;
    }
    return sqlType == SQL_BIT ? ReadKind::Bit : ReadKind::Text;
}

}  // namespace velmora
