// The assessment read from the local MariaDB: the sample database's objects with their expected
// outcomes, statements that parse as T-SQL, counted rows and a measured read; a database of
// refusals, hostile names, routines and triggers; a database that does not exist.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <map>
#include <string>

#include "assessment/AssessCommand.h"
#include "assessment/AssessmentReport.h"
#include "data/OdbcConnection.h"
#include "support/LocalMariaDb.h"
#include "support/ScriptedPort.h"
#include "support/TsqlOracle.h"
#include "tasks/OperationLog.h"

namespace velmora {
namespace {

ConnectionSettings SourceSettings() {
    test::MariaDbAddress db = test::LocalMariaDb();
    return ConnectionSettings{"TCP/IP:Port", "MSDASQL", db.host + ":" + std::to_string(db.port),
                              db.user, db.password, ""};
}

class AssessmentFromMariaDb : public ::testing::Test {
protected:
    AssessmentRun Assess(const std::vector<std::string>& databases, const TaskOptions& choices = {}) {
        return AssessSource(log_, SourceSettings(), [](TreeSide) { return NewOdbcConnection(); },
                            databases, {}, choices);
    }

    static std::map<std::string, std::string> Outcomes(const DatabaseAssessment& database) {
        std::map<std::string, std::string> outcomes;
        for (const AssessedObject& object : database.objects) {
            outcomes[object.kind + " " + object.name] = object.outcome;
        }
        return outcomes;
    }

