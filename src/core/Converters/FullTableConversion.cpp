#include "Converters/FullTableConversion.h"

#include "Converters/RefusalNote.h"

#include <cstdio>
#include <functional>
#include <string>

#include "translation/CreateTableParser.h"
#include "translation/FullTableTranslator.h"
#include "Converters/FullRowTransfer.h"
#include "translation/Naming.h"
#include "Converters/Resume.h"
#include "Converters/SourceQuery.h"
#include "Converters/TaskChoices.h"
#include "Converters/TableDefinitionReader.h"
#include "Converters/WorkerContext.h"
#include "data/StatementExecution.h"

namespace velmora {
namespace {

void Fail(ConversionReport* report, const std::string& what) {
    if (report) report->AddFailure(what);
}

// One line per adjustment, and the table's report keeps it.
void Adjusted(WorkerContext& context, TableReport& outcome, const std::string& text) {
    context.Log().WriteOutputLine("[%s] ADJUSTED %s", outcome.name.c_str(), text.c_str());
    outcome.adjustments.push_back(text);
}

// Writes a statement to the work file and runs it; on failure the reason is in `why`.
bool Run(WorkerContext& context, WorkFile& file, const std::string& statement, std::string& why) {
    file.Write(statement);
    file.Write("\n");
    return ExecuteStatement(context.Log(), context.TargetSession(), statement, 0, &why);
}

void CreateIndexes(WorkerContext& context, WorkFile& file, const FullTableTranslation& table,
                   TableReport& outcome, ConversionReport* report) {
    OperationLog& log = context.Log();
    for (const std::string& index : table.indexes) {
        std::string why;
        if (Run(context, file, index, why)) {
            log.WriteText("Create Index SUCCESSFULLY!!!");
        } else {
            log.WriteGroup({"Create Index failure!", why});
            outcome.indexesFailed = true;
            outcome.StepFailed("index", why);
            Fail(report, "table " + outcome.name + ": an index failed: " + why);
        }
    }
}

// Comments become MS_Description properties where the target takes them; a refusal fails nothing.
void AddComments(WorkerContext& context, WorkFile& file, const FullTableTranslation& table,
                 TableReport& outcome) {
    for (const std::string& comment : table.comments) {
        std::string why;
        if (!Run(context, file, comment, why)) {
            Adjusted(context, outcome, "a comment was not kept: " + why);
        }
    }
}

// The definitions of the tables whose identity keys this table's foreign keys may hold (see
// MarkIdentityKeyColumns); a table that cannot be read is left out, its keys keep their type.
ReferencedTables ReferencedDefinitions(WorkerContext& context, const std::string& definition) {
    ReferencedTables referenced;
    ParsedTable parsed = ParseCreateTable(definition);
    if (!parsed.ok()) return referenced;
    for (const std::string& table : TablesReferencedByUnsignedKeys(parsed.table)) {
        std::string why;
        std::string text = ReadDefinition(context.Log(), context.SourceSession(), ShowCreateTableStatement(table), &why);
        if (why.empty()) referenced.emplace(table, std::move(text));
    }
    return referenced;
}

// Babelfish ignores SET IDENTITY_INSERT on a table whose name holds a blank (every copied
// identity value is then refused). Such a table is created and loaded under a plain name and
// renamed when its rows are in; the name for that, or "" where it is not needed.
std::string LoadingName(const WorkerContext& context, const FullTableTranslation& translation) {
    if (context.targetKind != TargetKind::Babelfish || !translation.hasIdentity ||
        translation.tableName.find(' ') == std::string::npos) {
        return "";
    }
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016zx", std::hash<std::string>{}(translation.tableName));
    return "velmora_load_" + std::string(hash);
}

// Creates the table under `loading`, copies its rows there and renames it to its own name
// (a leftover of a stopped run under that name goes first). False with `why` when a step failed.
bool LoadUnderPlainName(WorkerContext& context, WorkFile& file, std::string_view database,
                        const FullTableTranslation& translation, const std::string& loading,
                        TableReport& outcome, std::string& why) {
    context.Log().WriteOutputLine("[%s] loaded as %s and renamed: the server ignores IDENTITY_INSERT on a name "
                                  "with a blank", outcome.name.c_str(), loading.c_str());
    FullTableTranslation staged = translation;
    staged.tableName = loading;
    staged.targetName = TargetObjectName(context.options.targetSchema, loading);
    const std::string created = "CREATE TABLE " + translation.targetName + " (";
    staged.createTable = "CREATE TABLE " + staged.targetName + " (" + translation.createTable.substr(created.size());
    if (!Run(context, file, "IF OBJECT_ID(N" + QuoteTargetString(staged.targetName) + ") IS NOT NULL DROP TABLE " + staged.targetName, why) ||
        !Run(context, file, staged.createTable, why)) {
        return false;
    }
    outcome.rows = CopyTableRowsFull(context, database, staged, &outcome.adjustments, {}, translation.tableName);
    // The new name as sp_rename takes it on every server: the name itself, not bracketed.
    return Run(context, file,
               "EXEC sp_rename N" + QuoteTargetString(staged.targetName) + ", N" + QuoteTargetString(translation.tableName) + ", N'OBJECT'",
               why);
}

// The type map's overrides and the collations that differ from the target's default, one line
// each, and in the table's report.
void ListChoices(WorkerContext& context, const FullTableTranslation& translation, TableReport& outcome) {
    for (const AppliedOverride& applied : translation.overrides) {
        const std::string text = applied.column + ": " + applied.Describe();
        context.Log().WriteOutputLine("[%s] TYPE MAP %s", outcome.name.c_str(), text.c_str());
        outcome.overrides.push_back(text);
    }
    for (const ColumnCollation& collation : translation.collations) {
        const std::string text = collation.column + ": " + collation.source + " -> " + collation.target;
        if (collation.written) context.Log().WriteOutputLine("[%s] COLLATION %s", outcome.name.c_str(), text.c_str());
        outcome.collations.push_back(text);
    }
}

}  // namespace

FullTableTranslation ReadTableFull(WorkerContext& context, std::string_view database,
                                   std::string_view table, std::string& definition,
                                   std::string& why) {
    definition = ReadDefinition(context.Log(), context.SourceSession(), ShowCreateTableStatement(table), &why);
    if (!why.empty()) return {};
    FullTableTranslation translation = TranslateTableFull(definition, NamesForTask(context, database),
                                                          ReferencedDefinitions(context, definition),
                                                          TranslationChoicesOf(context));
    why = translation.error;
    return translation;
}

bool TranslateTableForTask(WorkerContext& context, std::string_view database, std::string_view table,
                           TableReport& outcome, ConversionReport* report,
                           FullTableTranslation& translation) {
    OperationLog& log = context.Log();
    const std::string db(database);
    std::string why;
    std::string definition;
    translation = ReadTableFull(context, database, table, definition, why);
    if (!why.empty()) {
        log.WriteGroup({"TABLE: Create [" + db + "].[" + outcome.name + "] ERROR !", why});
        outcome.failure = "its definition could not be read: " + why;
        NoteRefusal(context, {"table", db, outcome.name, outcome.failure, definition, SuggestedRewrite(why)});
        Fail(report, "table " + outcome.name + ": its definition could not be read: " + why);
        return false;
    }
    for (const Adjustment& adjustment : translation.adjustments) {
        Adjusted(context, outcome,
                 adjustment.column.empty() ? adjustment.text
                                           : adjustment.column + ": " + adjustment.text);
    }
    ListChoices(context, translation, outcome);
    return true;
}

bool CreateTableFull(WorkerContext& context, WorkFile& file, std::string_view database,
                     const FullTableTranslation& translation, TableReport& outcome,
                     ConversionReport* report) {
    OperationLog& log = context.Log();
    std::string why;
    const std::string loading = LoadingName(context, translation);
    bool created = loading.empty() ? Run(context, file, translation.createTable, why)
                                   : LoadUnderPlainName(context, file, database, translation, loading, outcome, why);
    if (!created) {
        log.WriteGroup({"TABLE: Create [" + std::string(database) + "].[" + outcome.name + "] ERROR !", why});
        outcome.failure = why;
        Fail(report, "table " + outcome.name + ": create failed: " + why);
        return false;
    }
    log.WriteOutputLine("Create table [%s] SUCCESSFULLY!!!", outcome.name.c_str());
    CreateIndexes(context, file, translation, outcome, report);
    AddComments(context, file, translation, outcome);
    return true;
}

void ReseedIdentity(WorkerContext& context, WorkFile& file, const FullTableTranslation& translation,
                    TableReport& outcome, ConversionReport* report) {
    std::string why;
    if (translation.identityReseed.empty() || Run(context, file, translation.identityReseed, why)) return;
    context.Log().WriteGroup({"[" + outcome.name + "] The identity could not be reseeded!", why});
    outcome.StepFailed("reseed", why);
    Fail(report, "table " + outcome.name + ": the identity could not be reseeded: " + why);
}

void QueueTableForeignKeys(WorkerContext& context, std::string_view database,
                           const FullTableTranslation& translation, ConversionReport* report) {
    if (!report) return;
    const ExpressionNames names = NamesForTask(context, database);
    for (const ForeignKeyModel& key : translation.foreignKeyModels) {
        std::string statement = ForeignKeyStatement(translation.tableName, key, names);
        if (statement.empty()) continue;  // into another database: reported by the translation
        report->foreignKeys.push_back({translation.tableName, key.name, statement,
                                       ForeignKeyStatement(translation.tableName, key, names, true)});
    }
}

int ConvertTableFull(WorkerContext& context, std::string_view database, std::string_view table,
                     WorkFile& file, TableReport& outcome, ConversionReport* report) {
    FullTableTranslation translation;
    if (!TranslateTableForTask(context, database, table, outcome, report, translation) ||
        !CreateTableFull(context, file, database, translation, outcome, report)) {
        return -1;
    }
    if (LoadingName(context, translation).empty()) {
        outcome.rows = CopyTableRowsFull(context, database, translation, &outcome.adjustments);
    }
    if (outcome.rows.rowsWritten > 0) ReseedIdentity(context, file, translation, outcome, report);
    QueueTableForeignKeys(context, database, translation, report);
    return 1;
}

RowCopyResult CopyRowsFull(WorkerContext& context, std::string_view database,
                           std::string_view table, TableReport& outcome,
                           std::string_view narrower) {
    std::string why;
    std::string definition = ReadDefinition(context.Log(), context.SourceSession(),
                                            ShowCreateTableStatement(table), &why);
    FullTableTranslation translation;
    if (why.empty()) {
        translation = TranslateTableFull(definition, NamesForTask(context, database), {}, TranslationChoicesOf(context));
        why = translation.error;
    }
    if (!why.empty()) {
        RowCopyResult failed;
        failed.text = why;
        return failed;
    }
    return CopyTableRowsFull(context, database, translation, &outcome.adjustments, narrower);
}

void CreatePendingForeignKeys(WorkerContext& context, std::string_view database,
                              ConversionReport& report) {
    OperationLog& log = context.Log();
    log.WriteOutputLine("Convert Foreign Keys of database [%.*s]",
                        static_cast<int>(database.size()), database.data());
    for (const PendingForeignKey& key : report.foreignKeys) {
        if (context.options.resume && TargetForeignKeyExists(context, key.table, key.name)) {
            log.WriteOutputLine("[%s] resume: its foreign key %s exists already: not created again",
                                key.table.c_str(), key.name.c_str());
            continue;
        }
        // The key's entry in the report; its outcome is set below.
        TableReport entry;
        entry.kind = "foreign key";
        entry.database = std::string(database);
        entry.name = key.table + "." + key.name;
        entry.rows.text = "TRUE";
        entry.result = 1;
        WorkFile file = OpenWorkFile(context.workFolder, key.table, "a+");
        if (!file) {
            log.WriteText(kCharacterSetText);
            report.AddFailure("table " + key.table + ": work file could not be opened");
            continue;
        }
        std::string why;
        if (Run(context, file, key.statement, why)) {
            log.WriteText("Create FOREIGN KEY SUCCESSFULLY!!!");
            report.tables.push_back(entry);
            continue;
        }
        std::string again;
        if (key.withoutActions != key.statement && Run(context, file, key.withoutActions, again)) {
            log.WriteText("Create FOREIGN KEY SUCCESSFULLY!!!");
            const std::string text = "foreign key " + key.name +
                                     " created without its ON DELETE / ON UPDATE actions: " + why;
            log.WriteOutputLine("[%s] ADJUSTED %s", key.table.c_str(), text.c_str());
            for (TableReport& table : report.tables) {
                if (table.name == key.table) table.adjustments.push_back(text);
            }
            entry.adjustments.push_back(text);
            report.tables.push_back(entry);
            continue;
        }
        log.WriteGroup({"Create FK failure!", why});
        entry.result = -1;
        entry.failure = why;
        report.tables.push_back(entry);
        report.AddFailure("table " + key.table + ": foreign key " + key.name + " failed: " + why);
    }
    report.foreignKeys.clear();
}

}  // namespace velmora
