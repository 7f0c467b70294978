// Where an installed program keeps its files: the program folder when it may write there, else the
// user's XDG folders; VELMORA_HOME above both.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "config/WorkFolder.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// Sets or clears an environment variable for one case and puts the old value back.
class EnvironmentValue {
public:
    EnvironmentValue(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            setenv(name, value->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    ~EnvironmentValue() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class UserFolders : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/velmora-xdg-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        fs::create_directories(root_ / "opt" / "velmora");
        program_ = (root_ / "opt" / "velmora").string() + "/";
    }
    void TearDown() override {
        chmod(program_.c_str(), 0755);
        fs::remove_all(root_);
    }
    std::string Under(const std::string& relative) const { return (root_ / relative).string(); }

    fs::path root_;
    std::string program_;
    EnvironmentValue noHome_{"VELMORA_HOME", std::nullopt};
};

TEST_F(UserFolders, AWritableProgramFolderKeepsEverything) {
    EnvironmentValue config("XDG_CONFIG_HOME", Under("config"));
    ProgramFolders folders = ChooseProgramFolders(program_);
    EXPECT_EQ(folders.config, program_);
    EXPECT_EQ(folders.data, program_);
    EXPECT_FALSE(folders.user);
}

TEST_F(UserFolders, AReadOnlyProgramFolderSendsFilesToTheXdgFolders) {
    ASSERT_EQ(chmod(program_.c_str(), 0555), 0);  // read-only even for root (see MayWrite)
    EnvironmentValue config("XDG_CONFIG_HOME", Under("config"));
    EnvironmentValue data("XDG_DATA_HOME", Under("data/"));
    ProgramFolders folders = ChooseProgramFolders(program_);
    EXPECT_EQ(folders.config, Under("config") + "/velmora/");
    EXPECT_EQ(folders.data, Under("data") + "/velmora/");
    EXPECT_TRUE(folders.user);
}

TEST_F(UserFolders, WithoutXdgVariablesTheHomeFolderDefaultsApply) {
    ASSERT_EQ(chmod(program_.c_str(), 0555), 0);
    EnvironmentValue home("HOME", Under("home"));
    EnvironmentValue config("XDG_CONFIG_HOME", std::nullopt);
    EnvironmentValue data("XDG_DATA_HOME", "relative/is/ignored");
    ProgramFolders folders = ChooseProgramFolders(program_);
    EXPECT_EQ(folders.config, Under("home") + "/.config/velmora/");
    EXPECT_EQ(folders.data, Under("home") + "/.local/share/velmora/");
}

TEST_F(UserFolders, VelmoraHomeOverridesAReadOnlyProgramFolder) {
    ASSERT_EQ(chmod(program_.c_str(), 0555), 0);
    EnvironmentValue override("VELMORA_HOME", Under("work"));
    ProgramFolders folders = ChooseProgramFolders(program_);
    EXPECT_EQ(folders.config, Under("work") + "/");
    EXPECT_EQ(folders.data, Under("work") + "/");
    EXPECT_FALSE(folders.user);
}

// The package's layout counts as installed even where root could write into it.
TEST_F(UserFolders, TheInstalledLayoutUsesTheUserFolders) {
    fs::create_directories(root_ / "usr" / "bin");
    fs::create_directories(root_ / "usr" / "share" / "doc" / "velmora");
    EnvironmentValue config("XDG_CONFIG_HOME", Under("config"));
    EnvironmentValue data("XDG_DATA_HOME", Under("data"));
    ProgramFolders folders = ChooseProgramFolders(Under("usr/bin") + "/");
    EXPECT_EQ(folders.config, Under("config") + "/velmora/");
    EXPECT_TRUE(folders.user);
    // A bin folder without the package's documentation beside it is an ordinary folder.
    fs::remove_all(root_ / "usr" / "share");
    EXPECT_FALSE(ChooseProgramFolders(Under("usr/bin") + "/").user);
}

}  // namespace
}  // namespace velmora
