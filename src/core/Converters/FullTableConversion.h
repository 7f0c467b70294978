// FullTableConversion: one table in the Full translation, as the drivers run it. The definition
// is read and translated from its model (translation/FullTableTranslator.h); every adjustment is a log
// line ("[t] ADJUSTED ...") and an entry of the table's report; then the CREATE TABLE (primary key
// and checks inside), the indexes (one failing index fails with the driver's text and the table
// goes on), the comments (a comment the target refuses fails nothing), the rows
// (FullRowTransfer.h), the identity reseed. The foreign keys wait in the report until every table
// of the database exists.
//
// Runs on the scheduler thread with the task's own connections.
#pragma once

#include <string_view>

#include "Converters/ConversionReport.h"
#include "Converters/WorkFiles.h"
#include "translation/FullTableTranslator.h"

namespace velmora {

struct WorkerContext;

// Reads a table's definition (into `definition`) and translates it in Full, with the definitions
// of the tables its unsigned keys reference. `why` says why it could not be read or translated
// ("" when it was). Sends nothing.
FullTableTranslation ReadTableFull(WorkerContext& context, std::string_view database,
                                   std::string_view table, std::string& definition,
                                   std::string& why);

// 1 when the table was created, -1 when its definition could not be read or translated or its
// create failed. `file` is the table's open work file; `outcome` receives the counts and
// adjustments; failures and the pending foreign keys go into `report` when given.
int ConvertTableFull(WorkerContext& context, std::string_view database, std::string_view table,
                     WorkFile& file, TableReport& outcome, ConversionReport* report);

// The steps of ConvertTableFull, for a table whose rows are copied in key ranges on several
// writers: the definition read and translated (its adjustments logged and kept in `outcome`);
// the table created with its indexes and comments; the identity reseeded once its rows are in;
// its foreign keys queued in `report` until every table exists. The first two return false after
// the failure lines and the report's failure.
bool TranslateTableForTask(WorkerContext& context, std::string_view database, std::string_view table,
                           TableReport& outcome, ConversionReport* report,
                           FullTableTranslation& translation);
bool CreateTableFull(WorkerContext& context, WorkFile& file, std::string_view database,
                     const FullTableTranslation& translation, TableReport& outcome,
                     ConversionReport* report);
void ReseedIdentity(WorkerContext& context, WorkFile& file, const FullTableTranslation& translation,
                    TableReport& outcome, ConversionReport* report);
void QueueTableForeignKeys(WorkerContext& context, std::string_view database,
                           const FullTableTranslation& translation, ConversionReport* report);

// Creates the foreign keys the tables left in `report`, appending each to its table's work file.
// A key the target refuses with its ON DELETE / ON UPDATE actions is created without them, and
// that is an adjustment of its table.
// The rows of a table that exists on the target already (a resumed migration), narrowed by
// `narrower`: the definition is read and translated again for the rendering of the values, and
// nothing is created. A definition that cannot be read or translated fails the copy (result.text).
RowCopyResult CopyRowsFull(WorkerContext& context, std::string_view database,
                           std::string_view table, TableReport& outcome,
                           std::string_view narrower);

void CreatePendingForeignKeys(WorkerContext& context, std::string_view database,
                              ConversionReport& report);

}  // namespace velmora
