// Procedures, functions and triggers written into a target schema: the routine itself, every
// table, view and routine its body names, and a trigger's table are in that schema (quoted as
// the name needs); a name of another source database of the same run goes to that database's
// schema; temporary tables stay outside any schema; the default schema writes what was always
// written. Every statement parses as T-SQL.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "translation/CreateTableParser.h"
#include "translation/FullRoutineTranslator.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

const char* kProducts =
    "CREATE TABLE `products` (\n"
    "  `id` int(11) NOT NULL AUTO_INCREMENT,\n"
    "  `name` varchar(50) NOT NULL,\n"
    "  `stock` int(11) NOT NULL DEFAULT 0,\n"
    "  PRIMARY KEY (`id`)\n"
    ") ENGINE=InnoDB DEFAULT CHARSET=latin1";

RoutineContext InSchema(const std::string& schema, std::vector<std::string> siblings = {}) {
    RoutineContext context;
    context.names = {"shop", ""};
    context.names.targetSchema = schema;
    context.names.schemaDatabases = std::move(siblings);
    context.routines = {{"restock", RoutineKind::Procedure, {"in", "out"}, {"int", "int"}},
                        {"tax", RoutineKind::Function, {"in"}, {"decimal(10,2)"}}};
    context.tables.push_back(ParseCreateTable(kProducts).table);
    return context;
}

std::string Joined(const FullRoutineTranslation& out) {
    std::string text;
    for (const auto& statement : out.statements) text += statement + "\n";
    return text;
}

FullRoutineTranslation Translated(const std::string& text, const RoutineContext& context) {
    FullRoutineTranslation out = TranslateRoutineFull(text, context);
    for (const auto& statement : out.statements) EXPECT_EQ(test::DescribeTsqlProblems(statement), "") << statement;
    return out;
}

const std::string kProcedure =
    "CREATE DEFINER=`root`@`localhost` PROCEDURE `p`(IN a INT, OUT b INT)\nBEGIN\n"
    "  DECLARE v INT;\n"
    "  SELECT COUNT(*) INTO v FROM products WHERE stock < a;\n"
    "  UPDATE products SET stock = stock + 1 WHERE id = a;\n"
    "  DELETE FROM shop.audit WHERE pid = a;\n"
    "  INSERT INTO audit (pid, price) VALUES (a, tax(v));\n"
    "  CALL restock(a, b);\n"
    "END";

const std::string kFunction =
    "CREATE DEFINER=`root`@`localhost` FUNCTION `depth`(x INT) RETURNS int(11)\n    DETERMINISTIC\nBEGIN\n"
    "  IF x <= 0 THEN RETURN (SELECT COUNT(*) FROM products); END IF;\n"
    "  RETURN depth(x - 1) + tax(x);\n"
    "END";

TEST(RoutineSchema, TheRoutineAndEverythingItNamesAreInTheSchema) {
    struct Row {
        const char* schema;
        const char* q;  // the schema as statements write it
    };
    const Row rows[] = {{"sales", "sales"}, {"order archive", "[order archive]"}, {"a]b", "\"a]b\""}, {"Küche", "[Küche]"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.schema);
        const std::string q = row.q;
        const FullRoutineTranslation procedure = Translated(kProcedure, InSchema(row.schema));
        ASSERT_TRUE(procedure.ok()) << procedure.untranslatable;
        const std::string text = Joined(procedure);
        EXPECT_TRUE(text.starts_with("CREATE PROCEDURE " + q + ".p\n")) << text;
        for (const std::string& expected :
             {"FROM " + q + ".products WHERE", "UPDATE " + q + ".products SET", "FROM " + q + ".audit WHERE",
              "INSERT INTO " + q + ".audit (pid, price)", q + ".tax(", "EXEC " + q + ".restock @a, @b OUTPUT;"}) {
            EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
        }
        EXPECT_EQ(text.find("dbo."), std::string::npos) << text;

        const FullRoutineTranslation function = Translated(kFunction, InSchema(row.schema));
        ASSERT_TRUE(function.ok()) << function.untranslatable;
        const std::string body = Joined(function);
        EXPECT_TRUE(body.starts_with("CREATE FUNCTION " + q + ".depth(@x int)")) << body;
        EXPECT_NE(body.find(q + ".depth(@x - 1)"), std::string::npos) << body;
        EXPECT_NE(body.find(q + ".tax(@x)"), std::string::npos) << body;
        EXPECT_NE(body.find("FROM " + q + ".products"), std::string::npos) << body;
    }
}

TEST(RoutineSchema, TheDefaultSchemaWritesWhatWasAlwaysWritten) {
    RoutineContext plain = InSchema("");
    const std::string trigger = "CREATE DEFINER=`root`@`localhost` TRIGGER `t` BEFORE INSERT ON `products` FOR EACH ROW "
                                "SET NEW.stock = NEW.stock + 1";
    for (const std::string& text : {kProcedure, kFunction, trigger}) {
        const FullRoutineTranslation expected = Translated(text, plain);
        ASSERT_TRUE(expected.ok()) << expected.untranslatable;
        for (const char* schema : {"dbo", "DBO"}) {
            EXPECT_EQ(Joined(Translated(text, InSchema(schema))), Joined(expected)) << schema;
        }
    }
    const std::string procedure = Joined(Translated(kProcedure, plain));
    EXPECT_TRUE(procedure.starts_with("CREATE PROCEDURE p\n")) << procedure;
    EXPECT_NE(procedure.find("EXEC restock @a"), std::string::npos) << procedure;
    EXPECT_NE(procedure.find("dbo.tax("), std::string::npos) << procedure;
}

