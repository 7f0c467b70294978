// The data access interface: connections, statements with their rows read as text, and catalog
// (schema) rowsets. One real implementation runs over ODBC (data/Odbc*.h); tests may replace the
// SQL Server target by a scripted double that implements the same interface.
//
// Conventions:
// - Text is UTF-8 on this side of the interface; the implementation converts at the driver.
// - Every operation returns a ResultCode: 0 success, negative failure, positive success with
//   information (callers treat anything but 0 as failure). Nothing throws.
// - A StatementRowset or SchemaRowset lives for one operation on one thread. A connection and its
//   Session belong to one thread at a time: the window's browsing connections to the interface
//   thread, a task's own connections to the scheduler thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "data/BulkLoad.h"
#include "data/StreamedValues.h"
#include "translation/TypeCodes.h"

namespace velmora {

using ResultCode = int32_t;

inline constexpr ResultCode kSuccess = 0;
// No more rows (DB_S_ENDOFROWSET).
inline constexpr ResultCode kEndOfRowset = 0x00040EC6;
// The call succeeded, but the driver attached information (SQL_SUCCESS_WITH_INFO).
inline constexpr ResultCode kSuccessWithInfo = 0x00040EDA;
// Unspecified failure (E_FAIL), out of memory (E_OUTOFMEMORY), no data source (DB_E_NOTFOUND).
inline constexpr ResultCode kFailure = static_cast<ResultCode>(0x80004005u);
inline constexpr ResultCode kOutOfMemory = static_cast<ResultCode>(0x8007000Eu);
inline constexpr ResultCode kNotConnected = static_cast<ResultCode>(0x80040E19u);

// Property ids of the initialisation and information property sets.
enum PropertyId : uint32_t {
    kPropAuthEncryptPassword = 0x06,
    kPropAuthMaskPassword = 0x08,
    kPropAuthPassword = 0x09,
    kPropAuthUserId = 0x0C,
    kPropCurrentCatalog = 0x25,
    kPropDataSourceName = 0x26,
    kPropDbmsName = 0x28,
    kPropDbmsVersion = 0x29,
    kPropInitDataSource = 0x3B,
    kPropInitMode = 0x3F,
    kPropInitPrompt = 0x40,
    kPropInitProviderString = 0xA0,
    kPropInitCatalog = 0xE9,
    // Provider-specific: the SQL Server target's TLS choices ("optional", "mandatory" or
    // "strict"; true to trust the server's certificate unchecked).
    kPropInitEncrypt = 0x1000,
    kPropInitTrustServerCertificate = 0x1001,
    // Provider-specific information of a SQL Server-compatible server, read with a query:
    // SERVERPROPERTY('EngineEdition') (5 is Azure SQL Database) and the text of @@VERSION.
    kPropServerEngineEdition = 0x1002,
    kPropServerVersionText = 0x1003,
    // The current database's default collation (DATABASEPROPERTYEX(DB_NAME(), 'Collation')).
    kPropDatabaseCollation = 0x1004,
    // The ODBC driver of the connection: its SQL_DRIVER_NAME ("libtdsodbc.so") and
    // SQL_DRIVER_VER ("01.03.0017").
    kPropDriverName = 0x1005,
    kPropDriverVersion = 0x1006,
    // Rowset properties sent with statements.
    kPropUpdatability = 0x75,
    kPropIRowset = 0x7E,
    kPropIRowsetChange = 0x7F,
};

using PropertyValue = std::variant<bool, int32_t, std::string>;

struct Property {
    uint32_t id = 0;
    PropertyValue value;
};

// An ordered property set; the first entry of an id is the one that counts.
struct PropertySet {
    std::vector<Property> entries;

