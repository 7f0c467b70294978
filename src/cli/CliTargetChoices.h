// CliTargetChoices: the target schema, the schema per source database and the type map of a
// migrate or verify command, from the command line and migrator.cfg, checked before anything
// connects: a bad schema name, a type map that cannot be read (its line and reason) or a
// combination that cannot work ends the command with exit code 2.
//
// Main thread.
#pragma once

#include <string>
#include <vector>

#include "CliOptions.h"
#include "config/Options.h"

namespace velmora::cli {

// The source databases of SRC: one, or with --schema-per-database a comma-separated list
// (shop,crm). `error` says what is wrong ("" when nothing is).
std::vector<std::string> SourceDatabasesOf(const CliOptions& options, const std::string& word, std::string& error);

// Fills options.targetSchema, options.typeMap and options.schemaDatabases from --target-schema /
// [Public] TargetSchema=, --type-map / [Public] TypeMap= and the source databases; "" when they
// can be used, else the message.
std::string ApplyTargetChoices(const CliOptions& cli, const std::string& configPath,
                               const std::vector<std::string>& sources, Options& options);

// Why `name` cannot be a schema name ("" when it can): not empty, at most 128 characters, no
// control characters.
std::string SchemaNameProblem(const std::string& name);

}  // namespace velmora::cli
