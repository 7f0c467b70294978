// SourceConnection: the real local MariaDB through the real "MariaDB Unicode" ODBC driver, the
// way the program opens its source side (provider MSDASQL, the host-and-port connection string,
// the login in the properties).
//
//   test::ScratchDatabase db("velmora_it_data", "CREATE TABLE t (id int); ...");  // own name per process
//   auto connection = test::ConnectLocalMariaDb(db.name());
//   Session* session = connection->session();
#pragma once

#include <memory>
#include <string>

#include "data/DataAccess.h"

namespace velmora::test {

// The source properties for the local MariaDB: login, and the host-and-port provider string
// ";Driver={MariaDB Unicode};SERVER=<host>;PORT=<port>;UID=root;" (+ "Database=<database>").
// `extra` is appended to the provider string (for example "CHARSET=utf8mb4;").
PropertySet LocalMariaDbProperties(const std::string& database = "", const std::string& user = "",
                                   const std::string& password = "", int port = 0,
                                   const std::string& extra = "");

// An open connection with its session; fails the calling test (and returns the unopened
// connection) when opening fails.
std::unique_ptr<DataSourceConnection> ConnectLocalMariaDb(const std::string& database = "",
                                                          const std::string& extra = "");

// A database of the test's own, created with `ddl` (run after "USE <name>;") and dropped when
// the object goes. The name is `prefix` plus the process id, so that tests running at the same
// time never share one.
class ScratchDatabase {
public:
    ScratchDatabase(const std::string& prefix, const std::string& ddl);
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;
    const std::string& name() const { return name_; }

private:
    std::string name_;
};

}  // namespace velmora::test
