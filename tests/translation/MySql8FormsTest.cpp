// MySQL 8's forms: the SHOW CREATE TABLE texts of MySQL 8.0's own regression results
// (tests/data/mysql8) all translate into statements the T-SQL grammar reads, their functional
// index parts and CHECK constraints kept or reported; and the forms MySQL 8 prints inside version
// comments (INVISIBLE, SRID) or as expressions (DEFAULT (expr)) are read, each with its outcome.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "translation/FullTableTranslator.h"
#include "translation/FullViewTranslator.h"
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

// MySQL 8's query forms in a view, as SHOW CREATE VIEW prints them: translated, or refused with
// the construct named (never "unreadable").
TEST(MySql8Forms, ViewsAreTranslatedOrRefusedByName) {
    const std::string header = "CREATE ALGORITHM=UNDEFINED DEFINER=`root`@`localhost` SQL SECURITY DEFINER VIEW `v` AS ";
    const struct {
        const char* body;
        const char* refusal;  // "" when it translates
    } cases[] = {
        {"select `t`.`a` AS `a`,row_number() OVER (PARTITION BY `t`.`b` ORDER BY `t`.`a` )  AS `rn` from `t`", ""},
        {"with `c` as (select `t`.`a` AS `a` from `t`) select `c`.`a` AS `a` from `c`", "WITH (common table expression)"},
        {"with recursive `seq` (`n`) as (select 1 AS `1` union all select (`seq`.`n` + 1) AS `n + 1` from `seq` where "
         "(`seq`.`n` < 5)) select `seq`.`n` AS `n` from `seq`", "WITH (common table expression)"},
        {"select `jt`.`id` AS `id` from json_table('[1,2]', '$[*]' columns (`id` int path '$')) `jt`", "JSON_TABLE"},
        {"select `t`.`a` AS `a`,`d`.`m` AS `m` from (`t` join lateral (select max(`u`.`x`) AS `m` from `u` where "
         "(`u`.`a` = `t`.`a`)) `d`)", "LATERAL derived table"},
    };
    for (const auto& c : cases) {
        const FullViewTranslation out = TranslateViewFull(header + c.body, "v", {"test", "", "", "", {}, 16});
        EXPECT_EQ(out.untranslatable, c.refusal) << c.body;
        if (out.ok()) {
            EXPECT_EQ(test::DescribeTsqlProblems(out.statement), "") << out.statement;
        }
    }
}

}  // namespace
}  // namespace velmora
