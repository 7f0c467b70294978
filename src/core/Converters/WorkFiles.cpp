#include "Converters/WorkFiles.h"

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

bool IsWorkFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    return name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

WorkFile OpenWorkFile(std::string_view folder, std::string_view name, const char* mode) {
    if (!IsWorkFileName(name)) {
        errno = EINVAL;
        return WorkFile();
    }
    return WorkFile(std::fopen((std::string(folder) + std::string(name)).c_str(), mode));
}

}  // namespace velmora
