// Every place that describes velmora-cli's options lists all of them: each command's --help (the
// options that apply to it), the man page written by the build, and the manual (F1). A new
// option in the table that one of them misses fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "CliHelp.h"
#include "CliOptions.h"

namespace velmora::cli {
namespace {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The option as roff writes it: every '-' as "\-".
std::string RoffName(const std::string& name) {
    std::string out;
    for (char c : name) out += c == '-' ? std::string("\\-") : std::string(1, c);
    return out;
}

bool Lists(const std::string& text, const std::string& option) {
    // Followed by a blank, '=', ',', '[' or the end of a line: "--target" is not "--target-user".
    for (size_t at = text.find(option); at != std::string::npos; at = text.find(option, at + 1)) {
        const char next = at + option.size() < text.size() ? text[at + option.size()] : '\n';
        if (next == ' ' || next == '=' || next == ',' || next == '[' || next == '\n' || next == '<') {
            return true;
        }
    }
    return false;
}

TEST(CliDocs, EachCommandsHelpListsEveryOptionThatAppliesToIt) {
    for (const CommandSpec& command : CommandTable()) {
        const std::string help = HelpText(command.name);
        for (const std::string& usage : command.usage) {
            EXPECT_NE(help.find(usage), std::string::npos) << command.name << ": " << usage;
        }
        if (command.name == "help") continue;  // the program's help: every option
        for (const OptionSpec& option : OptionTable()) {
            EXPECT_EQ(Lists(help, option.name), option.AppliesTo(command.name))
                << command.name << " --help and " << option.name << ":\n" << help;
        }
    }
}

TEST(CliDocs, TheProgramsHelpListsEveryOptionAndCommand) {
    const std::string help = HelpText("");
    for (const OptionSpec& option : OptionTable()) {
        EXPECT_TRUE(Lists(help, option.name)) << option.name;
        if (!option.shortName.empty()) {
            EXPECT_TRUE(Lists(help, option.shortName)) << option.shortName;
        }
        EXPECT_FALSE(option.help.empty()) << option.name << " says nothing about itself";
    }
    for (const CommandSpec& command : CommandTable()) {
        EXPECT_NE(help.find("velmora-cli " + command.name), std::string::npos) << command.name;
    }
    EXPECT_EQ(HelpText("help"), help);
    EXPECT_EQ(HelpText("no-such-command"), help);
}

// The cases the users met: a mode missing from migrate's help, a one-line tree help.
TEST(CliDocs, MigrateNamesTheTranslationAndTreeSaysWhatItDoes) {
    const std::string migrate = HelpText("migrate");
    EXPECT_NE(migrate.find("--translation full|classic"), std::string::npos) << migrate;
    EXPECT_NE(migrate.find("--jobs N, -j N"), std::string::npos) << migrate;
    const std::string tree = HelpText("tree");
    EXPECT_GT(std::count(tree.begin(), tree.end(), '\n'), 5) << tree;
    EXPECT_NE(tree.find("--source HOST[:PORT]"), std::string::npos) << tree;
    EXPECT_EQ(tree.find("\n  --resume"), std::string::npos) << tree;  // not among its options
    // Lines stay within 100 columns.
    std::istringstream lines(HelpText(""));
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 100u) << line;
}

TEST(CliDocs, TheManPageListsEveryOption) {
    const std::string options = ManPageOptions();
    const std::string page =
        ReadFile(std::filesystem::path(VELMORA_BINARY_DIR) / "packaging" / "velmora-cli.1");
    ASSERT_FALSE(page.empty()) << "the build writes packaging/velmora-cli.1";
    EXPECT_NE(page.find(options), std::string::npos) << "the page holds the table's options";
    EXPECT_EQ(page.find("@OPTIONS@"), std::string::npos);
    for (const OptionSpec& option : OptionTable()) {
        EXPECT_NE(page.find(RoffName(option.name)), std::string::npos) << option.name;
    }
    EXPECT_NE(options.find(".B \\-\\-translation full|classic\n"), std::string::npos) << options;
}

TEST(CliDocs, TheManualListsEveryOption) {
    const std::string manual = ReadFile(std::filesystem::path(VELMORA_SOURCE_DIR) / "docs" / "manual.html");
    ASSERT_FALSE(manual.empty());
    for (const OptionSpec& option : OptionTable()) {
        EXPECT_TRUE(Lists(manual, option.name)) << option.name << " is missing from the manual";
        if (!option.shortName.empty()) {
            EXPECT_TRUE(Lists(manual, option.shortName)) << option.shortName;
        }
    }
}

}  // namespace
}  // namespace velmora::cli
