// ForeignKeys: migrates the foreign keys of one database after its tables. For every table of
// the source catalog it reads the table's foreign keys from INFORMATION_SCHEMA, builds one
// "Alter Table ... ADD CONSTRAINT ... FOREIGN KEY (...) REFERENCES ...(...)" statement per
// constraint, appends the text to the table's work file and runs it on the target as one batch.
//
// The key rows are read per constraint in the order of the columns within the constraint
// (ORDINAL_POSITION), so that the columns of two composite keys never interleave; only keys of
// this database's table that reference a table of the same database are migrated.
//
// Runs on the scheduler thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class OperationLog;
class Session;
struct WorkerContext;
struct ConversionReport;

// One key column: the constraint, its column, the referenced table and column.
struct ForeignKeyRow {
    std::string constraintName;
    std::string columnName;
    std::string referencedTable;
    std::string referencedColumn;
};

// Writes its lines; failures (a catalog that cannot be opened, a batch the target refused) are
// also added to `report` when given.
void ConvertForeignKeys(WorkerContext& context, std::string_view database,
                        ConversionReport* report = nullptr);

// The statements for one table, "" when it has no foreign key into the database, or a
// SourceQuery failure text (and then the reason in `readFailure`: nothing must run). With
// `resumed`, only the keys its target does not hold by name.
std::string BuildForeignKeyStatements(OperationLog& log, Session* source, Session* target,
                                      std::string_view database, std::string_view table,
                                      std::string* readFailure = nullptr,
                                      WorkerContext* resumed = nullptr);

std::string ForeignKeyStatementsFromRows(std::string_view table,
                                         const std::vector<ForeignKeyRow>& rows);

std::string ForeignKeyQuery(std::string_view database, std::string_view table);

}  // namespace velmora
