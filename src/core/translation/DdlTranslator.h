// DdlTranslator: turns a MySQL "show create table" text into a SQL Server CREATE TABLE statement
// by a fixed sequence of plain edits and an ordered chain of pattern substitutions. It parses no
// SQL; keys are dropped here and created afterwards from the source's index list. Pure and
// stateless; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct RewriteRule {
    const char* pattern;
    const char* replacement;
};

// The table rule chain, in the order it runs.
const std::vector<RewriteRule>& TableRuleChain();

// Lower-cased definition text with every backquoted identifier written as the target needs it
// (bare when plain, [bracketed] otherwise). String literals are copied unchanged.
std::string RequoteIdentifiers(std::string_view lowered);

// The translated statement followed by one line feed.
std::string RewriteTableDefinition(std::string_view definition);

}  // namespace velmora
