// velmora-cli as a user runs it: against the real local MariaDB, into --target-script folders;
// every script statement is parsed by the T-SQL oracle.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/CliFixture.h"
#include "support/LocalMariaDb.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

using CliTest = test::CliFixture;
using test::CliResult;
using test::ReadFile;

TEST_F(CliTest, EveryMigrateKindWritesAScriptThatParses) {
    struct Case {
        std::string arguments;
        std::string script;
        std::vector<std::string> firstStatements;
        // The classic translation skips the table `order notes` (its name holds a blank): a
        // migration of all tables names it and ends FAILURE, exit code 1.
        bool skipsATable = false;
    };
    const Case cases[] = {
        // A database migration's script makes its database where it is missing.
        {"migrate database shop sales", "sales.sql", {"IF DB_ID(N'sales') IS NULL\n    create database sales", "use sales;"}, true},
        {"migrate clone shop", "shop.sql", {"create database shop;", "use shop;"}, true},
        {"migrate tables shop sales2", "sales2.sql", {"use sales2;"}, true},
        {"migrate views shop sales3", "sales3.sql",
         {"use sales3;", "create view [active products] as select"}},
        {"migrate table shop customers sales4", "sales4.sql",
         {"use sales4;", "create table customers ("}},
        {"migrate view shop order_totals sales5", "sales5.sql",
         {"use sales5;", "create view order_totals as select"}},
    };
    for (const Case& c : cases) {
        CliResult result =
            Cli(c.arguments + " --yes --translation classic --target-script '" + home_ + "/out'");
        EXPECT_EQ(result.exitCode, c.skipsATable ? 1 : 0)
            << c.arguments << "\n" << result.err << result.out;
        const std::string script = home_ + "/out/" + c.script;
        std::vector<std::string> statements = ScriptStatements(script);
        ASSERT_GT(statements.size(), c.firstStatements.size()) << c.arguments;
        EXPECT_EQ(statements[0].rfind("-- Velmora migration script", 0), 0u);
        for (size_t i = 0; i < c.firstStatements.size(); ++i) {
            EXPECT_EQ(statements[i + 1].rfind(c.firstStatements[i], 0), 0u)
                << c.arguments << ": " << statements[i + 1];
        }
        // enum and set columns pass through on purpose and are refused by SQL Server. The view
        // order_lines keeps MySQL's parenthesised joins, "from ((a join b on ..) join c on ..)":
        // SQL Server accepts a parenthesised joined table, the grammar of the oracle does not.
        ExpectScriptParses(script, {"create table products", "create table shipments",
                                    "create view order_lines"});
        if (c.skipsATable) {
            EXPECT_NE(result.out.find("TABLE: [shop].[order notes] SKIPPED: its name holds a blank"),
                      std::string::npos);
            EXPECT_NE(ReadFile(script).find("\n-- NOT CREATED: table [shop].[order notes]\n-- Why: skipped: "),
                      std::string::npos);
            EXPECT_NE(result.out.find("Operation FAILURE!"), std::string::npos);
        } else {
            EXPECT_NE(result.out.find("Operation completed SUCCESSFULLY!"), std::string::npos);
        }
    }
}

