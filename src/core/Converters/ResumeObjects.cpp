#include "Converters/ResumeObjects.h"

#include <algorithm>
#include <cctype>

#include "Converters/FullTableConversion.h"
#include "Converters/OrderedRows.h"
#include "Converters/SourceQuery.h"
#include "Converters/TargetSchema.h"
#include "Converters/WorkFiles.h"
#include "Converters/WorkerContext.h"
#include "config/Configuration.h"
#include "data/StatementExecution.h"
#include "translation/Naming.h"

namespace velmora {
namespace {

// The table as object_id() takes it: N'[schema].[table]'.
std::string ObjectIdOf(const WorkerContext& context, const FullTableTranslation& translation) {
    return "object_id(N" +
           QuoteTargetString(QuoteSqlTable(SqlDialect::Tsql, translation.tableName, context.options.targetSchema)) +
           ")";
}

class TableCompletion {
public:
    TableCompletion(WorkerContext& context, const FullTableTranslation& translation, TableReport& outcome,
                    ConversionReport* report)
        : context_(context), translation_(translation), outcome_(outcome), report_(report),
          file_(OpenWorkFile(context.workFolder, translation.tableName, "a+")),
          objectId_(ObjectIdOf(context, translation)) {}

    void Indexes() {
        auto names = TargetColumnTexts(context_, "select name from sys.indexes where object_id = " + objectId_ +
                                                     " and name is not null");
        if (!names) return Unreadable("index");
        std::vector<std::string> there;
        for (const std::string& name : *names) there.push_back(AsciiLower(CreatedIndexName(name, translation_.tableName)));
        for (size_t i = 0; i < translation_.indexes.size() && i < translation_.indexNames.size(); ++i) {
            if (std::find(there.begin(), there.end(), AsciiLower(translation_.indexNames[i])) != there.end()) continue;
            Create("index", translation_.indexNames[i], translation_.indexes[i]);
        }
    }

    void Defaults() {
        auto columns = TargetColumnTexts(
            context_, "select c.name from sys.default_constraints d join sys.columns c on c.object_id = "
                      "d.parent_object_id and c.column_id = d.parent_column_id where d.parent_object_id = " +
                          objectId_);
        if (!columns) return Unreadable("default");
        std::vector<std::string> there;
        for (const std::string& column : *columns) there.push_back(AsciiLower(column));
        for (const auto& [column, value] : translation_.defaults) {
            if (std::find(there.begin(), there.end(), AsciiLower(column)) != there.end()) continue;
            Create("default", "of column " + column,
                   "ALTER TABLE " + translation_.targetName + " ADD DEFAULT " + value + " FOR " + QuoteTargetName(column));
        }
    }

    // Checks have no names of the translation's: those whose definition the target does not show
    // are created when they are exactly the ones missing; otherwise the table fails the step and
    // names how many are missing.
    void Checks() {
        auto definitions = TargetColumnTexts(
            context_, "select definition from sys.check_constraints where parent_object_id = " + objectId_);
        if (!definitions) {
            // Babelfish cannot print some definitions ("unrecognized node type"): their number
            // still tells whether any is missing.
            definitions = TargetColumnTexts(
                context_, "select '' from sys.check_constraints where parent_object_id = " + objectId_);
        }
        if (!definitions) return Unreadable("check");
        const size_t expected = translation_.checks.size();
        if (definitions->size() >= expected) return;
        std::vector<std::string> there;
        for (const std::string& definition : *definitions) there.push_back(ComparableCheck(definition));
        std::vector<std::string> unmatched;
        for (const std::string& check : translation_.checks) {
            if (std::find(there.begin(), there.end(), ComparableCheck(check)) == there.end()) unmatched.push_back(check);
        }
        if (unmatched.size() != expected - definitions->size()) {
            Failed("check", std::to_string(expected - definitions->size()) + " of its " + std::to_string(expected) +
                                " checks are missing and cannot be told apart from the ones there");
            return;
        }
        for (const std::string& check : unmatched) {
            Create("check", check, "ALTER TABLE " + translation_.targetName + " ADD " + check);
        }
    }

private:
    void Create(const std::string& kind, const std::string& name, const std::string& statement) {
        OperationLog& log = context_.Log();
        log.WriteOutputLine("[%s] resume: its %s %s is missing on the target: created again",
                            outcome_.name.c_str(), kind.c_str(), name.c_str());
        if (file_) {
            file_.Write(statement);
            file_.Write("\n");
        }
        std::string why;
        if (ExecuteStatement(log, context_.TargetSession(), statement, 0, &why)) return;
        log.WriteGroup({"Create " + kind + " failure!", why});
        Failed(kind, why);
    }

    void Unreadable(const std::string& kind) {
        Failed(kind, "the target's " + kind + "s of the table cannot be read");
    }

    void Failed(const std::string& kind, const std::string& why) {
        outcome_.StepFailed(kind, why);
        if (report_) report_->AddFailure("table " + outcome_.name + ": " + kind + " failed: " + why);
    }

    WorkerContext& context_;
    const FullTableTranslation& translation_;
    TableReport& outcome_;
    ConversionReport* report_;
    WorkFile file_;
    std::string objectId_;
};

}  // namespace

std::optional<std::vector<std::string>> TargetColumnTexts(WorkerContext& context, const std::string& query) {
    SourceQuery rows(context.Log(), context.TargetSession(), query, false);
    if (!rows.ok()) return std::nullopt;
    std::vector<std::string> texts;
    while (rows.Next()) texts.emplace_back(rows.Value(0));
    if (rows.fetchFailed()) return std::nullopt;
    return texts;
}

std::string ComparableCheck(std::string_view definition) {
    std::string text = AsciiLower(definition);
    if (text.starts_with("check")) text.erase(0, 5);
    std::string kept;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\'') quoted = !quoted;
        if (!quoted && (c == ' ' || c == '\n' || c == '\t' || c == '[' || c == ']' || c == '(' || c == ')')) continue;
        // N'text' and 'text' are the same literal here.
        if (!quoted && c == 'n' && i + 1 < text.size() && text[i + 1] == '\'' &&
            (kept.empty() || !std::isalnum(static_cast<unsigned char>(kept.back())))) {
            continue;
        }
        kept.push_back(c);
    }
    return kept;
}

void CompleteResumedTable(WorkerContext& context, const FullTableTranslation& translation,
                          TableReport& outcome, ConversionReport* report) {
    TableCompletion completion(context, translation, outcome, report);
    completion.Indexes();
    completion.Defaults();
    completion.Checks();
}

void CompleteResumedTable(WorkerContext& context, std::string_view database, std::string_view table,
                          TableReport& outcome, ConversionReport* report) {
    std::string definition;
    std::string why;
    FullTableTranslation translation = ReadTableFull(context, database, table, definition, why);
    if (!why.empty()) {
        outcome.StepFailed("resume", "its definition could not be read again: " + why);
        if (report) report->AddFailure("table " + outcome.name + ": resume failed: " + why);
        return;
    }
    CompleteResumedTable(context, translation, outcome, report);
    QueueTableForeignKeys(context, database, translation, report);
}

}  // namespace velmora
