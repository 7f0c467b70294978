// The sample's routines and triggers do on the live target what they do on MariaDB: the sample
// database `shop` is migrated with velmora-cli, then each function and procedure is called on
// both servers with the same arguments, and multi-row INSERT, UPDATE and DELETE statements run on
// both sides; the results and the tables the triggers changed must be the same. Every scenario
// runs in a transaction that is rolled back on both sides, so none sees another's changes and the
// shared sample stays as it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "live/LiveTarget.h"
#include "support/CliFixture.h"
#include "support/LocalMariaDb.h"

namespace velmora {
namespace {

using Rows = std::vector<std::vector<std::string>>;

// The same work written for each server.
struct Statement {
    std::string mysql;
    std::string tsql;
};

struct Scenario {
    const char* name;
    std::vector<Statement> changes;  // run first, in order
    std::vector<Statement> queries;  // each compared, as a set of rows
};

Rows Sorted(Rows rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::string Joined(const std::vector<Statement>& statements, std::string Statement::*side) {
    std::string text;
    for (const Statement& statement : statements) text += statement.*side + ";\n";
    return text;
}

// The orders and items the trigger scenario adds: two orders, three lines of which two come
// without a price, then a shipment of three orders at once.
const std::vector<Statement> kOrderWork = {
    {"DO 0", "SET IDENTITY_INSERT orders ON"},
    {"INSERT INTO orders (id, customer_id, ordered_at, total) VALUES "
     "(10, 2, '2026-12-01 10:00:00', 0), (11, 3, '2026-12-01 11:00:00', 0)",
     "INSERT INTO orders (id, customer_id, ordered_at, total) VALUES "
     "(10, 2, '2026-12-01T10:00:00', 0), (11, 3, '2026-12-01T11:00:00', 0)"},
    {"DO 0", "SET IDENTITY_INSERT orders OFF"},
    {"INSERT INTO order_items (order_id, line_no, sku, quantity, unit_price) VALUES "
     "(10, 1, 'HAM-001', 2, 0), (10, 2, 'POT-003', 1, 45.50), (11, 1, 'SAW-002', 3, 0)",
     "INSERT INTO order_items (order_id, line_no, sku, quantity, unit_price) VALUES "
     "(10, 1, 'HAM-001', 2, 0), (10, 2, 'POT-003', 1, 45.50), (11, 1, 'SAW-002', 3, 0)"},
    {"UPDATE orders SET shipped_on = '2026-12-02' WHERE id IN (2, 10, 11)",
     "UPDATE orders SET shipped_on = '2026-12-02' WHERE id IN (2, 10, 11)"},
    // No total changes: the audit trigger writes nothing.
    {"UPDATE orders SET note = 'checked' WHERE id >= 1", "UPDATE orders SET note = 'checked' WHERE id >= 1"},
    {"DELETE FROM order_items WHERE order_id = 11", "DELETE FROM order_items WHERE order_id = 11"},
};

// What the triggers write or change.
const std::vector<Statement> kTriggerTables = {
    {"SELECT id, total, shipped_on, note FROM orders", "SELECT id, total, shipped_on, note FROM orders"},
    {"SELECT order_id, line_no, sku, quantity, unit_price FROM order_items",
     "SELECT order_id, line_no, sku, quantity, unit_price FROM order_items"},
    {"SELECT sku, on_hand, reserved FROM stock_levels", "SELECT sku, on_hand, reserved FROM stock_levels"},
    {"SELECT actor, action FROM audit_log WHERE actor = 'orders trigger'",
     "SELECT actor, action FROM audit_log WHERE actor = 'orders trigger'"},
};

const Scenario kScenarios[] = {
    {"functions over joins",
     {},
     {{"SELECT id, customer_balance(id), line_total(id, 2.50) FROM customers",
       "SELECT id, dbo.customer_balance(id), dbo.line_total(id, 2.50) FROM customers"},
      {"SELECT customer_balance(999), line_total(0, 1.00), line_total(NULL, 1.00)",
       "SELECT dbo.customer_balance(999), dbo.line_total(0, 1.00), dbo.line_total(NULL, 1.00)"}}},
    {"stock check with a cursor, every order and one without lines",
     {},
     {{"CALL check_stock(1, @a); CALL check_stock(2, @b); CALL check_stock(3, @c); "
       "CALL check_stock(4, @d); CALL check_stock(999, @e); SELECT @a, @b, @c, @d, @e",
       "SET NOCOUNT ON; DECLARE @a INT, @b INT, @c INT, @d INT, @e INT; "
       "EXEC dbo.check_stock 1, @a OUTPUT; EXEC dbo.check_stock 2, @b OUTPUT; "
       "EXEC dbo.check_stock 3, @c OUTPUT; EXEC dbo.check_stock 4, @d OUTPUT; "
       "EXEC dbo.check_stock 999, @e OUTPUT; SELECT @a, @b, @c, @d, @e"}}},
    // The OUT parameter is smallint on the target (MySQL's signed tinyint reaches -128): Babelfish
    // takes an OUTPUT argument only of the parameter's own type.
    {"reservation that calls the stock check and updates many rows",
     {},
     {{"CALL reserve_order(1, @r1); CALL reserve_order(3, @r3); CALL reserve_order(4, @r4); "
       "SELECT @r1, @r3, @r4, sku, on_hand, reserved FROM stock_levels",
       "SET NOCOUNT ON; DECLARE @r1 SMALLINT, @r3 SMALLINT, @r4 SMALLINT; "
       "EXEC dbo.reserve_order 1, @r1 OUTPUT; EXEC dbo.reserve_order 3, @r3 OUTPUT; "
       "EXEC dbo.reserve_order 4, @r4 OUTPUT; "
       "SELECT @r1, @r3, @r4, sku, on_hand, reserved FROM stock_levels"}}},
    {"multi-row insert, update and delete through the triggers", kOrderWork, kTriggerTables},
};

class LiveRoutineSemantics : public test::CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        if (!test::LiveTargetAddress()) GTEST_SKIP() << "no live target (scripts/test --target HOST[,PORT])";
    }