// The default translation, Full: every kind of migration of the sample ends SUCCESS (the table
// whose name holds a blank, the enum and set columns and every view included), and every
// statement of the script parses as T-SQL, without exceptions.
TEST_F(CliTest, FullModeMigratesTheWholeSampleIntoAScriptThatParses) {
    const char* const kinds[] = {"migrate database shop sales", "migrate clone shop",
                                 "migrate view shop order_lines sales2"};
    const char* const scripts[] = {"sales.sql", "shop.sql", "sales2.sql"};
    for (size_t i = 0; i < std::size(kinds); ++i) {
        CliResult result = Cli(std::string(kinds[i]) + " --yes --target-script '" + home_ +
                               "/out' --report '" + home_ + "/report.json'");
        EXPECT_EQ(result.exitCode, 0) << kinds[i] << "\n" << result.err << result.out;
        EXPECT_NE(result.out.find("Operation completed SUCCESSFULLY!"), std::string::npos);
        ExpectScriptParses(home_ + "/out/" + scripts[i], {});
    }
    // Every row of the large table is in the script, in multi-row statements.
    size_t rows = 0;
    for (const std::string& statement : ScriptStatements(home_ + "/out/shop.sql")) {
        if (statement.rfind("INSERT INTO events (", 0) != 0) continue;
        rows += 1;
        for (size_t at = statement.find("),("); at != std::string::npos;
             at = statement.find("),(", at + 3)) {
            ++rows;
        }
    }
    auto count = test::QueryRows("select count(*) from shop.events");
    ASSERT_EQ(count.size(), 1u);
    EXPECT_EQ(std::to_string(rows), count[0][0]);
    EXPECT_NE(ReadFile(home_ + "/out/shop.sql").find("CREATE TABLE [order notes]"),
              std::string::npos);
}

