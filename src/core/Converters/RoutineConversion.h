// RoutineConversion: what a whole-database migration does after the tables and their rows: the
// functions, the views and the procedures in the order of what each references (functions
// first where nothing says otherwise), then the triggers (after the rows, so that none fires on
// the copy; several on one event in the order they fire on the source), then the events, which
// are listed only (the target's scheduler is a separate product).
//
// Every function and procedure is read and translated before any is created (a call is
// translated with the parameters of the routine it calls); each trigger is read and translated
// when its turn comes, with its table's definition. One that cannot be
// read, cannot be translated (its construct is named) or that the target refuses (the server's
// reason) fails alone; the others go on, and the report holds every one with its outcome. Each
// writes its statements into a work file: "<name>.fn", "<name>.sp" or "<name>.trg".
//
// Runs on the scheduler thread with the task's connections; the stop check is read between
// objects.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Converters/SourceRoutines.h"
#include "translation/FullRoutineTranslator.h"

namespace velmora {

struct ConversionReport;
struct WorkerContext;

// Why an event is listed and not migrated.
inline constexpr const char kSchedulerNote[] = "the target's scheduler is a separate product";

// One routine or trigger as the migration creates it: read and translated, nothing sent.
struct PreparedRoutine {
    SourceRoutine source;
    std::string readFailure;  // why its text could not be read ("" when it was)
    std::string sqlMode;      // the mode it was created under, as SHOW CREATE gives it
    FullRoutineTranslation translation;
    std::string text;  // the MySQL text read
};

struct PreparedProgrammables {
    std::vector<PreparedRoutine> routines;  // functions, then procedures
    std::vector<PreparedRoutine> triggers;  // by table and event, in firing order
    std::vector<std::string> events;        // listed only
    std::string failure;                    // why the lists could not be read ("" when they were)
};

// Reads and translates every routine and trigger of `database` (the source database, selected on
// the source connection) and lists its events; sends nothing. What the assessment shows.
PreparedProgrammables PrepareDatabaseProgrammables(WorkerContext& context, std::string_view database);

// The views, routines, triggers and events of `database` (the source database, selected on the
// source connection; the target database is selected). 0, or -1 when the view catalog or the
// routine lists cannot be read (what could be read is still created).
int ConvertDatabaseProgrammables(WorkerContext& context, std::string_view database,
                                 ConversionReport* report);

}  // namespace velmora
