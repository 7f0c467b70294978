// Rows per second of CopyTableRows from a 2-million-row MariaDB table into the AutoBackup data
// file, with a target that accepts and discards every statement, next to mariadb-dump of the
// same table (one INSERT per row, and extended inserts) in the same run; and the peak memory of
// each. Not a timed test: it prints figures.
//
// Before that, the time and peak memory of a full verification of the same table (VerifyTable),
// run in a child process of its own so that its peak is its own. No SQL Server runs here: the
// target is a second MariaDB connection to the same table, with the verification's T-SQL
// rewritten into MySQL (MirrorTarget), so both sides really read, normalise and merge every row.
//
//   build/bench/bench_copy_rows [ROWS]      (ROWS defaults to 2,000,000)
//
// It creates the database velmora_bench_convert (the events table of scripts/sample-db filled
// from seq_1_to_ROWS) in the local MariaDB (settings from VELMORA_MARIADB_*), and drops it at the
// end. The work files go to a temporary folder that is removed afterwards.
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>

#include "Converters/FullRowTransfer.h"
#include "Converters/RowTransfer.h"
#include "Converters/SourceQuery.h"
#include "Converters/TableDefinitionReader.h"
#include "Converters/Verification.h"
#include "tasks/OperationLog.h"
#include "Converters/WorkerContext.h"
#include "data/OdbcConnection.h"
#include "tasks/UserPort.h"
#include "BenchTargets.h"

