// The Full table translation: the type mapping row by row with its boundaries, defaults, identity,
// enum/set checks, generated columns, keys and foreign keys; every statement is checked exactly
// where the text matters, parsed by the T-SQL grammar, and its type names checked against SQL
// Server's own list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "translation/CreateTableParser.h"
#include "translation/FullTableTranslator.h"
#include "support/SqlServerTypes.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

const ExpressionNames kNames{"shop", "shop_target"};

std::string Table(const std::string& columns, const std::string& options = " ENGINE=InnoDB DEFAULT CHARSET=utf8mb4") {
    return "CREATE TABLE `t` (\n" + columns + "\n)" + options;
}

// Every statement of a translation, as the target would receive them.
std::vector<std::string> Statements(const FullTableTranslation& t) {
    std::vector<std::string> all{t.createTable};
    all.insert(all.end(), t.indexes.begin(), t.indexes.end());
    all.insert(all.end(), t.foreignKeys.begin(), t.foreignKeys.end());
    all.insert(all.end(), t.comments.begin(), t.comments.end());
    if (!t.identityReseed.empty()) all.push_back(t.identityReseed);
    return all;
}

void ExpectValidTsql(const FullTableTranslation& t) {
    ASSERT_TRUE(t.ok()) << t.error;
    for (const std::string& statement : Statements(t)) EXPECT_EQ(test::DescribeTsqlProblems(statement), "");
    for (const std::string& type : test::ColumnTypeNames(t.createTable)) {
        EXPECT_TRUE(test::IsSqlServerTypeName(type)) << type << " in\n" << t.createTable;
    }
}

bool HasAdjustment(const FullTableTranslation& t, const std::string& column, const std::string& part) {
    for (const Adjustment& a : t.adjustments) {
        if (a.column == column && a.text.find(part) != std::string::npos) return true;
    }
    return false;
}

// The column line, the last of the table or followed by more lines.
bool HasColumnLine(const FullTableTranslation& t, const std::string& line) {
    return t.createTable.find("\n  " + line + "\n") != std::string::npos ||
           t.createTable.find("\n  " + line + ",\n") != std::string::npos;
}

struct TypeRow {
    const char* column;  // the column line as the server prints it
    const char* target;  // the expected target column definition
};

// Each row's column definition translates into a valid table whose CREATE TABLE holds the
// row's target column line.
template <size_t N>
void ExpectColumnLines(const TypeRow (&rows)[N]) {
    for (const TypeRow& row : rows) {
        SCOPED_TRACE(row.column);
        FullTableTranslation t = TranslateTableFull(Table(row.column), kNames);
        ASSERT_TRUE(t.ok()) << t.error;
        EXPECT_TRUE(HasColumnLine(t, row.target)) << t.createTable;
        ExpectValidTsql(t);
    }
}

