// CopyPlan: the copy units of a database's tables, read from the source alone: each table whole,
// or, when it is big enough and its key allows it, cut into key ranges (KeyRanges.h) that writers
// copy at once on connections of their own.
//
// A table is cut only when its key is one column of numbers, decimals or dates and times (their
// order is the same on both servers, so a range means the same rows on each); a composite,
// text or binary key, no key, or a name holding a blank keeps the table whole, and the log says
// why for every table big enough to be cut. The size comes from the catalog's estimate, or from
// an exact count where every process of a split run must reach the same plan (InnoDB's estimate
// may change between two reads).
//
// Runs on the task's thread with its source session.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Converters/KeyRanges.h"

namespace velmora {

struct WorkerContext;

struct PlanChoices {
    bool cut = true;            // false: every table whole
    bool exactCounts = false;   // count(*) instead of the catalog's estimate
};

std::vector<CopyUnit> PlanCopyUnits(WorkerContext& context, std::string_view database,
                                    const std::vector<std::string>& tables, PlanChoices choices);

// The query that samples every `step`-th key of `column` in ascending order.
std::string SampleKeysQuery(std::string_view table, std::string_view column, int64_t step);

}  // namespace velmora
