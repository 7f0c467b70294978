#include "backup/TableKeys.h"

#include <algorithm>
#include <functional>

#include "Converters/SourceQuery.h"
#include "Converters/TargetSchema.h"
#include "tasks/OperationLog.h"
#include "translation/BatchSafety.h"
#include "translation/Naming.h"

namespace velmora {
namespace {

using Row = std::vector<std::string>;

// The table as the catalog queries name it: object_id(N'schema.name').
std::string ObjectId(const std::string& table, const std::string& schema) {
    return "object_id(N" + QuoteTargetString(TargetObjectName(schema, table)) + ")";
}

// Every row of `query` as text (NULL as ""); false with `reason` when it could not be read. A
// statement without rows (how a scripted target answers a query it does not know) has none.
bool ReadRows(OperationLog& log, Session* session, const std::string& query, std::vector<Row>& rows,
              std::string& reason) {
    SourceQuery result(log, session, query, false);
    if (!result.ok()) {
        if (result.failureText() == kResultSuccessText) return true;
        reason = result.reason();
        return false;
    }
    while (result.Next()) {
        Row& row = rows.emplace_back();
        for (int column = 0; column < result.rows().ColumnCount(); ++column) {
            row.emplace_back(result.IsNull(column) ? std::string_view() : result.Value(column));
        }
        row.resize(std::max<size_t>(row.size(), 10));  // a short answer reads as empty columns
    }
    if (result.fetchFailed()) {
        reason = result.rows().MostInformativeError();
        return false;
    }
    return true;
}

// The rows of one kind of object; nothing, with a failure naming `what`, when they cannot be read.
std::vector<Row> KindRows(OperationLog& log, Session* session, const std::string& query, const char* what,
                          TableKeyScripts& out) {
    std::vector<Row> rows;
    std::string reason;
    if (!ReadRows(log, session, query, rows, reason)) {
        out.failures.push_back(std::string(what) + " cannot be read: " + reason);
        rows.clear();
    }
    return rows;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

std::string ColumnList(const std::vector<std::string>& columns) {
    std::string list;
    for (const std::string& column : columns) list += (list.empty() ? "" : ", ") + column;
    return "(" + list + ")";
}

// Appends `statement` (without its ";") made batch safe; a refusal is a failure of the backup.
void Append(std::string& script, const std::string& statement, const std::string& what, TableKeyScripts& out) {
    const BatchSafeText safe = MakeBatchSafe(statement);
    if (!safe.ok()) {
        out.failures.push_back(what + ": its statement cannot be written safely: " + safe.refusal);
        return;
    }
    script += safe.text + ";\n";
}

// Rows of one object (an index, a foreign key) follow each other; `each` gets them in groups.
void Grouped(const std::vector<Row>& rows, const std::function<void(const std::vector<const Row*>&)>& each) {
    for (size_t at = 0; at < rows.size();) {
        std::vector<const Row*> group;
        for (size_t next = at; next < rows.size() && rows[next][0] == rows[at][0]; ++next) group.push_back(&rows[next]);
        at += group.size();
        each(group);
    }
}

// Index rows: name, is_primary_key, is_unique_constraint, is_unique, type_desc, filter_definition,
// column, is_descending_key, is_included_column.
std::string IndexStatement(const std::vector<const Row*>& index, const std::string& table, const std::string& owner) {
    const Row& head = *index.front();
    std::vector<std::string> keys, included;
    for (const Row* row : index) {
        if ((*row)[8] == "1") {
            included.push_back(QuoteTargetName((*row)[6]));
        } else {
            keys.push_back(QuoteTargetName((*row)[6]) + ((*row)[7] == "1" ? " desc" : ""));
        }
    }
    const std::string kind = Lower(head[4]);
    const std::string name = QuoteTargetName(CreatedIndexName(head[0], owner));
    if (head[1] == "1" || head[2] == "1") {
        // Named always: Babelfish says every key was named by the server, even one named in its statement.
        return "alter table " + table + " add constraint " + name + (head[1] == "1" ? " primary key " : " unique ") + kind +
               " " + ColumnList(keys);
    }
    // Nonclustered is what CREATE INDEX makes unless told.
    std::string statement = std::string("create ") + (head[3] == "1" ? "unique " : "") +
                            (kind == "clustered" ? "clustered " : "") + "index " + name + " on " + table + " " +
                            ColumnList(keys);
    if (!included.empty()) statement += " include " + ColumnList(included);
    if (!head[5].empty()) statement += " where " + head[5];
    return statement;
}

void ReadIndexes(OperationLog& log, Session* session, const std::string& table, const std::string& schema,
                 TableKeyScripts& out) {
    const std::vector<Row> rows = KindRows(log, session, TableIndexesQuery(table, schema), "its keys and indexes", out);
    const std::string name = TargetObjectName(schema, table);
    Grouped(rows, [&](const std::vector<const Row*>& index) {
        const Row& head = *index.front();
        if (head[4] != "CLUSTERED" && head[4] != "NONCLUSTERED") {
            out.failures.push_back("index " + head[0] + ": a " + head[4] + " index is not scripted");
            return;
        }
        Append(out.keys, IndexStatement(index, name, table), "index " + head[0], out);
    });
}

// Foreign key rows: name, referenced schema, referenced table, column, referenced column,
// delete action, update action, is_disabled, is_not_trusted.
void ReadForeignKeys(OperationLog& log, Session* session, const std::string& table, const std::string& schema,
                     TableKeyScripts& out) {
    const std::vector<Row> rows = KindRows(log, session, TableForeignKeysQuery(table, schema), "its foreign keys", out);
    const std::string owner = TargetObjectName(schema, table);
    Grouped(rows, [&](const std::vector<const Row*>& key) {
        const Row& head = *key.front();
        std::vector<std::string> columns, referenced;
        for (const Row* row : key) {
            columns.push_back(QuoteTargetName((*row)[3]));
            referenced.push_back(QuoteTargetName((*row)[4]));
        }
        // A key the server does not trust (added WITH NOCHECK) may have rows that break it.
        std::string statement = "alter table " + owner + (head[8] == "1" ? " with nocheck" : "") + " add constraint " +
                                QuoteTargetName(head[0]) + " foreign key " + ColumnList(columns) + " references " +
                                TargetObjectName(head[1], head[2]) + " " + ColumnList(referenced);
        for (const auto& [action, word] : {std::pair{head[5], " on delete "}, std::pair{head[6], " on update "}}) {
            std::string text = Lower(action);
            for (char& c : text) c = c == '_' ? ' ' : c;
            if (!text.empty() && text != "no action") statement += word + text;
        }
        Append(out.constraints, statement, "foreign key " + head[0], out);
        if (head[7] == "1") {
            Append(out.constraints, "alter table " + owner + " nocheck constraint " + QuoteTargetName(head[0]),
                   "foreign key " + head[0], out);
        }
    });
}

// Check rows: name, is_disabled, is_not_trusted; each definition is read alone.
void ReadChecks(OperationLog& log, Session* session, const std::string& table, const std::string& schema,
                TableKeyScripts& out) {
    const std::vector<Row> checks = KindRows(log, session, TableChecksQuery(table, schema), "its checks", out);
    std::string reason;
    const std::string owner = TargetObjectName(schema, table);
    for (const Row& check : checks) {
        std::vector<Row> definition;
        if (!ReadRows(log, session, CheckDefinitionQuery(table, schema, check[0]), definition, reason) ||
            definition.empty() || definition.front().empty() || definition.front()[0].empty()) {
            if (reason.empty()) reason = "the server gives no definition";
            log.WriteOutputLine("Check [%s].[%s] not backed up: the server cannot print its definition (%s)",
                                owner.c_str(), check[0].c_str(), reason.c_str());
            reason.clear();
            continue;
        }
        Append(out.constraints,
               "alter table " + owner + (check[2] == "1" ? " with nocheck" : "") + " add constraint " +
                   QuoteTargetName(check[0]) + " check " + definition.front()[0],
               "check " + check[0], out);
        if (check[1] == "1") {
            Append(out.constraints, "alter table " + owner + " nocheck constraint " + QuoteTargetName(check[0]),
                   "check " + check[0], out);
        }
    }
}

}  // namespace

std::string TableIndexesQuery(const std::string& table, const std::string& schema) {
    return "select i.name, i.is_primary_key, i.is_unique_constraint, i.is_unique, i.type_desc, i.filter_definition, "
           "c.name, ic.is_descending_key, ic.is_included_column from sys.indexes i join sys.index_columns ic on "
           "ic.object_id = i.object_id and ic.index_id = i.index_id join sys.columns c on c.object_id = ic.object_id "
           "and c.column_id = ic.column_id where i.object_id = " +
           ObjectId(table, schema) +
           " and i.type > 0 and i.is_hypothetical = 0 order by i.index_id, ic.is_included_column, ic.key_ordinal, "
           "ic.index_column_id";
}

std::string TableForeignKeysQuery(const std::string& table, const std::string& schema) {
    return "select f.name, schema_name(r.schema_id), r.name, pc.name, rc.name, f.delete_referential_action_desc, "
           "f.update_referential_action_desc, f.is_disabled, f.is_not_trusted from sys.foreign_keys f join "
           "sys.foreign_key_columns fc on fc.constraint_object_id = f.object_id join sys.tables r on r.object_id = "
           "f.referenced_object_id join sys.columns pc on pc.object_id = fc.parent_object_id and pc.column_id = "
           "fc.parent_column_id join sys.columns rc on rc.object_id = fc.referenced_object_id and rc.column_id = "
           "fc.referenced_column_id where f.parent_object_id = " +
           ObjectId(table, schema) + " order by f.name, fc.constraint_column_id";
}

std::string TableChecksQuery(const std::string& table, const std::string& schema) {
    return "select k.name, k.is_disabled, k.is_not_trusted from sys.check_constraints k where k.parent_object_id = " +
           ObjectId(table, schema) + " order by k.name";
}

std::string CheckDefinitionQuery(const std::string& table, const std::string& schema, const std::string& check) {
    return "select k.definition from sys.check_constraints k where k.parent_object_id = " + ObjectId(table, schema) +
           " and k.name = N" + QuoteTargetString(check);
}

TableKeyScripts ReadTableKeyScripts(OperationLog& log, Session* session, const std::string& table,
                                    const std::string& schema) {
    TableKeyScripts out;
    ReadIndexes(log, session, table, schema, out);
    ReadForeignKeys(log, session, table, schema, out);
    ReadChecks(log, session, table, schema, out);
    return out;
}

}  // namespace velmora
