// OdbcInstallation: what this computer offers for reaching the two servers, read from the files
// of the ODBC driver manager (unixODBC) and of FreeTDS.
//
// - Installed drivers: the sections of the system odbcinst.ini, then those of the user's
//   ~/.odbcinst.ini that the system file does not name (unixODBC merges them the same way). The
//   system file is $ODBCSYSINI/$ODBCINSTINI, by default /etc/odbcinst.ini, exactly as the driver
//   manager composes the path.
// - Data sources: the sections of the user's odbc.ini ($ODBCINI, else ~/.odbc.ini) and of the
//   system odbc.ini ($ODBCSYSINI/odbc.ini), each with the driver it names.
// - SQL Server client aliases: the server sections of ~/.freetds.conf and of freetds.conf
//   ($FREETDSCONF, else /etc/freetds/freetds.conf).
// - Whether a driver can be loaded: its Driver library is found as an absolute path, or, for a
//   bare file name such as libmaodbc.so, in the ODBC driver folder (/usr/lib/<multiarch>/odbc) or
//   on the loader's path. The Setup library is optional on Linux: it is reported, never required.
//
// Every path read from these files may hold environment references (%VAR%, $VAR, ${VAR}); they
// are expanded before a file is looked for. The files are read afresh on every call, so a test
// (or a user who just installed a driver) sees the current state. Stateless; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// One driver entry of odbcinst.ini.
struct OdbcDriver {
    std::string name;         // the section name, e.g. "MariaDB Unicode"
    std::string driverPath;   // the Driver key as written
    std::string setupPath;    // the Setup key as written; empty when absent
    std::string description;  // the Description key
};

// One data source of odbc.ini.
struct OdbcDataSource {
    std::string name;    // the section name
    std::string driver;  // the Driver key: a driver name or a library path
};

// Replaces %VAR%, ${VAR} and $VAR by the variable's value; a reference to a variable that is not
// set stays as it is written (so the file it names is simply not found).
std::string ExpandEnvironmentReferences(std::string_view text);

// The path of the system odbcinst.ini that the driver manager reads.
std::string SystemDriverFilePath();
// The path of the user's driver file: ~/.odbcinst.ini, or the system path when ODBCSYSINI or
// ODBCINSTINI points the driver manager at a file of the user's choice.
std::string UserDriverFilePath();

// Installed drivers in the driver manager's order.
std::vector<OdbcDriver> RegisteredOdbcDrivers();

// Data sources: the user's first, then the system's (a name defined in both counts once).
std::vector<OdbcDataSource> OdbcDataSources();

// The folders searched for a driver library given by a bare file name.
std::vector<std::string> DriverLibraryFolders();

// The full path of the driver's library when it can be loaded, else nothing.
std::optional<std::string> FindDriverLibrary(std::string_view driverPath);
// Whether a file named by a Setup or Driver key exists as a file (after expansion; bare names
// are looked for like driver libraries).
bool LibraryFileExists(std::string_view path);

// A MySQL Connector/ODBC or MariaDB Connector/ODBC entry.
bool IsMySqlOdbcDriver(const OdbcDriver& driver);
// A SQL Server driver: Microsoft's ODBC Driver for SQL Server, a driver named "SQL Server", or
// FreeTDS.
bool IsSqlServerDriver(const OdbcDriver& driver);

// The n-th (from 1) MySQL ODBC driver whose library can be loaded, in the driver list's order;
// empty when there is no such driver.
std::string MySqlOdbcDriverName(int n);

// Server sections of the FreeTDS configuration files, in file order, without duplicates.
std::vector<std::string> SqlServerClientAliases();

// The file of the ODBC driver manager library this program runs with (libodbc.so.2).
std::optional<std::string> DriverManagerLibrary();

}  // namespace velmora
