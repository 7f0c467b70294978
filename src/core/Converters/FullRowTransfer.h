// FullRowTransfer: the row copy of the Full translation.
//
// Each source row, read with the translation's select list (spatial values as WKT), is rendered
// for its target columns (translation/FullValueRendering.h) and sent in multi-row statements with an
// explicit column list, "INSERT INTO [t] ([a],[b]) VALUES (...),(...)": at most kBatchRows rows
// and about kBatchBytes of values each (T-SQL takes at most 1,000 rows in one VALUES list),
// inside explicit transactions of kBatchesPerTransaction statements. Computed columns are never
// written; identity values are kept (IDENTITY_INSERT ON for the copy). A row with a value of
// kStreamedValueBytes or more goes on its own, its large values sent as parameters in pieces
// (StreamedRow.h), after the open transaction has committed; a target that takes only text (a
// script) gets it in a batch as any other row.
//
// Exact isolation of failing rows: when a statement fails, its transaction is rolled back, the
// earlier statements of that transaction are sent again, and the failing statement's rows one
// at a time, so only the rows the server refuses count as failed. The first refusal's driver
// text is logged once per table. A value the target cannot store (a zero date in a NOT NULL
// column, a time beyond a day) fails its row before anything is sent; a zero date in a nullable
// column becomes NULL and is counted per column as an adjustment.
//
// With AutoBackup, "<table>.data" receives the statements that arrived, in order, one per line.
// Rows count as written when their transaction commits; after a failure the transaction is ended
// for certain (IF @@TRANCOUNT > 0 ROLLBACK), so the target holds exactly the rows reported written.
//
// The rows are read through MariaDB Connector/C where the source allows it (NativeRowSource.h),
// streamed in one pass; else through the task's ODBC source session.
//
// Threads: called on the task's thread, which reads and renders the rows with the task's source
// session while a writing thread sends them with the task's target session, through a bounded
// queue of two batches; the writer is joined before the call returns. A stop request ends the
// reading at the next row; what was read is still sent. (A third thread that rendered apart from
// the reading measured no faster on two cores: the copy of the values cost what it saved.)
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Converters/ConversionReport.h"
#include "translation/FullTableTranslator.h"

namespace velmora {

struct WorkerContext;

inline constexpr size_t kBatchRows = 250;
inline constexpr size_t kBatchBytes = 1 << 20;
inline constexpr size_t kBatchesPerTransaction = 8;

// Copies the rows of `table`; the adjustments of the copy (zero dates made NULL, per column) are
// added to `adjustments`. result.text as CopyTableRows gives it. The rows are read from the
// source table `sourceTable` (by default the translation's table name, which they are written to).
RowCopyResult CopyTableRowsFull(WorkerContext& context, std::string_view database,
                                const FullTableTranslation& table,
                                std::vector<std::string>* adjustments,
                                std::string_view narrower = {}, std::string_view sourceTable = {});

}  // namespace velmora
