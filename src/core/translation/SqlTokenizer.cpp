// SqlTokenizer: a single left-to-right scan; each reader consumes one token kind.
#include "translation/SqlTokenizer.h"

#include <array>
#include <cctype>

namespace velmora {
namespace {

bool IsWordChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '$' || u >= 0x80;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

class SqlTokenReader::Scanner {
public:
    Scanner(std::string_view text, SqlModeFlags mode) : text_(text), mode_(mode) {
        if (text_.size() > UINT32_MAX) error_ = "a text of more than 4 GB";  // offsets are 32 bits
    }

    bool Next(SqlToken& token) {
        if (!error_.empty() || (SkipSpace(), pos_ >= text_.size())) return false;
        const std::size_t start = pos_;
        const SqlTokenKind kind = ReadToken();
        if (!error_.empty()) {
            error_ += " at offset " + std::to_string(start);
            return false;
        }
        token = SqlToken{text_.substr(start, pos_ - start), static_cast<std::uint32_t>(start), kind};
        return true;
    }

    template <typename Visit>
    std::string Run(const Visit& visit) {
        for (SqlToken token{}; Next(token);) visit(token);
        return error_;
    }

private:
    char At(std::size_t i) const { return i < text_.size() ? text_[i] : '\0'; }

    void SkipSpace() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    }

    SqlTokenKind ReadToken() {
        const char c = At(pos_), next = At(pos_ + 1);
        if (c == '-' && next == '-' && (At(pos_ + 2) == '\0' || std::isspace(static_cast<unsigned char>(At(pos_ + 2)))))
            return ReadLineComment();
        if (c == '#') return ReadLineComment();
        if (c == '/' && next == '*') return ReadBlockComment();
        if (c == '"' && mode_.ansiQuotes) return ReadQuoted('`'), SqlTokenKind::QuotedName;
        if (c == '\'' || c == '"') return ReadQuoted(c), SqlTokenKind::String;
        if (c == '`') return ReadQuoted('`'), SqlTokenKind::QuotedName;
        if ((c == 'x' || c == 'X') && next == '\'') return ++pos_, ReadQuoted('\''), SqlTokenKind::HexLiteral;
        if ((c == 'b' || c == 'B') && next == '\'') return ++pos_, ReadQuoted('\''), SqlTokenKind::BitLiteral;
        if ((c == 'n' || c == 'N') && next == '\'') return ++pos_, ReadQuoted('\''), SqlTokenKind::String;
        if (c == '0' && (next == 'x' || next == 'b') && IsWordChar(At(pos_ + 2))) {
            const std::size_t save = pos_;
            if (ReadPrefixedNumber(next)) return next == 'x' ? SqlTokenKind::HexLiteral : SqlTokenKind::BitLiteral;
            pos_ = save;
        }
        if (IsDigit(c) || (c == '.' && IsDigit(next))) return ReadNumberOrWord();
        if (c == '@') return ReadVariable();
        if (IsWordChar(c)) return ReadWord();
        if (c == '(' || c == ')' || c == ',' || c == '.' || c == ';') return ++pos_, SqlTokenKind::Punctuation;
        return ReadOperator();
    }

    SqlTokenKind ReadLineComment() {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
        return SqlTokenKind::Comment;
    }

    SqlTokenKind ReadBlockComment() {
        const std::size_t end = text_.find("*/", pos_ + 2);
        if (end == std::string_view::npos) {
            error_ = "unterminated comment";
            return SqlTokenKind::Comment;
        }
        pos_ = end + 2;
        return SqlTokenKind::Comment;
    }

