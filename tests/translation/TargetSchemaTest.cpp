// Tables, keys, rows and views written into a target schema: every statement names the schema
// (quoted as the name needs: blanks, "]", non-ASCII letters), parses as T-SQL, and the default
// schema leaves every statement as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "translation/FullTableTranslator.h"
#include "translation/FullValueRendering.h"
#include "translation/FullViewTranslator.h"
#include "translation/Naming.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

const std::string kOrders =
    "CREATE TABLE `orders` (\n"
    "  `id` int(11) NOT NULL AUTO_INCREMENT,\n"
    "  `customer_id` int(11) NOT NULL,\n"
    "  `note` varchar(20) DEFAULT NULL COMMENT 'what the customer wrote',\n"
    "  PRIMARY KEY (`id`),\n"
    "  KEY `by_customer` (`customer_id`),\n"
    "  CONSTRAINT `fk_customer` FOREIGN KEY (`customer_id`) REFERENCES `customers` (`id`)\n"
    ") ENGINE=InnoDB AUTO_INCREMENT=10 DEFAULT CHARSET=utf8mb4 COMMENT='orders of the shop'";

std::vector<std::string> Statements(const FullTableTranslation& t) {
    std::vector<std::string> all{t.createTable, InsertPrefix(t) + "(1,2,N'x')", IdentityInsertStatement(t, true),
                                 t.identityReseed};
    all.insert(all.end(), t.indexes.begin(), t.indexes.end());
    all.insert(all.end(), t.foreignKeys.begin(), t.foreignKeys.end());
    all.insert(all.end(), t.comments.begin(), t.comments.end());
    return all;
}

ExpressionNames InSchema(const std::string& schema) {
    ExpressionNames names{"shop", ""};
    names.targetSchema = schema;
    return names;
}

TEST(TargetSchema, NamesAreQualifiedAndQuotedAsTheSchemaNeeds) {
    struct Row {
        const char* schema;
        const char* qualified;  // how the schema appears before ".orders"
    };
    const Row rows[] = {
        {"sales", "sales"},
        {"order archive", "[order archive]"},
        {"a]b", "\"a]b\""},
        {"Küche", "[Küche]"},
        {"select", "[select]"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.schema);
        const FullTableTranslation t = TranslateTableFull(kOrders, InSchema(row.schema));
        ASSERT_TRUE(t.ok()) << t.error;
        const std::string table = std::string(row.qualified) + ".orders";
        EXPECT_EQ(t.targetName, table);
        EXPECT_TRUE(t.createTable.starts_with("CREATE TABLE " + table + " (")) << t.createTable;
        ASSERT_EQ(t.indexes.size(), 1u);
        EXPECT_NE(t.indexes[0].find(" ON " + table + " ("), std::string::npos) << t.indexes[0];
        ASSERT_EQ(t.foreignKeys.size(), 1u);
        EXPECT_TRUE(t.foreignKeys[0].starts_with("ALTER TABLE " + table + " ADD")) << t.foreignKeys[0];
        EXPECT_NE(t.foreignKeys[0].find("REFERENCES " + std::string(row.qualified) + ".customers"), std::string::npos);
        EXPECT_TRUE(InsertPrefix(t).starts_with("INSERT INTO " + table + " (")) << InsertPrefix(t);
        EXPECT_EQ(IdentityInsertStatement(t, true), "SET IDENTITY_INSERT " + table + " ON");
        // The reseed names the table as a plain string, which every server's DBCC CHECKIDENT reads.
        EXPECT_NE(t.identityReseed.find("DBCC CHECKIDENT (''" + table + "'', RESEED"), std::string::npos)
            << t.identityReseed;
        ASSERT_EQ(t.comments.size(), 2u);
        EXPECT_TRUE(t.comments[0].starts_with("DECLARE @schema sysname = N" + QuoteTargetString(row.schema) + ";"))
            << t.comments[0];
        for (const std::string& statement : Statements(t)) {
            EXPECT_EQ(test::DescribeTsqlProblems(statement), "") << statement;
        }
    }
}

