#include "Converters/FullRowTransfer.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <thread>

#include "Converters/BoundedQueue.h"
#include "Converters/Full/FullValueRendering.h"
#include "Converters/RowReading.h"
#include "Converters/RowTransfer.h"
#include "Converters/SourceQuery.h"
#include "Converters/WorkFiles.h"
#include "Converters/WorkerContext.h"
#include "data/StatementExecution.h"

namespace velmora {
namespace {

constexpr int64_t kProgressEvery = 1000;
// Batches rendered and waiting for the writer: the reader runs at most this far ahead.
constexpr size_t kQueuedBatches = 2;

// One statement sent inside the open transaction, kept until the commit: on a rollback its rows
// are sent again.
struct SentBatch {
    std::string statement;
    std::vector<std::string> rows;
};

// What the reader hands the writer: rendered rows, and the reasons of rows that failed before
// anything was sent (counted by the writer, which keeps every count).
struct RenderedBatch {
    std::vector<std::string> rows;
    std::vector<std::string> refusals;
};

// The writing side, on a thread of its own with the task's target session: sends each batch
// in a multi-row statement inside transactions, isolates refused rows, writes the data file and
// the progress line, and keeps rowsWritten, rowsFailed and firstError.
class BatchWriter {
public:
    BatchWriter(WorkerContext& context, const FullTableTranslation& table, RowCopyResult& result)
        : context_(context), table_(table), result_(result), prefix_(InsertPrefix(table)) {}

    // Before the writer thread starts: the data file and identity inserts.
    void Open() {
        data_ = OpenDataFile(context_, table_.tableName, result_);
        if (table_.hasIdentity) identityOn_ = Send(IdentityInsertStatement(table_, true), nullptr);
    }

    // The writer thread's loop: until the queue is closed and drained.
    void Run(BoundedQueue<RenderedBatch>& queue) {
        while (std::optional<RenderedBatch> batch = queue.Pop()) {
            for (const std::string& why : batch->refusals) RowRefused(why);
            pending_ = std::move(batch->rows);
            Flush();
        }
        Commit();
        if (identityOn_) Send(IdentityInsertStatement(table_, false), nullptr);
        identityOn_ = false;
    }

    void CloseDataFile() { velmora::CloseDataFile(context_, data_, table_.tableName, result_); }

private:
    const char* Name() const { return table_.tableName.c_str(); }

    bool Send(const std::string& statement, std::string* why) {
        return ExecuteStatement(context_.Log(), context_.TargetSession(), statement, 0, why);
    }

    void RowRefused(const std::string& why) {
        if (++result_.rowsFailed == 1) {
            result_.firstError = why;
            context_.Log().WriteOutputLine("[%s] INSERT failed: %s", Name(), why.c_str());
        }
    }

    // The progress line, every kProgressEvery rows written.
    void Written(int64_t rows) {
        result_.rowsWritten += rows;
        while (logged_ + kProgressEvery <= result_.rowsWritten) {
            logged_ += kProgressEvery;
            context_.Log().WriteOutputLine("[%s] %lld records converted!", Name(),
                                           static_cast<long long>(logged_));
        }
    }

    std::string Statement(const std::vector<std::string>& rows) const {
        std::string statement = prefix_;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (i > 0) statement.push_back(',');
            statement += rows[i];
        }
        return statement;
    }

    void Flush() {
        if (pending_.empty()) return;
        if (!inTransaction_) inTransaction_ = Send("BEGIN TRANSACTION", nullptr);
        std::string statement = Statement(pending_);
        if (Send(statement, nullptr)) {
            const auto rows = static_cast<int64_t>(pending_.size());
            sent_.push_back({std::move(statement), std::move(pending_)});
            if (inTransaction_) {
                inTransactionRows_ += rows;
            } else {
                Written(rows);
                Backup(sent_);
            }
        } else {
            Isolate();
        }
        pending_.clear();
        if (sent_.size() >= kBatchesPerTransaction || !inTransaction_) Commit();
    }

    // Rows sent inside a transaction count as written once it commits.
    void Commit() {
        if (inTransaction_ && !Send("COMMIT TRANSACTION", nullptr)) {
            // What the transaction held did not arrive.
            for (const SentBatch& batch : sent_) {
                for (size_t i = 0; i < batch.rows.size(); ++i) RowRefused("the commit failed");
            }
            sent_.clear();
        } else {
            Written(inTransactionRows_);
        }
        inTransactionRows_ = 0;
        inTransaction_ = false;
        Backup(sent_);
    }

    // The pending statement failed: roll its transaction back, send the earlier statements of
    // that transaction again, then the pending rows one at a time (each in autocommit).
    void Isolate() {
        std::vector<SentBatch> earlier = std::move(sent_);
        sent_.clear();
        if (inTransaction_) Send("ROLLBACK TRANSACTION", nullptr);
        inTransaction_ = false;
        inTransactionRows_ = 0;
        for (const SentBatch& batch : earlier) {
            if (Send(batch.statement, nullptr)) {
                Written(static_cast<int64_t>(batch.rows.size()));
                sent_.push_back(batch);
            } else {
                SendOneByOne(batch.rows);
            }
        }
        SendOneByOne(pending_);
        Backup(sent_);
    }

