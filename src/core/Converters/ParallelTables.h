// ParallelTables: the tables of one database converted several at a time (Full mode, the task's
// `jobs` option). Each worker thread takes the next table of the list on connections of its own
// (WorkerContext::openPeer), so that one table's reading and sending overlap another's; the task's
// own thread is one of them. A peer that cannot be opened only means fewer workers. The report
// lists the tables in the catalog's order, whatever order they finished in; the caller creates
// the foreign keys once every table is there. With more than one worker, every log line of a
// table names it (LogTableScope).
//
// Threads: called on the task's thread; starts and joins its workers before it returns.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Converters/ConversionReport.h"

namespace velmora {

struct WorkerContext;

void ConvertTablesInParallel(WorkerContext& context, std::string_view database,
                             const std::vector<std::string>& tables, ConversionReport* report);

}  // namespace velmora
