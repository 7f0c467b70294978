// OdbcRowBlock: the rows of one result fetched into bound column buffers, several rows per
// SQLFetch where that is safe (SQL_ATTR_ROW_ARRAY_SIZE, column-wise binding), instead of one
// SQLGetData call per value.
//
// Each column is bound as text (UTF-8 or UTF-16, see OdbcLink::textAsUtf8), as bytes or as a
// bit, with a buffer as wide as its declared size allows. A column whose declared size is
// unknown or too large for a buffer ("long": text, blob, json) is bound with a prefix buffer;
// a value longer than its buffer is read whole with SQLGetData. That read needs the driver's
// cursor on that very row, so a result with a long column is fetched one row at a time:
// positioning inside a block (SQLSetPos) lost rows with MariaDB Connector/ODBC 3.1.15 (5,264
// of 20,000 rows came back) and FreeTDS has it only for server cursors. A block therefore only
// holds rows whose every value fits; should a driver still deliver a longer value than it
// declared, the fetch fails with a text that says so, rather than cut it.
//
// A long text column read as UTF-16 is not bound at all (Suits says no): MariaDB Connector/ODBC
// 3.1.15 fails the whole fetch ("Ansi to Unicode conversion error") when a bound UTF-16 prefix
// ends inside a character; such results are read value by value.
//
// Memory: at most kBlockBytes of buffers per block (and one long value at a time).
// Threads: used by the thread that uses its statement.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/DataAccess.h"
#include "data/OdbcHandles.h"
#include "data/OdbcTypes.h"

namespace velmora {

class OdbcRowBlock {
public:
    // The widest buffer a column gets by its declared size; wider columns are "long".
    static constexpr size_t kMaxBoundBytes = 16 * 1024;
    // The prefix buffer of a long column.
    static constexpr size_t kLongPrefixBytes = 1024;
    // The buffers of one block together stay under this.
    static constexpr size_t kBlockBytes = 1 << 20;

    // Whether a result of `columns` can be read through bound buffers.
    static bool Suits(const std::vector<ColumnInfo>& columns, bool textAsUtf8);

    // Binds every column of `columns` on `statement`; a block holds at most `blockRows` rows
    // (fewer when the buffers would outgrow kBlockBytes, one when a column is long). False
    // when the driver refuses a binding.
    bool Bind(SQLHSTMT statement, const std::vector<ColumnInfo>& columns, bool textAsUtf8,
              size_t blockRows);

    // The next row: from the block in hand, else the next SQLFetch. SQL_SUCCESS with a row,
    // SQL_NO_DATA at the end, SQL_ERROR on a failure (the statement's diagnostics say why,
    // or failureText() when the failure is this class's own).
    SQLRETURN Next();

    // The current row's values (valid until the next Next).
    bool IsNull(size_t column) const { return nulls_[column] != 0; }
    std::string_view Value(size_t column) const { return views_[column]; }
    const std::string& failureText() const { return failure_; }
    size_t blockRows() const { return blockRows_; }

private:
    struct Binding {
        ReadKind kind = ReadKind::Text;
        SQLSMALLINT cType = SQL_C_CHAR;
        size_t width = 0;        // bytes per row in the buffer
        size_t terminator = 0;   // bytes the driver ends a text value with
        std::vector<char> buffer;
        std::vector<SQLLEN> indicators;
    };

    // Makes the current row's values readable; false on a failure.
    bool HoldRow();
    bool HoldValue(size_t column);
    // Reads a value that did not fit its buffer, whole, into values_[column].
    bool ReadLong(size_t column);

    SQLHSTMT statement_ = nullptr;
    std::vector<Binding> bindings_;
    size_t blockRows_ = 1;
    SQLULEN fetched_ = 0;
    size_t current_ = 0;
    bool started_ = false;
    bool arraySizeSet_ = false;  // SQL_ATTR_ROW_ARRAY_SIZE was set on this statement
    std::vector<SQLUSMALLINT> rowStatus_;
    std::vector<std::string> values_;  // values that are converted or read whole
    std::vector<std::string_view> views_;
    std::vector<char> nulls_;
    std::vector<char> scratch_;
    std::u16string wideScratch_;
    std::vector<unsigned char> byteScratch_;
    std::string failure_;
};

}  // namespace velmora
