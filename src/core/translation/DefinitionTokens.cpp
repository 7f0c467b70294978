#include "translation/DefinitionTokens.h"

#include "translation/SqlTokenizer.h"

namespace velmora {
namespace {

// `value` as a view of `source` when they are the same text, else of a copy kept in `values`.
std::string_view Kept(std::string value, std::string_view source, std::deque<std::string>& values) {
    if (value == source) return source;
    return values.emplace_back(std::move(value));
}

// The text between a token's quotes (after an introducer such as _utf8mb4 or N).
std::string_view Quoted(std::string_view token) {
    const std::size_t open = token.find_first_of("'\"`");
    return open == std::string_view::npos || token.size() < open + 2 ? std::string_view() : token.substr(open + 1, token.size() - open - 2);
}

// The digits of a literal as written: 0xAB, x'AB', 0b01, b'01'.
std::string_view Digits(std::string_view token) { return token.find('\'') == std::string_view::npos ? token.substr(2) : Quoted(token); }

// Appends the tokens of `text` (which starts at offset `base` of the whole text); returns an
// error text or "". The text's tokens are visited one at a time, not listed first.
std::string AppendTokens(std::string_view text, size_t base, std::vector<DefinitionToken>& out, std::deque<std::string>& values) {
    std::string error;
    const auto append = [&](const SqlToken& t) {
        if (!error.empty()) return;
        DefinitionToken token;
        token.begin = static_cast<std::uint32_t>(base + t.offset);
        token.end = static_cast<std::uint32_t>(token.begin + t.text.size());
        token.text = t.text;
        switch (t.kind) {
            case SqlTokenKind::Word: token.kind = DefinitionToken::Kind::Word; break;
            case SqlTokenKind::QuotedName:
                token.kind = DefinitionToken::Kind::QuotedName;
                token.text = Kept(QuotedNameValue(t), Quoted(t.text), values);
                break;
            case SqlTokenKind::String:
                token.kind = DefinitionToken::Kind::String;
                token.text = Kept(StringTokenValue(t), Quoted(t.text), values);
                break;
            case SqlTokenKind::HexLiteral: token.kind = DefinitionToken::Kind::HexString; token.text = Kept(LiteralDigits(t), Digits(t.text), values); break;
            case SqlTokenKind::BitLiteral: token.kind = DefinitionToken::Kind::BitString; token.text = Kept(LiteralDigits(t), Digits(t.text), values); break;
            case SqlTokenKind::Number: token.kind = DefinitionToken::Kind::Number; break;
            case SqlTokenKind::Comment: {
                std::string_view body(t.text);
                size_t skip = body.starts_with("/*!") ? 3 : body.starts_with("/*M!") ? 4 : 0;
                if (skip == 0 || !body.ends_with("*/") || body.size() < skip + 2) return;
                while (skip < body.size() - 2 && body[skip] >= '0' && body[skip] <= '9') ++skip;
                error = AppendTokens(body.substr(skip, body.size() - 2 - skip), token.begin + skip, out, values);
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

std::string TokenizeDefinition(std::string_view text, std::vector<DefinitionToken>& tokens, std::deque<std::string>& values) {
    if (text.size() > UINT32_MAX) return "a text of more than 4 GB";
    std::size_t count = 0;  // the tokens outside version comments: the list is sized for them once
    ScanSqlTokens(text, {}, [&count](const SqlToken&) { ++count; });
    tokens.reserve(tokens.size() + count + 1);
    std::string error = AppendTokens(text, 0, tokens, values);
    DefinitionToken end;
    end.begin = end.end = static_cast<std::uint32_t>(text.size());
    tokens.push_back(end);
    return error;
}

}  // namespace velmora
