#include "Converters/TaskChoices.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "Converters/Conditions.h"
#include "Converters/ConversionReport.h"
#include "Converters/SourceQuery.h"
#include "Converters/TableDefinitionReader.h"
#include "Converters/WorkerContext.h"
#include "data/StatementExecution.h"
#include "translation/CreateTableParser.h"
#include "translation/Naming.h"
#include "translation/TypeFit.h"

namespace velmora {
namespace {

void Fail(WorkerContext& context, ConversionReport* report, const std::string& what) {
    context.Log().WriteText(what);
    if (report) report->AddFailure(what);
}

// IF SCHEMA_ID(N'x') IS NULL EXEC(N'CREATE SCHEMA [x]'): CREATE SCHEMA must be the only statement
// of its batch, which EXEC gives it on every server, and the check lets a second run pass.
std::string CreateSchemaStatement(const std::string& schema) {
    return "IF SCHEMA_ID(N" + QuoteTargetString(schema) + ") IS NULL EXEC (N" +
           QuoteTargetString("CREATE SCHEMA " + QuoteTargetName(schema)) + ")";
}

// The target database's default collation, asked of the connection ("" where it cannot say).
std::string TargetDefaultCollation(WorkerContext& context) {
    std::string collation;
    if (!context.targetConnection || context.targetConnection->GetProperty(kPropDatabaseCollation, collation) != kSuccess) {
        return "";
    }
    return collation;
}

// MIN, MAX and the longest value of a column as one query's select list, and the conditions that
// find a value with a character outside ASCII and a value that rounding changes.
std::string FiguresQuery(const ColumnModel& column, const FigureNeeds& needs, const std::string& table,
                         const std::string& condition) {
    const std::string c = QuoteSourceName(column.name);
    const bool temporal = column.baseType == "date" || column.baseType == "datetime" || column.baseType == "timestamp";
    // Zero dates arrive as NULL (or fail their row): they are not values the type must hold.
    const std::string value =
        temporal ? "(case when month(" + c + ") > 0 and dayofmonth(" + c + ") > 0 then " + c + " end)" : c;
    std::string select = needs.range ? "min(" + value + "), max(" + value + ")" : "null, null";
    std::string where = condition.empty() ? "" : " where (" + condition + ")";
    return "select " + select + " from " + table + where;
}

std::optional<std::string> FirstValue(WorkerContext& context, const std::string& query) {
    SourceQuery first(context.Log(), context.SourceSession(), query, false);
    if (!first.ok() || !first.Next() || first.IsNull(0)) return std::nullopt;
    return std::string(first.Value(0));
}

// Reads what PlanTypeFit asked for; false with `why` when the source refused a query.
bool ReadFigures(WorkerContext& context, const ColumnModel& column, const FigureNeeds& needs,
                 const std::string& table, const std::string& condition, ColumnFigures& figures, std::string& why) {
    const std::string c = QuoteSourceName(column.name);
    const std::string where = " where " + (condition.empty() ? "" : "(" + condition + ") and ");
    if (needs.range) {
        SourceQuery range(context.Log(), context.SourceSession(), FiguresQuery(column, needs, table, condition), false);
        if (!range.ok()) {
            why = range.reason();
            return false;
        }
        if (range.Next()) {
            if (!range.IsNull(0)) figures.minimum = std::string(range.Value(0));
            if (!range.IsNull(1)) figures.maximum = std::string(range.Value(1));
        }
    }
    if (needs.length) {
        SourceQuery longest(context.Log(), context.SourceSession(),
                            "select " + c + ", char_length(" + c + "), length(convert(" + c +
                                " using utf16)) div 2, length(" + c + ") from " + table +
                                (condition.empty() ? "" : " where (" + condition + ")") + " order by length(convert(" +
                                c + " using utf16)) desc, length(" + c + ") desc limit 1",
                            false);
        if (!longest.ok()) {
            why = longest.reason();
            return false;
        }
        if (longest.Next() && !longest.IsNull(0)) {
            figures.longest = std::string(longest.Value(0));
            figures.longestCharacters = std::atoll(std::string(longest.Value(1)).c_str());
            figures.longestUnits = std::atoll(std::string(longest.Value(2)).c_str());
            figures.longestBytes = std::atoll(std::string(longest.Value(3)).c_str());
        }
    }
    if (needs.ascii) {
        figures.nonAscii = FirstValue(context, "select " + c + " from " + table + where + "length(convert(" + c +
                                                   " using utf8mb4)) <> char_length(" + c + ") limit 1");
    }
    if (needs.roundedScale >= 0) {
        figures.rounded = FirstValue(context, "select " + c + " from " + table + where + c + " <> round(" + c + ", " +
                                                  std::to_string(needs.roundedScale) + ") limit 1");
    }
    return true;
}

// The text columns of `database` on either side of a foreign key within it.
std::set<std::pair<std::string, std::string>> ForeignKeyTextColumns(WorkerContext& context,
                                                                    const std::string& database) {
    std::set<std::pair<std::string, std::string>> columns;
    const std::string schema = SourceStringLiteral(database);
    SourceQuery query(context.Log(), context.SourceSession(),
                      "select k.TABLE_NAME, k.COLUMN_NAME, k.REFERENCED_TABLE_NAME, k.REFERENCED_COLUMN_NAME "
                      "from information_schema.KEY_COLUMN_USAGE k join information_schema.COLUMNS c "
                      "on c.TABLE_SCHEMA = k.TABLE_SCHEMA and c.TABLE_NAME = k.TABLE_NAME and c.COLUMN_NAME = "
                      "k.COLUMN_NAME where k.TABLE_SCHEMA = " + schema + " and k.REFERENCED_TABLE_SCHEMA = " +
                          schema + " and c.COLLATION_NAME is not null",
                      false);
    while (query.ok() && query.Next()) {
        columns.emplace(query.Value(0), query.Value(1));
        columns.emplace(query.Value(2), query.Value(3));
    }
    return columns;
}

}  // namespace

std::vector<std::string> TypeMapMisfits(WorkerContext& context, std::string_view database, const std::string& table) {
    std::vector<std::string> misfits;
    if (!context.choices.typeMap) return misfits;
    std::string why;
    std::string definition = ReadDefinition(context.Log(), context.SourceSession(), ShowCreateTableStatement(table), &why);
    if (!why.empty()) return misfits;  // the table's own conversion reports the failed read
    ParsedTable parsed = ParseCreateTable(definition);
    if (!parsed.ok()) return misfits;
    const std::string quoted = QuoteSourceName(table);
    const std::string condition = LookupCondition(context.conditionFile, database, table);
    for (const ColumnModel& column : parsed.table.columns) {
        const TypeMapRule* rule = FindTypeRule(*context.choices.typeMap, database, table, column);
        if (!rule || column.generated) continue;
        TypeFitPlan plan = PlanTypeFit(column, rule->target);
        ColumnFigures figures;
        std::string problem = plan.refusal;
        if (problem.empty() && !ReadFigures(context, column, plan.needs, quoted, condition, figures, why)) {
            problem = "its values could not be read: " + why;
        }
        if (problem.empty()) problem = JudgeTypeFit(column, rule->target, figures);
        if (problem.empty()) continue;
        misfits.push_back("Type map line " + std::to_string(rule->line) + " (" + rule->text + "): " +
                          QuoteSourceName(database) + "." + QuoteSourceName(table) + "." +
                          QuoteSourceName(column.name) + " holds " + problem);
    }
    return misfits;
}

// The target's major version (its driver's SQL_DBMS_VER, "16.00.4135") and the source's
// group_concat_max_len, which the translation picks its forms by.
static void ReadTranslationFigures(WorkerContext& context) {
    std::string version;
    if (context.targetConnection && context.targetConnection->GetProperty(kPropDbmsVersion, version) == kSuccess)
        context.choices.targetMajorVersion = std::atoi(version.c_str());
    SourceQuery query(context.Log(), context.SourceSession(), "SELECT @@group_concat_max_len", false);
    if (query.ok() && query.Next() && !query.IsNull(0))
        context.choices.groupConcatMaxLength = std::strtoull(std::string(query.Value(0)).c_str(), nullptr, 10);
}

ExpressionNames NamesForTask(const WorkerContext& context, std::string_view database) {
    ExpressionNames names{std::string(database), context.targetDatabase, OneDatabaseKindName(context.targetKind)};
    names.targetSchema = context.options.targetSchema;
    names.schemaDatabases = context.options.schemaDatabases;
    names.targetMajorVersion = context.choices.targetMajorVersion;
    names.groupConcatMaxLength = context.choices.groupConcatMaxLength;
    return names;
}

TableTranslationChoices TranslationChoicesOf(const WorkerContext& context) {
    return {context.choices.typeMap.get(), context.choices.targetCollation, context.choices.foreignKeyTextColumns.get()};
}

TypeMapParse ReadTypeMapFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    if (file) text << file.rdbuf();
    if (!file || file.bad()) {
        TypeMapParse failed;
        failed.error = "type map " + path + " cannot be read";
        return failed;
    }
    TypeMapParse parsed = ParseTypeMap(text.str());
    if (!parsed.ok()) parsed.error = "type map " + path + ": " + parsed.error;
    return parsed;
}

