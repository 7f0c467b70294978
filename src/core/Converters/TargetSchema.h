// TargetSchema: what the target database holds in the task's schema, read from the server's sys
// views in one query per kind of object (tables, columns, indexes with their columns, foreign
// keys with their columns and actions, checks, defaults, and the views, routines and triggers),
// so that the schema verification (SchemaVerification.h) compares it with what the migration
// should have made. Names are kept as the server prints them; a column's type is written as a
// CREATE TABLE writes it ("nvarchar(50)", "decimal(10,2)", "nvarchar(max)").
//
// Runs on the caller's thread with the task's target session.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct WorkerContext;

struct TargetColumnShape {
    std::string name;
    std::string type;
    bool nullable = true;
    bool identity = false;
    bool computed = false;
    bool hasDefault = false;
};

struct TargetIndexShape {
    std::string name;
    bool unique = false;
    bool primaryKey = false;
    std::vector<std::string> columns;  // in key order
};

struct TargetForeignKeyShape {
    std::string name;
    std::vector<std::string> columns;
    std::string referencedTable;
    std::vector<std::string> referencedColumns;
    std::string onDelete;  // "NO ACTION", "CASCADE", "SET NULL", "SET DEFAULT"
    std::string onUpdate;
};

struct TargetTableShape {
    std::string name;
    std::vector<TargetColumnShape> columns;
    std::vector<TargetIndexShape> indexes;  // the primary key among them
    std::vector<TargetForeignKeyShape> foreignKeys;
    std::vector<std::string> checks;  // their names
};

// A view, function, procedure or trigger: its kind ("view", "function", "procedure",
// "trigger") and, for a trigger, its table.
struct TargetModuleShape {
    std::string kind;
    std::string name;
    std::string table;
};

struct TargetSchemaShape {
    std::vector<TargetTableShape> tables;  // by name
    std::vector<TargetModuleShape> modules;
    std::string error;  // why a kind could not be read ("" when all were)

    const TargetTableShape* FindTable(const std::string& name) const;
};

TargetSchemaShape ReadTargetSchema(WorkerContext& context);

// An index's name as it was created: Babelfish lists an index of table t created as "ix" under
// "ix" + "t" + 32 hexadecimal digits; any other name stays as it is.
std::string CreatedIndexName(std::string_view listed, std::string_view table);

// A type name with its sizes as sys.columns gives them, written as a CREATE TABLE writes it.
std::string TargetTypeText(const std::string& typeName, int maxLength, int precision, int scale);

// A type as written in a statement, in the form TargetTypeText gives ("FLOAT" and "float(53)"
// are "float(53)", "datetime2" is "datetime2(7)").
std::string ComparableType(const std::string& type);

}  // namespace velmora
