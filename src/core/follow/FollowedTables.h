// FollowedTables: what the follower knows of each migrated table: its definition's model (the
// column order of the log's row images, the enum and set labels, the key), the Full translation
// the copy used (the target's name, the written columns and their rendering), the decoding shape
// of each column and where each written column sits in a row image.
//
// Built once when following starts, from the source's current definitions (a change of a
// definition stops the follower, BinlogReader.h). Read-only afterwards; any thread.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "follow/BinlogRows.h"
#include "translation/FullTableTranslator.h"
#include "translation/TableModel.h"

namespace velmora {

struct WorkerContext;

struct FollowedTable {
    std::string name;  // the source table
    TableModel model;
    FullTableTranslation translation;
    std::vector<BinlogColumnShape> shapes;     // one per model column, in the log's order
    std::vector<size_t> writtenColumns;        // model index of each written target column
    std::vector<const TargetColumn*> written;  // the written target columns, in the same order
    std::vector<size_t> keyColumns;            // model indexes of the key (primary or unique NOT NULL)
    std::vector<const TargetColumn*> keyTargets;
};

class FollowedTables {
public:
    // Reads and translates each table of `tables` in `database` as the copy does
    // (Converters/FullTableConversion.h). False with the reason in `error` for the first table
    // that cannot be read or has no key.
    bool Load(WorkerContext& context, std::string_view database, const std::vector<std::string>& tables,
              std::string& error);
    // Adds a table built elsewhere (the tests' definitions).
    bool Add(std::unique_ptr<FollowedTable> table, std::string& error);

    // The followed table of that name, or null (names compare as the source's do: exactly).
    const FollowedTable* Find(std::string_view table) const;
    const std::vector<std::unique_ptr<FollowedTable>>& All() const { return tables_; }

private:
    std::vector<std::unique_ptr<FollowedTable>> tables_;
    std::map<std::string, const FollowedTable*, std::less<>> byName_;
};

// The columns of a table's key that make a changed row findable: the primary key, else the
// first unique key whose columns are all NOT NULL and not prefixes. Empty when there is none.
std::vector<size_t> FollowKeyColumns(const TableModel& model);

// Fills the shapes, written columns and key of `table` from its model and translation; false
// with the reason when it has no key or a written column is not in the model.
bool CompleteFollowedTable(FollowedTable& table, std::string& error);

}  // namespace velmora
