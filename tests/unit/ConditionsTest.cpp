// Condition.cfg: how values are stored (line breaks, backslashes), looked up per database and
// table, cut at 1,023 bytes, and shown in the tooltip.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "Converters/Conditions.h"

namespace velmora {
namespace {

class ConditionFile : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/velmora-conditions-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        path_ = dir_ + "/Condition.cfg";
    }
    void TearDown() override {
        std::remove(path_.c_str());
        rmdir(dir_.c_str());
    }
    std::string Contents() const {
        std::ifstream in(path_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string dir_;
    std::string path_;
};

TEST(ConditionValue, EncodingRoundTripsAndStaysOnOneLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"id > 100", "id > 100"},
        {"a = 1\nand b = 2", "a = 1\\nand b = 2"},
        {"a = 1\r\nand b = 2", "a = 1\\r\\nand b = 2"},
        {"name like 'a\\%'", "name like 'a\\\\%'"},
        {"x = '\\n'", "x = '\\\\n'"},
        {"", ""},
    };
    for (const auto& [condition, stored] : cases) {
        EXPECT_EQ(EncodeConditionValue(condition), stored) << condition;
        EXPECT_EQ(DecodeConditionValue(stored), condition) << stored;
    }
}

TEST(ConditionValue, UnknownEscapesAndATrailingBackslashReadAsTheyStand) {
    EXPECT_EQ(DecodeConditionValue("path like 'C:\\temp\\x'"), "path like 'C:\\temp\\x'");
    EXPECT_EQ(DecodeConditionValue("ends with \\"), "ends with \\");
}

TEST_F(ConditionFile, LookupIsPerDatabaseAndTable) {
    ASSERT_TRUE(EnsureConditionFile(path_));
    EXPECT_EQ(Contents(), "");
    EXPECT_EQ(LookupCondition(path_, "shop", "orders"), "");
    EXPECT_EQ(ConditionTooltipText(path_, "shop", "orders"), "Convert All");
    ASSERT_TRUE(SaveCondition(path_, "shop", "orders", "status <> 'cancelled'"));
    ASSERT_TRUE(SaveCondition(path_, "shop", "customers", "id > 100\nor id = 1"));
    EXPECT_EQ(Contents(),
              "[shop]\norders=status <> 'cancelled'\ncustomers=id > 100\\nor id = 1\n");
    EXPECT_EQ(LookupCondition(path_, "shop", "orders"), "status <> 'cancelled'");
    EXPECT_EQ(LookupCondition(path_, "shop", "customers"), "id > 100\nor id = 1");
    EXPECT_EQ(LookupCondition(path_, "other", "orders"), "");
    EXPECT_EQ(ConditionTooltipText(path_, "shop", "orders"), "Condition : status <> 'cancelled'");
    // Replacing a value, and an empty value meaning no condition.
    ASSERT_TRUE(SaveCondition(path_, "shop", "orders", ""));
    EXPECT_EQ(LookupCondition(path_, "shop", "orders"), "");
    EXPECT_EQ(ConditionTooltipText(path_, "shop", "orders"), "Convert All");
    // An existing file is left as it is.
    ASSERT_TRUE(EnsureConditionFile(path_));
    EXPECT_EQ(LookupCondition(path_, "shop", "customers"), "id > 100\nor id = 1");
}

// A cut condition copied 60,000 rows instead of 9, in silence: a hand-written one is used whole.
TEST_F(ConditionFile, AValueLongerThan1023BytesIsReadWhole) {
    {
        std::ofstream out(path_);
        out << "[shop]\norders=" << std::string(1500, 'x') << "\n";
    }
    EXPECT_EQ(LookupCondition(path_, "shop", "orders"), std::string(1500, 'x'));
}

TEST_F(ConditionFile, NamesTheFileCannotHoldAreRefused) {
    EXPECT_FALSE(SaveCondition(path_, "sh]op", "orders", "id > 1"));
    EXPECT_FALSE(SaveCondition(path_, "shop", "a=b", "id > 1"));
    EXPECT_EQ(LookupCondition(path_, "shop", "a"), "");
}

}  // namespace
}  // namespace velmora