    void Add(uint32_t id, PropertyValue value);
    // Sets the value of an id: replaces an existing entry, or appends one.
    void Set(uint32_t id, PropertyValue value);
    const PropertyValue* Find(uint32_t id) const;
    std::optional<std::string> FindText(uint32_t id) const;
};

// The property set sent with every statement: IRowset true, updatability 7.
PropertySet StandardRowsetProperties();

// One diagnostic record of a failed call: its SQLSTATE, the server's native error code and the
// message (UTF-8), in the order the driver gave them.
struct DiagnosticRecord {
    std::string sqlState;
    int32_t nativeError = 0;
    std::string message;
};

// The record of a failure that says why. The specified failure texts stay what they are; this
// is the line written after them. It is the first error record (SQLSTATE not of class 01, a
// warning) that is neither SQL Server's trailing "The statement has been terminated." nor a
// generic "Unable to connect to data source" while another record says more; failing that, the
// last readable record; failing that, `fallback`. Prefixed with the SQLSTATE and native code
// when the driver gave them: "[42000] (2812) Could not find stored procedure 'x'."
std::string MostInformativeText(const std::vector<DiagnosticRecord>& records,
                                std::string_view fallback);

struct ColumnInfo {
    std::string name;
    uint16_t type = kTypeEmpty;  // TypeCode of the column's SQL type
    int16_t sqlType = 0;         // the driver's own SQL type code
    uint64_t size = 0;
    int16_t precision = 0;
    int16_t scale = 0;
    bool nullable = true;
};

// One statement on a session and its optional rows. Every column is read as text; a value is
// never cut, however long it is. Binary columns arrive as upper-case hexadecimal digits.
class StatementRowset {
public:
    virtual ~StatementRowset() = default;

