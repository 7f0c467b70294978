// LiveTarget: the SQL Server-compatible server that `scripts/test --target HOST[,PORT]` names,
// for the live suite. Its address comes from VELMORA_LIVE_TARGET, the login from
// VELMORA_LIVE_TARGET_USER and VELMORA_LIVE_TARGET_PASSWORD. Without them every live test skips.
//
// The suite touches only databases it created: their names start with "vlive_" and the process
// id, and each LiveDatabase drops its database when it goes (also one left by a killed run of
// the same name).
#pragma once

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "data/DataAccess.h"
#include "support/CliFixture.h"

namespace velmora::test {

struct LiveAddress {
    std::string server;  // host:port, as --target takes it
    std::string user;
    std::string password;
};

// The target of this run; nothing when none was given.
std::optional<LiveAddress> LiveTargetAddress();

// An open connection to the live target in `database` (master when empty); fails the calling
// test when it cannot be opened.
std::unique_ptr<DataSourceConnection> ConnectLiveTarget(const std::string& database = "");

// Runs one statement on `session`; returns its rows (values as text, NULL as "NULL") and fails
// the calling test with the server's reason when it fails.
std::vector<std::vector<std::string>> LiveQuery(Session& session, const std::string& statement);

// Runs one statement; returns the server's reason when it fails, "" when it succeeded.
std::string LiveExecute(Session& session, const std::string& statement);

// A target database of the test's own: "vlive_<pid>_<suffix>", dropped (connections first) when
// the object goes. With `create` false only the name is reserved (the program under test
// creates the database) and a leftover of that name is dropped first.
class LiveDatabase {
public:
    explicit LiveDatabase(const std::string& suffix, bool create = false);
    ~LiveDatabase();
    LiveDatabase(const LiveDatabase&) = delete;
    LiveDatabase& operator=(const LiveDatabase&) = delete;
    const std::string& name() const { return name_; }

private:
    std::string name_;
};

// The number of rows of `table` in the live database `database`; -1 when it cannot be counted.
long long LiveRowCount(const std::string& database, const std::string& table);

// velmora-cli (CliFixture) against the live target: a test skips when no target was given.
// Test thread only.
class LiveCliFixture : public CliFixture {
protected:
    void SetUp() override;

    // " --target ... --target-user ... --target-password-env ...": the live target's options.
    std::string TargetOptions() const;
    // Runs the program to its end with `arguments` and the live target's options.
    CliResult Live(const std::string& arguments);
    // The report of the last run with --report report.json; an empty object, after a test
    // failure, when there is none that reads.
    nlohmann::json Report();

    std::optional<LiveAddress> address_;
};

}  // namespace velmora::test
