#include "Converters/FullRowTransfer.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <thread>

#include "Converters/BoundedQueue.h"
#include "Converters/BulkRowWriter.h"
#include "Converters/NativeRowSource.h"
#include "Converters/RenderedBatch.h"
#include "Converters/StreamedRow.h"
#include "translation/FullValueRendering.h"
#include "Converters/RowReading.h"
#include "Converters/RowTransfer.h"
#include "Converters/SourceQuery.h"
#include "Converters/WorkFiles.h"
#include "Converters/WorkerContext.h"
#include "data/ErrorText.h"
#include "data/StatementExecution.h"
#include "data/WideText.h"

namespace velmora {
namespace {

constexpr int64_t kProgressEvery = 1000;
// Batches rendered and waiting for the writer: the reader runs at most this far ahead.
constexpr size_t kQueuedBatches = 2;
// Ends the open transaction whatever state a failure left it in: SQL Server rolls a transaction
// back by itself after a batch-aborting error (a failed conversion), and a plain ROLLBACK would
// then fail; after a failed COMMIT it may still be open, and everything sent later would land in
// a transaction that never commits.
constexpr const char* kRollback = "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION";

// One statement sent inside the open transaction, kept until the commit: on a rollback it is
// sent again, or its rows one at a time. `rows` lie in `statement` after `prefixLength` bytes.
struct SentBatch {
    std::string statement;
    size_t prefixLength = 0;
    std::vector<RowSpan> rows;

    std::string_view Row(const RowSpan& row) const {
        return std::string_view(statement).substr(prefixLength + row.offset, row.length);
    }
};

// The writing side, on a thread of its own with the task's target session: sends each batch
// in a multi-row statement inside transactions (or through the bulk copy, BulkRowWriter.h),
// isolates refused rows, writes the data file and the progress line, and keeps rowsWritten,
// rowsFailed and firstError.
class BatchWriter {
public:
    BatchWriter(WorkerContext& context, const FullTableTranslation& table, RowCopyResult& result,
                std::optional<BulkTablePlan> bulk)
        : context_(context), table_(table), result_(result), prefix_(InsertPrefix(table)) {
        if (bulk) bulk_ = std::make_unique<BulkRowWriter>(context, table.tableName, std::move(*bulk));
    }

    // Before the writer thread starts: the data file, identity inserts, the bulk copy.
    void Open() {
        data_ = OpenDataFile(context_, table_.tableName, result_);
        if (table_.hasIdentity) identityOn_ = Send(IdentityInsertStatement(table_, true), nullptr);
        if (bulk_ && !bulk_->Start()) bulk_.reset();
    }
    bool UsesBulkCopy() const { return bulk_ != nullptr; }
    // The target's connection broke: nothing more is sent (any thread may ask).
    bool Lost() const { return lost_; }
    // Whether a row with a large value may go as a streamed row (StreamedRow.h).
    bool StreamsValues() const {
        const Session* target = context_.TargetSession();
        return target && target->StreamsValues() && !bulk_;
    }

    // The writer thread's loop: until the queue is closed and drained.
    void Run(BoundedQueue<RenderedBatch>& queue) {
        while (std::optional<RenderedBatch> batch = queue.Pop()) {
            for (const std::string& why : batch->refusals) RowRefused(why);
            if (batch->streamed) {
                SendStreamed(*batch->streamed);
            } else if (bulk_ && bulk_->Active()) {
                bulk_->Add(std::move(*batch));
                AfterBulk();
            } else {
                Flush(std::move(*batch));
            }
        }
        if (bulk_) {
            bulk_->Finish();
            AfterBulk();
        }
        Commit();
        if (identityOn_) Send(IdentityInsertStatement(table_, false), nullptr);
        identityOn_ = false;
    }

    void CloseDataFile() { velmora::CloseDataFile(context_, data_, table_.tableName, result_); }

private:
    const char* Name() const { return table_.tableName.c_str(); }

