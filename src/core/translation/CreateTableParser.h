// CreateTableParser: reads the text of SHOW CREATE TABLE (as MariaDB and MySQL print it: quoted
// names, one column per line, key and constraint lines, table options, partitioning) into a
// TableModel. Input that is not such a definition gives an error text, never a crash; clauses it
// does not know are skipped and listed, so that the translation can report them.
// Pure; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "translation/TableModel.h"

namespace velmora {

struct ParsedTable {
    TableModel table;
    std::vector<std::string> skipped;  // definition items and clauses that were not understood
    std::string error;                 // empty when the text was read
    bool ok() const { return error.empty(); }
};

ParsedTable ParseCreateTable(std::string_view showCreateTableText);

}  // namespace velmora
