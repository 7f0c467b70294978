// BulkRowWriter: the bulk-copy side of the Full row copy of one table (FullRowTransfer.h).
//
// A table goes through the target driver's bulk copy only when the task may bulk-load
// (BulkCheck.h) and the table allows a failed batch to be checked: every column is written (no
// computed columns), the source has a numeric primary key, and AutoBackup is off (its data file
// holds the statements that were run). Any other table sends its rows in INSERT statements, and
// one line says why.
//
// The rows go over a connection of their own and are committed every kBulkBatchRows rows or so
// (at the end of the rendered batch that reaches it). A batch that fails, or that the driver
// reports with another row count than was sent, ends the bulk copy of the table: the connection
// is closed, the keys of the uncommitted rows (their range of the first key column) are read
// back over the task's own connection, the rows the server kept count as written and the others
// are handed back to go in INSERT statements as usual, so a refused row is still isolated and
// named. Should the keys not be readable, every uncommitted row goes in INSERT statements and
// the primary key refuses the ones already there: nothing is lost or doubled.
//
// Threads: PlanBulkCopy on the task's reading thread before the copy; a BulkRowRenderer on the
// reading thread; a BulkRowWriter on the writing thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Converters/RenderedBatch.h"
#include "data/DataAccess.h"
#include "translation/FullTableTranslator.h"

namespace velmora {

struct WorkerContext;

// Rows per bulk batch: the server commits each batch on its own.
inline constexpr size_t kBulkBatchRows = 10000;

struct BulkTablePlan {
    std::string table;                  // the target name, quoted
    std::vector<BulkColumn> columns;    // the written columns, in the order of the rows' fields
    std::vector<size_t> keyFields;      // the primary key's columns among the fields
    std::vector<std::string> keyNames;  // their target names, quoted
    bool keepIdentity = false;
};

// The plan for `table` when its rows go through a bulk copy; nothing when they go in INSERT
// statements (with a line saying why where the task may bulk-load).
std::optional<BulkTablePlan> PlanBulkCopy(WorkerContext& context, const FullTableTranslation& table,
                                          std::string_view sourceTable);

// Appends a row's plain values to a batch (the reading side). The row's values were rendered
// with AppendFullValue already and did not fail it.
class BulkRowRenderer {
public:
    void Append(RenderedBatch& batch, const std::vector<const TargetColumn*>& columns, StatementRowset& row);

private:
    std::string scratch_;
};

class BulkRowWriter {
public:
    BulkRowWriter(WorkerContext& context, std::string tableName, BulkTablePlan plan);
    ~BulkRowWriter();

    // Opens the connection and begins the copy; false (after a line) when the table goes in
    // INSERT statements after all.
    bool Start();
    bool Active() const { return bulk_ != nullptr; }
    // Sends the rows of `batch`; commits once kBulkBatchRows rows wait.
    void Add(RenderedBatch batch);
    // Commits what waits and ends the copy.
    void Finish();
    // Rows the server committed since the last call.
    int64_t TakeCommitted();
    // After a failure: the rows the server did not keep, to go in INSERT statements.
    std::vector<RenderedBatch> TakeUnkept();

private:
    void Commit();
    bool Settle(int64_t stored);
    void Fail(const std::string& why);
    bool ReadPresentKeys(std::vector<std::string>& present);
    std::string KeyOf(const RenderedBatch& batch, size_t row) const;

    WorkerContext& context_;
    std::string name_;
    BulkTablePlan plan_;
    std::unique_ptr<DataSourceConnection> connection_;
    std::unique_ptr<BulkLoad> bulk_;
    std::vector<RenderedBatch> pending_;  // sent, not committed yet
    int64_t pendingRows_ = 0;
    int64_t committed_ = 0;
    std::vector<RenderedBatch> unkept_;
    std::vector<BulkField> fields_;
};

}  // namespace velmora
