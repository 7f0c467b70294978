// The type map: reading its file (good rules, and bad ones named by line and reason), which rule
// chooses a column's type or collation, what the table translation writes with it, and whether a
// chosen type can hold a column's values.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "translation/Collations.h"
#include "translation/CreateTableParser.h"
#include "translation/FullTableTranslator.h"
#include "translation/TypeFit.h"
#include "translation/TypeMapRules.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

TypeMap Parsed(const std::string& text) {
    TypeMapParse parsed = ParseTypeMap(text);
    EXPECT_TRUE(parsed.ok()) << parsed.error;
    return parsed.map;
}

ColumnModel Column(const std::string& line) {
    ParsedTable parsed = ParseCreateTable("CREATE TABLE `t` (\n" + line + "\n) DEFAULT CHARSET=utf8mb4");
    EXPECT_TRUE(parsed.ok()) << parsed.error;
    return parsed.ok() ? parsed.table.columns.at(0) : ColumnModel{};
}

TEST(TypeMap, ReadsRulesCommentsAndQuotedNames) {
    const TypeMap map = Parsed(
        "# the shop's choices\n"
        "tinyint(1) = bit\n"
        "\n"
        "  datetime = datetime   # no datetime2\n"
        "INT UNSIGNED = int\n"
        "decimal(10,2) = money\n"
        "shop.orders.status = varchar(20)\n"
        "`order notes`.`the #1 note` = nvarchar(100)\n"
        "collation utf8mb4_bin = Latin1_General_100_BIN2\n"
        "collation shop.orders.code = Latin1_General_CS_AS\r\n");
    ASSERT_EQ(map.rules.size(), 8u);
    EXPECT_EQ(map.rules[0].line, 2);
    EXPECT_EQ(map.rules[0].baseType, "tinyint");
    EXPECT_EQ(map.rules[0].length, 1);
    EXPECT_EQ(map.rules[1].line, 4);
    EXPECT_EQ(map.rules[1].target, "datetime");
    EXPECT_TRUE(map.rules[2].isUnsigned);
    EXPECT_EQ(map.rules[2].baseType, "int");
    EXPECT_EQ(map.rules[3].scale, 2);
    EXPECT_EQ(map.rules[4].database, "shop");
    EXPECT_EQ(map.rules[4].table, "orders");
    EXPECT_EQ(map.rules[4].column, "status");
    EXPECT_EQ(map.rules[5].database, "");
    EXPECT_EQ(map.rules[5].table, "order notes");
    EXPECT_EQ(map.rules[5].column, "the #1 note");
    EXPECT_TRUE(map.rules[6].collation);
    EXPECT_EQ(map.rules[6].sourceCollation, "utf8mb4_bin");
    EXPECT_EQ(map.rules[7].column, "code");
    EXPECT_EQ(map.rules[7].target, "Latin1_General_CS_AS");
}

TEST(TypeMap, ABadLineIsNamedWithItsReason) {
    struct Row {
        const char* text;
        const char* error;
    };
    const Row rows[] = {
        {"tinyint(1) bit", "line 1: no '='"},
        {"# fine\ntinyint(1) = bitt", "line 2: 'bitt' is not a SQL Server type"},
        {"json = nvarchar(5000)", "line 1: 'nvarchar(5000)' is not a SQL Server type: nvarchar takes 1 to 4000 or max"},
        {"json = varchar(9000)", "varchar takes 1 to 8000 or max"},
        {"decimal(70,2) = decimal(40,2)", "precision of 1 to 38"},
        {"x = int(11)", "int takes no length"},
        {"integr = int", "line 1: 'integr' is not a MySQL type"},
        {"int unsigned zerofill = bigint", "'zerofill' after the type is not understood"},
        {"= int", "nothing before '='"},
        {"int =", "nothing after '='"},
        {"shop.orders.status.x = int", "database.table.column or table.column"},
        {"`unclosed.x` int", "no '='"},
        {"`unclosed.x = int", "a backquote is not closed"},
        {"collation utf8mb4_bin = Latin1 General", "is not a collation name"},
        {"datetime = datetime2(8)", "datetime2 takes 0 to 7"},
        {"varchar(abc) = nvarchar(10)", "'abc' is not a number"},
    };
    for (const Row& row : rows) {
        TypeMapParse parsed = ParseTypeMap(row.text);
        EXPECT_FALSE(parsed.ok()) << row.text;
        EXPECT_NE(parsed.error.find(row.error), std::string::npos) << row.text << " gave: " << parsed.error;
        EXPECT_TRUE(parsed.map.empty());
    }
}

