#include "support/LocalMariaDb.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace velmora::test {
namespace {

std::string Env(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

// A suite whose SetUpTestSuite fails has its tests skipped by the test framework, and a skipped
// test passes a ctest run: the suites that build their source database once would then not run
// at all, and nobody would hear. This listener catches what goes wrong while a suite is set up
// and makes each of its tests fail with it instead. It is registered by every test program that
// reaches the local MariaDB (the one thing those set-ups do).
class SuiteSetUpFailures : public testing::EmptyTestEventListener {
public:
    void OnTestSuiteStart(const testing::TestSuite&) override {
        caught_ = std::make_unique<testing::TestPartResultArray>();
        catching_ = std::make_unique<testing::ScopedFakeTestPartResultReporter>(
            testing::ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, caught_.get());
    }
    void OnTestStart(const testing::TestInfo&) override {
        catching_.reset();
        for (int i = 0; caught_ && i < caught_->size(); ++i) {
            if (caught_->GetTestPartResult(i).failed()) {
                ADD_FAILURE() << "the suite's set-up failed: " << caught_->GetTestPartResult(i).message();
            }
        }
    }
    void OnTestSuiteEnd(const testing::TestSuite&) override { catching_.reset(); }

private:
    std::unique_ptr<testing::TestPartResultArray> caught_;
    std::unique_ptr<testing::ScopedFakeTestPartResultReporter> catching_;
};

const bool kSuiteSetUpFailuresListened = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new SuiteSetUpFailures);
    return true;
}();

}  // namespace

MariaDbAddress LocalMariaDb() {
    MariaDbAddress address;
    address.host = Env("VELMORA_MARIADB_HOST", "127.0.0.1");
    address.port = std::atoi(Env("VELMORA_MARIADB_PORT", "33077").c_str());
    address.user = Env("VELMORA_MARIADB_USER", "velmora");
    address.password = Env("VELMORA_MARIADB_PASSWORD", "velmora-local-pw");
    return address;
}

std::string RunMariaDbClient(const std::string& sql) {
    MariaDbAddress db = LocalMariaDb();
    char sqlPath[] = "/tmp/velmora-sql-XXXXXX";
    int fd = mkstemp(sqlPath);
    EXPECT_GE(fd, 0);
    if (fd < 0) return {};
    {
        std::ofstream file(sqlPath);
        file << sql;
    }
    close(fd);
    std::string command = "MYSQL_PWD='" + db.password + "' mariadb --no-defaults --protocol=TCP" +
                          " --default-character-set=utf8mb4 -N -B -r -h " + db.host + " -P " +
                          std::to_string(db.port) + " -u " + db.user + " < " + sqlPath + " 2>&1";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe) {
        char buffer[65536];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
        int status = pclose(pipe);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "mariadb client failed for:\n" << sql << "\n" << output;
    } else {
        ADD_FAILURE() << "cannot run the mariadb client";
    }
    unlink(sqlPath);
    return output;
}

std::vector<std::vector<std::string>> QueryRows(const std::string& sql) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(RunMariaDbClient(sql));
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        std::string field;
        while (std::getline(parts, field, '\t')) fields.push_back(field);
        rows.push_back(fields);
    }
    return rows;
}

}  // namespace velmora::test
