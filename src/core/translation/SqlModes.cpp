// SqlModes: see the header.
#include "translation/SqlModes.h"

#include <set>
#include <vector>

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
bool IsPrefixNot(const std::vector<SqlToken>& tokens, std::size_t i) {
    if (LowerAscii(tokens[i].text) != "not" || tokens[i].kind != SqlTokenKind::Word) return false;
    if (i > 0 && LowerAscii(tokens[i - 1].text) == "is") return false;
    if (i + 1 >= tokens.size()) return false;
    const std::string next = LowerAscii(tokens[i + 1].text);
    return next != "(" && next != "in" && next != "like" && next != "between" && next != "regexp" && next != "rlike" &&
           next != "exists" && next != "null" && next != "found" && next != "deterministic";
}

}  // namespace

SqlModeText InDefaultSqlMode(std::string_view text, std::string_view sqlMode) {
    const std::set<std::string> modes = ModeWords(sqlMode);
    SqlModeText out;
    if (modes.count("ORACLE")) return out.refusal = "a routine in Oracle mode (sql_mode ORACLE)", out;
    const SqlModeFlags flags{modes.count("ANSI_QUOTES") > 0, modes.count("NO_BACKSLASH_ESCAPES") > 0};
    if (!flags.ansiQuotes && !flags.noBackslashEscapes && !modes.count("PIPES_AS_CONCAT") && !modes.count("HIGH_NOT_PRECEDENCE"))
        return out.text = std::string(text), out;
    const SqlTokens tokens = TokenizeSql(text, flags);
    if (!tokens.ok()) return out.text = std::string(text), out;  // the parser names what it cannot read
    std::size_t copied = 0;
    for (std::size_t i = 0; i < tokens.tokens.size(); ++i) {
        const SqlToken& token = tokens.tokens[i];
        std::string replacement(token.text);
        if (token.kind == SqlTokenKind::QuotedName && token.text[0] == '"') replacement = Backquoted(token.text);
        if (token.kind == SqlTokenKind::String && flags.noBackslashEscapes) replacement = BackslashesDoubled(token.text);
        if (token.kind == SqlTokenKind::Operator && token.text == "||" && modes.count("PIPES_AS_CONCAT"))
            return out.refusal = "|| as concatenation (sql_mode PIPES_AS_CONCAT)", out;
        if (modes.count("HIGH_NOT_PRECEDENCE") && IsPrefixNot(tokens.tokens, i))
            return out.refusal = "NOT before an operand under sql_mode HIGH_NOT_PRECEDENCE", out;
        out.text.append(text.substr(copied, token.offset - copied));
        out.text += replacement;
        copied = token.offset + token.text.size();
    }
    out.text.append(text.substr(copied));
    return out;
}

}  // namespace velmora
