#include "config/WorkFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace velmora {

std::string ProgramFolder() {
    if (const char* home = std::getenv("VELMORA_HOME"); home && *home) {
        std::string folder = home;
        if (folder.back() != '/') folder += '/';
        return folder;
    }
    std::vector<char> path(4096);
    ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0) return {};
    std::string program(path.data(), static_cast<size_t>(length));
    size_t slash = program.rfind('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
}

bool EnsureWorkFolder(const std::string& name) {
    std::string programFolder = ProgramFolder();
    if (programFolder.empty()) return false;
    std::string path = programFolder + name;
    struct stat info {};
    bool exists = stat(path.c_str(), &info) == 0;
    if (!exists && lstat(path.c_str(), &info) == 0) exists = true;  // a dangling link
    if (exists && !S_ISDIR(info.st_mode)) {
        unlink(path.c_str());
        exists = false;
    }
    if (!exists) {
        if (chdir(programFolder.c_str()) != 0) return false;
        // Work files hold table data: the folder is the user's own.
        if (mkdir(path.c_str(), 0700) != 0) return false;
    }
    return chdir(path.c_str()) == 0;
}

}  // namespace velmora