    void SendOneByOne(const std::vector<std::string>& rows) {
        for (const std::string& row : rows) {
            std::string statement = prefix_ + row;
            std::string why;
            if (Send(statement, &why)) {
                Written(1);
                sent_.push_back({std::move(statement), {}});
            } else {
                RowRefused(why);
            }
        }
    }

    // Statements that arrived go into the data file, one per line, and are forgotten.
    void Backup(std::vector<SentBatch>& arrived) {
        if (data_ && context_.options.autoBackup) {
            for (const SentBatch& batch : arrived) {
                data_.Write(batch.statement);
                data_.Write("\n");
            }
        }
        arrived.clear();
    }

    WorkerContext& context_;
    const FullTableTranslation& table_;
    RowCopyResult& result_;
    const std::string prefix_;
    WorkFile data_;
    std::vector<std::string> pending_;
    std::vector<SentBatch> sent_;
    int64_t inTransactionRows_ = 0;
    int64_t logged_ = 0;
    bool inTransaction_ = false;
    bool identityOn_ = false;
};

// The reading side, on the task's thread with its source session: renders each row for its
// target columns and hands full batches to the writer thread through a bounded queue.
class FullRowCopier : public RowSink {
public:
    FullRowCopier(WorkerContext& context, const FullTableTranslation& table, RowCopyResult& result)
        : result_(result), writer_(context, table, result), queue_(kQueuedBatches) {
        for (const TargetColumn& column : table.columns) {
            if (column.written) written_.push_back(&column);
        }
    }
    ~FullRowCopier() override { Finish(); }

    bool Begin() override {
        writer_.Open();
        thread_ = std::thread([this] { writer_.Run(queue_); });
        return true;
    }

    size_t TakeRow(StatementRowset& rows) override {
        row_.assign(1, '(');
        size_t bytes = 0;
        const char* failure = nullptr;
        size_t failedColumn = 0;
        zeroDatesInRow_.clear();
        const int count = std::min(rows.ColumnCount(), static_cast<int>(written_.size()));
        for (int i = 0; i < count && !failure; ++i) {
            if (i > 0) row_.push_back(',');
            std::string_view value = rows.Value(i);
            bytes += value.size();
            RenderedValue rendered = AppendFullValue(row_, *written_[i], value, rows.IsNull(i));
            if (rendered.outcome == ValueOutcome::RowFails) {
                failure = rendered.reason;
                failedColumn = static_cast<size_t>(i);
            }
            if (rendered.outcome == ValueOutcome::ZeroDateAsNull) {
                zeroDatesInRow_.push_back(static_cast<size_t>(i));
            }
        }
        row_.push_back(')');
        ++result_.rowsRead;
        if (failure) {
            batch_.refusals.push_back(std::string(failure) + " (column " +
                                      written_[failedColumn]->name + ")");
        } else {
            // Only the rows that are sent count their zero dates made NULL.
            for (size_t column : zeroDatesInRow_) ++zeroDates_[column];
            batchBytes_ += row_.size();
            batch_.rows.push_back(std::move(row_));
            row_.clear();
            if (batch_.rows.size() >= kBatchRows || batchBytes_ >= kBatchBytes) HandOver();
        }
        return bytes;
    }

    // Hands over what is rendered and waits until the writer has sent, committed and switched
    // identity inserts off again.
    void Finish() {
        if (!thread_.joinable()) return;
        HandOver();
        queue_.Close();
        thread_.join();
    }

    // The zero dates made NULL, one adjustment per column.
    void AddAdjustments(OperationLog& log, const std::string& table,
                        std::vector<std::string>* adjustments) const {
        for (const auto& [index, count] : zeroDates_) {
            std::string text = written_[index]->name + ": " + std::to_string(count) +
                               " zero date" + (count == 1 ? "" : "s") + " became NULL";
            log.WriteOutputLine("[%s] ADJUSTED %s", table.c_str(), text.c_str());
            if (adjustments) adjustments->push_back(text);
        }
    }

    void CloseDataFile() { writer_.CloseDataFile(); }

private:
    void HandOver() {
        if (batch_.rows.empty() && batch_.refusals.empty()) return;
        queue_.Push(std::move(batch_));
        batch_ = RenderedBatch();
        batchBytes_ = 0;
    }

    RowCopyResult& result_;
    BatchWriter writer_;
    BoundedQueue<RenderedBatch> queue_;
    std::thread thread_;
    std::vector<const TargetColumn*> written_;
    std::string row_;
    RenderedBatch batch_;
    size_t batchBytes_ = 0;
    std::map<size_t, int64_t> zeroDates_;
    std::vector<size_t> zeroDatesInRow_;
};

}  // namespace

RowCopyResult CopyTableRowsFull(WorkerContext& context, std::string_view database,
                                const FullTableTranslation& table,
                                std::vector<std::string>* adjustments, std::string_view narrower) {
    RowCopyResult result;
    result.text = kFalseText;
    if (!RowCopySessionsReady(context)) return result;
    FullRowCopier copier(context, table, result);
    ReadTableRows(context, database, table.tableName, SourceSelectList(table), copier, result,
                  narrower);
    if (result.text != kTrueText) return result;
    copier.Finish();
    copier.AddAdjustments(context.Log(), table.tableName, adjustments);
    WriteCopySummary(context.Log(), table.tableName, result);
    copier.CloseDataFile();
    return result;
}

}  // namespace velmora
