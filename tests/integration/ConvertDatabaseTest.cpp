// The per-database drivers against the real `shop` database: all tables with the foreign-key
// step (also after a stop), all views, and a stop in the middle of the copy of a large table.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "Converters/ConversionDrivers.h"
#include "Converters/ConversionReport.h"
#include "Converters/RowTransfer.h"
#include "support/ConversionFixture.h"
#include "support/LocalMariaDb.h"

namespace velmora::test {
namespace {

// The foreign keys of the sample, as the target receives them (one batch per table).
const std::vector<std::string> kForeignKeyBatches = {
    "Alter Table \"categories\" ADD CONSTRAINT fk_category_parent FOREIGN KEY (parent_id)\n"
    " REFERENCES categories(id)\n",
    "Alter Table \"orders\" ADD CONSTRAINT fk_orders_customer FOREIGN KEY (customer_id)\n"
    " REFERENCES customers(id)\n",
    "Alter Table \"order_items\" ADD CONSTRAINT fk_items_order FOREIGN KEY (order_id)\n"
    " REFERENCES orders(id);\n"
    "Alter Table \"order_items\" ADD CONSTRAINT fk_items_product FOREIGN KEY (sku)\n"
    " REFERENCES products(sku)\n",
    "Alter Table \"products\" ADD CONSTRAINT fk_products_category FOREIGN KEY (category_id)\n"
    " REFERENCES categories(id)\n",
    // The composite key keeps the column order of its declaration on both sides.
    "Alter Table \"shipments\" ADD CONSTRAINT fk_shipments_item FOREIGN KEY (order_id, line_no)\n"
    " REFERENCES order_items(order_id, line_no)\n",
    "Alter Table \"stock_levels\" ADD CONSTRAINT fk_stock_product FOREIGN KEY (sku)\n"
    " REFERENCES products(sku)\n",
};

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

std::vector<std::string> WithoutInserts(const std::vector<std::string>& statements) {
    std::vector<std::string> kept;
    for (const std::string& s : statements) {
        if (!StartsWith(s, "insert into ")) kept.push_back(s);
    }
    return kept;
}

std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines,
                                           const std::string& prefix) {
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
        if (StartsWith(line, prefix)) kept.push_back(line);
    }
    return kept;
}

class ConvertDatabaseTest : public ConversionFixture {
protected:
    // A real SQL Server refuses the enum and set columns of products and shipments, and then
    // every later statement on those tables.
    void RefuseEnumAndSetTables() {
        target_->FailWhen([](const std::string& s) {
            return StartsWith(s, "create table products") || StartsWith(s, "create table shipments");
        }, "Cannot find data type enum.");
        target_->FailWhen([](const std::string& s) {
            return StartsWith(s, "Alter Table \"products\"") ||
                   StartsWith(s, "Alter Table \"shipments\"") ||
                   StartsWith(s, "Alter Table \"stock_levels\"") ||
                   StartsWith(s, "Alter Table \"order_items\"");
        }, "Foreign key references invalid table.");
    }
};

