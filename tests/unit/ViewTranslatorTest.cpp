// The rewriting of "show create view" texts: the header collapses, names are requoted, and only
// a parenthesised join fragment is turned into a comma join.
#include <gtest/gtest.h>

#include "Converters/ViewTranslator.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

constexpr const char* kHeader =
    "CREATE ALGORITHM=UNDEFINED DEFINER=`velmora`@`%` SQL SECURITY DEFINER VIEW ";

struct ViewCase {
    std::string body;      // the text after the header
    std::string expected;  // the whole translated statement
    bool parses = true;    // whether SQL Server could take it
};

TEST(ViewTranslator, RewritesAsTheRulesSay) {
    const ViewCase cases[] = {
        // The worked example: a comma join without a condition.
        {"`v` AS select `a`.`x` AS `x`,`b`.`y` AS `y` from (`a` join `b`) where (`a`.`id` = "
         "`b`.`id`)",
         "create view v as select a.x as x,b.y as y from a , b where (a.id = b.id)"},
        // Nested comma joins: the last fragment is the inner one; the outer join keeps no
        // condition, which the target refuses.
        {"`v` AS select 1 AS `one` from ((`a` join `b`) join `c`)",
         "create view v as select 1 as one from (a , b join c)", false},
        // Nothing to rewrite: only the header and the case change.
        {"`v` AS select `t`.`X` AS `X` from `t`", "create view v as select t.x as x from t"},
        // count(0) keeps its parentheses, and so does a product in parentheses.
        {"`v` AS select count(0) AS `n`,`t`.`c` / (`t`.`a` * `t`.`b`) AS `r` from `t`",
         "create view v as select count(0) as n,t.c / (t.a * t.b) as r from t"},
        // A join fragment before a count(0): the join is rewritten, count(0) stays.
        {"`v` AS select count(0) AS `n` from (`a` join `b`) group by `a`.`k`",
         "create view v as select count(0) as n from a , b group by a.k"},
        // Names that need quoting get brackets; letters join inside a name stay.
        {"`active products` AS select `p`.`sku` AS `order` from (`joinery` join `p`)",
         "create view [active products] as select p.sku as [order] from joinery , p"},
        // String literals are left alone (apart from the lower case of the whole text).
        {"`v` AS select `t`.`a` AS `a` from `t` where `t`.`s` = 'A`b'",
         "create view v as select t.a as a from t where t.s = 'a`b'"},
    };
    for (const ViewCase& c : cases) {
        std::string out = RewriteViewDefinition(std::string(kHeader) + c.body);
        EXPECT_EQ(out, c.expected) << c.body;
        EXPECT_EQ(test::DescribeTsqlProblems(out).empty(), c.parses) << out;
    }
}

TEST(ViewTranslator, AColumnNamedViewIsBracketedAndSurvivesTheHeaderRule) {
    std::string out = RewriteViewDefinition(std::string(kHeader) +
                                            "`v` AS select `t`.`a` AS `view` from `t`");
    EXPECT_EQ(out, "create view v as select t.a as [view] from t");
    // The header rule is greedy: " view " inside a string literal still swallows the text before
    // it, and the target then refuses the statement.
    out = RewriteViewDefinition(std::string(kHeader) +
                                "`v` AS select `t`.`a` AS `a` from `t` where `t`.`s` = 'a view '");
    EXPECT_EQ(out, "create view '");
}

}  // namespace
}  // namespace velmora
