// Seeded mutations of real definitions through the tokenizer, the three translators and the type
// map reader: nothing crashes or throws, and whatever translates can be written into a script as
// one batch (or is refused by the script writer with its reason).
#include <gtest/gtest.h>

#include "support/Mutator.h"
#include "translation/BatchSafety.h"
#include "translation/FullRoutineTranslator.h"
#include "translation/FullTableTranslator.h"
#include "translation/FullViewTranslator.h"
#include "translation/SqlTokenizer.h"
#include "translation/TypeMapRules.h"

namespace velmora {
namespace {

void ExpectOneBatchOrRefused(const std::string& statement, const std::string& input, unsigned seed) {
    const BatchSafeText safe = MakeBatchSafe(statement);
    if (!safe.ok()) return;
    EXPECT_EQ(SplitBatches(safe.text + "\nGO\n").size(), 1u)
        << "seed " << seed << "\ninput: " << ShownText(input, 2000) << "\nscript: " << safe.text;
}

TEST(FuzzTest, MutatedDefinitionsNeverCrashOrEndABatch) {
    const std::string table =
        "CREATE TABLE `orders` (\n  `id` int(11) NOT NULL AUTO_INCREMENT,\n  `note` varchar(40) DEFAULT 'a\\nb' "
        "COMMENT 'first\\nGO',\n  `kind` enum('x','y') NOT NULL,\n  `total` decimal(10,2) GENERATED ALWAYS AS "
        "(`id` * 2) VIRTUAL,\n  PRIMARY KEY (`id`),\n  KEY `k` (`note`(10)),\n  CONSTRAINT `c` CHECK (`total` > 0)\n"
        ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COMMENT='orders'";
    const std::string view =
        "CREATE ALGORITHM=UNDEFINED DEFINER=`root`@`localhost` SQL SECURITY DEFINER VIEW `v` AS select "
        "concat(`o`.`note`,'\\n') AS `n`,count(0) AS `c` from `orders` `o` where `o`.`id` > 3 group by `o`.`note`";
    const std::string routine =
        "CREATE DEFINER=`root`@`localhost` PROCEDURE `p`(IN `x` INT)\nBEGIN\n  DECLARE s VARCHAR(20) DEFAULT 'go';\n"
        "  -- a comment\n  IF x > 0 THEN SELECT 'a\nb'; ELSE SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'no'; END IF;\n"
        "  WHILE x > 0 DO SET x = x - 1; END WHILE;\nEND";
    const std::string typeMap = "int unsigned -> bigint\nshop.orders.note -> nvarchar(100)  # a comment\n";
    test::Mutator mutator;
    size_t translated = 0;  // mutations that still translate: the script writer sees those
    while (mutator.More()) {
        const std::string t = mutator.Mutate(table), v = mutator.Mutate(view), r = mutator.Mutate(routine);
        for (const std::string* text : {&t, &v, &r}) {
            const SqlTokens tokens = TokenizeSql(*text);
            for (const SqlToken& token : tokens.tokens) ASSERT_EQ(text->compare(token.offset, token.text.size(), token.text), 0);
        }
        const FullTableTranslation tableOut = TranslateTableFull(t, {}, {}, {});
        translated += tableOut.ok();
        if (tableOut.ok()) ExpectOneBatchOrRefused(tableOut.createTable, t, mutator.seed());
        const FullViewTranslation viewOut = TranslateViewFull(v, "", {"", ""}, {});
        translated += viewOut.ok();
        if (viewOut.ok()) ExpectOneBatchOrRefused(viewOut.statement, v, mutator.seed());
        const FullRoutineTranslation routineOut = TranslateRoutineFull(r, {});
        translated += routineOut.ok();
        if (routineOut.ok()) {
            for (const std::string& statement : routineOut.statements) ExpectOneBatchOrRefused(statement, r, mutator.seed());
        }
        ParseTypeMap(mutator.Mutate(typeMap));
        if (HasFailure()) break;
    }
    RecordProperty("rounds", static_cast<int>(mutator.rounds()));
    EXPECT_GT(translated, mutator.rounds() / 10) << "the mutations leave too little that translates";
}

}  // namespace
}  // namespace velmora
