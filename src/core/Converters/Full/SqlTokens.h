// SqlTokens: splits MySQL/MariaDB definition text (SHOW CREATE TABLE output, printed expressions)
// into tokens: names (bare or quoted), strings with their escapes resolved, bit and hexadecimal
// literals, numbers and symbols. Comments are skipped; the contents of version comments
// (/*!50100 ... */, /*M!100301 ... */) are read as ordinary text, as the server would. Every token
// keeps its place in the text, so a caller can copy an expression exactly as it was written.
// Pure; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct SqlToken {
    enum class Kind { Word, QuotedName, String, BitString, HexString, Number, Symbol, End };
    Kind kind = Kind::End;
    std::string text;  // Word/Number/Symbol: as written; QuotedName/String: unquoted, unescaped;
                       // BitString/HexString: the digits only
    size_t begin = 0;  // offsets into the tokenized text
    size_t end = 0;

    bool Is(Kind k) const { return kind == k; }
    // A bare word, compared without regard to case.
    bool IsWord(std::string_view word) const;
    bool IsSymbol(std::string_view symbol) const { return kind == Kind::Symbol && text == symbol; }
};

struct SqlTokens {
    std::vector<SqlToken> tokens;  // always ends with one End token
    std::string error;             // an unterminated string, name or comment
};

SqlTokens TokenizeSql(std::string_view text);

// Lower-cased ASCII copy of `text`.
std::string LowerAscii(std::string_view text);

}  // namespace velmora
