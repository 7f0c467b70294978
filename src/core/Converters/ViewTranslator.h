// ViewTranslator: turns a MySQL view definition ("show create view") into a SQL Server CREATE
// VIEW statement. The text is lower-cased; backquoted names become bare names, or [bracketed]
// names when they are reserved words or not plain identifiers; the MySQL header (algorithm,
// definer, security) collapses into "create view "; and the last parenthesised comma join that
// MySQL prints without a condition, such as (a join b), becomes a , b. Only a fragment that holds
// the word join is rewritten: count(0) and c/(a*b) stay as they are.
//
// Runs on the caller's thread with the session it is given; RewriteViewDefinition is pure.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

class OperationLog;
class Session;

// The translated statement (no line feed added), or "No Connection!", "FALSE" (the driver's
// error text is logged), the RESULT text, or "Error" from the pattern engine.
// A failed read also leaves its reason in `readFailure`: the caller must not run that text.
std::string TranslateViewDefinition(Session* source, std::string_view database,
                                    std::string_view view, OperationLog& log,
                                    std::string* readFailure = nullptr);

// The rewriting steps alone, on a "show create view" text.
std::string RewriteViewDefinition(std::string_view definition);

}  // namespace velmora
