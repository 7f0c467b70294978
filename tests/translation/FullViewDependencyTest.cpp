// FullViewTranslator with the definitions of the tables a view selects from: columns that a
// grouped key determines join the GROUP BY, what cannot be proven stays refused with its reason;
// GROUP_CONCAT(DISTINCT) ordered by what it lists; CHAR values without their trailing blanks;
// CONCAT's first argument as nvarchar. Every statement is parsed by the T-SQL grammar oracle.
#include <gtest/gtest.h>

#include "translation/CreateTableParser.h"
#include "translation/FullViewTranslator.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

const std::string kHeader = "CREATE ALGORITHM=UNDEFINED DEFINER=`root`@`localhost` SQL SECURITY DEFINER VIEW `shop`.`v` AS ";

std::vector<TableModel> Tables() {
    const char* const texts[] = {
        "CREATE TABLE `clients` (\n  `id` int(11) NOT NULL,\n  `name` varchar(50) NOT NULL,\n"
        "  `email` varchar(100) NOT NULL,\n  `code` char(4) DEFAULT NULL,\n  `city` varchar(50) DEFAULT NULL,\n"
        "  `alt` int(11) DEFAULT NULL,\n  PRIMARY KEY (`id`),\n  UNIQUE KEY `uq_email` (`email`),\n"
        "  UNIQUE KEY `uq_alt` (`alt`),\n  UNIQUE KEY `uq_city` (`city`(10))\n) ENGINE=InnoDB",
        "CREATE TABLE `orders` (\n  `id` int(11) NOT NULL,\n  `client_id` int(11) NOT NULL,\n"
        "  `amount` decimal(10,2) NOT NULL,\n  `item` varchar(50) NOT NULL,\n  PRIMARY KEY (`id`)\n) ENGINE=InnoDB",
        "CREATE TABLE `lines` (\n  `order_id` int(11) NOT NULL,\n  `n` int(11) NOT NULL,\n  `qty` int(11) DEFAULT NULL,\n"
        "  PRIMARY KEY (`order_id`,`n`)\n) ENGINE=InnoDB",
    };
    std::vector<TableModel> tables;
    for (const char* text : texts) tables.push_back(ParseCreateTable(text).table);
    return tables;
}

FullViewTranslation Translate(const std::string& body) {
    return TranslateViewFull(kHeader + body, "v", {"shop", "", "", "", {}, 16}, Tables());
}

struct ViewCase {
    std::string body;      // after "AS"
    std::string expected;  // after "CREATE VIEW v AS "
};

class KnownTablesTranslate : public ::testing::TestWithParam<ViewCase> {};

TEST_P(KnownTablesTranslate, ToTheExpectedStatementThatParses) {
    const FullViewTranslation out = Translate(GetParam().body);
    ASSERT_TRUE(out.ok()) << GetParam().body << ": " << out.untranslatable;
    EXPECT_EQ(out.statement, "CREATE VIEW v AS " + GetParam().expected);
    EXPECT_EQ(test::DescribeTsqlProblems(out.statement), "");
}

const std::string kJoin = " from (`shop`.`clients` `c` join `shop`.`orders` `o` on(`o`.`client_id` = `c`.`id`))";

