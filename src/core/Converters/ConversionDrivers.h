// ConversionDrivers: the four operations the task workers call to migrate source objects into
// the current target database: all tables of a database (then their foreign keys), all views of
// a database, one table, one view. Each per-object driver writes its statements into a work file
// in the task's work folder (data_cache): the table's file is named like the table, the view's
// file is the view name followed by ".vw". Everything runs on the task's own connections.
// A definition that cannot be read fails its object with the driver's reason: nothing of a failed
// read is ever sent to the target or written into a work file.
//
// Order for one table: definition, work file, create on the target, primary key, indexes, rows.
// Every outcome is a log line; the results are the fixed codes below. A ConversionReport, when
// given, also collects what failed, so that the caller can tell a clean run from a failed one.
//
// The worker has selected the source and the target database beforehand. Runs on the scheduler
// thread; the stop check is read between objects (and per row by the row copy).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct ConversionReport;
struct RowCopyResult;
struct WorkerContext;

// 0 when the loop ran (also after a stop), -1 when the table catalog cannot be opened. The
// foreign keys of the database follow the table loop, after a stop as well.
int ConvertDatabaseTables(WorkerContext& context, std::string_view database,
                          ConversionReport* report = nullptr);

// An object created among the views (a function, a procedure), in the order of the names it
// references: a view that calls a function comes after it, a procedure that selects from a view
// after the view. `create` writes its lines and its report entry.
struct DependentObject {
    std::string name;
    std::vector<std::string> references;
    std::function<void()> create;
    std::string kind = "function";  // for the report when a stop comes before it
};

// What goes before the views where nothing it references says otherwise (the functions) and
// what goes after them (the procedures).
struct ViewCompanions {
    std::vector<DependentObject> before;
    std::vector<DependentObject> after;
};

// 0 when the loop ran (also after a stop), -1 when the view catalog cannot be opened (the
// companions are still created then).
int ConvertDatabaseViews(WorkerContext& context, std::string_view database,
                         ConversionReport* report = nullptr, const ViewCompanions& companions = {});

// 1 when the table was created (whatever happened to its keys, indexes and rows), -1 when its
// create statement failed, -2 when its work file cannot be opened.
int ConvertTable(WorkerContext& context, std::string_view database, std::string_view table,
                 ConversionReport* report = nullptr);

// What went wrong in a row copy, for the report ("3 of 10 rows failed, ...").
std::string RowCopyFailure(const RowCopyResult& rows);

// True when the view was created.
bool ConvertView(WorkerContext& context, std::string_view database, std::string_view view,
                 ConversionReport* report = nullptr);

// The create statement of one view in the task's translation mode. A view that cannot be read or
// (in Full mode) translated carries the reason instead, and nothing of it is ever sent.
struct ViewStatement {
    std::string name;
    std::string text;
    std::vector<std::string> references;
    std::string readFailure;     // the definition could not be read
    std::string untranslatable;  // the construct T-SQL cannot say with the same meaning
    std::vector<std::string> adjustments;
    std::string definition;      // the MySQL text read (Full)
};

// Reads one view's definition and translates it in the context's mode (Full: with the
// definitions of the tables it selects from). Sends nothing.
ViewStatement TranslateViewForTask(WorkerContext& context, std::string_view database,
                                   std::string_view view);

}  // namespace velmora
