// ConnectionString: how a provider name and its initialisation properties become one ODBC
// connection string. This is the one place that knows the mapping:
//
//   "MSDASQL"  the ODBC driver manager. With a provider string (property 0xA0) that string is
//              used; otherwise the data source name (0x3B) becomes DSN= and the catalog (0xE9)
//              Database=. A provider string naming Driver={SQL Server} goes to the installed SQL
//              Server driver (below).
//   "SQLOLEDB" the installed SQL Server driver: Microsoft ODBC Driver 18 or 17 for SQL Server
//              when registered, else FreeTDS. Server= from 0x3B, Database= from 0xE9.
//
// The user id (0x0C) and password (0x09) become UID= and PWD=, placed right after Driver= or
// DSN=; the same keys in a provider string are dropped. The configured login is what the user
// asked for: the MySQL host-and-port string always says UID=root, and drivers disagree on
// whether the first or the last of a repeated key counts.
//
// Driver needs are added here, not by the callers that build provider strings: FreeTDS takes
// the port as Port= (the SQL Server form "Address=host,port" or "Server=host,port" is split);
// Microsoft's driver has no Port key and takes "Server=host,port"; MariaDB Connector/ODBC gets
// CHARSET=utf8mb4 (every character arrives, as UTF-8) and NO_CACHE=1 with FORWARDONLY=1, which
// stream rows from 3.1.17 on and are ignored before.
//
// Pure functions except InstalledOdbcDrivers; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/DataAccess.h"

namespace velmora {

// One driver registered with the driver manager (odbcinst.ini).
struct InstalledDriver {
    std::string name;     // e.g. "MariaDB Unicode"
    std::string library;  // its Driver= file, e.g. "libmaodbc.so"
};

struct ConnectionStringResult {
    std::string text;   // the ODBC connection string; empty on failure
    std::string error;  // why there is none
    std::string dataSourceName;  // what the data source name property should report
    // The layer pinned the MariaDB driver to UTF-8 (CHARSET=utf8mb4): character data may be
    // fetched as the UTF-8 it is. A connection string with a CHARSET of its own keeps UTF-16.
    bool textAsUtf8 = false;
};

ConnectionStringResult BuildOdbcConnectionString(std::string_view provider,
                                                 const PropertySet& properties,
                                                 const std::vector<InstalledDriver>& drivers);

// A value as a connection string holds it: braced (a closing brace doubled) when it holds a
// character the string's syntax uses, so that no value can add a key of its own.
std::string ConnectionValue(std::string_view value);

// The drivers registered with the driver manager, in its order.
std::vector<InstalledDriver> InstalledOdbcDrivers();

// The SQL Server driver to use: Microsoft's (18, then 17, then any other version), else
// FreeTDS; nothing when none is installed.
std::optional<InstalledDriver> PickSqlServerDriver(const std::vector<InstalledDriver>& drivers);

// Connection string pairs, in order, with their keys as written. Values in braces lose them
// ("}}" inside braces is one "}"); empty pieces are skipped.
using ConnectionPairs = std::vector<std::pair<std::string, std::string>>;
ConnectionPairs ParseConnectionString(std::string_view text);
// "key=value;" for every pair; a value with ; { } = or surrounding blanks is put in braces.
std::string JoinConnectionString(const ConnectionPairs& pairs);

}  // namespace velmora
