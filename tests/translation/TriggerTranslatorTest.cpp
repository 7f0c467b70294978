// Triggers: MySQL's FOR EACH ROW on T-SQL's statement triggers. A plain audit INSERT runs once
// over inserted/deleted; any other body loops over the rows; a BEFORE trigger that changes NEW
// becomes INSTEAD OF and writes each row itself (identity values as MySQL gives them); UPDATE
// triggers pair old and new rows on the key and refuse to run on rows whose key changed; the
// order of several triggers is kept where T-SQL can. Every statement parses.
#include <gtest/gtest.h>

#include "translation/CreateTableParser.h"
#include "translation/FullRoutineTranslator.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

const char* kProducts =
    "CREATE TABLE `products` (\n"
    "  `id` int(11) NOT NULL AUTO_INCREMENT,\n"
    "  `name` varchar(50) NOT NULL,\n"
    "  `price` decimal(10,2) DEFAULT NULL,\n"
    "  `stock` int(11) NOT NULL DEFAULT 0,\n"
    "  PRIMARY KEY (`id`)\n"
    ") ENGINE=InnoDB DEFAULT CHARSET=latin1";

const char* kNoKey =
    "CREATE TABLE `notes` (\n"
    "  `body` varchar(50) DEFAULT NULL\n"
    ") ENGINE=InnoDB DEFAULT CHARSET=latin1";

RoutineContext Context(std::vector<std::string> sameEvent = {}) {
    RoutineContext context;
    context.names = {"shop", ""};
    context.tables.push_back(ParseCreateTable(kProducts).table);
    context.tables.push_back(ParseCreateTable(kNoKey).table);
    context.triggersOnSameEvent = std::move(sameEvent);
    return context;
}

std::string Trigger(const std::string& head, const std::string& body) {
    return "CREATE DEFINER=`root`@`localhost` TRIGGER " + head + " FOR EACH ROW " + body;
}

FullRoutineTranslation Translated(const std::string& text, const RoutineContext& context = Context()) {
    FullRoutineTranslation out = TranslateRoutineFull(text, context);
    for (const auto& statement : out.statements) EXPECT_EQ(test::DescribeTsqlProblems(statement), "");
    return out;
}

TEST(TranslateTrigger, AnAuditInsertRunsOnceOverAllRows) {
    const FullRoutineTranslation out =
        Translated(Trigger("`audit_ins` AFTER INSERT ON `products`", "INSERT INTO audit (pid, what) VALUES (NEW.id, CONCAT('new ', NEW.name))"));
    ASSERT_TRUE(out.ok()) << out.untranslatable;
    EXPECT_EQ(out.kind, RoutineKind::Trigger);
    EXPECT_EQ(out.table, "products");
    EXPECT_EQ(out.statements, std::vector<std::string>{
        "CREATE TRIGGER audit_ins ON products AFTER INSERT\n"
        "AS\n"
        "BEGIN\n"
        "    SET NOCOUNT ON;\n"
        "    INSERT INTO audit (pid, what) SELECT inserted.id, CASE WHEN inserted.name IS NULL THEN NULL "
        "ELSE CONCAT(N'new ', inserted.name) END FROM inserted;\n"
        "END"});
    EXPECT_EQ(out.references, std::vector<std::string>{"audit"});
    ASSERT_EQ(out.adjustments.size(), 1u);
    EXPECT_NE(out.adjustments[0].find("once per statement"), std::string::npos);
}

TEST(TranslateTrigger, ABeforeInsertThatChangesNewBecomesInsteadOfWritingEachRow) {
    const FullRoutineTranslation out = Translated(Trigger("`fill` BEFORE INSERT ON `products`",
        "BEGIN IF NEW.price IS NULL THEN SET NEW.price = 1; END IF; SET NEW.stock = NEW.stock + 1; END"));
    ASSERT_TRUE(out.ok()) << out.untranslatable;
    EXPECT_EQ(out.statements, std::vector<std::string>{
        "CREATE TRIGGER fill ON products INSTEAD OF INSERT\n"
        "AS\n"
        "BEGIN\n"
        "    SET NOCOUNT ON;\n"
        "    DECLARE @new_id int;\n"
        "    DECLARE @new_name nvarchar(50);\n"
        "    DECLARE @new_price decimal(10,2);\n"
        "    DECLARE @new_stock int;\n"
        "    DECLARE @trigger_rows CURSOR;\n"
        "    SET @trigger_rows = CURSOR FAST_FORWARD FOR SELECT inserted.id, inserted.name, inserted.price, inserted.stock FROM inserted;\n"
        "    OPEN @trigger_rows;\n"
        "    WHILE 1 = 1\n"
        "    BEGIN\n"
        "        FETCH NEXT FROM @trigger_rows INTO @new_id, @new_name, @new_price, @new_stock;\n"
        "        IF @@FETCH_STATUS <> 0 BREAK;\n"
        "        BEGIN\n"
        "            IF @new_price IS NULL\n"
        "            BEGIN\n"
        "                SET @new_price = 1;\n"
        "            END\n"
        "            SET @new_stock = @new_stock + 1;\n"
        "        END\n"
        "        IF @new_id IS NULL OR @new_id = 0\n"
        "            INSERT INTO products (name, price, stock) VALUES (@new_name, @new_price, @new_stock);\n"
        "        ELSE\n"
        "        BEGIN\n"
        "            SET IDENTITY_INSERT products ON;\n"
        "            INSERT INTO products (id, name, price, stock) VALUES (@new_id, @new_name, @new_price, @new_stock);\n"
        "            SET IDENTITY_INSERT products OFF;\n"
        "        END\n"
        "    END\n"
        "    CLOSE @trigger_rows;\n"
        "    DEALLOCATE @trigger_rows;\n"
        "END"});
    ASSERT_EQ(out.adjustments.size(), 2u);
    EXPECT_NE(out.adjustments[1].find("INSTEAD OF"), std::string::npos);
}

