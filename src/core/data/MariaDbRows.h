// MariaDbRows: the rows of a query read through MariaDB Connector/C (which also reads MySQL
// servers) instead of ODBC: the text protocol, streamed in one pass (mysql_use_result), the
// path the server's own dump tool takes. Values arrive as the server prints them, so nothing is
// formatted on this side; only the forms the row renderers expect from the ODBC path are made
// here, in one place (NormaliseNativeValue): binary strings as upper-case hexadecimal digits,
// bit(1) as "0" or "1", wider bits as the hexadecimal digits of their bytes. Those forms are made
// when a value is first asked for; RawBytes gives a binary value's bytes without its digits.
//
// The connection mirrors the ODBC source's: its MariaDB Connector/ODBC connection string gives
// the server, port, socket, login, database, TLS keys and initial statement
// (NativeOptionsFromOdbc). A data source name (DSN=) has none of these in the string: such a
// source is not read here.
//
// The session hands out statements only (its catalog rowsets are null). While a statement
// streams, the connection is busy: a second statement on the same session fails until the first
// is closed. A statement closed before its last row closes the connection (reading the rest
// would take as long as the copy) and the session connects again for the next one.
//
// Threads: a session and its statements are used by one thread at a time.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "data/DataAccess.h"

struct st_mysql;  // MariaDB Connector/C's connection (MYSQL)

namespace velmora {

struct NativeSourceOptions {
    std::string host;
    unsigned port = 0;  // 0: the library's default
    std::string socket;
    std::string user;
    std::string password;
    std::string database;
    std::string initStatement;
    unsigned connectTimeout = 20;
    // TLS, as the ODBC keys name them.
    std::string sslKey, sslCert, sslCa, sslCaPath, sslCipher, sslCrl, sslCrlPath;
    std::string tlsVersion, tlsPeerFingerprint, tlsPeerFingerprintList;
    bool forceTls = false;
    bool verifyServerCertificate = false;
};

// The options of a MariaDB/MySQL ODBC connection string; nothing, with the reason in `why`, when
// the string names a data source (DSN) or no server.
std::optional<NativeSourceOptions> NativeOptionsFromOdbc(std::string_view connectionText,
                                                         std::string& why);

// How a column of a text-protocol result is handed on.
enum class NativeValueForm { Text, Hex, BitDigit };

// The form of a column from its protocol type code, character set number and display length.
NativeValueForm NativeFormOf(int protocolType, unsigned charsetNumber, unsigned long length);

// Appends the value's bytes in `form` to `out`.
void NormaliseNativeValue(NativeValueForm form, const char* bytes, size_t length, std::string& out);

// A plain connection with `options` (the same settings as the session's); null with the reason
// in `error`. The caller closes it (mysql_close).
::st_mysql* ConnectMariaDb(const NativeSourceOptions& options, std::string& error);

// The session of the native reader.
class NativeRowSession : public Session {
public:
    // Makes `database` the current database, now and whenever the connection is made again;
    // false with the server's reason in `error`.
    virtual bool UseDatabase(std::string_view database, std::string& error) = 0;
};

// Connects with `options`; null with the reason in `error` ("The MariaDB client library could not
// connect to ...: <server's words>").
std::unique_ptr<NativeRowSession> OpenMariaDbRowSession(const NativeSourceOptions& options,
                                                        std::string& error);

}  // namespace velmora
