// CliOptions: the command line of velmora-cli, parsed into a command, its words and the options.
// Options may stand anywhere after the program name. Passwords are never taken as argument
// values: only from an environment variable (--source-password-env VAR) or migrator.cfg.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velmora::cli {

struct SideOverrides {
    std::optional<std::string> server;        // HOST[:PORT]
    std::optional<std::string> user;
    std::optional<std::string> passwordEnv;   // name of the variable holding the password
    std::optional<std::string> database;
    std::optional<std::string> provider;      // provider display name
};

struct CliOptions {
    std::string command;                 // "migrate", "backup", ... ("" when none)
    std::vector<std::string> words;      // the command's positional words
    bool help = false;
    bool yes = false;
    bool resume = false;  // --resume: complete what an earlier run left on the target
    std::optional<std::string> config;   // --config FILE
    std::optional<std::string> targetScript;
    std::optional<std::string> report;
    std::optional<std::string> backupFolder;  // --to DIR
    std::optional<std::string> verify;        // --verify count|full
    std::optional<std::string> translation;   // --translation full|classic
    SideOverrides source;
    SideOverrides target;
};

struct ParseResult {
    CliOptions options;
    std::string error;  // empty when the command line is valid
};

ParseResult ParseCommandLine(const std::vector<std::string>& args);

}  // namespace velmora::cli
