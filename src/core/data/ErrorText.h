// ErrorText: the texts that report a failure. Two builders put a code into the one failure
// format ("<message> \r\n failed with error code:[0x<8 hex digits>] \r\n discription:<text>");
// the third gives the driver's own description of a failed call.
//
// They never show anything and never throw. Any thread; FormatLastSystemError reads the calling
// thread's errno, so call it directly after the failure.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/DataAccess.h"

namespace velmora {

inline constexpr const char* kUnknownError = "Unknown Error!";

// The failure format filled with `message`, `code` and `description`.
std::string FormatFailure(std::string_view message, uint32_t code, std::string_view description);

// `message` with the calling thread's errno and its system text (strerror).
std::string FormatLastSystemError(std::string_view message);

// "No Connection!" in the failure format, with the data layer's code for a missing connection
// (not whatever errno the thread happens to hold).
std::string NoConnectionText();

// `message` with a result code of the data access layer and the text for that code.
std::string FormatProviderError(std::string_view message, ResultCode code);

// The text that stands for a result code of the data access layer ("No more rows." ...); for
// codes without a text of their own, "Unknown error".
std::string ResultCodeText(ResultCode code);

// True when the driver's description (GetProviderErrorText's) is of a broken connection
// (SQLSTATE class 08, "Communication link failure"): nothing more can go over it.
bool IsConnectionFailure(std::string_view driverText);

// The driver's description of a failure: the message of the last record that could be read,
// or "Unknown Error!" when there is none.
std::string GetProviderErrorText(const std::vector<DiagnosticRecord>& records);

// The same for the objects of the data access layer (their last failure).
// Why a connection could not be opened, in a user's words, from the driver's diagnostic records
// (SQL Server's and MariaDB's native codes first, then their texts): "login refused", "server
// unreachable", "TLS refused", "database missing", or "" when the records do not tell.
std::string ConnectionFailureCause(const std::vector<DiagnosticRecord>& records);

// The line that goes after a connection failure's own text: "<cause>: <the record that says
// why>", or only that record when the cause is not known.
std::string ConnectionFailureLine(const std::vector<DiagnosticRecord>& records,
                                  std::string_view fallback);

inline std::string GetProviderErrorText(const StatementRowset& statement) {
    return statement.ProviderErrorText();
}
inline std::string GetProviderErrorText(const Session& session) { return session.ProviderErrorText(); }
inline std::string GetProviderErrorText(const DataSourceConnection& connection) {
    return connection.ProviderErrorText();
}

}  // namespace velmora