TEST_F(CliTest, TheScriptHoldsEveryRowAndTheReportCountsThem) {
    CliResult result = Cli("migrate table shop events sales --yes --translation classic "
                           "--target-script '" + home_ + "/out' --report '" + home_ +
                           "/report.json'");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::vector<std::string> statements = ScriptStatements(home_ + "/out/sales.sql");
    size_t inserts = 0;
    for (const std::string& statement : statements) {
        if (statement.rfind("insert into events values (", 0) == 0) ++inserts;
    }
    auto rows = test::QueryRows("select count(*) from shop.events");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(std::to_string(inserts), rows[0][0]);
    std::string report = ReadFile(home_ + "/report.json");
    EXPECT_NE(report.find("\"kind\": \"table\", \"name\": \"events\", \"outcome\": \"migrated\", "
                          "\"reason\": \"\", \"resume\": \"\", \"adjustments\": [], \"rowsRead\": " +
                          rows[0][0] +
                          ", \"rowsWritten\": " + rows[0][0] + ", \"rowsFailed\": 0"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("\"exitCode\": 0"), std::string::npos);
    EXPECT_NE(report.find("\"formatVersion\": 2"), std::string::npos);
    EXPECT_NE(report.find("\"tool\": {\"name\": \"velmora-cli\", \"version\": \""), std::string::npos);
    EXPECT_NE(report.find("\"state\": \"SUCCESS\""), std::string::npos);
    EXPECT_NE(result.out.find("[events] 1000 records converted!"), std::string::npos);
}

TEST_F(CliTest, ExcludedTablesAreLeftOutAndFollowSaysWhatItCannotDo) {
    CliResult result = Cli("migrate database shop sales --yes --exclude events,customers --target-script '" +
                           home_ + "/out'");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string script = ReadFile(home_ + "/out/sales.sql");
    EXPECT_EQ(script.find("CREATE TABLE events "), std::string::npos);
    EXPECT_EQ(script.find("CREATE TABLE customers "), std::string::npos);
    EXPECT_NE(script.find("CREATE TABLE orders "), std::string::npos);
    EXPECT_NE(result.out.find("TABLE: [shop].[events] left out (--exclude)"), std::string::npos) << result.out;
    const struct {
        const char* arguments;
        const char* error;
    } refusals[] = {
        {"migrate table shop events sales --exclude x", "--exclude works with migrate database or tables"},
        {"migrate tables shop sales --follow", "--follow works with migrate database"},
        {"migrate database shop sales --follow --target-script out", "--follow needs a target server"},
        {"migrate database shop sales --follow --part 1/2", "--follow does not work with a split run"},
        {"migrate database shop sales --exclude ,x", "--exclude takes table names separated by commas"},
        {"follow shop", "usage: velmora-cli follow SRC_DB TGT_DB"},
    };
    for (const auto& c : refusals) {
        CliResult refused = Cli(c.arguments);
        EXPECT_EQ(refused.exitCode, 2) << c.arguments;
        EXPECT_NE(refused.err.find(c.error), std::string::npos) << c.arguments << ": " << refused.err;
    }
}

TEST_F(CliTest, VerifyRefusesWhatItCannotDo) {
    // A verification reads the target server; a script cannot answer.
    CliResult script = Cli("verify shop sales --target-script '" + home_ + "/out'");
    EXPECT_EQ(script.exitCode, 2);
    EXPECT_NE(script.err.find("verify reads the target server"), std::string::npos) << script.err;
    CliResult migrate = Cli("migrate table shop events sales --yes --verify full --target-script '" +
                            home_ + "/out'");
    EXPECT_EQ(migrate.exitCode, 2);
    CliResult mode = Cli("verify shop sales --verify everything");
    EXPECT_EQ(mode.exitCode, 2);
    EXPECT_NE(mode.err.find("--verify takes count, full or none"), std::string::npos) << mode.err;
    CliResult words = Cli("verify shop");
    EXPECT_EQ(words.exitCode, 2);
    EXPECT_NE(words.err.find("usage: velmora-cli verify SRC_DB TGT_DB [TABLE]"), std::string::npos);
}

TEST_F(CliTest, ExitCodes) {
    // A stored condition that the server refuses makes the row copy fail: the task fails.
    std::ofstream(home_ + "/Condition.cfg") << "[shop]\norders=no_such_column > 1\n";
    CliResult failed = Cli("migrate table shop orders sales --yes --target-script '" + home_ + "/out'");
    EXPECT_EQ(failed.exitCode, 1) << failed.err << failed.out;
    EXPECT_NE(failed.out.find("Operation FAILURE!"), std::string::npos);

    CliResult usage = Cli("migrate everything shop sales --yes --target-script '" + home_ + "/out'");
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_NE(usage.err.find("unknown migration 'everything'"), std::string::npos);

    CliResult jobs = Cli("migrate database shop sales --yes --jobs 0 --target-script '" + home_ + "/out'");
    EXPECT_EQ(jobs.exitCode, 2);
    EXPECT_NE(jobs.err.find("--jobs takes a number from 1 to 16, not '0'"), std::string::npos) << jobs.err;

    CliResult bulk = Cli("migrate database shop sales --yes --bulk on --target-script '" + home_ + "/out'");
    EXPECT_EQ(bulk.exitCode, 2);
    EXPECT_NE(bulk.err.find("--bulk takes auto or off, not 'on'"), std::string::npos) << bulk.err;

    // A split run's options are checked before anything is connected.
    const std::vector<std::pair<std::string, std::string>> split = {
        {"migrate database shop sales --part 0/3", "--part takes I/N, share I of N (1 <= I <= N <= 1000), not '0/3'"},
        {"migrate database shop sales --part 4/3", "not '4/3'"},
        {"migrate database shop sales --part 1/2 --finish", "--part and --finish are separate runs"},
        {"migrate table shop orders sales --part 1/2", "--part works with migrate database"},
        {"migrate tables shop sales --finish", "--finish works with migrate database"},
        {"migrate database shop sales --finish --target-script out", "--finish needs a target server, not --target-script"},
        {"migrate database shop sales --part 1/2 --translation classic", "--part works in Full mode"},
    };
    for (const auto& [command, error] : split) {
        CliResult refused = Cli(command + " --yes");
        EXPECT_EQ(refused.exitCode, 2) << command;
        EXPECT_NE(refused.err.find(error), std::string::npos) << command << ": " << refused.err;
    }

    CliResult noVariable = Cli("migrate database shop sales --yes --target-script '" + home_ +
                                   "/out' --source 127.0.0.1:33077 --source-password-env NOT_SET_ANYWHERE",
                               false);
    EXPECT_EQ(noVariable.exitCode, 2);
    EXPECT_NE(noVariable.err.find("named by --source-password-env is not set"), std::string::npos)
        << noVariable.err;

    CliResult unreachable = Cli("migrate database shop sales --yes --target-script '" + home_ +
                                    "/out' --source 127.0.0.1:1 --source-user x",
                                false);
    EXPECT_EQ(unreachable.exitCode, 2);
    EXPECT_NE(unreachable.err.find("Source Connection error!"), std::string::npos) << unreachable.err;

    CliResult password = Cli("migrate database shop sales --source-password secret", false);
    EXPECT_EQ(password.exitCode, 2);
    EXPECT_NE(password.err.find("is not accepted"), std::string::npos);
}

TEST_F(CliTest, WithoutYesAndWithoutTerminalTheQuestionStopsTheCommand) {
    CliResult result = Cli("migrate database shop sales --target-script '" + home_ + "/out'");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("Convert database [shop] into Target database [sales]?"),
              std::string::npos);
    EXPECT_NE(result.err.find("run with --yes"), std::string::npos) << result.err;
    EXPECT_EQ(result.out.find("Operation"), std::string::npos);
}

