#include "config/DriverCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "tasks/UserPort.h"
#include "config/ProfileFile.h"
#include "config/WorkFolder.h"
#include "data/ConnectionString.h"

namespace velmora {
namespace {

constexpr const char* kOdbcProviderName = "Microsoft OLE DB Provider for ODBC Drivers";
constexpr const char* kSqlServerProviderName = "Microsoft OLE DB Provider for SQL Server";

const char* Installed(bool installed) {
    return installed ? "Installed" : "Not Installed";
}
const char* Usable(bool usable) {
    return usable ? "Usable" : "Unusable";
}

bool IsFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// Copies `from` to `to` unless `to` exists already; false (errno set) when it fails.
bool CopyUnlessPresent(const std::string& from, const std::string& to) {
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0755);
    if (out < 0) {
        int error = errno;
        close(in);
        errno = error;
        return error == EEXIST;
    }
    char buffer[65536];
    ssize_t n = 0;
    bool ok = true;
    while (ok && (n = read(in, buffer, sizeof buffer)) > 0) {
        for (ssize_t done = 0; ok && done < n;) {
            ssize_t written = write(out, buffer + done, static_cast<size_t>(n - done));
            ok = written > 0;
            done += written > 0 ? written : 0;
        }
    }
    int error = errno;
    ok = ok && n == 0;
    close(in);
    if (close(out) != 0) ok = false;
    if (!ok) {
        unlink(to.c_str());
        errno = error;
    }
    return ok;
}

// Whether the file can be created or appended to (the driver list's file, before writing).
bool CanWrite(const std::string& path) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    close(fd);
    return true;
}

std::string Located(const std::string& written) {
    std::optional<std::string> found = FindDriverLibrary(written);
    return found ? *found : written + " (not found)";
}

}  // namespace

std::string LibraryDetail(const OdbcDriver& driver) {
    std::string detail =
        "Driver: " + (driver.driverPath.empty() ? std::string("none") : Located(driver.driverPath));
    detail += "; Setup: " + (driver.setupPath.empty() ? std::string("none (not needed)")
                                                      : Located(driver.setupPath));
    return detail;
}

const char* const DriverCheckModel::kMySqlNote =
    "Note: If there is no 'Usable' Driver, your computer can not connect to remote/local "
    "database. So, your must install/repair at least one of them. ('Installed' but 'Unusable' "
    "need repair.) You can link to the authoritative site to get one. Or Press Button 'Install "
    "Mysql ODBC 3.51 Driver' to install from local.";
const char* const DriverCheckModel::kMsSqlNote =
    "Note: If there is no 'Usable' Driver, your computer can not connect to remote/local "
    "database. So, your must install/repair at least one of them. ('Installed' but 'Unusable' "
    "need repair.)\r\nIf have not a Setup Software, you can link to the authoritative site to "
    "download.";

void DriverReport::Add(DriverCheckRow row) {
    // The detail is for a tooltip; the text keeps its three fields per row.
    text += row.name + "|" + row.state + "|" + row.usability + "|";
    rows.push_back(std::move(row));
}

DriverReport BuildSourceReport(const ProviderState& odbcProvider,
                               const std::vector<OdbcDriver>& drivers) {
    DriverReport report;
    report.Add({kOdbcProviderName, Installed(odbcProvider.installed), Usable(odbcProvider.usable),
                odbcProvider.detail});
    if (!odbcProvider.usable) {
        // Without the driver manager no driver can be listed: one lone field.
        report.text += "Unusable|";
        report.rows.push_back({"", "", "Unusable", ""});
        return report;
    }
    bool any = false;
    for (const OdbcDriver& driver : drivers) {
        if (!IsMySqlOdbcDriver(driver)) continue;
        any = true;
        const bool usable = FindDriverLibrary(driver.driverPath).has_value();
        report.Add({driver.name, "Installed", Usable(usable), LibraryDetail(driver)});
    }
    if (!any) report.Add({"MySQL ODBC Driver", "Not installed", "Unusable", ""});
    return report;
}

DriverReport BuildTargetReport(const ProviderState& sqlServerProvider,
                               const ProviderState& odbcProvider, bool sqlServerDriverUsable) {
    DriverReport report;
    report.Add({kSqlServerProviderName, Installed(sqlServerProvider.installed),
                Usable(sqlServerProvider.usable), sqlServerProvider.detail});
    report.Add({kOdbcProviderName, Installed(odbcProvider.installed),
                Usable(odbcProvider.usable && sqlServerDriverUsable), odbcProvider.detail});
    return report;
}