TEST(TargetSchema, TheDefaultSchemaWritesWhatWasAlwaysWritten) {
    const FullTableTranslation plain = TranslateTableFull(kOrders, {"shop", ""});
    for (const char* schema : {"", "dbo", "DBO"}) {
        const FullTableTranslation t = TranslateTableFull(kOrders, InSchema(schema));
        EXPECT_EQ(t.targetName, "orders");
        EXPECT_EQ(Statements(t), Statements(plain)) << schema;
    }
    EXPECT_NE(plain.comments[0].find("SCHEMA_NAME()"), std::string::npos);
}

TEST(TargetSchema, ViewsAndTheTablesTheyReadGoIntoTheSchema) {
    const std::string header = "CREATE ALGORITHM=UNDEFINED DEFINER=`root`@`localhost` SQL SECURITY DEFINER VIEW `shop`.`v` AS ";
    struct Row {
        std::string body;
        ExpressionNames names;
        std::string expected;
    };
    ExpressionNames siblings = InSchema("shop");
    siblings.schemaDatabases = {"shop", "crm", "a]b"};
    ExpressionNames withTarget = InSchema("order archive");
    withTarget.targetDatabase = "sales";
    ExpressionNames babelfish = siblings;
    babelfish.oneDatabaseKind = "Babelfish";
    const Row rows[] = {
        {"select `shop`.`orders`.`id` AS `id` from `shop`.`orders`", InSchema("order archive"),
         "CREATE VIEW [order archive].v AS SELECT orders.id AS id FROM [order archive].orders"},
        {"select `orders`.`id` AS `id` from `orders`", InSchema("Küche"),
         "CREATE VIEW [Küche].v AS SELECT orders.id AS id FROM [Küche].orders"},
        {"select `o`.`id` AS `id` from `shop`.`orders` `o`", withTarget,
         "CREATE VIEW [order archive].v AS SELECT o.id AS id FROM sales.[order archive].orders AS o"},
        // Another source database of the same run: its schema in the same target database.
        {"select `c`.`name` AS `name` from (`shop`.`orders` `o` join `crm`.`customers` `c` on(`c`.`id` = `o`.`cid`))",
         babelfish,
         "CREATE VIEW shop.v AS SELECT c.name AS name FROM shop.orders AS o INNER JOIN crm.customers AS c ON c.id = o.cid"},
        {"select `x`.`id` AS `id` from `a]b`.`t` `x`", siblings, "CREATE VIEW shop.v AS SELECT x.id AS id FROM \"a]b\".t AS x"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.body);
        const FullViewTranslation view = TranslateViewFull(header + row.body, "v", row.names);
        ASSERT_TRUE(view.ok()) << view.untranslatable;
        EXPECT_EQ(view.statement, row.expected);
        EXPECT_EQ(test::DescribeTsqlProblems(view.statement), "");
    }
    // A database that is not one of the run's stays out of reach on a one-database target.
    const FullViewTranslation other =
        TranslateViewFull(header + "select `t`.`id` AS `id` from `billing`.`t`", "v", babelfish);
    EXPECT_FALSE(other.ok());
}

TEST(TargetSchema, ForeignKeysOfAQueuedTableNameTheSchema) {
    ForeignKeyModel key;
    key.name = "fk";
    key.columns = {"customer id"};
    key.referencedTable = "client list";
    key.referencedColumns = {"id"};
    key.onDelete = "CASCADE";
    const std::string statement = ForeignKeyStatement("orders", key, InSchema("x]y"));
    EXPECT_EQ(statement, "ALTER TABLE \"x]y\".orders ADD CONSTRAINT fk FOREIGN KEY ([customer id]) REFERENCES "
                         "\"x]y\".[client list] (id) ON DELETE CASCADE");
    EXPECT_EQ(test::DescribeTsqlProblems(statement), "");
}

}  // namespace
}  // namespace velmora