    // The rows of `query` on MariaDB after `changes`, all in one transaction that is rolled back.
    Rows OnSource(const std::vector<Statement>& changes, const std::string& query) {
        return Sorted(test::QueryRows("USE shop; START TRANSACTION;\n" + Joined(changes, &Statement::mysql) +
                                      query + ";\nROLLBACK;"));
    }

    // The same on the target; a change the target refuses fails the test with its reason.
    Rows OnTarget(Session& session, const std::vector<Statement>& changes, const std::string& query) {
        EXPECT_EQ(test::LiveExecute(session, "BEGIN TRANSACTION"), "");
        for (const Statement& change : changes) {
            EXPECT_EQ(test::LiveExecute(session, change.tsql), "") << change.tsql;
        }
        Rows rows = Sorted(test::LiveQuery(session, query));
        EXPECT_EQ(test::LiveExecute(session, "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION"), "");
        return rows;
    }
};

TEST_F(LiveRoutineSemantics, RoutinesAndTriggersGiveTheSameResultsOnBothServers) {
    const auto address = test::LiveTargetAddress();
    test::LiveDatabase target("routines");
    test::CliResult run = Cli("migrate database shop " + target.name() + " --yes --target " + address->server +
                              " --target-user '" + address->user +
                              "' --target-password-env VELMORA_LIVE_TARGET_PASSWORD");
    EXPECT_EQ(run.exitCode, 0) << run.out.substr(run.out.size() > 6000 ? run.out.size() - 6000 : 0);
    auto connection = test::ConnectLiveTarget(target.name());
    ASSERT_NE(connection->session(), nullptr);
    Session& session = *connection->session();
    for (const Scenario& scenario : kScenarios) {
        for (const Statement& query : scenario.queries) {
            const Rows source = OnSource(scenario.changes, query.mysql);
            EXPECT_FALSE(source.empty()) << scenario.name << ": " << query.mysql;
            EXPECT_EQ(OnTarget(session, scenario.changes, query.tsql), source)
                << scenario.name << ": " << query.tsql;
        }
    }
}

// The same sample in a target schema: every function, procedure and trigger is created there
// (none in dbo), and called there they give what they give on MariaDB: the functions over the
// schema's tables, the procedure that calls another procedure of the schema, and the triggers
// that an INSERT of order lines and a shipment fire.
TEST_F(LiveRoutineSemantics, InATargetSchemaTheRoutinesAndTriggersWorkThere) {
    const auto address = test::LiveTargetAddress();
    test::LiveDatabase target("routineschema");
    test::CliResult run = Cli("migrate database shop " + target.name() + " --target-schema shop_data --yes --target " +
                              address->server + " --target-user '" + address->user +
                              "' --target-password-env VELMORA_LIVE_TARGET_PASSWORD");
    EXPECT_EQ(run.exitCode, 0) << run.out.substr(run.out.size() > 6000 ? run.out.size() - 6000 : 0);
    auto connection = test::ConnectLiveTarget(target.name());
    ASSERT_NE(connection->session(), nullptr);
    Session& session = *connection->session();
    const Rows placed = Sorted(test::LiveQuery(
        session, "SELECT s.name, COUNT(*) FROM sys.objects o JOIN sys.schemas s ON s.schema_id = o.schema_id "
                 "WHERE o.type IN ('P', 'FN', 'TR') GROUP BY s.name"));
    // Two functions, two procedures and five triggers, all in the schema.
    EXPECT_EQ(placed, (Rows{{"shop_data", "9"}}));
    const Scenario scenarios[] = {
        {"functions in the schema",
         {},
         {{"SELECT id, customer_balance(id), line_total(id, 2.50) FROM customers",
           "SELECT id, shop_data.customer_balance(id), shop_data.line_total(id, 2.50) FROM shop_data.customers"}}},
        {"a procedure that calls another of the schema",
         {},
         {{"CALL reserve_order(1, @r1); CALL reserve_order(4, @r4); SELECT @r1, @r4, sku, on_hand, reserved FROM stock_levels",
           "SET NOCOUNT ON; DECLARE @r1 SMALLINT, @r4 SMALLINT; EXEC shop_data.reserve_order 1, @r1 OUTPUT; "
           "EXEC shop_data.reserve_order 4, @r4 OUTPUT; SELECT @r1, @r4, sku, on_hand, reserved FROM shop_data.stock_levels"}}},
        // A line without its price (the INSTEAD OF trigger that looks it up and writes the row,
        // then the total's trigger), a shipment (the stock trigger) and a changed total (the audit).
        {"triggers on the schema's tables",
         {{"INSERT INTO order_items (order_id, line_no, sku, quantity, unit_price) VALUES (1, 9, 'HAM-001', 2, 0)",
           "INSERT INTO shop_data.order_items (order_id, line_no, sku, quantity, unit_price) VALUES (1, 9, 'HAM-001', 2, 0)"},
          {"UPDATE orders SET shipped_on = '2026-12-02' WHERE id IN (1, 2)",
           "UPDATE shop_data.orders SET shipped_on = '2026-12-02' WHERE id IN (1, 2)"},
          {"UPDATE orders SET total = total + 1 WHERE id = 3", "UPDATE shop_data.orders SET total = total + 1 WHERE id = 3"}},
         {{"SELECT id, total, shipped_on FROM orders", "SELECT id, total, shipped_on FROM shop_data.orders"},
          {"SELECT order_id, line_no, unit_price FROM order_items", "SELECT order_id, line_no, unit_price FROM shop_data.order_items"},
          {"SELECT sku, on_hand, reserved FROM stock_levels", "SELECT sku, on_hand, reserved FROM shop_data.stock_levels"},
          {"SELECT actor, action FROM audit_log WHERE actor = 'orders trigger'",
           "SELECT actor, action FROM shop_data.audit_log WHERE actor = 'orders trigger'"}}},
    };
    for (const Scenario& scenario : scenarios) {
        for (const Statement& query : scenario.queries) {
            const Rows source = OnSource(scenario.changes, query.mysql);
            EXPECT_FALSE(source.empty()) << scenario.name << ": " << query.mysql;
            EXPECT_EQ(OnTarget(session, scenario.changes, query.tsql), source) << scenario.name << ": " << query.tsql;
        }
    }

    // The backup reads every object in its schema and scripts it there.
    const std::string login = " --target " + address->server + " --target-user '" + address->user +
                              "' --target-password-env VELMORA_LIVE_TARGET_PASSWORD";
    test::CliResult backup = Cli("backup database " + target.name() + " --to " + home_ + login);
    EXPECT_EQ(backup.exitCode, 0) << backup.out << backup.err;
    const std::string folder = home_ + "/" + target.name() + "/";
    EXPECT_EQ(test::ReadFile(folder + "TABLES/shop_data.orders.tbl").rfind("create table shop_data.orders(", 0), 0u);
    EXPECT_NE(test::ReadFile(folder + "DATA/shop_data.customers.data").find("insert into shop_data.customers "), std::string::npos);
    EXPECT_NE(test::ReadFile(folder + "PROCEDURES/shop_data.check_stock.sp").find("shop_data.check_stock"), std::string::npos);
    test::CliResult one = Cli("backup table " + target.name() + " stock_levels --target-schema shop_data --to " + home_ + login);
    EXPECT_EQ(one.exitCode, 0) << one.out << one.err;
    EXPECT_NE(test::ReadFile(home_ + "/DATA/shop_data.stock_levels.data").find("insert into shop_data.stock_levels "), std::string::npos);
}

}  // namespace
}  // namespace velmora
