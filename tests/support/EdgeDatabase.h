// The edge database of the live suite (and of the follow tests), built in the local MariaDB: every MySQL type at its
// limits, a table with the binary default character set, an AUTO_INCREMENT counter above the
// largest key, a table without rows, NULL in every column, values over 8 KB, a bigint unsigned
// identity with a foreign key to it, and names with blanks, "]", quotes, reserved words and
// non-ASCII letters.
#pragma once

#include <string>

namespace velmora::test {

// The statements that fill a database (run after USE); `bigRows` rows go into the table `big`.
std::string LiveEdgeDatabaseDdl(int bigRows);

}  // namespace velmora::test
