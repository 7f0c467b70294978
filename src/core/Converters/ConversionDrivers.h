// ConversionDrivers: the four operations the task workers call to migrate source objects into
// the current target database: all tables of a database (then their foreign keys), all views of
// a database, one table, one view. Each per-object driver writes its statements into a work file
// in the current folder (the migrate command has made it data_cache): the table's file is named
// like the table, the view's file is the view name followed by ".vw".
//
// Order for one table: definition, work file, create on the target, primary key, indexes, rows.
// Every outcome is a log line; the results are the fixed codes below. A ConversionReport, when
// given, also collects what failed, so that the caller can tell a clean run from a failed one.
//
// The worker has selected the source and the target database beforehand. Runs on the scheduler
// thread; the stop request is read between objects (and per row by the row copy).
#pragma once

#include <string_view>

namespace velmora {

class MainWindowModel;
class Session;
struct ConversionReport;

// 0 when the loop ran (also after a stop), -1 when the table catalog cannot be opened. The
// foreign keys of the database follow the table loop, after a stop as well.
int ConvertDatabaseTables(MainWindowModel& main, Session* source, std::string_view database,
                          ConversionReport* report = nullptr);

// 0 when the loop ran (also after a stop), -1 when the view catalog cannot be opened.
int ConvertDatabaseViews(MainWindowModel& main, Session* source, std::string_view database,
                         ConversionReport* report = nullptr);

// 1 when the table was created (whatever happened to its keys, indexes and rows), -1 when its
// create statement failed, -2 when its work file cannot be opened.
int ConvertTable(MainWindowModel& main, Session* source, std::string_view database,
                 std::string_view table, ConversionReport* report = nullptr);

// True when the view was created.
bool ConvertView(MainWindowModel& main, Session* source, std::string_view database,
                 std::string_view view, ConversionReport* report = nullptr);

}  // namespace velmora
