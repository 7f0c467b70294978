#include "Converters/KeyBuilder.h"

#include <strings.h>

#include "translation/Naming.h"
#include "Converters/SourceQuery.h"
#include "tasks/OperationLog.h"

namespace velmora {
namespace {

// Columns of "show indexes", 0-based.
constexpr int kNonUniqueColumn = 1;
constexpr int kKeyNameColumn = 2;
constexpr int kColumnNameColumn = 4;

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// Runs an index query and collects its rows; false with `failure` set when it failed.
bool ReadIndexRows(OperationLog& log, Session* source, const std::string& query,
                   std::vector<IndexColumnRow>& rows, std::string& failure,
                   std::string* readFailure) {
    SourceQuery result(log, source, query);
    if (!result.ok()) {
        failure = result.failureText();
        if (readFailure) *readFailure = result.reason();
        return false;
    }
    while (result.Next()) {
        IndexColumnRow row;
        row.keyName = result.Value(kKeyNameColumn);
        row.columnName = result.Value(kColumnNameColumn);
        row.nonUnique = result.Value(kNonUniqueColumn) != "0";
        rows.push_back(std::move(row));
    }
    if (result.fetchFailed()) {
        failure = result.rows().ProviderErrorText();
        if (readFailure) *readFailure = result.rows().MostInformativeError();
        return false;
    }
    return true;
}

std::string IndexHeader(const IndexColumnRow& row, std::string_view table) {
    std::string header = row.nonUnique ? "CREATE INDEX " : "CREATE UNIQUE INDEX ";
    return header + QuoteTargetName(row.keyName) + " ON " + TargetTableInQuotes(table) + " (" +
           QuoteTargetName(row.columnName);
}

}  // namespace

std::string TargetTableInQuotes(std::string_view table) {
    std::string quoted = QuoteTargetName(table);
    if (!quoted.empty() && quoted.front() == '[') return quoted;
    return "\"" + quoted + "\"";
}

std::string PrimaryKeyQuery(std::string_view table) {
    return "show indexes from " + QuoteSourceName(table) + " where Key_name='PRIMARY'";
}

std::string IndexQuery(std::string_view table) {
    return "show indexes from " + QuoteSourceName(table) +
           " where Key_name!='PRIMARY' \t\tand Key_Name not in (select Column_name FROM "
           "INFORMATION_SCHEMA.KEY_COLUMN_USAGE \t\tWHERE TABLE_NAME=" +
           SourceStringLiteral(table) + ")";
}

std::string PrimaryKeyStatementFromRows(std::string_view table,
                                        const std::vector<IndexColumnRow>& rows) {
    if (rows.empty()) return {};
    std::string statement = "ALTER TABLE " + TargetTableInQuotes(table) + " add PRIMARY KEY (";
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i > 0) statement += ", ";
        statement += QuoteTargetName(rows[i].columnName);
    }
    return statement + ")\n";
}

std::string IndexStatementsFromRows(std::string_view table,
                                    const std::vector<IndexColumnRow>& rows) {
    if (rows.empty()) return {};
    std::string text = IndexHeader(rows.front(), table);
    std::string current = rows.front().keyName;
    for (size_t i = 1; i < rows.size(); ++i) {
        const IndexColumnRow& row = rows[i];
        if (!SameNameIgnoringCase(row.keyName, current)) {
            text += ");\n" + IndexHeader(row, table);
            current = row.keyName;
        } else {
            text += ", " + QuoteTargetName(row.columnName);
        }
    }
    return text + ")\n";
}

std::string BuildPrimaryKeyStatement(OperationLog& log, Session* source, Session* /*target*/,
                                     std::string_view table, std::string* readFailure) {
    std::vector<IndexColumnRow> rows;
    std::string failure;
    if (!ReadIndexRows(log, source, PrimaryKeyQuery(table), rows, failure, readFailure)) {
        return failure;
    }
    return PrimaryKeyStatementFromRows(table, rows);
}

std::string BuildUniqueIndexStatements(OperationLog& log, Session* source,
                                       Session* /*target*/, std::string_view table,
                                       std::string* readFailure) {
    std::vector<IndexColumnRow> rows;
    std::string failure;
    if (!ReadIndexRows(log, source, IndexQuery(table), rows, failure, readFailure)) {
        return failure;
    }
    return IndexStatementsFromRows(table, rows);
}

}  // namespace velmora
