// Collations: the SQL Server collation that compares text as a MySQL/MariaDB collation does, as
// far as case, accents and binary order go. The names are those that SQL Server and the SQL
// Server-compatible servers all accept: Latin1_General_CI_AI, Latin1_General_CI_AS,
// Latin1_General_CS_AS and Latin1_General_100_BIN2 (code point order for nvarchar).
// Pure; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "translation/TableModel.h"

namespace velmora {

// - `_bin` (utf8mb4_bin, utf8mb4_0900_bin, latin1_bin, binary): Latin1_General_100_BIN2;
// - MySQL 8's `_ai_ci`, `_as_ci`, `_as_cs` follow their letters;
// - `_cs`: CS_AS;
// - `_ci` ignores accents on the source (general_ci, unicode_ci, unicode_520_ci, latin1_swedish_ci,
//   latin1_german1_ci...): CI_AI, except latin1_general_ci, which tells 'e' from 'é': CI_AS.
// Empty for an empty or unknown name (the column takes the target's default).
std::string TargetCollation(std::string_view mysqlCollation);

// A NO PAD collation (MySQL 8's `_0900_` ones, MariaDB's `_nopad_`): trailing blanks count in its
// comparisons, where every SQL Server collation ignores them ('a' = 'a ').
bool IsNoPadCollation(std::string_view mysqlCollation);

// The collation that decides how a column compares: its own, else the table's (lower case).
// Empty for columns that hold no text.
std::string SourceCollationOf(const ColumnModel& column, const TableOptions& table);

// Whether the column holds text whose comparisons a collation decides.
bool IsCollatedColumn(const ColumnModel& column);

// The collation MySQL gives an expression over text of these collations (columns, all of one
// derivation): the one collation they share; of a Unicode and a non-Unicode character set, the
// Unicode one (utf8mb4 over utf8mb3); of one character set, its _bin collation. Empty where MySQL
// itself refuses the mix ("Illegal mix of collations").
std::string CoercedCollation(const std::vector<std::string>& collations);

}  // namespace velmora
