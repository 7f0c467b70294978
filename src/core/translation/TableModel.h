// TableModel: one MySQL/MariaDB table as its definition declares it (columns, keys, foreign keys,
// checks, table options), read from SHOW CREATE TABLE text by CreateTableParser and turned into
// SQL Server statements by FullTableTranslator. Plain data; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// A column default as the definition prints it.
struct ColumnDefault {
    enum class Kind {
        None,              // no DEFAULT clause
        Null,              // DEFAULT NULL
        Literal,           // a string or number: `text` is the value itself (quotes and escapes removed)
        BitLiteral,        // b'0101': `text` holds the binary digits
        HexLiteral,        // x'0A' or 0x0A: `text` holds the hexadecimal digits
        CurrentTimestamp,  // current_timestamp in any of its printed forms
        Expression,        // anything else: `text` is the expression as printed
    };
    Kind kind = Kind::None;
    std::string text;
    bool quoted = false;  // Literal: the value was written as a string ('0' rather than 0)
};

struct GeneratedColumn {
    std::string expression;  // as printed, without the surrounding parentheses
    bool stored = false;     // STORED / PERSISTENT; VIRTUAL otherwise
};

struct ColumnModel {
    std::string name;
    std::string baseType;  // lower case: "int", "varchar", "enum", "double", ...
    std::optional<int64_t> length;     // char/varchar/binary/bit length, float/double/decimal precision, display width
    std::optional<int64_t> scale;      // decimal, float(m,d), double(m,d)
    std::optional<int64_t> precision;  // fractional seconds of time, datetime, timestamp
    std::vector<std::string> labels;   // enum and set labels, unescaped
    bool isUnsigned = false;
    bool zerofill = false;
    bool nullable = true;
    ColumnDefault defaultValue;
    bool autoIncrement = false;
    std::string onUpdate;  // the ON UPDATE expression; empty when there is none
    std::optional<GeneratedColumn> generated;
    std::string charset;   // lower case; empty when the column uses the table's
    std::string collation; // lower case; empty when the column uses the table's
    std::string comment;
    std::string check;     // a CHECK written on the column line, without its parentheses
    bool invisible = false;
    // A foreign-key column whose referenced column is a bigint unsigned identity: it takes the
    // identity's target type, which a foreign key needs (set by MarkIdentityKeyColumns).
    bool holdsIdentityKeys = false;
};

// One column of a key: its name, a prefix length and the order.
struct KeyPart {
    std::string column;
    std::optional<int64_t> prefixLength;
    bool descending = false;
};

struct IndexModel {
    enum class Kind { Primary, Unique, Plain, Fulltext, Spatial };
    Kind kind = Kind::Plain;
    std::string name;  // empty for the primary key
    std::vector<KeyPart> parts;
};

struct ForeignKeyModel {
    std::string name;
    std::vector<std::string> columns;
    std::string referencedDatabase;  // empty when the reference is not qualified
    std::string referencedTable;
    std::vector<std::string> referencedColumns;
    std::string onDelete;  // upper case as written ("CASCADE", "SET NULL", ...); empty when absent
    std::string onUpdate;
};

struct CheckModel {
    std::string name;        // empty when unnamed
    std::string expression;  // without the surrounding parentheses
};

struct TableOptions {
    std::string engine;
    std::optional<uint64_t> autoIncrement;
    std::string comment;
    std::string charset;    // lower case
    std::string collation;  // lower case
    std::string partitioning;  // the PARTITION BY clause as printed; empty when not partitioned
    bool systemVersioned = false;
};

struct TableModel {
    std::string name;
    std::vector<ColumnModel> columns;
    std::vector<IndexModel> indexes;  // the primary key first when there is one
    std::vector<ForeignKeyModel> foreignKeys;
    std::vector<CheckModel> checks;
    TableOptions options;

    const ColumnModel* FindColumn(const std::string& columnName) const;
};

}  // namespace velmora
