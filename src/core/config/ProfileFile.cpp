#include "config/ProfileFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace velmora {
namespace {

std::string_view Trim(std::string_view text) {
    const char* blanks = " \t\r";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::vector<std::string> ReadLines(const std::string& path, bool* exists = nullptr) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    if (exists) *exists = static_cast<bool>(in);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The section name of a "[name]" line, or false.
bool SectionLine(std::string_view line, std::string_view& name) {
    std::string_view trimmed = Trim(line);
    if (trimmed.size() < 2 || trimmed.front() != '[') return false;
    size_t close = trimmed.find(']');
    if (close == std::string_view::npos) return false;
    name = Trim(trimmed.substr(1, close - 1));
    return true;
}

// The key and value of a "key=value" line, or false.
bool KeyLine(std::string_view line, std::string_view& key, std::string_view& value) {
    std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') return false;
    size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) return false;
    key = Trim(trimmed.substr(0, equals));
    value = Trim(trimmed.substr(equals + 1));
    return true;
}

bool ReplaceFile(const std::string& path, const std::vector<std::string>& lines, mode_t mode) {
    const std::string temporary = path + ".tmp-" + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        for (const std::string& line : lines) out << line << "\n";
        out.flush();
        if (!out) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    chmod(temporary.c_str(), mode);
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view defaultValue,
                              size_t bufferSize) {
    std::string result(defaultValue);
    bool inSection = false;
    for (const std::string& line : ReadLines(path)) {
        std::string_view name, lineKey, value;
        if (SectionLine(line, name)) {
            inSection = SameName(name, section);
        } else if (inSection && KeyLine(line, lineKey, value) && SameName(lineKey, key)) {
            result.assign(value);
            break;
        }
    }
    (void)bufferSize;  // never cut: a cut condition or password changed what the run did, in silence
    return result;
}

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value, mode_t mode) {
    if (value.find_first_of("\r\n") != std::string_view::npos) return false;
    if (key.find_first_of("=\r\n") != std::string_view::npos || Trim(key).empty()) return false;
    std::vector<std::string> lines = ReadLines(path);
    const std::string entry = std::string(key) + "=" + std::string(value);
    bool inSection = false;
    size_t sectionEnd = std::string::npos;  // index after the last key line of the section
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view name, lineKey, lineValue;
        if (SectionLine(lines[i], name)) {
            if (inSection) break;
            inSection = SameName(name, section);
            if (inSection) sectionEnd = i + 1;
        } else if (inSection && KeyLine(lines[i], lineKey, lineValue)) {
            if (SameName(lineKey, key)) {
                // The key keeps the spelling it has in the file.
                lines[i] = std::string(lineKey) + "=" + std::string(value);
                return ReplaceFile(path, lines, mode);
            }
            sectionEnd = i + 1;
        }
    }
    if (sectionEnd == std::string::npos) {
        lines.push_back("[" + std::string(section) + "]");
        lines.push_back(entry);
    } else {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(sectionEnd), entry);
    }
    return ReplaceFile(path, lines, mode);
}

std::vector<std::string> ReadProfileSections(const std::string& path) {
    std::vector<std::string> sections;
    for (const std::string& line : ReadLines(path)) {
        std::string_view name;
        if (SectionLine(line, name)) sections.emplace_back(name);
    }
    return sections;
}

std::vector<std::string> ReadProfileKeys(const std::string& path, std::string_view section) {
    std::vector<std::string> keys;
    bool inSection = false;
    for (const std::string& line : ReadLines(path)) {
        std::string_view name, key, value;
        if (SectionLine(line, name)) {
            inSection = SameName(name, section);
        } else if (inSection && KeyLine(line, key, value)) {
            keys.emplace_back(key);
        }
    }
    return keys;
}

}  // namespace velmora
