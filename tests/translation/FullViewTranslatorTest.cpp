// FullViewTranslator: view texts as MariaDB prints them, grouped by construct, with the exact
// CREATE VIEW statement expected and parsed by the T-SQL grammar oracle; the constructs that are
// refused; the referenced names; and the dependency order of views.
#include <gtest/gtest.h>

#include "translation/FullViewTranslator.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

// A target whose version has every form (STRING_AGG ... WITHIN GROUP).
const ExpressionNames kSqlServer2022{"shop", "", "", "", {}, 16};

const std::string kHeader = "CREATE ALGORITHM=UNDEFINED DEFINER=`root`@`localhost` SQL SECURITY DEFINER VIEW `shop`.`v` AS ";

struct ViewCase {
    std::string body;      // the query (and clauses) after "AS"
    std::string expected;  // after "CREATE VIEW v AS "
};

class ViewTranslates : public ::testing::TestWithParam<ViewCase> {};

TEST_P(ViewTranslates, ToTheExpectedStatementThatParses) {
    const FullViewTranslation out = TranslateViewFull(kHeader + GetParam().body, "v", kSqlServer2022);
    ASSERT_TRUE(out.ok()) << GetParam().body << ": " << out.untranslatable;
    EXPECT_EQ(out.statement, "CREATE VIEW v AS " + GetParam().expected);
    EXPECT_EQ(test::DescribeTsqlProblems(out.statement), "");
}

INSTANTIATE_TEST_SUITE_P(JoinTreesAreFlattened, ViewTranslates, ::testing::Values(
    ViewCase{"select `shop`.`a`.`x` AS `x` from ((`shop`.`a` join `shop`.`b` on(`shop`.`a`.`id` = `shop`.`b`.`id`)) "
             "join `shop`.`c` on(`shop`.`c`.`id` = `shop`.`b`.`id`))",
             "SELECT a.x AS x FROM a INNER JOIN b ON a.id = b.id INNER JOIN c ON c.id = b.id"},
    ViewCase{"select `a`.`x` AS `x` from (`shop`.`a` join `shop`.`b`)", "SELECT a.x AS x FROM a CROSS JOIN b"},
    ViewCase{"select `o`.`id` AS `id` from (`shop`.`orders` `o` left join `shop`.`customers` `c` on(`c`.`id` = `o`.`cid`))",
             "SELECT o.id AS id FROM orders AS o LEFT JOIN customers AS c ON c.id = o.cid"},
    ViewCase{"select `t`.`a` AS `a` from (`t` left join (`u` join `w` on(`u`.`x` = `w`.`x`)) on(`t`.`a` = `u`.`a`))",
             "SELECT t.a AS a FROM t LEFT JOIN (u INNER JOIN w ON u.x = w.x) ON t.a = u.a"},
    ViewCase{"select `t`.`a` AS `a` from (`t` join `u` using (`a`))", "SELECT t.a AS a FROM t INNER JOIN u ON t.a = u.a"},
    ViewCase{"select `d`.`n` AS `n` from (select count(0) AS `n` from `t`) `d`",
             "SELECT d.n AS n FROM (SELECT COUNT(0) AS n FROM t) AS d"}));

INSTANTIATE_TEST_SUITE_P(LimitAndOrder, ViewTranslates, ::testing::Values(
    ViewCase{"select `t`.`a` AS `a` from `t` order by `t`.`a` desc limit 3",
             "SELECT TOP (3) t.a AS a FROM t ORDER BY t.a DESC"},
    ViewCase{"select `t`.`a` AS `a` from `t` limit 3", "SELECT TOP (3) t.a AS a FROM t"},
    ViewCase{"select `t`.`a` AS `a` from `t` order by `t`.`a` limit 2,3",
             "SELECT t.a AS a FROM t ORDER BY t.a OFFSET 2 ROWS FETCH NEXT 3 ROWS ONLY"},
    ViewCase{"select `t`.`a` AS `a` from `t` limit 3 offset 1",
             "SELECT t.a AS a FROM t ORDER BY (SELECT NULL) OFFSET 1 ROWS FETCH NEXT 3 ROWS ONLY"},
    ViewCase{"select `t`.`a` AS `a` from `t` order by `t`.`a`", "SELECT t.a AS a FROM t ORDER BY t.a OFFSET 0 ROWS"},
    ViewCase{"select `t`.`a` AS `a` from `t` order by NULL", "SELECT t.a AS a FROM t"}));

