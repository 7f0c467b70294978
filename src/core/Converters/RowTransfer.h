// RowTransfer: copies the rows of one MySQL table into the SQL Server table of the same name,
// one "insert into <table> values (...)" statement per row, narrowed by the table's stored
// migration condition. With AutoBackup on, every statement is also written, one per line and
// exactly as it was run, into "<table>.data" in the task's work folder (the file is created, or
// emptied, on every copy).
//
// Memory stays bounded however large the table is: a table with a qualifying key is read in
// keyset pages ordered by that key (KeysetPaging.h); a table without one is read in one pass,
// which the log says. Progress: a line every 1,000 rows; a stop request is honoured after the
// row in progress.
//
// Failed inserts are counted, the first one's driver text is logged once, and the summary line
// then says how many rows failed instead of claiming success.
//
// Runs on the scheduler thread with the task's own two sessions.
#pragma once

#include <string>
#include <string_view>

#include "Converters/ConversionReport.h"
#include "Converters/WorkFiles.h"

namespace velmora {

class OperationLog;
struct WorkerContext;

// result.text: "TRUE" when the copy loop ran (whatever ended it), "FALSE" when a session is
// missing or the query failed, the RESULT text when the query returned no rows object, or the
// driver's error text when the result's columns could not be read.
// `narrower`, when given, is a further MySQL predicate the rows must meet (a resumed copy's
// "after the last key on the target").
RowCopyResult CopyTableRows(WorkerContext& context, std::string_view database,
                            std::string_view table, std::string_view narrower = {});

// The line after a table's rows: "[t] N records converted, convertion completed SUCCESSFULLY!",
// or the count of the rows that FAILED, or that reading the rows FAILED.
void WriteCopySummary(OperationLog& log, std::string_view table, const RowCopyResult& result);

// What both row copies share around their rows:
// - true when the task has both sessions; else the "No Source Connection!" or "No Target
//   Connection!" line and false;
// - "<table>.data" in the work folder, made once the rows can be read: with AutoBackup a file
//   that cannot be made is a line and result.backupFailed;
// - its close after the summary: with AutoBackup a file not written whole is a line and
//   result.backupFailed.
bool RowCopySessionsReady(WorkerContext& context);
WorkFile OpenDataFile(WorkerContext& context, const std::string& table, RowCopyResult& result);
void CloseDataFile(WorkerContext& context, WorkFile& data, const std::string& table,
                   RowCopyResult& result);

// "insert into <table> values (" with the table name quoted as the target needs it.
std::string InsertStatementStart(std::string_view table);

}  // namespace velmora
