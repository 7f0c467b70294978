// Naming: how object names are written into generated statements.
//
// A plain name ([A-Za-z_][A-Za-z0-9_]*, not a reserved word of the server it is sent to) is
// written bare, so every fixed statement text stays as it is for ordinary schemas. Any other name
// is quoted: square brackets for SQL Server (double quotes for a name that holds "]"), backquotes
// for MySQL, with the closing quote character doubled inside. This keeps names such as `order`, `user`, `key` or `order notes`
// working and makes it impossible for a name to inject a statement. Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Letters, digits and underscores only, not starting with a digit.
bool IsPlainIdentifier(std::string_view name);

// Reserved words, compared without regard to case.
bool IsTargetReservedWord(std::string_view name);
// True for a word that a batch splitter reads as its command when a line starts with it (sqlcmd's
// GO, ED, EXIT, QUIT, RESET; FreeTDS tsql's go, exit, quit, bye, reset, version; vi), in any case.
bool IsBatchCommandWord(std::string_view word);
bool IsSourceReservedWord(std::string_view name);

// The name as it must appear in a SQL Server statement: bare, [name], or "name" (with '"'
// doubled) when it holds a "]".
std::string QuoteTargetName(std::string_view name);

// The name as it must appear in a MySQL statement: bare or `name` with "`" doubled.
std::string QuoteSourceName(std::string_view name);

// Whether `schema` names the default schema (empty or dbo, in any case): its objects are written
// without a schema, exactly as they always were.
bool IsDefaultSchema(std::string_view schema);

// A table or view of the target in a statement: schema.name with both parts quoted as needed,
// or the name alone in the default schema.
std::string TargetObjectName(std::string_view schema, std::string_view name);

// A scalar function of the target in a statement: always schema.name, since T-SQL finds a
// function only by a two-part name (dbo in the default schema).
std::string TargetFunctionName(std::string_view schema, std::string_view name);

// The name inside a T-SQL string literal ('...'), single quotes doubled; for sp_rename and the
// catalog queries that take object names as text.
std::string QuoteTargetString(std::string_view text);

}  // namespace velmora
