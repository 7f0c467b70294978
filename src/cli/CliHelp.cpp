#include "CliHelp.h"

#include <sstream>

#include "CliOptions.h"

namespace velmora::cli {
namespace {

constexpr size_t kWidth = 100;
constexpr size_t kOptionColumn = 36;

// `text` wrapped at kWidth columns; its first line starts at column `start`, the others are
// indented by `indent` columns.
std::string Wrap(const std::string& text, size_t start, size_t indent) {
    std::string out;
    size_t column = start;
    bool lineEmpty = true;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        if (!lineEmpty && column + 1 + word.size() > kWidth) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineEmpty = false;
    }
    return out + "\n";
}

// "--jobs N, -j N" / "--target-trust-server-certificate[=yes|no]".
std::string Synopsis(const OptionSpec& option) {
    std::string value;
    if (option.value == OptionSpec::Value::Required) value = " " + option.valueHint;
    if (option.value == OptionSpec::Value::Optional) value = "[=" + option.valueHint + "]";
    std::string text = option.name + value;
    if (!option.shortName.empty()) text += ", " + option.shortName + value;
    return text;
}

std::string OptionLines(const std::string& command) {
    std::string out;
    for (const OptionSpec& option : OptionTable()) {
        if (!command.empty() && !option.AppliesTo(command)) continue;
        std::string line = "  " + Synopsis(option);
        if (line.size() + 2 > kOptionColumn) {
            out += line + "\n";
            line.clear();
        }
        line.resize(kOptionColumn, ' ');
        out += line + Wrap(option.help, kOptionColumn, kOptionColumn);
    }
    return out;
}

const CommandSpec* FindCommand(const std::string& name) {
    for (const CommandSpec& command : CommandTable()) {
        if (command.name == name) return &command;
    }
    return nullptr;
}

const char* const kFooter =
    "On a terminal, migrate and backup show a live line per table on standard error.\n"
    "Passwords are never taken as argument values: use an environment variable or migrator.cfg.\n"
    "Exit codes: 0 every task succeeded, 1 a task failed, 2 usage or connection error,\n"
    "130 (143) stopped by Ctrl-C (SIGTERM) after the summary: run it again with --resume.\n";

std::string ProgramHelp() {
    std::string out = "Usage: velmora-cli COMMAND [ARGS] [OPTIONS]\n\nCommands:\n";
    for (const CommandSpec& command : CommandTable()) {
        for (const std::string& usage : command.usage) out += "  velmora-cli " + usage + "\n";
    }
    out += "'velmora-cli COMMAND --help' says what a command does and which options it takes.\n";
    out += "\nOptions (each connection option overrides its key of migrator.cfg):\n";
    return out + OptionLines("") + "\n" + kFooter;
}

// Roff text: backslashes doubled, minus signs as \-.
std::string Roff(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
    }
    // A line that starts with a dot or quote would be read as a request.
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
    return out;
}

}  // namespace

std::string HelpText(const std::string& name) {
    const CommandSpec* command = FindCommand(name);
    if (!command || name == "help") return ProgramHelp();
    std::string out;
    for (size_t i = 0; i < command->usage.size(); ++i) {
        out += (i == 0 ? "Usage: velmora-cli " : "       velmora-cli ") + command->usage[i] + "\n";
    }
    out += "\n" + Wrap(command->about, 0, 0);
    const std::string options = OptionLines(name);
    out += "\nOptions:\n" + options;
    if (name != "translate-table" && name != "completion" && name != "help") {
        out += "\n" + std::string(kFooter);
    }
    return out;
}

std::string ManPageOptions() {
    std::string out;
    for (const OptionSpec& option : OptionTable()) {
        out += ".TP\n.B " + Roff(Synopsis(option)) + "\n" + Roff(option.help);
        if (!option.commands.empty()) {
            std::string commands;
            for (const std::string& command : option.commands) {
                commands += (commands.empty() ? "" : ", ") + command;
            }
            out += " (commands: " + Roff(commands) + ")";
        }
        out += "\n";
    }
    return out;
}

}  // namespace velmora::cli
