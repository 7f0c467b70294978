// What a new user meets first with velmora-cli: the checks made before any work (each exits 2
// and changes nothing), connection errors that name their cause, a summary that explains every
// failure, and Ctrl-C that stops the work, writes the summary and points to --resume.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "support/CliFixture.h"
#include "support/LocalMariaDb.h"

namespace velmora {
namespace {

using CliFirstHour = test::CliFixture;
using test::CliResult;
using test::ReadFile;

TEST_F(CliFirstHour, WrongInputStopsTheCommandBeforeAnyWork) {
    struct Case {
        std::string arguments;
        std::string message;     // on standard error
        std::string notShown;    // never on standard error or output ("" for none)
        bool sourceConnected;    // whether the source was connected before the refusal
    };
    const Case cases[] = {
        {"migrate table shop orders sales --report /nonexistent/dir/r.json",
         "cannot write the report /nonexistent/dir/r.json: No such file or directory", "", false},
        // A password given where a variable's name belongs is never printed back, and the
        // check comes before the source is connected.
        {"migrate table shop orders sales --target 127.0.0.1:1 --target-password-env S3cretPw",
         "the environment variable named by --target-password-env is not set", "S3cretPw", false},
        {"migrate table shop ordersx sales", "the source database shop has no table ordersx",
         "Convert table", true},
        {"migrate view shop no_such_view sales", "the source database shop has no view no_such_view",
         "Convert view", true},
        {"verify shop sales ordersx --target 127.0.0.1:1 --target-user sa --target-password-env PW",
         "server unreachable", "", true},
        {"migrate database shopx sales", "database missing: ", "Convert database", false},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(home_ + "/out");
        const bool scripted = c.arguments.find("--target ") == std::string::npos;
        CliResult result =
            Cli(c.arguments + " --yes" + (scripted ? " --target-script '" + home_ + "/out'" : ""));
        EXPECT_EQ(result.exitCode, 2) << c.arguments << "\n" << result.err << result.out;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << c.arguments << "\n" << result.err;
        if (!c.notShown.empty()) {
            EXPECT_EQ((result.err + result.out).find(c.notShown), std::string::npos)
                << c.arguments << "\n" << result.err;
        }
        EXPECT_EQ(result.out.find("Connect Source Database!") != std::string::npos, c.sourceConnected)
            << c.arguments << "\n" << result.out;
        // Nothing was written: no script, no report.
        EXPECT_FALSE(std::filesystem::exists(home_ + "/out")) << c.arguments;
        EXPECT_EQ(result.out.find("Converting"), std::string::npos) << c.arguments;
    }
}

// A wrong password and an unreachable server read differently, on both sides; the specified
// texts stay, the cause follows on the next line.
TEST_F(CliFirstHour, ConnectionErrorsNameTheirCause) {
    test::MariaDbAddress db = test::LocalMariaDb();
    const std::string server = "--source " + db.host + ":" + std::to_string(db.port);
    const std::string source = server + " --source-user " + db.user;
    struct Case {
        std::string arguments;
        std::string failure;
        std::string cause;
    };
    const Case cases[] = {
        {server + " --source-user no_such_user --source-password-env PW",
         "Source Connection error!\nlogin refused: ",
         "Access denied"},
        {"--source 127.0.0.1:1 --source-user x --source-password-env PW",
         "Source Connection error!\nserver unreachable: ", "Can't connect"},
        {source + " --source-password-env PW --target 127.0.0.1:1 --target-user sa "
                  "--target-password-env PW",
         "Target Connection error!\nserver unreachable: ", "unavailable or does not exist"},
    };
    for (const Case& c : cases) {
        CliResult result = Cli("migrate database shop sales --yes " + c.arguments +
                                   (c.arguments.find("--target ") == std::string::npos
                                        ? " --target-script '" + home_ + "/out'"
                                        : ""),
                               false);
        EXPECT_EQ(result.exitCode, 2) << c.arguments;
        EXPECT_NE(result.err.find(c.failure), std::string::npos) << c.arguments << "\n" << result.err;
        EXPECT_NE(result.err.find(c.cause), std::string::npos) << c.arguments << "\n" << result.err;
    }
}

// The summary names the task and keeps its columns for every kind of object; a failed table
// carries the server's reason in the summary and in the report.
TEST_F(CliFirstHour, TheSummaryNamesTheTaskAndEveryFailureHasItsReason) {
    CliResult result = Cli("migrate database shop sales --yes --translation classic --target-script '" +
                           home_ + "/out' --report '" + home_ + "/r.json'");
    ASSERT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.out.find("\nmigrate database shop -> sales: FAILURE, 1 of "), std::string::npos)
        << result.out;
    EXPECT_EQ(result.out.find("task 258"), std::string::npos);
    EXPECT_NE(result.out.find("    its name holds a blank\n"), std::string::npos) << result.out;
    // Every line of the table has its outcome at the same column as the header's.
    const size_t header = result.out.find("\nobject ");
    ASSERT_NE(header, std::string::npos) << result.out;
    const size_t outcomeColumn = result.out.find("outcome", header) - header - 1;
    size_t lines = 0;
    for (size_t at = result.out.find('\n', header + 1); at != std::string::npos;
         at = result.out.find('\n', at + 1)) {
        const std::string line = result.out.substr(at + 1, result.out.find('\n', at + 1) - at - 1);
        if (line.empty() || line[0] == ' ' || line.rfind("migrate ", 0) == 0) continue;
        ++lines;
        ASSERT_GT(line.size(), outcomeColumn) << line;
        EXPECT_EQ(line[outcomeColumn - 1], ' ') << line;
        EXPECT_TRUE(line.compare(outcomeColumn, 8, "migrated") == 0 ||
                    line.compare(outcomeColumn, 7, "skipped") == 0 ||
                    line.compare(outcomeColumn, 6, "failed") == 0 ||
                    line.compare(outcomeColumn, 12, "not migrated") == 0)
            << line;
    }
    EXPECT_GT(lines, 10u);
    EXPECT_NE(result.out.find(" foreign keys "), std::string::npos);  // those rows included
    const std::string report = ReadFile(home_ + "/r.json");
    EXPECT_NE(report.find("\"title\": \"migrate database shop -> sales\""), std::string::npos);
    EXPECT_NE(report.find("\"name\": \"order notes\", \"outcome\": \"skipped\", \"reason\": \"its "
                          "name holds a blank\""),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("\"summary\": \"migrate database shop -> sales: FAILURE, 1 of "),
              std::string::npos);
}

// Ctrl-C in the middle of a large table: the copy stops after its batch, the summary and the
// report are written, a line points to --resume; the exit code is 128 + SIGINT.
TEST_F(CliFirstHour, TheFirstSignalStopsTheTaskAndWritesTheSummary) {
    const std::string database = "cli_stop_" + std::to_string(getpid());
    test::RunMariaDbClient("DROP DATABASE IF EXISTS " + database + "; CREATE DATABASE " + database +
                           "; USE " + database + "; CREATE TABLE big (id int PRIMARY KEY, pad "
                           "varchar(100)); INSERT INTO big SELECT seq, repeat('x', 80) FROM "
                           "seq_1_to_3000000;");
    pid_t pid = Launch("migrate table " + database + " big sales --yes --target-script '" + home_ +
                       "/out' --report '" + home_ + "/r.json'");
    bool copying = false;
    for (int i = 0; i < 600 && !copying; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        copying = ReadFile(home_ + "/out.txt").find("records converted!") != std::string::npos;
    }
    kill(pid, SIGINT);
    CliResult result = Collect(pid);
    test::RunMariaDbClient("DROP DATABASE IF EXISTS " + database + ";");
    ASSERT_TRUE(copying) << result.out << result.err;
    EXPECT_EQ(result.exitCode, 130) << result.err;
    // The table's row, and the run's own row that counts where the stop left each object.
    const size_t row = result.out.find(database + ".big ");
    ASSERT_NE(row, std::string::npos) << result.out;
    const std::string line = result.out.substr(row, result.out.find('\n', row) - row);
    EXPECT_NE(line.find(" table "), std::string::npos) << line;
    EXPECT_NE(line.find(" stopped "), std::string::npos) << line;
    EXPECT_NE(result.out.find("a stop request ended the run: 0 done, 1 stopped, 0 not started"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("migrate table " + database + ".big -> sales: FAILURE, 1 stopped"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.err.find("run the same command again with --resume"), std::string::npos)
        << result.err;
    const std::string report = ReadFile(home_ + "/r.json");
    EXPECT_NE(report.find("\"exitCode\": 130"), std::string::npos) << report;
    EXPECT_NE(report.find("\"outcome\": \"stopped\""), std::string::npos) << report;
}

}  // namespace
}  // namespace velmora
