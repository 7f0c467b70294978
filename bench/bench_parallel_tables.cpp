// Several tables copied at once (Full mode, the task's jobs option): the time, rows per second
// and peak memory of ConvertDatabaseTables over TABLES tables of ROWS rows each, from the local
// MariaDB into targets that discard every statement, with 1 to MAX_JOBS tables at a time. Each
// run is a child process of its own, so that its peak memory is its own. Not a timed test: it
// prints figures.
//
//   build/bench/bench_parallel_tables [TABLES [ROWS [MAX_JOBS]]]   (defaults: 4 500000 4)
//
// It creates the database velmora_bench_parallel (the sample's events table, TABLES times) in the
// local MariaDB (settings from VELMORA_MARIADB_*), and drops it at the end.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "Converters/ConversionDrivers.h"
#include "Converters/WorkerContext.h"
#include "data/OdbcConnection.h"
#include "tasks/OperationLog.h"
#include "BenchTargets.h"

namespace {

const char* kDatabase = "velmora_bench_parallel";

// A context on its own source connection and a discarding target.
std::unique_ptr<velmora::WorkerContext> OpenContext(velmora::OperationLog& log,
                                                    const std::string& folder, int jobs) {
    auto context = std::make_unique<velmora::WorkerContext>();
    context->log = &log;
    context->workFolder = folder;
    context->options.translation = velmora::TranslationMode::Full;
    context->options.jobs = jobs;
    context->sourceConnection = velmora::NewOdbcConnection();
    if (context->sourceConnection->Open("MSDASQL", LocalSourceProperties(kDatabase)) != velmora::kSuccess ||
        context->sourceConnection->OpenSession() != velmora::kSuccess) {
        std::fprintf(stderr, "cannot connect: %s\n", context->sourceConnection->ProviderErrorText().c_str());
        return nullptr;
    }
    context->targetConnection = std::make_unique<DiscardingTarget>();
    return context;
}

// One run with `jobs` tables at a time, in this (child) process; the exit status says whether
// every row arrived.
int RunOnce(int jobs, long expectedRows, const std::string& folder) {
    PrintingPort port;
    velmora::OperationLog log(&port);
    std::unique_ptr<velmora::WorkerContext> context = OpenContext(log, folder, jobs);
    if (!context) return 3;
    context->openPeer = [&] { return OpenContext(log, folder, jobs); };
    velmora::ConversionReport report;
    velmora::ConvertDatabaseTables(*context, kDatabase, &report);
    const long written = static_cast<long>(report.RowsWritten());
    if (written != expectedRows || report.Failed()) {
        std::printf("  %ld of %ld rows written, %zu failures\n", written, expectedRows,
                    report.failures.size());
        return 4;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int tables = argc > 1 ? std::atoi(argv[1]) : 4;
    const long rows = argc > 2 ? std::atol(argv[2]) : 500000;
    const int maxJobs = argc > 3 ? std::atoi(argv[3]) : 4;
    std::printf("Creating %s with %d tables of %ld rows...\n", kDatabase, tables, rows);
    std::string sql = "DROP DATABASE IF EXISTS " + std::string(kDatabase) + "; CREATE DATABASE " +
                      kDatabase + " CHARACTER SET utf8mb4; USE " + kDatabase + "; ";
    for (int t = 1; t <= tables; ++t) sql += EventsTableSql("events" + std::to_string(t), rows);
    if (RunCommand(Client() + " --default-character-set=utf8mb4 -e \"" + sql + "\"") != 0) {
        std::fprintf(stderr, "cannot create the bench database (is the local MariaDB running?)\n");
        return 1;
    }
    namespace fs = std::filesystem;
    const fs::path work = fs::temp_directory_path() / ("velmora-bench-parallel-" + std::to_string(getpid()));
    fs::create_directories(work);
    int status = 0;
    for (int jobs = 1; jobs <= maxJobs; ++jobs) {
        std::fflush(stdout);
        const auto start = std::chrono::steady_clock::now();
        pid_t child = fork();
        if (child == 0) {
            const int code = RunOnce(jobs, rows * tables, work.string() + "/");
            std::fflush(stdout);
            _exit(code);
        }
        int childStatus = 0;
        rusage usage{};
        wait4(child, &childStatus, 0, &usage);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const bool ok = WIFEXITED(childStatus) && WEXITSTATUS(childStatus) == 0;
        if (!ok) status = 1;
        std::printf("jobs %d: %d tables x %ld rows  %6.2f s  %9.0f rows/s  peak RSS %6.1f MB%s\n",
                    jobs, tables, rows, seconds, static_cast<double>(rows * tables) / seconds,
                    usage.ru_maxrss / 1024.0, ok ? "" : "  (rows missing: see above)");
    }
    fs::remove_all(work);
    RunCommand(Client() + " -e \"DROP DATABASE IF EXISTS " + std::string(kDatabase) + "\"");
    return status;
}
