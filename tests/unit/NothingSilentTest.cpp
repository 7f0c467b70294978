// What stands in a script where an object was not created (a comment block no source text can
// break out of), the hint of a failed default connection, and the catalog fallback remembered
// for the whole process.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "CliChecks.h"
#include "Converters/RefusalNote.h"
#include "data/OdbcHandles.h"

namespace velmora {
namespace {

// Whether `line` would end a batch in sqlcmd: GO alone on its line, in any case, between blanks.
bool ReadsAsGo(std::string line) {
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) return false;
    line = line.substr(first, line.find_last_not_of(" \t") - first + 1);
    return line.size() >= 2 && (line[0] == 'g' || line[0] == 'G') && (line[1] == 'o' || line[1] == 'O') &&
           line.find_first_not_of("0123456789 \t", 2) == std::string::npos;
}

TEST(RefusalNote, NoSourceTextCanEndTheBlockOrAComment) {
    const std::string hostile[] = {
        "select 1\nGO\nselect 2",            "select 1\rGO\rdrop table t",
        "select 1\r\ngo 5\r\n",              "x\v GO",
        "x\fGO",                             "a\x85GO",  // a lone byte, not UTF-8
        "a\xC2\x85GO",                       "a\xE2\x80\xA8GO\xE2\x80\xA9go",
        "*/ GO /*",                          "/*/ GO */",
        std::string("nul\0GO", 6),           "\tGO\t",
        "a\x1b[2Jb",
    };
    for (const std::string& source : hostile) {
        for (const std::string& name : {std::string("v"), std::string("v\nGO\n*/")}) {
            const std::string block = RefusalComment({"view", "shop", name, "it cannot be translated:\nGO", source, ""});
            ASSERT_FALSE(block.empty());
            EXPECT_EQ(block.back(), '\n');
            EXPECT_EQ(block.find("/*"), std::string::npos) << block;
            EXPECT_EQ(block.find("*/"), std::string::npos) << block;
            EXPECT_EQ(block.find("\xE2\x80\xA8"), std::string::npos) << block;
            EXPECT_EQ(block.find("\xE2\x80\xA9"), std::string::npos) << block;
            EXPECT_EQ(block.find("\xC2\x85"), std::string::npos) << block;
            std::istringstream lines(block);
            for (std::string line; std::getline(lines, line);) {
                EXPECT_EQ(line.rfind("-- ", 0), 0u) << line;
                EXPECT_FALSE(ReadsAsGo(line)) << line;
                for (unsigned char c : line) EXPECT_TRUE(c >= 0x20 && c != 0x7F) << block;
            }
        }
    }
}

TEST(RefusalNote, TheBlockNamesTheObjectWhyTheRewriteAndEverySourceLine) {
    const std::string source = "CREATE PROCEDURE p()\r\nBEGIN\r\n  CREATE TEMPORARY TABLE tmp LIKE t;\rEND";
    const std::string why = "it cannot be translated: CREATE TEMPORARY TABLE ... LIKE";
    EXPECT_EQ(RefusalComment({"procedure", "shop", "p", why, source, SuggestedRewrite(why)}),
              "-- NOT CREATED: procedure [shop].[p]\n"
              "-- Why: it cannot be translated: CREATE TEMPORARY TABLE ... LIKE\n"
              "-- Suggested rewrite: a temporary table becomes #t: SELECT TOP (0) * INTO #t FROM the "
              "table, or CREATE TABLE #t with its columns spelled out\n"
              "-- MySQL source (control characters shown as [U+XXXX], the slash of a comment mark as [/]):\n"
              "--    CREATE PROCEDURE p()\n"
              "--    BEGIN\n"
              "--      CREATE TEMPORARY TABLE tmp LIKE t;[U+000D]END\n"
              "-- END OF procedure [shop].[p]\n");
    EXPECT_EQ(SuggestedRewrite("a construct nobody has a rewrite for"), "");
    EXPECT_NE(SuggestedRewrite("INSERT ... ON DUPLICATE KEY UPDATE").find("MERGE"), std::string::npos);
}

TEST(FirstHour, AFailedDefaultConnectionNamesTheSourceOptions) {
    for (const char* server : {"", "localhost", "localhost:3306"}) {
        EXPECT_NE(cli::SourceConnectFailure(server).find("--source HOST[:PORT]"), std::string::npos) << server;
    }
    EXPECT_EQ(cli::SourceConnectFailure("db1:3306"), "cannot connect to the source");
}

// Once one connection found that a server answers catalog questions only from its sys views,
// every later connection of the process to that server asks them at once; another server does
// not.
TEST(FirstHour, TheCatalogFallbackIsFoundOncePerServerAndProcess) {
    const auto link = [](const std::string& server) {
        auto made = std::make_shared<OdbcLink>(OdbcHandle(), OdbcHandle());
        made->driverName = "libtdsodbc.so";
        made->dbmsName = "Microsoft SQL Server";
        made->dataSourceName = server;
        return made;
    };
    auto first = link("fallback-test-host,1433");
    EXPECT_FALSE(first->CatalogFallbackNoted());
    first->NoteCatalogFallback("Could not find stored procedure 'sp_tableswc'");
    EXPECT_NE(first->TakeCatalogNote().find("sp_tableswc"), std::string::npos);
    EXPECT_TRUE(link("fallback-test-host,1433")->CatalogFallbackNoted());
    EXPECT_FALSE(link("fallback-test-other,1433")->CatalogFallbackNoted());
}

}  // namespace
}  // namespace velmora
