// CliFixture: velmora-cli run as a user runs it, in a scratch home folder (VELMORA_HOME), with
// the local MariaDB as the source; standard input is not a terminal. Also a run in the
// background for the tests that signal the process, and the statements of a written script.
//
// Test thread only.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace velmora::test {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const std::string& path);

class CliFixture : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the program to its end.
    CliResult Cli(const std::string& arguments, bool withSource = true);
    // Starts the program; its output goes to out.txt and err.txt of the home folder (with a
    // `tag`, out-TAG.txt and err-TAG.txt, so that several can run at once).
    pid_t Launch(const std::string& arguments, const std::string& tag = "");
    // Waits for a launched program: its exit code (128 + the signal when a signal ended it) and
    // what it wrote.
    CliResult Collect(pid_t pid, const std::string& tag = "");

    // The statements of a script (the text between GO lines), header included.
    std::vector<std::string> ScriptStatements(const std::string& path);
    // Every statement parses as T-SQL, except those starting with one of `invalidPrefixes`.
    void ExpectScriptParses(const std::string& path, const std::vector<std::string>& invalidPrefixes);

    std::string home_;

private:
    std::string Command(const std::string& arguments, bool withSource, const std::string& tag = "");
    pid_t Spawn(const std::string& command);
};

}  // namespace velmora::test