INSTANTIATE_TEST_SUITE_P(DeterminedColumnsJoinTheGroupBy, KnownTablesTranslate, ::testing::Values(
    // The primary key.
    ViewCase{"select `c`.`id` AS `id`,`c`.`name` AS `name`,count(`o`.`id`) AS `n`" + kJoin + " group by `c`.`id`",
             "SELECT c.id AS id, c.name AS name, COUNT(o.id) AS n FROM clients AS c INNER JOIN orders AS o ON "
             "o.client_id = c.id GROUP BY c.id, c.name"},
    // A unique key over a NOT NULL column.
    ViewCase{"select `c`.`email` AS `email`,`c`.`name` AS `name`,count(0) AS `n` from `clients` `c` group by `c`.`email`",
             "SELECT c.email AS email, c.name AS name, COUNT(0) AS n FROM clients AS c GROUP BY c.email, c.name"},
    // Through the join: the order's client_id, then the client's key.
    ViewCase{"select `o`.`id` AS `id`,`c`.`name` AS `name`,`o`.`amount` AS `amount`,count(0) AS `n`" + kJoin + " group by `o`.`id`",
             "SELECT o.id AS id, c.name AS name, o.amount AS amount, COUNT(0) AS n FROM clients AS c INNER JOIN orders AS o "
             "ON o.client_id = c.id GROUP BY o.id, c.name, o.amount"},
    // The preserved side of an outer join.
    ViewCase{"select `c`.`id` AS `id`,`c`.`name` AS `name`,sum(`o`.`amount`) AS `total` from (`clients` `c` left join "
             "`orders` `o` on(`o`.`client_id` = `c`.`id`)) group by `c`.`id`",
             "SELECT c.id AS id, c.name AS name, SUM(o.amount) AS total FROM clients AS c LEFT JOIN orders AS o ON "
             "o.client_id = c.id GROUP BY c.id, c.name"},
    // A composite key, unqualified names, and a key fixed by WHERE.
    ViewCase{"select `order_id` AS `order_id`,`n` AS `n`,`qty` AS `qty`,count(0) AS `k` from `lines` group by `order_id`,`n`",
             "SELECT order_id AS order_id, n AS n, qty AS qty, COUNT(0) AS k FROM lines GROUP BY order_id, n, qty"},
    ViewCase{"select `o`.`client_id` AS `client_id`,`o`.`item` AS `item`,count(0) AS `k` from `orders` `o` where `o`.`id` = 3 "
             "group by `o`.`client_id`",
             "SELECT o.client_id AS client_id, o.item AS item, COUNT(0) AS k FROM orders AS o WHERE o.id = 3 GROUP BY "
             "o.client_id, o.item"},
    // ORDER BY a determined column.
    ViewCase{"select `c`.`id` AS `id`,count(0) AS `n`" + kJoin + " group by `c`.`id` order by `c`.`name`",
             "SELECT c.id AS id, COUNT(0) AS n FROM clients AS c INNER JOIN orders AS o ON o.client_id = c.id GROUP BY "
             "c.id, c.name ORDER BY c.name OFFSET 0 ROWS"},
    // With GROUP_CONCAT(DISTINCT): the determined columns are grouped in the distinct rows too.
    ViewCase{"select `c`.`id` AS `id`,`c`.`name` AS `name`,group_concat(distinct `o`.`item` order by `o`.`item` ASC "
             "separator ', ') AS `items`" + kJoin + " group by `c`.`id`",
             "SELECT group_1 AS id, group_2 AS name, STRING_AGG(CAST(value_1 AS nvarchar(max)), N', ') WITHIN GROUP "
             "(ORDER BY value_1) AS items FROM (SELECT DISTINCT c.id AS group_1, c.name AS group_2, o.item AS value_1 "
             "FROM clients AS c INNER JOIN orders AS o ON o.client_id = c.id) AS group_rows GROUP BY group_1, group_2"}));

TEST(KnownTables, TheAddedColumnsAreReportedAsAnAdjustment) {
    const FullViewTranslation out =
        Translate("select `c`.`id` AS `id`,`c`.`name` AS `name`,`c`.`city` AS `city`,count(0) AS `n` from `clients` `c` group by `c`.`id`");
    ASSERT_TRUE(out.ok()) << out.untranslatable;
    EXPECT_EQ(out.adjustments, std::vector<std::string>{
        "GROUP BY also lists c.name, c.city: the grouped key determines them, which MySQL accepts and T-SQL does not"});
    EXPECT_TRUE(Translate("select `c`.`id` AS `id`,count(0) AS `n` from `clients` `c` group by `c`.`id`").adjustments.empty());
}

