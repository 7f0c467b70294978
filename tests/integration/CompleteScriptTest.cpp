// A migration script is complete: it makes its database where it is missing, and every object
// that was not created stands at its place as a comment block (what, why, a rewrite, the MySQL
// source) that the report lists too. The blocks hold hostile source text harmlessly.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/CliFixture.h"
#include "support/LocalMariaDb.h"

namespace velmora {
namespace {

using CompleteScript = test::CliFixture;
using test::ReadFile;

TEST_F(CompleteScript, RefusedObjectsStandAtTheirPlaceAndTheDatabaseIsMadeFirst) {
    const std::string db = "script_refusals_" + std::to_string(getpid());
    test::RunMariaDbClient("DROP DATABASE IF EXISTS " + db + "; CREATE DATABASE " + db + "; USE " + db +
                           "; CREATE TABLE t (id int PRIMARY KEY, name varchar(20));"
                           "CREATE VIEW a_view AS SELECT id FROM t;"
                           "CREATE VIEW b_refused AS SELECT id FROM t WHERE name REGEXP '^x\nGO\n*/';"
                           "CREATE VIEW c_view AS SELECT name FROM t;"
                           "\nDELIMITER //\nCREATE PROCEDURE p() BEGIN DECLARE s varchar(20) DEFAULT '*/\nGO\r\n';"
                           " CREATE TEMPORARY TABLE tmp LIKE t; END//\nDELIMITER ;\n");
    const auto result = Cli("migrate database " + db + " sales --yes --target-script '" + home_ +
                            "/out' --report '" + home_ + "/r.json'");
    test::RunMariaDbClient("DROP DATABASE IF EXISTS " + db + ";");
    EXPECT_EQ(result.exitCode, 1) << result.err;
    const std::string script = ReadFile(home_ + "/out/sales.sql");
    // The database first, guarded, then the rest.
    const size_t create = script.find("IF DB_ID(N'sales') IS NULL\n    create database sales");
    EXPECT_NE(create, std::string::npos) << script;
    EXPECT_LT(create, script.find("CREATE TABLE")) << script;
    // The refused view between the views created before and after it; the procedure with the
    // rewrite of its temporary table.
    const size_t refusedView = script.find("-- NOT CREATED: view [" + db + "].[b_refused]\n");
    ASSERT_NE(refusedView, std::string::npos) << script;
    EXPECT_LT(script.find("a_view"), refusedView);
    EXPECT_GT(script.find("CREATE VIEW c_view"), refusedView) << script;
    EXPECT_NE(script.find("-- Why: it cannot be translated: REGEXP\n", refusedView), std::string::npos);
    EXPECT_NE(script.find("--    CREATE ", refusedView), std::string::npos);
    const size_t procedure = script.find("-- NOT CREATED: procedure [" + db + "].[p]\n");
    ASSERT_NE(procedure, std::string::npos) << script;
    EXPECT_NE(script.find("-- Suggested rewrite: a temporary table becomes #t", procedure), std::string::npos);
    // Inside a block every line is a line comment: the source's GO and comment marks are inert.
    for (size_t block : {refusedView, procedure}) {
        const size_t end = script.find("-- END OF ", block);
        ASSERT_NE(end, std::string::npos);
        for (size_t at = block; at < end; at = script.find('\n', at) + 1) {
            EXPECT_EQ(script.compare(at, 3, "-- "), 0) << script.substr(at, 80);
        }
        const std::string text = script.substr(block, end - block);
        EXPECT_EQ(text.find("*/"), std::string::npos) << text;
    }
    // Every statement between the GO lines still parses.
    ExpectScriptParses(home_ + "/out/sales.sql", {});
    // The report lists the same refusals.
    const std::string report = ReadFile(home_ + "/r.json");
    for (const std::string name : {"b_refused", "p"}) {
        EXPECT_NE(report.find("\"name\": \"" + name + "\", \"outcome\": \"failed\", \"reason\": \"it cannot be translated"),
                  std::string::npos)
            << name << "\n" << report;
    }
}

}  // namespace
}  // namespace velmora
