// CliRunner: velmora-cli run as a user runs it, in a scratch home folder of the test's own, with
// the local MariaDB as the source (its password through the variable PW) unless told otherwise.
// Standard input is not a terminal, so questions are answered by --yes or end the command.
#pragma once

#include <string>

namespace velmora::test {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class CliRunner {
public:
    CliRunner();   // makes the home folder
    ~CliRunner();  // removes it
    CliRunner(const CliRunner&) = delete;
    CliRunner& operator=(const CliRunner&) = delete;

    const std::string& home() const { return home_; }
    // `arguments` as a shell would take them (the caller quotes); `environment` is put before the
    // program ("NAME='value' ...").
    CliResult Run(const std::string& arguments, bool withSource = true, const std::string& environment = "");
    // The shell command that Run would run, without its redirections.
    std::string Command(const std::string& arguments, bool withSource = true,
                        const std::string& environment = "") const;

private:
    std::string home_;
};

std::string ReadWholeFile(const std::string& path);

}  // namespace velmora::test