void AddTcpIpRow(DriverReport& report) {
    bool usable = false;
    for (size_t i = 1; i < report.rows.size(); ++i) usable = usable || report.rows[i].usable();
    report.Add({"TCP/IP:Port", "N/A", Usable(usable), ""});
}

ProviderState OdbcProviderState() {
    std::optional<std::string> library = DriverManagerLibrary();
    return {library.has_value(), library && IsFile(*library),
            library ? "ODBC driver manager: " + *library : "ODBC driver manager: not loaded"};
}

ProviderState SqlServerProviderState() {
    // The driver the data layer picks, so that the check and the connection agree (chosen from
    // the files as they are now: the driver manager's own list stays as it was first read).
    const std::vector<OdbcDriver> registered = RegisteredOdbcDrivers();
    std::vector<InstalledDriver> installed;
    for (const OdbcDriver& entry : registered) installed.push_back({entry.name, entry.driverPath});
    std::optional<OdbcDriver> driver;
    if (std::optional<InstalledDriver> picked = PickSqlServerDriver(installed)) {
        for (const OdbcDriver& entry : registered) {
            if (entry.name == picked->name) driver = entry;
        }
    }
    ProviderState state{driver.has_value(), false, ""};
    if (driver) {
        state.usable = FindDriverLibrary(driver->driverPath).has_value();
        state.detail = driver->name + ": " + LibraryDetail(*driver);
    }
    return state;
}

DriverReport SourceDriverReport() {
    DriverReport report = BuildSourceReport(OdbcProviderState(), RegisteredOdbcDrivers());
    AddTcpIpRow(report);
    return report;
}

DriverReport TargetDriverReport() {
    const ProviderState sqlServer = SqlServerProviderState();
    DriverReport report = BuildTargetReport(sqlServer, OdbcProviderState(), sqlServer.usable);
    AddTcpIpRow(report);
    return report;
}

DriverCheckModel::DriverCheckModel(UserPort& port)
    : DriverCheckModel(port, ProgramFolder()) {}

DriverCheckModel::DriverCheckModel(UserPort& port, std::string programFolder)
    : port_(port), programFolder_(std::move(programFolder)) {
    Refresh();
}

void DriverCheckModel::Refresh() {
    source_ = SourceDriverReport();
    target_ = TargetDriverReport();
}

bool DriverCheckModel::InstallMySqlOdbcCommand() {
    std::optional<std::string> folder =
        port_.ChooseFolder("Please choise install directory:", programFolder_);
    bool installed = folder && !folder->empty() && Install(*folder);
    Refresh();
    return installed;
}

bool DriverCheckModel::Install(const std::string& folder) {
    UserPort& port = port_;
    const std::string shipped = JoinPath(programFolder_, "MyODBC3.51");
    const std::string driverFrom = JoinPath(shipped, kDriverFile);
    const std::string setupFrom = JoinPath(shipped, kSetupFile);
    if (!IsFile(driverFrom)) {
        port.ShowMessage("No MySQL ODBC 3.51 Driver to install: " + driverFrom +
                         " is missing, nothing was copied or registered.");
        return false;
    }
    const bool withSetup = IsFile(setupFrom);
    const std::string driverTo = JoinPath(folder, kDriverFile);
    const std::string setupTo = JoinPath(folder, kSetupFile);
    std::vector<std::pair<std::string, std::string>> copies = {{driverFrom, driverTo}};
    if (withSetup) copies.emplace_back(setupFrom, setupTo);
    for (const auto& [from, to] : copies) {
        if (!CopyUnlessPresent(from, to)) {
            port.ShowMessage("Copying " + from + " to " + to + " failed: " + std::strerror(errno));
            return false;
        }
    }

    // On Linux the section of the driver is its registration; the Windows list "ODBC Drivers"
    // has no counterpart (unixODBC would take such a section for one more driver).
    const std::string list = UserDriverFilePath();
    const std::string name = kInstalledDriverName;
    if (!CanWrite(list)) {
        port.ShowMessage("Write Register Error!");
        return false;
    }
    if (!WriteProfileString(list, name, "Driver", driverTo)) {
        port.ShowMessage("Registering, Driver Error!");
        return false;
    }
    if (withSetup && !WriteProfileString(list, name, "Setup", setupTo)) {
        port.ShowMessage("Registering, Setup Error!");
        return false;
    }
    if (!WriteProfileString(list, name, "UsageCount", "2")) {
        port.ShowMessage("Registering, UsageCount Error!");
        return false;
    }
    port.ShowMessage("MySQL ODBC 3.51 Driver installed successfully!");
    return true;
}

}  // namespace velmora