INSTANTIATE_TEST_SUITE_P(Grouping, ViewTranslates, ::testing::Values(
    ViewCase{"select `t`.`c` AS `c`,group_concat(`t`.`n` order by `t`.`n` DESC separator '; ') AS `names` from `t` group by `t`.`c`",
             "SELECT t.c AS c, STRING_AGG(CAST(t.n AS nvarchar(max)), N'; ') WITHIN GROUP (ORDER BY t.n DESC) AS names "
             "FROM t GROUP BY t.c"},
    ViewCase{"select `t`.`c` AS `c`,group_concat(distinct `t`.`n` order by `t`.`n` ASC separator '|') AS `names` from `t` "
             "where `t`.`n` <> 'X' group by `t`.`c`",
             "SELECT group_1 AS c, STRING_AGG(CAST(value_1 AS nvarchar(max)), N'|') WITHIN GROUP (ORDER BY value_1) AS names "
             "FROM (SELECT DISTINCT t.c AS group_1, t.n AS value_1 FROM t WHERE t.n <> N'X') AS group_rows GROUP BY group_1"},
    ViewCase{"select group_concat(distinct `t`.`n` separator ',') AS `all_names` from `t`",
             "SELECT STRING_AGG(CAST(value_1 AS nvarchar(max)), N',') WITHIN GROUP (ORDER BY value_1) AS all_names "
             "FROM (SELECT DISTINCT t.n AS value_1 FROM t) "
             "AS group_rows"},
    ViewCase{"select `t`.`c` AS `c`,count(0) AS `n` from `t` group by `t`.`c` having `n` > 1",
             "SELECT t.c AS c, COUNT(0) AS n FROM t GROUP BY t.c HAVING COUNT(0) > 1"},
    ViewCase{"select `t`.`c` AS `c`,sum(`t`.`x`) AS `s` from `t` group by 1 with rollup",
             "SELECT t.c AS c, SUM(t.x) AS s FROM t GROUP BY ROLLUP (t.c)"},
    ViewCase{"select year(`t`.`d`) AS `y`,count(0) AS `n` from `t` group by year(`t`.`d`)",
             "SELECT YEAR(t.d) AS y, COUNT(0) AS n FROM t GROUP BY YEAR(t.d)"},
    ViewCase{"select count(0) AS `n`,max(`t`.`d`) AS `last` from `t`", "SELECT COUNT(0) AS n, MAX(t.d) AS last FROM t"}));

INSTANTIATE_TEST_SUITE_P(QueriesAndClauses, ViewTranslates, ::testing::Values(
    ViewCase{"select `t`.`a` AS `a` from `t` union all select `u`.`b` AS `b` from `u`",
             "SELECT t.a AS a FROM t UNION ALL SELECT u.b AS b FROM u"},
    ViewCase{"select `t`.`a` AS `a` from `t` union select `u`.`b` AS `b` from `u` order by `a`",
             "SELECT t.a AS a FROM t UNION SELECT u.b AS b FROM u ORDER BY a OFFSET 0 ROWS"},
    ViewCase{"select `t`.`a` AS `a` from `t` where `t`.`a` in (select `u`.`a` from `u` where `u`.`ok` = 1) and "
             "exists(select 1 from `w`)",
             "SELECT t.a AS a FROM t WHERE t.a IN (SELECT u.a FROM u WHERE u.ok = 1) AND EXISTS (SELECT 1 FROM w)"},
    ViewCase{"select `t`.`a` AS `a` from `t` where `t`.`state` = 'Active' WITH CASCADED CHECK OPTION",
             "SELECT t.a AS a FROM t WHERE t.state = N'Active' WITH CHECK OPTION"},
    ViewCase{"select distinct `t`.`a` AS `a`,(select max(`u`.`b`) from `u`) AS `m` from `t`",
             "SELECT DISTINCT t.a AS a, (SELECT MAX(u.b) FROM u) AS m FROM t"},
    ViewCase{"select `t`.`a` > 0 AS `positive` from `t`",
             "SELECT CASE WHEN t.a > 0 THEN 1 WHEN NOT (t.a > 0) THEN 0 END AS positive FROM t"}));