    virtual ResultCode Create(std::string_view text) = 0;
    virtual ResultCode Execute(const PropertySet& rowsetProperties) = 0;
    virtual bool HasRowset() const = 0;
    virtual ResultCode BindAllAsText(bool withLengths = true) = 0;
    // One row forward: 0 with a row, kEndOfRowset at the end, negative on failure.
    virtual ResultCode MoveNext() = 0;
    virtual int ColumnCount() const = 0;
    virtual const ColumnInfo& Column(int index) const = 0;  // 0-based
    virtual std::string_view Value(int index) const = 0;
    virtual size_t Length(int index) const = 0;
    virtual bool IsNull(int index) const = 0;
    // A binary column's bytes as they arrived, where the reader holds them apart from the
    // hexadecimal digits that Value gives (and makes those digits only when asked); nothing
    // otherwise. Valid until the next MoveNext.
    virtual std::optional<std::string_view> RawBytes(int index) const {
        (void)index;
        return std::nullopt;
    }
    // Before Execute: `values` are the statement's parameters, one per marker (?) in its text, in
    // order, sent in pieces while it executes (data/StreamedValues.h). False when this statement
    // sends text only (see Session::StreamsValues).
    virtual bool BindStreamed(std::vector<StreamedValue> values) {
        (void)values;
        return false;
    }
    virtual void Close() = 0;
    // The driver's description of this statement's last failure: the last readable diagnostic
    // record's message, or "Unknown Error!" when there is none.
    virtual std::string ProviderErrorText() const = 0;
    // Every diagnostic record of the last failure (empty when the implementation keeps none).
    virtual std::vector<DiagnosticRecord> Diagnostics() const { return {}; }
    // The record that says why the last call failed (see MostInformativeText).
    std::string MostInformativeError() const {
        return MostInformativeText(Diagnostics(), ProviderErrorText());
    }
};

struct CatalogRecord {
    std::string catalogName;
    std::string description;
};

struct TableRecord {
    std::string tableCatalog;
    std::string tableSchema;
    std::string tableName;
    std::string tableType;  // "TABLE", "VIEW", "SYSTEM TABLE", ...
    std::string description;
};

struct ColumnRecord {
    std::string tableCatalog;
    std::string tableSchema;
    std::string tableName;
    std::string columnName;
    uint32_t ordinalPosition = 0;
    bool hasDefault = false;
    std::string columnDefault;
    bool isNullable = true;
    int16_t dataType = 0;  // the driver's SQL type code
    std::string typeName;
    uint64_t characterMaximumLength = 0;
    int16_t numericPrecision = 0;
    int16_t numericScale = 0;
};

struct IndexRecord {
    std::string tableCatalog;
    std::string tableSchema;
    std::string tableName;
    std::string indexName;
    bool primaryKey = false;
    bool unique = false;
    uint32_t ordinalPosition = 0;  // position of the column within the index, from 1
    std::string columnName;
};

// A catalog query and the record that receives one row at a time. Restrictions are positional
// (see each kind); an absent restriction does not restrict.
template <typename Record>
class SchemaRowset {
public:
    virtual ~SchemaRowset() = default;
    virtual ResultCode Open(const std::vector<std::optional<std::string>>& restrictions) = 0;
    virtual ResultCode MoveNext() = 0;
    virtual const Record& Current() const = 0;
    virtual void Close() = 0;
    virtual std::string ProviderErrorText() const = 0;
};

// Restrictions: catalog name.
using CatalogsRowset = SchemaRowset<CatalogRecord>;
// Restrictions: table catalog, table schema, table name, table type.
using TablesRowset = SchemaRowset<TableRecord>;
// Restrictions: table catalog, table schema, table name, column name.
using ColumnsRowset = SchemaRowset<ColumnRecord>;
// Restrictions: table catalog, table schema, index name, type, table name.
using IndexesRowset = SchemaRowset<IndexRecord>;

// An open session of a connection.
class Session {
public:
    virtual ~Session() = default;
    virtual std::unique_ptr<StatementRowset> NewStatement() = 0;
    virtual std::unique_ptr<CatalogsRowset> NewCatalogsRowset() = 0;
    virtual std::unique_ptr<TablesRowset> NewTablesRowset() = 0;
    virtual std::unique_ptr<ColumnsRowset> NewColumnsRowset() = 0;
    virtual std::unique_ptr<IndexesRowset> NewIndexesRowset() = 0;
    // The driver's description of the last failed catalog call on this session.
    virtual std::string ProviderErrorText() const = 0;
    // True when the rows of a statement come from the server as they are read, so that one
    // statement over a huge table holds about one row in memory. False when the driver keeps a
    // whole result in client memory (MariaDB Connector/ODBC before 3.1.17): a reader of a huge
    // table should then read it in pages (keyset order) so that memory stays bounded.
    virtual bool StreamsRows() const { return false; }
    // True when this session's statements take parameters sent in pieces
    // (StatementRowset::BindStreamed): a server connection. A script of statements has only text.
    // Constant for the session; any thread may ask.
    virtual bool StreamsValues() const { return false; }
    // Once per session, after a catalog question was answered another way than the driver's
    // catalog call (the sys views of a server that lacks the driver's catalog procedures): a
    // line that says so, for the log. Empty otherwise, and at every later call.
    virtual std::string TakeCatalogNote() { return {}; }
    // The bulk-copy interface of this connection (data/BulkLoad.h); null when its driver has
    // none, or the connection was not opened for it.
    virtual std::unique_ptr<BulkLoad> NewBulkLoad() { return nullptr; }
    // Keeps `comment` (lines of "-- " comments) where the session's statements are kept, between
    // them: a script target writes it at its place. False when the statements run on a server,
    // which has nowhere to keep it.
    virtual bool Annotate(std::string_view comment) {
        (void)comment;
        return false;
    }
};

// One side's connection: a data source and its session, both absent while not connected.
class DataSourceConnection {
public:
    virtual ~DataSourceConnection() = default;

    // Opens the data source of `provider` ("MSDASQL": the ODBC driver manager; "SQLOLEDB": the
    // installed SQL Server driver) with the initialisation properties. Releases any data source
    // held before.
    virtual ResultCode Open(std::string_view provider, const PropertySet& initProperties) = 0;
    virtual ResultCode OpenSession() = 0;
    // Null while the side is not connected.
    virtual Session* session() = 0;
    // A data source information property as text (DBMS name and version, data source name,
    // current catalog).
    virtual ResultCode GetProperty(uint32_t id, std::string& value) = 0;
    virtual void Close() = 0;
    // The driver's description of the last failed Open or OpenSession.
    virtual std::string ProviderErrorText() const = 0;
    // The connection string the open connection was made with (it holds the password: it is
    // never written anywhere); empty when there is none.
    virtual std::string ConnectionText() const { return {}; }
    // Every diagnostic record of the last failed Open or OpenSession.
    virtual std::vector<DiagnosticRecord> Diagnostics() const { return {}; }
    std::string MostInformativeError() const {
        return MostInformativeText(Diagnostics(), ProviderErrorText());
    }
};

}  // namespace velmora
