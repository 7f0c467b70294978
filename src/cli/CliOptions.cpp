#include "CliOptions.h"

#include <functional>

namespace velmora::cli {
namespace {

using Setter = std::function<void(CliOptions&, const std::string&)>;

const std::map<std::string, Setter>& ValueOptions() {
    static const std::map<std::string, Setter> options = {
        {"--config", [](CliOptions& o, const std::string& v) { o.config = v; }},
        {"--target-script", [](CliOptions& o, const std::string& v) { o.targetScript = v; }},
        {"--report", [](CliOptions& o, const std::string& v) { o.report = v; }},
        {"--to", [](CliOptions& o, const std::string& v) { o.backupFolder = v; }},
        {"--verify", [](CliOptions& o, const std::string& v) { o.verify = v; }},
        {"--translation", [](CliOptions& o, const std::string& v) { o.translation = v; }},
        {"--source", [](CliOptions& o, const std::string& v) { o.source.server = v; }},
        {"--source-user", [](CliOptions& o, const std::string& v) { o.source.user = v; }},
        {"--source-password-env",
         [](CliOptions& o, const std::string& v) { o.source.passwordEnv = v; }},
        {"--source-database", [](CliOptions& o, const std::string& v) { o.source.database = v; }},
        {"--source-provider", [](CliOptions& o, const std::string& v) { o.source.provider = v; }},
        {"--target", [](CliOptions& o, const std::string& v) { o.target.server = v; }},
        {"--target-user", [](CliOptions& o, const std::string& v) { o.target.user = v; }},
        {"--target-password-env",
         [](CliOptions& o, const std::string& v) { o.target.passwordEnv = v; }},
        {"--target-database", [](CliOptions& o, const std::string& v) { o.target.database = v; }},
        {"--target-provider", [](CliOptions& o, const std::string& v) { o.target.provider = v; }},
    };
    return options;
}

}  // namespace

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
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--yes" || arg == "-y") {
            options.yes = true;
        } else if (arg == "--resume") {
            options.resume = true;
        } else if (arg == "--source-password" || arg == "--target-password") {
            result.error = arg + " is not accepted: a password on the command line is visible to "
                                 "every user of the machine. Put it in an environment variable and "
                                 "pass " + arg + "-env VAR, or keep it in migrator.cfg";
            return result;
        } else if (auto option = ValueOptions().find(arg); option != ValueOptions().end()) {
            if (!inlineValue) {
                if (i + 1 >= args.size()) {
                    result.error = arg + " needs a value";
                    return result;
                }
                value = args[++i];
            }
            option->second(options, value);
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
