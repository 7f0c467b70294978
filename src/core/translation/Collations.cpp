#include "translation/Collations.h"

#include <vector>

#include "translation/SqlParser.h"

namespace velmora {
namespace {

// The collation's name split at its underscores: "utf8mb4_0900_as_cs" -> utf8mb4, 0900, as, cs.
std::vector<std::string> Words(std::string_view name) {
    std::vector<std::string> words(1);
    for (char c : name) {
        if (c == '_') words.emplace_back();
        else words.back().push_back(c);
    }
    return words;
}

bool Has(const std::vector<std::string>& words, std::string_view word) {
    for (size_t i = 1; i < words.size(); ++i) {
        if (words[i] == word) return true;
    }
    return false;
}

}  // namespace

std::string TargetCollation(std::string_view mysqlCollation) {
    const std::string name = LowerAscii(mysqlCollation);
    if (name.empty()) return "";
    if (name == "binary") return "Latin1_General_100_BIN2";
    const std::vector<std::string> words = Words(name);
    if (Has(words, "bin")) return "Latin1_General_100_BIN2";
    const bool caseSensitive = Has(words, "cs");
    const bool caseInsensitive = Has(words, "ci");
    if (!caseSensitive && !caseInsensitive) return "";
    if (caseSensitive) return Has(words, "ai") ? "Latin1_General_CS_AI" : "Latin1_General_CS_AS";
    if (Has(words, "as") || name == "latin1_general_ci") return "Latin1_General_CI_AS";
    return "Latin1_General_CI_AI";
}

bool IsNoPadCollation(std::string_view mysqlCollation) {
    const std::vector<std::string> words = Words(LowerAscii(mysqlCollation));
    return Has(words, "nopad") || Has(words, "0900");
}

bool IsCollatedColumn(const ColumnModel& column) {
    const std::string& t = column.baseType;
    if (t == "json") return false;
    return t.find("char") != std::string::npos || t.find("text") != std::string::npos || t == "enum" || t == "set" ||
           t == "long" || t == "clob";
}

std::string SourceCollationOf(const ColumnModel& column, const TableOptions& table) {
    if (!IsCollatedColumn(column)) return "";
    if (!column.collation.empty()) return column.collation;
    // The definition leaves out a collation that is its character set's default.
    auto defaultOf = [](const std::string& charset) -> std::string {
        if (charset.empty()) return "";
        if (charset == "binary") return "binary";
        return charset + (charset == "latin1" ? "_swedish_ci" : "_general_ci");
    };
    if (!column.charset.empty() && column.charset != table.charset) return defaultOf(column.charset);
    return table.collation.empty() ? defaultOf(table.charset) : table.collation;
}

namespace {

std::string CharsetOfCollation(const std::string& collation) { return collation.substr(0, collation.find('_')); }

bool IsUnicodeCharset(const std::string& charset) {
    return charset == "utf8" || charset == "utf8mb3" || charset == "utf8mb4" || charset == "ucs2" || charset == "utf16" ||
           charset == "utf16le" || charset == "utf32";
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Of two collations, the one MySQL's coercion picks; empty for a mix it refuses.
std::string Coerce(const std::string& a, const std::string& b) {
    if (a == b) return a;
    const std::string ca = CharsetOfCollation(a), cb = CharsetOfCollation(b);
    if (ca == cb) return EndsWith(a, "_bin") ? a : EndsWith(b, "_bin") ? b : "";
    if (IsUnicodeCharset(ca) != IsUnicodeCharset(cb)) return IsUnicodeCharset(ca) ? a : b;
    if (ca == "utf8mb4" || cb == "utf8mb4") return ca == "utf8mb4" ? a : b;
    return "";
}

}  // namespace

std::string CoercedCollation(const std::vector<std::string>& collations) {
    std::string winner;
    for (const std::string& collation : collations) {
        if (collation.empty()) continue;
        winner = winner.empty() ? collation : Coerce(winner, collation);
        if (winner.empty()) return "";
    }
    return winner;
}

}  // namespace velmora
