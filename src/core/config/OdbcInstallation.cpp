#include "config/OdbcInstallation.h"

#include <dlfcn.h>
#include <link.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "config/ProfileFile.h"

namespace velmora {
namespace {

constexpr size_t kValueBuffer = 4096;

// The Debian multiarch folder name of this build's architecture.
constexpr const char* kMultiarch =
#if defined(__x86_64__)
    "x86_64-linux-gnu";
#elif defined(__aarch64__)
    "aarch64-linux-gnu";
#elif defined(__i386__)
    "i386-linux-gnu";
#elif defined(__arm__)
    "arm-linux-gnueabihf";
#elif defined(__powerpc64__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    "powerpc64le-linux-gnu";
#elif defined(__s390x__)
    "s390x-linux-gnu";
#else
    "";
#endif

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
    return Lower(text).find(Lower(part)) != std::string::npos;
}

bool SameNoCase(std::string_view a, std::string_view b) {
    return Lower(a) == Lower(b);
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string HomeFolder() {
    std::string home = Env("HOME");
    if (!home.empty()) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "";
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string BaseName(std::string_view path) {
    size_t slash = path.find_last_of('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string Join(const std::string& folder, std::string_view name) {
    if (folder.empty() || folder.back() == '/') return folder + std::string(name);
    return folder + "/" + std::string(name);
}

std::string ReadValue(const std::string& path, const std::string& section, std::string_view key) {
    return ReadProfileString(path, section, key, "", kValueBuffer);
}

// The folder that ODBCSYSINI names, else the driver manager's default.
std::string SystemIniFolder() {
    std::string folder = Env("ODBCSYSINI");
    return folder.empty() ? "/etc" : folder;
}

void AddDrivers(const std::string& path, std::vector<OdbcDriver>& drivers) {
    for (const std::string& section : ReadProfileSections(path)) {
        if (SameNoCase(section, "ODBC")) continue;  // the driver manager's own options
        bool known = std::any_of(drivers.begin(), drivers.end(),
                                 [&](const OdbcDriver& d) { return SameNoCase(d.name, section); });
        if (known) continue;
        drivers.push_back({section, ReadValue(path, section, "Driver"),
                           ReadValue(path, section, "Setup"),
                           ReadValue(path, section, "Description")});
    }
}

void AddDataSources(const std::string& path, std::vector<OdbcDataSource>& sources) {
    for (const std::string& section : ReadProfileSections(path)) {
        if (SameNoCase(section, "ODBC") || SameNoCase(section, "ODBC Data Sources")) continue;
        bool known = std::any_of(sources.begin(), sources.end(), [&](const OdbcDataSource& s) {
            return SameNoCase(s.name, section);
        });
        if (!known) sources.push_back({section, ReadValue(path, section, "Driver")});
    }
}

void AppendVariable(std::string_view name, std::string_view written, std::string& out) {
    const char* value = std::getenv(std::string(name).c_str());
    if (value) {
        out += value;
    } else {
        out += written;
    }
}

size_t NameLength(std::string_view text, size_t from) {
    size_t end = from;
    while (end < text.size() &&
           (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) {
        if (end == from && std::isdigit(static_cast<unsigned char>(text[end]))) break;
        ++end;
    }
    return end - from;
}

}  // namespace

std::string ExpandEnvironmentReferences(std::string_view text) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '%') {
            size_t close = text.find('%', i + 1);
            if (close != std::string_view::npos && close > i + 1) {
                AppendVariable(text.substr(i + 1, close - i - 1), text.substr(i, close - i + 1),
                               out);
                i = close + 1;
                continue;
            }
        } else if (c == '$' && i + 1 < text.size() && text[i + 1] == '{') {
            size_t close = text.find('}', i + 2);
            if (close != std::string_view::npos && close > i + 2) {
                AppendVariable(text.substr(i + 2, close - i - 2), text.substr(i, close - i + 1),
                               out);
                i = close + 1;
                continue;
            }
        } else if (c == '$') {
            size_t length = NameLength(text, i + 1);
            if (length > 0) {
                AppendVariable(text.substr(i + 1, length), text.substr(i, length + 1), out);
                i += length + 1;
                continue;
            }
        }
        out.push_back(c);
        ++i;
    }
    return out;
}

std::string SystemDriverFilePath() {
    // The driver manager joins the two without looking at either (ODBCINSTINI is a file name
    // inside the ODBCSYSINI folder).
    std::string name = Env("ODBCINSTINI");
    return SystemIniFolder() + "/" + (name.empty() ? "odbcinst.ini" : name);
}

std::string UserDriverFilePath() {
    if (!Env("ODBCSYSINI").empty() || !Env("ODBCINSTINI").empty()) return SystemDriverFilePath();
    return Join(HomeFolder(), ".odbcinst.ini");
}

std::vector<OdbcDriver> RegisteredOdbcDrivers() {
    std::vector<OdbcDriver> drivers;
    AddDrivers(SystemDriverFilePath(), drivers);
    const std::string home = HomeFolder();
    if (!home.empty()) AddDrivers(Join(home, ".odbcinst.ini"), drivers);
    return drivers;
}

std::vector<OdbcDataSource> OdbcDataSources() {
    std::vector<OdbcDataSource> sources;
    std::string user = Env("ODBCINI");
    if (user.empty() && !HomeFolder().empty()) user = Join(HomeFolder(), ".odbc.ini");
    if (!user.empty()) AddDataSources(user, sources);
    AddDataSources(SystemIniFolder() + "/odbc.ini", sources);
    return sources;
}

std::vector<std::string> DriverLibraryFolders() {
    std::vector<std::string> folders;
    const std::string multiarch = kMultiarch;
    if (!multiarch.empty()) folders.push_back("/usr/lib/" + multiarch + "/odbc");
    folders.push_back("/usr/lib/odbc");
    std::string loaderPath = Env("LD_LIBRARY_PATH");
    size_t start = 0;
    while (start <= loaderPath.size() && !loaderPath.empty()) {
        size_t colon = loaderPath.find(':', start);
        std::string folder = loaderPath.substr(start, colon - start);
        if (!folder.empty()) folders.push_back(folder);
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    if (!multiarch.empty()) {
        folders.push_back("/lib/" + multiarch);
        folders.push_back("/usr/lib/" + multiarch);
    }
    for (const char* folder : {"/lib", "/usr/lib", "/usr/local/lib"}) folders.push_back(folder);
    return folders;
}

std::optional<std::string> FindDriverLibrary(std::string_view driverPath) {
    const std::string path = ExpandEnvironmentReferences(driverPath);
    if (path.empty()) return std::nullopt;
    if (path.find('/') != std::string::npos) {
        if (IsRegularFile(path)) return path;
        return std::nullopt;
    }
    for (const std::string& folder : DriverLibraryFolders()) {
        std::string candidate = Join(folder, path);
        if (IsRegularFile(candidate)) return candidate;
    }
    return std::nullopt;
}

bool LibraryFileExists(std::string_view path) {
    return FindDriverLibrary(path).has_value();
}

bool IsMySqlOdbcDriver(const OdbcDriver& driver) {
    if (driver.name.find("MySQL ODBC") != std::string::npos) return true;
    if (ContainsNoCase(driver.name, "MariaDB")) return true;
    const std::string library = Lower(BaseName(ExpandEnvironmentReferences(driver.driverPath)));
    return library.rfind("libmyodbc", 0) == 0 || library.rfind("libmaodbc", 0) == 0;
}

bool IsSqlServerDriver(const OdbcDriver& driver) {
    if (ContainsNoCase(driver.name, "SQL Server") || ContainsNoCase(driver.name, "FreeTDS")) {
        return true;
    }
    const std::string library = Lower(BaseName(ExpandEnvironmentReferences(driver.driverPath)));
    return library.rfind("libtdsodbc", 0) == 0 || library.rfind("libmsodbcsql", 0) == 0;
}

std::string MySqlOdbcDriverName(int n) {
    if (n < 1) return "";
    int seen = 0;
    for (const OdbcDriver& driver : RegisteredOdbcDrivers()) {
        if (!IsMySqlOdbcDriver(driver) || !FindDriverLibrary(driver.driverPath)) continue;
        if (++seen == n) return driver.name;
    }
    return "";
}

std::vector<std::string> SqlServerClientAliases() {
    std::vector<std::string> aliases;
    std::vector<std::string> files;
    if (!HomeFolder().empty()) files.push_back(Join(HomeFolder(), ".freetds.conf"));
    std::string system = Env("FREETDSCONF");
    files.push_back(system.empty() ? "/etc/freetds/freetds.conf" : system);
    for (const std::string& file : files) {
        for (const std::string& section : ReadProfileSections(file)) {
            if (SameNoCase(section, "global")) continue;
            bool known = std::any_of(aliases.begin(), aliases.end(),
                                     [&](const std::string& a) { return SameNoCase(a, section); });
            if (!known) aliases.push_back(section);
        }
    }
    return aliases;
}

std::optional<std::string> DriverManagerLibrary() {
    // The library the loader gives for the driver manager's name: the one this program runs
    // with once a connection has been made (dlopen then only counts one more reference).
    void* handle = dlopen("libodbc.so.2", RTLD_LAZY | RTLD_LOCAL);
    if (!handle) return std::nullopt;
    std::optional<std::string> path;
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name) path = map->l_name;
    dlclose(handle);
    if (path && !IsRegularFile(*path)) return std::nullopt;
    return path;
}

}  // namespace velmora
