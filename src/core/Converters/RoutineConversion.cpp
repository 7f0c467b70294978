#include "Converters/RoutineConversion.h"

#include <cctype>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Converters/ConversionDrivers.h"
#include "Converters/ConversionReport.h"
#include "Converters/RefusalNote.h"
#include "Converters/SourceQuery.h"
#include "Converters/Resume.h"
#include "Converters/SourceRoutines.h"
#include "Converters/TaskChoices.h"
#include "Converters/TableDefinitionReader.h"
#include "Converters/WorkFiles.h"
#include "Converters/WorkerContext.h"
#include "config/TargetKind.h"
#include "data/StatementExecution.h"
#include "translation/BatchSafety.h"
#include "translation/CreateTableParser.h"
#include "translation/Naming.h"

namespace velmora {
namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The sys.objects types of a kind: a name taken by an object of another kind is not this one.
const char* TargetTypes(RoutineKind kind) {
    switch (kind) {
        case RoutineKind::Function: return "'FN', 'IF', 'TF'";
        case RoutineKind::Procedure: return "'P'";
        case RoutineKind::Trigger: return "'TR'";
    }
    return "";
}

const char* WorkFileSuffix(RoutineKind kind) {
    switch (kind) {
        case RoutineKind::Function: return ".fn";
        case RoutineKind::Procedure: return ".sp";
        case RoutineKind::Trigger: return ".trg";
    }
    return ".sql";
}

// The definitions of the source tables a routine names, read once per task. A name that is no
// table (a view, a routine, a table of another database) is left out.
class SourceTables {
public:
    SourceTables(WorkerContext& context) : context_(context) {}

    std::vector<TableModel> Models(const std::vector<std::string>& names) {
        std::vector<TableModel> models;
        for (const std::string& name : names) {
            auto known = cache_.find(name);
            if (known == cache_.end()) known = cache_.emplace(name, Read(name)).first;
            if (known->second) models.push_back(*known->second);
        }
        return models;
    }

private:
    std::optional<TableModel> Read(const std::string& name) {
        SourceQuery query(context_.Log(), context_.SourceSession(), ShowCreateTableStatement(name),
                          false);
        if (!query.ok() || !query.Next()) return std::nullopt;
        ParsedTable parsed = ParseCreateTable(query.Value(1));
        if (!parsed.ok()) return std::nullopt;
        return std::move(parsed.table);
    }

    WorkerContext& context_;
    std::map<std::string, std::optional<TableModel>> cache_;
};

// Reads one routine's or trigger's text; a text that cannot be read fails its object later.
PreparedRoutine Read(WorkerContext& context, const SourceRoutine& source, std::string& text) {
    PreparedRoutine prepared;
    prepared.source = source;
    text = ReadRoutineText(context.Log(), context.SourceSession(), source, &prepared.readFailure, &prepared.sqlMode);
    return prepared;
}

// Translates one routine or trigger read before. A trigger is translated with its table's
// definition; any routine is translated again when it names tables whose definitions the first
// translation did not have (their keys and column types tell the translation what they mean).
void Translate(WorkerContext& context, std::string_view database, const std::string& text,
               const RoutineContext& base, SourceTables& tables, PreparedRoutine& prepared) {
    if (!prepared.readFailure.empty()) return;
    prepared.text = text;
    RoutineContext routineContext = base;
    routineContext.names = NamesForTask(context, database);
    routineContext.sqlMode = prepared.sqlMode;
    std::vector<std::string> named;
    if (!prepared.source.table.empty()) named.push_back(prepared.source.table);
    routineContext.tables = tables.Models(named);
    prepared.translation = TranslateRoutineFull(text, routineContext);
    std::vector<std::string> more = named;
    for (const std::string& reference : prepared.translation.references) {
        bool routine = false;
        for (const KnownRoutine& known : base.routines) routine = routine || known.name == reference;
        if (!routine) more.push_back(reference);
    }
    std::vector<TableModel> models = tables.Models(more);
    if (models.size() > routineContext.tables.size()) {
        routineContext.tables = std::move(models);
        prepared.translation = TranslateRoutineFull(text, routineContext);
    }
}

// Creates one routine or trigger with the lines of its conversion and its entry in the report.
void CreateRoutine(WorkerContext& context, std::string_view database, const PreparedRoutine& routine,
                   ConversionReport* report) {
    OperationLog& log = context.Log();
    const std::string& name = routine.source.name;
    const std::string kind = RoutineKindWord(routine.source.kind);
    const std::string word = Upper(kind);
    TableReport entry;
    entry.kind = kind;
    entry.database = std::string(database);
    entry.name = name;
    entry.rows.text = std::string(kTrueText);
    const auto started = std::chrono::steady_clock::now();
    auto finish = [&](const std::string& failure) {
        entry.result = failure.empty() ? 1 : -1;
        entry.failure = failure;
        entry.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        if (!failure.empty() && report) report->AddFailure(kind + " " + name + ": " + failure);
        if (report) report->tables.push_back(std::move(entry));
    };
    if (context.options.resume && TargetObjectExists(context, "objects", name, TargetTypes(routine.source.kind))) {
        entry.resume = "exists on the target already: not created again";
        log.WriteOutputLine("[%s] resume: the %s exists already: not created again", name.c_str(),
                            kind.c_str());
        return finish("");
    }
    WorkFile file = OpenWorkFile(context.workFolder, name + WorkFileSuffix(routine.source.kind), "w+");
    if (!file) {
        log.WriteText(kCharacterSetText);
        return finish("its work file cannot be opened");
    }
    log.WriteOutputLine("%s: [%s].[%s] Converting..... ", word.c_str(), entry.database.c_str(),
                        name.c_str());
    auto failed = [&](const std::string& why, const std::string& failure) {
        log.WriteOutputLine("Create %s [%s] failure!!!", word.c_str(), name.c_str());
        log.WriteText(why);
        finish(failure);
    };
    const auto refused = [&](const std::string& why) {
        NoteRefusal(context, {kind, entry.database, name, why, routine.text,
                              SuggestedRewrite(routine.translation.untranslatable)});
    };
    if (!routine.readFailure.empty()) {
        refused("its definition could not be read: " + routine.readFailure);
        return failed(routine.readFailure, "its definition could not be read: " + routine.readFailure);
    }
    if (!routine.translation.ok()) {
        const std::string why = "it cannot be translated: " + routine.translation.untranslatable;
        refused(why);
        return failed(why, why);
    }
    entry.adjustments = routine.translation.adjustments;
    for (const std::string& adjustment : entry.adjustments)
        log.WriteOutputLine("[%s] ADJUSTED %s", name.c_str(), adjustment.c_str());
    for (size_t i = 0; i < routine.translation.statements.size(); ++i) {
        // The work file is a script a person may run: no source text may end its batches.
        const BatchSafeText safe = MakeBatchSafe(routine.translation.statements[i]);
        if (!safe.ok()) return failed("it cannot be written safely: " + safe.refusal, "it cannot be written safely: " + safe.refusal);
        file.Write((i > 0 ? "\nGO\n" : "") + safe.text);
    }
    for (const std::string& statement : routine.translation.statements) {
        std::string why;
        if (!ExecuteStatement(log, context.TargetSession(), statement, 0, &why)) return failed(why, why);
    }
    log.WriteOutputLine("Create %s [%s] SUCCESSFULLY!!!", word.c_str(), name.c_str());
    finish("");
}

void ReportEvents(WorkerContext& context, std::string_view database,
                  const std::vector<std::string>& events, ConversionReport* report) {
    for (const std::string& event : events) {
        context.Log().WriteOutputLine("EVENT: [%s].[%s] not migrated: %s",
                                      std::string(database).c_str(), event.c_str(), kSchedulerNote);
        NoteRefusal(context, {"event", std::string(database), event, std::string("not migrated: ") + kSchedulerNote,
                              "", SuggestedRewrite("event")});
        if (!report) continue;
        TableReport entry;
        entry.kind = "event";
        entry.database = std::string(database);
        entry.name = event;
        entry.notMigrated = kSchedulerNote;
        report->tables.push_back(std::move(entry));
    }
}

}  // namespace

