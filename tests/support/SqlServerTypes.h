// SqlServerTypes: SQL Server's own list of data type names, and the column types a CREATE TABLE
// text uses. The T-SQL grammar accepts any name as a type, so tests and the corpus tool check the
// names against this list themselves. Header-only; any thread.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::test {

inline bool IsSqlServerTypeName(std::string_view name) {
    static const char* const kTypes[] = {
        "bigint", "int", "smallint", "tinyint", "bit", "decimal", "numeric", "money", "smallmoney",
        "float", "real", "date", "datetime2", "datetime", "datetimeoffset", "smalldatetime", "time",
        "char", "varchar", "text", "nchar", "nvarchar", "ntext", "binary", "varbinary", "image",
        "rowversion", "hierarchyid", "uniqueidentifier", "sql_variant", "xml", "geometry",
        "geography", "sysname"};
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::any_of(std::begin(kTypes), std::end(kTypes), [&](const char* t) { return lower == t; });
}

// The type names of the column lines of a CREATE TABLE text written one column per line
// ("  [name] type..." or "  [name] AS CAST(... AS type)"); key and CHECK lines are passed over.
inline std::vector<std::string> ColumnTypeNames(const std::string& createTable) {
    std::vector<std::string> types;
    size_t at = createTable.find('\n');
    while (at != std::string::npos && at + 1 < createTable.size()) {
        size_t end = createTable.find('\n', at + 1);
        std::string line = createTable.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
        at = end;
        if (line.rfind("  ", 0) != 0) continue;
        line.erase(0, 2);
        if (line.rfind("PRIMARY KEY", 0) == 0 || line.rfind("CHECK", 0) == 0 || line.rfind("CONSTRAINT", 0) == 0) continue;
        size_t nameEnd = 0;
        if (line[0] == '[') {
            for (nameEnd = 1; nameEnd < line.size(); ++nameEnd) {
                if (line[nameEnd] == ']') {
                    if (nameEnd + 1 < line.size() && line[nameEnd + 1] == ']') { ++nameEnd; continue; }
                    ++nameEnd;
                    break;
                }
            }
        } else {
            nameEnd = line.find(' ');
        }
        std::string rest = nameEnd < line.size() ? line.substr(nameEnd + 1) : "";
        if (rest.rfind("AS CAST(", 0) == 0) {
            size_t as = rest.rfind(" AS ");
            rest = as == std::string::npos ? rest : rest.substr(as + 4);
        }
        size_t stop = rest.find_first_of(" (),");
        types.push_back(rest.substr(0, stop));
    }
    return types;
}

}  // namespace velmora::test
