#include "translation/DefinitionTokens.h"

#include "translation/SqlTokenizer.h"

namespace velmora {
namespace {

// Appends the tokens of `text` (which starts at offset `base` of the whole text); returns an
// error text or "". The text's tokens are visited one at a time, not listed first.
std::string AppendTokens(std::string_view text, size_t base, std::vector<DefinitionToken>& out) {
    std::string error;
    const auto append = [&](const SqlToken& t) {
        if (!error.empty()) return;
        DefinitionToken token;
        token.begin = base + t.offset;
        token.end = token.begin + t.text.size();
        token.text = t.text;
        switch (t.kind) {
            case SqlTokenKind::Word: token.kind = DefinitionToken::Kind::Word; break;
            case SqlTokenKind::QuotedName: token.kind = DefinitionToken::Kind::QuotedName; token.text = QuotedNameValue(t); break;
            case SqlTokenKind::String: token.kind = DefinitionToken::Kind::String; token.text = StringTokenValue(t); break;
            case SqlTokenKind::HexLiteral: token.kind = DefinitionToken::Kind::HexString; token.text = LiteralDigits(t); break;
            case SqlTokenKind::BitLiteral: token.kind = DefinitionToken::Kind::BitString; token.text = LiteralDigits(t); break;
            case SqlTokenKind::Number: token.kind = DefinitionToken::Kind::Number; break;
            case SqlTokenKind::Comment: {
                std::string_view body(t.text);
                size_t skip = body.starts_with("/*!") ? 3 : body.starts_with("/*M!") ? 4 : 0;
                if (skip == 0 || !body.ends_with("*/") || body.size() < skip + 2) return;
                while (skip < body.size() - 2 && body[skip] >= '0' && body[skip] <= '9') ++skip;
                error = AppendTokens(body.substr(skip, body.size() - 2 - skip), token.begin + skip, out);
                return;
            }
            default: token.kind = DefinitionToken::Kind::Symbol; break;
        }
        out.push_back(std::move(token));
    };
    // A scan that stops at an error visits no token after it; the tokens before it stay.
    std::string scanError = ScanSqlTokens(text, {}, append);
    return error.empty() ? scanError : error;
}

}  // namespace

std::string TokenizeDefinition(std::string_view text, std::vector<DefinitionToken>& tokens) {
    std::size_t count = 0;  // the tokens outside version comments: the list is sized for them once
    ScanSqlTokens(text, {}, [&count](const SqlToken&) { ++count; });
    tokens.reserve(tokens.size() + count + 1);
    std::string error = AppendTokens(text, 0, tokens);
    DefinitionToken end;
    end.begin = end.end = text.size();
    tokens.push_back(end);
    return error;
}

}  // namespace velmora
