#include "CliTargetChoices.h"

#include <algorithm>

#include "Converters/TaskChoices.h"
#include "config/Configuration.h"
#include "translation/TypeMapping.h"

namespace velmora::cli {

std::string SchemaNameProblem(const std::string& name) {
    if (name.empty()) return "a schema needs a name";
    if (Utf16Length(name) > 128) return "a schema name takes at most 128 characters";
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) return "a schema name cannot hold a control character";
    }
    return "";
}

std::vector<std::string> SourceDatabasesOf(const CliOptions& options, const std::string& word, std::string& error) {
    std::vector<std::string> databases;
    if (!options.schemaPerDatabase) {
        if (word.find(',') != std::string::npos) {
            error = "several source databases (" + word + ") go into one target database only with "
                    "--schema-per-database";
        }
        return {word};
    }
    size_t start = 0;
    while (true) {
        size_t comma = word.find(',', start);
        std::string name = word.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (name.empty()) {
            error = "--schema-per-database: an empty database name in '" + word + "'";
            return {};
        }
        if (std::find(databases.begin(), databases.end(), name) != databases.end()) {
            error = "--schema-per-database: the database " + name + " is named twice";
            return {};
        }
        if (std::string why = SchemaNameProblem(name); !why.empty()) {
            error = "--schema-per-database: " + name + ": " + why;
            return {};
        }
        databases.push_back(name);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return databases;
}

std::string ApplyTargetChoices(const CliOptions& cli, const std::string& configPath,
                               const std::vector<std::string>& sources, Options& options) {
    if (cli.schemaPerDatabase && cli.targetSchema) {
        return "--schema-per-database names each schema after its source database: leave out --target-schema";
    }
    options.targetSchema = cli.targetSchema ? *cli.targetSchema : ReadTargetSchema(configPath);
    if (cli.targetSchema) {
        if (std::string why = SchemaNameProblem(*cli.targetSchema); !why.empty()) return "--target-schema: " + why;
    }
    if (cli.schemaPerDatabase) {
        options.targetSchema = sources.empty() ? "" : sources.front();
        options.schemaDatabases = sources;
    }
    options.typeMap = cli.typeMap ? *cli.typeMap : ReadTypeMapPath(configPath);
    const bool classic = options.translation != TranslationMode::Full;
    if (classic && (!options.targetSchema.empty() || cli.schemaPerDatabase)) {
        return "a target schema needs the Full translation (Classic writes its tables into dbo)";
    }
    if (!options.typeMap.empty()) {
        if (classic) return "--type-map needs the Full translation (Classic has a fixed chain of rules)";
        TypeMapParse parsed = ReadTypeMapFile(options.typeMap);
        if (!parsed.ok()) return parsed.error;
    }
    return "";
}

}  // namespace velmora::cli
