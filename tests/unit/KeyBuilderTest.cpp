// Key, index and foreign-key statements built from the source's rows.
#include <gtest/gtest.h>

#include "Converters/ForeignKeys.h"
#include "Converters/KeyBuilder.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

TEST(KeyBuilder, PrimaryKeys) {
    EXPECT_EQ(PrimaryKeyStatementFromRows("orders", {}), "");
    EXPECT_EQ(PrimaryKeyStatementFromRows("orders", {{"PRIMARY", "id", false}}),
              "ALTER TABLE \"orders\" add PRIMARY KEY (id)\n");
    EXPECT_EQ(PrimaryKeyStatementFromRows(
                  "order_items", {{"PRIMARY", "order_id", false}, {"PRIMARY", "line_no", false}}),
              "ALTER TABLE \"order_items\" add PRIMARY KEY (order_id, line_no)\n");
    // Names that need quoting: brackets for the table instead of double quotes.
    std::string odd = PrimaryKeyStatementFromRows(
        "order notes", {{"PRIMARY", "key", false}, {"PRIMARY", "a]b", false}});
    EXPECT_EQ(odd, "ALTER TABLE [order notes] add PRIMARY KEY ([key], \"a]b\")\n");
    EXPECT_EQ(test::DescribeTsqlProblems(odd), "");
    EXPECT_EQ(PrimaryKeyStatementFromRows("user", {{"PRIMARY", "id", false}}),
              "ALTER TABLE [user] add PRIMARY KEY (id)\n");
}

TEST(KeyBuilder, UniqueAndPlainIndexes) {
    EXPECT_EQ(IndexStatementsFromRows("customers", {}), "");
    std::string text = IndexStatementsFromRows(
        "customers", {{"uq_customers_email", "email", false},
                      {"ix_customers_name", "last_name", true},
                      {"ix_customers_name", "first_name", true}});
    EXPECT_EQ(text,
              "CREATE UNIQUE INDEX uq_customers_email ON \"customers\" (email);\n"
              "CREATE INDEX ix_customers_name ON \"customers\" (last_name, first_name)\n");
    EXPECT_EQ(test::DescribeTsqlProblems(text), "");
    // Index names that differ only in letter case are one index.
    EXPECT_EQ(IndexStatementsFromRows("t", {{"Ix_A", "a", true}, {"IX_A", "b", true}}),
              "CREATE INDEX Ix_A ON \"t\" (a, b)\n");
    // A non-unique index alone.
    EXPECT_EQ(IndexStatementsFromRows("events", {{"ix_events_kind", "kind", true}}),
              "CREATE INDEX ix_events_kind ON \"events\" (kind)\n");
    std::string odd = IndexStatementsFromRows("order", {{"index", "user", false}});
    EXPECT_EQ(odd, "CREATE UNIQUE INDEX [index] ON [order] ([user])\n");
    EXPECT_EQ(test::DescribeTsqlProblems(odd), "");
}

TEST(KeyBuilder, SourceQueriesQuoteNamesThatNeedIt) {
    EXPECT_EQ(PrimaryKeyQuery("orders"), "show indexes from orders where Key_name='PRIMARY'");
    EXPECT_EQ(PrimaryKeyQuery("order notes"),
              "show indexes from `order notes` where Key_name='PRIMARY'");
    EXPECT_EQ(IndexQuery("orders"),
              "show indexes from orders where Key_name!='PRIMARY' \t\tand Key_Name not in (select "
              "Column_name FROM INFORMATION_SCHEMA.KEY_COLUMN_USAGE \t\tWHERE "
              "TABLE_NAME='orders')");
    EXPECT_NE(IndexQuery("it's").find("TABLE_NAME='it''s')"), std::string::npos);
    EXPECT_NE(IndexQuery("a\\b").find("TABLE_NAME=_utf8mb4 X'615C62')"), std::string::npos);
}

TEST(ForeignKeys, OneStatementPerConstraintOnTwoLines) {
    EXPECT_EQ(ForeignKeyStatementsFromRows("orders", {}), "");
    std::string two = ForeignKeyStatementsFromRows(
        "orders", {{"fk_cust", "cust_id", "customers", "id"},
                   {"fk_prod", "prod_id", "products", "id"}});
    EXPECT_EQ(two,
              "Alter Table \"orders\" ADD CONSTRAINT fk_cust FOREIGN KEY (cust_id)\n"
              " REFERENCES customers(id);\n"
              "Alter Table \"orders\" ADD CONSTRAINT fk_prod FOREIGN KEY (prod_id)\n"
              " REFERENCES products(id)\n");
    EXPECT_EQ(test::DescribeTsqlProblems(two), "");
    std::string composite = ForeignKeyStatementsFromRows(
        "shipments", {{"fk_shipments_item", "order_id", "order_items", "order_id"},
                      {"FK_SHIPMENTS_ITEM", "line_no", "order_items", "line_no"}});
    EXPECT_EQ(composite,
              "Alter Table \"shipments\" ADD CONSTRAINT fk_shipments_item FOREIGN KEY (order_id, "
              "line_no)\n REFERENCES order_items(order_id, line_no)\n");
    std::string odd = ForeignKeyStatementsFromRows("order", {{"fk", "user", "order notes", "key"}});
    EXPECT_EQ(odd,
              "Alter Table [order] ADD CONSTRAINT fk FOREIGN KEY ([user])\n"
              " REFERENCES [order notes]([key])\n");
    EXPECT_EQ(test::DescribeTsqlProblems(odd), "");
}

TEST(ForeignKeys, QueryKeepsTheSchemaAndTheColumnOrderOfEachConstraint) {
    std::string query = ForeignKeyQuery("shop", "orders");
    EXPECT_NE(query.find("WHERE REFERENCED_TABLE_SCHEMA = 'shop' and TABLE_NAME='orders'"),
              std::string::npos)
        << query;
    EXPECT_NE(query.find("AND TABLE_SCHEMA = REFERENCED_TABLE_SCHEMA"), std::string::npos);
    EXPECT_NE(query.find("ORDER BY TABLE_NAME, CONSTRAINT_NAME, ORDINAL_POSITION"),
              std::string::npos);
}

}  // namespace
}  // namespace velmora
