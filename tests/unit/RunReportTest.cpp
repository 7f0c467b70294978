// The run report of velmora-cli: every object once, with its outcome and reason, and a later
// verification folded into the migration's entry.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "RunReport.h"

namespace velmora::cli {
namespace {

TableReport Entry(const std::string& kind, const std::string& name, int result) {
    TableReport entry;
    entry.kind = kind;
    entry.database = "shop";
    entry.name = name;
    entry.result = result;
    entry.rows.text = "TRUE";
    return entry;
}

TEST(RunReportTest, EveryObjectHasOneOutcomeWithItsReason) {
    TableReport migrated = Entry("table", "orders", 1);
    TableReport skipped = Entry("table", "order notes", 0);
    skipped.skipped = "its name holds a blank";
    TableReport failed = Entry("table", "products", -1);
    failed.failure = "Cannot find data type enum.";
    TableReport rowsFailed = Entry("table", "events", 1);
    rowsFailed.rows.rowsFailed = 2;
    rowsFailed.rows.firstError = "String or binary data would be truncated.";
    // A source that died, or a condition it refused, said "FALSE": now the driver's own words.
    TableReport refused = Entry("table", "items", 1);
    refused.rows.text = "FALSE";
    refused.rows.readError = "Unknown column 'nope' in 'where clause'";
    TableReport cut = Entry("table", "lines", 1);
    cut.rows.readFailed = true;
    cut.rows.readError = "Lost connection to server during query";
    migrated.adjustments = {"column placed_at: ON UPDATE dropped"};
    TableReport view = Entry("view", "order_totals", 1);
    TableReport keys = Entry("foreign keys", "orders", -1);
    keys.failure = "Could not create constraint.";
    TableReport verified = Entry("table", "orders", 0);
    TableVerification v;
    v.mode = "full";
    v.sourceRows = v.targetRows = 3;
    v.different = 1;
    v.differences.push_back({"different", "id=2", "total", "1.5", std::nullopt});
    verified.verification = v;

    std::vector<TableReport> tables = MergeTableEntries(
        {migrated, skipped, failed, rowsFailed, view, keys, verified, refused, cut});
    ASSERT_EQ(tables.size(), 8u);  // the verification joined the migration of orders
    ASSERT_TRUE(tables[0].verification);
    struct Expected {
        std::string outcome;
        std::string reason;
    };
    const std::vector<Expected> expected = {
        {"migrated", ""},
        {"skipped", "its name holds a blank"},
        {"failed", "Cannot find data type enum."},
        {"failed", "2 rows failed: String or binary data would be truncated."},
        {"migrated", ""},
        {"failed", "Could not create constraint."},
        {"failed", "reading the rows failed: Unknown column 'nope' in 'where clause'"},
        {"failed", "reading the rows failed: Lost connection to server during query"},
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        std::string reason;
        EXPECT_EQ(ObjectOutcome(tables[i], &reason), expected[i].outcome) << tables[i].name;
        EXPECT_EQ(reason, expected[i].reason) << tables[i].name;
    }

    std::ostringstream json;
    WriteJsonReport(json, 1, {}, tables);
    const std::string text = json.str();
    EXPECT_NE(text.find("\"formatVersion\": 2"), std::string::npos);
    EXPECT_NE(text.find("\"kind\": \"view\", \"name\": \"order_totals\", \"outcome\": \"migrated\""),
              std::string::npos);
    EXPECT_NE(text.find("\"name\": \"order notes\", \"outcome\": \"skipped\", \"reason\": \"its "
                        "name holds a blank\""),
              std::string::npos);
    EXPECT_NE(text.find("\"differences\": [{\"kind\": \"different\", \"key\": \"id=2\", \"column\": "
                        "\"total\", \"source\": \"1.5\", \"target\": null}]"),
              std::string::npos);
    EXPECT_NE(text.find("\"matches\": false"), std::string::npos);
    EXPECT_NE(text.find("\"adjustments\": [\"column placed_at: ON UPDATE dropped\"]"),
              std::string::npos);

    // The desktop program's report of the same objects.
    const std::string lines = ReportText(tables);
    EXPECT_NE(lines.find("table shop.order notes: skipped, its name holds a blank\n"), std::string::npos);
    EXPECT_NE(lines.find("view shop.order_totals: migrated\n"), std::string::npos);
    EXPECT_NE(lines.find("verified (full): MISMATCH, 3 source rows, 3 target rows, 0 compared, 0 "
                         "missing, 0 extra, 1 different\n      different at id=2: total '1.5' / NULL"),
              std::string::npos)
        << lines;
}

}  // namespace
}  // namespace velmora::cli

