// RefusalNote: what stands in a migration script where an object could not be created, and the
// way forward that the assessment and the script suggest for a refused construct.
//
// A refused or unreadable object is written into a script target at its place as a block of
// "-- " line comments: what was not created and why, a suggested rewrite where one is known, and
// the MySQL source, one comment line per source line. Every line of the block starts with "-- ",
// and what the source holds inside a line that could end the line or the comment early (carriage
// returns, other control characters, line and paragraph separators, comment marks) is shown as
// [U+XXXX] or [/], so no line of the block can read as GO or close a comment.
//
// Pure except NoteRefusal, which writes to the context's target session; any thread.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

struct WorkerContext;

// An object the migration did not create.
struct RefusedObject {
    std::string kind;      // "table", "view", "procedure", "function", "trigger", "event"
    std::string database;  // the source database
    std::string name;
    std::string why;       // "it cannot be translated: REGEXP", "its definition could not be read: ..."
    std::string source;    // the MySQL text ("" when it could not be read)
    std::string rewrite;   // a suggested rewrite ("" when none is known)
};

// A suggested T-SQL way to say what `construct` (a translation's refusal, or a check against the
// target's version) says in MySQL; "" when none is known.
std::string SuggestedRewrite(std::string_view construct);

// One line of text as it may stand after "-- ": control characters, U+0085, U+2028 and U+2029 as
// [U+XXXX], "/*" and "*/" with their slash as [/].
std::string CommentSafeLine(std::string_view line);

// The comment block for `object`, every line "-- ..." and ending with a line feed.
std::string RefusalComment(const RefusedObject& object);

// Writes the block into the context's target when the target keeps a script (Session::Annotate);
// nothing otherwise.
void NoteRefusal(WorkerContext& context, const RefusedObject& object);

}  // namespace velmora
