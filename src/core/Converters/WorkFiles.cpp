#include "Converters/WorkFiles.h"

#include <functional>

#include <cerrno>

namespace velmora {

WorkFile& WorkFile::operator=(WorkFile&& other) noexcept {
    if (this != &other) {
        Close();
        file_ = other.file_;
        failed_ = other.failed_;
        other.file_ = nullptr;
    }
    return *this;
}

bool WorkFile::Write(std::string_view text) {
    if (!file_) return false;
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
        failed_ = true;
    }
    return !failed_;
}

bool WorkFile::Close() {
    if (!file_) return !failed_;
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

std::string WorkFileName(std::string_view name) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string file;
    for (size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        const bool escaped = c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == '%' || (c == '.' && i == 0);
        if (!escaped) {
            file.push_back(static_cast<char>(c));
            continue;
        }
        file += '%';
        file += kDigits[c >> 4];
        file += kDigits[c & 0x0F];
    }
    if (file.empty()) file = "%";
    // A file name holds at most 255 bytes: a long one keeps its start, a hash and its end (the
    // suffix).
    if (file.size() > 240) {
        char hash[24];
        std::snprintf(hash, sizeof hash, "~%016zx~", std::hash<std::string_view>{}(name));
        file = file.substr(0, 200) + hash + file.substr(file.size() - 16);
    }
    return file;
}

WorkFile OpenWorkFile(std::string_view folder, std::string_view name, const char* mode) {
    return WorkFile(std::fopen((std::string(folder) + WorkFileName(name)).c_str(), mode));
}

}  // namespace velmora