TEST(TypeMap, AColumnRuleComesBeforeASizedTypeRuleBeforeAPlainOne) {
    const TypeMap map = Parsed(
        "tinyint = smallint\n"
        "tinyint(1) = bit\n"
        "tinyint(1) = int\n"
        "shop.t.flag = tinyint\n"
        "int unsigned = int\n"
        "datetime(3) = datetime2(3)\n"
        "varchar = nvarchar(300)\n");
    struct Row {
        const char* database;
        const char* column;
        int line;  // 0: no rule
    };
    const Row rows[] = {
        {"shop", "`flag` tinyint(1) NOT NULL", 4},
        {"crm", "`flag` tinyint(1) NOT NULL", 2},
        {"shop", "`other` tinyint(1) NOT NULL", 2},
        {"shop", "`n` tinyint(4) NOT NULL", 1},
        {"shop", "`n` tinyint(3) unsigned NOT NULL", 0},
        {"shop", "`n` int(10) unsigned NOT NULL", 5},
        {"shop", "`n` int(11) NOT NULL", 0},
        {"shop", "`at` datetime(3) NOT NULL", 6},
        {"shop", "`at` datetime NOT NULL", 0},
        {"shop", "`s` varchar(100) DEFAULT NULL", 7},
    };
    for (const Row& row : rows) {
        const TypeMapRule* rule = FindTypeRule(map, row.database, "t", Column(row.column));
        EXPECT_EQ(rule ? rule->line : 0, row.line) << row.database << " " << row.column;
    }
}

TEST(TypeMap, TheTranslationWritesTheChosenTypesAndListsThem) {
    const TypeMap map = Parsed(
        "tinyint(1) = bit\n"
        "int unsigned = int\n"
        "json = nvarchar(4000)\n"
        "shop.t.status = varchar(20)\n"
        "collation utf8mb4_bin = Latin1_General_CS_AS\n");
    const std::string text =
        "CREATE TABLE `t` (\n"
        "  `id` int(10) unsigned NOT NULL AUTO_INCREMENT,\n"
        "  `active` tinyint(1) NOT NULL DEFAULT 1,\n"
        "  `doc` longtext CHARACTER SET utf8mb4 COLLATE utf8mb4_bin DEFAULT NULL CHECK (json_valid(`doc`)),\n"
        "  `status` varchar(255) NOT NULL,\n"
        "  `code` varchar(10) COLLATE utf8mb4_bin DEFAULT NULL,\n"
        "  PRIMARY KEY (`id`)\n"
        ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_general_ci";
    const FullTableTranslation t = TranslateTableFull(text, {"shop", ""}, {}, {&map, ""});
    ASSERT_TRUE(t.ok()) << t.error;
    EXPECT_NE(t.createTable.find("id int IDENTITY(1,1) NOT NULL"), std::string::npos) << t.createTable;
    EXPECT_NE(t.createTable.find("active bit NOT NULL DEFAULT 1"), std::string::npos) << t.createTable;
    EXPECT_NE(t.createTable.find("doc nvarchar(4000) NULL"), std::string::npos) << t.createTable;
    EXPECT_NE(t.createTable.find("CHECK (ISJSON("), std::string::npos);
    EXPECT_NE(t.createTable.find("status varchar(20) NOT NULL"), std::string::npos) << t.createTable;
    EXPECT_NE(t.createTable.find("code nvarchar(20) COLLATE Latin1_General_CS_AS NULL"), std::string::npos)
        << t.createTable;
    EXPECT_EQ(test::DescribeTsqlProblems(t.createTable), "");
    ASSERT_EQ(t.overrides.size(), 5u);
    EXPECT_EQ(t.overrides[0].Describe(), "bigint -> int (type map line 2: int unsigned = int)");
    EXPECT_EQ(t.overrides[0].sourceType, "int(10) unsigned");
    EXPECT_EQ(t.overrides[3].Describe(), "nvarchar(510) -> varchar(20) (type map line 4: shop.t.status = varchar(20))");
    EXPECT_TRUE(t.overrides[4].collation);
    EXPECT_EQ(t.overrides[4].column, "code");
    // What the assessment lists: the same overrides, from the table alone.
    const std::vector<AppliedOverride> listed = AppliedOverrides(map, "shop", ParseCreateTable(text).table);
    ASSERT_EQ(listed.size(), t.overrides.size());
    for (size_t i = 0; i < listed.size(); ++i) EXPECT_EQ(listed[i].Describe(), t.overrides[i].Describe());
    EXPECT_TRUE(AppliedOverrides(map, "crm", ParseCreateTable(text).table).size() == 4u);
}

