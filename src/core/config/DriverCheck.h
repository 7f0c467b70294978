// DriverCheck: which routes to the two servers can work on this computer, as the driver check
// dialog shows them before the user fills in connection properties, and the installer of the
// MySQL ODBC driver shipped beside the program.
//
// A report is a text of fields each ended by "|", read as rows of name, state and usability.
// How the routes map to this platform:
// - "Microsoft OLE DB Provider for ODBC Drivers" (provider MSDASQL) is the ODBC driver manager
//   (unixODBC's libodbc.so.2 that the program runs with): Installed when it is loaded, Usable
//   when its file exists.
// - the MySQL ODBC drivers are the MySQL/MariaDB Connector/ODBC entries of odbcinst.ini: Usable
//   when the Driver library can be found (environment references expanded). The Setup library
//   is optional on Linux (Debian's MariaDB entry has none; its FreeTDS entry names libtdsS.so,
//   which no package installs): it is reported, never required.
// - "Microsoft OLE DB Provider for SQL Server" (provider SQLOLEDB) is the installed SQL Server
//   ODBC driver (Microsoft's, else FreeTDS): Installed when registered, Usable when its library
//   can be found. The ODBC driver "SQL Server" of the second target row is that same driver.
// - the "TCP/IP:Port" row is Usable when a driver row of the report is Usable (the first row,
//   a provider, does not carry that route by itself).
//
// Threads: the interface thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/OdbcInstallation.h"

namespace velmora {

class UserPort;

struct DriverCheckRow {
    std::string name;
    std::string state;      // "Installed", "Not Installed", "Not installed", "N/A", or ""
    std::string usability;  // "Usable" or "Unusable"
    std::string detail;     // where the libraries were found (for a tooltip)

    bool usable() const { return usability == "Usable"; }
};

struct DriverReport {
    std::string text;                  // "name|state|usability|..." as the dialog reads it
    std::vector<DriverCheckRow> rows;  // the same, one entry per row shown

    void Add(DriverCheckRow row);
};

// Whether a provider is there and can be loaded.
struct ProviderState {
    bool installed = false;
    bool usable = false;
    std::string detail;
};

// "Driver: <found path or 'x (not found)'>; Setup: <... or 'none (not needed)'>".
std::string LibraryDetail(const OdbcDriver& driver);

// The reports from given facts (the check itself gathers them from this computer).
DriverReport BuildSourceReport(const ProviderState& odbcProvider,
                               const std::vector<OdbcDriver>& drivers);
DriverReport BuildTargetReport(const ProviderState& sqlServerProvider,
                               const ProviderState& odbcProvider, bool sqlServerDriverUsable);
// Appends the "TCP/IP:Port" row.
void AddTcpIpRow(DriverReport& report);

// The facts of this computer.
ProviderState OdbcProviderState();
ProviderState SqlServerProviderState();

// The two reports of this computer, with their TCP/IP rows.
DriverReport SourceDriverReport();
DriverReport TargetDriverReport();

// The model of the driver check dialog.
class DriverCheckModel {
public:
    static constexpr const char* kMySqlGroup = "MySQL";
    static constexpr const char* kMsSqlGroup = "MSSQL";
    static constexpr const char* kMySqlLink = "Go MySQL to get Setup";
    static constexpr const char* kMySqlLinkTip = "Get Setup Program from Authoritative site";
    static constexpr const char* kMySqlUrl = "https://dev.mysql.com/downloads/connector/odbc/";
    static constexpr const char* kMsSqlLink = "Go Microsoft to get Setup";
    static constexpr const char* kMsSqlUrl =
        "https://learn.microsoft.com/sql/connect/odbc/linux-mac/"
        "installing-the-microsoft-odbc-driver-for-sql-server";
    static constexpr const char* kInstallButton = "Install Mysql ODBC 3.51 Driver";
    static const char* const kMySqlNote;
    static const char* const kMsSqlNote;
    // The driver registered by the install button.
    static constexpr const char* kInstalledDriverName = "MySQL ODBC 3.51 Driver";
    // The files the install button looks for in <program folder>/MyODBC3.51: the driver
    // library, and optionally its setup library (MySQL Connector/ODBC 3.51's Linux names).
    static constexpr const char* kDriverFile = "libmyodbc3.so";
    static constexpr const char* kSetupFile = "libmyodbc3S.so";

    // `programFolder` holds MyODBC3.51; by default the program's own folder.
    explicit DriverCheckModel(UserPort& port);
    DriverCheckModel(UserPort& port, std::string programFolder);

    // "Driver Check": reads this computer again.
    void Refresh();
    const DriverReport& sourceReport() const { return source_; }
    const DriverReport& targetReport() const { return target_; }

    // "Install Mysql ODBC 3.51 Driver": asks for a folder, copies the driver files there and
    // registers them in the user's odbcinst.ini. True when the driver was registered (the
    // dialog then closes). The check is read again in every case.
    bool InstallMySqlOdbcCommand();

private:
    bool Install(const std::string& folder);

    UserPort& port_;
    std::string programFolder_;
    DriverReport source_;
    DriverReport target_;
};

}  // namespace velmora
