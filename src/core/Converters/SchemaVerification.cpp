#include "Converters/SchemaVerification.h"

#include <algorithm>
#include <cctype>
#include <functional>

#include "Converters/ConversionDrivers.h"
#include "Converters/FullTableConversion.h"
#include "Converters/RoutineConversion.h"
#include "Converters/SourceQuery.h"
#include "Converters/WorkerContext.h"
#include "config/Configuration.h"
#include "translation/CreateTableParser.h"

namespace velmora {
namespace {

bool Same(std::string_view a, std::string_view b) { return AsciiLower(a) == AsciiLower(b); }

bool SameList(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const std::string& x, const std::string& y) { return Same(x, y); });
}

std::string List(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return "(" + text + ")";
}

template <typename T>
const T* Named(const std::vector<T>& items, std::string_view name) {
    for (const T& item : items) {
        if (Same(item.name, name)) return &item;
    }
    return nullptr;
}

// Objects of the program's own (a split run's markers, a follower's position) are never extra.
bool OwnObject(std::string_view name) { return AsciiLower(name).starts_with("velmora_"); }

std::string Action(const std::string& action) {
    return action.empty() || action == "RESTRICT" ? "NO ACTION" : action;
}

std::string Flag(bool on, const char* yes, const char* no) { return on ? yes : no; }

class Comparison {
public:
    explicit Comparison(const ExpectedSchema& expected) : expected_(expected) {}

    void Table(const ExpectedTable& table, const TargetTableShape* actual) {
        const std::string& name = table.translation.tableName;
        if (!actual) return Add("table", name, "missing");
        Columns(table, *actual);
        Keys(table, *actual);
        ForeignKeys(table, *actual);
        const size_t checks = table.translation.checks.size();
        if (actual->checks.size() != checks) {
            Add("check", name, actual->checks.size() < checks ? "missing" : "extra",
                std::to_string(checks) + " expected, " + std::to_string(actual->checks.size()) + " found");
        }
    }

    void ExtraTables(const TargetSchemaShape& actual, const std::function<bool(std::string_view)>& leftOut) {
        for (const TargetTableShape& table : actual.tables) {
            if (leftOut(table.name)) continue;
            bool expected = false;
            for (const ExpectedTable& e : expected_.tables) expected = expected || Same(e.translation.tableName, table.name);
            if (!expected && !Refused(table.name) && !OwnObject(table.name)) Add("table", table.name, "extra");
        }
    }

    void Modules(const TargetSchemaShape& actual, bool whole) {
        for (const TargetModuleShape& module : expected_.modules) {
            const TargetModuleShape* found = Find(actual.modules, module);
            if (!found) {
                Add(module.kind, module.name, "missing");
            } else if (!module.table.empty() && !Same(found->table, module.table)) {
                Add(module.kind, module.name, "different", "on table " + module.table + " expected, " + found->table + " found");
            }
        }
        if (!whole) return;
        for (const TargetModuleShape& module : actual.modules) {
            if (!Find(expected_.modules, module) && !Refused(module.name) && !OwnObject(module.name)) {
                Add(module.kind, module.name, "extra");
            }
        }
    }

    std::vector<SchemaDifference> differences;

private:
    void Add(const std::string& kind, const std::string& name, const std::string& state, const std::string& detail = "") {
        differences.push_back({kind, name, state, detail});
    }

    bool Refused(std::string_view name) const {
        for (const std::string& refused : expected_.refused) {
            if (Same(refused, name)) return true;
        }
        return false;
    }

    static const TargetModuleShape* Find(const std::vector<TargetModuleShape>& modules, const TargetModuleShape& wanted) {
        for (const TargetModuleShape& module : modules) {
            if (module.kind == wanted.kind && Same(module.name, wanted.name)) return &module;
        }
        return nullptr;
    }

    void Columns(const ExpectedTable& table, const TargetTableShape& actual) {
        const std::string& name = table.translation.tableName;
        for (const TargetColumn& column : table.translation.columns) {
            const std::string qualified = name + "." + column.name;
            const TargetColumnShape* found = Named(actual.columns, column.name);
            if (!found) {
                Add("column", qualified, "missing");
                continue;
            }
            std::string detail;
            auto differ = [&](const std::string& expected, const std::string& there) {
                if (expected != there) detail += (detail.empty() ? "" : "; ") + expected + " expected, " + there + " found";
            };
            if (column.written) differ(ComparableType(column.targetType), found->type);
            differ(Flag(!column.written, "computed", "not computed"), Flag(found->computed, "computed", "not computed"));
            if (column.written) differ(Flag(column.nullable, "NULL", "NOT NULL"), Flag(found->nullable, "NULL", "NOT NULL"));
            differ(Flag(column.identity, "IDENTITY", "no IDENTITY"), Flag(found->identity, "IDENTITY", "no IDENTITY"));
            if (!detail.empty()) Add("column", qualified, "different", detail);
            bool hasDefault = false;
            for (const auto& [defaulted, value] : table.translation.defaults) hasDefault = hasDefault || Same(defaulted, column.name);
            if (hasDefault != found->hasDefault) Add("default", qualified, hasDefault ? "missing" : "extra");
        }
        for (const TargetColumnShape& column : actual.columns) {
            if (!Named(table.translation.columns, column.name)) Add("column", name + "." + column.name, "extra");
        }
    }