TEST_F(ConvertDatabaseTest, AllTablesThenTheirForeignKeys) {
    RefuseEnumAndSetTables();
    ConversionReport report;
    EXPECT_EQ(ConvertDatabaseTables(context_, "shop", &report), 0);

    std::vector<std::string> statements = WithoutInserts(target_->Statements());
    std::vector<std::string> creates;
    for (const std::string& s : statements) {
        if (StartsWith(s, "create table ")) creates.push_back(s.substr(13, s.find(" (") - 13));
    }
    // Catalog order; the table whose name holds a blank is skipped.
    EXPECT_EQ(creates, (std::vector<std::string>{"audit_log", "categories", "customers", "events",
                                                 "orders", "order_items", "products",
                                                 "shipments", "stock_levels"}));
    std::vector<std::string> foreignKeys(statements.end() - kForeignKeyBatches.size(), statements.end());
    EXPECT_EQ(foreignKeys, kForeignKeyBatches);
    EXPECT_EQ(TargetStatementsStartingWith("insert into events values (").size(), 5000u);
    EXPECT_EQ(TargetStatementsStartingWith("insert into products").size(), 0u);
    EXPECT_EQ(TargetStatementsStartingWith("insert into [order notes]").size(), 0u);

    std::vector<std::string> messages = Messages();
    EXPECT_EQ(messages.front(), "Convert Tables of database [shop]");
    EXPECT_EQ(LinesStartingWith(messages, "[events] "),
              (std::vector<std::string>{"[events] 1000 records converted!",
                                        "[events] 2000 records converted!",
                                        "[events] 3000 records converted!",
                                        "[events] 4000 records converted!",
                                        "[events] 5000 records converted!",
                                        "[events] 5000 records converted, convertion completed "
                                        "SUCCESSFULLY!"}));
    // Each failure line is followed by the driver's reason.
    const std::string why = "Foreign key references invalid table.";
    std::vector<std::string> tail(messages.end() - 11, messages.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"Convert Foreign Keys of database [shop]",
                                              "Create FOREIGN KEY SUCCESSFULLY!!!",
                                              "Create FOREIGN KEY SUCCESSFULLY!!!",
                                              "Create FK failure!", why, "Create FK failure!", why,
                                              "Create FK failure!", why, "Create FK failure!", why}));
    // The table whose name holds a blank is named as skipped, never silently left out.
    EXPECT_NE(std::find(messages.begin(), messages.end(),
                        "TABLE: [shop].[order notes] SKIPPED: its name holds a blank"),
              messages.end());
    // The foreign keys were appended to the tables' work files.
    std::string orders = ReadWorkFile("orders");
    EXPECT_EQ(orders.substr(orders.size() - kForeignKeyBatches[1].size()), kForeignKeyBatches[1]);
    EXPECT_EQ(ReadWorkFile("customers").find("Alter Table"), std::string::npos);

    EXPECT_EQ(report.failures,
              (std::vector<std::string>{"table order notes: skipped, its name holds a blank",
                                        "table products: create failed: Cannot find data type enum.",
                                        "table shipments: create failed: Cannot find data type enum.",
                                        "table order_items: foreign keys failed",
                                        "table products: foreign keys failed",
                                        "table shipments: foreign keys failed",
                                        "table stock_levels: foreign keys failed"}));
    // Every table once, the skipped one included with its reason; then one entry per table
    // whose foreign keys were sent, failed ones with the driver's text.
    ASSERT_EQ(std::count_if(report.tables.begin(), report.tables.end(),
                            [](const TableReport& table) { return table.kind == "table"; }),
              10);
    std::vector<std::string> failedKeys;
    for (const TableReport& entry : report.tables) {
        if (entry.kind == "foreign keys" && entry.result < 0) {
            failedKeys.push_back(entry.name);
            EXPECT_NE(entry.failure, "");
        }
    }
    EXPECT_EQ(failedKeys, (std::vector<std::string>{"order_items", "products", "shipments", "stock_levels"}));
    auto skipped = std::find_if(report.tables.begin(), report.tables.end(),
                                [](const TableReport& table) { return !table.skipped.empty(); });
    ASSERT_NE(skipped, report.tables.end());
    EXPECT_EQ(skipped->name, "order notes");
    EXPECT_EQ(skipped->skipped, "its name holds a blank");
    EXPECT_EQ(report.RowsWritten(), 3 + 5 + 5 + 5000 + 5 + 4 + 4);
    for (const std::string& s : target_->Statements()) {
        if (StartsWith(s, "create table products") || StartsWith(s, "create table shipments")) {
            DeclareInvalid(s);
        }
    }
}

// A resumed run looks for each foreign key by its name: the second key of order_items is created
// although the first is there (a question per table took the one for all).
TEST_F(ConvertDatabaseTest, AResumedRunCreatesEachForeignKeyThatIsMissingByName) {
    context_.options.resume = true;
    const auto count = [](const std::string& value) { return ScriptedResult::Text({""}, {{value}}); };
    target_->AnswerWith("select count_big(*) from sys.foreign_keys where name = N'fk_items_order' and "
                        "parent_object_id = object_id(N'[order_items]')",
                        count("1"));
    target_->AnswerWith("select count_big(*) from sys.foreign_keys where parent_object_id = object_id(N'[order_items]')",
                        count("1"));
    ConversionReport report;
    EXPECT_EQ(ConvertDatabaseTables(context_, "shop", &report), 0);
    std::vector<std::string> expected = kForeignKeyBatches;
    expected[2] = "Alter Table \"order_items\" ADD CONSTRAINT fk_items_product FOREIGN KEY (sku)\n"
                  " REFERENCES products(sku)\n";
    EXPECT_EQ(TargetStatementsStartingWith("Alter Table"), expected);
}