TEST(Collations, EachSourceCollationKeepsItsSensitivity) {
    struct Row {
        const char* mysql;
        const char* target;
    };
    const Row rows[] = {
        {"utf8mb4_general_ci", "Latin1_General_CI_AI"},   {"utf8mb4_unicode_ci", "Latin1_General_CI_AI"},
        {"utf8mb4_unicode_520_ci", "Latin1_General_CI_AI"}, {"utf8mb3_general_ci", "Latin1_General_CI_AI"},
        {"latin1_swedish_ci", "Latin1_General_CI_AI"},    {"latin1_general_ci", "Latin1_General_CI_AS"},
        {"utf8mb4_bin", "Latin1_General_100_BIN2"},       {"utf8mb4_0900_bin", "Latin1_General_100_BIN2"},
        {"utf8mb4_nopad_bin", "Latin1_General_100_BIN2"}, {"binary", "Latin1_General_100_BIN2"},
        {"latin1_general_cs", "Latin1_General_CS_AS"},    {"utf8mb4_0900_ai_ci", "Latin1_General_CI_AI"},
        {"utf8mb4_0900_as_ci", "Latin1_General_CI_AS"},   {"utf8mb4_0900_as_cs", "Latin1_General_CS_AS"},
        {"utf8mb4_uca1400_as_ci", "Latin1_General_CI_AS"}, {"UTF8MB4_BIN", "Latin1_General_100_BIN2"},
        {"", ""},
    };
    for (const Row& row : rows) EXPECT_EQ(TargetCollation(row.mysql), row.target) << row.mysql;
}

// MySQL 8's and MariaDB's NO PAD collations count trailing blanks; SQL Server's never do: the
// columns whose values keep their blanks say so, a char (whose blanks the source strips) does not.
TEST(Collations, ANoPadCollationIsAnAdjustmentOfTheColumnsThatKeepTrailingBlanks) {
    for (const char* name : {"utf8mb4_0900_ai_ci", "utf8mb4_0900_bin", "utf8mb4_nopad_bin", "UTF8MB4_0900_AS_CS",
                             "utf8mb4_uca1400_nopad_ai_ci"}) {
        EXPECT_TRUE(IsNoPadCollation(name)) << name;
    }
    for (const char* name : {"utf8mb4_general_ci", "utf8mb4_bin", "utf8mb4_uca1400_ai_ci", "latin1_swedish_ci", ""}) {
        EXPECT_FALSE(IsNoPadCollation(name)) << name;
    }
    const FullTableTranslation t = TranslateTableFull(
        "CREATE TABLE `t` (\n"
        "  `code` char(4) DEFAULT NULL,\n"
        "  `name` varchar(10) DEFAULT NULL,\n"
        "  `note` text COLLATE utf8mb4_general_ci,\n"
        "  `kind` enum('x','y') DEFAULT NULL\n"
        ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_0900_ai_ci",
        {"shop", ""});
    ASSERT_TRUE(t.ok()) << t.error;
    std::vector<Adjustment> noPad;  // the char column's own adjustment (no padding) aside
    for (const Adjustment& a : t.adjustments)
        if (a.text.find("counts trailing blanks") != std::string::npos) noPad.push_back(a);
    ASSERT_EQ(noPad.size(), 1u);
    EXPECT_EQ(noPad[0].column, "name");
    EXPECT_NE(noPad[0].text.find("utf8mb4_0900_ai_ci counts trailing blanks"), std::string::npos) << noPad[0].text;
}

