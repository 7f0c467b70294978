#include "data/OdbcConnection.h"

#include <cctype>
#include <cstdio>

#include "data/ConnectionString.h"
#include "data/ErrorText.h"
#include "data/OdbcBulkLoad.h"
#include "data/OdbcCatalogs.h"
#include "data/OdbcHandles.h"
#include "data/OdbcStatement.h"
#include "data/WideText.h"

namespace velmora {
namespace {

// Whether a connection string reaches a SQL Server driver (Microsoft's or FreeTDS).
bool NamesSqlServerDriver(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("for sql server") != std::string::npos || lower.find("freetds") != std::string::npos ||
           lower.find("tdsodbc") != std::string::npos;
}

class OdbcSession final : public Session {
public:
    explicit OdbcSession(std::shared_ptr<OdbcLink> link) : link_(std::move(link)) {}

    std::unique_ptr<StatementRowset> NewStatement() override {
        return std::make_unique<OdbcStatementRowset>(link_);
    }
    std::unique_ptr<CatalogsRowset> NewCatalogsRowset() override { return NewOdbcCatalogsRowset(link_); }
    std::unique_ptr<TablesRowset> NewTablesRowset() override { return NewOdbcTablesRowset(link_); }
    std::unique_ptr<ColumnsRowset> NewColumnsRowset() override { return NewOdbcColumnsRowset(link_); }
    std::unique_ptr<IndexesRowset> NewIndexesRowset() override { return NewOdbcIndexesRowset(link_); }
    std::unique_ptr<BulkLoad> NewBulkLoad() override { return NewOdbcBulkLoad(link_); }
    std::string ProviderErrorText() const override {
        std::string text = link_->CatalogError();
        return text.empty() ? kUnknownError : text;
    }
    bool StreamsRows() const override { return link_->streamsRows; }
    bool StreamsValues() const override { return true; }
    std::string TakeCatalogNote() override { return link_->TakeCatalogNote(); }

private:
    std::shared_ptr<OdbcLink> link_;
};

class OdbcConnection final : public DataSourceConnection {
public:
    ResultCode Open(std::string_view provider, const PropertySet& initProperties) override;
    ResultCode OpenSession() override;
    Session* session() override { return session_.get(); }
    ResultCode GetProperty(uint32_t id, std::string& value) override;
    void Close() override {
        session_.reset();
        link_.reset();
        connectionText_.clear();
    }
    std::string ProviderErrorText() const override {
        return errorText_.empty() ? kUnknownError : errorText_;
    }
    std::vector<DiagnosticRecord> Diagnostics() const override { return diagnostics_; }
    std::string ConnectionText() const override { return link_ ? connectionText_ : std::string(); }

private:
    ResultCode QueryText(const char* query, std::string& value);
    ResultCode Fail(std::string text) {
        errorText_ = std::move(text);
        return kFailure;
    }
    ResultCode Fail(std::vector<DiagnosticRecord> records) {
        diagnostics_ = std::move(records);
        return Fail(GetProviderErrorText(diagnostics_));
    }

    std::shared_ptr<OdbcLink> link_;
    std::unique_ptr<OdbcSession> session_;
    std::string errorText_;
    std::vector<DiagnosticRecord> diagnostics_;
    std::string connectionText_;
};

ResultCode OdbcConnection::Open(std::string_view provider, const PropertySet& initProperties) {
    Close();
    errorText_.clear();
    diagnostics_.clear();
    ConnectionStringResult connection =
        BuildOdbcConnectionString(provider, initProperties, InstalledOdbcDrivers());
    if (connection.text.empty()) return Fail(connection.error);

    OdbcHandle environment = OdbcHandle::Allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    if (!environment) return Fail("The ODBC driver manager could not allocate an environment.");
    SQLSetEnvAttr(environment.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    OdbcHandle dbc = OdbcHandle::Allocate(SQL_HANDLE_DBC, environment.get());
    if (!dbc) return Fail(ReadDiagnostics(SQL_HANDLE_ENV, environment.get()));
    SQLSetConnectAttrW(dbc.get(), SQL_ATTR_LOGIN_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(kLoginTimeoutSeconds)), 0);

    // The bulk-copy functions of SQL Server's drivers work only on a connection made with them on.
    const bool bulkCopy = NamesSqlServerDriver(connection.text);
    if (bulkCopy) {
        SQLSetConnectAttrW(dbc.get(), kBulkCopyAttribute,
                           reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(kBulkCopyOn)), SQL_IS_INTEGER);
    }
    std::u16string text = Utf8ToUtf16(connection.text);
    SQLSMALLINT outLength = 0;
    SQLRETURN rc = SQLDriverConnectW(dbc.get(), nullptr, WideArg(text), static_cast<SQLSMALLINT>(text.size()),
                                     nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT);
    if (!Succeeded(rc)) return Fail(ReadDiagnostics(SQL_HANDLE_DBC, dbc.get()));

