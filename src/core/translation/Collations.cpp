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

}  // namespace velmora
