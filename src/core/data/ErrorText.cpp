#include "data/ErrorText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "data/DataAccess.h"

namespace velmora {
namespace {

std::string FillFailureFormat(std::string_view message, uint32_t code, const std::string& text) {
    std::string out(message);
    char codeText[16];
    std::snprintf(codeText, sizeof codeText, "0x%08x", code);
    out += " \r\n failed with error code:[";
    out += codeText;
    out += "] \r\n discription:";
    out += text;
    return out;
}

std::string ResultCodeText(int32_t code) {
    switch (code) {
        case kSuccess: return "The operation completed successfully.\r\n";
        case kEndOfRowset: return "Reached start or end of rowset or chapter.\r\n";
        case kSuccessWithInfo: return "The operation completed with information from the driver.\r\n";
        case kFailure: return "Unspecified error\r\n";
        case kOutOfMemory: return "Not enough storage is available to complete this operation.\r\n";
        case kNotConnected: return "No data source is connected.\r\n";
        default: return "";
    }
}

}  // namespace

std::string FormatLastSystemError(std::string_view message) {
    int code = errno;
    std::string text = std::strerror(code);
    return FillFailureFormat(message, static_cast<uint32_t>(code), text + "\r\n");
}

std::string FormatProviderError(std::string_view message, int32_t resultCode) {
    return FillFailureFormat(message, static_cast<uint32_t>(resultCode), ResultCodeText(resultCode));
}

}  // namespace velmora
