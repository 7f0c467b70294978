#include <gtest/gtest.h>

#include <string>

#include "translation/DdlTranslator.h"

namespace velmora {
namespace {

// Wraps one column line into a table the way the source server prints it, with a last column
// after it, and returns the translated form of that line alone.
std::string TranslateLine(const std::string& line) {
    std::string out =
        RewriteTableDefinition("create table t (\n  " + line + "\n  z int(11) default null\n)");
    const std::string head = "create table t (\n  ";
    const std::string tail = "\n  z int default null\n)\n";
    if (out.compare(0, head.size(), head) != 0 || out.size() < head.size() + tail.size() ||
        out.compare(out.size() - tail.size(), tail.size(), tail) != 0) {
        return "unexpected shape: " + out;
    }
    return out.substr(head.size(), out.size() - head.size() - tail.size());
}

struct LineCase {
    const char* source;
    const char* expected;
};

class ColumnLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(ColumnLineTest, TranslatesAsTheRuleChainSays) {
    EXPECT_EQ(TranslateLine(GetParam().source), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    ResultsTable, ColumnLineTest,
    testing::Values(
        LineCase{"id int(10) unsigned not null auto_increment,", "id int  not null ,"},
        LineCase{"n bigint(20) not null,", "n bigint not null,"},
        LineCase{"m mediumint(8) unsigned default null,", "m int  default null,"},
        LineCase{"flag bit(1) default b'1',", "flag binary(8) default 0x00,"},
        LineCase{"s varchar(300) not null,", "s text not null,"},
        LineCase{"s2 varchar(255) not null,", "s2 varchar(255) not null,"},
        LineCase{"t tinytext,", "t nvarchar(255),"},
        LineCase{"l longtext not null,", "l ntext not null,"},
        LineCase{"bl mediumblob,", "bl image,"},
        LineCase{"vb varbinary(9000) default null,", "vb image default null,"},
        LineCase{"y year(4) default null,", "y char(4) default null,"},
        LineCase{"f float(7,2) not null,", "f float(24)  not null,"},
        LineCase{"d double not null,", "d float(53) not null,"},
        LineCase{"e enum('a','b') default 'a',", "e enum('a','b') default 'a',"},
        // Lengths at the edges of rules 8 and 9.
        LineCase{"v varchar(256),", "v text,"},
        LineCase{"v varchar(65535),", "v text,"},
        LineCase{"b varbinary(8000),", "b varbinary(8000),"},
        LineCase{"b varbinary(8010),", "b varbinary(8010),"},
        LineCase{"b varbinary(8001),", "b image,"},
        LineCase{"b varbinary(10000),", "b image,"},
        // Other integer widths and plain types.
        LineCase{"a tinyint(1) not null default 0,", "a tinyint not null default 0,"},
        LineCase{"a smallint(6),", "a smallint,"},
        LineCase{"a int,", "a int,"},
        LineCase{"x double,", "x float(53) ,"},
        LineCase{"x double(10,2) default null,", "x float(53)  default null,"},
        LineCase{"x float default null,", "x float default null,"},
        LineCase{"x text,", "x ntext,"},
        LineCase{"x mediumtext not null,", "x ntext not null,"},
        LineCase{"x blob,", "x image,"},
        LineCase{"x longblob default null,", "x image default null,"},
        LineCase{"x decimal(10,2) not null default 0.00,", "x decimal(10,2) not null default 0.00,"},
        LineCase{"x set('a','b') default null,", "x set('a','b') default null,"},
        LineCase{"x date default null,", "x date default null,"},
        LineCase{"x datetime(3) not null,", "x datetime(3) not null,"},
        LineCase{"x char(32) default null,", "x char(32) default null,"}));

// A column line that merely contains the letters "key" is a column, not a key line.
INSTANTIATE_TEST_SUITE_P(
    KeyLettersInColumnNames, ColumnLineTest,
    testing::Values(LineCase{"api_key char(32) default null,", "api_key char(32) default null,"},
                    LineCase{"monkey int(11),", "monkey int,"},
                    LineCase{"keycode varchar(10) not null,", "keycode varchar(10) not null,"},
                    LineCase{"`key` int(11) not null,", "[key] int not null,"},
                    LineCase{"`index` int(11),", "[index] int,"},
                    LineCase{"`primary` varchar(5),", "[primary] varchar(5),"}));

// Current-timestamp defaults become CURRENT_TIMESTAMP; on update clauses go; only the type
// position turns timestamp into datetime2.
INSTANTIATE_TEST_SUITE_P(
    Timestamps, ColumnLineTest,
    testing::Values(
        LineCase{"ts timestamp not null default current_timestamp on update current_timestamp,",
                 "ts datetime2 not null default CURRENT_TIMESTAMP,"},
        LineCase{"ts timestamp not null default current_timestamp(),",
                 "ts datetime2 not null default CURRENT_TIMESTAMP,"},
        LineCase{"ts timestamp not null default current_timestamp,",
                 "ts datetime2 not null default CURRENT_TIMESTAMP,"},
        LineCase{"ts timestamp(6) not null default current_timestamp(6) on update "
                 "current_timestamp(6),",
                 "ts datetime2 not null default CURRENT_TIMESTAMP,"},
        LineCase{"ts datetime default current_timestamp() on update current_timestamp(),",
                 "ts datetime default CURRENT_TIMESTAMP,"},
        LineCase{"ts timestamp null default null,", "ts datetime2 null default null,"},
        LineCase{"def_timestamp timestamp null default null,",
                 "def_timestamp datetime2 null default null,"},
        LineCase{"last_timestamp datetime not null,", "last_timestamp datetime not null,"},
        LineCase{"`timestamp` int(11),", "timestamp int,"}));

TEST(RewriteTableDefinition, DropsTableOptionsAndKeyLines) {
    const std::string source =
        "CREATE TABLE `orders` (\n"
        "  `id` int(10) unsigned NOT NULL AUTO_INCREMENT,\n"
        "  `name` varchar(50) DEFAULT NULL,\n"
        "  PRIMARY KEY (`id`),\n"
        "  UNIQUE KEY `uq_name` (`name`),\n"
        "  KEY `ix` (`name`,`id`),\n"
        "  FULLTEXT KEY `ft` (`name`),\n"
        "  SPATIAL KEY `sp` (`g`),\n"
        "  CONSTRAINT `fk_x` FOREIGN KEY (`id`) REFERENCES `other` (`id`) ON DELETE CASCADE\n"
        ") ENGINE=InnoDB AUTO_INCREMENT=5 DEFAULT CHARSET=utf8mb4";
    EXPECT_EQ(RewriteTableDefinition(source),
              "create table orders (\n"
              "  id int  not null ,\n"
              "  name varchar(50) default null\n"
              ")\n");
}

TEST(RewriteTableDefinition, TableWithoutKeysKeepsItsLastLine) {
    EXPECT_EQ(RewriteTableDefinition("CREATE TABLE `t` (\n  `a` int(11) DEFAULT NULL\n) "
                                     "ENGINE=MyISAM"),
              "create table t (\n  a int default null\n)\n");
}

TEST(RewriteTableDefinition, CurrentTimestampOnTheLastColumnLine) {
    EXPECT_EQ(RewriteTableDefinition(
                  "CREATE TABLE `t` (\n  `a` int(11) NOT NULL,\n  `u` timestamp NOT NULL DEFAULT "
                  "current_timestamp() ON UPDATE current_timestamp()\n) ENGINE=InnoDB"),
              "create table t (\n  a int not null,\n  u datetime2 not null default "
              "CURRENT_TIMESTAMP\n)\n");
    EXPECT_EQ(RewriteTableDefinition(
                  "CREATE TABLE `t` (\n  `u` timestamp NOT NULL DEFAULT current_timestamp() ON "
                  "UPDATE current_timestamp(),\n  PRIMARY KEY (`u`)\n) ENGINE=InnoDB"),
              "create table t (\n  u datetime2 not null default CURRENT_TIMESTAMP\n)\n");
}

TEST(RewriteTableDefinition, NamesThatNeedQuotingGetBrackets) {
    EXPECT_EQ(RewriteTableDefinition("CREATE TABLE `order notes` (\n  `user` varchar(10),\n"
                                     "  `my col` int(11),\n  `a]b` int(11)\n) ENGINE=InnoDB"),
              "create table [order notes] (\n  [user] varchar(10),\n  [my col] int,\n"
              "  \"a]b\" int\n)\n");
}

TEST(RewriteTableDefinition, StringLiteralsKeepTheirBackquotes) {
    EXPECT_EQ(RewriteTableDefinition("CREATE TABLE `t` (\n  `a` varchar(9) DEFAULT 'x`y''z'\n)"),
              "create table t (\n  a varchar(9) default 'x`y''z'\n)\n");
}

TEST(RewriteTableDefinition, TableCommentWithParenthesisKeepsOptionsUpToIt) {
    EXPECT_EQ(RewriteTableDefinition("CREATE TABLE `t` (\n  `a` int(11)\n) ENGINE=InnoDB "
                                     "COMMENT='groups (nested) here'"),
              "create table t (\n  a int\n) engine=innodb comment='groups (nested)\n");
}

TEST(RewriteTableDefinition, TextWithoutParenthesisNeitherFailsNorCuts) {
    EXPECT_EQ(RewriteTableDefinition(""), "\n");
    EXPECT_EQ(RewriteTableDefinition("FALSE"), "false\n");
}

TEST(RewriteTableDefinition, RewritesAMegabyteDefinition) {
    std::string source = "CREATE TABLE `wide` (\n";
    int columns = 0;
    while (source.size() < (1u << 20)) {
        source += "  `c" + std::to_string(columns++) +
                  "` varchar(300) NOT NULL DEFAULT 'some default value text',\n";
    }
    source += "  `last` timestamp NOT NULL DEFAULT current_timestamp(),\n  PRIMARY KEY (`c0`)\n"
              ") ENGINE=InnoDB";
    std::string out = RewriteTableDefinition(source);
    ASSERT_GT(out.size(), 800000u);
    const std::string end = "  last datetime2 not null default CURRENT_TIMESTAMP\n)\n";
    EXPECT_EQ(out.substr(out.size() - end.size()), end);
    EXPECT_NE(out.find("  c" + std::to_string(columns - 1) + " text not null default "), std::string::npos);
    EXPECT_EQ(out.find("primary key"), std::string::npos);
    EXPECT_EQ(out.find("varchar(300)"), std::string::npos);
}

}  // namespace
}  // namespace velmora
