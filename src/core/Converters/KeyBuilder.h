// KeyBuilder: the SQL Server statements that recreate a MySQL table's primary key and its other
// indexes, built from the source's "show indexes" rows. It only builds text; the table driver
// writes it to the table's work file and runs it on the target.
//
// A unique MySQL index becomes CREATE UNIQUE INDEX, a non-unique one a plain CREATE INDEX (the
// Non_unique column decides). Table names stand in double quotes when they are plain names and
// in square brackets otherwise; index and column names are bare when plain, bracketed otherwise.
//
// Results: the statements (each result that holds statements ends with ")\n"), "" when there is
// nothing to create, or the SourceQuery failure texts ("No Connection!", "FALSE", the RESULT
// text, the driver's error text). Runs on the caller's thread with the session it is given.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class OperationLog;
class Session;

// One row of "show indexes": the index, its column, and whether the index allows duplicates.
struct IndexColumnRow {
    std::string keyName;
    std::string columnName;
    bool nonUnique = false;
};

// Both give the statement text ("" without keys), or the reader's failure text; a failed read
// also leaves its reason in `readFailure`, so that the caller runs nothing.
std::string BuildPrimaryKeyStatement(OperationLog& log, Session* source, Session* target,
                                     std::string_view table, std::string* readFailure = nullptr);

std::string BuildUniqueIndexStatements(OperationLog& log, Session* source, Session* target,
                                       std::string_view table,
                                       std::string* readFailure = nullptr);

// The statement texts from rows already read, in the order the server returned them.
std::string PrimaryKeyStatementFromRows(std::string_view table,
                                        const std::vector<IndexColumnRow>& rows);
std::string IndexStatementsFromRows(std::string_view table,
                                    const std::vector<IndexColumnRow>& rows);

// The table name as the key, index and foreign-key statements write it: "name" when plain,
// [name] otherwise.
std::string TargetTableInQuotes(std::string_view table);

// The source queries.
std::string PrimaryKeyQuery(std::string_view table);
std::string IndexQuery(std::string_view table);

}  // namespace velmora
