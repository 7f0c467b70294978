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
};

}  // namespace velmora
