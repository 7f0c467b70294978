// LocalMariaDb: the MariaDB server that scripts/local-mariadb starts for the test run. Tests read
// its address from the environment that scripts/test exports.
#pragma once

#include <string>
#include <vector>

namespace velmora::test {

struct MariaDbAddress {
    std::string host;
    int port = 0;
    std::string user;
    std::string password;
};

MariaDbAddress LocalMariaDb();

// Runs statements with the mariadb command-line client; returns its raw, tab-separated output
// (no column names, no escaping). Fails the calling test when the client fails.
std::string RunMariaDbClient(const std::string& sql);

// One row per line, fields split at tabs (a field may hold line feeds only as the last field).
std::vector<std::vector<std::string>> QueryRows(const std::string& sql);

}  // namespace velmora::test