// Where the target refuses inserts through a foreign key over a column of another collation than
// the database's, the key's text columns keep the default and say so; the others keep theirs.
TEST(Collations, ForeignKeyColumnsKeepTheDefaultWhereTheTargetNeedsIt) {
    const std::string text =
        "CREATE TABLE `items` (\n"
        "  `sku` varchar(32) NOT NULL,\n"
        "  `note` varchar(20) COLLATE utf8mb4_bin DEFAULT NULL,\n"
        "  `code` varchar(20) COLLATE utf8mb4_bin DEFAULT NULL,\n"
        "  CONSTRAINT `fk` FOREIGN KEY (`sku`) REFERENCES `products` (`sku`)\n"
        ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_general_ci";
    const std::set<std::pair<std::string, std::string>> keyed = {{"items", "sku"}, {"items", "code"}};
    const FullTableTranslation t =
        TranslateTableFull(text, {"shop", ""}, {}, {nullptr, "sql_latin1_general_cp1_ci_as", &keyed});
    ASSERT_TRUE(t.ok()) << t.error;
    EXPECT_NE(t.createTable.find("\n  sku nvarchar(64) NOT NULL,"), std::string::npos) << t.createTable;
    EXPECT_NE(t.createTable.find("\n  note nvarchar(40) COLLATE Latin1_General_100_BIN2 NULL,"), std::string::npos);
    EXPECT_NE(t.createTable.find("\n  code nvarchar(40) NULL"), std::string::npos) << t.createTable;
    ASSERT_EQ(t.adjustments.size(), 2u);
    EXPECT_EQ(t.adjustments[0].column, "sku");
    EXPECT_NE(t.adjustments[0].text.find("keeps the target database's default collation sql_latin1_general_cp1_ci_as "
                                         "instead of Latin1_General_CI_AI"),
              std::string::npos)
        << t.adjustments[0].text;
    EXPECT_EQ(t.adjustments[1].column, "code");
    ASSERT_EQ(t.collations.size(), 3u);
    EXPECT_EQ(t.collations[0].target, "sql_latin1_general_cp1_ci_as");
    EXPECT_FALSE(t.collations[0].written);
    // Where the column's collation is the database's anyway, nothing changes.
    const FullTableTranslation same = TranslateTableFull(text, {"shop", ""}, {}, {nullptr, "Latin1_General_CI_AI", &keyed});
    ASSERT_EQ(same.adjustments.size(), 1u);
    EXPECT_EQ(same.adjustments[0].column, "code");
    EXPECT_EQ(test::DescribeTsqlProblems(t.createTable), "");
}

