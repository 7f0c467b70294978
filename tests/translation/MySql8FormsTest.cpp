// MySQL 8's forms: the SHOW CREATE TABLE texts of MySQL 8.0's own regression results
// (tests/data/mysql8) all translate into statements the T-SQL grammar reads, their functional
// index parts and CHECK constraints kept or reported; and the forms MySQL 8 prints inside version
// comments (INVISIBLE, SRID) or as expressions (DEFAULT (expr)) are read, each with its outcome.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "translation/FullTableTranslator.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

std::vector<std::string> CorpusTables() {
    std::ifstream in(std::string(VELMORA_SOURCE_DIR) + "/tests/data/mysql8/tables.sql");
    std::stringstream all;
    all << in.rdbuf();
    std::vector<std::string> tables;
    std::string line;
    while (std::getline(all, line)) {
        if (line.rfind("-- ", 0) == 0) tables.emplace_back();
        else if (!tables.empty()) tables.back() += line + "\n";
    }
    return tables;
}

bool Mentions(const FullTableTranslation& t, const std::string& part) {
    for (const Adjustment& a : t.adjustments)
        if (a.text.find(part) != std::string::npos) return true;
    return false;
}

TEST(MySql8Corpus, EveryTableTranslatesIntoStatementsThatParse) {
    const std::vector<std::string> tables = CorpusTables();
    ASSERT_EQ(tables.size(), 14u);
    for (const std::string& text : tables) {
        const FullTableTranslation t = TranslateTableFull(text, {"test", ""});
        ASSERT_TRUE(t.ok()) << t.error << "\n" << text;
        EXPECT_EQ(test::DescribeTsqlProblems(t.createTable), "") << t.createTable;
        for (const std::string& index : t.indexes) EXPECT_EQ(test::DescribeTsqlProblems(index), "") << index;
        // Every CHECK arrives as one; a functional index part is created or reported, never lost.
        std::size_t checks = 0;
        for (std::size_t at = text.find(" CHECK ("); at != std::string::npos; at = text.find(" CHECK (", at + 1)) ++checks;
        std::size_t written = 0;
        for (std::size_t at = t.createTable.find("CHECK ("); at != std::string::npos; at = t.createTable.find("CHECK (", at + 1)) ++written;
        EXPECT_EQ(written, checks) << t.createTable;
        if (text.find("((") != std::string::npos && text.find("KEY `") != std::string::npos) {
            EXPECT_TRUE(t.indexes.size() + t.adjustments.size() > 0) << text;
        }
    }
}

TEST(MySql8Forms, VersionCommentsAndExpressionDefaultsAreRead) {
    const struct {
        const char* column;
        const char* adjustment;  // a part of the adjustment it makes, or "" for none expected
    } cases[] = {
        {"`secret` varchar(8) DEFAULT NULL /*!80023 INVISIBLE */", "an INVISIBLE column: visible on SQL Server"},
        {"`home` point NOT NULL /*!80003 SRID 4326 */", "WKT text"},
        {"`c` varchar(10) COLLATE utf8mb4_0900_as_cs DEFAULT NULL", "counts trailing blanks"},
        {"`d` date DEFAULT (curdate())", ""},
    };
    for (const auto& c : cases) {
        const std::string text = std::string("CREATE TABLE `t` (\n  `id` int NOT NULL,\n  ") + c.column +
                                 ",\n  PRIMARY KEY (`id`)\n) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_0900_ai_ci";
        const FullTableTranslation t = TranslateTableFull(text, {"test", ""});
        ASSERT_TRUE(t.ok()) << t.error << ": " << c.column;
        EXPECT_EQ(test::DescribeTsqlProblems(t.createTable), "") << t.createTable;
        if (*c.adjustment) {
            EXPECT_TRUE(Mentions(t, c.adjustment)) << c.column;
        }
    }
}

}  // namespace
}  // namespace velmora
