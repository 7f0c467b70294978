// WideText: UTF-8 (the program's text) to and from UTF-16 (the text that crosses ODBC's wide
// calls). Invalid input never stops a conversion: a malformed UTF-8 sequence or an unpaired
// surrogate becomes U+FFFD, so that a bad byte in one value cannot lose the rest of it.
//
// Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
// Appends the UTF-8 form of `text` to `out` (reuses out's capacity: no allocation per row).
void AppendUtf16AsUtf8(std::u16string_view text, std::string& out);

// Upper-case hexadecimal digits of `bytes`, two per byte, appended to `out`.
void AppendHex(const unsigned char* bytes, size_t count, std::string& out);

}  // namespace velmora
