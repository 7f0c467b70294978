#include "data/OdbcHandles.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <utility>

#include "data/WideText.h"

namespace velmora {

OdbcHandle& OdbcHandle::operator=(OdbcHandle&& other) noexcept {
    if (this != &other) {
        Reset();
        type_ = other.type_;
        handle_ = other.handle_;
        other.handle_ = SQL_NULL_HANDLE;
    }
    return *this;
}

OdbcHandle OdbcHandle::Allocate(SQLSMALLINT type, SQLHANDLE parent) {
    SQLHANDLE handle = SQL_NULL_HANDLE;
    if (!Succeeded(SQLAllocHandle(type, parent, &handle))) return {};
    return OdbcHandle(type, handle);
}

void OdbcHandle::Reset() {
    if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, handle_);
    handle_ = SQL_NULL_HANDLE;
}

std::vector<DiagnosticRecord> ReadDiagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::vector<DiagnosticRecord> records;
    if (handle == SQL_NULL_HANDLE) return records;
    for (SQLSMALLINT number = 1;; ++number) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        std::u16string message(1024, u'\0');
        SQLRETURN rc = SQLGetDiagRecW(type, handle, number, state, &native, WideArg(message),
                                      static_cast<SQLSMALLINT>(message.size()), &length);
        if (rc == SQL_NO_DATA || rc == SQL_INVALID_HANDLE) break;
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
            // The message was longer than the buffer: read it again whole.
            message.assign(static_cast<size_t>(length) + 1, u'\0');
            rc = SQLGetDiagRecW(type, handle, number, state, &native, WideArg(message),
                                static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (!Succeeded(rc)) {
            if (number > 64) break;  // a driver that keeps failing: do not loop for ever
            continue;
        }
        message.resize(std::min<size_t>(static_cast<size_t>(length), message.size()));
        DiagnosticRecord record;
        record.sqlState = Utf16ToUtf8(std::u16string_view(reinterpret_cast<char16_t*>(state), 5));
        record.nativeError = native;
        record.message = Utf16ToUtf8(message);
        records.push_back(std::move(record));
    }
    return records;
}

OdbcLink::~OdbcLink() {
    if (connection_) SQLDisconnect(connection_.get());
}

void OdbcLink::SetCatalogError(std::string text) {
    std::lock_guard<std::mutex> lock(mutex_);
    catalogError_ = std::move(text);
}

std::string OdbcLink::CatalogError() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return catalogError_;
}

namespace {

// The servers of this process whose driver's catalog calls failed, by ServerKey.
struct ServersWithoutCatalogCalls {
    std::mutex mutex;
    std::set<std::string> keys;
};

ServersWithoutCatalogCalls& WithoutCatalogCalls() {
    static ServersWithoutCatalogCalls servers;
    return servers;
}

std::string ServerKey(const OdbcLink& link) {
    return link.driverName + '\n' + link.dataSourceName + '\n' + link.dbmsName;
}

bool KnownWithoutCatalogCalls(const OdbcLink& link) {
    ServersWithoutCatalogCalls& servers = WithoutCatalogCalls();
    std::lock_guard<std::mutex> lock(servers.mutex);
    return servers.keys.count(ServerKey(link)) > 0;
}

}  // namespace

void OdbcLink::NoteCatalogFallback(const std::string& driverText) {
    {
        ServersWithoutCatalogCalls& servers = WithoutCatalogCalls();
        std::lock_guard<std::mutex> lock(servers.mutex);
        servers.keys.insert(ServerKey(*this));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (catalogFallbackNoted_) return;
    catalogFallbackNoted_ = true;
    catalogNote_ = "The driver's catalog calls are not available on this server; tables, views, columns "
                   "and indexes are listed from its sys views instead (the driver said: " + driverText + ")";
}

bool OdbcLink::CatalogFallbackNoted() const {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (catalogFallbackNoted_) return true;
    }
    return KnownWithoutCatalogCalls(*this);
}

std::string OdbcLink::TakeCatalogNote() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(catalogNote_, std::string());
}

