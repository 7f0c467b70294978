// Tables converted by the drivers in Full mode into the SQL Server target double: the sample
// shop_types (every construct of the type mapping) and the project's own shop. Every statement
// parses as T-SQL and names only SQL Server's own types; rows go in multi-row statements with
// their column list and their identity values; a refused row is isolated exactly; adjustments
// are logged and reported; foreign keys come after every table.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Converters/ConversionDrivers.h"
#include "Converters/ConversionReport.h"
#include "Converters/FullRowTransfer.h"
#include "support/ConversionFixture.h"
#include "support/SqlServerTypes.h"

namespace velmora::test {
namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

class FullTableConversionTest : public ConversionFixture {
protected:
    void SetUp() override {
        ConversionFixture::SetUp();
        context_.options.translation = TranslationMode::Full;
        context_.targetDatabase = "sales";
    }

    const TableReport* Table(const ConversionReport& report, const std::string& name) {
        for (const TableReport& table : report.tables) {
            if (table.name == name) return &table;
        }
        return nullptr;
    }

    void ExpectOnlySqlServerTypes() {
        for (const std::string& statement : TargetStatementsStartingWith("CREATE TABLE")) {
            for (const std::string& type : ColumnTypeNames(statement)) {
                EXPECT_TRUE(IsSqlServerTypeName(type)) << type << " in\n" << statement;
            }
        }
    }
};

TEST_F(FullTableConversionTest, TheShopSampleArrivesWhole) {
    ConversionReport report;
    EXPECT_EQ(ConvertDatabaseTables(context_, "shop", &report), 0);
    // Every table, the one whose name holds a blank included; enum and set columns included;
    // then one entry per foreign key, each created.
    size_t tables = 0;
    for (const TableReport& object : report.tables) {
        if (object.kind == "table") ++tables;
        if (object.kind != "foreign key") continue;
        EXPECT_EQ(object.result, 1) << object.name;
        EXPECT_NE(object.name.find('.'), std::string::npos) << object.name;  // table.constraint
    }
    EXPECT_EQ(tables, 10u);
    EXPECT_EQ(report.tables.size() - tables, 7u);
    for (const TableReport& table : report.tables) {
        EXPECT_EQ(table.result, 1) << table.name;
        EXPECT_TRUE(table.skipped.empty()) << table.name;
    }
    EXPECT_TRUE(report.failures.empty()) << report.failures.front();
    EXPECT_FALSE(TargetStatementsStartingWith("CREATE TABLE [order notes]").empty());
    // Rows go in multi-row statements with their column list, never one statement per row.
    std::vector<std::string> events = TargetStatementsStartingWith("INSERT INTO events (");
    EXPECT_EQ(events.size(), (5000 + kBatchRows - 1) / kBatchRows);
    EXPECT_EQ(Table(report, "events")->rows.rowsWritten, 5000);
    EXPECT_EQ(report.RowsFailed(), 0);
    // Transactions around the statements; identity values are kept.
    EXPECT_FALSE(TargetStatementsStartingWith("BEGIN TRANSACTION").empty());
    EXPECT_EQ(TargetStatementsStartingWith("BEGIN TRANSACTION").size(),
              TargetStatementsStartingWith("COMMIT TRANSACTION").size());
    EXPECT_FALSE(TargetStatementsStartingWith("SET IDENTITY_INSERT").empty());
    // The foreign keys come after the last table.
    std::vector<std::string> statements = target_->Statements();
    auto lastCreate = std::find_if(statements.rbegin(), statements.rend(), [](const std::string& s) {
        return StartsWith(s, "CREATE TABLE");
    });
    auto firstKey = std::find_if(statements.begin(), statements.end(), [](const std::string& s) {
        return StartsWith(s, "ALTER TABLE") && s.find("FOREIGN KEY") != std::string::npos;
    });
    ASSERT_NE(firstKey, statements.end());
    EXPECT_GT(firstKey - statements.begin(), statements.rend() - lastCreate - 1);
    ExpectOnlySqlServerTypes();
    ExpectTargetStatementsParse();
}

TEST_F(FullTableConversionTest, TheTypesSampleWithItsAdjustments) {
    UseSourceDatabase("shop_types");
    context_.options.autoBackup = true;
    ConversionReport report;
    EXPECT_EQ(ConvertDatabaseTables(context_, "shop_types", &report), 0);
    const TableReport* moments = Table(report, "moments");
    ASSERT_NE(moments, nullptr);
    // Two rows cannot be stored (a zero date in a NOT NULL column, a time beyond a day): counted,
    // never sent. Their other zero dates (nullable columns) are not counted as made NULL: only a
    // row that is sent counts its adjustments, and in this sample every zero date sits in one of
    // those two rows.
    EXPECT_EQ(moments->rows.rowsFailed, 2);
    EXPECT_EQ(moments->rows.rowsWritten, 2);
    const std::vector<std::string>& adjusted = moments->adjustments;
    EXPECT_FALSE(std::any_of(adjusted.begin(), adjusted.end(), [](const std::string& a) {
        return a.find("zero date") != std::string::npos;
    }));
    EXPECT_TRUE(std::any_of(adjusted.begin(), adjusted.end(), [](const std::string& a) {
        return a.find("ON UPDATE") != std::string::npos;
    }));
    // Each adjustment is a log line.
    std::vector<std::string> messages = Messages();
    EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [](const std::string& m) {
        return m.rfind("[moments] ADJUSTED stamp: ON UPDATE", 0) == 0;
    }));
    // The failed rows fail the run, named.
    EXPECT_TRUE(std::any_of(report.failures.begin(), report.failures.end(), [](const std::string& f) {
        return StartsWith(f, "table moments: ");
    }));
    // The data file holds the statements that arrived, one per line.
    EXPECT_TRUE(StartsWith(ReadWorkFile("numbers.data"), "INSERT INTO numbers ("));
    ExpectOnlySqlServerTypes();
    ExpectTargetStatementsParse();
}