TEST(Collations, AColumnGetsACollateClauseWhereItDiffersFromTheDatabase) {
    const std::string text =
        "CREATE TABLE `t` (\n"
        "  `a` varchar(10) DEFAULT NULL,\n"
        "  `b` varchar(10) COLLATE utf8mb4_bin DEFAULT NULL,\n"
        "  `c` varchar(10) CHARACTER SET latin1 COLLATE latin1_general_cs DEFAULT NULL,\n"
        "  `d` enum('x','y') DEFAULT NULL,\n"
        "  `n` int DEFAULT NULL\n"
        ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci";
    struct Row {
        const char* database;  // the target database's default collation ("" unknown)
        const char* a;
        const char* b;
        const char* d;
    };
    const Row rows[] = {
        {"", "a nvarchar(20) NULL", "b nvarchar(20) COLLATE Latin1_General_100_BIN2 NULL", "d nvarchar(1) NULL"},
        {"SQL_Latin1_General_CP1_CI_AS", "a nvarchar(20) COLLATE Latin1_General_CI_AI NULL",
         "b nvarchar(20) COLLATE Latin1_General_100_BIN2 NULL", "d nvarchar(1) COLLATE Latin1_General_CI_AI NULL"},
        {"latin1_general_ci_ai", "a nvarchar(20) NULL", "b nvarchar(20) COLLATE Latin1_General_100_BIN2 NULL",
         "d nvarchar(1) NULL"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.database);
        const FullTableTranslation t = TranslateTableFull(text, {"shop", ""}, {}, {nullptr, row.database});
        ASSERT_TRUE(t.ok()) << t.error;
        for (const char* line : {row.a, row.b, row.d}) {
            EXPECT_NE(t.createTable.find(std::string("\n  ") + line), std::string::npos) << line << "\n" << t.createTable;
        }
        EXPECT_NE(t.createTable.find("c nvarchar(10) COLLATE Latin1_General_CS_AS NULL"), std::string::npos);
        EXPECT_EQ(test::DescribeTsqlProblems(t.createTable), "");
        ASSERT_EQ(t.collations.size(), 4u);  // every text column, the number none
        EXPECT_EQ(t.collations[1].source, "utf8mb4_bin");
        EXPECT_TRUE(t.adjustments.empty());
    }
}

