#include "data/ErrorText.h"

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

}  // namespace velmora