TEST(FullTableTranslator, MapsEveryTypeSoThatEveryValueFits) {
    const TypeRow rows[] = {
        {"`c` tinyint(4) NOT NULL", "c smallint NOT NULL"},  // -128..127 needs more than tinyint
        {"`c` tinyint(3) unsigned DEFAULT NULL", "c tinyint NULL"},
        {"`c` tinyint(1) DEFAULT NULL", "c smallint NULL"},  // printed booleans hold -128..127
        {"`c` bool DEFAULT NULL", "c bit NULL"},
        {"`c` smallint(6) DEFAULT NULL", "c smallint NULL"},
        {"`c` smallint(5) unsigned DEFAULT NULL", "c int NULL"},
        {"`c` mediumint(9) DEFAULT NULL", "c int NULL"},
        {"`c` mediumint(8) unsigned DEFAULT NULL", "c int NULL"},
        {"`c` int(11) DEFAULT NULL", "c int NULL"},
        {"`c` int(10) unsigned zerofill DEFAULT NULL", "c bigint NULL"},
        {"`c` bigint(20) DEFAULT NULL", "c bigint NULL"},
        {"`c` bigint(20) unsigned DEFAULT NULL", "c decimal(20,0) NULL"},
        {"`c` decimal(10,2) DEFAULT NULL", "c decimal(10,2) NULL"},
        {"`c` decimal(38,38) DEFAULT NULL", "c decimal(38,38) NULL"},
        {"`c` decimal(65,30) DEFAULT NULL", "c decimal(38,3) NULL"},
        {"`c` float DEFAULT NULL", "c real NULL"},
        {"`c` float(7,2) DEFAULT NULL", "c real NULL"},
        {"`c` double DEFAULT NULL", "c float(53) NULL"},
        {"`c` double(10,3) unsigned DEFAULT NULL", "c float(53) NULL"},
        {"`c` bit(1) DEFAULT NULL", "c bit NULL"},
        {"`c` bit(9) DEFAULT NULL", "c binary(2) NULL"},
        {"`c` bit(64) DEFAULT NULL", "c binary(8) NULL"},
        {"`c` char(10) DEFAULT NULL", "c nvarchar(20) NULL"},  // emoji take two UTF-16 units; no padding
        {"`c` char(10) CHARACTER SET latin1 DEFAULT NULL", "c nvarchar(10) NULL"},
        {"`c` varchar(2000) DEFAULT NULL", "c nvarchar(4000) NULL"},
        {"`c` varchar(2001) DEFAULT NULL", "c nvarchar(max) NULL"},
        {"`c` varchar(4000) CHARACTER SET utf8mb3 COLLATE utf8mb3_general_ci DEFAULT NULL", "c nvarchar(4000) NULL"},
        {"`c` char(255) DEFAULT NULL", "c nvarchar(510) NULL"},
        {"`c` tinytext DEFAULT NULL", "c nvarchar(255) NULL"},
        {"`c` text DEFAULT NULL", "c nvarchar(max) NULL"},
        {"`c` mediumtext DEFAULT NULL", "c nvarchar(max) NULL"},
        {"`c` longtext NOT NULL", "c nvarchar(max) NOT NULL"},
        {"`c` binary(16) DEFAULT NULL", "c binary(16) NULL"},
        {"`c` varbinary(8000) DEFAULT NULL", "c varbinary(8000) NULL"},
        {"`c` varbinary(8001) DEFAULT NULL", "c varbinary(max) NULL"},
        {"`c` tinyblob DEFAULT NULL", "c varbinary(255) NULL"},
        {"`c` blob DEFAULT NULL", "c varbinary(max) NULL"},
        {"`c` longblob DEFAULT NULL", "c varbinary(max) NULL"},
        {"`c` date DEFAULT NULL", "c date NULL"},
        {"`c` datetime DEFAULT NULL", "c datetime2(0) NULL"},
        {"`c` datetime(6) DEFAULT NULL", "c datetime2(6) NULL"},
        {"`c` timestamp(3) NULL DEFAULT NULL", "c datetime2(3) NULL"},
        {"`c` time DEFAULT NULL", "c time(0) NULL"},
        {"`c` time(6) DEFAULT NULL", "c time(6) NULL"},
        {"`c` year(4) DEFAULT NULL", "c smallint NULL"},
        {"`c` enum('a','bbb','cc') DEFAULT NULL", "c nvarchar(3) NULL"},
        {"`c` enum('\xF0\x9F\x98\x80x') DEFAULT NULL", "c nvarchar(3) NULL"},
        {"`c` set('a','bbb','cc') DEFAULT NULL", "c nvarchar(8) NULL"},
        {"`c` geometry DEFAULT NULL", "c nvarchar(max) NULL"},
        {"`c` point NOT NULL", "c nvarchar(max) NOT NULL"},
        {"`c` uuid DEFAULT NULL", "c uniqueidentifier NULL"},
        {"`c` inet6 DEFAULT NULL", "c nvarchar(45) NULL"},
        {"`c` inet4 DEFAULT NULL", "c nvarchar(45) NULL"},
        {"`c` json DEFAULT NULL", "c nvarchar(max) NULL"},
        {"`c` vector(3) DEFAULT NULL", "c nvarchar(max) NULL"},
    };
    ExpectColumnLines(rows);
}