bool PrepareTaskChoices(WorkerContext& context, ConversionReport* report) {
    TaskChoices& choices = context.choices;
    if (choices.ready) return !choices.failed;
    choices.ready = true;
    const TaskOptions& options = context.options;
    if (!options.typeMap.empty()) {
        TypeMapParse parsed = ReadTypeMapFile(options.typeMap);
        if (!parsed.ok()) {
            choices.failed = true;
            Fail(context, report, parsed.error);
            return false;
        }
        choices.typeMap = std::make_shared<const TypeMap>(std::move(parsed.map));
    }
    if (!IsDefaultSchema(options.targetSchema)) {
        if (options.translation != TranslationMode::Full) {
            choices.failed = true;
            Fail(context, report, "A target schema needs the Full translation: Classic writes its tables into dbo.");
            return false;
        }
        if (context.targetKind == TargetKind::Babelfish && !IsPlainIdentifier(options.targetSchema)) {
            choices.failed = true;
            Fail(context, report,
                 "Babelfish cannot work in the schema [" + options.targetSchema +
                     "]: in a schema whose name is not a plain identifier it ignores IDENTITY_INSERT and refuses "
                     "views. Choose a name of letters, digits and underscores.");
            return false;
        }
    }
    if (options.translation == TranslationMode::Full) {
        choices.targetCollation = TargetDefaultCollation(context);
        ReadTranslationFigures(context);
    }
    if (options.translation == TranslationMode::Full && context.targetKind == TargetKind::Babelfish) {
        choices.foreignKeyTextColumns = std::make_shared<const std::set<std::pair<std::string, std::string>>>(
            ForeignKeyTextColumns(context, context.sourceDatabase));
    }
    return true;
}

bool EnsureTargetSchema(WorkerContext& context, ConversionReport* report) {
    TaskChoices& choices = context.choices;
    if (!PrepareTaskChoices(context, report)) return false;
    if (choices.schemaReady || IsDefaultSchema(context.options.targetSchema)) return true;
    std::string why;
    const std::string& schema = context.options.targetSchema;
    if (!ExecuteStatement(context.Log(), context.TargetSession(), CreateSchemaStatement(schema), 0, &why)) {
        choices.failed = true;
        Fail(context, report, "The schema [" + schema + "] cannot be created: " + why);
        return false;
    }
    choices.schemaReady = true;
    return true;
}

bool CheckTypeMapFits(WorkerContext& context, std::string_view database, const std::vector<std::string>& tables,
                      ConversionReport* report) {
    if (!context.choices.typeMap || context.choices.valuesChecked) return true;
    bool fits = true;
    for (const std::string& table : tables) {
        for (const std::string& misfit : TypeMapMisfits(context, database, table)) {
            Fail(context, report, misfit);
            fits = false;
        }
    }
    if (!fits) {
        context.choices.failed = true;
        context.Log().WriteText("Nothing was created: the type map chooses a type that cannot hold these values.");
    }
    return fits;
}

}  // namespace velmora
