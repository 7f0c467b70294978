// KeysetPaging: how the row copy reads a table far larger than memory through a driver that
// holds whole results in client memory. The table is read in pages ordered by its primary key
// (or else a unique key over NOT NULL columns), each page starting after the last key of the one
// before: "select * from t where (<condition>) and (<after last key>) order by <key> limit n".
// The stored condition is kept in every page; rows come in key order.
//
// A key qualifies only when the text of its values reads back exactly in a comparison and its
// order is the server's comparison order: integer, decimal, char/varchar, binary/varbinary,
// date, datetime, time and year columns. Floating point (its text is rounded), enum and set
// (ordered by position, compared as text), bit, timestamp (its text depends on the session time
// zone), text and blob columns do not qualify.
//
// Stateless; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class OperationLog;
class Session;

enum class KeyValueKind { Number, Text, Binary };

struct PagingKey {
    std::string indexName;
    std::vector<std::string> columns;
    std::vector<KeyValueKind> kinds;
};

// One row of "show indexes", as the key choice needs it.
struct IndexDescription {
    std::string keyName;
    std::string columnName;
    bool nonUnique = true;
    bool nullable = true;
};

// One row of "show columns": the column and its MySQL type ("bigint(20) unsigned").
struct ColumnDescription {
    std::string name;
    std::string type;
};

// The kind of a key column's values, or nothing when the type does not qualify.
std::optional<KeyValueKind> KeyKindOfType(std::string_view mysqlType);

// The primary key when it qualifies, else the first qualifying unique index over NOT NULL
// columns, else nothing.
std::optional<PagingKey> ChoosePagingKey(const std::vector<IndexDescription>& indexes,
                                         const std::vector<ColumnDescription>& columns);

// Reads the table's indexes and columns from the source; nothing when the table has no
// qualifying key. `readable` turns false when those queries failed (nothing is logged).
std::optional<PagingKey> FindPagingKey(OperationLog& log, Session* source,
                                       std::string_view table, bool& readable);

// The query of one page. `after` holds the last row's key values (empty for the first page);
// `selectList` what each row reads ("*" for every column as it is).
std::string PageQuery(std::string_view table, std::string_view condition, const PagingKey& key,
                      const std::vector<std::string>& after, long long limit,
                      std::string_view selectList = "*");

// A key value as a MySQL literal of its kind.
std::string KeyValueLiteral(KeyValueKind kind, std::string_view value);

// The row count of the next page, from the rows and bytes of the page just read: pages aim at
// about 4 MB of values, between 1 and 10,000 rows.
long long NextPageRows(long long rows, size_t bytes);

inline constexpr long long kFirstPageRows = 1000;

}  // namespace velmora
