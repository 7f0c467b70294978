// ConversionFixture: the setting of the conversion engine's integration tests: a task's
// WorkerContext whose source is the real local MariaDB through the real ODBC driver and whose
// target is the scripted TargetDouble; its work folder is a fresh temporary folder (named by
// absolute path, as every task's is; the current folder stays where it is). Condition.cfg lives in
// that folder too. The window model supplies the log and the stop state.
//
// Test thread only (the drivers run on it as well).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Converters/ConversionReport.h"
#include "Converters/WorkerContext.h"
#include "commands/MainWindowModel.h"
#include "support/ScriptedPort.h"
#include "support/TargetDouble.h"

namespace velmora::test {

// Connects `connection` to the local MariaDB with `database` as the current database, as the
// connect sequence does (provider MSDASQL, driver "MariaDB Unicode").
ResultCode ConnectLocalMariaDb(DataSourceConnection& connection, const std::string& database);

class ConversionFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Reconnects the source with another current database.
    void UseSourceDatabase(const std::string& database);

    // The contents of a file in the work folder ("" when it does not exist).
    std::string ReadWorkFile(const std::string& name) const;
    bool WorkFileExists(const std::string& name) const;
    // The log's messages (time stamps removed), oldest first.
    std::vector<std::string> Messages() const;
    // Asserts that every statement sent to the target so far parses as T-SQL, except the ones
    // declared invalid and the known forms listed in ConversionFixture.cpp. TearDown runs it once more, so no test can skip it; a statement that
    // has passed once is not sent to the oracle again.
    void ExpectTargetStatementsParse();
    // A statement the test sends on purpose although (or because) it is no valid T-SQL.
    void DeclareInvalid(const std::string& statement) { invalid_.insert(statement); }
    // A peer of context_ for tables at once, as the worker opens one: the same log, stop check,
    // options and folders, its own source connection on `database`, the target double shared.
    // Null when the source cannot be opened.
    std::unique_ptr<WorkerContext> OpenPeer(const std::string& database);
    // The statements sent to the target that start with `prefix`.
    std::vector<std::string> TargetStatementsStartingWith(const std::string& prefix) const;

    ScriptedPort port_;
    TargetDouble* target_ = nullptr;
    std::unique_ptr<MainWindowModel> main_;
    WorkerContext context_;
    std::string workFolder_;

private:
    std::set<std::string> invalid_;
    std::set<std::string> parsed_;
};

// The Full row copy's setting: a ConversionFixture in Full mode with one writer (a test may
// change both), the target database "sales", and a source database of the test's own
// (`database_`, one per process) that MakeSource fills and TearDown drops.
class FullCopyFixture : public ConversionFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the test's own database anew with `ddl` and makes it the source's current one.
    void MakeSource(const std::string& ddl);
    // Converts one table of it; its report (and a test failure unless one table was converted).
    TableReport Convert(const std::string& table);
    // Tables at once and key ranges get peers on the test's own database (OpenPeer).
    void GivePeers();
    // A bulk copy gets one more connection to the target double, as a worker opens one.
    void GiveBulkTargets();
    // The log's messages that start with `prefix`, oldest first.
    std::vector<std::string> MessagesStartingWith(const std::string& prefix) const;

    std::string database_;
};

// `prefix` followed by this process's id: ctest runs test cases in parallel processes, and each
// must create and drop its own database.
std::string ProcessDatabaseName(const std::string& prefix);

// Runs SQL on the local MariaDB through the command-line client (setup and teardown of the
// tests' own databases).
void RunSql(const std::string& sql);

}  // namespace velmora::test