// After a stop nothing more is created, not even the foreign keys of the tables already there;
// every table not reached is listed as not started.
TEST_F(ConvertDatabaseTest, AStopDuringALargeTableEndsTheLoopAndCreatesNothingMore) {
    MainWindowModel* main = main_.get();
    // The stop is requested while row 2,500 of events is being inserted.
    target_->FailWhen([main](const std::string& s) {
        if (StartsWith(s, "insert into events values (2500,")) {
            main->SetControllerState(ControllerState::StopRequested);
        }
        return false;
    }, "");
    ConversionReport report;
    EXPECT_EQ(ConvertDatabaseTables(context_, "shop", &report), 0);
    EXPECT_TRUE(report.stopped);
    std::vector<TableReport> tables;
    for (const TableReport& entry : report.tables) {
        if (entry.kind == "table") tables.push_back(entry);
    }
    ASSERT_EQ(tables.size(), 10u);
    EXPECT_EQ(tables[3].name, "events");
    EXPECT_TRUE(tables[3].rows.stopped);
    EXPECT_EQ(tables[3].rows.rowsRead, 2500);
    for (size_t i = 4; i < tables.size(); ++i) EXPECT_EQ(ObjectOutcome(tables[i]), "not started") << tables[i].name;
    EXPECT_EQ(tables[4].name, "order notes");
    EXPECT_FALSE(report.Failed());

    std::vector<std::string> inserts = TargetStatementsStartingWith("insert into events values (");
    ASSERT_EQ(inserts.size(), 2500u);
    EXPECT_TRUE(StartsWith(inserts.back(), "insert into events values (2500,"));
    EXPECT_EQ(TargetStatementsStartingWith("create table order_items").size(), 0u);

    std::vector<std::string> messages = Messages();
    auto stop = std::find(messages.begin(), messages.end(), "Data Converting Terminaled!");
    ASSERT_NE(stop, messages.end());
    EXPECT_EQ(std::vector<std::string>(stop, messages.end()),
              (std::vector<std::string>{"Data Converting Terminaled!",
                                        "[events] 2500 records converted, convertion completed "
                                        "SUCCESSFULLY!",
                                        "Tables Converting Terminaled!"}));
    EXPECT_TRUE(TargetStatementsStartingWith("Alter Table").empty());
}

TEST_F(ConvertDatabaseTest, ADatabaseWithoutTablesStillRunsTheForeignKeyStep) {
    const std::string empty = ProcessDatabaseName("velmora_it_convert_empty");
    RunSql("DROP DATABASE IF EXISTS " + empty + "; CREATE DATABASE " + empty + ";");
    UseSourceDatabase(empty);
    ConversionReport report;
    EXPECT_EQ(ConvertDatabaseTables(context_, empty, &report), 0);
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Convert Tables of database [" + empty + "]",
                                                    "Convert Foreign Keys of database [" + empty +
                                                        "]"}));
    EXPECT_TRUE(target_->Statements().empty());
    EXPECT_FALSE(report.Failed());
    RunSql("DROP DATABASE " + empty + ";");
}

TEST_F(ConvertDatabaseTest, NoSourceConnectionFailsTheCatalog) {
    ConversionReport report;
    context_.sourceConnection->Close();
    EXPECT_EQ(ConvertDatabaseTables(context_, "shop", &report), -1);
    EXPECT_EQ(ConvertDatabaseViews(context_, "shop", &report), -1);
    std::vector<std::string> messages = Messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0], "Convert Tables of database [shop]");
    EXPECT_TRUE(StartsWith(messages[1], "Open tables Error:  \r\n failed with error code:[0x"))
        << messages[1];
    EXPECT_EQ(messages[2], "Convert Views of database [shop]");
    EXPECT_TRUE(StartsWith(messages[3], "Open views Error:  \r\n failed with error code:[0x"))
        << messages[3];
    EXPECT_TRUE(target_->Statements().empty());
    EXPECT_EQ(report.failures.size(), 2u);
}

