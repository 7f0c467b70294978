#include "support/CliFixture.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/LocalMariaDb.h"
#include "support/TsqlOracle.h"

namespace velmora::test {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void CliFixture::SetUp() {
    char folder[] = "/tmp/velmora-cli-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    home_ = folder;
}

void CliFixture::TearDown() { std::filesystem::remove_all(home_); }

namespace {

// The output files of a launched program: out.txt and err.txt, or out-TAG.txt and err-TAG.txt.
std::string OutputFile(const std::string& home, const char* stream, const std::string& tag) {
    return home + "/" + stream + (tag.empty() ? "" : "-" + tag) + ".txt";
}

}  // namespace

std::string CliFixture::Command(const std::string& arguments, bool withSource, const std::string& tag) {
    MariaDbAddress db = LocalMariaDb();
    std::string command = "cd '" + home_ + "' && VELMORA_HOME='" + home_ + "' PW='" + db.password +
                          "' exec '" VELMORA_BINARY_DIR "/src/cli/velmora-cli' " + arguments;
    if (withSource) {
        command += " --source " + db.host + ":" + std::to_string(db.port) + " --source-user " +
                   db.user + " --source-password-env PW";
    }
    return command + " </dev/null >'" + OutputFile(home_, "out", tag) + "' 2>'" +
           OutputFile(home_, "err", tag) + "'";
}

CliResult CliFixture::Cli(const std::string& arguments, bool withSource) {
    return Collect(Spawn(Command(arguments, withSource)));
}

pid_t CliFixture::Launch(const std::string& arguments, const std::string& tag) {
    return Spawn(Command(arguments, true, tag));
}

pid_t CliFixture::Spawn(const std::string& command) {
    pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

CliResult CliFixture::Collect(pid_t pid, const std::string& tag) {
    CliResult result;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid) {
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status)
                                            : (WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1);
    }
    result.out = ReadFile(OutputFile(home_, "out", tag));
    result.err = ReadFile(OutputFile(home_, "err", tag));
    return result;
}

std::vector<std::string> CliFixture::ScriptStatements(const std::string& path) {
    std::string text = ReadFile(path);
    std::vector<std::string> statements;
    size_t start = 0;
    for (size_t go = text.find("\nGO\n"); go != std::string::npos; go = text.find("\nGO\n", start)) {
        statements.push_back(text.substr(start, go - start));
        start = go + 4;
    }
    return statements;
}

void CliFixture::ExpectScriptParses(const std::string& path,
                                    const std::vector<std::string>& invalidPrefixes) {
    std::vector<std::string> statements = ScriptStatements(path);
    ASSERT_GT(statements.size(), 1u) << path;
    for (const std::string& statement : statements) {
        bool expectedInvalid = false;
        for (const std::string& prefix : invalidPrefixes) {
            expectedInvalid = expectedInvalid || statement.rfind(prefix, 0) == 0;
        }
        if (!expectedInvalid) {
            EXPECT_EQ(DescribeTsqlProblems(statement), "");
        }
    }
}

}  // namespace velmora::test
