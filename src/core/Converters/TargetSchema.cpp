#include "Converters/TargetSchema.h"

#include <cctype>
#include <cstdlib>
#include <functional>

#include "Converters/SourceQuery.h"
#include "Converters/WorkerContext.h"
#include "translation/Naming.h"

namespace velmora {
namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

int Number(std::string_view text) { return std::atoi(std::string(text).c_str()); }

// The condition on a table's schema_id: the task's schema, or the login's default one.
std::string InSchema(const WorkerContext& context, const std::string& alias) {
    const std::string& schema = context.options.targetSchema;
    return alias + ".schema_id = schema_id(" +
           (IsDefaultSchema(schema) ? std::string("schema_name()") : "N" + QuoteTargetString(schema)) + ")";
}

// Runs `query` and hands each row to `row`; false (with `error` set) when it failed.
bool EachRow(WorkerContext& context, const std::string& kind, const std::string& query,
             const std::function<void(SourceQuery&)>& row, std::string& error) {
    SourceQuery rows(context.Log(), context.TargetSession(), query, false);
    if (!rows.ok()) {
        error += (error.empty() ? "" : "; ") + kind + " cannot be read: " + rows.reason();
        return false;
    }
    while (rows.Next()) row(rows);
    if (rows.fetchFailed()) {
        error += (error.empty() ? "" : "; ") + kind + " cannot be read: " + rows.rows().MostInformativeError();
        return false;
    }
    return true;
}

TargetTableShape* Table(TargetSchemaShape& shape, std::string_view name) {
    for (TargetTableShape& table : shape.tables) {
        if (table.name == name) return &table;
    }
    return nullptr;
}

std::string ActionText(std::string_view description) {
    std::string text(description);
    for (char& c : text) c = c == '_' ? ' ' : c;
    return text;
}

void ReadTables(WorkerContext& context, TargetSchemaShape& shape) {
    const std::string schema = InSchema(context, "t");
    EachRow(context, "the tables", "select t.name from sys.tables t where " + schema + " order by t.name",
            [&](SourceQuery& row) { shape.tables.push_back({std::string(row.Value(0)), {}, {}, {}, {}}); }, shape.error);
    EachRow(context, "the columns",
            "select t.name, c.name, type_name(c.user_type_id), c.max_length, c.precision, c.scale, c.is_nullable, "
            "c.is_identity, c.is_computed from sys.columns c join sys.tables t on t.object_id = c.object_id where " +
                schema + " order by t.name, c.column_id",
            [&](SourceQuery& row) {
                TargetTableShape* table = Table(shape, row.Value(0));
                if (!table) return;
                table->columns.push_back({std::string(row.Value(1)),
                                          TargetTypeText(std::string(row.Value(2)), Number(row.Value(3)),
                                                         Number(row.Value(4)), Number(row.Value(5))),
                                          row.Value(6) == "1", row.Value(7) == "1", row.Value(8) == "1", false});
            },
            shape.error);
    EachRow(context, "the defaults",
            "select t.name, c.name from sys.default_constraints d join sys.tables t on t.object_id = d.parent_object_id "
            "join sys.columns c on c.object_id = d.parent_object_id and c.column_id = d.parent_column_id where " + schema,
            [&](SourceQuery& row) {
                TargetTableShape* table = Table(shape, row.Value(0));
                if (!table) return;
                for (TargetColumnShape& column : table->columns) {
                    if (column.name == row.Value(1)) column.hasDefault = true;
                }
            },
            shape.error);
}

void ReadKeys(WorkerContext& context, TargetSchemaShape& shape) {
    const std::string schema = InSchema(context, "t");
    EachRow(context, "the indexes",
            "select t.name, i.name, i.is_unique, i.is_primary_key, c.name from sys.indexes i join sys.tables t on "
            "t.object_id = i.object_id join sys.index_columns ic on ic.object_id = i.object_id and ic.index_id = "
            "i.index_id join sys.columns c on c.object_id = ic.object_id and c.column_id = ic.column_id where " + schema +
                " and i.type > 0 and ic.is_included_column = 0 order by t.name, i.name, ic.key_ordinal",
            [&](SourceQuery& row) {
                TargetTableShape* table = Table(shape, row.Value(0));
                if (!table) return;
                const std::string name = CreatedIndexName(row.Value(1), row.Value(0));
                if (table->indexes.empty() || table->indexes.back().name != name) {
                    table->indexes.push_back({name, row.Value(2) == "1", row.Value(3) == "1", {}});
                }
                table->indexes.back().columns.emplace_back(row.Value(4));
            },
            shape.error);
    EachRow(context, "the foreign keys",
            "select t.name, f.name, pc.name, r.name, rc.name, f.delete_referential_action_desc, "
            "f.update_referential_action_desc from sys.foreign_keys f join sys.tables t on t.object_id = "
            "f.parent_object_id join sys.tables r on r.object_id = f.referenced_object_id join sys.foreign_key_columns "
            "fc on fc.constraint_object_id = f.object_id join sys.columns pc on pc.object_id = fc.parent_object_id and "
            "pc.column_id = fc.parent_column_id join sys.columns rc on rc.object_id = fc.referenced_object_id and "
            "rc.column_id = fc.referenced_column_id where " + schema + " order by t.name, f.name, fc.constraint_column_id",
            [&](SourceQuery& row) {
                TargetTableShape* table = Table(shape, row.Value(0));
                if (!table) return;
                if (table->foreignKeys.empty() || table->foreignKeys.back().name != row.Value(1)) {
                    table->foreignKeys.push_back({std::string(row.Value(1)), {}, std::string(row.Value(3)), {},
                                                  ActionText(row.Value(5)), ActionText(row.Value(6))});
                }
                table->foreignKeys.back().columns.emplace_back(row.Value(2));
                table->foreignKeys.back().referencedColumns.emplace_back(row.Value(4));
            },
            shape.error);
    // Their names only: Babelfish cannot print the definition of some checks ("unrecognized node
    // type"), and the comparison counts them.
    EachRow(context, "the checks",
            "select t.name, k.name from sys.check_constraints k join sys.tables t on t.object_id = "
            "k.parent_object_id where " + schema,
            [&](SourceQuery& row) {
                if (TargetTableShape* table = Table(shape, row.Value(0))) table->checks.emplace_back(row.Value(1));
            },
            shape.error);
}

void ReadModules(WorkerContext& context, TargetSchemaShape& shape) {
    EachRow(context, "the views, routines and triggers",
            "select o.name, o.type, coalesce(object_name(o.parent_object_id), N'') from sys.objects o where " +
                InSchema(context, "o") + " and o.type in ('V', 'P', 'FN', 'IF', 'TF', 'TR') order by o.name",
            [&](SourceQuery& row) {
                std::string type(row.Value(1));
                while (!type.empty() && type.back() == ' ') type.pop_back();
                const char* kind = type == "V" ? "view" : type == "P" ? "procedure" : type == "TR" ? "trigger" : "function";
                shape.modules.push_back({kind, std::string(row.Value(0)), std::string(row.Value(2))});
            },
            shape.error);
}

}  // namespace

