// FullTableTranslator: the Full translation of one table. The SHOW CREATE TABLE text is read into
// a TableModel and turned into SQL Server statements under which every value the MySQL table can
// hold arrives unchanged: the CREATE TABLE (columns with their mapped types, identity, defaults,
// computed columns, primary key, checks), the unique and plain indexes, the foreign keys (created
// after every table exists), the comments as MS_Description properties, and what the row copy
// needs to know about each column. Everything that changes meaning on the way is an adjustment.
// Names are bracketed where needed (Naming.h); a qualifier naming the source database becomes the
// target database. Pure: text in, statements out; any thread.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "translation/ExpressionTranslator.h"
#include "translation/TableModel.h"
#include "translation/TypeMapRules.h"
#include "translation/TypeMapping.h"

namespace velmora {

// One change of meaning: a log line, and an entry of the table in the report.
struct Adjustment {
    std::string column;  // empty for the table as a whole
    std::string text;
};

// One column of the target table, in the order of the source table.
struct TargetColumn {
    std::string name;        // the source column name (unquoted)
    std::string sourceType;  // the source type as the model has it ("int unsigned", "enum")
    std::string targetType;
    ValueRendering rendering = ValueRendering::Text;
    int bitBytes = 0;        // BitBytes: width of the target binary(n)
    int roundToScale = -1;   // Number: round to this many fraction digits (a decimal wider than 38)
    bool nullable = true;
    bool spatial = false;    // read from the source with ST_AsText
    bool written = true;     // false for computed columns: the row copy never writes them
    bool identity = false;
};

// A column's collation on the target: the source's, what it became and why.
struct ColumnCollation {
    std::string column;
    std::string source;  // the MySQL collation ("utf8mb4_general_ci")
    std::string target;  // the SQL Server collation ("Latin1_General_CI_AI")
    bool written = false;  // a COLLATE clause was written (it differs from the database's default)
};

struct FullTableTranslation {
    std::string tableName;                   // the source table name (unquoted)
    std::string targetName;                  // the table in statements: [schema].[table], or [table] in dbo
    std::string createTable;                 // CREATE TABLE ... (columns, PRIMARY KEY, CHECKs)
    std::vector<std::string> indexes;        // CREATE [UNIQUE] INDEX ...
    std::vector<std::string> indexNames;     // the name of each of `indexes`, in the same order
    std::vector<std::string> foreignKeys;    // ALTER TABLE ... ADD CONSTRAINT ... FOREIGN KEY
    std::vector<ForeignKeyModel> foreignKeyModels;  // the same keys, for ForeignKeyStatement
    std::vector<std::string> comments;       // sp_addextendedproperty calls; may fail harmlessly
    std::vector<TargetColumn> columns;
    std::vector<std::string> checks;         // each CHECK (...) clause of the CREATE TABLE
    std::vector<std::pair<std::string, std::string>> defaults;  // (column, DEFAULT's value) of the CREATE TABLE
    bool hasIdentity = false;
    std::string identityReseed;  // run after the rows are copied: reseeds past the largest value
    std::vector<Adjustment> adjustments;
    std::vector<AppliedOverride> overrides;  // the type map's rules that chose a type or a collation
    std::vector<ColumnCollation> collations; // every text column's collation
    std::string error;  // the text could not be read; nothing else is filled in

    bool ok() const { return error.empty(); }
};

// What the user chose beyond the built-in translation: the type map's rules, and the target
// database's default collation (a text column whose collation maps to it needs no COLLATE
// clause; empty when it is not known, and then only binary and case-sensitive columns get one).
struct TableTranslationChoices {
    const TypeMap* typeMap = nullptr;
    std::string targetCollation;
    // Text columns (table, column) of the source database that take part in a foreign key, on
    // either side, where the target refuses every insert through a foreign key over a column of
    // another collation than the database's (Babelfish): they keep the database's default, an
    // adjustment. Null elsewhere.
    const std::set<std::pair<std::string, std::string>>* foreignKeyTextColumns = nullptr;
};

// SHOW CREATE TABLE texts of the tables that a table's foreign keys reference, by table name.
using ReferencedTables = std::map<std::string, std::string>;

// The one entry point from text. `referenced` holds the definitions of referenced tables that
// the caller read: a foreign-key column takes the type of a bigint unsigned identity it
// references (MarkIdentityKeyColumns).
FullTableTranslation TranslateTableFull(std::string_view showCreateTableText, const ExpressionNames& names,
                                        const ReferencedTables& referenced = {},
                                        const TableTranslationChoices& choices = {});

// Marks the columns of `table` that reference a bigint unsigned AUTO_INCREMENT column of the table
// itself or of a table in `referenced`.
void MarkIdentityKeyColumns(TableModel& table, const ReferencedTables& referenced);

// The tables whose definitions MarkIdentityKeyColumns would look at: those referenced, in the
// same database, by a foreign key over a bigint unsigned column.
std::vector<std::string> TablesReferencedByUnsignedKeys(const TableModel& table);

// The same from a model (the parser's, or one built from the catalog).
FullTableTranslation TranslateTableModel(const TableModel& table, const ExpressionNames& names,
                                         const TableTranslationChoices& choices = {});

// ALTER TABLE [table] ADD CONSTRAINT ... FOREIGN KEY ... REFERENCES ...; with `withoutActions`
// the ON DELETE / ON UPDATE actions are left out (for a target that refuses a cascade because of
// cycles or multiple cascade paths). Empty when the key cannot be created on the target (it
// references another database).
std::string ForeignKeyStatement(std::string_view tableName, const ForeignKeyModel& foreignKey,
                                const ExpressionNames& names, bool withoutActions = false);

}  // namespace velmora
