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
