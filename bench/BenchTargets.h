// BenchTargets: what the row-copy benchmarks share: a port that prints the log lines worth
// seeing, and a target that accepts and discards every statement, so that only the engine's own
// work is measured and nothing grows with the table.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/DataAccess.h"
#include "tasks/UserPort.h"

namespace {

using velmora::ResultCode;

std::string Env(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

// The local MariaDB of scripts/local-mariadb (VELMORA_MARIADB_* override it).
const std::string kHost = Env("VELMORA_MARIADB_HOST", "127.0.0.1");
const std::string kPort = Env("VELMORA_MARIADB_PORT", "33077");
const std::string kUser = Env("VELMORA_MARIADB_USER", "velmora");
const std::string kPassword = Env("VELMORA_MARIADB_PASSWORD", "velmora-local-pw");

// The connection properties of the local MariaDB with `database` as the current database.
velmora::PropertySet LocalSourceProperties(const std::string& database) {
    velmora::PropertySet properties;
    properties.Add(velmora::kPropInitProviderString,
                   "Driver={MariaDB Unicode};SERVER=" + kHost + ";PORT=" + kPort +
                       ";DATABASE=" + database + ";");
    properties.Add(velmora::kPropAuthUserId, kUser);
    properties.Add(velmora::kPropAuthPassword, kPassword);
    return properties;
}

// A port that prints the log lines worth seeing and answers nothing.
class PrintingPort : public velmora::UserPort {
public:
    void ShowOutputLine(const std::string& line) override {
        if (line.find("00000 records converted!") == std::string::npos &&
            line.find("records converted!") != std::string::npos) {
            return;
        }
        std::printf("  log: %s\n", line.c_str());
    }
    void ShowHint(const std::string&) override {}
    void ShowStatus(int, const std::string&) override {}
    void ShowMessage(const std::string& text, const std::string& = {}) override { std::printf("  message: %s\n", text.c_str()); }
    bool AskOkCancel(const std::string&) override { return false; }
    bool AskYesNo(const std::string&, velmora::MessageIcon = velmora::MessageIcon::None) override {
        return false;
    }
    std::optional<std::string> ChooseFolder(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> PromptText(const std::string&) override { return std::nullopt; }
    std::optional<int> ChooseOne(const std::string&, const std::vector<std::string>&, int) override {
        return std::nullopt;
    }
    void TreeChanged(velmora::TreeSide) override {}
    void TaskListChanged() override {}
    void ShowStopStartButton(bool, const std::string&) override {}
};

// The target: every statement succeeds and is dropped at once, so that only the engine's own
// work is measured and nothing grows with the table.
class DiscardingStatement : public velmora::StatementRowset {
public:
    ResultCode Create(std::string_view text) override {
        bytes_ += text.size();
        return velmora::kSuccess;
    }
    ResultCode Execute(const velmora::PropertySet&) override { return velmora::kSuccess; }
    bool HasRowset() const override { return false; }
    ResultCode BindAllAsText(bool) override { return velmora::kFailure; }
    ResultCode MoveNext() override { return velmora::kEndOfRowset; }
    int ColumnCount() const override { return 0; }
    const velmora::ColumnInfo& Column(int) const override { return column_; }
    std::string_view Value(int) const override { return {}; }
    size_t Length(int) const override { return 0; }
    bool IsNull(int) const override { return true; }
    void Close() override {}
    std::string ProviderErrorText() const override { return "Unknown Error!"; }
    static inline std::atomic<size_t> bytes_{0};

private:
    velmora::ColumnInfo column_;
};

class DiscardingSession : public velmora::Session {
public:
    std::unique_ptr<velmora::StatementRowset> NewStatement() override {
        return std::make_unique<DiscardingStatement>();
    }
    std::unique_ptr<velmora::CatalogsRowset> NewCatalogsRowset() override { return nullptr; }
    std::unique_ptr<velmora::TablesRowset> NewTablesRowset() override { return nullptr; }
    std::unique_ptr<velmora::ColumnsRowset> NewColumnsRowset() override { return nullptr; }
    std::unique_ptr<velmora::IndexesRowset> NewIndexesRowset() override { return nullptr; }
    std::string ProviderErrorText() const override { return "Unknown Error!"; }
};

class DiscardingTarget : public velmora::DataSourceConnection {
public:
    ResultCode Open(std::string_view, const velmora::PropertySet&) override { return velmora::kSuccess; }
    ResultCode OpenSession() override { return velmora::kSuccess; }
    velmora::Session* session() override { return &session_; }
    ResultCode GetProperty(uint32_t, std::string& value) override {
        value.clear();
        return velmora::kSuccess;
    }
    void Close() override {}
    std::string ProviderErrorText() const override { return {}; }

private:
    DiscardingSession session_;
};

// Runs a shell command; returns its exit status and fills the child's peak memory in KiB.
int RunCommand(const std::string& command, long* peakKiB = nullptr) {
    pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (peakKiB) *peakKiB = usage.ru_maxrss;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Client() {
    return "MYSQL_PWD='" + kPassword + "' mariadb --no-defaults --protocol=TCP -h " + kHost +
           " -P " + kPort + " -u " + kUser;
}

// The sample's events table `table` filled with `rows` rows (MariaDB's seq engine): a key, text
// with quotes and non-ASCII letters, decimals, dates, NULLs.
std::string EventsTableSql(const std::string& table, long rows) {
    return "CREATE TABLE " + table +
           " (id bigint(20) unsigned NOT NULL AUTO_INCREMENT, kind varchar(20) "
           "NOT NULL, payload varchar(255) DEFAULT NULL, amount decimal(10,2) DEFAULT NULL, "
           "happened_at datetime NOT NULL, flag tinyint(1) NOT NULL DEFAULT 0, PRIMARY KEY (id), "
           "KEY ix_" + table + "_kind (kind)) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4; "
           "INSERT INTO " + table + " (id, kind, payload, amount, happened_at, flag) SELECT seq, "
           "ELT(1 + seq % 4, 'click', 'view', 'purchase', 'refund'), IF(seq % 10 = 0, NULL, "
           "CONCAT('event #', seq, ' from ''web'' / ünïcödé')), IF(seq % 7 = 0, NULL, (seq % 100000) "
           "/ 100), '2026-01-01 00:00:00' + INTERVAL (seq % 31536000) SECOND, seq % 2 FROM seq_1_to_" +
           std::to_string(rows) + ";";
}

}  // namespace