std::optional<std::string> CurrentCatalog(SQLHDBC dbc) {
    std::u16string catalog(512, u'\0');
    SQLINTEGER length = 0;
    SQLRETURN rc = SQLGetConnectAttrW(dbc, SQL_ATTR_CURRENT_CATALOG, WideArg(catalog),
                                      static_cast<SQLINTEGER>(catalog.size() * sizeof(char16_t)), &length);
    if (!Succeeded(rc)) return std::nullopt;
    if (length == SQL_NULL_DATA) return std::string();
    catalog.resize(std::min(catalog.size(), static_cast<size_t>(std::max<SQLINTEGER>(length, 0)) / sizeof(char16_t)));
    return Utf16ToUtf8(catalog);
}

std::string GetInfoText(SQLHDBC dbc, SQLUSMALLINT infoType) {
    std::u16string value(512, u'\0');
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetInfoW(dbc, infoType, WideArg(value),
                               static_cast<SQLSMALLINT>(value.size() * sizeof(char16_t)), &length);
    if (!Succeeded(rc)) return {};
    value.resize(std::min(value.size(), static_cast<size_t>(length) / sizeof(char16_t)));
    return Utf16ToUtf8(value);
}

namespace {

// Reads a whole value with as many SQLGetData calls as it takes, growing `buffer` by at least
// `step` units at a time. `terminator` is the number of units the driver ends every part with
// (1 for text, 0 for binary). Sets `held` to the units read; false on a driver failure.
template <typename Buffer>
bool ReadWholeValue(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT cType, size_t terminator,
                    size_t step, Buffer& buffer, size_t& held, bool& isNull) {
    constexpr size_t kUnit = sizeof(typename Buffer::value_type);
    if (buffer.size() < step) buffer.resize(step);
    held = 0;
    isNull = false;
    for (;;) {
        size_t room = buffer.size() - held;
        SQLLEN indicator = 0;
        SQLRETURN rc = SQLGetData(statement, column, cType, buffer.data() + held,
                                  static_cast<SQLLEN>(room * kUnit), &indicator);
        if (rc == SQL_NO_DATA) return true;  // the previous part was the last one
        if (!Succeeded(rc)) return false;
        if (indicator == SQL_NULL_DATA) {
            isNull = true;
            return true;
        }
        const size_t usable = room - terminator;
        if (indicator != SQL_NO_TOTAL && static_cast<size_t>(indicator) / kUnit <= usable) {
            held += static_cast<size_t>(indicator) / kUnit;
            return true;
        }
        // Part of the value: the driver filled the room (and ended it with its terminator).
        // Make room for the rest (known, or twice as much when the driver cannot say) and go on.
        held += usable;
        size_t needed = indicator == SQL_NO_TOTAL
                            ? buffer.size() * 2
                            : held + (static_cast<size_t>(indicator) / kUnit - usable) + terminator;
        buffer.resize(std::max(needed, held + step));
    }
}

}  // namespace

bool GetTextData(SQLHSTMT statement, SQLUSMALLINT column, std::u16string& buffer,
                 std::string& value, bool& isNull) {
    size_t held = 0;
    if (!ReadWholeValue(statement, column, SQL_C_WCHAR, 1, 4096, buffer, held, isNull)) return false;
    value.clear();
    if (!isNull) AppendUtf16AsUtf8(std::u16string_view(buffer.data(), held), value);
    return true;
}

bool GetUtf8TextData(SQLHSTMT statement, SQLUSMALLINT column, std::vector<char>& buffer,
                     std::string& value, bool& isNull) {
    size_t held = 0;
    if (!ReadWholeValue(statement, column, SQL_C_CHAR, 1, 8192, buffer, held, isNull)) return false;
    value.assign(buffer.data(), isNull ? 0 : held);
    return true;
}

bool GetBinaryAsHex(SQLHSTMT statement, SQLUSMALLINT column, std::vector<unsigned char>& buffer,
                    std::string& value, bool& isNull) {
    size_t held = 0;
    if (!ReadWholeValue(statement, column, SQL_C_BINARY, 0, 8192, buffer, held, isNull)) {
        return false;
    }
    value.clear();
    if (!isNull) AppendHex(buffer.data(), held, value);
    return true;
}

bool GetBitAsDigit(SQLHSTMT statement, SQLUSMALLINT column, std::string& value, bool& isNull) {
    unsigned char bit = 0;
    SQLLEN indicator = 0;
    if (!Succeeded(SQLGetData(statement, column, SQL_C_BIT, &bit, sizeof bit, &indicator))) return false;
    isNull = indicator == SQL_NULL_DATA;
    value.clear();
    if (!isNull) value.push_back(bit ? '1' : '0');
    return true;
}

}  // namespace velmora
