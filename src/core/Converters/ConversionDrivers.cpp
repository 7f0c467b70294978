#include "Converters/ConversionDrivers.h"

#include <chrono>

#include <optional>
#include <string>
#include <vector>

#include "Converters/ConversionReport.h"
#include "Converters/ForeignKeys.h"
#include "Converters/KeyBuilder.h"
#include "Converters/RowTransfer.h"
#include "Converters/SourceQuery.h"
#include "Converters/TableDefinitionReader.h"
#include "Converters/ViewTranslator.h"
#include "Converters/WorkFiles.h"
#include "MainWindowModel.h"
#include "data/StatementExecution.h"

namespace velmora {
namespace {

std::string Text(std::string_view view) { return std::string(view); }

void Fail(ConversionReport* report, const std::string& what) {
    if (report) report->AddFailure(what);
}

// Writes a key or index text to the work file and, when not empty, runs it on the target.
bool CreateKeys(MainWindowModel& main, WorkFile& file, const std::string& text,
                const char* success, const char* failure) {
    file.Write(text);
    if (text.empty()) return true;
    bool created = ExecuteStatement(main, main.targetSession(), text, 0);
    main.log().WriteText(created ? success : failure);
    return created;
}

// What went wrong in a row copy, for the report.
std::string RowCopyFailure(const RowCopyResult& rows) {
    std::vector<std::string> parts;
    if (rows.text != kTrueText) parts.push_back("the rows could not be read");
    if (rows.rowsFailed > 0) {
        parts.push_back(std::to_string(rows.rowsFailed) + " of " + std::to_string(rows.rowsRead) +
                        " rows failed");
    }
    if (rows.readFailed) {
        parts.push_back("reading the rows failed after " + std::to_string(rows.rowsRead) +
                        " rows");
    }
    if (rows.backupFailed) parts.push_back("the data file could not be written");
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
    return text;
}

}  // namespace

int ConvertDatabaseTables(MainWindowModel& main, Session* source, std::string_view database,
                          ConversionReport* report) {
    main.log().WriteOutputLine("Convert Tables of database [%s]", Text(database).c_str());
    auto tables = ReadSourceCatalog(main, source, "TABLE", "Open tables Error: ");
    if (!tables) {
        Fail(report, "tables of database " + Text(database) + ": the catalog cannot be opened");
        return -1;
    }
    for (const TableRecord& record : *tables) {
        if (record.tableName.find(' ') != std::string::npos) continue;
        if (record.tableType == "VIEW") continue;
        ConvertTable(main, source, database, record.tableName, report);
        if (main.StopRequested()) {
            main.log().WriteText("Tables Converting Terminaled!");
            if (report) report->stopped = true;
            break;
        }
    }
    ConvertForeignKeys(main, source, database, report);
    return 0;
}

int ConvertDatabaseViews(MainWindowModel& main, Session* source, std::string_view database,
                         ConversionReport* report) {
    main.log().WriteOutputLine("Convert Views of database [%s]", Text(database).c_str());
    auto views = ReadSourceCatalog(main, source, "VIEW", "Open views Error: ");
    if (!views) {
        Fail(report, "views of database " + Text(database) + ": the catalog cannot be opened");
        return -1;
    }
    for (const TableRecord& record : *views) {
        if (record.tableType == "VIEW" && record.tableSchema != "sys" &&
            record.tableSchema != "INFORMATION_SCHEMA") {
            ConvertView(main, source, database, record.tableName, report);
        }
        if (main.StopRequested()) {
            main.log().WriteText("Views Converting Terminaled!");
            if (report) report->stopped = true;
            break;
        }
    }
    return 0;
}

int ConvertTable(MainWindowModel& main, Session* source, std::string_view database,
                 std::string_view table, ConversionReport* report) {
    TableReport outcome;
    outcome.name = Text(table);
    outcome.database = Text(database);
    const auto started = std::chrono::steady_clock::now();
    auto finish = [&](int result) {
        outcome.result = result;
        outcome.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        if (report) report->tables.push_back(outcome);
        return result;
    };
    WorkFile file = OpenWorkFile(table, "w+");
    if (!file) {
        main.log().WriteText(kCharacterSetText);
        Fail(report, "table " + outcome.name + ": its work file cannot be opened");
        return finish(-2);
    }
    const std::string db = Text(database);
    main.log().WriteOutputLine("TABLE: [%s].[%s] Converting..... ", db.c_str(),
                               outcome.name.c_str());
    std::string definition = TranslateTableDefinition(source, database, table, main);
    file.Write(definition);
    if (!ExecuteStatement(main, main.targetSession(), definition, 0)) {
        main.log().WriteOutputLine("TABLE: Create [%s].[%s] ERROR !", db.c_str(),
                                   outcome.name.c_str());
        Fail(report, "table " + outcome.name + ": create failed");
        return finish(-1);
    }
    main.log().WriteOutputLine("Create table [%s] SUCCESSFULLY!!!", outcome.name.c_str());
    std::string primaryKey =
        BuildPrimaryKeyStatement(main, main.sourceSession(), main.targetSession(), table);
    if (!CreateKeys(main, file, primaryKey, "Create PRIMARY KEY SUCCESSFULLY!!!",
                    "Create PK failure!")) {
        outcome.primaryKeyFailed = true;
        Fail(report, "table " + outcome.name + ": primary key failed");
    }
    std::string indexes =
        BuildUniqueIndexStatements(main, main.sourceSession(), main.targetSession(), table);
    if (!CreateKeys(main, file, indexes, "Create Index SUCCESSFULLY!!!", "Create Index failure!")) {
        outcome.indexesFailed = true;
        Fail(report, "table " + outcome.name + ": indexes failed");
    }
    outcome.rows =
        CopyTableRows(main, main.sourceSession(), main.targetSession(), database, table);
    if (!outcome.rows.Succeeded()) {
        Fail(report, "table " + outcome.name + ": " + RowCopyFailure(outcome.rows));
    }
    if (!file.Close()) {
        main.log().WriteOutputLine("[%s] The work file could not be written completely!",
                                   outcome.name.c_str());
    }
    return finish(1);
}

bool ConvertView(MainWindowModel& main, Session* source, std::string_view database,
                 std::string_view view, ConversionReport* report) {
    const std::string name = Text(view);
    WorkFile file = OpenWorkFile(name + ".vw", "w+");
    if (!file) {
        main.log().WriteText(kCharacterSetText);
        Fail(report, "view " + name + ": its work file cannot be opened");
        return false;
    }
    main.log().WriteOutputLine("VIEW: [%s].[%s] Converting..... ", Text(database).c_str(),
                               name.c_str());
    std::string statement = TranslateViewDefinition(source, database, view, main);
    file.Write(statement);
    if (!ExecuteStatement(main, main.targetSession(), statement, 0)) {
        main.log().WriteOutputLine("Create VIEW [%s] failure!!!", name.c_str());
        Fail(report, "view " + name + ": create failed");
        return false;
    }
    main.log().WriteOutputLine("Create VIEW [%s] SUCCESSFULLY!!!", name.c_str());
    if (report) report->viewsCreated.push_back(name);
    return true;
}

}  // namespace velmora
