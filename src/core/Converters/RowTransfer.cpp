#include "Converters/RowTransfer.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "translation/Naming.h"
#include "Converters/RowReading.h"
#include "Converters/SourceQuery.h"
#include "translation/ValueLiterals.h"
#include "Converters/WorkFiles.h"
#include "Converters/WorkerContext.h"
#include "data/ErrorText.h"

namespace velmora {
namespace {

constexpr int64_t kProgressEvery = 1000;

// Runs one statement on the target; on failure `error` (when given) gets the driver's text.
bool RunTargetStatement(Session* target, std::string_view statement, std::string* error) {
    std::unique_ptr<StatementRowset> rowset = target->NewStatement();
    if (!rowset) {
        if (error) *error = "Unknown Error!";
        return false;
    }
    static const PropertySet properties = StandardRowsetProperties();
    bool ran = rowset->Create(statement) >= 0 && rowset->Execute(properties) == kSuccess;
    if (!ran && error) *error = rowset->ProviderErrorText();
    rowset->Close();
    return ran;
}

// Turns each row into its own insert, runs it and writes the data file.
class RowCopier : public RowSink {
public:
    RowCopier(WorkerContext& context, std::string_view table, RowCopyResult& result)
        : context_(context), table_(table), result_(result), start_(InsertStatementStart(table)) {}

    // The data file is made once the rows can be read.
    bool Begin() override {
        data_ = OpenDataFile(context_, table_, result_);
        return true;
    }

    // One row: build, back up and run its statement; returns the bytes of its values.
    size_t TakeRow(StatementRowset& rows) override {
        statement_.assign(start_);
        size_t bytes = 0;
        for (int i = 0; i < rows.ColumnCount(); ++i) {
            if (i > 0) statement_.push_back(',');
            std::string_view value = rows.Value(i);
            bytes += value.size();
            AppendValueLiteral(statement_, rows.Column(i).type, value, rows.IsNull(i));
        }
        statement_ += ")\n";
        ++result_.rowsRead;
        if (data_ && context_.options.autoBackup) data_.Write(statement_);
        std::string error;
        if (RunTargetStatement(context_.TargetSession(), statement_, &error)) {
            ++result_.rowsWritten;
        } else if (IsConnectionFailure(error)) {
            // Not this row's fault: nothing more goes over the connection (the read ends).
            result_.targetLost = true;
            result_.firstError = error;
            context_.Log().WriteOutputLine("[%s] the target's connection was lost: %s", table_.c_str(), error.c_str());
        } else if (++result_.rowsFailed == 1) {
            result_.firstError = error;
            context_.Log().WriteOutputLine("[%s] INSERT failed: %s", table_.c_str(),
                                           result_.firstError.c_str());
        }
        if (result_.rowsRead % kProgressEvery == 0) {
            context_.Log().WriteOutputLine("[%s] %lld records converted!", table_.c_str(),
                                           static_cast<long long>(result_.rowsRead));
        }
        return bytes;
    }

    bool Broken() const override { return result_.targetLost; }
    void Close() { CloseDataFile(context_, data_, table_, result_); }

private:
    WorkerContext& context_;
    std::string table_;
    RowCopyResult& result_;
    WorkFile data_;
    std::string start_;
    std::string statement_;
};

}  // namespace

void WriteCopySummary(OperationLog& log, std::string_view table, const RowCopyResult& result) {
    std::string name(table);
    if (result.targetLost) {
        log.WriteOutputLine("[%s] %lld records converted, the target's connection was LOST!", name.c_str(),
                            static_cast<long long>(result.rowsWritten));
    } else if (result.rowsFailed > 0) {
        log.WriteOutputLine("[%s] %lld records converted, %lld records FAILED!", name.c_str(),
                            static_cast<long long>(result.rowsWritten),
                            static_cast<long long>(result.rowsFailed));
    } else if (result.readFailed) {
        log.WriteOutputLine("[%s] %lld records converted, reading the rows FAILED!", name.c_str(),
                            static_cast<long long>(result.rowsWritten));
    } else {
        log.WriteOutputLine("[%s] %lld records converted, convertion completed SUCCESSFULLY!",
                            name.c_str(), static_cast<long long>(result.rowsRead));
    }
}

std::string InsertStatementStart(std::string_view table) {
    return "insert into " + QuoteTargetName(table) + " values (";
}

bool RowCopySessionsReady(WorkerContext& context) {
    if (!context.SourceSession()) {
        context.Log().WriteText("No Source Connection!");
        return false;
    }
    if (!context.TargetSession()) {
        context.Log().WriteText("No Target Connection!");
        return false;
    }
    return true;
}

WorkFile OpenDataFile(WorkerContext& context, const std::string& table, RowCopyResult& result) {
    WorkFile data = OpenWorkFile(context.workFolder, table + ".data", "w+");
    if (!data && context.options.autoBackup) {
        context.Log().WriteOutputLine("[%s] The data file %s.data cannot be created: %s",
                                      table.c_str(), table.c_str(), std::strerror(errno));
        result.backupFailed = true;
    }
    return data;
}

void CloseDataFile(WorkerContext& context, WorkFile& data, const std::string& table,
                   RowCopyResult& result) {
    if (data && !data.Close() && context.options.autoBackup) {
        context.Log().WriteOutputLine("[%s] The data file %s.data could not be written completely!",
                                      table.c_str(), table.c_str());
        result.backupFailed = true;
    }
}

RowCopyResult CopyTableRows(WorkerContext& context, std::string_view database,
                            std::string_view table, std::string_view narrower) {
    RowCopyResult result;
    result.text = kFalseText;
    if (!RowCopySessionsReady(context)) return result;
    RowCopier copier(context, table, result);
    ReadTableRows(context, database, table, "*", copier, result, narrower);
    if (result.text != kTrueText) return result;
    WriteCopySummary(context.Log(), table, result);
    copier.Close();
    return result;
}

}  // namespace velmora
