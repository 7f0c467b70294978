#include "data/MariaDbRows.h"

#include <mysql.h>
#include <strings.h>

#include <cstdlib>
#include <vector>

#include "data/ConnectionString.h"
#include "data/WideText.h"

namespace velmora {
namespace {

// Connection string keys compare without regard to case (ASCII; a key holds no zero byte).
bool SameKey(std::string_view left, std::string_view right) {
    return left.size() == right.size() && strncasecmp(left.data(), right.data(), left.size()) == 0;
}

// The ODBC driver's yes: 1, yes, on, true.
bool IsYes(std::string_view value) {
    return value == "1" || SameKey(value, "yes") || SameKey(value, "on") || SameKey(value, "true");
}

bool ParsePort(std::string_view text, unsigned& port) {
    if (text.empty() || text.size() > 5) return false;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 65535) return false;
    port = value;
    return true;
}

// Applies one key of the connection string; keys of no meaning here are left alone.
bool ApplyKey(NativeSourceOptions& options, const std::string& key, const std::string& value,
              std::string& why) {
    struct Text {
        const char* key;
        std::string NativeSourceOptions::*field;
    };
    static const Text kTexts[] = {
        {"SERVER", &NativeSourceOptions::host},      {"SOCKET", &NativeSourceOptions::socket},
        {"UID", &NativeSourceOptions::user},         {"USER", &NativeSourceOptions::user},
        {"PWD", &NativeSourceOptions::password},     {"PASSWORD", &NativeSourceOptions::password},
        {"DATABASE", &NativeSourceOptions::database}, {"DB", &NativeSourceOptions::database},
        {"INITSTMT", &NativeSourceOptions::initStatement},
        {"SSLKEY", &NativeSourceOptions::sslKey},    {"SSLCERT", &NativeSourceOptions::sslCert},
        {"SSLCA", &NativeSourceOptions::sslCa},      {"SSLCAPATH", &NativeSourceOptions::sslCaPath},
        {"SSLCIPHER", &NativeSourceOptions::sslCipher}, {"SSLCRL", &NativeSourceOptions::sslCrl},
        {"SSLCRLPATH", &NativeSourceOptions::sslCrlPath},
        {"TLSVERSION", &NativeSourceOptions::tlsVersion},
        {"TLSPEERFP", &NativeSourceOptions::tlsPeerFingerprint},
        {"TLSPEERFPLIST", &NativeSourceOptions::tlsPeerFingerprintList},
    };
    for (const Text& text : kTexts) {
        if (SameKey(key, text.key)) {
            options.*text.field = value;
            return true;
        }
    }
    if (SameKey(key, "PORT")) {
        if (ParsePort(value, options.port)) return true;
        why = "the port \"" + value + "\" is not a number from 0 to 65535";
        return false;
    }
    if (SameKey(key, "CONN_TIMEOUT")) {
        unsigned seconds = 0;
        if (ParsePort(value, seconds) && seconds > 0) options.connectTimeout = seconds;
    } else if (SameKey(key, "SSLVERIFY")) {
        options.verifyServerCertificate = IsYes(value);
    } else if (SameKey(key, "FORCETLS")) {
        options.forceTls = IsYes(value);
    }
    return true;
}

class MariaDbSession;

// One query's rows over the text protocol, a row at a time from the socket.
class MariaDbStatement : public StatementRowset {
public:
    explicit MariaDbStatement(MariaDbSession& session) : session_(session) {}
    ~MariaDbStatement() override { Close(); }

    ResultCode Create(std::string_view text) override {
        Close();
        query_ = std::string(text);
        return kSuccess;
    }
    ResultCode Execute(const PropertySet&) override;
    bool HasRowset() const override { return result_ != nullptr; }
    ResultCode BindAllAsText(bool) override { return result_ ? kSuccess : kFailure; }
    ResultCode MoveNext() override;
    int ColumnCount() const override { return static_cast<int>(columns_.size()); }
    const ColumnInfo& Column(int index) const override { return columns_[static_cast<size_t>(index)]; }
    std::string_view Value(int index) const override;
    size_t Length(int index) const override;
    bool IsNull(int index) const override { return nulls_[static_cast<size_t>(index)] != 0; }
    std::optional<std::string_view> RawBytes(int index) const override;
    void Close() override;
    std::string ProviderErrorText() const override { return error_.empty() ? "Unknown Error!" : error_; }
    std::vector<DiagnosticRecord> Diagnostics() const override { return diagnostics_; }

private:
    ResultCode Fail(MYSQL* connection);