    static std::vector<std::string> Parts(const IndexModel& index) {
        std::vector<std::string> columns;
        for (const KeyPart& part : index.parts) columns.push_back(part.column);
        return columns;
    }

    void Keys(const ExpectedTable& table, const TargetTableShape& actual) {
        const std::string& name = table.translation.tableName;
        const TargetIndexShape* primary = nullptr;
        for (const TargetIndexShape& index : actual.indexes) primary = index.primaryKey ? &index : primary;
        const IndexModel* expectedPrimary = nullptr;
        if (table.translation.createTable.find("PRIMARY KEY (") != std::string::npos) {
            for (const IndexModel& index : table.model.indexes) {
                if (index.kind == IndexModel::Kind::Primary) expectedPrimary = &index;
            }
        }
        if (expectedPrimary && !primary) Add("primary key", name, "missing", List(Parts(*expectedPrimary)));
        if (!expectedPrimary && primary) Add("primary key", name, "extra", List(primary->columns));
        if (expectedPrimary && primary && !SameList(Parts(*expectedPrimary), primary->columns)) {
            Add("primary key", name, "different", List(Parts(*expectedPrimary)) + " expected, " + List(primary->columns) + " found");
        }
        for (const std::string& indexName : table.translation.indexNames) {
            const IndexModel* model = nullptr;
            for (const IndexModel& index : table.model.indexes) {
                const std::string own = index.name.empty() && !index.parts.empty() ? index.parts.front().column : index.name;
                if (index.kind != IndexModel::Kind::Primary && Same(own, indexName)) model = &index;
            }
            const TargetIndexShape* found = Named(actual.indexes, indexName);
            const std::string qualified = name + "." + indexName;
            if (!found || found->primaryKey) {
                Add("index", qualified, "missing");
            } else if (model) {
                const bool unique = model->kind == IndexModel::Kind::Unique;
                const std::string expected = Flag(unique, "unique ", "") + List(Parts(*model));
                const std::string there = Flag(found->unique, "unique ", "") + List(found->columns);
                if (unique != found->unique || !SameList(Parts(*model), found->columns)) {
                    Add("index", qualified, "different", expected + " expected, " + there + " found");
                }
            }
        }
        for (const TargetIndexShape& index : actual.indexes) {
            bool expected = index.primaryKey;
            for (const std::string& indexName : table.translation.indexNames) expected = expected || Same(indexName, index.name);
            if (!expected) Add("index", name + "." + index.name, "extra", List(index.columns));
        }
    }

    void ForeignKeys(const ExpectedTable& table, const TargetTableShape& actual) {
        const std::string& name = table.translation.tableName;
        for (const ForeignKeyModel& key : table.translation.foreignKeyModels) {
            const TargetForeignKeyShape* found = Named(actual.foreignKeys, key.name);
            const std::string qualified = name + "." + key.name;
            if (!found) {
                Add("foreign key", qualified, "missing", List(key.columns) + " references " + key.referencedTable);
                continue;
            }
            const std::string expected = List(key.columns) + " references " + key.referencedTable + List(key.referencedColumns) +
                                         " ON DELETE " + Action(key.onDelete) + " ON UPDATE " + Action(key.onUpdate);
            const std::string there = List(found->columns) + " references " + found->referencedTable +
                                      List(found->referencedColumns) + " ON DELETE " + found->onDelete + " ON UPDATE " +
                                      found->onUpdate;
            if (!Same(expected, there)) Add("foreign key", qualified, "different", expected + " expected, " + there + " found");
        }
        for (const TargetForeignKeyShape& key : actual.foreignKeys) {
            if (!Named(table.translation.foreignKeyModels, key.name)) {
                Add("foreign key", name + "." + key.name, "extra", List(key.columns) + " references " + key.referencedTable);
            }
        }
    }

    const ExpectedSchema& expected_;
};

bool Excluded(const SchemaScope& scope, std::string_view table) {
    for (const std::string& name : scope.excluded) {
        if (Same(name, table)) return true;
    }
    return false;
}

bool InScope(const SchemaScope& scope, std::string_view table) {
    if (Excluded(scope, table)) return false;
    if (scope.wholeDatabase) return true;
    for (const std::string& name : scope.tables) {
        if (Same(name, table)) return true;
    }
    return false;
}