    bool Send(const std::string& statement, std::string* why) {
        if (lost_) return false;
        std::string reason;
        if (ExecuteStatement(context_.Log(), context_.TargetSession(), statement, 0, &reason)) return true;
        if (IsConnectionFailure(reason)) Lose(reason);
        if (why) *why = reason;
        return false;
    }

    // A broken connection is no row's fault: the rows of the open transaction and those after
    // it are not written (nor counted as refused), and the reader is told to end.
    void Lose(const std::string& reason) {
        if (lost_.exchange(true)) return;
        result_.targetLost = true;
        result_.firstError = reason;
        context_.Log().WriteOutputLine("[%s] the target's connection was lost: %s", Name(), reason.c_str());
    }
    void Abandon() {
        sent_.clear();
        inTransactionRows_ = 0;
        inTransaction_ = false;
    }

    // What the bulk copy committed counts as written; what a failed batch did not keep goes
    // in statements.
    void AfterBulk() {
        Written(bulk_->TakeCommitted());
        for (RenderedBatch& rest : bulk_->TakeUnkept()) Flush(std::move(rest));
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

    void Flush(RenderedBatch batch) {
        if (batch.rows.empty() || lost_) return;
        if (!inTransaction_) inTransaction_ = Send("BEGIN TRANSACTION", nullptr);
        // The prefix goes in front of the values where they stand: no second copy of a batch
        // that holds a large value.
        batch.values.insert(0, prefix_);
        SentBatch pending{std::move(batch.values), prefix_.size(), std::move(batch.rows)};
        if (Send(pending.statement, nullptr)) {
            const auto rows = static_cast<int64_t>(pending.rows.size());
            sent_.push_back(std::move(pending));
            if (inTransaction_) {
                inTransactionRows_ += rows;
            } else {
                Written(rows);
                Backup(sent_);
            }
        } else if (lost_) {
            return Abandon();
        } else {
            Isolate(pending);
        }
        if (sent_.size() >= kBatchesPerTransaction || !inTransaction_) Commit();
    }

    // A row with large values goes on its own, after what came before it has committed: it
    // cannot be sent again once the reader has moved on, so no later rollback may take it.
    // Whatever happens, the reader is told that its row is free.
    void SendStreamed(StreamedRow& row) {
        Commit();
        std::string why;
        if (lost_) {
            // Nothing goes over a broken connection; the row is not written.
        } else if (ExecuteStreamedStatement(context_.Log(), context_.TargetSession(), prefix_ + row.values,
                                            row.parameters, &why)) {
            Written(1);
            if (data_ && context_.options.autoBackup) {
                data_.Write(prefix_);
                WriteRowLiteral(row, [this](std::string_view piece) { data_.Write(piece); });
                data_.Write("\n");
            }
        } else if (IsConnectionFailure(why)) {
            Lose(why);
        } else {
            RowRefused(why);
        }
        row.sent.set_value();
    }

    // Rows sent inside a transaction count as written once it commits.
    void Commit() {
        if (lost_) return Abandon();
        if (inTransaction_ && !Send("COMMIT TRANSACTION", nullptr)) {
            if (lost_) return Abandon();
            // What the transaction held did not arrive, and the transaction is over.
            Send(kRollback, nullptr);
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
    void Isolate(const SentBatch& failed) {
        std::vector<SentBatch> earlier = std::move(sent_);
        sent_.clear();
        if (inTransaction_) Send(kRollback, nullptr);
        inTransaction_ = false;
        inTransactionRows_ = 0;
        for (const SentBatch& batch : earlier) {
            if (Send(batch.statement, nullptr)) {
                Written(static_cast<int64_t>(batch.rows.size()));
                sent_.push_back(batch);
            } else {
                SendOneByOne(batch);
            }
        }
        SendOneByOne(failed);
        Backup(sent_);
    }

    void SendOneByOne(const SentBatch& batch) {
        for (const RowSpan& row : batch.rows) {
            if (lost_) return;
            std::string statement = prefix_;
            statement += batch.Row(row);
            std::string why;
            if (Send(statement, &why)) {
                Written(1);
                sent_.push_back({std::move(statement), prefix_.size(), {{0, row.length}}});
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
    std::unique_ptr<BulkRowWriter> bulk_;
    std::vector<SentBatch> sent_;
    std::atomic<bool> lost_ = false;
    int64_t inTransactionRows_ = 0;
    int64_t logged_ = 0;
    bool inTransaction_ = false;
    bool identityOn_ = false;
};

// The reading side, on the task's thread with its source session: renders each row for its
// target columns and hands full batches to the writer thread through a bounded queue.
class FullRowCopier : public RowSink {
public:
    FullRowCopier(WorkerContext& context, const FullTableTranslation& table, RowCopyResult& result,
                  std::optional<BulkTablePlan> bulk)
        : result_(result), writer_(context, table, result, std::move(bulk)), queue_(kQueuedBatches) {
        for (const TargetColumn& column : table.columns) {
            if (column.written) written_.push_back(&column);
        }
    }
    ~FullRowCopier() override { Finish(); }
    bool Broken() const override { return writer_.Lost(); }

    bool Begin() override {
        writer_.Open();
        bulkRows_ = writer_.UsesBulkCopy();
        streams_ = writer_.StreamsValues();
        thread_ = std::thread([this, table = LogTableScope::Current()] {
            LogTableScope named(table);  // its lines name the table as the reader's do
            writer_.Run(queue_);
        });
        return true;
    }

    size_t TakeRow(StatementRowset& rows) override {
        const int count = std::min(rows.ColumnCount(), static_cast<int>(written_.size()));
        ++result_.rowsRead;
        if (streams_ && HasStreamedValue(rows, count)) return TakeStreamedRow(rows, count);
        std::string& out = batch_.values;
        const size_t start = out.size();
        if (!batch_.rows.empty()) out.push_back(',');
        const size_t rowStart = out.size();
        RowRendering rendered = Render(out, rows, count, nullptr);
        if (rendered.failure) {
            out.resize(start);  // the row is not sent
            Refuse(rendered);
        } else {
            CountZeroDates();
            batch_.rows.push_back({rowStart, out.size() - rowStart});
            if (bulkRows_) bulkRenderer_.Append(batch_, written_, rows);
            if (batch_.rows.size() >= kBatchRows || out.size() >= kBatchBytes) HandOver();
        }
        return rendered.bytes;
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
    struct RowRendering {
        size_t bytes = 0;
        const char* failure = nullptr;
        size_t failedColumn = 0;
    };

    // Appends the row's VALUES entry "(...)" to `out`; with `streamed`, its large values become
    // markers and parameters there. Notes the zero dates made NULL in zeroDatesInRow_.
    RowRendering Render(std::string& out, StatementRowset& rows, int count, StreamedRow* streamed) {
        RowRendering row;
        zeroDatesInRow_.clear();
        out.push_back('(');
        for (int i = 0; i < count && !row.failure; ++i) {
            if (i > 0) out.push_back(',');
            const bool isNull = rows.IsNull(i);
            row.bytes += rows.Length(i);
            if (streamed && !isNull && StreamsValue(*written_[i], rows.Length(i))) {
                streamed->markers.push_back(out.size());
                out.push_back('?');
                streamed->parameters.push_back(StreamedValueOf(*written_[i], rows, i));
                streamed->columns.push_back(written_[i]);
                continue;
            }
            if (AppendRawBinary(out, *written_[i], rows, i)) continue;
            RenderedValue rendered = AppendFullValue(out, *written_[i], rows.Value(i), isNull);
            if (rendered.outcome == ValueOutcome::RowFails) {
                row.failure = rendered.reason;
                row.failedColumn = static_cast<size_t>(i);
            }
            if (rendered.outcome == ValueOutcome::ZeroDateAsNull) {
                zeroDatesInRow_.push_back(static_cast<size_t>(i));
            }
        }
        out.push_back(')');
        return row;
    }

    // A binary value whose bytes the reader holds is written from them, as the literal of its
    // digits would be: the digits are never made apart.
    static bool AppendRawBinary(std::string& out, const TargetColumn& column, StatementRowset& rows, int i) {
        if (column.rendering != ValueRendering::Binary) return false;
        const std::optional<std::string_view> bytes = rows.RawBytes(i);
        if (!bytes) return false;
        out += "0x";
        AppendHex(reinterpret_cast<const unsigned char*>(bytes->data()), bytes->size(), out);
        return true;
    }

    bool HasStreamedValue(StatementRowset& rows, int count) const {
        for (int i = 0; i < count; ++i) {
            if (!rows.IsNull(i) && StreamsValue(*written_[i], rows.Length(i))) return true;
        }
        return false;
    }

    // A row with a large value: what is rendered goes first, then the row on its own; the row's
    // values stay where the reader holds them until the writer has sent it.
    size_t TakeStreamedRow(StatementRowset& rows, int count) {
        auto row = std::make_shared<StreamedRow>();
        RowRendering rendered = Render(row->values, rows, count, row.get());
        if (rendered.failure) {
            Refuse(rendered);
            return rendered.bytes;
        }
        CountZeroDates();
        HandOver();
        std::future<void> sent = row->sent.get_future();
        RenderedBatch batch;
        batch.streamed = std::move(row);
        queue_.Push(std::move(batch));
        sent.wait();
        return rendered.bytes;
    }

    void Refuse(const RowRendering& rendered) {
        batch_.refusals.push_back(std::string(rendered.failure) + " (column " +
                                  written_[rendered.failedColumn]->name + ")");
    }

    // Only the rows that are sent count their zero dates made NULL.
    void CountZeroDates() {
        for (size_t column : zeroDatesInRow_) ++zeroDates_[column];
    }

    void HandOver() {
        if (batch_.rows.empty() && batch_.refusals.empty()) return;
        const size_t used = batch_.values.size();
        // The writer has not taken the last batches yet: the copy waits for the target.
        const bool holding = targetHolding && queue_.Full();
        if (holding) targetHolding(true);
        queue_.Push(std::move(batch_));
        if (holding) targetHolding(false);
        batch_ = RenderedBatch();
        batch_.values.reserve(used + used / 8);  // the next batch is about as long
    }

    RowCopyResult& result_;
    BatchWriter writer_;
    BoundedQueue<RenderedBatch> queue_;
    std::thread thread_;
    std::vector<const TargetColumn*> written_;
    RenderedBatch batch_;
    std::map<size_t, int64_t> zeroDates_;
    std::vector<size_t> zeroDatesInRow_;
    bool bulkRows_ = false;
    bool streams_ = false;
    BulkRowRenderer bulkRenderer_;
};

}  // namespace

RowCopyResult CopyTableRowsFull(WorkerContext& context, std::string_view database,
                                const FullTableTranslation& table,
                                std::vector<std::string>* adjustments, std::string_view narrower,
                                std::string_view sourceTable) {
    RowCopyResult result;
    result.text = kFalseText;
    if (!RowCopySessionsReady(context)) return result;
    std::string failure;
    Session* rows = FullRowSession(context, database, failure);
    if (!rows) {
        context.Log().WriteOutputLine("[%s] %s", table.tableName.c_str(), failure.c_str());
        result.readFailed = true;
        result.readError = failure;
        return result;
    }
    const std::string_view source = sourceTable.empty() ? std::string_view(table.tableName) : sourceTable;
    FullRowCopier copier(context, table, result, PlanBulkCopy(context, table, source));
    ReadTableRows(context, database, source,
                  SourceSelectList(table), copier, result, narrower, rows);
    if (result.text != kTrueText) return result;
    copier.Finish();
    copier.AddAdjustments(context.Log(), table.tableName, adjustments);
    WriteCopySummary(context.Log(), table.tableName, result);
    copier.CloseDataFile();
    return result;
}

}  // namespace velmora
