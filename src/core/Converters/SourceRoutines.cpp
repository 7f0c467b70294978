#include "Converters/SourceRoutines.h"

#include <algorithm>
#include <cstdlib>

#include "Converters/SourceQuery.h"
#include "tasks/OperationLog.h"

namespace velmora {
namespace {

// Runs one list query; each row goes to `take`. False with the reason when the list cannot be
// read whole.
template <typename Take>
bool ReadList(OperationLog& log, Session* source, const std::string& query, std::string* failure,
              Take take) {
    SourceQuery rows(log, source, query);
    if (!rows.ok()) {
        // A query without rows is an empty list, not a failure.
        if (rows.failureText() == kResultSuccessText) return true;
        if (failure) *failure = rows.reason().empty() ? rows.failureText() : rows.reason();
        return false;
    }
    while (rows.Next()) take(rows);
    if (rows.fetchFailed()) {
        if (failure) *failure = rows.rows().MostInformativeError();
        return false;
    }
    return true;
}

std::string BackQuoted(std::string_view name) {
    std::string out = "`";
    for (char c : name) {
        out.push_back(c);
        if (c == '`') out.push_back('`');
    }
    return out + "`";
}

}  // namespace

const char* RoutineKindWord(RoutineKind kind) {
    switch (kind) {
        case RoutineKind::Procedure: return "procedure";
        case RoutineKind::Function: return "function";
        case RoutineKind::Trigger: return "trigger";
    }
    return "routine";
}

std::optional<SourceProgrammables> ReadSourceProgrammables(OperationLog& log, Session* source,
                                                           std::string_view database,
                                                           std::string* failure) {
    const std::string schema = SourceStringLiteral(database);
    SourceProgrammables found;
    const bool routines = ReadList(
        log, source,
        "select ROUTINE_NAME, ROUTINE_TYPE from information_schema.ROUTINES where ROUTINE_SCHEMA = " +
            schema + " order by ROUTINE_TYPE = 'PROCEDURE', ROUTINE_NAME",
        failure, [&](SourceQuery& row) {
            SourceRoutine routine;
            routine.name = std::string(row.Value(0));
            routine.kind = row.Value(1) == "FUNCTION" ? RoutineKind::Function : RoutineKind::Procedure;
            found.routines.push_back(std::move(routine));
        });
    if (!routines) return std::nullopt;
    const bool triggers = ReadList(
        log, source,
        "select TRIGGER_NAME, EVENT_OBJECT_TABLE, ACTION_TIMING, EVENT_MANIPULATION, ACTION_ORDER "
        "from information_schema.TRIGGERS where TRIGGER_SCHEMA = " + schema +
            " order by EVENT_OBJECT_TABLE, EVENT_MANIPULATION, ACTION_TIMING = 'AFTER', ACTION_ORDER",
        failure, [&](SourceQuery& row) {
            SourceRoutine trigger;
            trigger.kind = RoutineKind::Trigger;
            trigger.name = std::string(row.Value(0));
            trigger.table = std::string(row.Value(1));
            trigger.timing = std::string(row.Value(2));
            trigger.event = std::string(row.Value(3));
            trigger.actionOrder = std::atoi(std::string(row.Value(4)).c_str());
            found.triggers.push_back(std::move(trigger));
        });
    if (!triggers) return std::nullopt;
    const bool events = ReadList(
        log, source,
        "select EVENT_NAME from information_schema.EVENTS where EVENT_SCHEMA = " + schema +
            " order by EVENT_NAME",
        failure, [&](SourceQuery& row) { found.events.emplace_back(row.Value(0)); });
    if (!events) return std::nullopt;
    return found;
}

std::string ShowCreateRoutineStatement(const SourceRoutine& routine) {
    return std::string("show create ") + RoutineKindWord(routine.kind) + " " + BackQuoted(routine.name);
}

std::string ReadRoutineText(OperationLog& log, Session* source, const SourceRoutine& routine,
                            std::string* failure, std::string* sqlMode) {
    SourceQuery query(log, source, ShowCreateRoutineStatement(routine));
    std::string why;
    std::string text;
    bool withheld = false;
    if (!query.ok()) {
        why = query.reason().empty() ? query.failureText() : query.reason();
    } else if (!query.Next()) {
        why = query.fetchFailed() ? query.rows().MostInformativeError()
                                  : "the server returned no definition";
    } else if (query.IsNull(2)) {
        withheld = true;
    } else {
        // The name, the SQL mode, then the CREATE text.
        text.assign(query.Value(2));
        if (sqlMode) sqlMode->assign(query.Value(1));
    }
    if (withheld) {
        why = "the server withholds its text (the source login may not see the body of another "
              "definer's routine)";
    }
    if (failure) *failure = why;
    return why.empty() ? text : std::string();
}

std::vector<std::string> TriggersOnSameEvent(const std::vector<SourceRoutine>& triggers,
                                             const SourceRoutine& trigger) {
    std::vector<const SourceRoutine*> same;
    for (const SourceRoutine& other : triggers) {
        if (other.table == trigger.table && other.timing == trigger.timing &&
            other.event == trigger.event) {
            same.push_back(&other);
        }
    }
    std::stable_sort(same.begin(), same.end(), [](const SourceRoutine* a, const SourceRoutine* b) {
        return a->actionOrder < b->actionOrder;
    });
    std::vector<std::string> names;
    for (const SourceRoutine* other : same) names.push_back(other->name);
    return names;
}

}  // namespace velmora
