// OrderedRows: reads the rows of one table in the order of its key, on either side, with memory
// bounded however large the table is. A session that streams rows gets one ordered query; any
// other session gets keyset pages ("after the last key read, the next n rows"), each page started
// after the last key of the one before, sized as the row copy sizes its pages.
//
// Both sides must deliver the same order, so each key column has an order kind:
// - numbers, binary strings and dates/times sort alike on MySQL and SQL Server;
// - text keys are ordered by code point on both sides (MySQL: convert(k using utf8mb4) collate
//   utf8mb4_bin; SQL Server: k collate Latin1_General_BIN2), since the default collations of the
//   two servers order punctuation, accents and case differently. Both compare with trailing
//   blanks ignored, as CompareKeyValues does.
// Each side pages after its own last key text, so a value is always written back as its own
// server printed it.
//
// Runs on the caller's thread with the session it is given.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Converters/KeysetPaging.h"
#include "data/DataAccess.h"

namespace velmora {

class OperationLog;
class SourceQuery;

enum class SqlDialect { MySql, Tsql };
enum class KeyOrder { Number, Binary, Temporal, Text };

struct OrderedKey {
    std::vector<std::string> columns;
    std::vector<KeyOrder> orders;
};

struct OrderedReadSpec {
    SqlDialect dialect = SqlDialect::MySql;
    std::string table;                     // unquoted name
    std::string schema;                    // T-SQL only: the table's schema; empty: the default
    std::vector<std::string> selectList;   // one expression per compared column
    OrderedKey key;
    std::vector<size_t> keyPositions;      // the key columns' places in selectList
    std::string condition;                 // MySQL only: the stored migration condition
    bool streams = false;                  // one ordered query instead of pages
};

// The values of the row read last: views of the query's own buffers, valid until the reader's next
// Next() (a large value is not copied once more).
using RowValues = std::vector<std::optional<std::string_view>>;

class OrderedRowReader {
public:
    OrderedRowReader(OperationLog& log, Session* session, OrderedReadSpec spec);
    ~OrderedRowReader();

    // The next row into row() (which the call before gave is gone); false at the end of the rows
    // or on a failure (see failed()).
    bool Next();
    const RowValues& row() const { return row_; }
    // The columns of the result (empty before the first query answered).
    const std::vector<ColumnInfo>& columns() const { return columns_; }
    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }
    long long queries() const { return queries_; }

    // The text of one page's query (or of the one query when streaming).
    static std::string QueryText(const OrderedReadSpec& spec, const std::vector<std::string>& after,
                                 long long limit);

private:
    bool StartQuery();
    bool InKeyOrder();

    OperationLog& log_;
    Session* session_;
    OrderedReadSpec spec_;
    std::unique_ptr<SourceQuery> query_;
    std::vector<ColumnInfo> columns_;
    RowValues row_;
    std::vector<std::string> previousKey_;
    std::string error_;
    long long limit_;
    long long pageRows_ = 0;
    size_t pageBytes_ = 0;
    long long queries_ = 0;
    bool ended_ = false;
};

// The columns (name and MySQL type) and the key of a source table.
struct TableShape {
    std::vector<ColumnDescription> columns;
    std::optional<PagingKey> key;  // nothing: no primary key and no unique NOT NULL key
    std::string error;             // why the shape could not be read
};
TableShape ReadTableShape(OperationLog& log, Session* source, std::string_view table);

// The ordered read of `shape` on one side: every column (spatial ones as WKT on MySQL), ordered
// by the key. The shape must have a key.
OrderedReadSpec ReadSpecOf(SqlDialect dialect, std::string_view table, const TableShape& shape,
                           bool streams);

// The order of two key values of one kind: <0, 0, >0. Numbers by value, binary by bytes, text by
// code point with trailing blanks ignored, dates and times by their canonical text.
int CompareKeyValues(KeyOrder order, std::string_view left, std::string_view right);

// The predicate "after these key values" of a page, in the spec's dialect:
// (k1 > v1) or (k1 = v1 and k2 > v2) ...
std::string AfterKeyCondition(const OrderedReadSpec& spec, const std::vector<std::string>& after);

// The rows of a table under `condition` (in the dialect's words, may be empty); nothing, with the driver's reason in `error`,
// when the count cannot be read.
std::optional<int64_t> CountRows(OperationLog& log, Session* session, SqlDialect dialect,
                                 std::string_view table, std::string_view condition,
                                 std::string& error, std::string_view schema = "");

// A name in a query of that dialect: `name` for MySQL, [name] for T-SQL.
std::string QuoteSqlName(SqlDialect dialect, std::string_view name);
// A table in a query of that dialect; on T-SQL in `schema` unless that is the default (empty, dbo).
std::string QuoteSqlTable(SqlDialect dialect, std::string_view table, std::string_view schema);

// The order kind of a key column's MySQL type; nothing when the type cannot order a comparison.
std::optional<KeyOrder> KeyOrderOfType(std::string_view mysqlType);

}  // namespace velmora