TEST(FullTableTranslator, ReportsWhatTheMappingChanges) {
    struct Row { const char* column; const char* adjustment; };
    const Row rows[] = {
        {"`c` decimal(65,30) DEFAULT NULL", "wider than SQL Server's 38 digits"},
        {"`c` point DEFAULT NULL", "WKT text"},
        {"`c` vector(3) DEFAULT NULL", "no SQL Server counterpart"},
        {"`c` timestamp NOT NULL DEFAULT current_timestamp() ON UPDATE current_timestamp()", "ON UPDATE current_timestamp() dropped"},
        {"`c` date DEFAULT '0000-00-00'", "zero date"},
        {"`c` time DEFAULT '838:59:59'", "outside 00:00:00..23:59:59"},
        {"`c` float NOT NULL AUTO_INCREMENT", "cannot be an identity"},
        {"`c` int DEFAULT (`c` + 1)", "which a SQL Server default cannot"},
        {"`c` char(3) DEFAULT NULL", "char(3) becomes nvarchar(6): values read back without trailing blanks"},
        {"`c` int DEFAULT NULL INVISIBLE", "an INVISIBLE column: visible on SQL Server"},
    };
    for (const Row& row : rows) {
        FullTableTranslation t = TranslateTableFull(Table(row.column), kNames);
        EXPECT_TRUE(HasAdjustment(t, "c", row.adjustment)) << row.column;
        ExpectValidTsql(t);
    }
}

TEST(FullTableTranslator, WritesDefaultsAsTheTargetReadsThem) {
    const TypeRow rows[] = {
        {"`c` varchar(10) DEFAULT 'it''s'", "c nvarchar(20) NULL DEFAULT N'it''s'"},
        {"`c` int(11) NOT NULL DEFAULT 0", "c int NOT NULL DEFAULT 0"},
        {"`c` int(11) NOT NULL DEFAULT -5", "c int NOT NULL DEFAULT -5"},
        {"`c` int NOT NULL DEFAULT '7'", "c int NOT NULL DEFAULT 7"},  // MySQL 8 quotes numbers
        {"`c` decimal(5,2) DEFAULT 1.50", "c decimal(5,2) NULL DEFAULT 1.50"},
        {"`c` bit(1) NOT NULL DEFAULT b'1'", "c bit NOT NULL DEFAULT 1"},
        {"`c` bit(1) NOT NULL DEFAULT b'0'", "c bit NOT NULL DEFAULT 0"},
        {"`c` bit(12) DEFAULT b'101'", "c binary(2) NULL DEFAULT 0x0005"},
        {"`c` binary(2) DEFAULT 'AB'", "c binary(2) NULL DEFAULT 0x4142"},
        {"`c` datetime DEFAULT '2024-01-15 10:30:00'", "c datetime2(0) NULL DEFAULT '2024-01-15T10:30:00'"},
        {"`c` timestamp NOT NULL DEFAULT current_timestamp()", "c datetime2(0) NOT NULL DEFAULT SYSDATETIME()"},
        {"`c` datetime(6) DEFAULT CURRENT_TIMESTAMP(6)", "c datetime2(6) NULL DEFAULT SYSDATETIME()"},
        {"`c` timestamp NOT NULL DEFAULT now()", "c datetime2(0) NOT NULL DEFAULT SYSDATETIME()"},
        {"`c` enum('on','off') NOT NULL DEFAULT 'on'", "c nvarchar(3) NOT NULL DEFAULT N'on'"},
        {"`c` year(4) DEFAULT 2024", "c smallint NULL DEFAULT 2024"},
        {"`c` date DEFAULT '0000-00-00'", "c date NULL"},
        {"`c` varchar(5) DEFAULT NULL", "c nvarchar(10) NULL"},
    };
    ExpectColumnLines(rows);
}