TEST(TypeFit, TheKindsMustGoTogetherAndTheValuesMustFit) {
    struct Row {
        const char* column;
        const char* target;
        ColumnFigures figures;
        const char* problem;  // "" when every value fits
    };
    auto range = [](const char* low, const char* high) {
        ColumnFigures f;
        f.minimum = low;
        f.maximum = high;
        return f;
    };
    auto longest = [](const char* value, long long characters, long long units, long long bytes) {
        ColumnFigures f;
        f.longest = value;
        f.longestCharacters = characters;
        f.longestUnits = units;
        f.longestBytes = bytes;
        return f;
    };
    ColumnFigures accented = longest("café", 4, 4, 5);
    accented.nonAscii = "café";
    ColumnFigures fraction = range("1.5", "2.25");
    fraction.rounded = "2.25";
    const Row rows[] = {
        {"`n` int unsigned NOT NULL", "int", range("0", "2147483647"), ""},
        {"`n` int unsigned NOT NULL", "int", range("0", "4294967295"), "4294967295, which int cannot hold (-2147483648 to 2147483647)"},
        {"`n` bigint unsigned NOT NULL", "bigint", range("0", "18446744073709551615"), "18446744073709551615, which bigint"},
        {"`f` tinyint(1) NOT NULL", "bit", range("0", "1"), ""},
        {"`f` tinyint(1) NOT NULL", "bit", range("0", "2"), "2, which bit cannot hold (0 or 1)"},
        {"`f` tinyint(4) NOT NULL", "tinyint", range("-1", "5"), "-1, which tinyint"},
        {"`n` int DEFAULT NULL", "int", ColumnFigures{}, ""},  // only NULLs
        {"`d` decimal(12,2) NOT NULL", "decimal(5,2)", range("-999.99", "999.99"), ""},
        {"`d` decimal(12,2) NOT NULL", "decimal(5,2)", range("-1000.00", "5"), "-1000.00, which decimal(5,2) cannot hold"},
        {"`d` decimal(12,2) NOT NULL", "int", fraction, "2.25, which int would round"},
        {"`d` decimal(12,2) NOT NULL", "money", range("-5", "922337203685477.58"), ""},
        {"`s` varchar(255) NOT NULL", "varchar(20)", longest("shipped", 7, 7, 7), ""},
        {"`s` varchar(255) NOT NULL", "varchar(5)", longest("shipped", 7, 7, 7), "'shipped' (7 characters), which varchar(5) cannot hold"},
        {"`s` varchar(255) NOT NULL", "varchar(20)", accented, "'café', whose characters outside ASCII varchar cannot keep"},
        {"`s` varchar(255) NOT NULL", "nvarchar(4)", accented, ""},
        {"`s` varchar(255) NOT NULL", "nvarchar(3)", longest("a😀b", 3, 4, 6), "(4 characters), which nvarchar(3)"},
        {"`s` varchar(255) NOT NULL", "nvarchar(max)", ColumnFigures{}, ""},
        {"`j` json DEFAULT NULL", "nvarchar(4000)", longest("{}", 2, 2, 2), ""},
        {"`b` varbinary(100) DEFAULT NULL", "binary(4)", longest("AB", 2, 2, 5), "(5 bytes), which binary(4)"},
        {"`s` varchar(10) NOT NULL", "int", ColumnFigures{}, "int cannot hold the values of a varchar column"},
        {"`b` blob", "nvarchar(max)", ColumnFigures{}, "nvarchar(max) cannot hold the values of a blob column"},
        {"`t` datetime NOT NULL", "date", ColumnFigures{}, "date drops the time of day"},
        {"`t` datetime NOT NULL", "datetime", range("1753-01-01 00:00:00", "9999-12-31 23:59:59"), ""},
        {"`t` datetime NOT NULL", "datetime", range("1000-01-01 00:00:00", "2024-01-01 00:00:00"), "1000-01-01 00:00:00, which datetime cannot hold"},
        {"`t` datetime(6) NOT NULL", "datetime", ColumnFigures{}, "1/300 s"},
        {"`t` datetime(6) NOT NULL", "datetime2(3)", ColumnFigures{}, "datetime2(3) rounds the 6 digits"},
        {"`t` date NOT NULL", "smalldatetime", range("1899-12-31", "2000-01-01"), "1899-12-31, which smalldatetime"},
        {"`x` double NOT NULL", "real", ColumnFigures{}, "about 7 digits"},
        {"`x` double NOT NULL", "float(53)", ColumnFigures{}, ""},
        {"`u` uuid NOT NULL", "uniqueidentifier", ColumnFigures{}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.column) + " = " + row.target);
        const std::string problem = JudgeTypeFit(Column(row.column), row.target, row.figures);
        if (std::string(row.problem).empty()) {
            EXPECT_EQ(problem, "");
        } else {
            EXPECT_NE(problem.find(row.problem), std::string::npos) << problem;
        }
    }
}

TEST(TypeFit, AsksForWhatItJudges) {
    EXPECT_TRUE(PlanTypeFit(Column("`n` int unsigned NOT NULL"), "int").needs.range);
    EXPECT_EQ(PlanTypeFit(Column("`n` int unsigned NOT NULL"), "int").needs.roundedScale, -1);
    EXPECT_EQ(PlanTypeFit(Column("`d` decimal(9,3) NOT NULL"), "decimal(9,1)").needs.roundedScale, 1);
    EXPECT_TRUE(PlanTypeFit(Column("`s` text"), "varchar(30)").needs.ascii);
    EXPECT_TRUE(PlanTypeFit(Column("`s` text"), "varchar(30)").needs.length);
    EXPECT_FALSE(PlanTypeFit(Column("`s` text"), "nvarchar(max)").needs.length);
    EXPECT_FALSE(PlanTypeFit(Column("`s` text"), "int").refusal.empty());
}

}  // namespace
}  // namespace velmora
