// The command line's target schema, schema per database and type map: what a migrate or verify
// takes from the options and migrator.cfg, and what ends it before anything connects.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "CliOptions.h"
#include "CliTargetChoices.h"

namespace velmora::cli {
namespace {

class CliTargetChoicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() / ("velmora_choices_" + std::to_string(getpid()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = (folder_ / name).string();
        std::ofstream(path) << text;
        return path;
    }

    // The choices of a command line against migrator.cfg `config`; the error or "".
    std::string Apply(const std::vector<std::string>& args, const std::string& config, Options& options,
                      std::vector<std::string>* sources = nullptr) {
        ParseResult parsed = ParseCommandLine(args);
        EXPECT_EQ(parsed.error, "");
        std::string error;
        std::vector<std::string> databases = SourceDatabasesOf(parsed.options, parsed.options.words.at(1), error);
        if (!error.empty()) return error;
        if (sources) *sources = databases;
        return ApplyTargetChoices(parsed.options, Write("migrator.cfg", config), databases, options);
    }

    std::filesystem::path folder_;
};

TEST_F(CliTargetChoicesTest, OptionsWinOverTheConfigFile) {
    const std::string map = Write("good.map", "tinyint(1) = bit\n");
    Options options;
    EXPECT_EQ(Apply({"migrate", "database", "shop", "sales"},
                    "[Public]\nTargetSchema=archive\nTypeMap=" + map + "\n", options), "");
    EXPECT_EQ(options.targetSchema, "archive");
    EXPECT_EQ(options.typeMap, map);
    EXPECT_TRUE(options.schemaDatabases.empty());
    Options overridden;
    EXPECT_EQ(Apply({"migrate", "database", "shop", "sales", "--target-schema", "order archive"},
                    "[Public]\nTargetSchema=archive\n", overridden), "");
    EXPECT_EQ(overridden.targetSchema, "order archive");
    Options none;
    EXPECT_EQ(Apply({"migrate", "database", "shop", "sales"}, "[Public]\n", none), "");
    EXPECT_EQ(none.targetSchema, "");
    EXPECT_EQ(none.typeMap, "");
}

TEST_F(CliTargetChoicesTest, SchemaPerDatabaseListsTheSources) {
    Options options;
    std::vector<std::string> sources;
    EXPECT_EQ(Apply({"migrate", "database", "shop,crm,Küche", "sales", "--schema-per-database"}, "", options, &sources),
              "");
    EXPECT_EQ(sources, (std::vector<std::string>{"shop", "crm", "Küche"}));
    EXPECT_EQ(options.schemaDatabases, sources);
    EXPECT_EQ(options.targetSchema, "shop");
}

TEST_F(CliTargetChoicesTest, WhatEndsTheCommand) {
    const std::string bad = Write("bad.map", "# fine\nint unsigned = int\njson = nvarchar(5000)\n");
    struct Row {
        std::vector<std::string> args;
        std::string config;
        std::string error;
    };
    const Row rows[] = {
        {{"migrate", "database", "shop,crm", "sales"}, "", "only with --schema-per-database"},
        {{"migrate", "database", "shop,,crm", "sales", "--schema-per-database"}, "", "an empty database name"},
        {{"migrate", "database", "shop,shop", "sales", "--schema-per-database"}, "", "named twice"},
        {{"migrate", "database", "shop,crm", "sales", "--schema-per-database", "--target-schema", "x"}, "",
         "leave out --target-schema"},
        {{"migrate", "database", "shop", "sales", "--target-schema", ""}, "", "a schema needs a name"},
        {{"migrate", "database", "shop", "sales", "--target-schema", "a\tb"}, "", "control character"},
        {{"migrate", "database", "shop", "sales", "--target-schema", std::string(129, 's')}, "", "at most 128"},
        {{"migrate", "database", "shop", "sales", "--target-schema", "x"}, "[Public]\nTranslation=Classic\n",
         "needs the Full translation"},
        {{"migrate", "database", "shop", "sales", "--type-map", bad}, "", "type map " + bad + ": line 3: 'nvarchar(5000)'"},
        {{"migrate", "database", "shop", "sales", "--type-map", bad + ".missing"}, "", "cannot be read"},
        {{"migrate", "database", "shop", "sales"}, "[Public]\nTypeMap=" + bad + "\n", "line 3"},
    };
    for (const Row& row : rows) {
        Options options;
        if (row.config.find("Classic") != std::string::npos) options.translation = TranslationMode::Classic;
        const std::string error = Apply(row.args, row.config, options);
        EXPECT_NE(error.find(row.error), std::string::npos) << row.error << " -> " << error;
    }
}

}  // namespace
}  // namespace velmora::cli
