// MySQL's collation coercion inside view expressions: where columns of different collations meet
// (CONCAT, comparison, LIKE, IN, CASE, UNION columns), MySQL's choice is written with COLLATE on the other
// columns (an explicit COLLATE wins); one collation leaves the text as it was. Each statement is
// parsed by the T-SQL grammar oracle.
#include <gtest/gtest.h>

#include "translation/Collations.h"
#include "translation/CreateTableParser.h"
#include "translation/FullViewTranslator.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

const std::string kHeader = "CREATE ALGORITHM=UNDEFINED DEFINER=`root`@`localhost` SQL SECURITY DEFINER VIEW `shop`.`v` AS ";

TEST(CoercedCollation, FollowsMySqlsRules) {
    const struct {
        std::vector<std::string> collations;
        std::string winner;
    } cases[] = {
        {{"latin1_bin", "utf8mb4_general_ci"}, "utf8mb4_general_ci"},  // the Unicode character set
        {{"utf8mb4_bin", "utf8mb4_general_ci"}, "utf8mb4_bin"},        // one character set: its _bin
        {{"utf8mb3_general_ci", "utf8mb4_unicode_ci"}, "utf8mb4_unicode_ci"},
        {{"utf8mb4_general_ci", "utf8mb4_unicode_ci"}, ""},            // MySQL refuses the mix
        {{"latin1_swedish_ci", "latin2_general_ci"}, ""},
        {{"latin1_bin", "latin1_bin", ""}, "latin1_bin"},
    };
    for (const auto& c : cases) EXPECT_EQ(CoercedCollation(c.collations), c.winner) << c.collations[0] << " " << c.collations[1];
}

struct CollationCase {
    std::string body;      // after "AS"
    std::string expected;  // after "CREATE VIEW v AS "
};

class ViewCollations : public ::testing::TestWithParam<CollationCase> {};

TEST_P(ViewCollations, WriteMySqlsCollationWhereColumnsMix) {
    const std::vector<TableModel> tables = {
        ParseCreateTable("CREATE TABLE `codes` (\n  `id` int(11) NOT NULL,\n  `code` varchar(10) CHARACTER SET latin1 COLLATE latin1_bin "
                         "DEFAULT NULL,\n  `label` varchar(20) DEFAULT NULL,\n  `b` varchar(10) COLLATE utf8mb4_bin DEFAULT NULL,\n"
                         "  PRIMARY KEY (`id`)\n) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4")
            .table};
    const FullViewTranslation out = TranslateViewFull(kHeader + GetParam().body, "v", {"shop", "", "", "", {}, 16}, tables);
    ASSERT_TRUE(out.ok()) << out.untranslatable;
    EXPECT_EQ(out.statement, "CREATE VIEW v AS " + GetParam().expected);
    EXPECT_EQ(test::DescribeTsqlProblems(out.statement), "");
}

INSTANTIATE_TEST_SUITE_P(Expressions, ViewCollations, ::testing::Values(
    CollationCase{"select concat(`codes`.`code`,'-',`codes`.`label`) AS `cl` from `codes`",
                  "SELECT CASE WHEN codes.code COLLATE Latin1_General_CI_AI IS NULL OR codes.label IS NULL THEN NULL ELSE "
                  "CONCAT(CAST(codes.code COLLATE Latin1_General_CI_AI AS nvarchar(max)), N'-', codes.label) END AS cl FROM codes"},
    CollationCase{"select `a`.`id` AS `id` from (`codes` `a` join `codes` `c` on(`a`.`b` = `c`.`label`))",
                  "SELECT a.id AS id FROM codes AS a INNER JOIN codes AS c ON a.b = c.label COLLATE Latin1_General_100_BIN2"},
    CollationCase{"select `codes`.`id` AS `id` from `codes` where `codes`.`label` like `codes`.`b`",
                  "SELECT codes.id AS id FROM codes WHERE codes.label COLLATE Latin1_General_100_BIN2 LIKE REPLACE(codes.b, N'[', N'\\[') "
                  "ESCAPE N'\\'"},
    CollationCase{"select `codes`.`id` AS `id` from `codes` where `codes`.`label` = `codes`.`label`",
                  "SELECT codes.id AS id FROM codes WHERE codes.label = codes.label"},
    CollationCase{"select `codes`.`id` AS `id` from `codes` where `codes`.`b` = `codes`.`label` collate utf8mb4_general_ci",
                  "SELECT codes.id AS id FROM codes WHERE codes.b COLLATE Latin1_General_CI_AI = codes.label"},
    CollationCase{"select `codes`.`code` AS `c` from `codes` union select `codes`.`label` AS `label` from `codes`",
                  "SELECT codes.code COLLATE Latin1_General_CI_AI AS c FROM codes UNION SELECT codes.label AS label FROM codes"}));

}  // namespace
}  // namespace velmora
