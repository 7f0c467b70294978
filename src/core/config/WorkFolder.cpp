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

std::string WorkFolderPath(const std::string& name) {
    std::string folder = ProgramFolder();
    if (folder.empty()) return {};
    std::string rest = name;
    while (rest.rfind("./", 0) == 0) rest.erase(0, 2);
    if (rest == ".") rest.clear();
    std::string path = folder + rest;
    if (path.back() != '/') path += '/';
    return path;
}

bool MakeFolders(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (stat(part.c_str(), &info) != 0 && mkdir(part.c_str(), 0700) != 0) return false;
    }
    if (stat(path.c_str(), &info) != 0 && mkdir(path.c_str(), 0700) != 0) return false;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string EnsureWorkFolder(const std::string& name) {
    std::string path = WorkFolderPath(name);
    if (path.empty()) return {};
    // The program folder must be there: only the work folder itself is made.
    struct stat program {};
    if (stat(ProgramFolder().c_str(), &program) != 0 || !S_ISDIR(program.st_mode)) return {};
    std::string bare = path.substr(0, path.size() - 1);
    struct stat info {};
    bool exists = stat(bare.c_str(), &info) == 0;
    if (!exists && lstat(bare.c_str(), &info) == 0) exists = true;  // a dangling link
    if (exists && !S_ISDIR(info.st_mode)) unlink(bare.c_str());
    if (stat(bare.c_str(), &info) != 0 && mkdir(bare.c_str(), 0700) != 0) return {};
    return stat(bare.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? path : std::string();
}

}  // namespace velmora