namespace velmora::cli {
namespace {

// The line that ends the summary names the task in its command's words (never its type code)
// and counts what failed and what was stopped.
TEST(RunReportTest, TheTaskLineNamesTheTaskAndCountsItsFailures) {
    TableReport reseed = Entry("table", "orders", 1);
    reseed.StepFailed("reseed", "Cannot find the object \"orders\".");
    TableReport stopped = Entry("table", "events", 1);
    stopped.rows.stopped = true;
    TableReport key = Entry("foreign key", "orders.fk_customer", -1);
    key.failure = "The ALTER TABLE statement conflicted with the FOREIGN KEY constraint.";
    const TableReport ok = Entry("table", "customers", 1);
    TableReport event = Entry("event", "purge_audit_log", 0);
    event.notMigrated = "the target's scheduler is a separate product";
    TableReport refused = Entry("procedure", "check_stock", -1);
    refused.failure = "it cannot be translated: LOAD DATA";
    struct Case {
        TaskType type;
        std::string object;
        TaskPhase phase;
        std::vector<TableReport> tables;
        std::string line;
    };
    const std::vector<Case> cases = {
        {TaskType::Database, "", TaskPhase::Failure, {ok, reseed, key},
         "migrate database shop -> sales: FAILURE, 1 of 2 tables failed, 1 other object failed"},
        {TaskType::Table, "events", TaskPhase::Failure, {stopped},
         "migrate table shop.events -> sales: FAILURE, 1 stopped"},
        {TaskType::CloneDatabase, "", TaskPhase::Success, {ok}, "migrate clone shop: SUCCESS"},
        // An event is listed, never migrated: no failure of the task. A routine that could not be
        // translated is one.
        {TaskType::Database, "", TaskPhase::Success, {ok, event}, "migrate database shop -> sales: SUCCESS"},
        {TaskType::Database, "", TaskPhase::Failure, {ok, event, refused},
         "migrate database shop -> sales: FAILURE, 1 other object failed"},
        {TaskType::VerifyTable, "orders", TaskPhase::Success, {}, "verify shop.orders -> sales: SUCCESS"},
    };
    for (const Case& c : cases) {
        MigrationTask task(c.type, 0);
        task.sourceDatabase = "shop";
        task.targetDatabase = "sales";
        task.sourceObject = c.object;
        task.phase = c.phase;
        EXPECT_EQ(TaskSummaryLine(task, c.tables), c.line);
    }
    std::string reason;
    EXPECT_EQ(ObjectOutcome(event, &reason), "not migrated");
    EXPECT_EQ(reason, "the target's scheduler is a separate product");
    EXPECT_EQ(FailedStep(event), "");
    EXPECT_EQ(ObjectOutcome(refused, &reason), "failed");
    EXPECT_EQ(reason, "it cannot be translated: LOAD DATA");
    EXPECT_EQ(ObjectOutcome(reseed, &reason), "failed");
    EXPECT_EQ(reason, "reseed failed: Cannot find the object \"orders\".");
    EXPECT_EQ(ObjectOutcome(stopped), "stopped");
    std::ostringstream json;
    WriteJsonReport(json, 1, {}, {reseed, stopped, key, ok});
    for (const char* step : {"\"step\": \"reseed\"", "\"step\": \"rows\"", "\"step\": \"foreign key\"",
                             "\"step\": \"\""}) {
        EXPECT_NE(json.str().find(step), std::string::npos) << step;
    }
}

}  // namespace
}  // namespace velmora::cli