// A zero date in a nullable column of a row that is sent becomes NULL, counted per column.
TEST_F(FullTableConversionTest, ZeroDatesOfSentRowsBecomeNullAndAreCounted) {
    const std::string database = ProcessDatabaseName("velmora_it_zero");
    RunSql("SET SESSION sql_mode = ''; DROP DATABASE IF EXISTS " + database + "; CREATE DATABASE " +
           database + "; CREATE TABLE " + database +
           ".z (id int PRIMARY KEY, d date NULL); INSERT INTO " + database +
           ".z VALUES (1, '0000-00-00'), (2, '2024-01-01'), (3, '0000-00-00');");
    UseSourceDatabase(database);
    ConversionReport report;
    EXPECT_EQ(ConvertTable(context_, database, "z", &report), 1);
    RunSql("DROP DATABASE IF EXISTS " + database + ";");
    ASSERT_EQ(report.tables.size(), 1u);
    EXPECT_EQ(report.tables[0].rows.rowsWritten, 3);
    EXPECT_EQ(report.tables[0].adjustments,
              std::vector<std::string>{"d: 2 zero dates became NULL"});
    std::vector<std::string> inserts = TargetStatementsStartingWith("INSERT INTO z (");
    ASSERT_EQ(inserts.size(), 1u);
    EXPECT_NE(inserts[0].find("(1,NULL),(2,'2024-01-01'),(3,NULL)"), std::string::npos)
        << inserts[0];
}

