#include <gtest/gtest.h>

#include "CliOptions.h"
#include "config/Options.h"

namespace velmora::cli {
namespace {

TEST(CliOptions, CommandWordsAndOptionsInAnyOrder) {
    ParseResult parsed = ParseCommandLine({"--yes", "migrate", "table", "shop", "--source",
                                           "127.0.0.1:33077", "orders", "--target-script=/tmp/out",
                                           "sales", "--source-password-env", "PW"});
    ASSERT_EQ(parsed.error, "");
    const CliOptions& o = parsed.options;
    EXPECT_EQ(o.command, "migrate");
    EXPECT_EQ(o.words, (std::vector<std::string>{"table", "shop", "orders", "sales"}));
    EXPECT_TRUE(o.yes);
    EXPECT_EQ(o.source.server, "127.0.0.1:33077");
    EXPECT_EQ(o.source.passwordEnv, "PW");
    EXPECT_EQ(o.targetScript, "/tmp/out");
    EXPECT_FALSE(o.target.server.has_value());
}

TEST(CliOptions, VerifyAndResume) {
    ParseResult parsed = ParseCommandLine({"migrate", "database", "shop", "sales", "--verify=full",
                                           "--resume"});
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.verify, "full");
    EXPECT_TRUE(parsed.options.resume);
    EXPECT_EQ(parsed.options.words, (std::vector<std::string>{"database", "shop", "sales"}));
    EXPECT_EQ(ParseVerifyMode("COUNT"), VerifyMode::Count);
    EXPECT_EQ(ParseVerifyMode("none"), VerifyMode::None);
    EXPECT_EQ(ParseVerifyMode("all"), std::nullopt);
    EXPECT_EQ(ParseCommandLine({"verify", "shop", "sales", "--verify"}).error, "--verify needs a value");
}

// --jobs / -j and [Public] Jobs= take a number of tables from 1 to 16, nothing else.
TEST(CliOptions, Jobs) {
    EXPECT_EQ(ParseCommandLine({"migrate", "database", "shop", "sales", "-j", "4"}).options.jobs, "4");
    EXPECT_EQ(ParseCommandLine({"migrate", "database", "shop", "sales", "--jobs=3"}).options.jobs, "3");
    struct Case {
        const char* text;
        std::optional<int> jobs;
    };
    for (const Case& c : {Case{"1", 1}, Case{"16", 16}, Case{"2", 2}, Case{"0", std::nullopt},
                          Case{"17", std::nullopt}, Case{"-1", std::nullopt}, Case{"", std::nullopt},
                          Case{"4x", std::nullopt}, Case{"004", std::nullopt}}) {
        EXPECT_EQ(ParseJobs(c.text), c.jobs) << c.text;
    }
}

TEST(CliOptions, RefusesPasswordsAsArgumentValues) {
    for (const char* option : {"--source-password", "--target-password"}) {
        ParseResult parsed = ParseCommandLine({"migrate", option, "secret"});
        EXPECT_NE(parsed.error.find("is not accepted"), std::string::npos) << option;
        EXPECT_NE(parsed.error.find("-env VAR"), std::string::npos) << option;
    }
}

TEST(CliOptions, ReportsMissingValuesAndUnknownOptions) {
    EXPECT_EQ(ParseCommandLine({"backup", "--to"}).error, "--to needs a value");
    EXPECT_EQ(ParseCommandLine({"tree", "--colour"}).error, "unknown option --colour");
    ParseResult help = ParseCommandLine({"migrate", "--help"});
    EXPECT_EQ(help.error, "");
    EXPECT_TRUE(help.options.help);
    EXPECT_EQ(help.options.command, "migrate");
}

}  // namespace
}  // namespace velmora::cli

#include <iterator>
#include <set>
#include <sstream>

#include "BashCompletion.h"

