#include "Converters/FullRowTransfer.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

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

// One statement sent inside the open transaction, kept until the commit: on a rollback its rows
// are sent again.
struct SentBatch {
    std::string statement;
    std::vector<std::string> rows;
};

class FullRowCopier : public RowSink {
public:
    FullRowCopier(WorkerContext& context, const FullTableTranslation& table, RowCopyResult& result)
        : context_(context), table_(table), result_(result), prefix_(InsertPrefix(table)) {
        for (const TargetColumn& column : table.columns) {
            if (column.written) written_.push_back(&column);
        }
    }

    bool Begin() override {
        data_ = OpenDataFile(context_, table_.tableName, result_);
        if (table_.hasIdentity) identityOn_ = Send(IdentityInsertStatement(table_, true), nullptr);
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
            RowRefused(std::string(failure) + " (column " + written_[failedColumn]->name + ")");
        } else {
            // Only the rows that are sent count their zero dates made NULL.
            for (size_t column : zeroDatesInRow_) ++zeroDates_[column];
            pendingBytes_ += row_.size();
            pending_.push_back(std::move(row_));
            row_.clear();
            if (pending_.size() >= kBatchRows || pendingBytes_ >= kBatchBytes) Flush();
        }
        if (result_.rowsRead % kProgressEvery == 0) {
            context_.Log().WriteOutputLine("[%s] %lld records converted!", Name(),
                                           static_cast<long long>(result_.rowsRead));
        }
        return bytes;
    }

    // Sends what is pending, commits, and switches identity inserts off again.
    void Finish() {
        Flush();
        Commit();
        if (identityOn_) Send(IdentityInsertStatement(table_, false), nullptr);
        identityOn_ = false;
    }

    // The zero dates made NULL, one adjustment per column.
    void AddAdjustments(std::vector<std::string>* adjustments) const {
        for (const auto& [index, count] : zeroDates_) {
            std::string text = written_[index]->name + ": " + std::to_string(count) +
                               " zero date" + (count == 1 ? "" : "s") + " became NULL";
            context_.Log().WriteOutputLine("[%s] ADJUSTED %s", Name(), text.c_str());
            if (adjustments) adjustments->push_back(text);
        }
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
        std::string why;
        if (Send(statement, &why)) {
            result_.rowsWritten += static_cast<int64_t>(pending_.size());
            sent_.push_back({std::move(statement), std::move(pending_)});
            if (!inTransaction_) Backup(sent_);
        } else {
            Isolate();
        }
        pending_.clear();
        pendingBytes_ = 0;
        if (sent_.size() >= kBatchesPerTransaction || !inTransaction_) Commit();
    }

    void Commit() {
        if (inTransaction_ && !Send("COMMIT TRANSACTION", nullptr)) {
            // What the transaction held did not arrive.
            for (const SentBatch& batch : sent_) {
                result_.rowsWritten -= static_cast<int64_t>(batch.rows.size());
                for (size_t i = 0; i < batch.rows.size(); ++i) RowRefused("the commit failed");
            }
            sent_.clear();
        }
        inTransaction_ = false;
        Backup(sent_);
    }

    // The pending statement failed: roll its transaction back, send the earlier statements of
    // that transaction again, then the pending rows one at a time.
    void Isolate() {
        std::vector<SentBatch> earlier = std::move(sent_);
        sent_.clear();
        if (inTransaction_) Send("ROLLBACK TRANSACTION", nullptr);
        inTransaction_ = false;
        for (const SentBatch& batch : earlier) {
            result_.rowsWritten -= static_cast<int64_t>(batch.rows.size());
            if (Send(batch.statement, nullptr)) {
                result_.rowsWritten += static_cast<int64_t>(batch.rows.size());
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
                ++result_.rowsWritten;
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
    std::vector<const TargetColumn*> written_;
    WorkFile data_;
    std::string row_;
    std::vector<std::string> pending_;
    size_t pendingBytes_ = 0;
    std::vector<SentBatch> sent_;
    bool inTransaction_ = false;
    bool identityOn_ = false;
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
    copier.AddAdjustments(adjustments);
    WriteCopySummary(context.Log(), table.tableName, result);
    copier.CloseDataFile();
    return result;
}

}  // namespace velmora
