// Verification: proves what arrived on the target by comparing it with the source.
//
// - count: the source's row count under the table's migration condition (Condition.cfg) against
//   the target table's row count.
// - full: both sides read in the order of the table's key (the primary key, else a unique key
//   over NOT NULL columns; OrderedRows.h), merged row by row: a key only on the source is a
//   missing row, a key only on the target an extra row, and a key on both compares every value
//   normalised by type (ValueNormalisation.h). A table without such a key is compared by count,
//   and the result says so. Memory stays bounded: each side holds one page (or one streamed row).
//   The source's rows come as the row copy reads them (NativeRowSource.h): streamed in one
//   ordered query through MariaDB Connector/C where the source allows it.
//
// Every table gets a log line with its figures; the first ten differences are logged and kept
// with their keys. A table that does not match, could not be read or was stopped is a failure of
// the report, so the task ends FAILURE. A stop request is honoured between two rows.
//
// Runs on the scheduler thread with the task's own sessions; the worker has selected both
// databases beforehand.
#pragma once

#include <string_view>

#include "Converters/ConversionReport.h"
#include "config/Options.h"

namespace velmora {

struct WorkerContext;

inline constexpr size_t kKeptDifferences = 10;

TableVerification VerifyTable(WorkerContext& context, std::string_view database,
                              std::string_view table, VerifyMode mode);

// Verifies `table` and records the outcome in `report`: the result goes to the table's entry
// (added when the report has none), a mismatch to the failures.
void VerifyIntoReport(WorkerContext& context, std::string_view database, std::string_view table,
                      VerifyMode mode, ConversionReport& report);

// Every table of the source database, then its views (ViewVerification.h), then the schema of the
// whole database (SchemaVerification.h). 0 when the loop ran (also after a stop), -1 when the
// table catalog cannot be opened.
int VerifyDatabaseTables(WorkerContext& context, std::string_view database, VerifyMode mode,
                         ConversionReport& report);

// After a migration: verifies every table and view the report says was created, then their
// schema (of the whole database after a whole-database migration).
void VerifyMigratedTables(WorkerContext& context, VerifyMode mode, ConversionReport& report);

}  // namespace velmora
