// OdbcStatementRowset: one statement on an ODBC connection and its rows, every value read as
// text (as UTF-16, or as UTF-8 where the driver holds UTF-8: see OdbcLink::textAsUtf8). A
// statement with streamed values is prepared and its values sent with SQLPutData in pieces. Values
// are read whole however long they are; binary columns are read as bytes and arrive as
// upper-case hexadecimal digits. Where the driver lets SQLGetData read a bound column, rows are
// fetched into bound buffers, in blocks where that is safe (OdbcRowBlock.h); else one row at a
// time with one SQLGetData per value. The buffers are reused from row to row. Close frees the
// driver's result (with a driver that holds whole results in memory, that is the memory of the
// whole result).
//
// Threads: one statement object is used by one thread for one operation.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/DataAccess.h"
#include "data/OdbcHandles.h"
#include "data/OdbcRowBlock.h"

namespace velmora {

class OdbcStatementRowset final : public StatementRowset {
public:
    explicit OdbcStatementRowset(std::shared_ptr<OdbcLink> link) : link_(std::move(link)) {}
    ~OdbcStatementRowset() override { Close(); }

    ResultCode Create(std::string_view text) override;
    ResultCode Execute(const PropertySet& rowsetProperties) override;
    bool HasRowset() const override { return hasRowset_; }
    ResultCode BindAllAsText(bool withLengths = true) override;
    ResultCode MoveNext() override;
    int ColumnCount() const override { return static_cast<int>(columns_.size()); }
    const ColumnInfo& Column(int index) const override;
    std::string_view Value(int index) const override;
    size_t Length(int index) const override;
    bool IsNull(int index) const override;
    bool BindStreamed(std::vector<StreamedValue> values) override;
    void Close() override;
    std::string ProviderErrorText() const override;
    std::vector<DiagnosticRecord> Diagnostics() const override { return diagnostics_; }

    // The most rows one fetch may bring (before Execute; 0: the link's choice, see
    // OdbcLink::fetchBlockRows). Tests and benchmarks set it to see both ways.
    void SetBlockRows(size_t rows) { blockRows_ = rows; }
    // The rows one fetch brings once the columns are bound (1 without bound buffers).
    size_t BlockRows() const { return bound_ && blocked_ ? block_.blockRows() : 1; }

private:
    // One row with one SQLGetData call per value, for drivers without bound-column reads.
    ResultCode FetchValueByValue();
    // Prepares the text, binds the streamed values as data at execution and sends their pieces
    // as the driver asks for each; the driver's last answer.
    SQLRETURN ExecuteStreamed();
    ResultCode FailWithDiagnostics(SQLSMALLINT type, SQLHANDLE handle);
    ResultCode Fail(std::string text);
    // After execution: skips leading results without columns (row counts of a batch) and
    // notes whether a rowset came back. A failure in a later result fails the statement.
    ResultCode FindRowset(SQLRETURN executeResult);
    ResultCode DescribeColumns();
    bool ValidIndex(int index) const { return index >= 0 && index < ColumnCount() && rowHeld_; }

    std::shared_ptr<OdbcLink> link_;  // declared first: the statement handle goes before it
    OdbcHandle statement_;
    std::u16string text_;
    bool created_ = false;
    bool executed_ = false;
    bool hasRowset_ = false;
    bool bound_ = false;
    bool rowHeld_ = false;
    bool blocked_ = false;  // the rows arrive through block_
    size_t blockRows_ = 0;
    OdbcRowBlock block_;
    std::vector<ColumnInfo> columns_;
    std::vector<std::string> values_;
    std::vector<char> nulls_;
    std::vector<StreamedValue> streamed_;
    std::vector<SQLLEN> streamedLengths_;  // the indicators bound with them
    std::u16string textBuffer_;
    std::vector<char> utf8Buffer_;
    std::vector<unsigned char> byteBuffer_;
    std::string errorText_;
    std::vector<DiagnosticRecord> diagnostics_;
};

}  // namespace velmora