TEST(TranslateViewFull, SourceDatabaseBecomesTheTargetAndOtherDatabasesStay) {
    const FullViewTranslation out = TranslateViewFull(
        kHeader + "select `shop`.`a`.`x` AS `x` from (`shop`.`a` join `other`.`b` on(`shop`.`a`.`id` = `other`.`b`.`id`))",
        "Order View", {"shop", "shop_copy"});
    ASSERT_TRUE(out.ok()) << out.untranslatable;
    EXPECT_EQ(out.statement, "CREATE VIEW [Order View] AS SELECT a.x AS x FROM shop_copy..a INNER JOIN other..b ON a.id = b.id");
    EXPECT_EQ(test::DescribeTsqlProblems(out.statement), "");
    EXPECT_EQ(out.references, (std::vector<std::string>{"a", "b"}));
}

TEST(TranslateViewFull, AnotherDatabaseIsUntranslatableOnATargetThatWorksInOneDatabase) {
    const ExpressionNames azure{"shop", "shop_copy", "Azure SQL Database"};
    const FullViewTranslation other = TranslateViewFull(
        kHeader + "select `shop`.`a`.`x` AS `x` from (`shop`.`a` join `other`.`b` on(`shop`.`a`.`id` = `other`.`b`.`id`))",
        "v", azure);
    EXPECT_EQ(other.untranslatable,
              "the table other.b of another database (a connection to Azure SQL Database works only in its own database)");
    const FullViewTranslation own =
        TranslateViewFull(kHeader + "select `shop`.`a`.`x` AS `x` from `shop`.`a`", "v", azure);
    ASSERT_TRUE(own.ok()) << own.untranslatable;
    EXPECT_EQ(own.statement, "CREATE VIEW v AS SELECT a.x AS x FROM shop_copy..a");
}

TEST(TranslateViewFull, KeepsAColumnListAndReportsReferencesOnce) {
    const FullViewTranslation out = TranslateViewFull(
        "CREATE VIEW `v` (`First`,`Second`) AS select `t`.`a` AS `a`,`t`.`b` AS `b` from `t` "
        "where `t`.`a` in (select `u`.`a` from `u`) and `t`.`b` in (select `t`.`b` from `t`)",
        "v", {"shop", ""});
    ASSERT_TRUE(out.ok()) << out.untranslatable;
    EXPECT_EQ(out.statement.substr(0, 35), "CREATE VIEW v (First, Second) AS SE");
    EXPECT_EQ(test::DescribeTsqlProblems(out.statement), "");
    EXPECT_EQ(out.references, (std::vector<std::string>{"t", "u"}));
}

TEST(TranslateViewFull, RefusesWhatHasNoFaithfulForm) {
    const struct {
        std::string body;
        std::string construct;
    } cases[] = {
        {"select `t`.`a` AS `a` from `t` where `t`.`n` regexp '^A'", "REGEXP"},
        {"select `t`.`c` AS `c`,`t`.`n` AS `n`,count(0) AS `k` from `t` group by `t`.`c`",
         "loose GROUP BY (t.n is neither grouped nor aggregated, and the keys of t are not known)"},
        {"select `t`.`n` AS `n`,count(0) AS `k` from `t`", "loose GROUP BY (t.n is neither grouped nor aggregated)"},
        {"select @x AS `x` from `t`", "user variable @x"},
        {"select `t`.`a` AS `a` from `t` natural join `u`", "NATURAL JOIN"},
        {"with c as (select 1) select 1", "WITH (common table expression)"},
        {"select `t`.`a` AS `a` from `t` limit 1 union select 2", "ORDER BY or LIMIT on a branch of UNION"},
        {"select group_concat(distinct `t`.`n` separator ',') AS `names`,count(0) AS `k` from `t`",
         "GROUP_CONCAT(DISTINCT ...) beside another aggregate or column"},
        {"select `t`.`a` AS `a` from `t` force index (`ix`)", "index hint"},
        {"select `t`.`a` AS `a` from `t` where", "unreadable text (expected an expression at the end)"},
        {"select `t`.`a` AS `a` from `t` for update", "locking or INTO clause"},
    };
    for (const auto& c : cases) {
        const FullViewTranslation out = TranslateViewFull(kHeader + c.body, "v", kSqlServer2022);
        EXPECT_EQ(out.untranslatable, c.construct) << c.body;
        EXPECT_EQ(out.statement, "") << c.body;
    }
    EXPECT_EQ(TranslateViewFull("", "v", {}).untranslatable, "unreadable text (expected create at the end)");
    EXPECT_EQ(TranslateViewFull("CREATE TABLE t (a int)", "v", {}).untranslatable,
              "unreadable text (expected view at the end)");
}

