// DefinitionTokens: the tokens of a SHOW CREATE TABLE text as CreateTableParser reads them, from
// the shared SQL tokenizer: names and strings unquoted, literals as their digits, the contents of
// version comments (/*!50100 ... */, /*M!100301 ... */) read as ordinary text, as the server reads
// them, and other comments dropped. Pure; any thread.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// A token's text is a view: of the definition where its value reads there unchanged, else of the
// copy kept in the `values` its tokenizer filled (a name with doubled quotes, a string with escapes).
struct DefinitionToken {
    enum class Kind : std::uint8_t { Word, QuotedName, String, BitString, HexString, Number, Symbol, End };
    std::string_view text;
    std::uint32_t begin = 0;  // offsets in the definition (a text of more than 4 GB is not read)
    std::uint32_t end = 0;
    Kind kind = Kind::End;

    bool IsWord(std::string_view word) const {
        if (kind != Kind::Word || text.size() != word.size()) return false;
        for (size_t i = 0; i < word.size(); ++i) {
            char a = text[i], b = word[i];
            if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
            if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
            if (a != b) return false;
        }
        return true;
    }
    bool IsSymbol(std::string_view symbol) const { return kind == Kind::Symbol && text == symbol; }
};

// Fills `tokens`, ending with one End token; returns an error text, or "" when the text was read.
// The tokens are valid while `text` and `values` are.
std::string TokenizeDefinition(std::string_view text, std::vector<DefinitionToken>& tokens, std::deque<std::string>& values);

}  // namespace velmora
