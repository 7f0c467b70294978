// RunReport: what velmora-cli tells at the end of a run, table by table: the summary table on
// standard output and the JSON report of --report (its schema: docs/report-schema.md). Every
// table a task touched appears once with one outcome: migrated, failed (with the reason),
// skipped (with the reason) or verified (a verification without a migration); the figures of a
// verification go with the table's entry.
//
// Main thread, after the scheduler has ended.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "Converters/ConversionReport.h"
#include "commands/JsonLayout.h"
#include "tasks/TaskList.h"

namespace velmora::cli {

inline constexpr int kReportFormatVersion = 2;

// The entries of one run: a migration's entry and a later verification of the same table merge.
std::vector<TableReport> MergeTableEntries(const std::vector<TableReport>& recorded);

// The objects as aligned columns (name, kind, outcome, rows, seconds, verification), each
// object's reason on the line under it.
void PrintSummaryTable(const std::vector<TableReport>& tables);

// What a task did, in the words of the command that queued it: "migrate database shop -> sales".
std::string TaskTitle(const MigrationTask& task);

// The line that ends the summary for a task: "migrate database shop -> sales: FAILURE, 1 of 11
// tables failed".
std::string TaskSummaryLine(const MigrationTask& task, const std::vector<TableReport>& tables);

// The JSON report of --report (docs/report-schema.md), and the same written to `out`.
JsonDocument ReportDocument(int exitCode, const std::vector<TaskPtr>& tasks,
                            const std::vector<TableReport>& tables);
void WriteJsonReport(std::ostream& out, int exitCode, const std::vector<TaskPtr>& tasks,
                     const std::vector<TableReport>& tables);

}  // namespace velmora::cli
