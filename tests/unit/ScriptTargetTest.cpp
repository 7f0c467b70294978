#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "ScriptTarget.h"

namespace velmora::cli {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ScriptTarget, WritesEveryStatementWithAGoLineAndCountsItAsSucceeded) {
    char folder[] = "/tmp/velmora-script-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string dir = std::string(folder) + "/out";
    ScriptTarget target(dir, "sales");
    EXPECT_EQ(target.session(), nullptr);
    ASSERT_EQ(target.Open("SQLOLEDB", PropertySet{}), kSuccess);
    ASSERT_EQ(target.OpenSession(), kSuccess);
    Session* session = target.session();
    ASSERT_NE(session, nullptr);
    for (const char* text : {"use sales;", "insert into t values (1,N'a')\n"}) {
        auto statement = session->NewStatement();
        ASSERT_EQ(statement->Create(text), kSuccess);
        ASSERT_EQ(statement->Execute(StandardRowsetProperties()), kSuccess);
        EXPECT_FALSE(statement->HasRowset());
    }
    auto tables = session->NewTablesRowset();
    ASSERT_EQ(tables->Open({}), kSuccess);
    EXPECT_EQ(tables->MoveNext(), kEndOfRowset);
    std::string version;
    EXPECT_EQ(target.GetProperty(kPropCurrentCatalog, version), kSuccess);
    EXPECT_EQ(version, "sales");
    target.Close();
    EXPECT_EQ(target.statementCount(), 2u);
    std::string script = ReadFile(dir + "/sales.sql");
    EXPECT_NE(script.find("SET QUOTED_IDENTIFIER ON;\nGO\n"), std::string::npos);
    EXPECT_EQ(script.substr(script.find("use sales;")),
              "use sales;\nGO\ninsert into t values (1,N'a')\nGO\n");
    std::remove((dir + "/sales.sql").c_str());
    rmdir(dir.c_str());
    rmdir(folder);
}

TEST(ScriptTarget, FailsClearlyWhenTheFolderCannotBeWritten) {
    ScriptTarget target("/proc/velmora-no-such-folder", "x");
    EXPECT_LT(target.Open("SQLOLEDB", PropertySet{}), 0);
    EXPECT_NE(target.ProviderErrorText().find("Cannot create the script"), std::string::npos);
    EXPECT_EQ(target.OpenSession(), kNotConnected);
}

TEST(ScriptTarget, FileNamesKeepOutPathCharacters) {
    EXPECT_EQ(ScriptFileName("shop"), "shop.sql");
    EXPECT_EQ(ScriptFileName("../etc/x"), ".._etc_x.sql");
    EXPECT_EQ(ScriptFileName(".."), "_...sql");
    EXPECT_EQ(ScriptFileName(""), "target.sql");
}

}  // namespace
}  // namespace velmora::cli
