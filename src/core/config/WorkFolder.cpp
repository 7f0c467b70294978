#include "config/WorkFolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace velmora {

namespace {

// Makes one folder unless it is there. Another process (a second migration, a parallel test) may
// make it at the same moment: a folder that exists afterwards is what was wanted.
bool MakeOneFolder(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
    if (mkdir(path.c_str(), 0700) == 0) return true;
    return errno == EEXIST && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace
namespace {

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A folder whose permission bits let nobody write counts as read-only even for root, who may
// write anywhere: root running an installed program must not fill /usr/bin either.
bool MayWrite(const std::string& folder) {
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    return access(folder.c_str(), W_OK) == 0;
}

// ".../bin/" beside ".../share/doc/velmora/": the layout the package installs.
bool IsInstalledLayout(const std::string& executableFolder) {
    const std::string bin = "/bin/";
    if (executableFolder.size() < bin.size() ||
        executableFolder.compare(executableFolder.size() - bin.size(), bin.size(), bin) != 0) {
        return false;
    }
    return IsFolder(executableFolder + "../share/doc/velmora");
}

// $variable, or ~/fallback when it is unset, empty or not absolute (as XDG asks).
std::string UserFolder(const char* variable, const char* fallback) {
    std::string folder = Environment(variable);
    if (!folder.empty() && folder.front() == '/') return WithSlash(folder) + "velmora/";
    std::string home = Environment("HOME");
    if (home.empty()) {
        if (const passwd* user = getpwuid(getuid())) home = user->pw_dir ? user->pw_dir : "";
    }
    if (home.empty()) return {};
    return WithSlash(home) + fallback + "velmora/";
}

}  // namespace

ProgramFolders ChooseProgramFolders(const std::string& executableFolder) {
    if (std::string home = Environment("VELMORA_HOME"); !home.empty()) {
        return {WithSlash(home), WithSlash(home), false};
    }
    if (!executableFolder.empty() && MayWrite(executableFolder) &&
        !IsInstalledLayout(executableFolder)) {
        return {executableFolder, executableFolder, false};
    }
    return {UserFolder("XDG_CONFIG_HOME", ".config/"), UserFolder("XDG_DATA_HOME", ".local/share/"),
            true};
}

std::string ExecutableFolder() {
    std::vector<char> path(4096);
    ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0) return {};
    std::string program(path.data(), static_cast<size_t>(length));
    size_t slash = program.rfind('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
}

std::string ProgramFolder() { return ChooseProgramFolders(ExecutableFolder()).config; }

namespace {

// The folder a work folder name lies in, with the name cleaned ("./" and "." dropped).
std::string BaseFor(const ProgramFolders& folders, std::string& rest) {
    while (rest.rfind("./", 0) == 0) rest.erase(0, 2);
    if (rest == ".") rest.clear();
    return rest.empty() ? folders.config : folders.data;
}

}  // namespace

std::string WorkFolderPath(const std::string& name) {
    std::string rest = name;
    std::string base = BaseFor(ChooseProgramFolders(ExecutableFolder()), rest);
    if (base.empty()) return {};
    return WithSlash(base + rest);
}

bool MakeFolders(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (!MakeOneFolder(part)) return false;
    }
    if (!MakeOneFolder(path)) return false;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string EnsureWorkFolder(const std::string& name) {
    const ProgramFolders folders = ChooseProgramFolders(ExecutableFolder());
    std::string rest = name;
    const std::string base = BaseFor(folders, rest);
    if (base.empty()) return {};
    // The program folder must be there; the user's folders are made when missing.
    if (folders.user ? !MakeFolders(base) : !IsFolder(base)) return {};
    const std::string path = WithSlash(base + rest);
    std::string bare = path.substr(0, path.size() - 1);
    struct stat info {};
    bool exists = stat(bare.c_str(), &info) == 0;
    if (!exists && lstat(bare.c_str(), &info) == 0) exists = true;  // a dangling link
    if (exists && !S_ISDIR(info.st_mode)) unlink(bare.c_str());
    if (!MakeOneFolder(bare)) return {};
    return stat(bare.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? path : std::string();
}

}  // namespace velmora