TEST(TranslateTrigger, AnUpdateTriggerWithControlFlowLoopsOverPairedRows) {
    const FullRoutineTranslation out = Translated(Trigger("`restock` AFTER UPDATE ON `products`",
        "BEGIN IF NEW.stock > OLD.stock THEN UPDATE totals SET n = n + (NEW.stock - OLD.stock) WHERE id = 1; END IF; END"));
    ASSERT_TRUE(out.ok()) << out.untranslatable;
    const std::string& text = out.statements.at(0);
    // Each row adds its own difference: a set-based UPDATE ... FROM inserted would add only one of them.
    EXPECT_NE(text.find("SET @trigger_rows = CURSOR FAST_FORWARD FOR SELECT inserted.stock, deleted.stock "
                        "FROM inserted INNER JOIN deleted ON inserted.id = deleted.id;"), std::string::npos) << text;
    EXPECT_NE(text.find("UPDATE totals SET n = n + (@new_stock - @old_stock) WHERE id = 1;"), std::string::npos) << text;
    // The key is an identity, which T-SQL never updates: no pairing check.
    EXPECT_EQ(text.find("cannot pair"), std::string::npos) << text;
}

TEST(TranslateTrigger, AKeyThatAnUpdateCanChangeIsCheckedBeforeRowsArePaired) {
    RoutineContext context = Context();
    context.tables[0].columns[0].autoIncrement = false;
    const FullRoutineTranslation out =
        Translated(Trigger("`log_upd` AFTER UPDATE ON `products`", "INSERT INTO audit (pid, old_price) VALUES (NEW.id, OLD.price)"), context);
    ASSERT_TRUE(out.ok()) << out.untranslatable;
    EXPECT_NE(out.statements[0].find(
                  "    IF (SELECT COUNT(*) FROM inserted) <> (SELECT COUNT(*) FROM inserted INNER JOIN deleted ON inserted.id = deleted.id)\n"
                  "        THROW 50000, N'The trigger log_upd cannot pair the old and new rows of products: the statement changed their key', 1;\n"
                  "    INSERT INTO audit (pid, old_price) SELECT inserted.id, deleted.price FROM inserted INNER JOIN deleted ON inserted.id = deleted.id;"),
              std::string::npos)
        << out.statements[0];
}

TEST(TranslateTrigger, ABeforeTriggerThatOnlyChecksRunsAfterTheChange) {
    const FullRoutineTranslation out = Translated(Trigger("`no_negative` BEFORE DELETE ON `products`",
        "BEGIN IF OLD.stock > 0 THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'still in stock'; END IF; END"));
    ASSERT_TRUE(out.ok()) << out.untranslatable;
    EXPECT_EQ(out.statements[0].rfind("CREATE TRIGGER no_negative ON products AFTER DELETE\n", 0), 0u) << out.statements[0];
    EXPECT_NE(out.statements[0].find("THROW 50000, N'still in stock', 1;"), std::string::npos);
    EXPECT_NE(out.adjustments.back().find("runs after the change"), std::string::npos);
}

TEST(TranslateTrigger, TheOrderOfSeveralTriggersIsKeptAtTheEnds) {
    const std::string body = "INSERT INTO audit (pid) VALUES (NEW.id)";
    const FullRoutineTranslation first = Translated(Trigger("`t1` AFTER INSERT ON `products`", body), Context({"t1", "t2", "t3"}));
    ASSERT_EQ(first.statements.size(), 2u);
    EXPECT_EQ(first.statements[1], "EXEC sp_settriggerorder @triggername = N't1', @order = N'First', @stmttype = N'INSERT';");
    const FullRoutineTranslation last =
        Translated("CREATE TRIGGER `t3` AFTER INSERT ON `products` FOR EACH ROW PRECEDES `t9` " + body, Context({"t1", "t2", "t3"}));
    ASSERT_EQ(last.statements.size(), 2u);
    EXPECT_EQ(last.statements[1], "EXEC sp_settriggerorder @triggername = N't3', @order = N'Last', @stmttype = N'INSERT';");
    const FullRoutineTranslation middle = Translated(Trigger("`t2` AFTER INSERT ON `products`", body), Context({"t1", "t2", "t3"}));
    EXPECT_EQ(middle.statements.size(), 1u);
    EXPECT_NE(middle.adjustments.back().find("is not kept"), std::string::npos);
}