TEST_F(CliTest, BackupRefusesTheScriptTargetAndConditionsRoundTrip) {
    CliResult backup = Cli("backup database sales --to /tmp --target-script '" + home_ + "/out'");
    EXPECT_EQ(backup.exitCode, 2);
    EXPECT_NE(backup.err.find("cannot run against --target-script"), std::string::npos);

    CliResult test = Cli("condition test shop orders \"id > 2\"");
    EXPECT_EQ(test.exitCode, 0) << test.err;
    EXPECT_NE(test.out.find("Test successfully!"), std::string::npos) << test.out;
    EXPECT_NE(test.out.find(" 2 Records can be converted."), std::string::npos) << test.out;
    CliResult set = Cli("condition set shop orders \"id > 2\"");
    EXPECT_EQ(set.exitCode, 0) << set.err;
    CliResult show = Cli("condition show shop orders", false);
    EXPECT_EQ(show.out, "id > 2\n");
    CliResult bad = Cli("condition set shop orders \"no_such_column = 1\"");
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.out.find("Test failed!"), std::string::npos);
    EXPECT_EQ(Cli("condition show shop orders", false).out, "id > 2\n");
}

TEST_F(CliTest, TreeAndDriversAndTranslate) {
    CliResult tree = Cli("tree source --source-database shop");
    EXPECT_EQ(tree.exitCode, 0) << tree.err;
    EXPECT_NE(tree.out.find("\n  shop\n    Tables\n"), std::string::npos) << tree.out;
    EXPECT_NE(tree.out.find("      customers\n"), std::string::npos);
    CliResult drivers = Cli("drivers", false);
    EXPECT_EQ(drivers.exitCode, 0);
    EXPECT_NE(drivers.out.find("MariaDB Unicode"), std::string::npos) << drivers.out;
    // Two blocks, each under the name of its side, the MySQL drivers in the first.
    EXPECT_EQ(drivers.out.rfind("MySQL side (the source):\n", 0), 0u) << drivers.out;
    const size_t targetSide = drivers.out.find("\nSQL Server side (the target):\n");
    EXPECT_NE(targetSide, std::string::npos) << drivers.out;
    EXPECT_LT(drivers.out.find("MariaDB Unicode"), targetSide) << drivers.out;
    CliResult help = Cli("migrate --help", false);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("migrate clone SRC"), std::string::npos);
    EXPECT_NE(help.out.find("--translation full|classic"), std::string::npos) << help.out;
    EXPECT_EQ(Cli("help migrate", false).out, help.out);
}

