#include "translation/BatchSafety.h"

#include <cstdio>

#include "translation/Naming.h"
#include "translation/SqlTokenizer.h"
#include "translation/ValueLiterals.h"

namespace velmora {
namespace {

bool IsBreak(char c) { return c == '\n' || c == '\r'; }

bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '@' ||
           c == '#' || c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return out;
}

// The end (one past the closing quote) of a quoted run opened at `at`; a doubled closing quote is
// part of the text. npos when it is not closed.
size_t QuotedEnd(std::string_view text, size_t at, char close) {
    for (size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] != close) continue;
        if (i + 1 < text.size() && text[i + 1] == close) {
            ++i;
            continue;
        }
        return i + 1;
    }
    return std::string_view::npos;
}

// The end of a block comment opened at `at` (T-SQL nests them); npos when it is not closed.
size_t CommentEnd(std::string_view text, size_t at) {
    int depth = 0;
    for (size_t i = at; i + 1 < text.size(); ++i) {
        if (text[i] == '/' && text[i + 1] == '*') ++depth, ++i;
        else if (text[i] == '*' && text[i + 1] == '/' && --depth == 0) return i + 2;
        else if (text[i] == '*' && text[i + 1] == '/') ++i;
    }
    return std::string_view::npos;
}

bool HasBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// The value of a quoted literal (quotes stripped, doubled quotes single).
std::string Unquote(std::string_view literal) {
    std::string value;
    for (size_t i = 1; i + 1 < literal.size(); ++i) {
        value.push_back(literal[i]);
        if (literal[i] == '\'') ++i;
    }
    return value;
}

// The splitter command a line starts with, if any: sqlcmd's GO [n], :command, !!, ED, EXIT, QUIT,
// RESET and FreeTDS tsql's go, exit, quit, bye, reset, version.
std::string SplitterCommand(std::string_view line) {
    size_t from = line.find_first_not_of(" \t");
    if (from == std::string_view::npos) return "";
    line.remove_prefix(from);
    if (line.starts_with(":") || line.starts_with("!!")) return std::string(line.substr(0, 2));
    const std::string word = Lower(line.substr(0, line.find_first_of(" \t(;")));
    return IsBatchCommandWord(word) ? word : "";
}

std::string FirstSplitterLine(std::string_view text) {
    for (size_t from = 0; from <= text.size();) {
        size_t end = text.find('\n', from);
        if (end == std::string_view::npos) end = text.size();
        const std::string command = SplitterCommand(text.substr(from, end - from));
        if (!command.empty()) return command;
        from = end + 1;
    }
    return "";
}

}  // namespace

std::string ShownName(std::string_view name, size_t limit) {
    std::string shown = "`";
    for (size_t i = 0; i < name.size(); ++i) {
        if (shown.size() >= limit) {
            shown += "...";
            break;
        }
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c >= 0x20 && c != 0x7F && NameProblem(name.substr(i, 1)).empty()) {
            shown.push_back(static_cast<char>(c));
            continue;
        }
        if (c >= 0x80) {  // keep a whole valid character; escape a byte that is not one
            size_t length = (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
            if (length > 1 && i + length <= name.size() && NameProblem(name.substr(i, length)).empty()) {
                shown.append(name.substr(i, length));
                i += length - 1;
                continue;
            }
        }
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", c);
        shown += hex;
    }
    return shown + "`";
}

std::string ShownText(std::string_view text, size_t limit) {
    if (text.size() <= limit) return std::string(text);
    size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return std::string(text.substr(0, cut)) + "... (" + std::to_string(text.size()) + " bytes in all)";
}

