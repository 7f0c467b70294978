#include "support/CliRunner.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/LocalMariaDb.h"

namespace velmora::test {

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

CliRunner::CliRunner() {
    char folder[] = "/tmp/velmora-cli-XXXXXX";
    if (!mkdtemp(folder)) ADD_FAILURE() << "mkdtemp failed";
    home_ = folder;
}

CliRunner::~CliRunner() {
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
}

std::string CliRunner::Command(const std::string& arguments, bool withSource, const std::string& environment) const {
    MariaDbAddress db = LocalMariaDb();
    std::string command = "cd '" + home_ + "' && VELMORA_HOME='" + home_ + "' PW='" + db.password + "' " +
                          environment + " '" VELMORA_BINARY_DIR "/src/cli/velmora-cli' " + arguments;
    if (withSource) {
        command += " --source " + db.host + ":" + std::to_string(db.port) + " --source-user " + db.user +
                   " --source-password-env PW";
    }
    return command;
}

CliResult CliRunner::Run(const std::string& arguments, bool withSource, const std::string& environment) {
    std::string command = Command(arguments, withSource, environment) + " </dev/null >'" + home_ +
                          "/out.txt' 2>'" + home_ + "/err.txt'";
    CliResult result;
    int status = std::system(command.c_str());
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadWholeFile(home_ + "/out.txt");
    result.err = ReadWholeFile(home_ + "/err.txt");
    return result;
}

}  // namespace velmora::test