TEST(RoutineSchema, ATriggerLivesInItsTablesSchemaAndWritesThere) {
    struct Row {
        std::string body;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        // Set-based: the audit row goes into the schema's table.
        {"AFTER INSERT ON `products` FOR EACH ROW INSERT INTO audit (pid) VALUES (NEW.id)",
         {"CREATE TRIGGER [order archive].t ON [order archive].products AFTER INSERT\n",
          "INSERT INTO [order archive].audit (pid) SELECT inserted.id FROM inserted;"}},
        // A BEFORE trigger that changes NEW writes the row itself: into the schema's table.
        {"BEFORE INSERT ON `shop`.`products` FOR EACH ROW SET NEW.stock = NEW.stock + 1",
         {"CREATE TRIGGER [order archive].t ON [order archive].products INSTEAD OF INSERT\n",
          "SET IDENTITY_INSERT [order archive].products ON;", "INSERT INTO [order archive].products ("}},
        // A row loop whose body reads and writes other tables.
        {"AFTER UPDATE ON `products` FOR EACH ROW BEGIN\n"
         "  IF NEW.stock < 0 THEN UPDATE stock_alerts SET n = n + 1 WHERE pid = NEW.id; END IF;\n"
         "  CALL restock(NEW.id, 0);\nEND",
         {"CREATE TRIGGER [order archive].t ON [order archive].products AFTER UPDATE\n",
          "UPDATE [order archive].stock_alerts SET", "EXEC [order archive].restock "}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.body);
        const FullRoutineTranslation out =
            Translated("CREATE DEFINER=`root`@`localhost` TRIGGER `t` " + row.body, InSchema("order archive"));
        ASSERT_TRUE(out.ok()) << out.untranslatable;
        const std::string text = Joined(out);
        for (const std::string& expected : row.expected) EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
        EXPECT_EQ(out.table, "products");
    }
}

TEST(RoutineSchema, NamesOfTheRunsOtherDatabasesGoToTheirSchemas) {
    struct Row {
        std::string statement;
        RoutineContext context;
        std::string expected;  // "" when refused
        std::string refusal;   // part of the construct named
    };
    const RoutineContext perDatabase = InSchema("shop", {"shop", "crm"});
    RoutineContext withTarget = perDatabase;
    withTarget.names.targetDatabase = "sales";
    RoutineContext babelfish = perDatabase;
    babelfish.names.oneDatabaseKind = "Babelfish";
    const Row rows[] = {
        {"SELECT COUNT(*) INTO b FROM crm.customers;", perDatabase, "FROM crm.customers", ""},
        {"INSERT INTO crm.contacts (id) VALUES (a);", perDatabase, "INSERT INTO crm.contacts (id)", ""},
        {"CALL crm.notify(1, 'x');", perDatabase, "EXEC crm.notify 1, N'x';", ""},
        {"CALL crm.notify(1);", withTarget, "EXEC sales.crm.notify 1;", ""},
        {"CALL shop.restock(a, b);", perDatabase, "EXEC shop.restock @a, @b OUTPUT;", ""},
        {"CALL crm.notify(a);", perDatabase, "", "CALL of crm.notify with a variable or computed argument"},
        {"CALL billing.notify(1);", perDatabase, "", "CALL of a procedure of another database"},
        {"SELECT COUNT(*) INTO b FROM billing.t;", babelfish, "", "another database"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.statement);
        const FullRoutineTranslation out = Translated(
            "CREATE DEFINER=`root`@`localhost` PROCEDURE `p`(IN a INT, OUT b INT)\nBEGIN\n" + row.statement + "\nEND",
            row.context);
        if (row.expected.empty()) {
            EXPECT_NE(out.untranslatable.find(row.refusal), std::string::npos) << out.untranslatable;
            continue;
        }
        ASSERT_TRUE(out.ok()) << out.untranslatable;
        EXPECT_NE(Joined(out).find(row.expected), std::string::npos) << Joined(out);
    }
}

TEST(RoutineSchema, TemporaryTablesAndPreparedTextsKeepTheirOwnPlace) {
    const FullRoutineTranslation out = Translated(
        "CREATE DEFINER=`root`@`localhost` PROCEDURE `p`()\nBEGIN\n"
        "  CREATE TEMPORARY TABLE tmp (id INT);\n"
        "  INSERT INTO tmp SELECT id FROM products;\n"
        "  PREPARE s FROM 'DELETE FROM products WHERE stock = 0';\n"
        "  EXECUTE s;\n"
        "  SET @q = 'SELECT 1';\n"
        "  PREPARE r FROM @q;\n"
        "  EXECUTE r;\n"
        "END",
        InSchema("sales"));
    ASSERT_TRUE(out.ok()) << out.untranslatable;
    const std::string text = Joined(out);
    EXPECT_NE(text.find("CREATE TABLE [#tmp] ("), std::string::npos) << text;
    EXPECT_NE(text.find("INSERT INTO [#tmp] SELECT id FROM sales.products"), std::string::npos) << text;
    EXPECT_NE(text.find("N'DELETE FROM sales.products WHERE stock = 0;'"), std::string::npos) << text;
    bool warned = false;
    for (const std::string& adjustment : out.adjustments)
        warned = warned || adjustment.find("resolve in the login's default schema, not in sales") != std::string::npos;
    EXPECT_TRUE(warned);
}

}  // namespace
}  // namespace velmora