BatchSafeText MakeBatchSafe(std::string_view s) {
    BatchSafeText out;
    out.text.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const char c = s[i];
        const bool comment = c == '/' && i + 1 < s.size() && s[i + 1] == '*';
        if (c != '\'' && c != '[' && c != '"' && !comment) {
            if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
                const size_t end = std::min(s.find('\n', i), s.size());
                out.text.append(s.substr(i, end - i));
                i = end;
                continue;
            }
            out.text.push_back(c);
            ++i;
            continue;
        }
        const size_t end = comment ? CommentEnd(s, i) : QuotedEnd(s, i, c == '[' ? ']' : c);
        if (end == std::string_view::npos) return {"", "an unterminated quote or comment"};
        const std::string_view run = s.substr(i, end - i);
        i = end;
        if (!HasBreak(run)) {
            out.text.append(run);
        } else if (comment) {
            for (char k : run) out.text.push_back(IsBreak(k) ? ' ' : k);
        } else if (c != '\'') {
            return {"", "a quoted name holds a line break"};
        } else {
            const size_t at = out.text.size();
            const bool national = at > 0 && (out.text[at - 1] == 'N' || out.text[at - 1] == 'n') &&
                                  (at < 2 || !IsWordChar(out.text[at - 2]));
            if (national) out.text.pop_back();
            out.text += LineFreeText(Unquote(run), national);
        }
    }
    const std::string command = FirstSplitterLine(out.text);
    if (!command.empty()) return {"", "a line of it reads as the batch command '" + command + "'"};
    return out;
}

std::optional<std::string> RefusalAsItStands(std::string_view s) {
    if (HasBreak(s)) return std::nullopt;
    for (size_t i = 0; i < s.size();) {
        const char c = s[i];
        const bool comment = c == '/' && i + 1 < s.size() && s[i + 1] == '*';
        if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') break;  // a comment to the end
        if (c != '\'' && c != '[' && c != '"' && !comment) {
            ++i;
            continue;
        }
        i = comment ? CommentEnd(s, i) : QuotedEnd(s, i, c == '[' ? ']' : c);
        if (i == std::string_view::npos) return "an unterminated quote or comment";
    }
    const std::string command = FirstSplitterLine(s);
    if (!command.empty()) return "a line of it reads as the batch command '" + command + "'";
    return std::string();
}

std::vector<std::string> SplitBatches(std::string_view script) {
    std::vector<std::string> batches;
    std::string batch;
    for (size_t from = 0; from < script.size();) {
        size_t end = script.find('\n', from);
        if (end == std::string_view::npos) end = script.size();
        std::string_view line = script.substr(from, end - from);
        from = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const size_t first = line.find_first_not_of(" \t");
        const std::string word = first == std::string_view::npos ? "" : Lower(line.substr(first));
        const size_t count = word.starts_with("go") ? word.find_first_not_of(" \t0123456789", 2) : 0;
        if (word.starts_with("go") && (word.size() == 2 || word[2] == ' ' || word[2] == '\t') &&
            count == std::string::npos) {
            batches.push_back(std::move(batch));
            batch.clear();
            continue;
        }
        batch.append(line).push_back('\n');
    }
    if (batch.find_first_not_of(" \t\r\n") != std::string::npos) batches.push_back(std::move(batch));
    return batches;
}

std::string NameProblem(std::string_view name) {
    for (size_t i = 0; i < name.size();) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        char shown[8];
        if (c < 0x20 || c == 0x7F) {
            std::snprintf(shown, sizeof shown, "\\x%02X", c);
            return std::string("the name holds the control character ") + shown;
        }
        const size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        bool valid = length > 0 && i + length <= name.size() && !(length == 2 && c < 0xC2);
        for (size_t k = 1; valid && k < length; ++k) valid = (static_cast<unsigned char>(name[i + k]) >> 6) == 0x2;
        if (!valid) {
            std::snprintf(shown, sizeof shown, "\\x%02X", c);
            return std::string("the name is not valid UTF-8 (byte ") + shown + ")";
        }
        i += length;
    }
    return "";
}

std::string NameProblemIn(std::string_view mysqlText) {
    std::string found;
    ScanSqlTokens(mysqlText, {}, [&found](const SqlToken& token) {
        if (!found.empty() || (token.kind != SqlTokenKind::QuotedName && token.kind != SqlTokenKind::Word)) return;
        const std::string name = token.kind == SqlTokenKind::QuotedName ? QuotedNameValue(token) : std::string(token.text);
        if (std::string problem = NameProblem(name); !problem.empty()) found = ShownName(name) + ": " + problem;
    });
    return found;
}

}  // namespace velmora
