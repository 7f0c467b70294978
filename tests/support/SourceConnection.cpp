#include "support/SourceConnection.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "data/OdbcConnection.h"
#include "support/LocalMariaDb.h"

namespace velmora::test {

PropertySet LocalMariaDbProperties(const std::string& database, const std::string& user,
                                   const std::string& password, int port, const std::string& extra) {
    MariaDbAddress address = LocalMariaDb();
    PropertySet set;
    set.Add(kPropAuthMaskPassword, false);
    set.Add(kPropAuthPassword, user.empty() ? address.password : password);
    set.Add(kPropAuthUserId, user.empty() ? address.user : user);
    std::string text = ";Driver={MariaDB Unicode};SERVER=" + address.host +
                       ";PORT=" + std::to_string(port ? port : address.port) + ";UID=root;";
    if (!database.empty()) text += "Database=" + database + ";";
    text += extra;
    set.Add(kPropInitProviderString, text);
    set.Add(kPropInitMode, int32_t{16});
    set.Add(kPropInitPrompt, int32_t{4});
    return set;
}

std::unique_ptr<DataSourceConnection> ConnectLocalMariaDb(const std::string& database, const std::string& extra) {
    std::unique_ptr<DataSourceConnection> connection = NewOdbcConnection();
    ResultCode opened = connection->Open("MSDASQL", LocalMariaDbProperties(database, "", "", 0, extra));
    EXPECT_EQ(opened, kSuccess) << connection->ProviderErrorText();
    if (opened == kSuccess) {
        EXPECT_EQ(connection->OpenSession(), kSuccess);
    }
    return connection;
}

ScratchDatabase::ScratchDatabase(const std::string& prefix, const std::string& ddl)
    : name_(prefix + "_" + std::to_string(getpid())) {
    RunMariaDbClient("DROP DATABASE IF EXISTS " + name_ + "; CREATE DATABASE " + name_ +
                     " CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci; USE " + name_ + ";\n" + ddl);
}

ScratchDatabase::~ScratchDatabase() { RunMariaDbClient("DROP DATABASE IF EXISTS " + name_ + ";"); }

}  // namespace velmora::test
