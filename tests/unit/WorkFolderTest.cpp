#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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

TEST_F(WorkFolder, CreatesTheFolderAndMakesItCurrent) {
    EXPECT_TRUE(EnsureWorkFolder("./data_cache"));
    EXPECT_TRUE(fs::is_directory(home_ / "data_cache"));
    EXPECT_TRUE(fs::equivalent(fs::current_path(), home_ / "data_cache"));
    // Again, with the folder there and a file in it: nothing is lost.
    std::ofstream(home_ / "data_cache" / "orders") << "kept";
    fs::current_path(saved_);
    EXPECT_TRUE(EnsureWorkFolder("./data_cache"));
    EXPECT_TRUE(fs::exists(home_ / "data_cache" / "orders"));
    EXPECT_TRUE(EnsureWorkFolder("./"));
    EXPECT_TRUE(fs::equivalent(fs::current_path(), home_));
}

TEST_F(WorkFolder, AFileOfThatNameIsReplacedByTheFolder) {
    std::ofstream(home_ / "backup") << "in the way";
    EXPECT_TRUE(EnsureWorkFolder("./backup"));
    EXPECT_TRUE(fs::is_directory(home_ / "backup"));
}

TEST_F(WorkFolder, FailuresGiveFalseAndLeaveTheCurrentFolder) {
    setenv("VELMORA_HOME", (home_ / "missing").c_str(), 1);
    EXPECT_FALSE(EnsureWorkFolder("./data_cache"));
    EXPECT_TRUE(fs::equivalent(fs::current_path(), saved_));
    setenv("VELMORA_HOME", home_.c_str(), 1);
    EXPECT_FALSE(EnsureWorkFolder("./a/b"));  // one level only
}

}  // namespace
}  // namespace velmora
