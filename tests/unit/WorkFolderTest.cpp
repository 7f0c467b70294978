#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "config/WorkFolder.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// Each case gets its own program folder through VELMORA_HOME and restores the current folder.
class WorkFolder : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = fs::current_path();
        char pattern[] = "/tmp/velmora-home-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home_ = pattern;
        setenv("VELMORA_HOME", home_.c_str(), 1);
    }
    void TearDown() override {
        fs::current_path(saved_);
        unsetenv("VELMORA_HOME");
        fs::remove_all(home_);
    }
    fs::path saved_;
    fs::path home_;
};

TEST_F(WorkFolder, ProgramFolderIsTheHomeWithATrailingSlash) {
    EXPECT_EQ(ProgramFolder(), home_.string() + "/");
    unsetenv("VELMORA_HOME");
    // Without the override: the folder of this test program.
    std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(fs::exists(fs::path(folder) / "unit_tests"));
}

TEST_F(WorkFolder, CreatesTheFolderAndGivesItsPathWithoutChangingTheCurrentFolder) {
    const std::string cache = home_.string() + "/data_cache/";
    EXPECT_EQ(EnsureWorkFolder("./data_cache"), cache);
    EXPECT_TRUE(fs::is_directory(home_ / "data_cache"));
    EXPECT_TRUE(fs::equivalent(fs::current_path(), saved_));
    // Again, with the folder there and a file in it: nothing is lost.
    std::ofstream(home_ / "data_cache" / "orders") << "kept";
    EXPECT_EQ(EnsureWorkFolder("./data_cache"), cache);
    EXPECT_TRUE(fs::exists(home_ / "data_cache" / "orders"));
    EXPECT_EQ(EnsureWorkFolder("./"), home_.string() + "/");
    EXPECT_TRUE(fs::equivalent(fs::current_path(), saved_));
}

TEST_F(WorkFolder, AFileOfThatNameIsReplacedByTheFolder) {
    std::ofstream(home_ / "backup") << "in the way";
    EXPECT_EQ(EnsureWorkFolder("./backup"), home_.string() + "/backup/");
    EXPECT_TRUE(fs::is_directory(home_ / "backup"));
}

TEST_F(WorkFolder, FailuresGiveNothingAndLeaveTheCurrentFolder) {
    setenv("VELMORA_HOME", (home_ / "missing").c_str(), 1);
    EXPECT_EQ(EnsureWorkFolder("./data_cache"), "");
    EXPECT_FALSE(fs::exists(home_ / "missing"));
    EXPECT_TRUE(fs::equivalent(fs::current_path(), saved_));
    setenv("VELMORA_HOME", home_.c_str(), 1);
    EXPECT_EQ(EnsureWorkFolder("./a/b"), "");  // one level only
}

TEST_F(WorkFolder, MakeFoldersCreatesEveryMissingLevel) {
    const std::string deep = home_.string() + "/x/y/z/";
    EXPECT_TRUE(MakeFolders(deep));
    EXPECT_TRUE(fs::is_directory(deep));
    std::ofstream(home_ / "file") << "not a folder";
    EXPECT_FALSE(MakeFolders(home_.string() + "/file"));
}

// Two processes (a second migration, tests run in parallel) may make the same folder at the same
// moment: the one that loses the race to mkdir still gets the folder.
TEST_F(WorkFolder, MakingTheSameFolderAtOnceSucceedsForBoth) {
    for (int round = 0; round < 50; ++round) {
        const std::string name = "./race" + std::to_string(round);
        std::string first, second;
        std::thread other([&] { first = EnsureWorkFolder(name); });
        second = EnsureWorkFolder(name);
        other.join();
        EXPECT_EQ(first, home_.string() + "/race" + std::to_string(round) + "/");
        EXPECT_EQ(second, first);
        EXPECT_TRUE(MakeFolders(home_.string() + "/deep" + std::to_string(round) + "/a/b/"));
    }
}

}  // namespace
}  // namespace velmora