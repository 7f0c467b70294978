#include "data/OdbcStatement.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "data/ErrorText.h"
#include "data/OdbcTypes.h"
#include "data/WideText.h"

namespace velmora {
namespace {

const ColumnInfo kNoColumn{};

// The rowset properties that every rowset here honours: it is always a forward-only rowset,
// and nothing is ever written through it, so the updatability asked for costs nothing.
bool IsKnownRowsetProperty(uint32_t id) {
    return id == kPropIRowset || id == kPropUpdatability || id == kPropIRowsetChange;
}

}  // namespace

ResultCode OdbcStatementRowset::Create(std::string_view text) {
    Close();
    errorText_.clear();
    diagnostics_.clear();
    if (!link_) return Fail("No Connection!");
    statement_ = OdbcHandle::Allocate(SQL_HANDLE_STMT, link_->dbc());
    if (!statement_) return FailWithDiagnostics(SQL_HANDLE_DBC, link_->dbc());
    text_ = Utf8ToUtf16(text);
    created_ = true;
    return kSuccess;
}

ResultCode OdbcStatementRowset::Execute(const PropertySet& rowsetProperties) {
    if (!created_) return Fail("No statement has been created.");
    for (const Property& property : rowsetProperties.entries) {
        if (!IsKnownRowsetProperty(property.id)) {
            char text[96];
            std::snprintf(text, sizeof text, "The rowset property 0x%x is not supported.", property.id);
            return Fail(text);
        }
    }
    if (executed_) {  // run again: drop the previous result first
        SQLFreeStmt(statement_.get(), SQL_CLOSE);
        hasRowset_ = bound_ = rowHeld_ = blocked_ = false;
        columns_.clear();
    }
    executed_ = true;
    SQLRETURN rc = streamed_.empty()
                       ? SQLExecDirectW(statement_.get(), WideArg(text_), static_cast<SQLINTEGER>(text_.size()))
                       : ExecuteStreamed();
    // SQL_NO_DATA: a searched update or delete that touched no row, which is success.
    if (!Succeeded(rc) && rc != SQL_NO_DATA) {
        const ResultCode failed = FailWithDiagnostics(SQL_HANDLE_STMT, statement_.get());
        if (!streamed_.empty()) SQLCancel(statement_.get());  // ends a half-sent execution
        return failed;
    }
    return FindRowset(rc);
}

bool OdbcStatementRowset::BindStreamed(std::vector<StreamedValue> values) {
    streamed_ = std::move(values);
    return true;
}

SQLRETURN OdbcStatementRowset::ExecuteStreamed() {
    SQLHSTMT handle = statement_.get();
    SQLRETURN rc = SQLPrepareW(handle, WideArg(text_), static_cast<SQLINTEGER>(text_.size()));
    if (!Succeeded(rc)) return rc;
    streamedLengths_.assign(streamed_.size(), 0);
    for (size_t i = 0; i < streamed_.size(); ++i) {
        const StreamedValue& value = streamed_[i];
        const auto length = static_cast<SQLLEN>(StreamedLength(value));
        streamedLengths_[i] = SQL_LEN_DATA_AT_EXEC(length);
        // The long types: nvarchar(max) and varbinary(max) on the wire. The value pointer is a
        // token that SQLParamData hands back: the parameter's number.
        rc = SQLBindParameter(handle, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
                              value.IsText() ? SQL_C_WCHAR : SQL_C_BINARY,
                              value.IsText() ? SQL_WLONGVARCHAR : SQL_LONGVARBINARY,
                              static_cast<SQLULEN>(std::max<SQLLEN>(length, 1)), 0,
                              reinterpret_cast<SQLPOINTER>(i + 1), 0, &streamedLengths_[i]);
        if (!Succeeded(rc)) return rc;
    }
    rc = SQLExecute(handle);
    while (rc == SQL_NEED_DATA) {
        SQLPOINTER token = nullptr;
        rc = SQLParamData(handle, &token);
        if (rc != SQL_NEED_DATA) break;
        const auto number = reinterpret_cast<uintptr_t>(token);
        if (number < 1 || number > streamed_.size()) return SQL_ERROR;
        SQLRETURN put = SQL_SUCCESS;
        ForEachPiece(streamed_[number - 1], [&](const void* data, size_t bytes) {
            put = SQLPutData(handle, const_cast<void*>(data), static_cast<SQLLEN>(bytes));
            return Succeeded(put);
        });
        if (!Succeeded(put)) return put;
    }
    return rc;
}

ResultCode OdbcStatementRowset::FindRowset(SQLRETURN rc) {
    for (;;) {
        SQLSMALLINT count = 0;
        if (rc != SQL_NO_DATA) {
            if (!Succeeded(SQLNumResultCols(statement_.get(), &count))) {
                return FailWithDiagnostics(SQL_HANDLE_STMT, statement_.get());
            }
        }
        if (count > 0) {
            hasRowset_ = true;
            return kSuccess;
        }
        rc = SQLMoreResults(statement_.get());
        if (rc == SQL_NO_DATA) return kSuccess;  // no rows anywhere: a statement without rowset
        if (!Succeeded(rc)) return FailWithDiagnostics(SQL_HANDLE_STMT, statement_.get());
    }
}

ResultCode OdbcStatementRowset::DescribeColumns() {
    SQLSMALLINT count = 0;
    if (!Succeeded(SQLNumResultCols(statement_.get(), &count))) {
        return FailWithDiagnostics(SQL_HANDLE_STMT, statement_.get());
    }
    columns_.assign(static_cast<size_t>(count), ColumnInfo{});
    std::u16string name(256, u'\0');
    for (SQLSMALLINT i = 1; i <= count; ++i) {
        SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        SQLRETURN rc = SQLDescribeColW(statement_.get(), static_cast<SQLUSMALLINT>(i), WideArg(name),
                                       static_cast<SQLSMALLINT>(name.size()), &nameLength, &sqlType,
                                       &size, &digits, &nullable);
        if (Succeeded(rc) && static_cast<size_t>(nameLength) >= name.size()) {
            name.assign(static_cast<size_t>(nameLength) + 1, u'\0');  // a longer name: again
            rc = SQLDescribeColW(statement_.get(), static_cast<SQLUSMALLINT>(i), WideArg(name),
                                 static_cast<SQLSMALLINT>(name.size()), &nameLength, &sqlType, &size,
                                 &digits, &nullable);
        }
        if (!Succeeded(rc)) return FailWithDiagnostics(SQL_HANDLE_STMT, statement_.get());
        SQLLEN isUnsigned = SQL_FALSE;
        SQLColAttributeW(statement_.get(), static_cast<SQLUSMALLINT>(i), SQL_DESC_UNSIGNED, nullptr, 0,
                         nullptr, &isUnsigned);
        ColumnInfo& column = columns_[static_cast<size_t>(i - 1)];
        column.name = Utf16ToUtf8(std::u16string_view(name.data(),
                                                      std::min<size_t>(nameLength, name.size())));
        column.sqlType = sqlType;
        column.type = TypeCodeForSqlType(sqlType, isUnsigned == SQL_TRUE);
        column.size = size;
        column.precision = column.type == kTypeNumeric || column.type == kTypeR4 ||
                                   column.type == kTypeR8 || column.type == kTypeI8 ||
                                   column.type == kTypeI4 || column.type == kTypeI2
                               ? static_cast<int16_t>(std::min<SQLULEN>(size, 0x7FFF))
                               : 0;
        column.scale = digits;
        column.nullable = nullable != SQL_NO_NULLS;
    }
    values_.assign(columns_.size(), std::string());
    nulls_.assign(columns_.size(), 0);
    return kSuccess;
}

ResultCode OdbcStatementRowset::BindAllAsText(bool /*withLengths: lengths are always kept*/) {
    if (!hasRowset_) return Fail("The statement returned no rowset.");
    if (bound_) return kSuccess;
    ResultCode rc = DescribeColumns();
    if (rc != kSuccess) return rc;
    blocked_ = link_->boundFetch && OdbcRowBlock::Suits(columns_, link_->textAsUtf8);
    if (blocked_ && !block_.Bind(statement_.get(), columns_, link_->textAsUtf8,
                                 blockRows_ ? blockRows_ : link_->fetchBlockRows)) {
        return FailWithDiagnostics(SQL_HANDLE_STMT, statement_.get());
    }
    bound_ = true;
    return kSuccess;
}

ResultCode OdbcStatementRowset::MoveNext() {
    if (!hasRowset_) return Fail("The statement returned no rowset.");
    if (!bound_) {
        ResultCode rc = BindAllAsText();
        if (rc != kSuccess) return rc;
    }
    rowHeld_ = false;
    if (!blocked_) return FetchValueByValue();
    SQLRETURN rc = block_.Next();
    if (rc == SQL_NO_DATA) return kEndOfRowset;
    if (!Succeeded(rc)) {
        return block_.failureText().empty() ? FailWithDiagnostics(SQL_HANDLE_STMT, statement_.get())
                                            : Fail(block_.failureText());
    }
    rowHeld_ = true;
    return kSuccess;
}

ResultCode OdbcStatementRowset::FetchValueByValue() {
    SQLRETURN rc = SQLFetch(statement_.get());
    if (rc == SQL_NO_DATA) return kEndOfRowset;
    if (!Succeeded(rc)) return FailWithDiagnostics(SQL_HANDLE_STMT, statement_.get());
    for (size_t i = 0; i < columns_.size(); ++i) {
        bool isNull = false;
        auto column = static_cast<SQLUSMALLINT>(i + 1);
        bool read = false;
        switch (ReadKindFor(columns_[i].sqlType)) {
            case ReadKind::Binary:
                read = GetBinaryAsHex(statement_.get(), column, byteBuffer_, values_[i], isNull);
                break;
            case ReadKind::Bit: read = GetBitAsDigit(statement_.get(), column, values_[i], isNull); break;
            case ReadKind::Text:
                read = link_->textAsUtf8
                           ? GetUtf8TextData(statement_.get(), column, utf8Buffer_, values_[i], isNull)
                           : GetTextData(statement_.get(), column, textBuffer_, values_[i], isNull);
                break;
        }
        if (!read) return FailWithDiagnostics(SQL_HANDLE_STMT, statement_.get());
        nulls_[i] = isNull ? 1 : 0;
    }
    rowHeld_ = true;
    return kSuccess;
}

const ColumnInfo& OdbcStatementRowset::Column(int index) const {
    if (index < 0 || index >= ColumnCount()) return kNoColumn;
    return columns_[static_cast<size_t>(index)];
}

std::string_view OdbcStatementRowset::Value(int index) const {
    if (!ValidIndex(index)) return {};
    if (blocked_) return block_.Value(static_cast<size_t>(index));
    return values_[static_cast<size_t>(index)];
}

size_t OdbcStatementRowset::Length(int index) const {
    return Value(index).size();
}

bool OdbcStatementRowset::IsNull(int index) const {
    if (!ValidIndex(index)) return true;
    if (blocked_) return block_.IsNull(static_cast<size_t>(index));
    return nulls_[static_cast<size_t>(index)] != 0;
}

void OdbcStatementRowset::Close() {
    // Freeing the statement handle frees the driver's result with it.
    statement_.Reset();
    created_ = executed_ = hasRowset_ = bound_ = rowHeld_ = blocked_ = false;
    block_ = OdbcRowBlock();
    // Swap with empties: a huge value read earlier must not keep its memory.
    std::vector<ColumnInfo>().swap(columns_);
    std::vector<std::string>().swap(values_);
    std::vector<char>().swap(nulls_);
    streamed_.clear();
    std::u16string().swap(textBuffer_);
    std::vector<char>().swap(utf8Buffer_);
    std::vector<unsigned char>().swap(byteBuffer_);
    std::u16string().swap(text_);
}

std::string OdbcStatementRowset::ProviderErrorText() const {
    return errorText_.empty() ? std::string(kUnknownError) : errorText_;
}

ResultCode OdbcStatementRowset::FailWithDiagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    diagnostics_ = ReadDiagnostics(type, handle);
    errorText_ = GetProviderErrorText(diagnostics_);
    return kFailure;
}

ResultCode OdbcStatementRowset::Fail(std::string text) {
    diagnostics_.clear();
    errorText_ = std::move(text);
    return kFailure;
}

}  // namespace velmora