TEST_F(ConvertDatabaseTest, AllViews) {
    ConversionReport report;
    EXPECT_EQ(ConvertDatabaseViews(context_, "shop", &report), 0);
    const std::vector<std::string> expected = {
        "create view [active products] as select products.sku as sku,products.title as title,"
        "products.price as price from products where products.state = 'active'",
        "create view order_lines as select o.id as order_id,c.last_name as customer,i.sku as sku,"
        "i.quantity as quantity from ((orders o join customers c on(o.customer_id = c.id)) join "
        "order_items i on(i.order_id = o.id))",
        "create view order_totals as select orders.customer_id as customer_id,count(0) as orders,"
        "sum(orders.total) as spent from orders group by orders.customer_id",
    };
    EXPECT_EQ(target_->Statements(), expected);
    EXPECT_EQ(ReadWorkFile("active products.vw"), expected[0]);
    EXPECT_EQ(ReadWorkFile("order_lines.vw"), expected[1]);
    EXPECT_EQ(ReadWorkFile("order_totals.vw"), expected[2]);
    EXPECT_EQ(Messages(), (std::vector<std::string>{
                              "Convert Views of database [shop]",
                              "VIEW: [shop].[active products] Converting..... ",
                              "Create VIEW [active products] SUCCESSFULLY!!!",
                              "VIEW: [shop].[order_lines] Converting..... ",
                              "Create VIEW [order_lines] SUCCESSFULLY!!!",
                              "VIEW: [shop].[order_totals] Converting..... ",
                              "Create VIEW [order_totals] SUCCESSFULLY!!!"}));
    EXPECT_EQ(report.viewsCreated.size(), 3u);
    // SQL Server takes parenthesised joined tables, "((a join b on ...) join c on ...)", as
    // MariaDB prints them; the grammar of the T-SQL oracle lacks that form, so this one
    // statement is left out of its check.
    DeclareInvalid(expected[1]);
}

TEST_F(ConvertDatabaseTest, AStopEndsTheViewLoopAfterTheViewInProgress) {
    MainWindowModel* main = main_.get();
    target_->FailWhen([main](const std::string& s) {
        if (StartsWith(s, "create view [active products]")) {
            main->SetControllerState(ControllerState::StopRequested);
        }
        return StartsWith(s, "create view [active products]");
    }, "Invalid object name 'products'.");
    ConversionReport report;
    EXPECT_EQ(ConvertDatabaseViews(context_, "shop", &report), 0);
    EXPECT_EQ(Messages(), (std::vector<std::string>{
                              "Convert Views of database [shop]",
                              "VIEW: [shop].[active products] Converting..... ",
                              "Create VIEW [active products] failure!!!",
                              "Invalid object name 'products'.",
                              "Views Converting Terminaled!"}));
    EXPECT_EQ(report.failures, std::vector<std::string>{
                                   "view active products: create failed: Invalid object name "
                                   "'products'."});
    EXPECT_TRUE(report.stopped);
}

TEST_F(ConvertDatabaseTest, StopDuringTheCopyOfALargeTable) {
    context_.options.autoBackup = true;
    MainWindowModel* main = main_.get();
    target_->FailWhen([main](const std::string& s) {
        if (StartsWith(s, "insert into events values (1234,")) {
            main->SetControllerState(ControllerState::StopRequested);
        }
        return false;
    }, "");
    RowCopyResult result =
        CopyTableRows(context_, "shop", "events");
    EXPECT_EQ(result.text, "TRUE");
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.rowsRead, 1234);
    EXPECT_EQ(result.rowsWritten, 1234);
    EXPECT_EQ(Messages(), (std::vector<std::string>{
                              "[events] 1000 records converted!", "Data Converting Terminaled!",
                              "[events] 1234 records converted, convertion completed "
                              "SUCCESSFULLY!"}));
    std::vector<std::string> inserts = target_->Statements();
    ASSERT_EQ(inserts.size(), 1234u);
    std::string data = ReadWorkFile("events.data");
    std::string joined;
    for (const std::string& s : inserts) joined += s;
    EXPECT_EQ(data, joined);
    // Rows arrive in key order across the page boundary at row 1,000.
    EXPECT_TRUE(StartsWith(inserts[999], "insert into events values (1000,"));
    EXPECT_TRUE(StartsWith(inserts[1000], "insert into events values (1001,"));
}

}  // namespace
}  // namespace velmora::test