    test::ScriptedPort port_;
    OperationLog log_{&port_};
};

TEST_F(AssessmentFromMariaDb, TheSampleDatabaseHasItsExpectedOutcomes) {
    AssessmentRun run = Assess({"shop"});
    ASSERT_EQ(run.failure, "");
    ASSERT_EQ(run.assessment.databases.size(), 1u);
    const DatabaseAssessment& shop = run.assessment.databases[0];
    ASSERT_EQ(shop.failure, "");
    // The adjusted ones: bigint unsigned identities and the keys that reference them (events,
    // orders, order_items), an ON UPDATE that the target does not keep (products).
    const std::map<std::string, std::string> expected = {
        {"table audit_log", "ready"},       {"table categories", "ready"},
        {"table customers", "adjusted"},    {"table events", "adjusted"},
        {"table order notes", "ready"},     {"table order_items", "adjusted"},
        {"table orders", "adjusted"},       {"table products", "adjusted"},
        {"table shipments", "ready"},       {"view active products", "ready"},
        {"view order_lines", "ready"},      {"view order_totals", "ready"},
        {"table stock_levels", "ready"},    {"event purge_audit_log", "not migrated"},
        {"function customer_balance", "ready"}, {"function line_total", "ready"},
        {"procedure check_stock", "ready"},     {"procedure reserve_order", "ready"},
        // Row triggers on T-SQL's statement triggers: each says how it reads inserted/deleted.
        {"trigger order_items.order_items_price", "adjusted"},
        {"trigger order_items.order_items_total", "adjusted"},
        {"trigger orders.orders_audit_insert", "adjusted"},
        {"trigger orders.orders_audit_update", "adjusted"},
        {"trigger orders.orders_ship_stock", "adjusted"},
    };
    EXPECT_EQ(Outcomes(shop), expected);
    for (const AssessedObject& object : shop.objects) {
        EXPECT_EQ(object.statements.empty(), object.outcome != "ready" && object.outcome != "adjusted")
            << object.name;
        if (object.outcome == "ready") {
            EXPECT_TRUE(object.adjustments.empty()) << object.name;
        } else if (object.outcome == "adjusted") {
            EXPECT_FALSE(object.adjustments.empty()) << object.name;
        }
        for (const std::string& statement : object.statements) {
            EXPECT_EQ(test::DescribeTsqlProblems(statement), "") << object.name;
        }
        if (object.kind != "table") continue;
        EXPECT_TRUE(object.rowsExact) << object.name;  // every sample table is small enough to count
        EXPECT_GT(object.dataBytes, 0) << object.name;
        EXPECT_FALSE(object.columns.empty()) << object.name;
        EXPECT_GE(object.copySeconds, 0) << object.name;
    }
    const auto events = std::find_if(shop.objects.begin(), shop.objects.end(),
                                     [](const AssessedObject& o) { return o.name == "events"; });
    ASSERT_NE(events, shop.objects.end());
    EXPECT_EQ(events->rows, std::stoll(test::QueryRows("select count(*) from shop.events")[0][0]));
    // The measured read sampled the largest tables and found rows.
    EXPECT_FALSE(shop.measurement.tables.empty());
    EXPECT_GT(shop.measurement.rows, 0);
    EXPECT_GT(shop.measurement.seconds, 0);
    EXPECT_GT(shop.copySeconds, 0);
    EXPECT_NE(run.assessment.sourceServer.find("MariaDB"), std::string::npos) << run.assessment.sourceServer;
}

TEST_F(AssessmentFromMariaDb, RefusalsRoutinesAndHostileNamesAreEachAnObject) {
    const std::string db = "vassess_" + std::to_string(getpid());
    test::RunMariaDbClient(
        "DROP DATABASE IF EXISTS " + db + "; CREATE DATABASE " + db + " COLLATE utf8mb4_bin; USE " + db + ";"
        "CREATE TABLE `<script>alert(1)</script>` (id int PRIMARY KEY, `a\"b` varchar(10) COLLATE utf8mb4_unicode_ci);"
        "CREATE TABLE plain (id int PRIMARY KEY, note text);"
        "INSERT INTO plain VALUES (1, 'x'), (2, 'y');"
        "CREATE VIEW matching AS SELECT id FROM plain WHERE note REGEXP '^x';"
        "CREATE PROCEDURE touch() SELECT 1;"
        "CREATE FUNCTION twice(x int) RETURNS int DETERMINISTIC RETURN x * 2;"
        "CREATE TRIGGER stamp BEFORE INSERT ON plain FOR EACH ROW SET NEW.note = 'z';");
    AssessmentRun run = Assess({db});
    test::RunMariaDbClient("DROP DATABASE " + db);
    ASSERT_EQ(run.assessment.databases.size(), 1u);
    const DatabaseAssessment& assessed = run.assessment.databases[0];
    const std::map<std::string, std::string> expected = {
        {"table <script>alert(1)</script>", "ready"}, {"table plain", "ready"},
        {"view matching", "refused"},                 {"procedure touch", "ready"},
        {"function twice", "ready"},                  {"trigger plain.stamp", "adjusted"},
    };
    EXPECT_EQ(Outcomes(assessed), expected);
    for (const AssessedObject& object : assessed.objects) {
        if (object.name == "matching") {
            EXPECT_EQ(object.construct, "REGEXP");
        }
        if (object.name == "plain") {
            EXPECT_EQ(object.rows, 2);
            // Its text compares binary on the source (the database's _bin collation), and so it
            // does on the target: no change of meaning.
            EXPECT_TRUE(object.adjustments.empty());
            ASSERT_EQ(object.columns.size(), 2u);
            EXPECT_EQ(object.columns[0].collation, "");  // an int holds no text
            EXPECT_EQ(object.columns[0].targetCollation, "");
            EXPECT_EQ(object.columns[1].collation, "utf8mb4_bin");  // the table's
            EXPECT_EQ(object.columns[1].targetCollation, "Latin1_General_100_BIN2");
        }
        if (object.name.rfind("<script>", 0) == 0) {
            ASSERT_EQ(object.columns.size(), 2u);
            EXPECT_EQ(object.columns[1].name, "a\"b");
            EXPECT_EQ(object.columns[1].collation, "utf8mb4_unicode_ci");  // its own
            EXPECT_EQ(object.columns[1].targetCollation, "Latin1_General_CI_AI");  // accents ignored
        }
    }
    EXPECT_TRUE(AssessmentFails(run.assessment, "refusals"));
    const std::string html = AssessmentHtml(run.assessment);
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
}

// The assessment shows what the migration would do with the user's choices: every statement in
// the target schema, each column a rule chose listed with its rule, and a table whose values a
// rule's type cannot hold refused with the rule's line and the value, as the migration would stop.
TEST_F(AssessmentFromMariaDb, TheTypeMapAndTheTargetSchemaShapeWhatItShows) {
    const std::string db = "vassess_map_" + std::to_string(getpid());
    test::RunMariaDbClient("DROP DATABASE IF EXISTS " + db + "; CREATE DATABASE " + db + "; USE " + db + ";"
                           "CREATE TABLE fits (id int unsigned PRIMARY KEY, flag tinyint(1), "
                           "label varchar(20) COLLATE utf8mb4_bin);"
                           "INSERT INTO fits VALUES (1, 1, 'a'), (4000000000 div 2, 0, 'B');"
                           "CREATE TABLE too_big (id int PRIMARY KEY, n int unsigned);"
                           "INSERT INTO too_big VALUES (1, 5), (2, 70000);");
    const std::string map = ::testing::TempDir() + "vassess_map.txt";
    {
        std::ofstream file(map);
        file << "# the user's choices\ntinyint(1) = bit\n" << db << ".fits.id = int\n"
             << db << ".too_big.n = smallint\n";
    }
    TaskOptions choices;
    choices.targetSchema = "sales";
    choices.typeMap = map;
    AssessmentRun run = Assess({db}, choices);
    test::RunMariaDbClient("DROP DATABASE " + db);
    ASSERT_EQ(run.failure, "");
    ASSERT_EQ(run.assessment.databases.size(), 1u);
    const DatabaseAssessment& assessed = run.assessment.databases[0];
    EXPECT_EQ(Outcomes(assessed), (std::map<std::string, std::string>{{"table fits", "ready"},
                                                                      {"table too_big", "refused"}}));
    for (const AssessedObject& object : assessed.objects) {
        if (object.name == "fits") {
            ASSERT_FALSE(object.statements.empty());
            EXPECT_NE(object.statements[0].find("CREATE TABLE sales.fits ("), std::string::npos)
                << object.statements[0];
            ASSERT_EQ(object.columns.size(), 3u);
            EXPECT_EQ(object.columns[0].targetType, "int");
            EXPECT_EQ(object.columns[0].overrideApplied, "type map line 3: " + db + ".fits.id = int");
            EXPECT_EQ(object.columns[1].targetType, "bit");
            EXPECT_EQ(object.columns[1].overrideApplied, "type map line 2: tinyint(1) = bit");
            EXPECT_EQ(object.columns[2].overrideApplied, "");
            EXPECT_EQ(object.columns[2].targetCollation, "Latin1_General_100_BIN2");
        } else {
            EXPECT_TRUE(object.statements.empty());
            EXPECT_NE(object.construct.find("Type map line 4 (" + db + ".too_big.n = smallint)"), std::string::npos)
                << object.construct;
            EXPECT_NE(object.construct.find("70000"), std::string::npos) << object.construct;
        }
    }
    const std::string html = AssessmentHtml(run.assessment);
    EXPECT_NE(html.find("int (type map line 3: "), std::string::npos);

    // A type map that cannot be read stops the assessment with its reason.
    choices.typeMap = map + ".missing";
    EXPECT_EQ(Assess({"shop"}, choices).failure, "type map " + map + ".missing cannot be read");
}

TEST_F(AssessmentFromMariaDb, ADatabaseThatCannotBeReadSaysWhy) {
    AssessmentRun run = Assess({"vassess_missing_database"});
    ASSERT_EQ(run.failure, "");
    ASSERT_EQ(run.assessment.databases.size(), 1u);
    EXPECT_NE(run.assessment.databases[0].failure, "");
    EXPECT_TRUE(run.assessment.databases[0].objects.empty());
    EXPECT_TRUE(AssessmentFails(run.assessment, "refusals"));
}

TEST_F(AssessmentFromMariaDb, ASourceThatCannotBeReachedIsAFailure) {
    ConnectionSettings wrong = SourceSettings();
    wrong.password += "-wrong";
    AssessmentRun run = AssessSource(log_, wrong, [](TreeSide) { return NewOdbcConnection(); }, {"shop"});
    EXPECT_EQ(run.failure, "cannot connect to the source");
    EXPECT_TRUE(run.assessment.databases.empty());
}

}  // namespace
}  // namespace velmora