TEST(TranslateTrigger, RefusesWhatItCannotPairOrRead) {
    const struct {
        std::string text;
        std::string construct;
    } cases[] = {
        {Trigger("`n` AFTER UPDATE ON `notes`", "INSERT INTO audit (what) VALUES (NEW.body)"),
         "UPDATE trigger on a table without a primary key or NOT NULL unique key (inserted and deleted rows cannot be paired)"},
        {Trigger("`u` AFTER INSERT ON `unknown`", "BEGIN IF NEW.a > 0 THEN DELETE FROM x; END IF; END"),
         "trigger whose table's definition is not known (its row values need their types)"},
        {Trigger("`a` AFTER INSERT ON `products`", "SET NEW.stock = 1"), "SET NEW in an AFTER trigger"},
        {Trigger("`d` AFTER DELETE ON `products`", "INSERT INTO audit (pid) VALUES (NEW.id)"), "NEW in a DELETE trigger"},
        {Trigger("`i` AFTER INSERT ON `products`", "INSERT INTO audit (pid) VALUES (NEW.nope)"), "nope, which is no column of products"},
        {Trigger("`c` AFTER INSERT ON `products`", "BEGIN COMMIT; END"), "a transaction statement in a trigger"},
        {Trigger("`o` AFTER INSERT ON `other`.`products`", "INSERT INTO audit (pid) VALUES (NEW.id)"),
         "trigger on a table of another database"},
    };
    for (const auto& c : cases) EXPECT_EQ(TranslateRoutineFull(c.text, Context()).untranslatable, c.construct) << c.text;
}

// Cut short anywhere, a trigger is refused or translated into statements that parse, never a crash.
TEST(TranslateTrigger, ATextCutShortIsRefusedWithoutCrashing) {
    const std::string text = Trigger("`fill` BEFORE UPDATE ON `products`",
                                     "BEGIN DECLARE d INT DEFAULT 0; IF NEW.price <> OLD.price THEN SET d = 1; "
                                     "SET NEW.stock = OLD.stock + d; END IF; END");
    ASSERT_TRUE(TranslateRoutineFull(text, Context()).ok());
    for (std::size_t cut = 0; cut < text.size(); cut += 2) {
        const FullRoutineTranslation out = TranslateRoutineFull(text.substr(0, cut), Context());
        EXPECT_TRUE(!out.ok() || !out.statements.empty()) << text.substr(0, cut);
    }
}

// A user variable a trigger sets goes to the session; a NEW column whose name needs quoting keeps
// its type (it used to be looked up by its quoted name and crash); an unknown one is refused.
TEST(TranslateTrigger, UserVariablesAndColumnsThatNeedQuoting) {
    const FullRoutineTranslation counted = Translated(Trigger("`count_new` BEFORE INSERT ON `products`", "SET @inserted := NEW.stock"));
    ASSERT_TRUE(counted.ok()) << counted.untranslatable;
    EXPECT_NE(counted.statements.back().find("EXEC sp_set_session_context N'inserted', @inserted;"), std::string::npos);
    RoutineContext context = Context();
    context.tables.push_back(ParseCreateTable("CREATE TABLE `spaced` (\n  `id` int NOT NULL,\n  `a b` int DEFAULT NULL,\n"
                                              "  PRIMARY KEY (`id`)\n) ENGINE=InnoDB").table);
    const FullRoutineTranslation spaced = Translated(Trigger("`fill` BEFORE INSERT ON `spaced`", "SET NEW.`a b` = 5"), context);
    ASSERT_TRUE(spaced.ok()) << spaced.untranslatable;
    EXPECT_NE(spaced.statements.back().find(" int;"), std::string::npos);
    EXPECT_FALSE(Translated(Trigger("`fill` BEFORE INSERT ON `spaced`", "SET NEW.`x y` = 5"), context).ok());
    // A row of defaults per row has no set-based form: refused, where an empty SELECT list was written.
    EXPECT_EQ(Translated(Trigger("`log_del` AFTER DELETE ON `products`", "INSERT INTO audit () VALUES ()")).untranslatable,
              "INSERT of a row of defaults for each row of a trigger");
}

}  // namespace
}  // namespace velmora
