// TableKeys: the keys, indexes, foreign keys and checks of one target table, read from the
// server's sys views and written as the statements that re-create them. A backup puts the keys
// and indexes after the table's CREATE TABLE (so its rows restore into a table that already
// enforces them) and the foreign keys and checks into a script of their own, run after every
// table's rows: a foreign key must find the rows of the table it references.
//
// Every statement passes the batch safety of the script writer; names are quoted as the rest of
// the backup quotes them. A check whose definition the server cannot print (Babelfish fails on
// some, "unrecognized node type") is left out with one log line naming it.
//
// Threads: the scheduler thread inside a backup task, on the task's own target session.
#pragma once

#include <string>
#include <vector>

namespace velmora {

class OperationLog;
class Session;

struct TableKeyScripts {
    std::string keys;         // primary key, unique constraints and indexes, one statement a line
    std::string constraints;  // foreign keys and checks, one statement a line
    std::vector<std::string> failures;  // what could not be read or written, one text each
};

// Reads them for `table` of `schema` (the default schema when empty). Each statement ends in ";\n".
TableKeyScripts ReadTableKeyScripts(OperationLog& log, Session* session, const std::string& table,
                                    const std::string& schema = "");

// The catalog queries it runs, with the table's name in place.
std::string TableIndexesQuery(const std::string& table, const std::string& schema = "");
std::string TableForeignKeysQuery(const std::string& table, const std::string& schema = "");
std::string TableChecksQuery(const std::string& table, const std::string& schema = "");
// One check's definition, asked alone: the server may fail to print another one.
std::string CheckDefinitionQuery(const std::string& table, const std::string& schema,
                                 const std::string& check);

}  // namespace velmora
