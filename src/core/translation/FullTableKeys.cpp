#include "translation/FullTableKeys.h"

#include "translation/SqlParser.h"
#include "translation/Naming.h"

namespace velmora {
namespace {

const TargetColumn* FindTarget(const FullTableTranslation& out, const std::string& name) {
    std::string wanted = LowerAscii(name);
    for (const TargetColumn& column : out.columns) {
        if (LowerAscii(column.name) == wanted) return &column;
    }
    return nullptr;
}

const char* KindName(IndexModel::Kind kind) {
    switch (kind) {
        case IndexModel::Kind::Primary: return "primary key";
        case IndexModel::Kind::Unique: return "unique key";
        case IndexModel::Kind::Plain: return "index";
        case IndexModel::Kind::Fulltext: return "FULLTEXT index";
        case IndexModel::Kind::Spatial: return "SPATIAL index";
    }
    return "index";
}

// The bracketed column list of a key, or "" (with the reason in `problem`) when the target cannot
// index it. `nullable` collects the nullable key columns.
std::string KeyColumns(const IndexModel& index, FullTableTranslation& out, std::string& problem,
                       std::vector<std::string>& nullable) {
    std::string list;
    std::string label = std::string(KindName(index.kind)) + (index.name.empty() ? "" : " " + index.name);
    for (const KeyPart& part : index.parts) {
        if (part.column.empty()) {
            problem = label + " not created: a key part is an expression";
            return "";
        }
        const TargetColumn* column = FindTarget(out, part.column);
        if (!column) {
            problem = label + " not created: column " + part.column + " is not in the table";
            return "";
        }
        if (!IsIndexableTargetType(column->targetType)) {
            problem = label + " not created: column " + part.column + " (" + column->targetType +
                      ") cannot be part of an index key";
            return "";
        }
        if (part.prefixLength) {
            out.adjustments.push_back({part.column, label + ": prefix length " + std::to_string(*part.prefixLength) +
                                                        " widened to the whole column"});
        }
        if (!list.empty()) list += ", ";
        list += QuoteTargetName(column->name) + (part.descending ? " DESC" : "");
        if (column->nullable) nullable.push_back(QuoteTargetName(column->name));
    }
    return list;
}

std::string IndexStatement(const std::string& table, const IndexModel& index, const std::string& columns,
                           const std::vector<std::string>& nullable) {
    bool unique = index.kind == IndexModel::Kind::Unique;
    std::string statement = std::string(unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                            QuoteTargetName(index.name) + " ON " + table + " (" + columns + ")";
    if (unique && !nullable.empty()) {
        statement += " WHERE ";
        for (size_t i = 0; i < nullable.size(); ++i) {
            statement += (i ? " AND " : "") + nullable[i] + " IS NOT NULL";
        }
    }
    return statement;
}

void AppendReferentialAction(std::string& statement, const char* clause, const std::string& action) {
    if (action.empty()) return;
    statement += std::string(" ") + clause + " " + (action == "RESTRICT" ? "NO ACTION" : action);
}

std::string ExtendedProperty(const std::string& text, const std::string& table, const std::string* column,
                             const std::string& schema) {
    // A procedure's argument is a literal or a variable: a text with line breaks goes through a
    // variable, so that a script can write it as an expression on one line.
    const bool lines = text.find_first_of("\r\n") != std::string::npos;
    std::string statement = std::string(lines ? "DECLARE @description nvarchar(4000) = N" + QuoteTargetString(text) + "; " : "") +
                            "EXEC sys.sp_addextendedproperty @name = N'MS_Description', @value = " +
                            (lines ? "@description" : "N" + QuoteTargetString(text)) +
                            ", @level0type = N'SCHEMA', @level0name = @schema, @level1type = N'TABLE', @level1name = N" +
                            QuoteTargetString(table);
    if (column) statement += ", @level2type = N'COLUMN', @level2name = N" + QuoteTargetString(*column);
    if (!IsDefaultSchema(schema)) return "DECLARE @schema sysname = N" + QuoteTargetString(schema) + "; " + statement;
    return "DECLARE @schema sysname = SCHEMA_NAME(); " + statement;
}

}  // namespace

std::string ForeignKeyStatement(std::string_view tableName, const ForeignKeyModel& fk,
                                const ExpressionNames& names, bool withoutActions) {
    if (!fk.referencedDatabase.empty() &&
        LowerAscii(fk.referencedDatabase) != LowerAscii(names.sourceDatabase)) {
        return "";
    }
    std::string statement = "ALTER TABLE " + TargetObjectName(names.targetSchema, tableName) + " ADD ";
    if (!fk.name.empty()) statement += "CONSTRAINT " + QuoteTargetName(fk.name) + " ";
    statement += "FOREIGN KEY (";
    for (size_t i = 0; i < fk.columns.size(); ++i) statement += (i ? ", " : "") + QuoteTargetName(fk.columns[i]);
    statement += ") REFERENCES " + TargetObjectName(names.targetSchema, fk.referencedTable) + " (";
    for (size_t i = 0; i < fk.referencedColumns.size(); ++i) {
        statement += (i ? ", " : "") + QuoteTargetName(fk.referencedColumns[i]);
    }
    statement += ")";
    if (!withoutActions) {
        AppendReferentialAction(statement, "ON DELETE", fk.onDelete);
        AppendReferentialAction(statement, "ON UPDATE", fk.onUpdate);
    }
    return statement;
}

std::string TranslateKeys(const TableModel& table, const ExpressionNames& names, FullTableTranslation& out) {
    std::string primaryKey;
    for (const IndexModel& index : table.indexes) {
        if (index.kind == IndexModel::Kind::Fulltext || index.kind == IndexModel::Kind::Spatial) {
            out.adjustments.push_back({"", std::string(KindName(index.kind)) + " " + index.name +
                                               " not created: the target has no such index here"});
            continue;
        }
        std::string problem;
        std::vector<std::string> nullable;
        std::string columns = KeyColumns(index, out, problem, nullable);
        if (columns.empty()) {
            out.adjustments.push_back({"", problem.empty() ? std::string(KindName(index.kind)) + " has no columns" : problem});
            continue;
        }
        if (index.kind == IndexModel::Kind::Primary) {
            primaryKey = "PRIMARY KEY (" + columns + ")";
            continue;
        }
        IndexModel named = index;
        if (named.name.empty()) named.name = index.parts.front().column;
        out.indexes.push_back(IndexStatement(out.targetName, named, columns, nullable));
        out.indexNames.push_back(named.name);
    }
    for (const ForeignKeyModel& fk : table.foreignKeys) {
        std::string statement = ForeignKeyStatement(table.name, fk, names);
        if (statement.empty()) {
            out.adjustments.push_back({"", "foreign key " + fk.name + " not created: it references the database " +
                                               fk.referencedDatabase + ", and SQL Server keys stay inside one database"});
            continue;
        }
        out.foreignKeys.push_back(std::move(statement));
        out.foreignKeyModels.push_back(fk);
    }
    return primaryKey;
}

std::vector<std::string> CommentStatements(const TableModel& table, const std::string& schema) {
    std::vector<std::string> statements;
    if (!table.options.comment.empty()) {
        statements.push_back(ExtendedProperty(table.options.comment, table.name, nullptr, schema));
    }
    for (const ColumnModel& column : table.columns) {
        if (!column.comment.empty()) statements.push_back(ExtendedProperty(column.comment, table.name, &column.name, schema));
    }
    return statements;
}

}  // namespace velmora
