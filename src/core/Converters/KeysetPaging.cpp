#include "Converters/KeysetPaging.h"

#include <strings.h>

#include <algorithm>
#include <map>

#include "translation/Naming.h"
#include "Converters/SourceQuery.h"
#include "translation/ValueLiterals.h"

namespace velmora {
namespace {

constexpr size_t kPageBytes = 4u << 20;
constexpr long long kMaxPageRows = 10000;

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::optional<PagingKey> KeyOf(const std::string& name,
                               const std::vector<IndexDescription>& indexes,
                               const std::map<std::string, std::string>& typeOf) {
    PagingKey key;
    key.indexName = name;
    for (const IndexDescription& row : indexes) {
        if (row.keyName != name) continue;
        if (row.nullable) return std::nullopt;
        auto type = typeOf.find(LowerAscii(row.columnName));
        if (type == typeOf.end()) return std::nullopt;
        std::optional<KeyValueKind> kind = KeyKindOfType(type->second);
        if (!kind) return std::nullopt;
        key.columns.push_back(row.columnName);
        key.kinds.push_back(*kind);
    }
    if (key.columns.empty()) return std::nullopt;
    return key;
}

}  // namespace

std::optional<KeyValueKind> KeyKindOfType(std::string_view mysqlType) {
    std::string type = LowerAscii(mysqlType);
    std::string word = type.substr(0, type.find_first_of("( "));
    static const std::map<std::string, KeyValueKind> kinds = {
        {"tinyint", KeyValueKind::Number}, {"smallint", KeyValueKind::Number},
        {"mediumint", KeyValueKind::Number}, {"int", KeyValueKind::Number},
        {"integer", KeyValueKind::Number}, {"bigint", KeyValueKind::Number},
        {"decimal", KeyValueKind::Number}, {"numeric", KeyValueKind::Number},
        {"char", KeyValueKind::Text}, {"varchar", KeyValueKind::Text},
        {"date", KeyValueKind::Text}, {"datetime", KeyValueKind::Text},
        {"time", KeyValueKind::Text}, {"year", KeyValueKind::Text},
        {"binary", KeyValueKind::Binary}, {"varbinary", KeyValueKind::Binary},
    };
    auto found = kinds.find(word);
    if (found == kinds.end()) return std::nullopt;
    return found->second;
}

std::optional<PagingKey> ChoosePagingKey(const std::vector<IndexDescription>& indexes,
                                         const std::vector<ColumnDescription>& columns) {
    std::map<std::string, std::string> typeOf;
    for (const ColumnDescription& column : columns) typeOf[LowerAscii(column.name)] = column.type;
    if (auto primary = KeyOf("PRIMARY", indexes, typeOf)) return primary;
    std::vector<std::string> tried;
    for (const IndexDescription& row : indexes) {
        if (row.nonUnique || row.keyName == "PRIMARY") continue;
        if (std::find(tried.begin(), tried.end(), row.keyName) != tried.end()) continue;
        tried.push_back(row.keyName);
        if (auto key = KeyOf(row.keyName, indexes, typeOf)) return key;
    }
    return std::nullopt;
}

std::optional<PagingKey> FindPagingKey(OperationLog& log, Session* source,
                                       std::string_view table, bool& readable) {
    readable = false;
    std::vector<IndexDescription> indexes;
    {
        SourceQuery query(log, source, "show indexes from " + QuoteSourceName(table), false);
        if (!query.ok()) return std::nullopt;
        while (query.Next()) {
            // Non_unique, Key_name, Column_name and Null ("YES" when nullable).
            indexes.push_back({std::string(query.Value(2)), std::string(query.Value(4)),
                               query.Value(1) != "0", query.Value(9) == "YES"});
        }
        if (query.fetchFailed()) return std::nullopt;
    }
    std::vector<ColumnDescription> columns;
    {
        SourceQuery query(log, source, "show columns from " + QuoteSourceName(table), false);
        if (!query.ok()) return std::nullopt;
        while (query.Next()) {
            columns.push_back({std::string(query.Value(0)), std::string(query.Value(1))});
        }
        if (query.fetchFailed()) return std::nullopt;
    }
    readable = true;
    return ChoosePagingKey(indexes, columns);
}

std::string KeyValueLiteral(KeyValueKind kind, std::string_view value) {
    switch (kind) {
        case KeyValueKind::Number:
            if (IsNumericLiteral(value)) return std::string(value);
            break;
        case KeyValueKind::Binary:
            return "X'" + std::string(value) + "'";
        case KeyValueKind::Text:
            break;
    }
    return SourceStringLiteral(value);
}

std::string PageQuery(std::string_view table, std::string_view condition, const PagingKey& key,
                      const std::vector<std::string>& after, long long limit,
                      std::string_view selectList) {
    std::string query = "select " + std::string(selectList) + " from " + QuoteSourceName(table);
    std::vector<std::string> filters;
    // The line feed ends a trailing "-- comment" of the condition before the parenthesis.
    if (!condition.empty()) filters.push_back("(" + std::string(condition) + "\n)");
    if (!after.empty()) {
        // (k1 > v1) or (k1 = v1 and k2 > v2) or ...: ranges the server reads from the index.
        std::string disjunction;
        for (size_t i = 0; i < key.columns.size(); ++i) {
            std::string term;
            for (size_t j = 0; j <= i; ++j) {
                if (j > 0) term += " and ";
                term += QuoteSourceName(key.columns[j]) + (j == i ? " > " : " = ") +
                        KeyValueLiteral(key.kinds[j], after[j]);
            }
            disjunction += (i > 0 ? " or (" : "(") + term + ")";
        }
        filters.push_back("(" + disjunction + ")");
    }
    for (size_t i = 0; i < filters.size(); ++i) query += (i == 0 ? " where " : " and ") + filters[i];
    query += " order by ";
    for (size_t i = 0; i < key.columns.size(); ++i) {
        query += (i > 0 ? ", " : "") + QuoteSourceName(key.columns[i]);
    }
    return query + " limit " + std::to_string(limit);
}

long long NextPageRows(long long rows, size_t bytes) {
    if (rows <= 0 || bytes == 0) return kMaxPageRows;
    double perRow = static_cast<double>(bytes) / static_cast<double>(rows);
    auto next = static_cast<long long>(static_cast<double>(kPageBytes) / std::max(perRow, 1.0));
    return std::clamp(next, 1LL, kMaxPageRows);
}

}  // namespace velmora
