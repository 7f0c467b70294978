// TaskChoices: what the user chose for a task's target beyond the built-in translation, made
// ready once per task before anything is created on the target:
// - the target schema (TaskOptions::targetSchema): created when missing, and every table, view,
//   key and row statement names it (the default schema dbo leaves every statement as it was);
// - the type map (TaskOptions::typeMap): read from its file, and each rule that applies to a
//   column checked against the column's values on the source (its minimum, maximum and longest
//   value), so that a type that cannot hold them stops the task before anything is created;
// - the target database's default collation, which decides where a text column needs its own.
//
// Runs on the scheduler thread with the task's connections; a peer copies what the task made
// ready and never prepares again.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "translation/ExpressionTranslator.h"
#include "translation/FullTableTranslator.h"
#include "translation/TypeMapRules.h"

namespace velmora {

struct ConversionReport;
struct WorkerContext;

struct TaskChoices {
    bool ready = false;
    bool failed = false;          // the type map or the schema could not be made ready
    bool valuesChecked = false;   // the type map's rules were checked for every table of the task
    bool schemaReady = false;     // the target schema exists (created when it was missing)
    std::shared_ptr<const TypeMap> typeMap;  // null without a type map
    std::string targetCollation;  // the target database's default; empty when unknown
    // Babelfish: the text columns of the source database in a foreign key (see
    // TableTranslationChoices); null elsewhere.
    std::shared_ptr<const std::set<std::pair<std::string, std::string>>> foreignKeyTextColumns;
    // What a translation picks its forms by (ExpressionNames): the target's major version (0
    // when not known) and the source's group_concat_max_len (0 when not known).
    int targetMajorVersion = 0;
    std::size_t groupConcatMaxLength = 0;
};

// The names a translation of `database`'s objects uses on the task's target.
ExpressionNames NamesForTask(const WorkerContext& context, std::string_view database);

// The type map and the target's default collation, for the table translation.
TableTranslationChoices TranslationChoicesOf(const WorkerContext& context);

// Reads the type map, checks that the target can work in the schema and reads the target's
// default collation (once per task). False, after the log lines and the report's failure, when
// the type map cannot be read or the schema cannot be used.
bool PrepareTaskChoices(WorkerContext& context, ConversionReport* report);

// The target schema, created when missing (once per task, after PrepareTaskChoices and the type
// map's check, so that a failed check creates nothing). False after the reason.
bool EnsureTargetSchema(WorkerContext& context, ConversionReport* report);

// Checks every type-map rule that applies to a column of `tables` against the column's values
// on the source. False, after one line per column that does not fit (database, table, column,
// the value, the rule's line), when any does not.
bool CheckTypeMapFits(WorkerContext& context, std::string_view database, const std::vector<std::string>& tables,
                      ConversionReport* report);

// The type-map rules that apply to a column of `table` and cannot hold its values on the source,
// one text each ("Type map line 3 (int unsigned = int): `shop`.`t`.`n` holds 4294967295, ..."):
// empty when every rule fits, or without a type map.
std::vector<std::string> TypeMapMisfits(WorkerContext& context, std::string_view database, const std::string& table);

// The text of a type-map file, or the reason it cannot be read ("type map FILE: line 3: ...").
TypeMapParse ReadTypeMapFile(const std::string& path);

}  // namespace velmora
