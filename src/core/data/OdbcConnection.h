// OdbcConnection: the DataSourceConnection of the program, over the unixODBC driver manager.
// Open maps the provider and its properties onto one connection string (ConnectionString.h)
// and connects with SQLDriverConnectW; the session hands out statements and catalog rowsets
// on that connection.
//
// Threads: a connection and its session are used by one thread at a time: the interface
// thread's browsing connections by it, each task's own connections by the task's threads (its
// row reader on the source, its writer on the target). MariaDB Connector/ODBC 3.1.15 does not
// guard a connection used by two threads at the same moment (ThreadSanitizer saw both write its
// diagnostics, and both can hang on its one socket), so nothing here does that.
#pragma once

#include <memory>

#include "data/DataAccess.h"

namespace velmora {

std::unique_ptr<DataSourceConnection> NewOdbcConnection();

// Seconds that a connection attempt may take before the driver gives up.
inline constexpr int kLoginTimeoutSeconds = 20;

// Whether MariaDB Connector/ODBC of `driverVersion` ("03.01.0017") streams rows when asked to
// with NO_CACHE=1 and FORWARDONLY=1: from 3.1.17 on.
bool MariaDbDriverStreams(std::string_view driverVersion);

// The query that GetProperty runs for a server information property (kPropServerEngineEdition,
// kPropServerVersionText, kPropDatabaseCollation); "" for any other id.
const char* ServerPropertyQuery(uint32_t id);

}  // namespace velmora