namespace {

const char* kDatabase = "velmora_bench_convert";

// The verification's T-SQL as MySQL: top (n) -> limit n, [name] -> `name`, N'' -> '', the binary
// collation -> utf8mb4_bin, count_big -> count. Enough for the statements VerifyTable sends.
std::string AsMySql(std::string_view tsql) {
    std::string text(tsql);
    std::smatch top;
    std::string limit;
    if (std::regex_search(text, top, std::regex(R"(^select top \((\d+)\) )"))) {
        limit = " limit " + top[1].str();
        text = "select " + top.suffix().str();
    }
    text = std::regex_replace(text, std::regex(R"(\[([^\]]*)\])"), "`$1`");
    text = std::regex_replace(text, std::regex("collate Latin1_General_BIN2"), "collate utf8mb4_bin");
    text = std::regex_replace(text, std::regex("count_big"), "count");
    text = std::regex_replace(text, std::regex(" N'"), " '");
    return text + limit;
}

// A MariaDB session that takes the target's statements.
class MirrorStatement : public velmora::StatementRowset {
public:
    explicit MirrorStatement(std::unique_ptr<velmora::StatementRowset> inner) : inner_(std::move(inner)) {}
    ResultCode Create(std::string_view text) override { return inner_->Create(AsMySql(text)); }
    ResultCode Execute(const velmora::PropertySet& p) override { return inner_->Execute(p); }
    bool HasRowset() const override { return inner_->HasRowset(); }
    ResultCode BindAllAsText(bool lengths) override { return inner_->BindAllAsText(lengths); }
    ResultCode MoveNext() override { return inner_->MoveNext(); }
    int ColumnCount() const override { return inner_->ColumnCount(); }
    const velmora::ColumnInfo& Column(int i) const override { return inner_->Column(i); }
    std::string_view Value(int i) const override { return inner_->Value(i); }
    size_t Length(int i) const override { return inner_->Length(i); }
    bool IsNull(int i) const override { return inner_->IsNull(i); }
    void Close() override { inner_->Close(); }
    std::string ProviderErrorText() const override { return inner_->ProviderErrorText(); }

private:
    std::unique_ptr<velmora::StatementRowset> inner_;
};

class MirrorSession : public velmora::Session {
public:
    explicit MirrorSession(velmora::Session* inner) : inner_(inner) {}
    std::unique_ptr<velmora::StatementRowset> NewStatement() override {
        return std::make_unique<MirrorStatement>(inner_->NewStatement());
    }
    std::unique_ptr<velmora::CatalogsRowset> NewCatalogsRowset() override { return nullptr; }
    std::unique_ptr<velmora::TablesRowset> NewTablesRowset() override { return nullptr; }
    std::unique_ptr<velmora::ColumnsRowset> NewColumnsRowset() override { return nullptr; }
    std::unique_ptr<velmora::IndexesRowset> NewIndexesRowset() override { return nullptr; }
    std::string ProviderErrorText() const override { return inner_->ProviderErrorText(); }
    bool StreamsRows() const override { return inner_->StreamsRows(); }

private:
    velmora::Session* inner_;
};

class MirrorTarget : public velmora::DataSourceConnection {
public:
    explicit MirrorTarget(std::unique_ptr<velmora::DataSourceConnection> inner)
        : inner_(std::move(inner)) {}
    ResultCode Open(std::string_view provider, const velmora::PropertySet& p) override {
        return inner_->Open(provider, p);
    }
    ResultCode OpenSession() override {
        ResultCode code = inner_->OpenSession();
        if (code == velmora::kSuccess) session_ = std::make_unique<MirrorSession>(inner_->session());
        return code;
    }
    velmora::Session* session() override { return session_.get(); }
    ResultCode GetProperty(uint32_t id, std::string& value) override {
        return inner_->GetProperty(id, value);
    }
    void Close() override { inner_->Close(); }
    std::string ProviderErrorText() const override { return inner_->ProviderErrorText(); }

private:
    std::unique_ptr<velmora::DataSourceConnection> inner_;
    std::unique_ptr<MirrorSession> session_;
};

std::string Dump(const std::string& options) {
    // mariadb-dump is the server's own client; --quick streams the rows as it writes them.
    return "MYSQL_PWD='" + kPassword + "' mariadb-dump --no-defaults --protocol=TCP -h " + kHost +
           " -P " + kPort + " -u " + kUser + " --quick " + options + " " + kDatabase + " events";
}

bool CreateDatabase(long rows) {
    std::string sql = "DROP DATABASE IF EXISTS " + std::string(kDatabase) + "; CREATE DATABASE " +
                      kDatabase + " CHARACTER SET utf8mb4; USE " + kDatabase + "; " +
                      EventsTableSql("events", rows);
    return RunCommand(Client() + " --default-character-set=utf8mb4 -e \"" + sql + "\"") == 0;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void Report(const char* what, long rows, double seconds, long peakKiB, uintmax_t bytes) {
    std::printf("%-44s %9.0f rows/s  %7.2f s  peak %6.1f MB  output %7.1f MB\n", what,
                static_cast<double>(rows) / seconds, seconds, peakKiB / 1024.0,
                static_cast<double>(bytes) / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
    long rows = argc > 1 ? std::atol(argv[1]) : 2000000;
    std::printf("Creating %s.events with %ld rows...\n", kDatabase, rows);
    if (!CreateDatabase(rows)) {
        std::fprintf(stderr, "cannot create the bench database (is the local MariaDB running?)\n");
        return 1;
    }
    namespace fs = std::filesystem;
    fs::path work = fs::temp_directory_path() / ("velmora-bench-convert-" + std::to_string(getpid()));
    fs::create_directories(work);
    PrintingPort port;
    velmora::OperationLog log(&port);
    velmora::WorkerContext context;
    context.log = &log;
    context.sourceConnection = velmora::NewOdbcConnection();
    context.targetConnection = std::make_unique<DiscardingTarget>();
    context.workFolder = work.string() + "/";
    velmora::DataSourceConnection& source = *context.sourceConnection;
    const velmora::PropertySet properties = LocalSourceProperties(kDatabase);
    int status = 0;
    {
        // The verification in a child process: its peak memory is its own.
        std::fflush(stdout);
        auto start = std::chrono::steady_clock::now();
        pid_t child = fork();
        if (child == 0) {
            auto mirror = std::make_unique<MirrorTarget>(velmora::NewOdbcConnection());
            bool open = source.Open("MSDASQL", properties) == velmora::kSuccess &&
                        source.OpenSession() == velmora::kSuccess &&
                        mirror->Open("MSDASQL", properties) == velmora::kSuccess &&
                        mirror->OpenSession() == velmora::kSuccess;
            context.targetConnection = std::move(mirror);
            if (!open) _exit(3);
            velmora::TableVerification v =
                velmora::VerifyTable(context, kDatabase, "events", velmora::VerifyMode::Full);
            std::printf("VerifyTable full: %lld rows compared, %lld missing, %lld extra, %lld "
                        "different, error '%s'\n",
                        static_cast<long long>(v.rowsCompared), static_cast<long long>(v.missing),
                        static_cast<long long>(v.extra), static_cast<long long>(v.different),
                        v.error.c_str());
            std::fflush(stdout);
            _exit(v.Matches() ? 0 : 4);
        }
        int childStatus = 0;
        rusage usage{};
        wait4(child, &childStatus, 0, &usage);
        Report("VerifyTable full (MariaDB as the target)", rows, Seconds(start), usage.ru_maxrss, 0);
        context.targetConnection = std::make_unique<DiscardingTarget>();
    }
    if (source.Open("MSDASQL", properties) != velmora::kSuccess ||
        source.OpenSession() != velmora::kSuccess) {
        std::fprintf(stderr, "cannot connect: %s\n", source.ProviderErrorText().c_str());
        status = 1;
    } else {
        context.options.autoBackup = true;
        long before = 0;
        {
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            before = usage.ru_maxrss;
        }
        auto start = std::chrono::steady_clock::now();
        velmora::RowCopyResult result = velmora::CopyTableRows(context, kDatabase, "events");
        double seconds = Seconds(start);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("\nCopyTableRows: %s, %lld rows read, %lld written, %lld failed "
                    "(peak before the copy %.1f MB)\n",
                    result.text.c_str(), static_cast<long long>(result.rowsRead),
                    static_cast<long long>(result.rowsWritten),
                    static_cast<long long>(result.rowsFailed), before / 1024.0);
        Report("CopyTableRows (AutoBackup, discarding target)", rows, seconds, usage.ru_maxrss,
               fs::file_size(work / "events.data"));
        fs::remove(work / "events.data");

        // The Full translation's copy: rows rendered for their target columns and sent in
        // multi-row statements inside transactions.
        std::string why;
        std::string definition = velmora::ReadDefinition(
            log, source.session(), velmora::ShowCreateTableStatement("events"), &why);
        velmora::FullTableTranslation table =
            velmora::TranslateTableFull(definition, {kDatabase, ""});
        start = std::chrono::steady_clock::now();
        result = velmora::CopyTableRowsFull(context, kDatabase, table, nullptr);
        seconds = Seconds(start);
        getrusage(RUSAGE_SELF, &usage);
        std::printf("\nCopyTableRowsFull: %s, %lld rows read, %lld written, %lld failed\n",
                    result.text.c_str(), static_cast<long long>(result.rowsRead),
                    static_cast<long long>(result.rowsWritten),
                    static_cast<long long>(result.rowsFailed));
        Report("CopyTableRowsFull (250-row statements, discarding)", rows, seconds,
               usage.ru_maxrss, fs::file_size(work / "events.data"));
        fs::remove(work / "events.data");
        fs::current_path(work);  // the dumps below are written by the shell

        long peak = 0;
        start = std::chrono::steady_clock::now();
        RunCommand(Dump("--skip-extended-insert") + " > dump-rows.sql", &peak);
        Report("mariadb-dump --skip-extended-insert", rows, Seconds(start), peak,
               fs::file_size("dump-rows.sql"));
        start = std::chrono::steady_clock::now();
        RunCommand(Dump("") + " > dump.sql", &peak);
        Report("mariadb-dump", rows, Seconds(start), peak, fs::file_size("dump.sql"));
        source.Close();
    }
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(work);
    RunCommand(Client() + " -e \"DROP DATABASE IF EXISTS " + std::string(kDatabase) + "\"");
    return status;
}
