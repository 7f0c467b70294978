// The dependency rule of the core, checked on the sources: a file includes headers of its own
// layer and of the layers below it, never of a layer above (the order is in
// src/core/CMakeLists.txt and docs/architecture.md). Two layers of the same rank (explorer,
// backup and follow) do not include each other either.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace velmora {
namespace {

namespace fs = std::filesystem;

struct Layer {
    std::string name;
    int rank;
};

// The layer of a path relative to src/core ("data/OdbcStatement.h", "commands/MainWindowModel.h").
Layer LayerOf(const std::string& path) {
    if (path.rfind("translation/", 0) == 0) return {"translation", -1};
    if (path == "tasks/OperationLog.h" || path == "tasks/OperationLog.cpp" ||
        path == "tasks/UserPort.h") {
        return {"log", 0};
    }
    if (path.rfind("Converters/Thread/", 0) == 0) return {"workers", 6};
    const std::string folder = path.substr(0, path.find('/'));
    static const std::map<std::string, int> ranks = {{"data", 1},     {"config", 2},
                                                     {"tasks", 3},    {"Converters", 4},
                                                     {"explorer", 5}, {"backup", 5},
                                                     {"follow", 5}};
    if (folder == "commands") return {"commands", 7};
    if (folder == "assessment") return {"assessment", 8};
    auto found = ranks.find(folder);
    return found == ranks.end() ? Layer{folder, 99} : Layer{folder, found->second};
}

std::vector<std::string> Violations() {
    const fs::path core = fs::path(VELMORA_SOURCE_DIR) / "src" / "core";
    const std::regex include("^\\s*#\\s*include\\s+\"([^\"]+)\"");
    std::vector<std::string> violations;
    for (const auto& entry : fs::recursive_directory_iterator(core)) {
        const std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp")) continue;
        const std::string file = fs::relative(entry.path(), core).string();
        const Layer own = LayerOf(file);
        std::ifstream in(entry.path());
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            std::smatch match;
            if (!std::regex_search(line, match, include)) continue;
            const std::string header = match[1];
            if (!fs::exists(core / header)) continue;  // a header of a library, not of the core
            const Layer used = LayerOf(header);
            const bool above = used.rank > own.rank;
            const bool sibling = used.rank == own.rank && used.name != own.name;
            if (above || sibling) {
                violations.push_back(file + ":" + std::to_string(number) + " (" + own.name +
                                     ") includes " + header + " (" + used.name + ")");
            }
        }
    }
    return violations;
}

TEST(Layers, NoCoreFileIncludesAHeaderOfAHigherLayer) {
    EXPECT_EQ(Violations(), std::vector<std::string>{});
}

// Translation is text in, text out: it includes nothing of the core but itself, not even the log.
TEST(Layers, TranslationIncludesOnlyItself) {
    const fs::path folder = fs::path(VELMORA_SOURCE_DIR) / "src" / "core" / "translation";
    const std::regex include("^\\s*#\\s*include\\s+\"([^\"]+)\"");
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::ifstream in(entry.path());
        ++files;
        std::string line;
        while (std::getline(in, line)) {
            std::smatch match;
            if (!std::regex_search(line, match, include)) continue;
            EXPECT_EQ(std::string(match[1]).rfind("translation/", 0), 0u)
                << entry.path().filename().string() << " includes " << match[1];
        }
    }
    EXPECT_GT(files, 20u);
}

TEST(Layers, TheRuleKnowsEveryFolderOfTheCore) {
    const fs::path core = fs::path(VELMORA_SOURCE_DIR) / "src" / "core";
    for (const auto& entry : fs::recursive_directory_iterator(core)) {
        if (!entry.is_regular_file()) continue;
        const std::string file = fs::relative(entry.path(), core).string();
        if (file == "CMakeLists.txt") continue;
        EXPECT_LT(LayerOf(file).rank, 99) << file << " is in no layer";
    }
    // The window's state and the assessment on it are the top: nothing below them may name them.
    EXPECT_EQ(LayerOf("commands/MainWindowModel.h").rank, 7);
    EXPECT_EQ(LayerOf("assessment/AssessCommand.h").rank, 8);
    EXPECT_LT(LayerOf("data/StatementExecution.h").rank, LayerOf("tasks/TaskScheduler.h").rank);
}

}  // namespace
}  // namespace velmora
