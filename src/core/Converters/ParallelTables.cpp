#include "Converters/ParallelTables.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "Converters/ConversionDrivers.h"
#include "Converters/CopyPlan.h"
#include "Converters/RangedTable.h"
#include "Converters/WorkerContext.h"

namespace velmora {
namespace {

// The tables of this run in the catalog's order, each whole or with the key ranges it copies.
struct TableWork {
    std::string name;
    std::vector<KeyRange> ranges;  // empty: the table is copied whole by one writer
    std::unique_ptr<RangedTable> ranged;
};

// What the writers take one after another: a whole table, or one range of a table.
struct WorkItem {
    size_t table = 0;
    size_t range = 0;
};

// This process's units: all of them, or its share of a split run (said in the log).
std::vector<CopyUnit> UnitsOfThisRun(WorkerContext& context, std::vector<CopyUnit> units,
                                     ConversionReport* report) {
    const TaskOptions& options = context.options;
    if (!options.Split()) return units;
    const std::string fingerprint = SplitFingerprint(units, options.parts);
    if (report) report->split = fingerprint;
    const std::vector<int> shares = AssignShares(units, options.parts);
    std::vector<CopyUnit> mine;
    for (size_t i = 0; i < units.size(); ++i) {
        if (shares[i] == options.part) mine.push_back(std::move(units[i]));
    }
    context.Log().WriteOutputLine("Share %d of %d: %zu of %zu copy units (split %s)", options.part,
                                  options.parts, mine.size(), units.size(), fingerprint.c_str());
    return mine;
}

std::vector<TableWork> GroupByTable(std::string_view database, std::vector<CopyUnit> units,
                                    std::vector<WorkItem>& items) {
    std::vector<TableWork> tables;
    for (CopyUnit& unit : units) {
        if (tables.empty() || tables.back().name != unit.table || !unit.range) {
            tables.push_back({unit.table, {}, nullptr});
        }
        TableWork& table = tables.back();
        items.push_back({tables.size() - 1, table.ranges.size()});
        if (unit.range) table.ranges.push_back(std::move(*unit.range));
    }
    for (TableWork& table : tables) {
        if (table.ranges.empty()) continue;
        table.ranged = std::make_unique<RangedTable>(std::string(database), table.name,
                                                     static_cast<int>(table.ranges.size()));
    }
    return tables;
}

std::vector<std::unique_ptr<WorkerContext>> OpenPeers(WorkerContext& context, size_t wanted) {
    std::vector<std::unique_ptr<WorkerContext>> peers;
    while (context.openPeer && peers.size() + 1 < wanted) {
        std::unique_ptr<WorkerContext> peer = context.openPeer();
        if (!peer) {
            context.Log().WriteOutputLine("No more connections for parallel tables: %zu at a time",
                                          peers.size() + 1);
            break;
        }
        peers.push_back(std::move(peer));
    }
    return peers;
}

}  // namespace

void ConvertTablesInParallel(WorkerContext& context, std::string_view database,
                             const std::vector<std::string>& names, ConversionReport* report) {
    OperationLog& log = context.Log();
    const TaskOptions& options = context.options;
    // AutoBackup keeps one data file per table, in order: such a run copies tables whole.
    PlanChoices choices{(options.jobs > 1 || options.Split()) && !options.autoBackup, options.Split()};
    std::vector<WorkItem> items;
    std::vector<TableWork> tables = GroupByTable(
        database, UnitsOfThisRun(context, PlanCopyUnits(context, database, names, choices), report),
        items);
    const size_t wanted = std::min<size_t>(static_cast<size_t>(std::max(options.jobs, 1)), items.size());
    std::vector<std::unique_ptr<WorkerContext>> peers = OpenPeers(context, wanted);
    if (!peers.empty()) {
        log.WriteOutputLine("Converting %zu tables, %zu at a time", tables.size(), peers.size() + 1);
    }

    // One report per whole table, merged in the catalog's order at the end.
    std::vector<ConversionReport> outcomes(tables.size());
    std::atomic<size_t> next{0};
    // With more than one table at a time, every line of a table names it.
    const bool nameTables = !peers.empty();
    auto work = [&](WorkerContext& worker) {
        while (!worker.StopRequested()) {
            const size_t index = next++;
            if (index >= items.size()) return;
            TableWork& table = tables[items[index].table];
            LogTableScope named(nameTables ? table.name : std::string());
            if (!table.ranged) {
                ConvertTable(worker, database, table.name, &outcomes[items[index].table]);
            } else if (table.ranged->Prepare(worker)) {
                table.ranged->CopyRange(worker, table.ranges[items[index].range]);
            }
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(peers.size());
    for (std::unique_ptr<WorkerContext>& peer : peers) threads.emplace_back(work, std::ref(*peer));
    work(context);
    for (std::thread& thread : threads) thread.join();
    for (std::unique_ptr<WorkerContext>& peer : peers) {
        if (peer->targetConnection) peer->targetConnection->Close();
        if (peer->sourceConnection) peer->sourceConnection->Close();
    }

    const bool stopped = context.StopRequested();
    if (stopped) log.WriteText("Tables Converting Terminaled!");
    for (size_t i = 0; i < tables.size(); ++i) {
        if (tables[i].ranged) {
            tables[i].ranged->Finish(context, outcomes[i]);
        }
    }
    if (!report) return;
    for (size_t i = 0; i < outcomes.size(); ++i) {
        ConversionReport& outcome = outcomes[i];
        // A table no writer reached before the stop is listed, never lost.
        if (stopped && outcome.tables.empty()) report->AddNotStarted("table", std::string(database), tables[i].name);
        for (TableReport& table : outcome.tables) report->tables.push_back(std::move(table));
        for (PendingForeignKey& key : outcome.foreignKeys) report->foreignKeys.push_back(std::move(key));
        for (std::string& failure : outcome.failures) report->AddFailure(std::move(failure));
    }
    if (stopped) report->stopped = true;
}

}  // namespace velmora
