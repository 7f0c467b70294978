// velmora-cli: the command-line front end. It runs the same core as the desktop program.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "Converters/DdlTranslator.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;

const char* const kUsage =
    "Usage: velmora-cli COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  translate-table [FILE]   print the SQL Server CREATE TABLE statement for a MySQL\n"
    "                           \"show create table\" text read from FILE or standard input\n"
    "\n"
    "Run 'velmora-cli COMMAND --help' for the options of a command.\n";

const char* const kTranslateUsage =
    "Usage: velmora-cli translate-table [FILE]\n"
    "\n"
    "Reads the text that MySQL's \"show create table\" prints (from FILE, or from standard\n"
    "input when FILE is absent or '-') and prints the translated SQL Server statement.\n";

bool WantsHelp(const std::vector<std::string>& args) {
    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-h") return true;
    }
    return false;
}

int TranslateTable(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::fputs(kTranslateUsage, stdout);
        return kExitOk;
    }
    if (args.size() > 1) {
        std::fprintf(stderr, "translate-table: expected at most one FILE, got %zu arguments\n%s",
                     args.size(), kTranslateUsage);
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
    std::string translated = velmora::RewriteTableDefinition(text);
    std::fwrite(translated.data(), 1, translated.size(), stdout);
    return kExitOk;
}

}  // namespace

int main(int argc, char* argv[]) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (command == "translate-table") return TranslateTable(args);
    std::fprintf(stderr, "velmora-cli: unknown command '%s'\n\n%s", command.c_str(), kUsage);
    return kExitUsage;
}
