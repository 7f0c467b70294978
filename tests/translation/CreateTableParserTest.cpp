// Reading SHOW CREATE TABLE text into the table model: the MariaDB and MySQL 8 forms, every
// column attribute, keys, foreign keys, checks and table options; bad input gives an error text.
#include <gtest/gtest.h>

#include <string>

#include "translation/CreateTableParser.h"

namespace velmora {
namespace {

const char* kMariaDb =
    "CREATE TABLE `order notes` (\n"
    "  `id` bigint(20) unsigned NOT NULL AUTO_INCREMENT,\n"
    "  `title` varchar(100) CHARACTER SET latin1 COLLATE latin1_bin NOT NULL DEFAULT 'it''s \\\\ here',\n"
    "  `state` enum('new','it''s','a,b') NOT NULL DEFAULT 'new',\n"
    "  `price` decimal(10,2) DEFAULT -1.50,\n"
    "  `flags` bit(3) DEFAULT b'101',\n"
    "  `changed` timestamp(6) NOT NULL DEFAULT current_timestamp(6) ON UPDATE current_timestamp(6),\n"
    "  `total` int(11) GENERATED ALWAYS AS (`id` * 2) STORED COMMENT 'twice',\n"
    "  `u` uuid DEFAULT uuid(),\n"
    "  `doc` longtext CHARACTER SET utf8mb4 COLLATE utf8mb4_bin DEFAULT NULL CHECK (json_valid(`doc`)),\n"
    "  PRIMARY KEY (`id`),\n"
    "  UNIQUE KEY `title` (`title`(10),`state` DESC),\n"
    "  KEY `ix` (`price`) USING BTREE COMMENT 'x',\n"
    "  FULLTEXT KEY `ft` (`title`),\n"
    "  CONSTRAINT `fk` FOREIGN KEY (`id`) REFERENCES `shop`.`parent` (`pid`) ON DELETE SET NULL ON UPDATE CASCADE,\n"
    "  CONSTRAINT `CONSTRAINT_1` CHECK (`price` > 0)\n"
    ") ENGINE=InnoDB AUTO_INCREMENT=42 DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_general_ci COMMENT='a (table)'\n"
    " PARTITION BY HASH (`id`)\nPARTITIONS 2";

TEST(CreateTableParser, ReadsEveryPartOfAMariaDbDefinition) {
    ParsedTable parsed = ParseCreateTable(kMariaDb);
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    const TableModel& t = parsed.table;
    EXPECT_EQ(t.name, "order notes");
    ASSERT_EQ(t.columns.size(), 9u);
    const ColumnModel& id = t.columns[0];
    EXPECT_EQ(id.baseType, "bigint");
    EXPECT_EQ(id.length, 20);
    EXPECT_TRUE(id.isUnsigned && !id.nullable && id.autoIncrement);
    const ColumnModel& title = t.columns[1];
    EXPECT_EQ(title.charset, "latin1");
    EXPECT_EQ(title.collation, "latin1_bin");
    EXPECT_EQ(title.defaultValue.kind, ColumnDefault::Kind::Literal);
    EXPECT_EQ(title.defaultValue.text, "it's \\ here");
    EXPECT_EQ(t.columns[2].labels, (std::vector<std::string>{"new", "it's", "a,b"}));
    EXPECT_EQ(t.columns[3].defaultValue.text, "-1.50");
    EXPECT_EQ(t.columns[3].scale, 2);
    EXPECT_EQ(t.columns[4].defaultValue.kind, ColumnDefault::Kind::BitLiteral);
    EXPECT_EQ(t.columns[4].defaultValue.text, "101");
    const ColumnModel& changed = t.columns[5];
    EXPECT_EQ(changed.precision, 6);
    EXPECT_EQ(changed.defaultValue.kind, ColumnDefault::Kind::CurrentTimestamp);
    EXPECT_EQ(changed.onUpdate, "current_timestamp(6)");
    ASSERT_TRUE(t.columns[6].generated.has_value());
    EXPECT_EQ(t.columns[6].generated->expression, "`id` * 2");
    EXPECT_TRUE(t.columns[6].generated->stored);
    EXPECT_EQ(t.columns[6].comment, "twice");
    EXPECT_EQ(t.columns[7].defaultValue.kind, ColumnDefault::Kind::Expression);
    EXPECT_EQ(t.columns[7].defaultValue.text, "uuid()");
    EXPECT_EQ(t.columns[8].check, "json_valid(`doc`)");
    ASSERT_EQ(t.indexes.size(), 4u);
    EXPECT_EQ(t.indexes[0].kind, IndexModel::Kind::Primary);
    EXPECT_EQ(t.indexes[1].kind, IndexModel::Kind::Unique);
    EXPECT_EQ(t.indexes[1].parts[0].prefixLength, 10);
    EXPECT_TRUE(t.indexes[1].parts[1].descending);
    EXPECT_EQ(t.indexes[2].name, "ix");
    EXPECT_EQ(t.indexes[3].kind, IndexModel::Kind::Fulltext);
    ASSERT_EQ(t.foreignKeys.size(), 1u);
    EXPECT_EQ(t.foreignKeys[0].referencedDatabase, "shop");
    EXPECT_EQ(t.foreignKeys[0].referencedTable, "parent");
    EXPECT_EQ(t.foreignKeys[0].onDelete, "SET NULL");
    EXPECT_EQ(t.foreignKeys[0].onUpdate, "CASCADE");
    ASSERT_EQ(t.checks.size(), 1u);
    EXPECT_EQ(t.checks[0].expression, "`price` > 0");
    EXPECT_EQ(t.options.engine, "InnoDB");
    EXPECT_EQ(t.options.autoIncrement, 42u);
    EXPECT_EQ(t.options.charset, "utf8mb4");
    EXPECT_EQ(t.options.comment, "a (table)");
    EXPECT_EQ(t.options.partitioning, "PARTITION BY HASH (`id`)\nPARTITIONS 2");
}

TEST(CreateTableParser, ReadsMySql8Forms) {
    ParsedTable parsed = ParseCreateTable(
        "CREATE TABLE `t` (\n"
        "  `id` int NOT NULL /*!80023 INVISIBLE */,\n"
        "  `n` int NOT NULL DEFAULT '0',\n"
        "  `d` date DEFAULT (curdate()),\n"
        "  `j` json DEFAULT NULL,\n"
        "  `g` point NOT NULL /*!80003 SRID 4326 */,\n"
        "  KEY `f` ((`n` + 1)),\n"
        "  CONSTRAINT `t_chk_1` CHECK ((`n` >= 0)) /*!80016 NOT ENFORCED */\n"
        ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_0900_ai_ci\n"
        "/*!50100 PARTITION BY RANGE (`id`)\n(PARTITION p0 VALUES LESS THAN (10) ENGINE = InnoDB) */");
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    const TableModel& t = parsed.table;
    EXPECT_TRUE(t.columns[0].invisible);
    EXPECT_EQ(t.columns[1].defaultValue.text, "0");
    EXPECT_TRUE(t.columns[1].defaultValue.quoted);
    EXPECT_EQ(t.columns[2].defaultValue.kind, ColumnDefault::Kind::Expression);
    EXPECT_EQ(t.columns[2].defaultValue.text, "curdate()");
    EXPECT_EQ(t.columns[3].baseType, "json");
    EXPECT_FALSE(t.indexes.at(0).parts.at(0).prefixLength.value_or(0) >= 0);  // an expression part
    EXPECT_EQ(t.checks.at(0).expression, "(`n` >= 0)");
    EXPECT_EQ(t.options.collation, "utf8mb4_0900_ai_ci");
    EXPECT_EQ(t.options.partitioning.rfind("PARTITION BY RANGE", 0), 0u);
}

TEST(CreateTableParser, BadInputGivesAClearErrorAndNeverCrashes) {
    struct Row { const char* text; const char* error; };
    const Row rows[] = {
        {"", "expected CREATE TABLE"},
        {"SELECT 1", "expected CREATE TABLE"},
        {"CREATE VIEW `v` AS select 1", "expected CREATE TABLE"},
        {"CREATE TABLE `t`", "expected the column list"},
        {"CREATE TABLE `t` (\n  `a` int", "the column list is not closed"},
        {"CREATE TABLE `t` (\n  `a` varchar('x')\n)", "expected a whole number"},
        {"CREATE TABLE `t` (\n  `a` int DEFAULT 'open\n)", "unterminated string"},
        {"CREATE TABLE `t` (\n  `a` int NOT\n)", "expected NOT NULL"},
        {"CREATE TABLE `t` (\n)", "the table has no columns"},
        {"CREATE TABLE `t` (\n  `a` int,\n  FOREIGN KEY (`a`) REFERENCES\n)", "expected a name"},
        {"CREATE TABLE `t` (\n  `a` varchar(99999999999999999999)\n)", "expected a whole number"},
    };
    for (const Row& row : rows) {
        ParsedTable parsed = ParseCreateTable(row.text);
        EXPECT_NE(parsed.error.find(row.error), std::string::npos) << row.text << "\n-> " << parsed.error;
        EXPECT_EQ(parsed.error.rfind("cannot read the table definition: ", 0), 0u) << parsed.error;
    }
    // Every cut of a real definition is read or refused, never more.
    std::string text = kMariaDb;
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        ParsedTable parsed = ParseCreateTable(std::string_view(text).substr(0, cut));
        if (parsed.ok()) {
            EXPECT_FALSE(parsed.table.columns.empty());
        }
    }
}

}  // namespace
}  // namespace velmora