TEST(FullTableTranslator, IdentityKeepsTheSeedAndReseedsPastTheLargestValue) {
    FullTableTranslation t = TranslateTableFull(
        Table("  `id` int(10) unsigned NOT NULL AUTO_INCREMENT,\n  `name` varchar(20) NOT NULL,\n  PRIMARY KEY (`id`)",
              " ENGINE=InnoDB AUTO_INCREMENT=1000 DEFAULT CHARSET=utf8mb4"),
        kNames);
    EXPECT_EQ(t.createTable,
              "CREATE TABLE t (\n  id bigint IDENTITY(1000,1) NOT NULL,\n  name nvarchar(40) NOT NULL,\n"
              "  PRIMARY KEY (id)\n)");
    EXPECT_TRUE(t.hasIdentity);
    EXPECT_TRUE(t.columns.at(0).identity);
    EXPECT_EQ(t.identityReseed,
              "IF EXISTS (SELECT 1 FROM t) BEGIN DECLARE @reseed decimal(38,0) = (SELECT MAX(id) FROM t); "
              "IF @reseed < 999 SET @reseed = 999; IF @reseed >= IDENT_SEED(N't') OR IDENT_CURRENT(N't') < "
              "IDENT_SEED(N't') BEGIN DECLARE @reseedCommand nvarchar(max) = "
              "N'DBCC CHECKIDENT (t, RESEED, ' + CAST(@reseed AS nvarchar(40)) + N')'; "
              "EXEC (@reseedCommand) END END");
    ExpectValidTsql(t);
    FullTableTranslation plain = TranslateTableFull(Table("`id` int NOT NULL,\nPRIMARY KEY (`id`)"), kNames);
    EXPECT_FALSE(plain.hasIdentity);
    EXPECT_EQ(plain.identityReseed, "");
}

TEST(FullTableTranslator, EnumAndJsonColumnsGetTheirChecks) {
    FullTableTranslation t = TranslateTableFull(
        Table("  `state` enum('new','it''s','') NOT NULL,\n  `kind` enum('a','b') DEFAULT NULL,\n"
              "  `doc` longtext CHARACTER SET utf8mb4 COLLATE utf8mb4_bin DEFAULT NULL CHECK (json_valid(`doc`)),\n"
              "  `doc2` json DEFAULT NULL"),
        kNames);
    EXPECT_EQ(t.createTable,
              "CREATE TABLE t (\n  state nvarchar(4) NOT NULL,\n  kind nvarchar(1) NULL,\n  doc nvarchar(max) NULL,\n"
              "  doc2 nvarchar(max) NULL,\n  CHECK (state IN (N'new', N'it''s', N'')),\n"
              "  CHECK (kind IN (N'a', N'b', N'')),\n  CHECK (ISJSON(CONCAT(N'[', doc, N']')) = 1),\n"
              "  CHECK (ISJSON(CONCAT(N'[', doc2, N']')) = 1)\n)");
    EXPECT_TRUE(t.adjustments.empty()) << t.adjustments.front().text;  // utf8mb4_bin comes with json
    ExpectValidTsql(t);
}

TEST(FullTableTranslator, UniqueKeysOverNullableColumnsAreFiltered) {
    FullTableTranslation t = TranslateTableFull(
        Table("  `id` int NOT NULL,\n  `email` varchar(100) DEFAULT NULL,\n  `code` char(4) NOT NULL,\n"
              "  `a` int DEFAULT NULL,\n  `title` varchar(200) NOT NULL,\n  `body` text,\n  `order` int DEFAULT NULL,\n"
              "  PRIMARY KEY (`id`),\n  UNIQUE KEY `email` (`email`),\n  UNIQUE KEY `uq_code_a` (`code`,`a`),\n"
              "  UNIQUE KEY `uq_code` (`code`),\n  KEY `ix_title` (`title`(10)),\n  KEY `ix_body` (`body`(20)),\n"
              "  KEY `ix order` (`order` DESC,`id`),\n  FULLTEXT KEY `ft_body` (`body`)"),
        kNames);
    const std::vector<std::string> expected = {
        "CREATE UNIQUE INDEX email ON t (email) WHERE email IS NOT NULL",
        "CREATE UNIQUE INDEX uq_code_a ON t (code, a) WHERE a IS NOT NULL",
        "CREATE UNIQUE INDEX uq_code ON t (code)",
        "CREATE INDEX ix_title ON t (title)",
        "CREATE INDEX [ix order] ON t ([order] DESC, id)",
    };
    EXPECT_EQ(t.indexes, expected);
    EXPECT_NE(t.createTable.find("  PRIMARY KEY (id)\n)"), std::string::npos) << t.createTable;
    EXPECT_TRUE(HasAdjustment(t, "title", "prefix length 10 widened to the whole column"));
    EXPECT_TRUE(HasAdjustment(t, "", "index ix_body not created: column body (nvarchar(max))"));
    EXPECT_TRUE(HasAdjustment(t, "", "FULLTEXT index ft_body not created"));
    ExpectValidTsql(t);
}