    auto link = std::make_shared<OdbcLink>(std::move(environment), std::move(dbc));
    link->driverName = GetInfoText(link->dbc(), SQL_DRIVER_NAME);
    link->driverVersion = GetInfoText(link->dbc(), SQL_DRIVER_VER);
    link->dbmsName = GetInfoText(link->dbc(), SQL_DBMS_NAME);
    link->bulkCopy = bulkCopy;
    link->searchEscape = Utf8ToUtf16(GetInfoText(link->dbc(), SQL_SEARCH_PATTERN_ESCAPE));
    link->dataSourceName = connection.dataSourceName.empty()
                               ? GetInfoText(link->dbc(), SQL_DATA_SOURCE_NAME)
                               : connection.dataSourceName;
    bool mariaDb = link->driverName.find("maodbc") != std::string::npos;
    link->streamsRows = mariaDb && connection.text.find("NO_CACHE=1;") != std::string::npos &&
                        MariaDbDriverStreams(link->driverVersion);
    link->textAsUtf8 = mariaDb && connection.textAsUtf8;
    SQLUINTEGER getDataExtensions = 0;
    if (Succeeded(SQLGetInfoW(link->dbc(), SQL_GETDATA_EXTENSIONS, &getDataExtensions,
                              sizeof getDataExtensions, nullptr))) {
        link->boundFetch = (getDataExtensions & SQL_GD_BOUND) != 0;
    }
    if (mariaDb) link->fetchBlockRows = 1;
    link_ = std::move(link);
    connectionText_ = std::move(connection.text);
    return kSuccess;
}

ResultCode OdbcConnection::OpenSession() {
    if (!link_) return kNotConnected;
    session_ = std::make_unique<OdbcSession>(link_);
    return kSuccess;
}

// The first column of the first row of `query`; a NULL or a missing row is a failure.
ResultCode OdbcConnection::QueryText(const char* query, std::string& value) {
    if (!session_) return kNotConnected;
    std::unique_ptr<StatementRowset> statement = session_->NewStatement();
    ResultCode result = statement->Create(query);
    if (result >= 0) result = statement->Execute(StandardRowsetProperties());
    if (result == kSuccess && statement->HasRowset()) result = statement->BindAllAsText(true);
    if (result == kSuccess) result = statement->HasRowset() ? statement->MoveNext() : kEndOfRowset;
    if (result == kSuccess && !statement->IsNull(0)) {
        value = std::string(statement->Value(0));
        statement->Close();
        return kSuccess;
    }
    std::string error = result < 0 ? statement->ProviderErrorText() : "The server gave no value.";
    statement->Close();
    return Fail(error);
}

ResultCode OdbcConnection::GetProperty(uint32_t id, std::string& value) {
    value.clear();
    if (!link_) return kNotConnected;
    switch (id) {
        case kPropDbmsName: value = GetInfoText(link_->dbc(), SQL_DBMS_NAME); return kSuccess;
        case kPropDbmsVersion: value = GetInfoText(link_->dbc(), SQL_DBMS_VER); return kSuccess;
        case kPropDataSourceName: value = link_->dataSourceName; return kSuccess;
        case kPropDriverName: value = link_->driverName; return kSuccess;
        case kPropDriverVersion: value = link_->driverVersion; return kSuccess;
        case kPropCurrentCatalog: {
            std::optional<std::string> catalog = CurrentCatalog(link_->dbc());
            if (!catalog) return Fail(ReadDiagnostics(SQL_HANDLE_DBC, link_->dbc()));
            value = *catalog;
            return kSuccess;
        }
        case kPropServerEngineEdition:
            return QueryText(ServerPropertyQuery(id), value);
        case kPropServerVersionText:
        case kPropDatabaseCollation:
            return QueryText(ServerPropertyQuery(id), value);
        default: {
            char text[80];
            std::snprintf(text, sizeof text, "The property 0x%x is not supported.", id);
            return Fail(text);
        }
    }
}

}  // namespace

const char* ServerPropertyQuery(uint32_t id) {
    switch (id) {
        case kPropServerEngineEdition:
            return "SELECT CAST(SERVERPROPERTY('EngineEdition') AS int) AS engine_edition";
        case kPropServerVersionText: return "SELECT @@VERSION AS version_text";
        case kPropDatabaseCollation:
            return "SELECT CONVERT(nvarchar(128), DATABASEPROPERTYEX(DB_NAME(), 'Collation')) AS collation_name";
        default: return "";
    }
}

bool MariaDbDriverStreams(std::string_view driverVersion) {
    int major = 0, minor = 0, patch = 0;
    if (std::sscanf(std::string(driverVersion).c_str(), "%d.%d.%d", &major, &minor, &patch) != 3) return false;
    if (major != 3) return major > 3;
    if (minor != 1) return minor > 1;
    return patch >= 17;
}

std::unique_ptr<DataSourceConnection> NewOdbcConnection() { return std::make_unique<OdbcConnection>(); }

}  // namespace velmora
