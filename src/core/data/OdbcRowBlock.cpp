#include "data/OdbcRowBlock.h"

#include <sqlucode.h>

#include <algorithm>
#include <cstring>

#include "data/OdbcTypes.h"
#include "data/WideText.h"

namespace velmora {
namespace {

bool IsCharacterType(int16_t sqlType) {
    return sqlType == SQL_CHAR || sqlType == SQL_VARCHAR || sqlType == SQL_WCHAR ||
           sqlType == SQL_WVARCHAR;
}

bool IsLongType(int16_t sqlType) {
    return sqlType == SQL_LONGVARCHAR || sqlType == SQL_WLONGVARCHAR ||
           sqlType == SQL_LONGVARBINARY;
}

// The characters a value of a column can take as text: a character column's declared length;
// for numbers, dates and the rest, the declared size with room for a sign, a point, an exponent
// and fractions of seconds. 0: unknown.
size_t TextCharacters(const ColumnInfo& column) {
    if (IsLongType(column.sqlType) || column.size == 0) return 0;
    if (IsCharacterType(column.sqlType)) return column.size;
    return std::max<size_t>(column.size, 40) + 8;
}

}  // namespace

bool OdbcRowBlock::Suits(const std::vector<ColumnInfo>& columns, bool textAsUtf8) {
    if (textAsUtf8) return true;
    for (const ColumnInfo& column : columns) {
        if (ReadKindFor(column.sqlType) != ReadKind::Text) continue;
        const size_t characters = TextCharacters(column);
        if (characters == 0 || (characters * 2 + 1) * sizeof(char16_t) > kMaxBoundBytes) return false;
    }
    return true;
}

bool OdbcRowBlock::Bind(SQLHSTMT statement, const std::vector<ColumnInfo>& columns,
                        bool textAsUtf8, size_t blockRows) {
    statement_ = statement;
    SQLFreeStmt(statement, SQL_UNBIND);
    bindings_.assign(columns.size(), Binding{});
    bool anyLong = false;
    size_t rowBytes = 0;
    for (size_t i = 0; i < columns.size(); ++i) {
        Binding& binding = bindings_[i];
        binding.kind = ReadKindFor(columns[i].sqlType);
        size_t bytes = 0;
        switch (binding.kind) {
            case ReadKind::Bit:
                binding.cType = SQL_C_BIT;
                bytes = 1;
                break;
            case ReadKind::Binary:
                binding.cType = SQL_C_BINARY;
                bytes = IsLongType(columns[i].sqlType) ? 0 : columns[i].size;
                break;
            case ReadKind::Text: {
                const size_t characters = TextCharacters(columns[i]);
                // UTF-8: up to four bytes a character. UTF-16: up to two units a character.
                binding.cType = textAsUtf8 ? SQL_C_CHAR : SQL_C_WCHAR;
                binding.terminator = textAsUtf8 ? 1 : sizeof(char16_t);
                bytes = characters == 0 ? 0
                        : textAsUtf8    ? characters * 4 + 1
                                        : (characters * 2 + 1) * sizeof(char16_t);
                break;
            }
        }
        if (bytes == 0 || bytes > kMaxBoundBytes) {
            anyLong = true;
            bytes = kLongPrefixBytes;
        }
        binding.width = bytes;
        rowBytes += bytes;
    }
    blockRows_ = anyLong ? 1 : std::clamp<size_t>(kBlockBytes / std::max<size_t>(rowBytes, 1), 1,
                                                   std::max<size_t>(blockRows, 1));
    for (size_t i = 0; i < bindings_.size(); ++i) {
        Binding& binding = bindings_[i];
        binding.buffer.assign(binding.width * blockRows_, 0);
        binding.indicators.assign(blockRows_, 0);
        SQLRETURN rc = SQLBindCol(statement, static_cast<SQLUSMALLINT>(i + 1), binding.cType,
                                  binding.buffer.data(), static_cast<SQLLEN>(binding.width),
                                  binding.indicators.data());
        if (!Succeeded(rc)) return false;
    }
    rowStatus_.assign(blockRows_, SQL_ROW_SUCCESS);
    // A statement run again keeps its attributes: a block size set before is set again.
    if (blockRows_ > 1 || arraySizeSet_) {
        arraySizeSet_ = true;
        if (!Succeeded(SQLSetStmtAttr(statement, SQL_ATTR_ROW_ARRAY_SIZE,
                                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(blockRows_)), 0)) ||
            !Succeeded(SQLSetStmtAttr(statement, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0)) ||
            !Succeeded(SQLSetStmtAttr(statement, SQL_ATTR_ROW_STATUS_PTR, rowStatus_.data(), 0))) {
            return false;
        }
    }
    values_.assign(columns.size(), std::string());
    views_.assign(columns.size(), std::string_view());
    nulls_.assign(columns.size(), 0);
    fetched_ = 0;
    current_ = 0;
    started_ = false;
    return true;
}