std::string Repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

TEST(TranslateViewFull, BadInputIsRefusedWithoutCrashing) {
    const struct {
        std::string body;
        std::string construct;
    } cases[] = {
        {"select " + std::string(20000, '(') + "1" + std::string(20000, ')') + " AS `x`", "expression nested too deeply"},
        {"select 1" + [] { std::string s; for (int i = 0; i < 50000; ++i) s += "+1"; return s; }() + " AS `x`",
         "expression nested too deeply"},
        {"select " + [] { std::string s; for (int i = 0; i < 50000; ++i) s += "not "; return s; }() + "1 AS `x`",
         "expression nested too deeply"},
        // Chains read in a loop, each link a level deeper: far more than a stack holds.
        {"select " + Repeated("not ", 400000) + "1 AS `x`", "expression nested too deeply"},
        {"select 1" + Repeated(" is null", 400000) + " AS `x`", "expression nested too deeply"},
        {"select 1" + Repeated(" in (1)", 400000) + " AS `x`", "expression nested too deeply"},
        {"select 1" + Repeated(" between 0 and 2", 400000) + " AS `x`", "expression nested too deeply"},
        {"select 'a'" + Repeated(" collate utf8mb4_bin", 400000) + " AS `x`", "expression nested too deeply"},
        {"select 1 AS `x` from `t`" + Repeated(" join `t` on 1", 400000), "joins nested too deeply"},
        {"select `t`.`a` AS `a`,count(0) AS `n` from `t` group by 99999999999999999999999", "number out of range"},
        {"select cast(`t`.`a` as decimal(99999999999999999999,2)) AS `a` from `t`", "number out of range"},
        {"select substr(`t`.`a`,-99999999999999999999) AS `a` from `t`", "number out of range"},
    };
    for (const auto& c : cases) EXPECT_EQ(TranslateViewFull(kHeader + c.body, "v", kSqlServer2022).untranslatable, c.construct);
    // Every cut of a real view text ends in a translation or a named refusal, never a crash.
    const std::string text = kHeader + "select `t`.`c` AS `c`,group_concat(distinct `t`.`n` order by `t`.`n` ASC separator '|') "
                                       "AS `names`,if(`t`.`a` > 1,_utf8mb4'Yes',NULL) AS `f` from (`t` join `u` on(`t`.`id` = "
                                       "`u`.`id`)) where `t`.`d` > now() - interval 1 day group by `t`.`c` order by 1 limit 5";
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        const FullViewTranslation out = TranslateViewFull(text.substr(0, cut), "v", {"shop", ""});
        EXPECT_NE(out.ok(), out.statement.empty()) << cut;
    }
}

using Views = std::vector<std::pair<std::string, std::vector<std::string>>>;

TEST(OrderViewsByDependency, PutsEveryViewAfterTheViewsItSelectsFrom) {
    const struct {
        Views views;
        std::vector<std::string> expected;
    } cases[] = {
        {{{"a_top", {"z_spend"}}, {"z_spend", {"orders"}}}, {"z_spend", "a_top"}},
        {{{"a", {"b", "c"}}, {"b", {"c"}}, {"c", {}}}, {"c", "b", "a"}},
        {{{"x", {"t"}}, {"y", {"t"}}}, {"x", "y"}},                       // tables only: input order
        {{{"p", {"q"}}, {"q", {"p"}}, {"r", {}}}, {"r", "p", "q"}},       // a cycle loses no view
        {{{"v1", {"v3"}}, {"v2", {}}, {"v3", {"v2"}}}, {"v2", "v3", "v1"}},
        {{{"self", {"self"}}, {"other", {"missing"}}}, {"self", "other"}},
        {{}, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(OrderViewsByDependency(c.views), c.expected);
}

}  // namespace
}  // namespace velmora
