// TableDefinitionReader: reads a table's "show create table" text from the source and hands it to
// the table rule chain (DdlTranslator). The definition is read whole, however long it is.
//
// Result: the translated CREATE TABLE statement followed by one line feed, or a fixed text the
// caller writes and executes as it is, so that the create fails visibly: "No Connection!",
// "FALSE" (the driver's error text is logged), the RESULT text (no rows object), or the empty
// text (no row, or an exception while reading, shown in a message box).
//
// Runs on the caller's thread (the scheduler's worker bodies) with the session it is given.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

class OperationLog;
class Session;

// `database` is carried for the caller's lines; the statement runs against the source session's
// current database, which the worker has selected.
// A failed read gives its fixed text ("FALSE", "No Connection!", ...) and leaves the reason in
// `readFailure`: the caller must not run that text.
std::string TranslateTableDefinition(Session* source, std::string_view database,
                                     std::string_view table, OperationLog& log,
                                     std::string* readFailure = nullptr);

// "show create table `name`" with any backquote in the name doubled.
std::string ShowCreateTableStatement(std::string_view table);

}  // namespace velmora
