// OdbcHandles: the ODBC plumbing under the data access layer: a move-only owner of one ODBC
// handle, the diagnostic records of a handle, and the link (environment and connection) that a
// connection, its session and every statement on it share.
//
// Threads: a handle belongs to the object that owns it; an OdbcLink's connection handle is used
// by the interface thread and the scheduler thread one call at a time (the driver manager and
// the drivers serialise calls on one connection).
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/DataAccess.h"

namespace velmora {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC wide characters must be UTF-16 units");

inline SQLWCHAR* WideArg(std::u16string& text) { return reinterpret_cast<SQLWCHAR*>(text.data()); }

inline bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// Owns one ODBC handle and frees it (SQLFreeHandle) when destroyed or reset.
class OdbcHandle {
public:
    OdbcHandle() = default;
    OdbcHandle(SQLSMALLINT type, SQLHANDLE handle) : type_(type), handle_(handle) {}
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;
    OdbcHandle(OdbcHandle&& other) noexcept { *this = std::move(other); }
    OdbcHandle& operator=(OdbcHandle&& other) noexcept;
    ~OdbcHandle() { Reset(); }

    // Allocates a handle of `type` under `parent`; an empty handle on failure (the parent's
    // diagnostics say why).
    static OdbcHandle Allocate(SQLSMALLINT type, SQLHANDLE parent);

    void Reset();
    SQLHANDLE get() const { return handle_; }
    SQLSMALLINT type() const { return type_; }
    explicit operator bool() const { return handle_ != SQL_NULL_HANDLE; }

private:
    SQLSMALLINT type_ = 0;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// Every diagnostic record that the last call on `handle` left, in the driver's order. Records
// that cannot be read are skipped.
std::vector<DiagnosticRecord> ReadDiagnostics(SQLSMALLINT type, SQLHANDLE handle);

// The environment and the open connection of one data source. Statements keep it alive, so a
// connection closed while a statement still exists is disconnected when that statement goes.
class OdbcLink {
public:
    OdbcLink(OdbcHandle environment, OdbcHandle connection)
        : environment_(std::move(environment)), connection_(std::move(connection)) {}
    OdbcLink(const OdbcLink&) = delete;
    OdbcLink& operator=(const OdbcLink&) = delete;
    ~OdbcLink();

    SQLHDBC dbc() const { return connection_.get(); }

    // Facts read once after connecting.
    std::string driverName;     // SQL_DRIVER_NAME, e.g. libmaodbc.so
    std::string driverVersion;  // SQL_DRIVER_VER, e.g. 03.01.0015
    std::u16string searchEscape;  // SQL_SEARCH_PATTERN_ESCAPE, usually "\"
    bool streamsRows = false;
    // Character data is fetched as the UTF-8 the driver already holds (SQL_C_CHAR) instead of
    // UTF-16: MariaDB Connector/ODBC with CHARSET=utf8mb4. Its conversion to UTF-16 made reading
    // six times slower (3.1.15: 42,000 against 250,000 rows per second, measured).
    bool textAsUtf8 = false;
    // Rows are fetched into bound buffers (OdbcRowBlock.h): the driver lets SQLGetData read a
    // bound column (SQL_GD_BOUND), which a value longer than its buffer needs.
    bool boundFetch = false;
    // The most rows one fetch brings. MariaDB Connector/ODBC 3.1.15: one, since blocks were no
    // faster there (1,000,000 rows: 1.27 s in blocks of 256 against 1.13 s one at a time, both
    // bound) and its driver converts row by row anyway.
    size_t fetchBlockRows = 64;
    std::string dataSourceName;  // what the data source name property reports
    std::string dbmsName;        // SQL_DBMS_NAME, e.g. "Microsoft SQL Server", "MariaDB"
    bool bulkCopy = false;       // opened with SQL_COPT_SS_BCP on (a SQL Server driver)

    // The driver's text for the last failed catalog call on this connection.
    void SetCatalogError(std::string text);
    std::string CatalogError() const;
    // A catalog call failed and the sys views answered instead: the first such note is kept
    // until taken (once per connection). The server (its driver, data source and DBMS name) is
    // remembered for the rest of the process: CatalogFallbackNoted is true at once on every later
    // connection to it, whose catalog questions then go straight to the sys views (a failing
    // catalog call costs about a second each time on such a server).
    void NoteCatalogFallback(const std::string& driverText);
    bool CatalogFallbackNoted() const;
    std::string TakeCatalogNote();

private:
    mutable std::mutex mutex_;
    std::string catalogError_;
    bool catalogFallbackNoted_ = false;
    std::string catalogNote_;
    OdbcHandle environment_;
    OdbcHandle connection_;
};

// The connection's current database (SQL_ATTR_CURRENT_CATALOG); nothing when the driver cannot
// say. An empty text means no database is selected.
std::optional<std::string> CurrentCatalog(SQLHDBC dbc);

// A text value of SQLGetInfoW; empty when the driver does not answer.
std::string GetInfoText(SQLHDBC dbc, SQLUSMALLINT infoType);

// Reads a column of the current row whole, however long, with as many SQLGetData calls as it
// takes. `buffer` is scratch space that keeps its size between calls (no allocation per row
// once it is large enough). False when the driver fails (its diagnostics say why).
// As text: the UTF-8 form of the value. As bytes: its upper-case hexadecimal digits.
bool GetTextData(SQLHSTMT statement, SQLUSMALLINT column, std::u16string& buffer,
                 std::string& value, bool& isNull);
bool GetUtf8TextData(SQLHSTMT statement, SQLUSMALLINT column, std::vector<char>& buffer,
                     std::string& value, bool& isNull);
bool GetBinaryAsHex(SQLHSTMT statement, SQLUSMALLINT column, std::vector<unsigned char>& buffer,
                    std::string& value, bool& isNull);
// A bit column as "0" or "1".
bool GetBitAsDigit(SQLHSTMT statement, SQLUSMALLINT column, std::string& value, bool& isNull);

}  // namespace velmora