// A statement the target refuses is rolled back and its rows sent again one at a time: only the
// refused row fails, every other row of its transaction arrives.
TEST_F(FullTableConversionTest, ARefusedRowIsIsolatedExactly) {
    target_->FailWhen([](const std::string& s) {
        return StartsWith(s, "INSERT INTO events (") && s.find("(777,") != std::string::npos;
    }, "Violation of PRIMARY KEY constraint.");
    ConversionReport report;
    EXPECT_EQ(ConvertTable(context_, "shop", "events", &report), 1);
    const TableReport* events = Table(report, "events");
    ASSERT_NE(events, nullptr);
    EXPECT_EQ(events->rows.rowsRead, 5000);
    EXPECT_EQ(events->rows.rowsFailed, 1);
    EXPECT_EQ(events->rows.rowsWritten, 4999);
    EXPECT_EQ(TargetStatementsStartingWith("IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION").size(), 1u);
    // The single-row retries: one per row of the refused statement.
    size_t singles = 0;
    for (const std::string& s : TargetStatementsStartingWith("INSERT INTO events (")) {
        singles += std::count(s.begin(), s.end(), '\n') == 0 && s.find("),(") == std::string::npos;
    }
    EXPECT_EQ(singles, kBatchRows);
    std::vector<std::string> messages = Messages();
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(), [](const std::string& m) {
                  return StartsWith(m, "[events] INSERT failed: ");
              }),
              1);
    EXPECT_NE(std::find(messages.begin(), messages.end(),
                        "[events] 4999 records converted, 1 records FAILED!"),
              messages.end());
}

}  // namespace
}  // namespace velmora::test

namespace velmora::test {
namespace {

// A step after the rows that the server refuses fails its table with that step and the
// server's reason, so that a task's FAILURE is always explained by an object; a refused creation
// keeps the server's reason too.
TEST_F(FullTableConversionTest, ARefusedStepFailsItsTableWithTheServersReason) {
    struct Case {
        const char* table;
        const char* refusedPrefix;
        const char* serverText;
        const char* step;
        const char* reason;
    };
    const Case cases[] = {
        {"orders", "IF EXISTS (SELECT 1 FROM", "Cannot find the object \"orders\".", "reseed",
         "reseed failed: Cannot find the object \"orders\"."},
        {"customers", "CREATE INDEX", "Operation failed. The index entry exceeds 1700 bytes.",
         "index", "index failed: Operation failed. The index entry exceeds 1700 bytes."},
        {"categories", "CREATE TABLE", "Column, parameter, or variable #2: Cannot find data type x.",
         "create", "Column, parameter, or variable #2: Cannot find data type x."},
    };
    for (const Case& c : cases) {
        target_->ClearStatements();
        const std::string prefix = c.refusedPrefix;
        target_->FailWhen([prefix](const std::string& s) { return StartsWith(s, prefix); },
                          c.serverText);
        ConversionReport report;
        ConvertTable(context_, "shop", c.table, &report);
        const TableReport* table = Table(report, c.table);
        ASSERT_NE(table, nullptr) << c.table;
        std::string reason;
        EXPECT_EQ(ObjectOutcome(*table, &reason), "failed") << c.table;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << c.table << ": " << reason;
        EXPECT_EQ(FailedStep(*table), c.step) << c.table;
        EXPECT_TRUE(report.Failed());
        // The failure is explained by the table: no extra entry is needed.
        const size_t objects = report.tables.size();
        report.ExplainFailures("shop");
        EXPECT_EQ(report.tables.size(), objects);
    }
}

TEST(ConversionReportTest, AFailureThatNoObjectExplainsGetsAnEntryOfItsOwn) {
    ConversionReport report;
    TableReport migrated;
    migrated.database = migrated.name = "orders";
    migrated.result = 1;
    migrated.rows.text = "TRUE";
    report.tables.push_back(migrated);
    report.AddFailure("the views of [shop] could not be listed");
    report.ExplainFailures("shop");
    ASSERT_EQ(report.tables.size(), 2u);
    std::string reason;
    EXPECT_EQ(report.tables.back().kind, "database");
    EXPECT_EQ(ObjectOutcome(report.tables.back(), &reason), "failed");
    EXPECT_EQ(reason, "the views of [shop] could not be listed");
}

}  // namespace
}  // namespace velmora::test