namespace velmora::cli {
namespace {

TEST(CliOptions, VersionQuietLogFileAndTheTargetTlsChoices) {
    ParseResult parsed = ParseCommandLine({"-V", "migrate", "-q", "--log-file=/tmp/run.log",
                                           "--target-encrypt", "Strict",
                                           "--target-trust-server-certificate"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_TRUE(parsed.options.version);
    EXPECT_TRUE(parsed.options.quiet);
    EXPECT_EQ(parsed.options.logFile, "/tmp/run.log");
    EXPECT_EQ(parsed.options.target.encrypt, "strict");
    EXPECT_EQ(parsed.options.target.trustServerCertificate, true);
    EXPECT_FALSE(parsed.options.source.encrypt.has_value());
    EXPECT_EQ(ParseCommandLine({"--target-trust-server-certificate=no"}).options.target
                  .trustServerCertificate,
              false);
}

TEST(CliOptions, RefusesBadTlsValuesAndValuesOnFlags) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--target-encrypt", "maybe"},
         "--target-encrypt takes optional, mandatory or strict, not 'maybe'"},
        {{"--target-encrypt"}, "--target-encrypt needs a value"},
        {{"--target-trust-server-certificate=perhaps"},
         "--target-trust-server-certificate takes yes or no, not 'perhaps'"},
        {{"--quiet=yes"}, "--quiet takes no value"},
        {{"--source-encrypt", "strict"}, "unknown option --source-encrypt"},
    };
    for (const auto& [args, error] : cases) EXPECT_EQ(ParseCommandLine(args).error, error);
}

TEST(CliOptions, TranslateViewTakesTheTablesOfItsView) {
    ParseResult parsed = ParseCommandLine({"translate-view", "view.sql", "--table", "tables.sql"});
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.command, "translate-view");
    EXPECT_EQ(parsed.options.words, std::vector<std::string>{"view.sql"});
    EXPECT_EQ(parsed.options.tableFile, "tables.sql");
    EXPECT_EQ(ParseCommandLine({"translate-view", "--table"}).error, "--table needs a value");
    EXPECT_NE(BashCompletionScript().find("translate-table|translate-view|translate-routine) COMPREPLY=($(compgen -f"), std::string::npos);
    ParseResult routine = ParseCommandLine({"translate-routine", "trigger.sql", "--table", "table.sql"});
    ASSERT_TRUE(routine.error.empty()) << routine.error;
    EXPECT_EQ(routine.options.command, "translate-routine");
    EXPECT_EQ(routine.options.tableFile, std::optional<std::string>("table.sql"));
}

// The completion is written from the option table: every option is offered, and the options
// with a fixed set of values complete them.
TEST(CliOptions, TheCompletionOffersEveryOptionOfTheTable) {
    const std::string script = BashCompletionScript();
    // The words the completion offers for "-...".
    const std::string start = "COMPREPLY=($(compgen -W '";
    const size_t list = script.find(start + "--help");
    ASSERT_NE(list, std::string::npos) << script;
    const size_t from = list + start.size();
    std::istringstream words(script.substr(from, script.find('\'', from) - from));
    std::set<std::string> offered{std::istream_iterator<std::string>(words), {}};
    for (const OptionSpec& option : OptionTable()) {
        EXPECT_TRUE(offered.count(option.name)) << option.name;
        if (!option.shortName.empty()) {
            EXPECT_TRUE(offered.count(option.shortName)) << option.shortName;
        }
    }
    EXPECT_EQ(offered.size(), OptionTable().size() + 5);  // -h -V -y -q -j
    EXPECT_NE(script.find("--target-encrypt) COMPREPLY=($(compgen -W 'optional mandatory strict'"),
              std::string::npos);
    EXPECT_NE(script.find("--log-file) COMPREPLY=($(compgen -f"), std::string::npos);
    EXPECT_NE(script.find("migrate) COMPREPLY=($(compgen -W 'database clone tables views table view'"),
              std::string::npos);
    EXPECT_NE(script.find("complete -F _velmora_cli velmora-cli"), std::string::npos);
}

}  // namespace
}  // namespace velmora::cli
