// BatchSafety: T-SQL written into a script or printed for a person stays one statement, whatever
// text from the source it holds. Batch splitters (sqlcmd, FreeTDS tsql/fisql/bsqldb) read a
// script line by line and act on a line that starts with one of their commands (`GO`, `:r`,
// `!!`, `exit`, `quit`, `reset`...), even inside a string literal or a comment. So every line
// break inside a literal, a comment or a quoted name is taken out of the text before it is
// written: a literal becomes a CONCAT of its runs and CHAR(10)/CHAR(13) (the same value), a
// comment's line breaks become blanks, and a quoted name with a line break is refused. A line
// that still reads as a splitter command refuses the statement.
//
// Pure functions; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct BatchSafeText {
    std::string text;     // the statement with no line break inside a literal, comment or name
    std::string refusal;  // why it cannot be written safely; empty when it can
    bool ok() const { return refusal.empty(); }
};

// The statement rewritten so that no batch splitter can end it or run a command from it.
BatchSafeText MakeBatchSafe(std::string_view statement);

// For a statement without a line break, which MakeBatchSafe would leave as it stands: why it
// cannot be written ("" when it can), without a copy of it. Nothing when it holds a line break.
std::optional<std::string> RefusalAsItStands(std::string_view statement);

// The batches of a script as sqlcmd reads them: a line holding only GO (any case, an optional
// count) ends a batch. What the tests use to replay a script the way a splitter does.
std::vector<std::string> SplitBatches(std::string_view script);

// Why a name cannot be written into T-SQL: it holds a control character (shown as \xNN) or is not
// valid UTF-8; empty when it can.
std::string NameProblem(std::string_view name);

// A name as it may be shown in a message: between backquotes, control characters and bytes
// that are not UTF-8 as \xNN, cut after about `limit` characters.
std::string ShownName(std::string_view name, size_t limit = 80);

// Input echoed in a message: cut after `limit` bytes (at a character's start) with "... (N bytes
// in all)", so that a 10 MB line is not printed whole.
std::string ShownText(std::string_view text, size_t limit = 200);

// The first name of a MySQL text (its backquoted names) that cannot be written into T-SQL, with
// the reason: "`a\x0Ab`: the name holds the control character \x0A"; empty when there is none.
std::string NameProblemIn(std::string_view mysqlText);

}  // namespace velmora
