// SqlModes: a routine or trigger is stored as written, under the SQL mode of the session that
// created it (information_schema and SHOW CREATE give it). The translation reads MySQL's default
// mode; this turns a text written under another mode into the same text in the default one:
// ANSI_QUOTES' "name" becomes `name`, NO_BACKSLASH_ESCAPES' backslashes are doubled, and
// IGNORE_SPACE needs nothing (the tokens skip blanks). What cannot be said token by token is
// refused by name: PIPES_AS_CONCAT with a ||, HIGH_NOT_PRECEDENCE with a NOT before an operand,
// and Oracle mode. Pure; any thread.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

struct SqlModeText {
    std::string text;         // in the default mode, when `rewritten`
    std::string refusal;      // the construct the mode makes untranslatable; "" when none
    bool rewritten = false;   // false: the text reads the same in the default mode (no copy is made)

    // The text to translate: `original` itself, or its rewriting.
    std::string_view In(std::string_view original) const { return rewritten ? std::string_view(text) : original; }
};

// `sqlMode`: the mode as the server prints it ("ANSI_QUOTES,STRICT_TRANS_TABLES"; any case).
SqlModeText InDefaultSqlMode(std::string_view text, std::string_view sqlMode);

}  // namespace velmora
