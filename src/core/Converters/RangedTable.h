// RangedTable: one table of the Full translation whose rows several writers copy at once, one key
// range each (KeyRanges.h), every writer on its own source and target connections.
//
// The first writer to reach the table creates it (with its indexes and comments), or finds it on
// the target in a resumed or split run, where another process may be creating it at the same
// moment: a create that fails because the table is there by now is no failure, and nothing is
// ever dropped. Each writer's target session switches IDENTITY_INSERT on for its own copy (the
// setting is per session). A range of a table this run created is copied straight; a range of a
// table that was there is completed like a resumed table, within its range only: skipped when
// its counts match, continued after its largest key on the target, or emptied (its rows only)
// and copied again. Once every writer is joined, Finish reseeds the identity once (a split run
// leaves that to --finish), queues the foreign keys and reports the table as one object with the
// rows of all its ranges.
//
// Threads: Prepare and CopyRange are called by the writer threads, each with its own
// WorkerContext; Finish by the task's thread after they are joined.
#pragma once

#include <chrono>
#include <mutex>
#include <string>

#include "Converters/ConversionReport.h"
#include "Converters/KeyRanges.h"
#include "translation/FullTableTranslator.h"

namespace velmora {

struct WorkerContext;

class RangedTable {
public:
    RangedTable(std::string database, std::string name);

    // Creates or finds the table, once; false when it can take no rows (its ranges are skipped).
    bool Prepare(WorkerContext& worker);
    // Copies one range on the worker's connections.
    void CopyRange(WorkerContext& worker, const KeyRange& range);
    // The table's report entry, failures and foreign keys into `report`; `ranges` is how many
    // ranges this run was to copy (fewer copied: a stop ended the run).
    void Finish(WorkerContext& context, int ranges, ConversionReport& report);

private:
    void Merge(const RowCopyResult& rows, const std::vector<std::string>& adjustments,
               const std::string& resume);

    const std::string database_;
    std::mutex mutex_;
    bool prepared_ = false;
    bool ready_ = false;
    bool created_ = false;  // by this run: its ranges are empty
    int copied_ = 0;
    FullTableTranslation translation_;
    TableReport outcome_;
    ConversionReport own_;  // the failures of the preparation
    const std::chrono::steady_clock::time_point started_;
};

}  // namespace velmora
