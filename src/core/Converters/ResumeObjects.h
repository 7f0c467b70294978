// ResumeObjects: the objects of a table that a resumed migration finds on the target already.
// The earlier run may have stopped or failed after the CREATE TABLE, or someone may have dropped
// an object since: each index (by its name), default (by its column) and check (by its
// definition) that the Full translation makes and the target lacks is created, each a log line,
// and the table's foreign keys are queued as a new table's are (CreatePendingForeignKeys creates
// each one missing by its name). A statement the target refuses fails the table's step, as in a
// first run.
//
// Runs on the scheduler thread (or a peer's) with the context's own target session.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Converters/ConversionReport.h"
#include "translation/FullTableTranslator.h"

namespace velmora {

struct WorkerContext;

// Creates what the target table lacks of `translation` (its foreign keys are the caller's).
void CompleteResumedTable(WorkerContext& context, const FullTableTranslation& translation,
                          TableReport& outcome, ConversionReport* report);

// The same for a table known by name, and its foreign keys queued in `report`: its definition is
// read and translated first (a failure fails the table's "resume" step).
void CompleteResumedTable(WorkerContext& context, std::string_view database, std::string_view table,
                          TableReport& outcome, ConversionReport* report);

// A check's definition as compared between the translation and the target's catalog, which
// prints it in its own way: lower case, without blanks, brackets, parentheses, N before
// literals and the word CHECK ("CHECK ([n] > 0)" and "([n]>(0))" are both "n>0").
std::string ComparableCheck(std::string_view definition);

// The first column of `query` on the target, one text a row; nothing when it failed.
std::optional<std::vector<std::string>> TargetColumnTexts(WorkerContext& context, const std::string& query);

}  // namespace velmora
