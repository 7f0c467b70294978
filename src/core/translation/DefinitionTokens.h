// DefinitionTokens: the tokens of a SHOW CREATE TABLE text as CreateTableParser reads them, from
// the shared SQL tokenizer: names and strings unquoted, literals as their digits, the contents of
// version comments (/*!50100 ... */, /*M!100301 ... */) read as ordinary text, as the server reads
// them, and other comments dropped. Pure; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct DefinitionToken {
    enum class Kind { Word, QuotedName, String, BitString, HexString, Number, Symbol, End };
    Kind kind = Kind::End;
    std::string text;
    size_t begin = 0;
    size_t end = 0;

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
std::string TokenizeDefinition(std::string_view text, std::vector<DefinitionToken>& tokens);

}  // namespace velmora
