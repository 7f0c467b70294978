// GROUP_CONCAT in the form of each target: STRING_AGG ... WITHIN GROUP (SQL Server 2017 and later),
// STRING_AGG over ordered rows (Babelfish), FOR XML PATH (SQL Server 2016 and scripts); DISTINCT
// ordered by a key it does not list; the group_concat_max_len cut; LENGTH in the bytes of the
// column's character set. Every statement is parsed by the T-SQL grammar oracle.
#include <gtest/gtest.h>

#include "translation/CreateTableParser.h"
#include "translation/FullViewTranslator.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

const std::string kHeader = "CREATE ALGORITHM=UNDEFINED DEFINER=`root`@`localhost` SQL SECURITY DEFINER VIEW `shop`.`v` AS ";

std::vector<TableModel> Tables() {
    return {ParseCreateTable("CREATE TABLE `t` (\n  `id` int(11) NOT NULL,\n  `c` int(11) DEFAULT NULL,\n"
                             "  `n` varchar(20) CHARACTER SET latin1 DEFAULT NULL,\n  `u` varchar(20) DEFAULT NULL,\n"
                             "  `b` varbinary(20) DEFAULT NULL,\n  PRIMARY KEY (`id`)\n) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4")
                .table};
}

ExpressionNames Target(const std::string& kind, int version, std::size_t maxLength = 0) {
    ExpressionNames names{"shop", "", kind};
    names.targetMajorVersion = version;
    names.groupConcatMaxLength = maxLength;
    return names;
}

struct FormCase {
    ExpressionNames names;
    std::string body;      // after "AS"
    std::string expected;  // after "CREATE VIEW v AS "
    std::string note;      // the adjustment that names the form
};

class GroupConcatForms : public ::testing::TestWithParam<FormCase> {};

TEST_P(GroupConcatForms, FollowTheTarget) {
    const FormCase& c = GetParam();
    const FullViewTranslation out = TranslateViewFull(kHeader + c.body, "v", c.names, Tables());
    ASSERT_TRUE(out.ok()) << out.untranslatable;
    EXPECT_EQ(out.statement, "CREATE VIEW v AS " + c.expected);
    EXPECT_EQ(test::DescribeTsqlProblems(out.statement), "");
    if (!c.note.empty()) {
        EXPECT_NE(std::find(out.adjustments.begin(), out.adjustments.end(), c.note), out.adjustments.end());
    }
}

// DISTINCT values ordered by a key they do not list (each value by its first key, then by itself).
const std::string kDistinct =
    "select `t`.`c` AS `c`,group_concat(distinct concat(`t`.`u`,': ',`t`.`id`) order by `t`.`u` ASC separator '; ') AS `s` "
    "from `t` group by `t`.`c`";
const std::string kDistinctRows =
    "SELECT group_1, value_1, MIN(order_1) AS order_1 FROM (SELECT t.c AS group_1, CASE WHEN t.u IS NULL OR t.id IS NULL THEN NULL "
    "ELSE CONCAT(CAST(t.u AS nvarchar(max)), N': ', t.id) END AS value_1, t.u AS order_1 FROM t) AS all_rows GROUP BY group_1, value_1";
const std::string kOrdered = "select `t`.`c` AS `c`,group_concat(`t`.`u` order by `t`.`id` DESC separator ',') AS `s` from `t` group by `t`.`c`";

