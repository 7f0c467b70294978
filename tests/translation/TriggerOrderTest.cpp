// Several triggers on one event: the first and the last keep their place through
// sp_settriggerorder, one between them is reported; on Babelfish, which has no
// sp_settriggerorder, the order is reported as the server's and nothing refuses the trigger.
#include <gtest/gtest.h>

#include <algorithm>

#include "translation/CreateTableParser.h"
#include "translation/FullRoutineTranslator.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

std::string TriggerText(const std::string& name) {
    return "CREATE DEFINER=`root`@`localhost` TRIGGER `" + name +
           "` AFTER UPDATE ON `orders` FOR EACH ROW INSERT INTO audit (note) VALUES (CONCAT('order ', NEW.id))";
}

bool Mentions(const std::vector<std::string>& texts, const std::string& part) {
    return std::any_of(texts.begin(), texts.end(),
                       [&](const std::string& text) { return text.find(part) != std::string::npos; });
}

TEST(TriggerOrder, FirstAndLastAreSetWhereTheServerCanSetThem) {
    ParsedTable orders = ParseCreateTable(
        "CREATE TABLE `orders` (`id` int NOT NULL, `total` decimal(10,2) NOT NULL, PRIMARY KEY (`id`))");
    ASSERT_TRUE(orders.ok());
    const std::vector<std::string> three = {"a_first", "b_middle", "c_last"};
    const struct {
        const char* name;
        std::vector<std::string> sameEvent;
        const char* target;     // the one-database kind: "" for SQL Server
        const char* order;      // the sp_settriggerorder order sent, "" for none
        const char* adjustment;  // a part of the adjustment that reports the order, "" for none
    } cases[] = {
        {"a_first", three, "", "N'First'", ""},
        {"c_last", three, "", "N'Last'", ""},
        {"b_middle", three, "", "", "is not kept: T-SQL orders only the first and the last"},
        {"a_first", {"a_first"}, "", "", ""},
        {"a_first", three, "Azure SQL Database", "N'First'", ""},
        {"a_first", three, "Babelfish", "", "is the server's: Babelfish cannot set it"},
        {"c_last", three, "Babelfish", "", "is the server's: Babelfish cannot set it"},
    };
    for (const auto& c : cases) {
        RoutineContext context;
        context.names = ExpressionNames{"shop", "sales", c.target};
        context.tables = {orders.table};
        context.triggersOnSameEvent = c.sameEvent;
        const FullRoutineTranslation out = TranslateRoutineFull(TriggerText(c.name), context);
        const std::string label = std::string(c.name) + " on " + (*c.target ? c.target : "SQL Server");
        ASSERT_TRUE(out.ok()) << label << ": " << out.untranslatable;
        EXPECT_EQ(Mentions(out.statements, "sp_settriggerorder"), *c.order != '\0') << label;
        if (*c.order) {
            EXPECT_TRUE(Mentions(out.statements, c.order)) << label;
        }
        if (*c.adjustment) {
            EXPECT_TRUE(Mentions(out.adjustments, c.adjustment)) << label;
        } else {
            EXPECT_FALSE(Mentions(out.adjustments, "triggers on UPDATE")) << label;
        }
        for (const std::string& statement : out.statements) EXPECT_EQ(test::DescribeTsqlProblems(statement), "") << statement;
    }
}

}  // namespace
}  // namespace velmora