SQLRETURN OdbcRowBlock::Next() {
    failure_.clear();
    if (started_ && current_ + 1 < fetched_) {
        ++current_;
        return HoldRow() ? SQL_SUCCESS : SQL_ERROR;
    }
    started_ = true;
    current_ = 0;
    fetched_ = 0;
    SQLRETURN rc = SQLFetch(statement_);
    if (rc == SQL_NO_DATA || !Succeeded(rc)) return rc;
    if (blockRows_ == 1) fetched_ = 1;
    if (fetched_ == 0) return SQL_NO_DATA;
    return HoldRow() ? SQL_SUCCESS : SQL_ERROR;
}

bool OdbcRowBlock::HoldRow() {
    if (rowStatus_[current_] == SQL_ROW_ERROR) {
        failure_ = "The driver could not fetch a row of the block.";
        return false;
    }
    for (size_t column = 0; column < bindings_.size(); ++column) {
        if (!HoldValue(column)) return false;
    }
    return true;
}

bool OdbcRowBlock::HoldValue(size_t column) {
    Binding& binding = bindings_[column];
    const SQLLEN indicator = binding.indicators[current_];
    nulls_[column] = indicator == SQL_NULL_DATA ? 1 : 0;
    views_[column] = {};
    if (indicator == SQL_NULL_DATA) return true;
    const bool fits = indicator >= 0 &&
                      static_cast<size_t>(indicator) <= binding.width - binding.terminator;
    if (!fits) {
        if (blockRows_ == 1) return ReadLong(column);
        failure_ = "A value of column " + std::to_string(column + 1) +
                   " is longer than the column's declared size: the rows cannot be read in blocks.";
        return false;
    }
    const char* cell = binding.buffer.data() + current_ * binding.width;
    const auto length = static_cast<size_t>(indicator);
    std::string& value = values_[column];
    switch (binding.kind) {
        case ReadKind::Text:
            if (binding.cType == SQL_C_CHAR) {
                views_[column] = std::string_view(cell, length);
                return true;
            }
            wideScratch_.resize(length / sizeof(char16_t));
            std::memcpy(wideScratch_.data(), cell, wideScratch_.size() * sizeof(char16_t));
            value.clear();
            AppendUtf16AsUtf8(wideScratch_, value);
            break;
        case ReadKind::Binary:
            value.clear();
            AppendHex(reinterpret_cast<const unsigned char*>(cell), length, value);
            break;
        case ReadKind::Bit: value.assign(1, cell[0] ? '1' : '0'); break;
    }
    views_[column] = value;
    return true;
}

bool OdbcRowBlock::ReadLong(size_t column) {
    auto number = static_cast<SQLUSMALLINT>(column + 1);
    std::string& value = values_[column];
    bool isNull = false;
    bool read = false;
    switch (bindings_[column].kind) {
        case ReadKind::Binary:
            read = GetBinaryAsHex(statement_, number, byteScratch_, value, isNull);
            break;
        case ReadKind::Bit: read = GetBitAsDigit(statement_, number, value, isNull); break;
        case ReadKind::Text:
            read = bindings_[column].cType == SQL_C_CHAR
                       ? GetUtf8TextData(statement_, number, scratch_, value, isNull)
                       : GetTextData(statement_, number, wideScratch_, value, isNull);
            break;
    }
    nulls_[column] = isNull ? 1 : 0;
    views_[column] = value;
    return read;
}

}  // namespace velmora
