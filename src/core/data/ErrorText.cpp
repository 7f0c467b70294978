#include "data/ErrorText.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "data/OdbcHandles.h"

namespace velmora {

std::string FormatFailure(std::string_view message, uint32_t code, std::string_view description) {
    char codeText[16];
    std::snprintf(codeText, sizeof codeText, "0x%08x", code);
    std::string text;
    text.reserve(message.size() + description.size() + 64);
    text.append(message);
    text.append(" \r\n failed with error code:[");
    text.append(codeText);
    text.append("] \r\n discription:");
    text.append(description);
    return text;
}

std::string FormatLastSystemError(std::string_view message) {
    int code = errno;  // first, before anything else can change it
    char buffer[256];
    // GNU strerror_r returns the text, which may or may not be in `buffer`.
    const char* description = strerror_r(code, buffer, sizeof buffer);
    return FormatFailure(message, static_cast<uint32_t>(code), description ? description : "");
}

std::string ResultCodeText(ResultCode code) {
    switch (code) {
        case kSuccess: return "The operation completed successfully.";
        case kEndOfRowset: return "No more rows.";
        case kSuccessWithInfo: return "The operation completed with information from the driver.";
        case kFailure: return "Unspecified error";
        case kOutOfMemory: return "Not enough memory to complete this operation.";
        case kNotConnected: return "No connection to the data source.";
        default: return "Unknown error";
    }
}

std::string NoConnectionText() { return FormatProviderError("No Connection!", kNotConnected); }

std::string FormatProviderError(std::string_view message, ResultCode code) {
    return FormatFailure(message, static_cast<uint32_t>(code), ResultCodeText(code));
}

std::string GetProviderErrorText(const std::vector<DiagnosticRecord>& records) {
    // Each readable record replaces the one before: the last one wins.
    std::string text;
    for (const DiagnosticRecord& record : records) {
        if (!record.message.empty()) text = record.message;
    }
    return text.empty() ? kUnknownError : text;
}

namespace {

struct CauseSigns {
    const char* cause;
    std::vector<int32_t> natives;      // SQL Server's, FreeTDS's and MariaDB's error numbers
    std::vector<const char*> phrases;  // in lower case
};

// In the order they are tried: a missing database is reported by SQL Server as a failed login
// too, and a TLS failure ends the login early.
const std::vector<CauseSigns>& Causes() {
    static const std::vector<CauseSigns> causes = {
        {"database missing", {4060, 1049}, {"unknown database", "cannot open database"}},
        {"TLS refused", {2026}, {"ssl", "tls", "certificate", "encryption not supported", "handshake"}},
        {"login refused", {18456, 18452, 1045}, {"login failed", "access denied", "password"}},
        {"server unreachable",
         {20009, 2002, 2003, 2005},
         {"unavailable or does not exist", "can't connect", "connection refused", "timed out",
          "timeout expired", "unknown host", "unknown server host", "name or service not known",
          "no route to host", "network is unreachable"}},
    };
    return causes;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool Shows(const CauseSigns& signs, const DiagnosticRecord& record) {
    for (int32_t native : signs.natives) {
        if (record.nativeError == native) return true;
    }
    const std::string message = Lower(record.message);
    for (const char* phrase : signs.phrases) {
        if (message.find(phrase) != std::string::npos) return true;
    }
    return false;
}

}  // namespace

std::string ConnectionFailureCause(const std::vector<DiagnosticRecord>& records) {
    for (const CauseSigns& signs : Causes()) {
        for (const DiagnosticRecord& record : records) {
            if (Shows(signs, record)) return signs.cause;
        }
    }
    return "";
}

std::string ConnectionFailureLine(const std::vector<DiagnosticRecord>& records,
                                  std::string_view fallback) {
    // Without records (a layer that keeps none) the text alone tells the cause.
    const std::string cause = ConnectionFailureCause(
        records.empty() ? std::vector<DiagnosticRecord>{{"", 0, std::string(fallback)}} : records);
    const std::string why = MostInformativeText(records, fallback);
    return cause.empty() ? why : cause + ": " + why;
}

bool IsConnectionFailure(std::string_view driverText) { return driverText.starts_with("[08"); }

}  // namespace velmora