// MariaDB database names are case-sensitive on Linux: the command line keeps the case it is
// given (it once lower-cased --source-database and failed with "Unknown database 'casedb_..'").
TEST_F(CliTest, DatabaseNamesKeepTheirCase) {
    const std::string database = "CaseDb_" + std::to_string(getpid());
    test::RunMariaDbClient("DROP DATABASE IF EXISTS " + database + "; CREATE DATABASE " +
                           database + "; CREATE TABLE " + database +
                           ".Items (id int PRIMARY KEY, name varchar(20)); INSERT INTO " +
                           database + ".Items VALUES (1, 'one');");
    CliResult result = Cli("migrate table " + database + " Items Sales --yes --target-script '" +
                           home_ + "/out' --source-database " + database +
                           " --target-database Sales");
    test::RunMariaDbClient("DROP DATABASE IF EXISTS " + database + ";");
    EXPECT_EQ(result.exitCode, 0) << result.err << result.out;
    std::vector<std::string> statements = ScriptStatements(home_ + "/out/Sales.sql");
    ASSERT_GT(statements.size(), 2u) << result.err << result.out;
    EXPECT_EQ(statements[1], "use Sales;");
    EXPECT_NE(result.out.find("TABLE: [" + database + "].[Items] Converting"), std::string::npos);
    EXPECT_NE(result.out.find("[Items] 1 records converted"), std::string::npos) << result.out;
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// Without a terminal the output is the log lines and the summary, nothing else: standard output
// equals the --log-file copy followed by the summary table, with no carriage return or escape.
TEST_F(CliTest, WithoutATerminalTheOutputIsThePlainLogLines) {
    const std::string log = home_ + "/run.log";
    CliResult result = Cli("migrate table shop events sales --yes --target-script '" + home_ +
                           "/out' --log-file '" + log + "' --report '" + home_ + "/report.json'");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string logged = ReadFile(log);
    ASSERT_NE(logged.find("[events] 1000 records converted!\n"), std::string::npos) << logged;
    ASSERT_EQ(result.out.rfind(logged, 0), 0u) << result.out;  // the log lines come first
    const std::string summary = result.out.substr(logged.size());
    EXPECT_EQ(summary.rfind("\nobject ", 0), 0u) << summary;
    for (const std::string* text : {&result.out, &result.err}) {
        EXPECT_EQ(text->find('\r'), std::string::npos);
        EXPECT_EQ(text->find('\033'), std::string::npos);
    }
    EXPECT_NE(ReadFile(home_ + "/report.json").find("\"version\": \"" VELMORA_VERSION "\""),
              std::string::npos);
    // A log file that cannot be written stops the command before any work.
    CliResult refused = Cli("migrate table shop events sales --yes --target-script '" + home_ +
                            "/out2' --log-file /nonexistent/folder/run.log");
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("cannot write the log file /nonexistent/folder/run.log: No such file"),
              std::string::npos)
        << refused.err;
    EXPECT_FALSE(std::filesystem::exists(home_ + "/out2/sales.sql"));
}

// On a real terminal (script(1) gives the program one) the live line replaces the count lines.
TEST_F(CliTest, OnATerminalTheLiveLineShowsTheTable) {
    if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "script(1) is missing";
    test::MariaDbAddress db = test::LocalMariaDb();
    const std::string command =
        "cd '" + home_ + "' && VELMORA_HOME='" + home_ + "' PW='" + db.password + "' TERM=xterm " +
        "script -qec \"'" VELMORA_BINARY_DIR "/src/cli/velmora-cli' migrate table shop events sales "
        "--yes --target-script '" + home_ + "/out' --source " + db.host + ":" +
        std::to_string(db.port) + " --source-user " + db.user + " --source-password-env PW\" " +
        "/dev/null </dev/null >'" + home_ + "/tty.txt' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string shown = ReadFile(home_ + "/tty.txt");
    EXPECT_EQ(shown.find("1000 records converted!"), std::string::npos) << shown;
    EXPECT_NE(shown.find("events  "), std::string::npos) << shown;
    EXPECT_NE(shown.find(" rows  100%  "), std::string::npos) << shown;
    EXPECT_NE(shown.find("done in "), std::string::npos) << shown;
    EXPECT_NE(shown.find("records converted, convertion completed SUCCESSFULLY!"), std::string::npos);
}

}  // namespace
}  // namespace velmora
