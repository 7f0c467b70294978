// Reading a large table through the data access layer: rows per second and peak memory.
//
//   bench_read_table [DATABASE [TABLE [PAGE_ROWS]]]     (defaults: velmora_bench events 0)
//
// PAGE_ROWS 0 reads the table with one statement (what the driver does with a whole result);
// PAGE_ROWS n > 0 reads it in keyset pages of n rows ordered by the first column, the way a reader
// of a huge table keeps memory bounded when the driver does not stream. Every value of every row
// is read as text, as the row copy reads it. The server comes from VELMORA_MARIADB_HOST, _PORT,
// _USER and _PASSWORD (scripts/local-mariadb env). bench/read-table runs the whole comparison.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/OdbcConnection.h"

namespace {

using velmora::kSuccess;

std::string Env(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

long ResidentKilobytes() {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    long kilobytes = 0;
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) kilobytes = std::atol(line + 6);
    }
    std::fclose(status);
    return kilobytes;
}

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct Totals {
    long rows = 0;
    long long bytes = 0;
    std::string lastKey;
    bool failed = false;
};

// Runs one statement and reads every value of every row.
void ReadStatement(velmora::Session& session, const std::string& sql, Totals& totals, long& rowsRead) {
    std::unique_ptr<velmora::StatementRowset> statement = session.NewStatement();
    rowsRead = 0;
    if (statement->Create(sql) != kSuccess || statement->Execute(velmora::StandardRowsetProperties()) != kSuccess ||
        statement->BindAllAsText() != kSuccess) {
        std::fprintf(stderr, "bench_read_table: %s\n  %s\n", sql.c_str(), statement->ProviderErrorText().c_str());
        totals.failed = true;
        return;
    }
    while (statement->MoveNext() == kSuccess) {
        for (int i = 0; i < statement->ColumnCount(); ++i) totals.bytes += static_cast<long long>(statement->Length(i));
        totals.lastKey.assign(statement->Value(0));
        ++rowsRead;
    }
    totals.rows += rowsRead;
    statement->Close();
}

}  // namespace

int main(int argc, char** argv) {
    std::string database = argc > 1 ? argv[1] : "velmora_bench";
    std::string table = argc > 2 ? argv[2] : "events";
    long pageRows = argc > 3 ? std::atol(argv[3]) : 0;

    velmora::PropertySet properties;
    properties.Add(velmora::kPropAuthMaskPassword, false);
    properties.Add(velmora::kPropAuthPassword, Env("VELMORA_MARIADB_PASSWORD", "velmora-local-pw"));
    properties.Add(velmora::kPropAuthUserId, Env("VELMORA_MARIADB_USER", "velmora"));
    properties.Add(velmora::kPropInitProviderString,
                   ";Driver={MariaDB Unicode};SERVER=" + Env("VELMORA_MARIADB_HOST", "127.0.0.1") +
                       ";PORT=" + Env("VELMORA_MARIADB_PORT", "33077") + ";UID=root;Database=" + database);
    std::unique_ptr<velmora::DataSourceConnection> connection = velmora::NewOdbcConnection();
    if (connection->Open("MSDASQL", properties) != kSuccess || connection->OpenSession() != kSuccess) {
        std::fprintf(stderr, "bench_read_table: cannot connect: %s\n", connection->ProviderErrorText().c_str());
        return 1;
    }
    velmora::Session& session = *connection->session();
    long before = ResidentKilobytes();
    auto start = std::chrono::steady_clock::now();
    Totals totals;
    long rowsRead = 0;
    if (pageRows <= 0) {
        ReadStatement(session, "select * from " + table, totals, rowsRead);
    } else {
        std::string key = "-1";  // below every key of the benchmark tables
        do {
            ReadStatement(session,
                          "select * from " + table + " where id > " + key + " order by id limit " +
                              std::to_string(pageRows),
                          totals, rowsRead);
            key = totals.lastKey;
        } while (!totals.failed && rowsRead == pageRows);
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (totals.failed) return 1;
    std::printf("layer %-22s rows %ld  bytes %lld  %.2f s  %.0f rows/s  peak RSS %.1f MB  "
                "(RSS before %.1f MB, after Close %.1f MB)  driver streams: %s\n",
                pageRows > 0 ? ("pages of " + std::to_string(pageRows)).c_str() : "one statement", totals.rows,
                totals.bytes, seconds, totals.rows / seconds, PeakKilobytes() / 1024.0, before / 1024.0,
                ResidentKilobytes() / 1024.0, session.StreamsRows() ? "yes" : "no");
    return 0;
}