    // A quoted run starting at pos_ (the opening quote); backslash escapes apply to strings only.
    void ReadQuoted(char quote) {
        const char close = quote == '`' ? text_[pos_] : quote;  // ANSI_QUOTES: "name" reads as `name`
        const bool escapes = quote != '`' && !mode_.noBackslashEscapes;
        ++pos_;
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == '\\' && escapes) {
                pos_ += 2;
            } else if (c == close) {
                if (At(pos_ + 1) != close) {
                    ++pos_;
                    return;
                }
                pos_ += 2;
            } else {
                ++pos_;
            }
        }
        error_ = quote == '`' ? "unterminated quoted name" : "unterminated string";
    }

    bool ReadPrefixedNumber(char prefix) {
        pos_ += 2;
        const std::size_t digitsStart = pos_;
        while (prefix == 'x' ? std::isxdigit(static_cast<unsigned char>(At(pos_))) : (At(pos_) == '0' || At(pos_) == '1'))
            ++pos_;
        return pos_ > digitsStart && !IsWordChar(At(pos_));
    }

    SqlTokenKind ReadNumberOrWord() {
        const std::size_t start = pos_;
        while (IsDigit(At(pos_))) ++pos_;
        if (IsWordChar(At(pos_)) && At(pos_) != 'e' && At(pos_) != 'E') {  // 1abc is a name in MySQL
            pos_ = start;
            return ReadWord();
        }
        if (At(pos_) == '.' && !IsWordChar(At(pos_ + 1))) ++pos_;
        else if (At(pos_) == '.') {
            ++pos_;
            while (IsDigit(At(pos_))) ++pos_;
        }
        if ((At(pos_) == 'e' || At(pos_) == 'E') &&
            (IsDigit(At(pos_ + 1)) || ((At(pos_ + 1) == '+' || At(pos_ + 1) == '-') && IsDigit(At(pos_ + 2))))) {
            pos_ += 2;
            while (IsDigit(At(pos_))) ++pos_;
        }
        if (IsWordChar(At(pos_))) {
            pos_ = start;
            // ".0x1F": a dot before a name, not a number (reading it as a word would read nothing).
            if (text_[start] == '.') return ++pos_, SqlTokenKind::Punctuation;
            return ReadWord();
        }
        return SqlTokenKind::Number;
    }

    SqlTokenKind ReadWord() {
        const std::size_t start = pos_;
        while (IsWordChar(At(pos_))) ++pos_;
        if (text_[start] == '_' && pos_ - start > 1 && (At(pos_) == '\'' || At(pos_) == '"')) {
            ReadQuoted(At(pos_));  // charset introducer: _utf8mb4'x'
            return SqlTokenKind::String;
        }
        return SqlTokenKind::Word;
    }

    SqlTokenKind ReadVariable() {
        ++pos_;
        if (At(pos_) == '@') ++pos_;
        if (At(pos_) == '`' || At(pos_) == '\'' || At(pos_) == '"') {
            ReadQuoted(At(pos_));
            return SqlTokenKind::Variable;
        }
        while (IsWordChar(At(pos_)) || (At(pos_) == '.' && IsWordChar(At(pos_ + 1)))) ++pos_;
        return SqlTokenKind::Variable;
    }

    SqlTokenKind ReadOperator() {
        static constexpr std::array<std::string_view, 14> kLong = {
            "<=>", "->>", ":=", "||", "&&", "!=", "<>", "<=", ">=", "->", "<<", ">>", "=>", "<"};
        for (const std::string_view op : kLong) {
            if (text_.substr(pos_, op.size()) == op) {
                pos_ += op.size();
                return SqlTokenKind::Operator;
            }
        }
        static constexpr std::string_view kSingle = "=+-*/%^&|~!>:";  // ":" ends a routine's label
        if (kSingle.find(text_[pos_]) == std::string_view::npos) {
            error_ = std::string("unexpected character '") + text_[pos_] + "'";
            return SqlTokenKind::Operator;
        }
        ++pos_;
        return SqlTokenKind::Operator;
    }

    std::string_view text_;
    SqlModeFlags mode_;
    std::size_t pos_ = 0;
    std::string error_;
};

SqlTokenReader::SqlTokenReader(std::string_view text, SqlModeFlags mode) : scanner_(std::make_unique<Scanner>(text, mode)) {}
SqlTokenReader::~SqlTokenReader() = default;
bool SqlTokenReader::Next(SqlToken& token) { return scanner_->Next(token); }

using Scanner = SqlTokenReader::Scanner;

SqlTokens TokenizeSql(std::string_view text, SqlModeFlags mode) {
    std::size_t count = 0;
    Scanner(text, mode).Run([&count](const SqlToken&) { ++count; });
    SqlTokens result;
    result.tokens.reserve(count);
    result.error = Scanner(text, mode).Run([&result](const SqlToken& token) { result.tokens.push_back(token); });
    return result;
}

std::string ScanSqlTokens(std::string_view text, SqlModeFlags mode, const std::function<void(const SqlToken&)>& visit) {
    return Scanner(text, mode).Run(visit);
}

std::string StringTokenIntroducer(const SqlToken& token) {
    const std::size_t quote = token.text.find_first_of("'\"");
    return quote == std::string_view::npos ? std::string() : std::string(token.text.substr(0, quote));
}

std::string StringTokenValue(const SqlToken& token) {
    const std::size_t open = token.text.find_first_of("'\"");
    if (open == std::string_view::npos || token.text.size() < open + 2) return {};
    const char quote = token.text[open];
    const std::string_view body = token.text.substr(open + 1, token.text.size() - open - 2);
    std::string value;
    for (std::size_t i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == quote && i + 1 < body.size() && body[i + 1] == quote) {
            value += quote;
            ++i;
        } else if (c == '\\' && i + 1 < body.size()) {
            const char e = body[++i];
            switch (e) {
                case 'n': value += '\n'; break;
                case 't': value += '\t'; break;
                case 'r': value += '\r'; break;
                case 'b': value += '\b'; break;
                case '0': value += '\0'; break;
                case 'Z': value += '\x1a'; break;
                case '%': case '_': value += '\\'; value += e; break;
                default: value += e; break;
            }
        } else {
            value += c;
        }
    }
    return value;
}

std::string QuotedNameValue(const SqlToken& token) {
    std::string value;
    const std::string_view body = token.text.substr(1, token.text.size() - 2);
    for (std::size_t i = 0; i < body.size(); ++i) {
        value += body[i];
        if (body[i] == '`' && i + 1 < body.size() && body[i + 1] == '`') ++i;
    }
    return value;
}

std::string LiteralDigits(const SqlToken& token) {
    const std::string_view t = token.text;
    if (t.size() >= 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'b')) return std::string(t.substr(2));
    if (t.size() >= 3) return std::string(t.substr(2, t.size() - 3));
    return {};
}

}  // namespace velmora
