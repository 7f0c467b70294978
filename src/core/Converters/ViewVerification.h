// ViewVerification: proves a migrated view by its rows. A view has no key to merge its rows by,
// and its order is not part of its meaning, so each side's rows are read whole and reduced to a
// multiset of row digests: every value normalised as the table verification normalises it
// (ValueNormalisation.h, NULL apart from every text), the row's values hashed together. The
// counts are compared first, then the digests. A view that differs is named with one row that is
// on one side only, read again to be shown. `count` compares the counts only.
//
// Memory grows with the view's distinct rows (16 bytes each), never with their width.
// Runs on the scheduler thread with the task's own sessions, like Verification.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Converters/ConversionReport.h"
#include "config/Options.h"

namespace velmora {

struct WorkerContext;

TableVerification VerifyView(WorkerContext& context, std::string_view database, std::string_view view, VerifyMode mode);

// Verifies each view and records it in `report` (its entry, kind "view"; a mismatch is a failure).
void VerifyViewsIntoReport(WorkerContext& context, std::string_view database, const std::vector<std::string>& views,
                           VerifyMode mode, ConversionReport& report);

// After a migration: every view the report says was created.
void VerifyMigratedViews(WorkerContext& context, VerifyMode mode, ConversionReport& report);

}  // namespace velmora
