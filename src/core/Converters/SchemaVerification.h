// SchemaVerification: proves that the target holds every object the migration should have made,
// not only the rows. What should be there comes from the Full translation of the source (each
// table's columns with their types, nullability, identity and defaults, its primary key, unique
// keys and indexes, its foreign keys with their actions and its checks; the views, functions,
// procedures and triggers the translation can make); what is there comes from the target's sys
// views (TargetSchema.h). Each object missing, extra or different is a log line and an entry of
// the report (its outcome "missing", "extra" or "different", the reason saying what differs),
// and a failure of the report, so the task ends FAILURE. What the translation refuses is not
// expected (the migration reported it already) and never counted as extra.
//
// Runs on the scheduler thread with the task's own sessions; both databases are selected.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Converters/ConversionReport.h"
#include "Converters/TargetSchema.h"
#include "translation/FullTableTranslator.h"

namespace velmora {

struct WorkerContext;

// One table as the translation makes it.
struct ExpectedTable {
    FullTableTranslation translation;
    TableModel model;
};

struct ExpectedSchema {
    std::vector<ExpectedTable> tables;
    std::vector<TargetModuleShape> modules;  // views, functions, procedures, triggers
    std::vector<std::string> refused;        // objects the translation cannot make, by name
};

// One object that is not as the migration should have made it.
struct SchemaDifference {
    std::string kind;   // "table", "column", "primary key", "index", "foreign key", "check", "default", "view", ...
    std::string name;   // "orders", "orders.id", "orders.fk_customer"
    std::string state;  // "missing", "extra" or "different"
    std::string detail; // what differs ("type nvarchar(50) expected, nvarchar(40) found")
};

// What to compare: every object of the database (extra tables and modules too), or only the
// tables named and their objects. The tables the user left out (--exclude) are neither expected
// nor extra.
struct SchemaScope {
    bool wholeDatabase = true;
    std::vector<std::string> tables;
    std::vector<std::string> excluded;
};

// The comparison itself; pure. Names compare without regard to case, as the target's do.
std::vector<SchemaDifference> CompareSchema(const ExpectedSchema& expected, const TargetSchemaShape& actual,
                                            const SchemaScope& scope = {});

// Reads what the migration of `database` should make (in the scope) from the source.
ExpectedSchema ReadExpectedSchema(WorkerContext& context, std::string_view database, const SchemaScope& scope);

// Compares and records every difference in `report`; in Classic mode the log says that the
// schema is compared in Full mode only.
void VerifySchema(WorkerContext& context, std::string_view database, const SchemaScope& scope,
                  ConversionReport& report);

}  // namespace velmora
