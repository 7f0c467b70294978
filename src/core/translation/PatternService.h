// PatternService: the one place where the system runs regular expressions.
//
// Dialect (fixed for every caller): global, case-sensitive, single-line matching; "$" is the end
// of the whole text only; "." is any byte but a line feed; "\s" and "\w" are ASCII classes.
// Replacements expand "$1".."$9" (the empty text for a group that did not take part); every other
// character, "$" included, is copied as it stands.
//
// Compiled patterns are cached per pattern text for the life of the process; the cache is
// thread-safe, and match data is made per call, so any thread may call these at the same time.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// The text every operation yields when the pattern engine cannot compile a pattern or fails
// during a match (exhausted resources): callers go on with it and the next step fails visibly.
inline constexpr std::string_view kPatternEngineError = "Error";

// Replaces every match of `pattern` in `text` by `replacement`, with group references expanded.
// Returns `text` unchanged when nothing matches.
std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement);

// The text of the last match of `pattern` in `text`, or the empty text when nothing matches.
std::string LastMatch(std::string_view text, std::string_view pattern);

// Whether `pattern` matches anywhere in `text`.
bool Matches(std::string_view text, std::string_view pattern);

}  // namespace velmora
