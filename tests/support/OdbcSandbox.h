// OdbcSandbox: a private ODBC world for one test. It makes a temporary folder and points the
// driver manager, FreeTDS and the home folder at it (ODBCSYSINI, ODBCINI, FREETDSCONF, HOME;
// ODBCINSTINI and LD_LIBRARY_PATH are cleared), so a test writes its own odbcinst.ini, odbc.ini
// and freetds.conf. Everything is put back and removed when the sandbox goes.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora::test {

// A temporary folder, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Sets (or with nothing, unsets) environment variables and restores them at the end.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    void Set(const std::string& name, std::optional<std::string> value);

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

void WriteTextFile(const std::string& path, const std::string& text);
std::string ReadTextFile(const std::string& path);
unsigned FileMode(const std::string& path);  // permission bits

class OdbcSandbox {
public:
    OdbcSandbox();

    const TempFolder& folder() const { return folder_; }
    ScopedEnvironment& environment() { return environment_; }
    std::string SystemDriverFile() const { return folder_ / "odbcinst.ini"; }
    std::string UserDriverFile() const { return folder_ / "home/.odbcinst.ini"; }
    std::string SystemDataSourceFile() const { return folder_ / "odbc.ini"; }
    std::string UserDataSourceFile() const { return folder_ / "home/.odbc.ini"; }
    std::string FreeTdsFile() const { return folder_ / "freetds.conf"; }

    void WriteSystemDrivers(const std::string& text) { WriteTextFile(SystemDriverFile(), text); }
    // The real drivers of this machine ("MariaDB Unicode", "FreeTDS") as /etc registers them.
    static std::string MachineDriverEntries();

private:
    TempFolder folder_;
    ScopedEnvironment environment_;
};

}  // namespace velmora::test