PreparedProgrammables PrepareDatabaseProgrammables(WorkerContext& context, std::string_view database) {
    PreparedProgrammables prepared;
    std::optional<SourceProgrammables> found =
        ReadSourceProgrammables(context.Log(), context.SourceSession(), database, &prepared.failure);
    if (!found) found.emplace();
    // Every text first: a call is translated with the parameters of the routine it calls.
    RoutineContext base;
    std::vector<std::string> texts(found->routines.size());
    for (size_t i = 0; i < found->routines.size(); ++i) {
        prepared.routines.push_back(Read(context, found->routines[i], texts[i]));
        KnownRoutine known =
            prepared.routines.back().readFailure.empty() ? RoutineSignature(texts[i]) : KnownRoutine{};
        known.name = found->routines[i].name;
        known.kind = found->routines[i].kind;
        base.routines.push_back(std::move(known));
    }
    SourceTables tables(context);
    for (size_t i = 0; i < prepared.routines.size(); ++i) {
        Translate(context, database, texts[i], base, tables, prepared.routines[i]);
    }
    for (const SourceRoutine& trigger : found->triggers) {
        if (context.StopRequested()) {
            // Not read after a stop, but still listed (as not started).
            prepared.triggers.push_back({trigger, "a stop request came before it", {}, {}, {}});
            continue;
        }
        RoutineContext triggerContext = base;
        triggerContext.triggersOnSameEvent = TriggersOnSameEvent(found->triggers, trigger);
        std::string text;
        prepared.triggers.push_back(Read(context, trigger, text));
        Translate(context, database, text, triggerContext, tables, prepared.triggers.back());
    }
    prepared.events = std::move(found->events);
    return prepared;
}

int ConvertDatabaseProgrammables(WorkerContext& context, std::string_view database,
                                 ConversionReport* report) {
    const PreparedProgrammables prepared = PrepareDatabaseProgrammables(context, database);
    if (!prepared.failure.empty()) {
        context.Log().WriteText(prepared.failure);
        if (report) {
            report->AddFailure("the routines and triggers of [" + std::string(database) +
                               "] could not be listed: " + prepared.failure);
        }
    }
    ViewCompanions companions;
    for (const PreparedRoutine& routine : prepared.routines) {
        auto& group = routine.source.kind == RoutineKind::Function ? companions.before : companions.after;
        group.push_back({routine.source.name, routine.translation.references,
                         [&context, database, &routine, report] {
                             CreateRoutine(context, database, routine, report);
                         },
                         RoutineKindWord(routine.source.kind)});
    }
    const bool viewsFailed = ConvertDatabaseViews(context, database, report, companions) < 0;
    int result = viewsFailed || !prepared.failure.empty() ? -1 : 0;
    for (const PreparedRoutine& trigger : prepared.triggers) {
        if (!context.StopRequested()) {
            CreateRoutine(context, database, trigger, report);
        } else if (report) {
            report->AddNotStarted("trigger", std::string(database), trigger.source.name);
        }
    }
    ReportEvents(context, database, prepared.events, report);
    return result;
}

}  // namespace velmora
