// SqlModes: see the header.
#include "translation/SqlModes.h"

#include <optional>
#include <set>

#include "translation/SqlParser.h"
#include "translation/SqlTokenizer.h"

namespace velmora {
namespace {

// The modes a mode name stands for (the combination modes name several).
std::set<std::string> ModeWords(std::string_view sqlMode) {
    std::set<std::string> words;
    std::string word;
    for (std::size_t i = 0; i <= sqlMode.size(); ++i) {
        if (i == sqlMode.size() || sqlMode[i] == ',') {
            if (!word.empty()) words.insert(word);
            word.clear();
        } else if (sqlMode[i] != ' ') {
            word += static_cast<char>(std::toupper(static_cast<unsigned char>(sqlMode[i])));
        }
    }
    for (const char* combined : {"ANSI", "DB2", "MSSQL", "POSTGRESQL", "MAXDB"})
        if (words.count(combined)) words.insert({"ANSI_QUOTES", "PIPES_AS_CONCAT", "IGNORE_SPACE"});
    return words;
}

std::string Backquoted(std::string_view doubleQuoted) {
    std::string out = "`";
    for (std::size_t i = 1; i + 1 < doubleQuoted.size(); ++i) {
        if (doubleQuoted[i] == '"' && doubleQuoted[i + 1] == '"') ++i;  // "" is one "
        out += doubleQuoted[i] == '`' ? std::string("``") : std::string(1, doubleQuoted[i]);
    }
    return out + "`";
}

std::string BackslashesDoubled(std::string_view literal) {
    std::string out;
    for (char c : literal) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

// NOT as a prefix operator of an operand (not NOT IN, NOT LIKE, IS NOT, NOT EXISTS, NOT (...)).
bool IsPrefixNot(const SqlToken* previous, const SqlToken& token, const SqlToken* next) {
    if (LowerAscii(token.text) != "not" || token.kind != SqlTokenKind::Word) return false;
    if (previous && LowerAscii(previous->text) == "is") return false;
    if (!next) return false;
    const std::string after = LowerAscii(next->text);
    return after != "(" && after != "in" && after != "like" && after != "between" && after != "regexp" && after != "rlike" &&
           after != "exists" && after != "null" && after != "found" && after != "deterministic";
}

}  // namespace

SqlModeText InDefaultSqlMode(std::string_view text, std::string_view sqlMode) {
    const std::set<std::string> modes = ModeWords(sqlMode);
    SqlModeText out;
    if (modes.count("ORACLE")) return out.refusal = "a routine in Oracle mode (sql_mode ORACLE)", out;
    const SqlModeFlags flags{modes.count("ANSI_QUOTES") > 0, modes.count("NO_BACKSLASH_ESCAPES") > 0};
    const bool pipes = modes.count("PIPES_AS_CONCAT") > 0, highNot = modes.count("HIGH_NOT_PRECEDENCE") > 0;
    if (!flags.ansiQuotes && !flags.noBackslashEscapes && !pipes && !highNot) return out;  // the text as it is
    // One pass over the tokens, each looked at once the token after it is known; none are held.
    std::optional<SqlToken> previous, current;
    std::size_t copied = 0;
    const auto take = [&](const SqlToken* next) {
        if (!current || !out.refusal.empty()) return;
        const SqlToken& token = *current;
        std::string replacement(token.text);
        if (token.kind == SqlTokenKind::QuotedName && token.text[0] == '"') replacement = Backquoted(token.text);
        if (token.kind == SqlTokenKind::String && flags.noBackslashEscapes) replacement = BackslashesDoubled(token.text);
        if (token.kind == SqlTokenKind::Operator && token.text == "||" && pipes)
            out.refusal = "|| as concatenation (sql_mode PIPES_AS_CONCAT)";
        else if (highNot && IsPrefixNot(previous ? &*previous : nullptr, token, next))
            out.refusal = "NOT before an operand under sql_mode HIGH_NOT_PRECEDENCE";
        out.text.append(text.substr(copied, token.offset - copied));
        out.text += replacement;
        copied = token.offset + token.text.size();
    };
    const std::string error = ScanSqlTokens(text, flags, [&](const SqlToken& token) {
        take(&token);
        previous = current;
        current = token;
    });
    if (!error.empty()) return {};  // the text as it is: the parser names what it cannot read
    take(nullptr);
    if (!out.refusal.empty()) return out.text.clear(), out;
    out.text.append(text.substr(copied));
    out.rewritten = true;
    return out;
}

}  // namespace velmora
