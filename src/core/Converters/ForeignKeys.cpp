#include "Converters/ForeignKeys.h"

#include <strings.h>

#include <cstdio>

#include "Converters/ConversionReport.h"
#include "Converters/KeyBuilder.h"
#include "translation/Naming.h"
#include "Converters/Resume.h"
#include "Converters/SourceQuery.h"
#include "Converters/WorkFiles.h"
#include "Converters/WorkerContext.h"
#include "data/StatementExecution.h"

namespace velmora {
namespace {

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string ConstraintHeader(std::string_view table) {
    return "Alter Table " + TargetTableInQuotes(table) + " ADD CONSTRAINT ";
}

std::string References(const ForeignKeyRow& row) {
    return " REFERENCES " + QuoteTargetName(row.referencedTable) + "(" +
           QuoteTargetName(row.referencedColumn);
}

std::string ConstraintStart(const ForeignKeyRow& row) {
    return QuoteTargetName(row.constraintName) + " FOREIGN KEY (" + QuoteTargetName(row.columnName);
}

// The rows of the keys the target does not hold yet, by name (a resumed migration); each key
// found is a line.
std::vector<ForeignKeyRow> MissingOnTarget(WorkerContext& context, std::string_view table,
                                           std::vector<ForeignKeyRow> rows) {
    std::vector<ForeignKeyRow> missing;
    std::string current;
    bool exists = false;
    for (ForeignKeyRow& row : rows) {
        if (current.empty() || !SameNameIgnoringCase(row.constraintName, current)) {
            current = row.constraintName;
            exists = TargetForeignKeyExists(context, table, current);
            if (exists) {
                context.Log().WriteOutputLine("[%s] resume: its foreign key %s exists already: not created again",
                                              std::string(table).c_str(), current.c_str());
            }
        }
        if (!exists) missing.push_back(std::move(row));
    }
    return missing;
}

}  // namespace

std::string ForeignKeyQuery(std::string_view database, std::string_view table) {
    return "SELECT CONSTRAINT_NAME,TABLE_NAME,COLUMN_NAME,REFERENCED_TABLE_NAME,"
           "REFERENCED_COLUMN_NAME \t\tFROM INFORMATION_SCHEMA.KEY_COLUMN_USAGE \t\tWHERE "
           "REFERENCED_TABLE_SCHEMA = " +
           SourceStringLiteral(database) + " and TABLE_NAME=" + SourceStringLiteral(table) +
           " \t\tAND TABLE_SCHEMA = REFERENCED_TABLE_SCHEMA \t\tAND REFERENCED_TABLE_NAME IS NOT "
           "NULL \t\tORDER BY TABLE_NAME, CONSTRAINT_NAME, ORDINAL_POSITION";
}

std::string ForeignKeyStatementsFromRows(std::string_view table,
                                         const std::vector<ForeignKeyRow>& rows) {
    if (rows.empty()) return {};
    std::string main = ConstraintHeader(table) + ConstraintStart(rows.front());
    std::string references = References(rows.front());
    std::string current = rows.front().constraintName;
    for (size_t i = 1; i < rows.size(); ++i) {
        const ForeignKeyRow& row = rows[i];
        if (!SameNameIgnoringCase(row.constraintName, current)) {
            references += ");\n";
            main += ")\n" + references + ConstraintHeader(table) + ConstraintStart(row);
            references = References(row);
            current = row.constraintName;
        } else {
            main += ", " + QuoteTargetName(row.columnName);
            references += ", " + QuoteTargetName(row.referencedColumn);
        }
    }
    references += ")\n";
    return main + ")\n" + references;
}

std::string BuildForeignKeyStatements(OperationLog& log, Session* source, Session* /*target*/,
                                      std::string_view database, std::string_view table,
                                      std::string* readFailure, WorkerContext* resumed) {
    SourceQuery query(log, source, ForeignKeyQuery(database, table));
    if (!query.ok()) {
        if (readFailure) *readFailure = query.reason();
        return query.failureText();
    }
    std::vector<ForeignKeyRow> rows;
    while (query.Next()) {
        rows.push_back({std::string(query.Value(0)), std::string(query.Value(2)),
                        std::string(query.Value(3)), std::string(query.Value(4))});
    }
    if (query.fetchFailed()) {
        if (readFailure) *readFailure = query.rows().MostInformativeError();
        return "FALSE";
    }
    if (resumed) rows = MissingOnTarget(*resumed, table, std::move(rows));
    return ForeignKeyStatementsFromRows(table, rows);
}

void ConvertForeignKeys(WorkerContext& context, std::string_view database,
                        ConversionReport* report) {
    OperationLog& log = context.Log();
    Session* source = context.SourceSession();
    log.WriteOutputLine("Convert Foreign Keys of database [%.*s]",
                               static_cast<int>(database.size()), database.data());
    auto catalog = ReadSourceCatalog(log, source, "TABLE", "Open tables Error: ");
    if (!catalog) {
        if (report) report->AddFailure("foreign keys of database " + std::string(database) +
                                       ": the table list could not be opened");
        return;
    }
    for (const TableRecord& record : *catalog) {
        const std::string& table = record.tableName;
        if (table.find(' ') != std::string::npos || record.tableType == "VIEW") continue;
        WorkFile file = OpenWorkFile(context.workFolder, table, "a+");
        if (!file) {
            log.WriteText(kCharacterSetText);
            if (report) report->AddFailure("table " + table + ": work file could not be opened");
            continue;
        }
        std::string readFailure;
        std::string text = BuildForeignKeyStatements(log, source, context.TargetSession(),
                                                     database, table, &readFailure,
                                                     context.options.resume ? &context : nullptr);
        if (!readFailure.empty()) {
            // A failed read is never run as a statement nor written as one.
            log.WriteText("Create FK failure!");
            log.WriteText(readFailure);
            if (report) report->AddFailure("table " + table + ": foreign keys could not be read");
            continue;
        }
        file.Write(text);
        if (text.empty()) continue;
        std::string why;
        bool created = ExecuteStatement(log, context.TargetSession(), text, 0, &why);
        if (report) {
            TableReport entry;
            entry.kind = "foreign keys";
            entry.database = std::string(database);
            entry.name = table;
            entry.result = created ? 1 : -1;
            entry.failure = created ? "" : why;
            entry.rows.text = "TRUE";
            report->tables.push_back(std::move(entry));
        }
        if (created) {
            log.WriteText("Create FOREIGN KEY SUCCESSFULLY!!!");
        } else {
            log.WriteText("Create FK failure!");
            log.WriteText(why);
            if (report) report->AddFailure("table " + table + ": foreign keys failed");
        }
    }
}

}  // namespace velmora
