// SqlTokenizer: splits MySQL/MariaDB SQL text (view definitions as the server prints them,
// expressions of generated columns, defaults and checks) into tokens, each with its kind, its
// exact source text and its offset. Whitespace is skipped; comments are kept as tokens so that a
// caller decides what to do with them. Pure; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

enum class SqlTokenKind : std::uint8_t {
    Word,         // keyword or bare name: select, shop, count, _utf8mb4 (alone)
    QuotedName,   // `name`, with doubled backquotes inside
    String,       // 'x', "x", N'x', _utf8mb4'x' (introducer included in the text)
    HexLiteral,   // x'ab', X'AB', 0xAB
    BitLiteral,   // b'01', 0b01
    Number,       // 12, 1.5, .5, 1e3, 2.5E-3
    Variable,     // @x, @`x`, @'x', @@session.sql_mode
    Operator,     // = <=> := || && != <> <= >= -> ->> << >> + - * / % ^ & | ~ ! < >
    Punctuation,  // ( ) , . ;
    Comment,      // -- x, # x, /* x */
};

// A token's text is a view into the text it was read from (or into storage its reader keeps, for
// a token it rewrote): the tokens of a text are valid while that text is.
struct SqlToken {
    std::string_view text;  // exactly as in the source
    std::uint32_t offset;   // byte offset of the first character in the source (a text is at most 4 GB)
    SqlTokenKind kind;
};

struct SqlTokens {
    std::vector<SqlToken> tokens;
    std::string error;  // empty when the whole text was read; else what stopped it, with the offset
    bool ok() const { return error.empty(); }
};

// What the SQL mode a text was written under changes in its tokens (SqlModes.h): with ANSI_QUOTES
// "x" is a QuotedName (text kept as written), with NO_BACKSLASH_ESCAPES a backslash in a string is
// an ordinary character.
struct SqlModeFlags {
    bool ansiQuotes = false;
    bool noBackslashEscapes = false;
};

// A text's tokens one at a time, for a reader that holds only those it still needs.
class SqlTokenReader {
public:
    explicit SqlTokenReader(std::string_view text, SqlModeFlags mode = {});
    ~SqlTokenReader();
    SqlTokenReader(const SqlTokenReader&) = delete;
    SqlTokenReader& operator=(const SqlTokenReader&) = delete;
    // The next token; false at the end of the text, or where a token cannot be read (a reader
    // that must tell these apart scans the text with ScanSqlTokens first, which names the cause).
    bool Next(SqlToken& token);

    class Scanner;

private:
    std::unique_ptr<Scanner> scanner_;
};

// All tokens of a text in one vector, sized once (a first pass counts them).
SqlTokens TokenizeSql(std::string_view text, SqlModeFlags mode = {});

// Calls `visit` with each token in turn, for a reader that needs only a few neighbours: a large
// text's tokens are never all held. Returns "" when the whole text was read, else what stopped it,
// with the offset (the tokens before it were visited).
std::string ScanSqlTokens(std::string_view text, SqlModeFlags mode, const std::function<void(const SqlToken&)>& visit);

// The value of a String token: the introducer and quotes gone, escapes resolved (\n, \t, \0, \\,
// \', doubled quotes, ...; \% and \_ keep their backslash, as MySQL keeps it for LIKE).
std::string StringTokenValue(const SqlToken& token);

// The introducer of a String token ("_utf8mb4", "N"), or "" when it has none.
std::string StringTokenIntroducer(const SqlToken& token);

// The name of a QuotedName token without its backquotes, doubled backquotes made single.
std::string QuotedNameValue(const SqlToken& token);

// The hexadecimal digits of a HexLiteral token or the binary digits of a BitLiteral token.
std::string LiteralDigits(const SqlToken& token);

}  // namespace velmora