TEST(KnownTables, WhatNoGroupedKeyDeterminesIsRefusedWithTheReason) {
    const struct {
        std::string body;
        std::string construct;
    } cases[] = {
        // A unique key over a nullable column: several rows may hold NULL.
        {"select `c`.`alt` AS `alt`,`c`.`name` AS `name`,count(0) AS `n` from `clients` `c` group by `c`.`alt`",
         "loose GROUP BY (c.name is neither grouped nor aggregated, and the grouped columns determine no key of c)"},
        // A unique key over a prefix.
        {"select `c`.`city` AS `city`,`c`.`name` AS `name`,count(0) AS `n` from `clients` `c` group by `c`.`city`",
         "loose GROUP BY (c.name is neither grouped nor aggregated, and the grouped columns determine no key of c)"},
        // The null-supplying side of an outer join does not tell about the preserved side.
        {"select `o`.`id` AS `id`,`c`.`name` AS `name`,count(0) AS `n` from (`clients` `c` left join `orders` `o` "
         "on(`o`.`client_id` = `c`.`id`)) group by `o`.`id`",
         "loose GROUP BY (c.name is neither grouped nor aggregated, and the grouped columns determine no key of c)"},
        // Joined on a column that is not its key.
        {"select `o`.`client_id` AS `client_id`,`c`.`name` AS `name`,count(0) AS `n` from (`orders` `o` join `clients` `c` "
         "on(`c`.`city` = `o`.`item`)) group by `o`.`client_id`",
         "loose GROUP BY (c.name is neither grouped nor aggregated, and the grouped columns determine no key of c)"},
        // Text equal under a collation is not the same value ('a' = 'A').
        {"select `d`.`email` AS `email`,`c`.`name` AS `name`,count(0) AS `n` from (`clients` `c` join `clients` `d` "
         "on(`c`.`email` = `d`.`email`)) group by `d`.`email`",
         "loose GROUP BY (c.name is neither grouped nor aggregated, and the grouped columns determine no key of c)"},
        // Tables and derived tables whose keys are not known.
        {"select `x`.`id` AS `id`,`x`.`name` AS `name`,count(0) AS `n` from `shop`.`suppliers` `x` group by `x`.`id`",
         "loose GROUP BY (x.name is neither grouped nor aggregated, and the keys of x are not known)"},
        {"select `c`.`id` AS `id`,`c`.`name` AS `name`,count(0) AS `n` from `other`.`clients` `c` group by `c`.`id`",
         "loose GROUP BY (c.name is neither grouped nor aggregated, and the keys of c are not known)"},
        {"select `d`.`id` AS `id`,`d`.`name` AS `name`,count(0) AS `n` from (select `clients`.`id` AS `id`,`clients`.`name` "
         "AS `name` from `clients`) `d` group by `d`.`id`",
         "loose GROUP BY (d.name is neither grouped nor aggregated, and the keys of d are not known)"},
        // Without GROUP BY the query is one group even over no rows.
        {"select `c`.`name` AS `name`,count(0) AS `n` from `clients` `c` where `c`.`id` = 1",
         "loose GROUP BY (c.name is neither grouped nor aggregated)"},
    };
    for (const auto& c : cases) {
        const FullViewTranslation out = Translate(c.body);
        EXPECT_EQ(out.untranslatable, c.construct) << c.body;
        EXPECT_EQ(out.statement, "") << c.body;
    }
}

// MySQL returns CHAR values without their trailing blanks; T-SQL's nchar keeps them.
INSTANTIATE_TEST_SUITE_P(CharValuesLoseTheirTrailingBlanks, KnownTablesTranslate, ::testing::Values(
    ViewCase{"select concat(`c`.`code`,'-',`c`.`name`) AS `label` from `clients` `c`",
             "SELECT CASE WHEN c.code IS NULL OR c.name IS NULL THEN NULL ELSE CONCAT(CAST(RTRIM(c.code) AS nvarchar(max)), "
             "N'-', c.name) END AS label FROM clients AS c"},
    ViewCase{"select char_length(`code`) AS `n`,upper(`code`) AS `u`,`code` AS `code` from `clients` where `code` like 'x'",
             "SELECT LEN(CAST(RTRIM(code) AS nvarchar(max)) + N'.') - 1 AS n, UPPER(RTRIM(code)) AS u, code AS code FROM "
             "clients WHERE RTRIM(code) LIKE N'x'"},
    ViewCase{"select `c`.`id` AS `id`,(select group_concat(`o`.`item`,`c`.`code` separator ',') from `orders` `o` where "
             "`o`.`client_id` = `c`.`id`) AS `items` from `clients` `c`",
             "SELECT c.id AS id, (SELECT STRING_AGG(CASE WHEN o.item IS NULL OR c.code IS NULL THEN NULL ELSE "
             "CONCAT(CAST(o.item AS nvarchar(max)), RTRIM(c.code)) END, N',') FROM orders AS o WHERE o.client_id = c.id) "
             "AS items FROM clients AS c"},
    ViewCase{"select group_concat(distinct `c`.`code` order by `c`.`code` ASC separator ',') AS `codes` from `clients` `c`",
             "SELECT STRING_AGG(CAST(value_1 AS nvarchar(max)), N',') WITHIN GROUP (ORDER BY value_1) AS codes FROM "
             "(SELECT DISTINCT RTRIM(c.code) AS value_1 FROM clients AS c) AS group_rows"}));

}  // namespace
}  // namespace velmora
