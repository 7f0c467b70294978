#include "Converters/Full/SqlTokens.h"

namespace velmora {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsWordChar(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '_' || c == '$' ||
           u >= 0x80;
}

// MySQL's backslash escapes inside strings; \% and \_ keep their backslash.
char Unescape(char c, bool& keepBackslash) {
    keepBackslash = false;
    switch (c) {
        case '0': return '\0';
        case 'b': return '\b';
        case 'n': return '\n';
        case 'r': return '\r';
        case 't': return '\t';
        case 'Z': return '\x1A';
        case '%': case '_': keepBackslash = true; return c;
        default: return c;
    }
}

class Tokenizer {
public:
    explicit Tokenizer(std::string_view text) : text_(text) {}

    SqlTokens Run() {
        while (result_.error.empty()) {
            SkipSpaceAndComments();
            if (at_ >= text_.size() || !result_.error.empty()) break;
            ReadToken();
        }
        SqlToken end;
        end.begin = end.end = text_.size();
        result_.tokens.push_back(end);
        return std::move(result_);
    }

private:
    void SkipSpaceAndComments() {
        while (at_ < text_.size()) {
            char c = text_[at_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++at_;
            } else if (text_.compare(at_, 3, "/*!") == 0 || text_.compare(at_, 4, "/*M!") == 0) {
                at_ += text_[at_ + 2] == 'M' ? 4 : 3;  // a version comment: its contents count
                while (at_ < text_.size() && IsDigit(text_[at_])) ++at_;
                ++openVersionComments_;
            } else if (text_.compare(at_, 2, "*/") == 0 && openVersionComments_ > 0) {
                at_ += 2;
                --openVersionComments_;
            } else if (text_.compare(at_, 2, "/*") == 0) {
                size_t close = text_.find("*/", at_ + 2);
                if (close == std::string_view::npos) {
                    result_.error = "a comment is not closed";
                    return;
                }
                at_ = close + 2;
            } else if (c == '#' || (text_.compare(at_, 2, "--") == 0 &&
                                    (at_ + 2 >= text_.size() || text_[at_ + 2] == ' ' || text_[at_ + 2] == '\t'))) {
                size_t eol = text_.find('\n', at_);
                at_ = eol == std::string_view::npos ? text_.size() : eol + 1;
            } else {
                return;
            }
        }
    }

    void Push(SqlToken::Kind kind, std::string text, size_t begin) {
        SqlToken token;
        token.kind = kind;
        token.text = std::move(text);
        token.begin = begin;
        token.end = at_;
        result_.tokens.push_back(std::move(token));
    }

    // Reads a quoted run starting at at_ (the opening quote); doubled quotes stand for one.
    bool ReadQuoted(char quote, bool escapes, std::string& out) {
        ++at_;
        while (at_ < text_.size()) {
            char c = text_[at_];
            if (c == quote) {
                if (at_ + 1 < text_.size() && text_[at_ + 1] == quote) {
                    out.push_back(quote);
                    at_ += 2;
                    continue;
                }
                ++at_;
                return true;
            }
            if (escapes && c == '\\' && at_ + 1 < text_.size()) {
                bool keep = false;
                char unescaped = Unescape(text_[at_ + 1], keep);
                if (keep) out.push_back('\\');
                out.push_back(unescaped);
                at_ += 2;
                continue;
            }
            out.push_back(c);
            ++at_;
        }
        result_.error = std::string("a quoted text starting with ") + quote + " is not closed";
        return false;
    }

    void ReadToken() {
        size_t begin = at_;
        char c = text_[at_];
        std::string value;
        if (c == '\'') {
            if (ReadQuoted('\'', true, value)) Push(SqlToken::Kind::String, std::move(value), begin);
            return;
        }
        if (c == '`' || c == '"') {
            if (ReadQuoted(c, false, value)) Push(SqlToken::Kind::QuotedName, std::move(value), begin);
            return;
        }
        if (c == '0' && at_ + 1 < text_.size() && (text_[at_ + 1] == 'x' || text_[at_ + 1] == 'b')) {
            bool hex = text_[at_ + 1] == 'x';
            size_t i = at_ + 2;
            while (i < text_.size() && IsWordChar(text_[i])) ++i;
            if (i > at_ + 2) {
                value.assign(text_.substr(at_ + 2, i - at_ - 2));
                at_ = i;
                Push(hex ? SqlToken::Kind::HexString : SqlToken::Kind::BitString, std::move(value), begin);
                return;
            }
        }
        if (IsDigit(c) || (c == '.' && at_ + 1 < text_.size() && IsDigit(text_[at_ + 1]))) {
            ReadNumber(begin);
            return;
        }
        if (IsWordChar(c)) {
            ReadWord(begin);
            return;
        }
        static const char* const kPairs[] = {"<=>", "<=", ">=", "<>", "!=", "||", "&&", "<<", ">>", ":="};
        for (const char* pair : kPairs) {
            std::string_view p(pair);
            if (text_.compare(at_, p.size(), p) == 0) {
                at_ += p.size();
                Push(SqlToken::Kind::Symbol, std::string(p), begin);
                return;
            }
        }
        ++at_;
        Push(SqlToken::Kind::Symbol, std::string(1, c), begin);
    }

    void ReadNumber(size_t begin) {
        while (at_ < text_.size() && (IsDigit(text_[at_]) || text_[at_] == '.')) ++at_;
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
            size_t i = at_ + 1;
            if (i < text_.size() && (text_[i] == '+' || text_[i] == '-')) ++i;
            if (i < text_.size() && IsDigit(text_[i])) {
                at_ = i;
                while (at_ < text_.size() && IsDigit(text_[at_])) ++at_;
            }
        }
        // A name may start with digits (1col); such a run is a word.
        if (at_ < text_.size() && IsWordChar(text_[at_])) {
            ReadWord(begin);
            return;
        }
        Push(SqlToken::Kind::Number, std::string(text_.substr(begin, at_ - begin)), begin);
    }

    void ReadWord(size_t begin) {
        at_ = begin;
        while (at_ < text_.size() && IsWordChar(text_[at_])) ++at_;
        std::string_view word = text_.substr(begin, at_ - begin);
        // b'0101', x'0A', N'text' and character set introducers such as _utf8mb4'text'.
        if (at_ < text_.size() && text_[at_] == '\'') {
            std::string lower = LowerAscii(word);
            bool bit = lower == "b", hex = lower == "x";
            if (bit || hex || lower == "n" || lower.front() == '_') {
                std::string value;
                if (!ReadQuoted('\'', !(bit || hex), value)) return;
                SqlToken::Kind kind = bit ? SqlToken::Kind::BitString
                                      : hex ? SqlToken::Kind::HexString : SqlToken::Kind::String;
                Push(kind, std::move(value), begin);
                return;
            }
        }
        Push(SqlToken::Kind::Word, std::string(word), begin);
    }

    std::string_view text_;
    size_t at_ = 0;
    int openVersionComments_ = 0;
    SqlTokens result_;
};

}  // namespace

bool SqlToken::IsWord(std::string_view word) const {
    if (kind != Kind::Word || text.size() != word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        char a = text[i], b = word[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

SqlTokens TokenizeSql(std::string_view text) { return Tokenizer(text).Run(); }

}  // namespace velmora
