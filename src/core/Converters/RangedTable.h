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
// The row progress of the ranges goes to the progress hook as one table's.
//
// Threads: Prepare and CopyRange are called by the writer threads, each with its own
// WorkerContext; Finish by the task's thread after they are joined.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "Converters/ConversionReport.h"
#include "Converters/KeyRanges.h"
#include "Converters/WorkerContext.h"
#include "translation/FullTableTranslator.h"

namespace velmora {

class RangedTable {
public:
    // `ranges`: how many of the table's ranges this run copies.
    RangedTable(std::string database, std::string name, int ranges);

    // Creates or finds the table, once; false when it can take no rows (its ranges are skipped).
    bool Prepare(WorkerContext& worker);
    // Copies one range on the worker's connections.
    void CopyRange(WorkerContext& worker, const KeyRange& range);
    // The table's report entry, failures and foreign keys into `report` (fewer ranges copied
    // than planned: a stop ended the run).
    void Finish(WorkerContext& context, ConversionReport& report);

private:
    // The worker's row progress hook for one range, summed over the table's ranges.
    std::function<void(const TableProgress&)> RangeProgress(WorkerContext& worker, int range);
    void Merge(const RowCopyResult& rows, const std::vector<std::string>& adjustments,
               const std::string& resume);

    const std::string database_;
    const int ranges_;
    std::mutex mutex_;
    std::map<int, TableProgress> progress_;  // per range, under mutex_
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