INSTANTIATE_TEST_SUITE_P(Targets, GroupConcatForms, ::testing::Values(
    FormCase{Target("", 14), kDistinct,
             "SELECT group_1 AS c, STRING_AGG(CAST(value_1 AS nvarchar(max)), N'; ') WITHIN GROUP (ORDER BY order_1, value_1) AS s "
             "FROM (" + kDistinctRows + ") AS group_rows GROUP BY group_1",
             "GROUP_CONCAT is written as STRING_AGG ... WITHIN GROUP (SQL Server 2017 or later)"},
    FormCase{Target("Babelfish", 12), kDistinct,
             "SELECT group_1 AS c, STRING_AGG(CAST(value_1 AS nvarchar(max)), N'; ') AS s FROM (SELECT TOP (2147483647) * FROM (" +
                 kDistinctRows + ") AS unordered_rows ORDER BY group_1, order_1, value_1) AS group_rows GROUP BY group_1",
             "GROUP_CONCAT is written as STRING_AGG over rows in the order it names (Babelfish refuses WITHIN GROUP)"},
    FormCase{Target("", 13), kDistinct,
             "SELECT group_1 AS c, CASE WHEN COUNT(CAST(value_1 AS nvarchar(max))) = 0 THEN NULL ELSE ISNULL(STUFF((SELECT N'; ' + "
             "CAST(value_1 AS nvarchar(max)) FROM (" + kDistinctRows + ") AS joined_rows WHERE (joined_rows.group_1 = group_rows.group_1 "
             "OR (joined_rows.group_1 IS NULL AND group_rows.group_1 IS NULL)) ORDER BY joined_rows.order_1, joined_rows.value_1 "
             "FOR XML PATH(''), TYPE).value('.', 'nvarchar(max)'), 1, 2, N''), N'') END AS s FROM (" + kDistinctRows +
             ") AS group_rows GROUP BY group_1",
             "GROUP_CONCAT is written as FOR XML PATH (every SQL Server from 2016; STRING_AGG needs 2017)"},
    // Without DISTINCT: inline where WITHIN GROUP is accepted, over ordered rows on Babelfish.
    FormCase{Target("", 16, 1024), kOrdered,
             "SELECT t.c AS c, LEFT(STRING_AGG(CAST(t.u AS nvarchar(max)), N',') WITHIN GROUP (ORDER BY t.id DESC), 1024) AS s "
             "FROM t GROUP BY t.c", ""},
    FormCase{Target("Babelfish", 12), kOrdered,
             "SELECT group_1 AS c, STRING_AGG(CAST(value_1 AS nvarchar(max)), N',') AS s FROM (SELECT TOP (2147483647) * FROM "
             "(SELECT t.c AS group_1, t.u AS value_1, t.id AS order_1 FROM t) AS unordered_rows ORDER BY group_1, order_1 DESC, value_1) "
             "AS group_rows GROUP BY group_1", ""},
    FormCase{Target("Babelfish", 12), "select group_concat(`t`.`u` separator ',') AS `s` from `t`",
             "SELECT STRING_AGG(CAST(t.u AS nvarchar(max)), N',') AS s FROM t", ""}));

TEST(LengthOfColumns, CountsTheBytesOfTheColumnsCharacterSet) {
    const FullViewTranslation latin1 = TranslateViewFull(kHeader + "select length(`t`.`n`) AS `l` from `t`", "v", Target("", 16), Tables());
    EXPECT_EQ(latin1.statement, "CREATE VIEW v AS SELECT LEN(CAST(t.n AS nvarchar(max)) + N'.') - 1 AS l FROM t");
    const FullViewTranslation binary = TranslateViewFull(kHeader + "select octet_length(`t`.`b`) AS `l` from `t`", "v", Target("", 16), Tables());
    EXPECT_EQ(binary.statement, "CREATE VIEW v AS SELECT DATALENGTH(t.b) AS l FROM t");
    const FullViewTranslation utf8 = TranslateViewFull(kHeader + "select length(`t`.`u`) AS `l` from `t`", "v", Target("", 16), Tables());
    EXPECT_NE(utf8.statement.find("WHEN c.u < 2048 THEN 2"), std::string::npos) << utf8.statement;
    EXPECT_EQ(utf8.statement.find("UTF8"), std::string::npos);
}

TEST(GroupConcatRefusals, NameTheFormThatCannotServe) {
    const struct {
        ExpressionNames names;
        std::string body, construct;
    } cases[] = {
        {Target("", 13), "select `t`.`c` AS `c`,group_concat(`t`.`u` separator ',') AS `s`,count(0) AS `k` from `t` group by `t`.`c`",
         "GROUP_CONCAT for SQL Server 2016 beside another aggregate or column"},
        {Target("Babelfish", 12), "select `t`.`c` AS `c`,(group_concat(`t`.`u` order by `t`.`u` ASC separator ',') = 'x') AS `s` from `t` group by `t`.`c`",
         "GROUP_CONCAT ... ORDER BY on Babelfish inside an expression"},
        {Target("", 13), "select concat('[',group_concat(`t`.`u` separator ','),']') AS `s` from `t`",
         "GROUP_CONCAT for SQL Server 2016 inside an expression"},
    };
    for (const auto& c : cases) EXPECT_EQ(TranslateViewFull(kHeader + c.body, "v", c.names, Tables()).untranslatable, c.construct);
}

}  // namespace
}  // namespace velmora
