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
#include "tasks/TaskList.h"

namespace velmora::cli {

inline constexpr int kReportFormatVersion = 2;

// The entries of one run: a migration's entry and a later verification of the same table merge.
std::vector<TableReport> MergeTableEntries(const std::vector<TableReport>& recorded);

void PrintSummaryTable(const std::vector<TableReport>& tables);

void WriteJsonReport(std::ostream& out, int exitCode, const std::vector<TaskPtr>& tasks,
                     const std::vector<TableReport>& tables);

// A JSON string literal.
std::string JsonText(const std::string& text);

}  // namespace velmora::cli
