#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "Converters/Conditions.h"
#include "config/ProfileFile.h"
#include "support/Mutator.h"

namespace velmora {
namespace {

class ProfileFileTest : public testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/velmora-profile-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        folder_ = folder;
        path_ = folder_ + "/migrator.cfg";
    }
    void TearDown() override {
        std::remove(path_.c_str());
        rmdir(folder_.c_str());
    }
    void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
    std::string Contents() {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream buffer;
        buffer << in.rdbuf();
        return buffer.str();
    }
    std::string Read(const char* section, const char* key, size_t size = 80) {
        return ReadProfileString(path_, section, key, "(default)", size);
    }

    std::string folder_;
    std::string path_;
};

TEST_F(ProfileFileTest, ReadsHandWrittenFilesWithOddSpacingAndCase) {
    Write("; a comment\r\n[public]\r\n  config =  true  \r\nTips=false\r\n\r\n[ SourceDB ]\r\n"
          "Provider=TCP/IP:Port\r\nSourceName\t=\t127.0.0.1:33077\r\nnot a key line\r\n");
    EXPECT_EQ(Read("Public", "Config"), "true");
    EXPECT_EQ(Read("PUBLIC", "tips"), "false");
    EXPECT_EQ(Read("sourcedb", "SOURCENAME"), "127.0.0.1:33077");
    EXPECT_EQ(Read("SourceDB", "Provider"), "TCP/IP:Port");
    EXPECT_EQ(Read("SourceDB", "UserID"), "(default)");
    EXPECT_EQ(Read("TargetDB", "Provider"), "(default)");
}

TEST_F(ProfileFileTest, MissingFileGivesTheDefault) {
    EXPECT_EQ(Read("Public", "Config"), "(default)");
    EXPECT_TRUE(ReadProfileSections(path_).empty());
}

// Seeded mutations of a hand-written migrator.cfg and Condition.cfg: the readers never crash and
// never return a value that spans lines.
TEST_F(ProfileFileTest, MutatedFilesAreReadWithoutCrashOrLineBreaks) {
    const std::string seed = "[Public]\nConfig=true\n[SourceDB]\nSourceName=127.0.0.1:3306\nPassWord= s;e{c}r=et \n"
                             "[shop]\norders=id > 5\\nAND note <> 'x\\\\'\n";
    test::Mutator mutator;
    while (mutator.More()) {
        Write(mutator.Mutate(seed));
        for (const std::string& section : ReadProfileSections(path_)) {
            for (const std::string& key : ReadProfileKeys(path_, section)) {
                const std::string value = ReadProfileString(path_, section, key, "", 80);
                ASSERT_EQ(value.find('\n'), std::string::npos) << "seed " << mutator.seed() << ": " << Contents();
                LookupCondition(path_, section, key);
            }
        }
    }
}

// A value cut in silence ran a shorter condition (more rows copied) or sent a wrong password.
TEST_F(ProfileFileTest, ValuesKeepTheirFullLength) {
    Write("[s]\nk=" + std::string(100, 'v') + "\n");
    EXPECT_EQ(Read("s", "k", 80), std::string(100, 'v'));
}

TEST_F(ProfileFileTest, WritingCreatesFileAndSectionAndKeepsOtherKeys) {
    ASSERT_TRUE(WriteProfileString(path_, "Public", "Config", "true"));
    ASSERT_TRUE(WriteProfileString(path_, "SourceDB", "Provider", "TCP/IP:Port"));
    ASSERT_TRUE(WriteProfileString(path_, "Public", "Tips", "false"));
    ASSERT_TRUE(WriteProfileString(path_, "public", "CONFIG", "false"));
    EXPECT_EQ(Contents(), "[Public]\nConfig=false\nTips=false\n[SourceDB]\nProvider=TCP/IP:Port\n");
}

TEST_F(ProfileFileTest, WritingKeepsCommentsAndUnknownLines) {
    Write("# keep me\n[shop]\norders=status <> 'cancelled'\n\n[other]\nx=1\n");
    ASSERT_TRUE(WriteProfileString(path_, "shop", "customers", "id > 100"));
    ASSERT_TRUE(WriteProfileString(path_, "SHOP", "Orders", "id = 1"));
    EXPECT_EQ(Contents(), "# keep me\n[shop]\norders=id = 1\ncustomers=id > 100\n\n[other]\nx=1\n");
    EXPECT_EQ(ReadProfileKeys(path_, "Shop"), (std::vector<std::string>{"orders", "customers"}));
    EXPECT_EQ(ReadProfileSections(path_), (std::vector<std::string>{"shop", "other"}));
}

TEST_F(ProfileFileTest, RefusesLineBreaksInValuesAndKeys) {
    EXPECT_FALSE(WriteProfileString(path_, "s", "k", "a\nb"));
    EXPECT_FALSE(WriteProfileString(path_, "s", "a=b", "v"));
    EXPECT_FALSE(WriteProfileString(path_, "s", "  ", "v"));
    EXPECT_EQ(access(path_.c_str(), F_OK), -1);
}

TEST_F(ProfileFileTest, AppliesTheModeOnEveryWrite) {
    Write("[TargetDB]\nPassWord=old\n");
    chmod(path_.c_str(), 0644);
    ASSERT_TRUE(WriteProfileString(path_, "TargetDB", "PassWord", "secret", 0600));
    struct stat info {};
    ASSERT_EQ(stat(path_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(Read("TargetDB", "PassWord"), "secret");
}

}  // namespace
}  // namespace velmora
