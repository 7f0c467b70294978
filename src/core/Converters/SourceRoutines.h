// SourceRoutines: what a MySQL/MariaDB database holds besides tables and views: its stored
// procedures and functions (information_schema.ROUTINES), its triggers with their table, timing,
// event and firing order (information_schema.TRIGGERS) and its events (information_schema.EVENTS,
// which are listed only: the target's scheduler is a separate product). The texts come from
// SHOW CREATE PROCEDURE / FUNCTION / TRIGGER, one object at a time.
//
// Runs on the caller's thread with the source session it is given (a task's own, or a tree's
// browsing session); nothing here writes to the target.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "translation/FullRoutineTranslator.h"

namespace velmora {

class OperationLog;
class Session;

struct SourceRoutine {
    RoutineKind kind = RoutineKind::Procedure;
    std::string name;
    // Triggers only: the table, "BEFORE"/"AFTER", "INSERT"/"UPDATE"/"DELETE" and the position
    // among the triggers of the same table, timing and event (1 fires first).
    std::string table;
    std::string timing;
    std::string event;
    int actionOrder = 0;
};

struct SourceProgrammables {
    std::vector<SourceRoutine> routines;  // functions first, then procedures, each by name
    std::vector<SourceRoutine> triggers;  // by table and event, in firing order (BEFORE first)
    std::vector<std::string> events;      // by name
};

// "procedure", "function" or "trigger": the word of the log lines and of the report.
const char* RoutineKindWord(RoutineKind kind);

// Reads the three lists of `database`. Nothing when a list cannot be read; `failure` then holds
// the server's reason (the failure line is written too).
std::optional<SourceProgrammables> ReadSourceProgrammables(OperationLog& log, Session* source,
                                                           std::string_view database,
                                                           std::string* failure);

// The SHOW CREATE statement of a routine or trigger.
std::string ShowCreateRoutineStatement(const SourceRoutine& routine);

// The CREATE text of a routine or trigger as the source prints it. Empty with the reason in
// `failure` when it cannot be read, or when the server withholds it (a login that may run the
// routine but not see its body gets NULL). `sqlMode` receives the mode it was created under.
std::string ReadRoutineText(OperationLog& log, Session* source, const SourceRoutine& routine,
                            std::string* failure, std::string* sqlMode = nullptr);

// The triggers that fire on the same table, timing and event as `trigger`, in firing order, by
// name (itself included).
std::vector<std::string> TriggersOnSameEvent(const std::vector<SourceRoutine>& triggers,
                                             const SourceRoutine& trigger);

}  // namespace velmora