    MariaDbSession& session_;
    std::string query_;
    MYSQL_RES* result_ = nullptr;
    bool ended_ = false;
    std::vector<ColumnInfo> columns_;
    std::vector<NativeValueForm> forms_;
    // The row's values as they arrived (into the library's row buffer); a value of another form
    // than Text is converted into converted_ when it is first asked for (pending_ until then),
    // so a large binary value that is sent as its bytes is never made into digits.
    std::vector<std::string_view> views_;
    mutable std::vector<std::string> converted_;
    mutable std::vector<char> pending_;
    std::vector<char> nulls_;
    std::string error_;
    std::vector<DiagnosticRecord> diagnostics_;
};

// The session: one library connection, connected again after a statement left it mid-stream.
class MariaDbSession : public NativeRowSession {
public:
    explicit MariaDbSession(NativeSourceOptions options) : options_(std::move(options)) {}
    ~MariaDbSession() override { Disconnect(); }

    std::unique_ptr<StatementRowset> NewStatement() override {
        return std::make_unique<MariaDbStatement>(*this);
    }
    std::unique_ptr<CatalogsRowset> NewCatalogsRowset() override { return nullptr; }
    std::unique_ptr<TablesRowset> NewTablesRowset() override { return nullptr; }
    std::unique_ptr<ColumnsRowset> NewColumnsRowset() override { return nullptr; }
    std::unique_ptr<IndexesRowset> NewIndexesRowset() override { return nullptr; }
    std::string ProviderErrorText() const override { return error_; }
    bool StreamsRows() const override { return true; }
    bool UseDatabase(std::string_view database, std::string& error) override;

    // The open connection, connecting first when there is none; null with error() set.
    MYSQL* Connection() {
        if (!connection_) Connect();
        return connection_;
    }
    // Whether a statement streams on the connection now (nothing else may run on it).
    bool& busy() { return busy_; }
    void Disconnect() {
        if (connection_) mysql_close(connection_);
        connection_ = nullptr;
        busy_ = false;
    }
    // Ends a query whose rows are still arriving: the server is told to end it (over a
    // connection of its own), so that only the rows already on their way are left to read.
    // Where it cannot be told, the client side is cut at once; the server then goes on writing
    // into the closed connection, holding the table's metadata lock, until its write timeout.
    void EndMidStream() {
        if (!connection_) return;
        const std::string kill = "KILL QUERY " + std::to_string(mysql_thread_id(connection_));
        std::string why;
        bool told = false;
        if (MYSQL* killer = ConnectMariaDb(options_, why)) {
            told = mysql_real_query(killer, kill.c_str(), kill.size()) == 0;
            mysql_close(killer);
        }
        if (!told) mariadb_cancel(connection_);
    }
    const std::string& error() const { return error_; }

private:
    void Connect();

    NativeSourceOptions options_;
    MYSQL* connection_ = nullptr;
    bool busy_ = false;
    std::string error_;
};

const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

}  // namespace