TEST(FullTableTranslator, ForeignKeysKeepTheirActions) {
    FullTableTranslation t = TranslateTableFull(
        Table("  `id` int NOT NULL,\n  `p` int DEFAULT NULL,\n  `q` int DEFAULT NULL,\n  `r` int DEFAULT NULL,\n"
              "  `s` int DEFAULT NULL,\n  PRIMARY KEY (`id`),\n"
              "  CONSTRAINT `fk_p` FOREIGN KEY (`p`) REFERENCES `parent` (`id`) ON DELETE CASCADE ON UPDATE CASCADE,\n"
              "  CONSTRAINT `fk_q` FOREIGN KEY (`q`) REFERENCES `shop`.`parent` (`id`) ON DELETE SET NULL ON UPDATE RESTRICT,\n"
              "  CONSTRAINT `fk_r` FOREIGN KEY (`r`, `s`) REFERENCES `order notes` (`a`, `b`) ON DELETE NO ACTION,\n"
              "  CONSTRAINT `fk_x` FOREIGN KEY (`s`) REFERENCES `other`.`parent` (`id`)"),
        kNames);
    const std::vector<std::string> expected = {
        "ALTER TABLE t ADD CONSTRAINT fk_p FOREIGN KEY (p) REFERENCES parent (id) ON DELETE CASCADE ON UPDATE CASCADE",
        "ALTER TABLE t ADD CONSTRAINT fk_q FOREIGN KEY (q) REFERENCES parent (id) ON DELETE SET NULL ON UPDATE NO ACTION",
        "ALTER TABLE t ADD CONSTRAINT fk_r FOREIGN KEY (r, s) REFERENCES [order notes] (a, b) ON DELETE NO ACTION",
    };
    EXPECT_EQ(t.foreignKeys, expected);
    EXPECT_TRUE(HasAdjustment(t, "", "foreign key fk_x not created: it references the database other"));
    ASSERT_EQ(t.foreignKeyModels.size(), 3u);
    EXPECT_EQ(ForeignKeyStatement("t", t.foreignKeyModels[0], kNames, true),
              "ALTER TABLE t ADD CONSTRAINT fk_p FOREIGN KEY (p) REFERENCES parent (id)");
    ExpectValidTsql(t);
}

TEST(FullTableTranslator, GeneratedColumnsAreNeverWrittenByTheCopy) {
    FullTableTranslation t = TranslateTableFull(
        Table("  `a` int(11) DEFAULT NULL,\n"
              "  `v` int(11) GENERATED ALWAYS AS (`a` + 1) VIRTUAL,\n"
              "  `s` int(11) GENERATED ALWAYS AS (`a` * 2) STORED,\n"
              "  `w` int(11) GENERATED ALWAYS AS (`s` + 1) VIRTUAL"),
        kNames);
    ASSERT_EQ(t.columns.size(), 4u);
    EXPECT_TRUE(t.columns[0].written);
    EXPECT_FALSE(t.columns[1].written);
    EXPECT_FALSE(t.columns[2].written);
    EXPECT_TRUE(t.columns[3].written);  // a computed column cannot use another one
    EXPECT_NE(t.createTable.find("\n  v AS CAST(("), std::string::npos) << t.createTable;
    EXPECT_NE(t.createTable.find(" AS int) PERSISTED,\n"), std::string::npos) << t.createTable;
    EXPECT_NE(t.createTable.find("\n  w int NULL\n"), std::string::npos) << t.createTable;
    EXPECT_TRUE(HasAdjustment(t, "w", "generated column becomes a plain column"));
    ExpectValidTsql(t);
}

