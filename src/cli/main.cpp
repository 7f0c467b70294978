// velmora-cli: the command-line front end. It runs the same core as the desktop program.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "BashCompletion.h"
#include "CliHelp.h"
#include "CliOptions.h"
#include "CliRun.h"
#include "Converters/DdlTranslator.h"
#include "Converters/Full/FullTableTranslator.h"
#include "config/Options.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;

// The Full translation's statements, for a person or sqlcmd; 1 when the text is no definition.
int PrintFullTranslation(const std::string& text) {
    velmora::FullTableTranslation table = velmora::TranslateTableFull(text, {});
    if (!table.ok()) {
        std::fprintf(stderr, "translate-table: %s\n", table.error.c_str());
        return 1;
    }
    std::string out;
    for (const velmora::Adjustment& adjustment : table.adjustments) {
        out += "-- adjusted: " +
               (adjustment.column.empty() ? "" : adjustment.column + ": ") + adjustment.text + "\n";
    }
    auto statement = [&out](const std::string& text) { out += text + "\nGO\n"; };
    statement(table.createTable);
    for (const std::string& index : table.indexes) statement(index);
    for (const std::string& comment : table.comments) statement(comment);
    for (const std::string& key : table.foreignKeys) statement(key);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return kExitOk;
}

int TranslateTable(const velmora::cli::CliOptions& options) {
    const std::vector<std::string>& args = options.words;
    const std::string usage = velmora::cli::HelpText("translate-table");
    if (options.help) {
        std::fputs(usage.c_str(), stdout);
        return kExitOk;
    }
    std::optional<velmora::TranslationMode> mode = velmora::kDefaultTranslation;
    if (options.translation) mode = velmora::ParseTranslationMode(*options.translation);
    if (!mode) {
        std::fprintf(stderr, "translate-table: --translation takes full or classic\n%s",
                     usage.c_str());
        return kExitUsage;
    }
    if (args.size() > 1) {
        std::fprintf(stderr, "translate-table: expected at most one FILE, got %zu arguments\n%s",
                     args.size(), usage.c_str());
        return kExitUsage;
    }
    std::string text;
    if (args.empty() || args[0] == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::ifstream in(args[0], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "translate-table: cannot open '%s': %s\n", args[0].c_str(),
                         std::strerror(errno));
            return kExitUsage;
        }
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (*mode == velmora::TranslationMode::Full) return PrintFullTranslation(text);
    std::string translated = velmora::RewriteTableDefinition(text);
    std::fwrite(translated.data(), 1, translated.size(), stdout);
    return kExitOk;
}

}  // namespace

int main(int argc, char* argv[]) {
    std::vector<std::string> args(argv + 1, argv + argc);
    velmora::cli::ParseResult parsed = velmora::cli::ParseCommandLine(args);
    const velmora::cli::CliOptions& options = parsed.options;
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "velmora-cli: %s\n\n%s", parsed.error.c_str(),
                     velmora::cli::HelpText(options.command).c_str());
        return kExitUsage;
    }
    if (options.version) {
        std::printf("velmora-cli %s\n", VELMORA_VERSION);
        return kExitOk;
    }
    // The build writes the man page's options from the table (not a user's command).
    if (options.command == "man-page-options") {
        std::fputs(velmora::cli::ManPageOptions().c_str(), stdout);
        return kExitOk;
    }
    if (options.command == "completion") {
        if (options.words != std::vector<std::string>{"bash"}) {
            std::fputs("Usage: velmora-cli completion bash\n", stderr);
            return kExitUsage;
        }
        std::fputs(velmora::cli::BashCompletionScript().c_str(), stdout);
        return kExitOk;
    }
    if (options.command.empty() || options.command == "help") {
        // "help migrate" is "migrate --help".
        const std::string about = options.words.empty() ? "" : options.words[0];
        const bool asked = options.help || options.command == "help";
        std::fputs(velmora::cli::HelpText(about).c_str(), asked ? stdout : stderr);
        return asked ? kExitOk : kExitUsage;
    }
    if (options.command == "translate-table") return TranslateTable(options);
    if (options.help) {
        std::fputs(velmora::cli::HelpText(options.command).c_str(), stdout);
        return kExitOk;
    }
    return velmora::cli::RunCommand(options, isatty(STDIN_FILENO) != 0);
}
