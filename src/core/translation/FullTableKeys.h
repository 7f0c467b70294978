// FullTableKeys: the keys and comments of the Full table translation. The primary key goes into
// the CREATE TABLE; unique keys become unique indexes (filtered to rows whose key columns are not
// NULL where a key column is nullable, since MySQL allows many such rows and SQL Server one);
// plain keys become indexes; prefix lengths widen to the whole column where the column can be
// indexed; FULLTEXT and SPATIAL keys are reported. Comments become MS_Description properties.
// Pure; any thread.
#pragma once

#include <string>
#include <vector>

#include "translation/FullTableTranslator.h"

namespace velmora {

// Fills out.indexes, out.foreignKeys, out.foreignKeyModels and their adjustments (out.columns
// must be filled already); returns the PRIMARY KEY clause of the CREATE TABLE, or "".
std::string TranslateKeys(const TableModel& table, const ExpressionNames& names, FullTableTranslation& out);

// One sp_addextendedproperty call per table or column comment, on the table in `schema` (the
// default schema when empty).
std::vector<std::string> CommentStatements(const TableModel& table, const std::string& schema = "");

}  // namespace velmora