void ReadExpectedModules(WorkerContext& context, std::string_view database, ExpectedSchema& expected) {
    auto views = ReadSourceCatalog(context.Log(), context.SourceSession(), "VIEW", "Open views Error: ");
    for (const TableRecord& record : views ? *views : std::vector<TableRecord>{}) {
        if (record.tableType != "VIEW") continue;
        ViewStatement view = TranslateViewForTask(context, database, record.tableName);
        if (view.readFailure.empty() && view.untranslatable.empty()) {
            expected.modules.push_back({"view", record.tableName, ""});
        } else {
            expected.refused.push_back(record.tableName);
        }
    }
    const PreparedProgrammables prepared = PrepareDatabaseProgrammables(context, database);
    for (const auto* group : {&prepared.routines, &prepared.triggers}) {
        for (const PreparedRoutine& routine : *group) {
            if (routine.readFailure.empty() && routine.translation.ok()) {
                expected.modules.push_back({RoutineKindWord(routine.source.kind), routine.source.name, routine.source.table});
            } else {
                expected.refused.push_back(routine.source.name);
            }
        }
    }
}

}  // namespace

std::vector<SchemaDifference> CompareSchema(const ExpectedSchema& expected, const TargetSchemaShape& actual,
                                            const SchemaScope& scope) {
    Comparison comparison(expected);
    for (const ExpectedTable& table : expected.tables) {
        if (InScope(scope, table.translation.tableName)) comparison.Table(table, actual.FindTable(table.translation.tableName));
    }
    if (scope.wholeDatabase) {
        comparison.ExtraTables(actual, [&scope](std::string_view table) { return Excluded(scope, table); });
    }
    comparison.Modules(actual, scope.wholeDatabase);
    return std::move(comparison.differences);
}

ExpectedSchema ReadExpectedSchema(WorkerContext& context, std::string_view database, const SchemaScope& scope) {
    ExpectedSchema expected;
    auto tables = ReadSourceCatalog(context.Log(), context.SourceSession(), "TABLE", "Open tables Error: ");
    for (const TableRecord& record : tables ? *tables : std::vector<TableRecord>{}) {
        if (record.tableType == "VIEW" || !InScope(scope, record.tableName)) continue;
        std::string definition;
        std::string why;
        ExpectedTable table;
        table.translation = ReadTableFull(context, database, record.tableName, definition, why);
        ParsedTable parsed = ParseCreateTable(definition);
        if (!why.empty() || !parsed.ok()) {
            expected.refused.push_back(record.tableName);
            continue;
        }
        table.model = std::move(parsed.table);
        expected.tables.push_back(std::move(table));
    }
    if (scope.wholeDatabase) ReadExpectedModules(context, database, expected);
    return expected;
}

void VerifySchema(WorkerContext& context, std::string_view database, const SchemaScope& scope,
                  ConversionReport& report) {
    OperationLog& log = context.Log();
    const std::string db(database);
    if (context.options.translation != TranslationMode::Full) {
        log.WriteOutputLine("Schema of database [%s] not compared: the schema is compared in Full translation only",
                            db.c_str());
        return;
    }
    log.WriteOutputLine("Verify Schema of database [%s]", db.c_str());
    SchemaScope own = scope;
    own.excluded = context.options.exclude;
    const ExpectedSchema expected = ReadExpectedSchema(context, database, own);
    const TargetSchemaShape actual = ReadTargetSchema(context);
    if (!actual.error.empty()) {
        log.WriteOutputLine("Schema verification FAILED: %s", actual.error.c_str());
        report.AddFailure("schema of database " + db + ": " + actual.error);
        return;
    }
    const std::vector<SchemaDifference> differences = CompareSchema(expected, actual, own);
    for (const SchemaDifference& difference : differences) {
        const std::string detail = difference.detail.empty() ? "" : ": " + difference.detail;
        log.WriteOutputLine("SCHEMA %s %s %s%s", difference.kind.c_str(), difference.name.c_str(),
                            difference.state.c_str(), detail.c_str());
        TableReport entry;
        entry.kind = difference.kind;
        entry.database = db;
        entry.name = difference.name;
        entry.schemaState = difference.state;
        entry.failure = difference.detail;
        report.tables.push_back(std::move(entry));
        report.AddFailure("schema: " + difference.kind + " " + difference.name + " " + difference.state + detail);
    }
    log.WriteOutputLine("Schema of database [%s]: %zu tables and %zu views, routines and triggers compared, %s",
                        db.c_str(), expected.tables.size(), expected.modules.size(),
                        differences.empty() ? "every object as expected"
                                            : (std::to_string(differences.size()) + " differences").c_str());
}

}  // namespace velmora
