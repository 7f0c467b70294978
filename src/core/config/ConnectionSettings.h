// ConnectionSettings: how one side (the MySQL source or the SQL Server target) is reached, as the
// configuration dialog hands it to the main window and the connect sequence uses it. A plain
// value; whoever owns it decides the thread.
#pragma once

#include <string>

namespace velmora {

struct ConnectionSettings {
    std::string provider;        // display name: "TCP/IP:Port", "Microsoft OLE DB Provider ..."
    std::string providerProgId;  // "MSDASQL" (ODBC driver manager) or "SQLOLEDB" (SQL Server)
    std::string sourceName;      // data source name, SQL Server alias, or host[:port]
    std::string userId;
    std::string password;
    std::string catalogName;  // the database to open first; may be empty
    // The target's TLS choices: Encrypt "optional", "mandatory" or "strict" ("" leaves the
    // driver's default), and TrustServerCertificate (a certificate that cannot be checked, such
    // as a test server's self-signed one, is accepted). Each becomes the keyword of the SQL
    // Server driver in use, or nothing when that driver has none.
    std::string encrypt = {};
    bool trustServerCertificate = false;
};

// The Encrypt choices as migrator.cfg and the command line spell them; "" first (the driver's
// default).
inline constexpr const char* kEncryptChoices[] = {"", "optional", "mandatory", "strict"};

}  // namespace velmora
