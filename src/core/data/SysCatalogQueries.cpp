#include "data/SysCatalogQueries.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>
#include <utility>

#include "data/OdbcStatement.h"

namespace velmora {
namespace {

// SQL Server's own type codes (msodbcsql.h), which no unixODBC header defines.
constexpr int16_t kSqlServerTime = -154, kSqlServerDateTimeOffset = -155, kSqlServerXml = -152;

// `text` between `open` and `close`, the closing character doubled inside.
std::string Quoted(std::string_view text, std::string_view open, char close) {
    std::string quoted(open);
    for (char c : text) {
        quoted += c;
        if (c == close) quoted += close;
    }
    return quoted + close;
}

std::string Bracketed(std::string_view name) { return Quoted(name, "[", ']'); }
std::string Unicode(std::string_view text) { return Quoted(text, "N'", '\''); }

// "sys.<view>" in the current database, or "[db].sys.<view>" in another.
std::string SysView(const CatalogRestriction& catalog, std::string_view view) {
    std::string name = "sys." + std::string(view);
    return catalog && !catalog->empty() ? Bracketed(*catalog) + "." + name : name;
}

// " AND <column> = N'<value>'" for a present restriction.
std::string Equals(std::string_view column, const CatalogRestriction& value) {
    return value ? " AND " + std::string(column) + " = " + Unicode(*value) : std::string();
}

bool SameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::string SysTablesQuery(const CatalogRestriction& catalog, const CatalogRestriction& schema,
                           const CatalogRestriction& table, const CatalogRestriction& type) {
    auto part = [&](std::string_view view, std::string_view typeName) {
        return "SELECT s.name AS table_schema, o.name AS table_name, '" + std::string(typeName) +
               "' AS table_type FROM " + SysView(catalog, view) + " o JOIN " + SysView(catalog, "schemas") +
               " s ON s.schema_id = o.schema_id WHERE o.is_ms_shipped = 0" + Equals("s.name", schema) +
               Equals("o.name", table);
    };
    bool tables = !type || SameNoCase(*type, "TABLE");
    bool views = !type || SameNoCase(*type, "VIEW");
    std::string query;
    if (tables) query = part("tables", "TABLE");
    if (views) query += (query.empty() ? "" : " UNION ALL ") + part("views", "VIEW");
    if (query.empty()) return "SELECT N'' AS table_schema, N'' AS table_name, '' AS table_type WHERE 1 = 0";
    return query + " ORDER BY table_type, table_schema, table_name";
}

std::string SysColumnsQuery(const CatalogRestriction& catalog, const CatalogRestriction& schema,
                            const CatalogRestriction& table, const CatalogRestriction& column) {
    return "SELECT s.name, o.name, c.name, c.column_id, ty.name, c.max_length, c.precision, c.scale, "
           "c.is_nullable, d.definition FROM " + SysView(catalog, "columns") + " c JOIN " +
           SysView(catalog, "objects") + " o ON o.object_id = c.object_id JOIN " + SysView(catalog, "schemas") +
           " s ON s.schema_id = o.schema_id JOIN " + SysView(catalog, "types") +
           " ty ON ty.user_type_id = c.user_type_id LEFT JOIN " + SysView(catalog, "default_constraints") +
           " d ON d.object_id = c.default_object_id WHERE o.type IN ('U', 'V') AND o.is_ms_shipped = 0" +
           Equals("s.name", schema) + Equals("o.name", table) + Equals("c.name", column) +
           " ORDER BY s.name, o.name, c.column_id";
}

std::string SysIndexesQuery(const CatalogRestriction& catalog, const CatalogRestriction& schema,
                            const CatalogRestriction& index, const CatalogRestriction& table) {
    return "SELECT s.name, t.name, i.name, i.is_primary_key, i.is_unique, ic.key_ordinal, c.name FROM " +
           SysView(catalog, "indexes") + " i JOIN " + SysView(catalog, "tables") +
           " t ON t.object_id = i.object_id JOIN " + SysView(catalog, "schemas") +
           " s ON s.schema_id = t.schema_id JOIN " + SysView(catalog, "index_columns") +
           " ic ON ic.object_id = i.object_id AND ic.index_id = i.index_id JOIN " + SysView(catalog, "columns") +
           " c ON c.object_id = ic.object_id AND c.column_id = ic.column_id WHERE i.index_id > 0 AND "
           "ic.key_ordinal > 0 AND t.is_ms_shipped = 0" +
           Equals("s.name", schema) + Equals("i.name", index) + Equals("t.name", table) +
           " ORDER BY s.name, t.name, i.name, ic.key_ordinal";
}

int16_t SqlTypeOfServerType(std::string_view typeName) {
    static const std::pair<const char*, int16_t> kTypes[] = {
        {"bigint", SQL_BIGINT},       {"int", SQL_INTEGER},           {"smallint", SQL_SMALLINT},
        {"tinyint", SQL_TINYINT},     {"bit", SQL_BIT},               {"decimal", SQL_DECIMAL},
        {"numeric", SQL_NUMERIC},     {"money", SQL_DECIMAL},         {"smallmoney", SQL_DECIMAL},
        {"float", SQL_FLOAT},         {"real", SQL_REAL},             {"date", SQL_TYPE_DATE},
        {"time", kSqlServerTime},     {"datetime", SQL_TYPE_TIMESTAMP}, {"datetime2", SQL_TYPE_TIMESTAMP},
        {"smalldatetime", SQL_TYPE_TIMESTAMP}, {"datetimeoffset", kSqlServerDateTimeOffset},
        {"char", SQL_CHAR},           {"varchar", SQL_VARCHAR},       {"text", SQL_LONGVARCHAR},
        {"nchar", SQL_WCHAR},         {"nvarchar", SQL_WVARCHAR},     {"ntext", SQL_WLONGVARCHAR},
        {"sysname", SQL_WVARCHAR},    {"binary", SQL_BINARY},         {"varbinary", SQL_VARBINARY},
        {"image", SQL_LONGVARBINARY}, {"timestamp", SQL_BINARY},      {"rowversion", SQL_BINARY},
        {"uniqueidentifier", SQL_GUID}, {"xml", kSqlServerXml},
    };
    for (const auto& [name, code] : kTypes) {
        if (SameNoCase(typeName, name)) return code;
    }
    return 0;
}

bool RunSysCatalogQuery(const std::shared_ptr<OdbcLink>& link, const std::string& query,
                        const std::function<void(const SysCatalogRow&)>& row, std::string& error) {
    OdbcStatementRowset statement(link);
    ResultCode result = statement.Create(query);
    if (result >= 0) result = statement.Execute(StandardRowsetProperties());
    if (result >= 0 && statement.HasRowset()) result = statement.BindAllAsText(true);
    if (result < 0 || !statement.HasRowset()) {
        error = statement.MostInformativeError();
        return false;
    }
    SysCatalogRow values;
    while ((result = statement.MoveNext()) == kSuccess) {
        values.assign(static_cast<size_t>(statement.ColumnCount()), std::nullopt);
        for (int i = 0; i < statement.ColumnCount(); ++i) {
            if (!statement.IsNull(i)) values[static_cast<size_t>(i)] = std::string(statement.Value(i));
        }
        row(values);
    }
    if (result < 0) {
        error = statement.MostInformativeError();
        return false;
    }
    statement.Close();
    return true;
}

bool AnswersFromSysViews(const OdbcLink& link) {
    return link.dbmsName.find("SQL Server") != std::string::npos;
}

}  // namespace velmora