TEST(FullTableTranslator, CommentsBecomeDescriptionsAndOptionsAreReported) {
    FullTableTranslation t = TranslateTableFull(
        "CREATE TABLE `order notes` (\n  `id` int(11) NOT NULL COMMENT 'the note''s id'\n"
        ") ENGINE=MEMORY DEFAULT CHARSET=latin1 COMMENT='notes'\n"
        " PARTITION BY HASH (`id`)\nPARTITIONS 4",
        kNames);
    ASSERT_EQ(t.comments.size(), 2u);
    EXPECT_EQ(t.comments[1],
              "DECLARE @schema sysname = SCHEMA_NAME(); EXEC sys.sp_addextendedproperty @name = N'MS_Description', "
              "@value = N'the note''s id', @level0type = N'SCHEMA', @level0name = @schema, @level1type = N'TABLE', "
              "@level1name = N'order notes', @level2type = N'COLUMN', @level2name = N'id'");
    EXPECT_TRUE(HasAdjustment(t, "", "partitioned table becomes a plain table"));
    EXPECT_TRUE(HasAdjustment(t, "", "engine MEMORY dropped"));
    EXPECT_EQ(t.createTable.rfind("CREATE TABLE [order notes] (", 0), 0u);
    ExpectValidTsql(t);
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// Some SQL Server-compatible servers refuse an identity of more than 18 digits: a bigint unsigned
// identity becomes bigint, and so does every foreign-key column that holds its keys, in the same
// table or another (a foreign key needs both sides of one type). Other bigint unsigned columns
// keep every value in decimal(20,0).
TEST(FullTableTranslator, BigintUnsignedIdentityAndTheKeysThatReferenceItAreBigint) {
    const std::string parent = Table(
        "  `id` bigint(20) unsigned NOT NULL AUTO_INCREMENT,\n  `up` bigint(20) unsigned DEFAULT NULL,\n"
        "  `total` bigint(20) unsigned NOT NULL,\n  PRIMARY KEY (`id`),\n"
        "  CONSTRAINT `fk_up` FOREIGN KEY (`up`) REFERENCES `t` (`id`)");
    FullTableTranslation t = TranslateTableFull(parent, kNames);
    ExpectValidTsql(t);
    EXPECT_EQ(t.columns.at(0).targetType, "bigint");
    EXPECT_EQ(t.columns.at(1).targetType, "bigint");
    EXPECT_EQ(t.columns.at(2).targetType, "decimal(20,0)");
    EXPECT_NE(t.createTable.find("id bigint IDENTITY(1,1) NOT NULL"), std::string::npos) << t.createTable;
    ASSERT_GE(t.adjustments.size(), 2u);
    EXPECT_EQ(t.adjustments[0].column, "id");
    EXPECT_NE(t.adjustments[0].text.find("keys above 9223372036854775807 fail"), std::string::npos);
    EXPECT_EQ(t.adjustments[1].column, "up");

    const std::string child =
        "CREATE TABLE `c` (\n  `id` int NOT NULL,\n  `t_id` bigint(20) unsigned NOT NULL,\n"
        "  `other_id` bigint(20) unsigned NOT NULL,\n  PRIMARY KEY (`id`),\n"
        "  CONSTRAINT `fk_t` FOREIGN KEY (`t_id`) REFERENCES `t` (`id`),\n"
        "  CONSTRAINT `fk_o` FOREIGN KEY (`other_id`) REFERENCES `o` (`id`)\n) ENGINE=InnoDB";
    const std::string other = "CREATE TABLE `o` (\n  `id` bigint(20) unsigned NOT NULL,\n  PRIMARY KEY (`id`)\n) ENGINE=InnoDB";
    ParsedTable parsed = ParseCreateTable(child);
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(TablesReferencedByUnsignedKeys(parsed.table), (std::vector<std::string>{"t", "o"}));
    FullTableTranslation withParents = TranslateTableFull(child, kNames, {{"t", parent}, {"o", other}});
    ExpectValidTsql(withParents);
    EXPECT_EQ(withParents.columns.at(1).targetType, "bigint");          // holds t's identity keys
    EXPECT_EQ(withParents.columns.at(2).targetType, "decimal(20,0)");   // o.id is no identity
    FullTableTranslation unread = TranslateTableFull(child, kNames);
    EXPECT_EQ(unread.columns.at(1).targetType, "decimal(20,0)");        // nothing known of t
}

}  // namespace
}  // namespace velmora