const TargetTableShape* TargetSchemaShape::FindTable(const std::string& name) const {
    for (const TargetTableShape& table : tables) {
        if (Lower(table.name) == Lower(name)) return &table;
    }
    return nullptr;
}

TargetSchemaShape ReadTargetSchema(WorkerContext& context) {
    TargetSchemaShape shape;
    ReadTables(context, shape);
    ReadKeys(context, shape);
    ReadModules(context, shape);
    return shape;
}

std::string CreatedIndexName(std::string_view listed, std::string_view table) {
    constexpr size_t kHash = 32;
    if (listed.size() <= table.size() + kHash) return std::string(listed);
    const std::string_view hash = listed.substr(listed.size() - kHash);
    const std::string_view owner = listed.substr(listed.size() - kHash - table.size(), table.size());
    for (char c : hash) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::string(listed);
    }
    if (Lower(std::string(owner)) != Lower(std::string(table))) return std::string(listed);
    return std::string(listed.substr(0, listed.size() - kHash - table.size()));
}

std::string TargetTypeText(const std::string& typeName, int maxLength, int precision, int scale) {
    const std::string type = Lower(typeName);
    auto sized = [&](int units) { return type + "(" + (maxLength == -1 ? std::string("max") : std::to_string(units)) + ")"; };
    if (type == "nvarchar" || type == "nchar") return sized(maxLength / 2);
    if (type == "varchar" || type == "char" || type == "varbinary" || type == "binary") return sized(maxLength);
    if (type == "decimal" || type == "numeric") return "decimal(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
    if (type == "datetime2" || type == "time" || type == "datetimeoffset") return type + "(" + std::to_string(scale) + ")";
    if (type == "float") return "float(" + std::to_string(precision) + ")";
    return type;
}

std::string ComparableType(const std::string& written) {
    std::string type;
    for (char c : Lower(written)) {
        if (c != ' ') type.push_back(c);
    }
    if (type.starts_with("numeric")) type = "decimal" + type.substr(7);
    if (type == "decimal") return "decimal(18,0)";
    if (type.starts_with("decimal(") && type.find(',') == std::string::npos) type.insert(type.size() - 1, ",0");
    if (type == "float") return "float(53)";
    if (type == "datetime2" || type == "time" || type == "datetimeoffset") return type + "(7)";
    if (type == "nvarchar" || type == "varchar" || type == "nchar" || type == "char" || type == "binary" ||
        type == "varbinary") {
        return type + "(1)";
    }
    return type;
}

}  // namespace velmora
