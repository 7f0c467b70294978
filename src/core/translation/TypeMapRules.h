// TypeMapRules: a user's own type choices, read from a type-map file, applied before the built-in
// type map (TypeMapping.h). One rule a line, `#` starts a comment:
//
//   tinyint(1) = bit                      every tinyint(1) column
//   int unsigned = int                    a type with its attributes (unsigned only matches unsigned)
//   json = nvarchar(4000)                 a type without a length matches every length
//   shop.orders.status = varchar(20)      one column (database.table.column, or table.column)
//   collation utf8mb4_bin = Latin1_General_100_BIN2      a source collation
//   collation shop.orders.code = Latin1_General_CS_AS   the collation of one column
//
// Names holding dots or blanks are written in backquotes (`order notes`). A column rule comes
// before a type rule with a length, which comes before one without; among rules of one kind the
// first line wins. The target must be a valid SQL Server type (or collation name); whether the
// type can hold the column's values is for the conversion to check against the data.
// Pure; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "translation/TableModel.h"

namespace velmora {

struct TypeMapRule {
    int line = 0;
    std::string text;  // the rule as written, without its comment
    bool collation = false;
    // A column rule: database (may be empty: any), table and column. Otherwise a type rule.
    std::string database, table, column;
    // A type rule: the MySQL type, lower case, with its length / scale when given.
    std::string baseType;
    std::optional<int64_t> length, scale;
    bool isUnsigned = false;
    std::string sourceCollation;  // a collation rule on a collation: lower case
    std::string target;           // the SQL Server type or collation, as written

    bool IsColumnRule() const { return !column.empty(); }
};

struct TypeMap {
    std::vector<TypeMapRule> rules;
    bool empty() const { return rules.empty(); }
};

struct TypeMapParse {
    TypeMap map;
    int errorLine = 0;   // 0 when the text was read
    std::string error;   // "line 3: ..." with the reason
    bool ok() const { return error.empty(); }
};

// Reads a type-map file's text.
TypeMapParse ParseTypeMap(std::string_view text);

// Why `type` is not a valid SQL Server column type ("" when it is): "int", "decimal(12,2)",
// "nvarchar(max)", "datetime2(3)" are; "varchar(9000)", "decimal(40,0)", "integer(4)" are not.
std::string InvalidTargetType(std::string_view type);

// Why `name` is not a collation this program writes ("" when it is): letters, digits and
// underscores only.
std::string InvalidCollationName(std::string_view name);

// The rule that chooses the type of `column` of `database`.`table`; null when none does.
const TypeMapRule* FindTypeRule(const TypeMap& map, std::string_view database, std::string_view table,
                                const ColumnModel& column);

// The rule that chooses the collation of a column whose source collation is `collation`.
const TypeMapRule* FindCollationRule(const TypeMap& map, std::string_view database, std::string_view table,
                                     std::string_view column, std::string_view collation);

// One override that applies: the column, its source type, what the built-in map would have
// chosen, and the user's choice with the rule's line.
struct AppliedOverride {
    std::string database, table, column;
    std::string sourceType;   // "int unsigned", "tinyint(1)"
    std::string builtinType;  // "bigint"
    std::string targetType;   // "int"
    bool collation = false;   // a collation rule: the types above are collations
    int line = 0;
    std::string rule;

    std::string Describe() const;  // "int unsigned -> int (type map line 3: int unsigned = int)"
};

// The overrides that apply to the columns of `table` of `database`, in column order: the type
// rules, then the collation rules. What the assessment and the report list.
std::vector<AppliedOverride> AppliedOverrides(const TypeMap& map, std::string_view database, const TableModel& table);

// The MySQL type of a column as a rule names it: "int unsigned", "tinyint(1)", "decimal(10,2)".
std::string SourceTypeText(const ColumnModel& column);

}  // namespace velmora
