#include "Converters/ParallelTables.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "Converters/ConversionDrivers.h"
#include "Converters/WorkerContext.h"

namespace velmora {

void ConvertTablesInParallel(WorkerContext& context, std::string_view database,
                             const std::vector<std::string>& tables, ConversionReport* report) {
    OperationLog& log = context.Log();
    const size_t wanted = std::min<size_t>(static_cast<size_t>(std::max(context.options.jobs, 1)),
                                           tables.size());
    std::vector<std::unique_ptr<WorkerContext>> peers;
    while (context.openPeer && peers.size() + 1 < wanted) {
        std::unique_ptr<WorkerContext> peer = context.openPeer();
        if (!peer) {
            log.WriteOutputLine("No more connections for parallel tables: %zu at a time",
                                peers.size() + 1);
            break;
        }
        peers.push_back(std::move(peer));
    }
    if (!peers.empty()) {
        log.WriteOutputLine("Converting %zu tables, %zu at a time", tables.size(), peers.size() + 1);
    }

    // One report per table, merged in the catalog's order at the end.
    std::vector<ConversionReport> outcomes(tables.size());
    std::atomic<size_t> next{0};
    // With more than one table at a time, every line of a table names it.
    const bool nameTables = !peers.empty();
    auto work = [&](WorkerContext& worker) {
        while (!worker.StopRequested()) {
            const size_t index = next++;
            if (index >= tables.size()) return;
            LogTableScope named(nameTables ? tables[index] : std::string());
            ConvertTable(worker, database, tables[index], &outcomes[index]);
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
    if (!report) return;
    for (ConversionReport& outcome : outcomes) {
        for (TableReport& table : outcome.tables) report->tables.push_back(std::move(table));
        for (PendingForeignKey& key : outcome.foreignKeys) report->foreignKeys.push_back(std::move(key));
        for (std::string& failure : outcome.failures) report->AddFailure(std::move(failure));
    }
    if (stopped) report->stopped = true;
}

}  // namespace velmora
