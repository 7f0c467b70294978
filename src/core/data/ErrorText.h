// Failure texts: the fixed format "%s \r\n failed with error code:[0x%08x] \r\n discription:%s"
// filled with a message, a code and the system's description of the code. Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// With the calling thread's last system error (errno) and its strerror text.
std::string FormatLastSystemError(std::string_view message);

// With a data access result code and the description of that code.
std::string FormatProviderError(std::string_view message, int32_t resultCode);

}  // namespace velmora
