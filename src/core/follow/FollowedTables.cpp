#include "follow/FollowedTables.h"

#include "Converters/FullTableConversion.h"
#include "Converters/WorkerContext.h"
#include "translation/CreateTableParser.h"

namespace velmora {

std::vector<size_t> FollowKeyColumns(const TableModel& model) {
    auto indexesOf = [&](const IndexModel& index) {
        std::vector<size_t> columns;
        for (const KeyPart& part : index.parts) {
            if (part.prefixLength) return std::vector<size_t>();
            size_t at = 0;
            while (at < model.columns.size() && model.columns[at].name != part.column) ++at;
            if (at == model.columns.size()) return std::vector<size_t>();
            if (index.kind != IndexModel::Kind::Primary && model.columns[at].nullable) return std::vector<size_t>();
            columns.push_back(at);
        }
        return columns;
    };
    for (const IndexModel& index : model.indexes) {
        if (index.kind == IndexModel::Kind::Primary) return indexesOf(index);
    }
    for (const IndexModel& index : model.indexes) {
        if (index.kind != IndexModel::Kind::Unique) continue;
        std::vector<size_t> columns = indexesOf(index);
        if (!columns.empty()) return columns;
    }
    return {};
}

bool CompleteFollowedTable(FollowedTable& table, std::string& error) {
    table.shapes.clear();
    for (const ColumnModel& column : table.model.columns) {
        table.shapes.push_back(ShapeOfColumn(column, table.model.options.charset));
    }
    for (const TargetColumn& column : table.translation.columns) {
        if (!column.written) continue;
        size_t at = 0;
        while (at < table.model.columns.size() && table.model.columns[at].name != column.name) ++at;
        if (at == table.model.columns.size()) {
            error = "table " + table.name + ": column " + column.name + " is not in its definition";
            return false;
        }
        table.writtenColumns.push_back(at);
        table.written.push_back(&column);
    }
    table.keyColumns = FollowKeyColumns(table.model);
    if (table.keyColumns.empty()) {
        error = "table " + table.name + " has no primary key or NOT NULL unique key";
        return false;
    }
    for (size_t key : table.keyColumns) {
        const TargetColumn* target = nullptr;
        for (size_t i = 0; i < table.writtenColumns.size(); ++i) {
            if (table.writtenColumns[i] == key) target = table.written[i];
        }
        if (!target) {
            error = "table " + table.name + ": its key column " + table.model.columns[key].name +
                    " is not written to the target";
            return false;
        }
        table.keyTargets.push_back(target);
    }
    return true;
}

bool FollowedTables::Load(WorkerContext& context, std::string_view database,
                          const std::vector<std::string>& tables, std::string& error) {
    for (const std::string& name : tables) {
        auto table = std::make_unique<FollowedTable>();
        table->name = name;
        std::string definition, why;
        table->translation = ReadTableFull(context, database, name, definition, why);
        if (!why.empty()) {
            error = "table " + name + ": its definition could not be read: " + why;
            return false;
        }
        ParsedTable parsed = ParseCreateTable(definition);
        if (!parsed.ok()) {
            error = "table " + name + ": " + parsed.error;
            return false;
        }
        table->model = std::move(parsed.table);
        if (!Add(std::move(table), error)) return false;
    }
    return true;
}

bool FollowedTables::Add(std::unique_ptr<FollowedTable> table, std::string& error) {
    if (!CompleteFollowedTable(*table, error)) return false;
    byName_[table->name] = table.get();
    tables_.push_back(std::move(table));
    return true;
}

const FollowedTable* FollowedTables::Find(std::string_view table) const {
    const auto found = byName_.find(table);
    return found == byName_.end() ? nullptr : found->second;
}

}  // namespace velmora
