// CliOptions: the command line of velmora-cli, parsed into a command, its words and the options.
// Options may stand anywhere after the program name. Passwords are never taken as argument
// values: only from an environment variable (--source-password-env VAR) or migrator.cfg.
//
// The option table (OptionTable) is the one list of the options: the parser reads it, and so do
// the help texts and the man page's options (CliHelp.h) and the bash completion
// (BashCompletion.h).
//
// Threads: any; nothing here keeps state.
#pragma once

#include <functional>
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
    std::optional<std::string> encrypt;       // "optional", "mandatory" or "strict" (target)
    std::optional<bool> trustServerCertificate;  // target
};

struct CliOptions {
    std::string command;                 // "migrate", "backup", ... ("" when none)
    std::vector<std::string> words;      // the command's positional words
    bool help = false;
    bool version = false;
    bool yes = false;
    bool resume = false;  // --resume: complete what an earlier run left on the target
    bool quiet = false;                  // only errors and the summary
    std::optional<std::string> config;   // --config FILE
    std::optional<std::string> targetScript;
    std::optional<std::string> report;
    std::optional<std::string> logFile;  // --log-file FILE: the log lines as well
    std::optional<std::string> backupFolder;  // --to DIR
    std::optional<std::string> verify;        // --verify count|full
    std::optional<std::string> translation;   // --translation full|classic
    std::optional<std::string> jobs;          // --jobs N: tables copied at once (Full)
    std::optional<std::string> maxStatementMb;  // --max-statement-mb N: the largest definition read
    std::optional<std::string> part;          // --part I/N: share I of N of a split run
    bool finish = false;                      // --finish: end a split run
    std::optional<std::string> bulk;          // --bulk auto|off: the target driver's bulk copy (Full)
    std::optional<std::string> tableFile;     // --table FILE: "show create table" texts (translate-view)
    std::optional<std::string> sqlMode;       // --sql-mode MODE: the mode a routine's text was written under
    std::optional<std::string> html;          // --html FILE: the assessment's page
    std::optional<std::string> json;          // --json FILE: the assessment as JSON
    std::optional<std::string> failOn;        // --fail-on adjustments|refusals (assess)
    std::string targetVersion;                // --target-version 2016|...|babelfish (assess)
    std::optional<std::string> targetSchema;  // --target-schema NAME
    std::optional<std::string> typeMap;       // --type-map FILE
    bool schemaPerDatabase = false;           // --schema-per-database: SRC,SRC... each into its schema
    bool follow = false;                      // --follow: follow the source's log after the copy
    bool readOnly = false;                    // --read-only: cutover sets the source read-only
    std::vector<std::string> exclude;         // --exclude TABLE,...: tables left out
    SideOverrides source;
    SideOverrides target;
};

struct ParseResult {
    CliOptions options;
    std::string error;  // empty when the command line is valid
};

// One option of the table.
struct OptionSpec {
    enum class Value {
        None,      // a flag
        Optional,  // a flag that may carry "=yes" / "=no"
        Required,  // "--name VALUE" or "--name=VALUE"
    };
    std::string name;       // "--config"
    std::string shortName;  // "-y", or empty
    Value value = Value::None;
    // What the value is, for the completion: "FILE", "DIR", "VAR", "NAME", or the choices
    // separated by "|" ("optional|mandatory|strict").
    std::string valueHint;
    // Stores the (checked) value; returns an error text, or "" when it was accepted.
    std::function<std::string(CliOptions&, const std::string&)> apply;
    // What the option does, for the help texts, the man page and the manual (one paragraph).
    std::string help;
    // The commands it applies to; empty: every command.
    std::vector<std::string> commands;

    bool AppliesTo(const std::string& command) const;
};

// The options of velmora-cli, in the order the help text lists them.
const std::vector<OptionSpec>& OptionTable();

// The commands, the first words they take (for the completion) and their help.
struct CommandSpec {
    std::string name;
    std::vector<std::string> kinds;  // "database", "clone", ...; empty when free words follow
    std::vector<std::string> usage;  // the usage lines, without "velmora-cli "
    std::string about;               // what the command does (the help text's paragraph)
};
const std::vector<CommandSpec>& CommandTable();

ParseResult ParseCommandLine(const std::vector<std::string>& args);

}  // namespace velmora::cli
