#include "CliOptions.h"

#include <algorithm>
#include <cctype>

namespace velmora::cli {
namespace {

using Value = OptionSpec::Value;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A setter that takes any value.
template <typename Field>
std::function<std::string(CliOptions&, const std::string&)> Store(Field field) {
    return [field](CliOptions& o, const std::string& v) {
        field(o) = v;
        return std::string();
    };
}

std::function<std::string(CliOptions&, const std::string&)> Flag(bool CliOptions::*member) {
    return [member](CliOptions& o, const std::string&) {
        o.*member = true;
        return std::string();
    };
}

std::string ApplyEncrypt(CliOptions& o, const std::string& value) {
    const std::string choice = Lower(value);
    if (choice != "optional" && choice != "mandatory" && choice != "strict") {
        return "--target-encrypt takes optional, mandatory or strict, not '" + value + "'";
    }
    o.target.encrypt = choice;
    return {};
}

std::string ApplyTrust(CliOptions& o, const std::string& value) {
    const std::string choice = Lower(value);
    if (choice.empty() || choice == "yes" || choice == "true") {
        o.target.trustServerCertificate = true;
    } else if (choice == "no" || choice == "false") {
        o.target.trustServerCertificate = false;
    } else {
        return "--target-trust-server-certificate takes yes or no, not '" + value + "'";
    }
    return {};
}

std::vector<OptionSpec> BuildTable() {
    auto side = [](bool source) {
        return [source](CliOptions& o) -> SideOverrides& { return source ? o.source : o.target; };
    };
    std::vector<OptionSpec> table = {
        {"--help", "-h", Value::None, "", Flag(&CliOptions::help)},
        {"--version", "-V", Value::None, "", Flag(&CliOptions::version)},
        {"--yes", "-y", Value::None, "", Flag(&CliOptions::yes)},
        {"--quiet", "-q", Value::None, "", Flag(&CliOptions::quiet)},
        {"--resume", "", Value::None, "", Flag(&CliOptions::resume)},
        {"--config", "", Value::Required, "FILE",
         Store([](CliOptions& o) -> auto& { return o.config; })},
        {"--target-script", "", Value::Required, "DIR",
         Store([](CliOptions& o) -> auto& { return o.targetScript; })},
        {"--report", "", Value::Required, "FILE",
         Store([](CliOptions& o) -> auto& { return o.report; })},
        {"--log-file", "", Value::Required, "FILE",
         Store([](CliOptions& o) -> auto& { return o.logFile; })},
        {"--to", "", Value::Required, "DIR",
         Store([](CliOptions& o) -> auto& { return o.backupFolder; })},
        {"--translation", "", Value::Required, "full|classic",
         Store([](CliOptions& o) -> auto& { return o.translation; })},
        {"--jobs", "-j", Value::Required, "N",
         Store([](CliOptions& o) -> auto& { return o.jobs; })},
        {"--table", "", Value::Required, "FILE",
         Store([](CliOptions& o) -> auto& { return o.tableFile; })},
        {"--verify", "", Value::Required, "count|full",
         Store([](CliOptions& o) -> auto& { return o.verify; })},
    };
    for (bool source : {true, false}) {
        const std::string prefix = source ? "--source" : "--target";
        auto of = side(source);
        table.push_back({prefix, "", Value::Required, "HOST",
                         Store([of](CliOptions& o) -> auto& { return of(o).server; })});
        table.push_back({prefix + "-user", "", Value::Required, "NAME",
                         Store([of](CliOptions& o) -> auto& { return of(o).user; })});
        table.push_back({prefix + "-password-env", "", Value::Required, "VAR",
                         Store([of](CliOptions& o) -> auto& { return of(o).passwordEnv; })});
        table.push_back({prefix + "-database", "", Value::Required, "NAME",
                         Store([of](CliOptions& o) -> auto& { return of(o).database; })});
        table.push_back({prefix + "-provider", "", Value::Required, "NAME",
                         Store([of](CliOptions& o) -> auto& { return of(o).provider; })});
    }
    table.push_back({"--target-encrypt", "", Value::Required, "optional|mandatory|strict",
                     ApplyEncrypt});
    table.push_back({"--target-trust-server-certificate", "", Value::Optional, "yes|no",
                     ApplyTrust});
    return table;
}

const OptionSpec* FindOption(const std::string& arg) {
    for (const OptionSpec& spec : OptionTable()) {
        if (arg == spec.name || (!spec.shortName.empty() && arg == spec.shortName)) return &spec;
    }
    return nullptr;
}

}  // namespace

const std::vector<OptionSpec>& OptionTable() {
    static const std::vector<OptionSpec> table = BuildTable();
    return table;
}

const std::vector<CommandSpec>& CommandTable() {
    static const std::vector<CommandSpec> commands = {
        {"translate-table", {}},
        {"translate-view", {}},
        {"tree", {"source", "target"}},
        {"migrate", {"database", "clone", "tables", "views", "table", "view"}},
        {"backup", {"database", "tables", "views", "table", "view"}},
        {"verify", {}},
        {"condition", {"show", "set", "test"}},
        {"drivers", {}},
        {"completion", {"bash"}},
        {"help", {}},
    };
    return commands;
}

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
    ParseResult result;
    CliOptions& options = result.options;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool inlineValue = false;
        if (arg.rfind("--", 0) == 0) {
            size_t equals = arg.find('=');
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
                arg = arg.substr(0, equals);
                inlineValue = true;
            }
        }
        if (arg == "--source-password" || arg == "--target-password") {
            result.error = arg + " is not accepted: a password on the command line is visible to "
                                 "every user of the machine. Put it in an environment variable and "
                                 "pass " + arg + "-env VAR, or keep it in migrator.cfg";
            return result;
        }
        if (const OptionSpec* option = FindOption(arg)) {
            if (option->value == Value::None && inlineValue) {
                result.error = arg + " takes no value";
                return result;
            }
            if (option->value == Value::Required && !inlineValue) {
                if (i + 1 >= args.size()) {
                    result.error = arg + " needs a value";
                    return result;
                }
                value = args[++i];
            }
            result.error = option->apply(options, value);
            if (!result.error.empty()) return result;
        } else if (arg.rfind("--", 0) == 0) {
            result.error = "unknown option " + arg;
            return result;
        } else if (options.command.empty()) {
            options.command = arg;
        } else {
            options.words.push_back(arg);
        }
    }
    return result;
}

}  // namespace velmora::cli