MYSQL* ConnectMariaDb(const NativeSourceOptions& options_, std::string& error_) {
    error_.clear();
    MYSQL* connection = mysql_init(nullptr);
    if (!connection) {
        error_ = "The MariaDB client library could not start a connection (out of memory).";
        return nullptr;
    }
    // Every character arrives as UTF-8, as the ODBC side's CHARSET=utf8mb4 has it.
    mysql_options(connection, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    mysql_options(connection, MYSQL_OPT_CONNECT_TIMEOUT, &options_.connectTimeout);
    if (!options_.initStatement.empty()) {
        mysql_options(connection, MYSQL_INIT_COMMAND, options_.initStatement.c_str());
    }
    const std::pair<mysql_option, const std::string*> tls[] = {
        {MYSQL_OPT_SSL_KEY, &options_.sslKey},       {MYSQL_OPT_SSL_CERT, &options_.sslCert},
        {MYSQL_OPT_SSL_CA, &options_.sslCa},         {MYSQL_OPT_SSL_CAPATH, &options_.sslCaPath},
        {MYSQL_OPT_SSL_CIPHER, &options_.sslCipher}, {MYSQL_OPT_SSL_CRL, &options_.sslCrl},
        {MYSQL_OPT_SSL_CRLPATH, &options_.sslCrlPath},
        {MARIADB_OPT_TLS_VERSION, &options_.tlsVersion},
        {MARIADB_OPT_TLS_PEER_FP, &options_.tlsPeerFingerprint},
        {MARIADB_OPT_TLS_PEER_FP_LIST, &options_.tlsPeerFingerprintList},
    };
    for (const auto& [option, value] : tls) {
        if (!value->empty()) mysql_optionsv(connection, option, value->c_str());
    }
    my_bool yes = 1;
    if (options_.forceTls) mysql_optionsv(connection, MYSQL_OPT_SSL_ENFORCE, &yes);
    if (options_.verifyServerCertificate) {
        mysql_optionsv(connection, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &yes);
    }
    if (!mysql_real_connect(connection, OrNull(options_.host), OrNull(options_.user),
                            options_.password.c_str(), OrNull(options_.database), options_.port,
                            OrNull(options_.socket), 0)) {
        std::string where = options_.host.empty() ? "localhost" : options_.host;
        if (options_.port) where += ":" + std::to_string(options_.port);
        if (!options_.socket.empty()) where += " (socket " + options_.socket + ")";
        error_ = "The MariaDB client library could not connect to " + where + ": [" +
                 std::to_string(mysql_errno(connection)) + "] " + mysql_error(connection);
        mysql_close(connection);
        return nullptr;
    }
    return connection;
}

namespace {

void MariaDbSession::Connect() {
    MYSQL* connection = ConnectMariaDb(options_, error_);
    if (!connection) return;
    // The server gives up on a client that reads nothing for net_write_timeout (60 s by
    // default); a streaming reader waits as long as the target takes for a batch.
    static constexpr char kPatient[] = "SET SESSION net_write_timeout = 86400";
    mysql_real_query(connection, kPatient, sizeof kPatient - 1);
    connection_ = connection;
}

bool MariaDbSession::UseDatabase(std::string_view database, std::string& error) {
    if (database.empty() || (connection_ && options_.database == database)) return true;
    if (busy_) {
        error = "The connection is still reading the rows of another query.";
        return false;
    }
    MYSQL* connection = Connection();
    if (!connection) {
        error = error_;
        return false;
    }
    const std::string name(database);
    if (mysql_select_db(connection, name.c_str()) != 0) {
        error = std::string("[MariaDB client] ") + mysql_error(connection);
        return false;
    }
    options_.database = name;  // a connection made again opens on it too
    return true;
}

ResultCode MariaDbStatement::Fail(MYSQL* connection) {
    if (connection) {
        const std::string state = mysql_sqlstate(connection);
        const auto code = static_cast<int32_t>(mysql_errno(connection));
        error_ = std::string("[MariaDB client] ") + mysql_error(connection);
        diagnostics_ = {DiagnosticRecord{state, code, error_}};
    } else {
        error_ = session_.error();
        diagnostics_ = {DiagnosticRecord{"08001", 0, error_}};
    }
    return kFailure;
}

// The type code of a column, as near as the ODBC side's as the readers need it.
uint16_t TypeCodeOf(const MYSQL_FIELD& field, NativeValueForm form) {
    if (form == NativeValueForm::Hex) return kTypeBytes;
    if (form == NativeValueForm::BitDigit) return kTypeBool;
    switch (field.type) {
        case MYSQL_TYPE_TINY: case MYSQL_TYPE_SHORT: case MYSQL_TYPE_INT24:
        case MYSQL_TYPE_LONG: case MYSQL_TYPE_LONGLONG: case MYSQL_TYPE_YEAR:
        case MYSQL_TYPE_DECIMAL: case MYSQL_TYPE_NEWDECIMAL:
            return kTypeNumeric;
        case MYSQL_TYPE_FLOAT: return kTypeR4;
        case MYSQL_TYPE_DOUBLE: return kTypeR8;
        case MYSQL_TYPE_DATE: case MYSQL_TYPE_NEWDATE: return kTypeDbDate;
        case MYSQL_TYPE_TIME: return kTypeDbTime;
        case MYSQL_TYPE_DATETIME: case MYSQL_TYPE_TIMESTAMP: return kTypeDbTimestamp;
        default: return kTypeWStr;
    }
}

ResultCode MariaDbStatement::Execute(const PropertySet&) {
    error_.clear();
    diagnostics_.clear();
    if (session_.busy()) {
        error_ = "The connection is still reading the rows of another query.";
        diagnostics_ = {DiagnosticRecord{"HY010", 0, error_}};
        return kFailure;
    }
    MYSQL* connection = session_.Connection();
    if (!connection) return Fail(nullptr);
    if (mysql_real_query(connection, query_.data(), query_.size()) != 0) return Fail(connection);
    result_ = mysql_use_result(connection);
    if (!result_) return mysql_field_count(connection) == 0 ? kSuccess : Fail(connection);
    session_.busy() = true;
    ended_ = false;
    const unsigned count = mysql_num_fields(result_);
    const MYSQL_FIELD* fields = mysql_fetch_fields(result_);
    columns_.assign(count, ColumnInfo{});
    forms_.assign(count, NativeValueForm::Text);
    for (unsigned i = 0; i < count; ++i) {
        forms_[i] = NativeFormOf(fields[i].type, fields[i].charsetnr, fields[i].length);
        columns_[i].name.assign(fields[i].name, fields[i].name_length);
        columns_[i].type = TypeCodeOf(fields[i], forms_[i]);
        columns_[i].size = fields[i].length;
        columns_[i].scale = static_cast<int16_t>(fields[i].decimals);
        columns_[i].nullable = (fields[i].flags & NOT_NULL_FLAG) == 0;
    }
    converted_.assign(count, std::string());
    views_.assign(count, std::string_view());
    pending_.assign(count, 0);
    nulls_.assign(count, 0);
    return kSuccess;
}

ResultCode MariaDbStatement::MoveNext() {
    if (!result_ || ended_) return kEndOfRowset;
    MYSQL_ROW row = mysql_fetch_row(result_);
    if (!row) {
        ended_ = true;
        session_.busy() = false;
        MYSQL* connection = session_.Connection();
        return mysql_errno(connection) != 0 ? Fail(connection) : kEndOfRowset;
    }
    const unsigned long* lengths = mysql_fetch_lengths(result_);
    for (size_t i = 0; i < columns_.size(); ++i) {
        nulls_[i] = row[i] == nullptr ? 1 : 0;
        views_[i] = row[i] ? std::string_view(row[i], lengths[i]) : std::string_view();
        pending_[i] = row[i] && forms_[i] != NativeValueForm::Text ? 1 : 0;
    }
    return kSuccess;
}

std::string_view MariaDbStatement::Value(int index) const {
    const auto i = static_cast<size_t>(index);
    if (forms_[i] == NativeValueForm::Text || nulls_[i]) return views_[i];
    if (pending_[i]) {
        converted_[i].clear();
        NormaliseNativeValue(forms_[i], views_[i].data(), views_[i].size(), converted_[i]);
        pending_[i] = 0;
    }
    return converted_[i];
}

size_t MariaDbStatement::Length(int index) const {
    const auto i = static_cast<size_t>(index);
    if (forms_[i] == NativeValueForm::Hex && pending_[i]) return 2 * views_[i].size();
    return Value(index).size();
}

std::optional<std::string_view> MariaDbStatement::RawBytes(int index) const {
    const auto i = static_cast<size_t>(index);
    if (forms_[i] != NativeValueForm::Hex || nulls_[i]) return std::nullopt;
    return views_[i];
}

void MariaDbStatement::Close() {
    if (!result_) return;
    if (!ended_) {
        // Freeing the result reads the rest of the rows off the socket first, which would take
        // as long as the copy itself: the server ends the query first, so that only the rows on
        // their way are read. The session connects again when it is asked next.
        session_.EndMidStream();
        mysql_free_result(result_);
        session_.Disconnect();
    } else {
        mysql_free_result(result_);
    }
    result_ = nullptr;
    session_.busy() = false;
}

}  // namespace

std::optional<NativeSourceOptions> NativeOptionsFromOdbc(std::string_view connectionText,
                                                         std::string& why) {
    NativeSourceOptions options;
    bool named = false;
    for (const auto& [key, value] : ParseConnectionString(connectionText)) {
        if (SameKey(key, "DSN") || SameKey(key, "FILEDSN")) {
            why = "the source is a data source name (" + value + "), whose settings only ODBC reads";
            return std::nullopt;
        }
        if (SameKey(key, "SERVER") || SameKey(key, "SOCKET")) named = true;
        if (!ApplyKey(options, key, value, why)) return std::nullopt;
    }
    if (!named) {
        why = "the connection string names no server";
        return std::nullopt;
    }
    return options;
}

NativeValueForm NativeFormOf(int protocolType, unsigned charsetNumber, unsigned long length) {
    constexpr unsigned kBinaryCharset = 63;
    switch (protocolType) {
        case MYSQL_TYPE_BIT:
            return length == 1 ? NativeValueForm::BitDigit : NativeValueForm::Hex;
        case MYSQL_TYPE_STRING: case MYSQL_TYPE_VAR_STRING: case MYSQL_TYPE_VARCHAR:
        case MYSQL_TYPE_TINY_BLOB: case MYSQL_TYPE_BLOB: case MYSQL_TYPE_MEDIUM_BLOB:
        case MYSQL_TYPE_LONG_BLOB: case MYSQL_TYPE_GEOMETRY:
            return charsetNumber == kBinaryCharset ? NativeValueForm::Hex : NativeValueForm::Text;
        default:
            return NativeValueForm::Text;
    }
}

void NormaliseNativeValue(NativeValueForm form, const char* bytes, size_t length, std::string& out) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes);
    switch (form) {
        case NativeValueForm::Text: out.append(bytes, length); break;
        case NativeValueForm::Hex: AppendHex(data, length, out); break;
        case NativeValueForm::BitDigit: {
            bool set = false;
            for (size_t i = 0; i < length; ++i) set = set || data[i] != 0;
            out.push_back(set ? '1' : '0');
            break;
        }
    }
}

std::unique_ptr<NativeRowSession> OpenMariaDbRowSession(const NativeSourceOptions& options,
                                                        std::string& error) {
    auto session = std::make_unique<MariaDbSession>(options);
    if (!session->Connection()) {
        error = session->error();
        return nullptr;
    }
    return session;
}

}  // namespace velmora
