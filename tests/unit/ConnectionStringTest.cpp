#include <gtest/gtest.h>

#include "data/ConnectionString.h"
#include "data/OdbcConnection.h"

namespace velmora {
namespace {

const InstalledDriver kFreeTds{"FreeTDS", "libtdsodbc.so"};
const InstalledDriver kMariaDb{"MariaDB Unicode", "libmaodbc.so"};
const InstalledDriver kMsOdbc17{"ODBC Driver 17 for SQL Server", "/opt/microsoft/msodbcsql17/lib64/libmsodbcsql-17.so"};
const InstalledDriver kMsOdbc18{"ODBC Driver 18 for SQL Server", "/opt/microsoft/msodbcsql18/lib64/libmsodbcsql-18.so"};
const InstalledDriver kMySql{"MySQL ODBC 8.0 Unicode Driver", "libmyodbc8w.so"};

PropertySet Login(const std::string& user, const std::string& password) {
    PropertySet set;
    set.Add(kPropAuthMaskPassword, false);
    set.Add(kPropAuthPassword, password);
    set.Add(kPropAuthUserId, user);
    return set;
}

PropertySet With(PropertySet set, uint32_t id, const std::string& value) {
    set.Add(id, value);
    return set;
}

struct Case {
    const char* name;
    const char* provider;
    PropertySet properties;
    std::vector<InstalledDriver> drivers;
    std::string expected;        // the connection string, or "" when an error is expected
    std::string expectedError;   // a part of the error text
};

class ConnectionStringCases : public ::testing::TestWithParam<Case> {};

TEST_P(ConnectionStringCases, MapsProviderAndProperties) {
    const Case& c = GetParam();
    ConnectionStringResult result = BuildOdbcConnectionString(c.provider, c.properties, c.drivers);
    EXPECT_EQ(result.text, c.expected);
    if (c.expected.empty()) {
        EXPECT_NE(result.error.find(c.expectedError), std::string::npos) << result.error;
    } else {
        EXPECT_EQ(result.error, "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    All, ConnectionStringCases,
    ::testing::Values(
        // The MySQL host-and-port string always says UID=root: the configured login wins, and the
        // MariaDB driver is asked to stream rows.
        Case{"MySqlHostAndPort", "MSDASQL",
             With(Login("velmora", "s3cret"), kPropInitProviderString,
                  ";Driver={MariaDB Unicode};SERVER=db1;PORT=3307;UID=root;Database=shop"),
             {kFreeTds, kMariaDb},
             "Driver={MariaDB Unicode};UID=velmora;PWD=s3cret;SERVER=db1;PORT=3307;Database=shop;"
             "CHARSET=utf8mb4;NO_CACHE=1;FORWARDONLY=1;",
             ""},
        Case{"PasswordWithSeparatorsIsBraced", "MSDASQL",
             With(Login("ann", "p;w}d{x=1 !"), kPropInitProviderString,
                  ";Driver={MariaDB Unicode};SERVER=db1;PORT=3306;UID=root;"),
             {kMariaDb},
             "Driver={MariaDB Unicode};UID=ann;PWD={p;w}}d{x=1 !};SERVER=db1;PORT=3306;CHARSET=utf8mb4;"
             "NO_CACHE=1;FORWARDONLY=1;",
             ""},
        Case{"MySqlDriverGetsNoMariaDbOptions", "MSDASQL",
             With(Login("u", "p"), kPropInitProviderString,
                  ";Driver={MySQL ODBC 8.0 Unicode Driver};SERVER=db1;PORT=3306;UID=root;"),
             {kMySql},
             "Driver={MySQL ODBC 8.0 Unicode Driver};UID=u;PWD=p;SERVER=db1;PORT=3306;", ""},
        Case{"DataSourceNameAndCatalog", "MSDASQL",
             With(With(Login("u", "p"), kPropInitDataSource, "shopdsn"), kPropInitCatalog, "shop"),
             {kMariaDb}, "DSN=shopdsn;UID=u;PWD=p;Database=shop;", ""},
        Case{"NoUserKeepsTheDataSourceLogin", "MSDASQL",
             With(Login("", ""), kPropInitDataSource, "shopdsn"), {kMariaDb}, "DSN=shopdsn;", ""},
        Case{"NothingToConnectTo", "MSDASQL", Login("u", "p"), {kMariaDb}, "", "No data source name"},
        // The SQL Server host-and-port string goes to the installed SQL Server driver, with the
        // port as that driver takes it.
        Case{"SqlServerStringOnFreeTds", "MSDASQL",
             With(Login("sa", "pw"), kPropInitProviderString,
                  ";Driver={SQL Server};Server=dbhost;Address=dbhost,1500;Network=DBMSSOCN;Database=sales"),
             {kFreeTds, kMariaDb}, "Driver=FreeTDS;UID=sa;PWD=pw;Server=dbhost;Port=1500;Database=sales;", ""},
        Case{"SqlServerStringOnMicrosoftDriver", "MSDASQL",
             With(Login("sa", "pw"), kPropInitProviderString,
                  ";Driver={SQL Server};Server=dbhost;Address=dbhost,1500;Network=DBMSSOCN;Database=sales"),
             {kFreeTds, kMsOdbc17, kMsOdbc18},
             "Driver={ODBC Driver 18 for SQL Server};UID=sa;PWD=pw;Server={dbhost,1500};Database=sales;", ""},
        Case{"SqlServerStringWithoutDriver", "MSDASQL",
             With(Login("sa", "pw"), kPropInitProviderString, ";Driver={SQL Server};Server=h;Address=h,1433;"),
             {kMariaDb}, "", "No SQL Server ODBC driver"},
        Case{"SqlOleDbServerAndCatalog", "SQLOLEDB",
             With(With(Login("sa", "pw"), kPropInitDataSource, "dbhost"), kPropInitCatalog, "sales"),
             {kMariaDb, kFreeTds}, "Driver=FreeTDS;UID=sa;PWD=pw;Server=dbhost;Database=sales;", ""},
        Case{"SqlOleDbServerWithPortOnFreeTds", "SQLOLEDB",
             With(Login("sa", "pw"), kPropInitDataSource, "10.0.0.5,1501"), {kFreeTds},
             "Driver=FreeTDS;UID=sa;PWD=pw;Server=10.0.0.5;Port=1501;", ""},
        Case{"SqlOleDbNamedInstance", "SQLOLEDB",
             With(Login("sa", "pw"), kPropInitDataSource, "dbhost\\SQLEXPRESS"), {kFreeTds},
             "Driver=FreeTDS;UID=sa;PWD=pw;Server=dbhost\\SQLEXPRESS;", ""},
        Case{"SqlOleDbOnMicrosoft17", "SQLOLEDB",
             With(Login("sa", "pw"), kPropInitDataSource, "tcp:dbhost,1433"), {kFreeTds, kMsOdbc17},
             "Driver={ODBC Driver 17 for SQL Server};UID=sa;PWD=pw;Server={dbhost,1433};", ""},
        Case{"SqlOleDbWithoutServer", "SQLOLEDB", Login("sa", "pw"), {kFreeTds}, "", "No SQL Server name"},
        Case{"UnknownProvider", "Microsoft.Jet.OLEDB.4.0", Login("u", "p"), {kMariaDb}, "", "is not known"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(ConnectionString, Utf8TextOnlyWhereTheLayerPinnedTheCharacterSet) {
    PropertySet properties = Login("u", "p");
    properties.Add(kPropInitProviderString, ";Driver={MariaDB Unicode};SERVER=h;PORT=3306;UID=root;");
    EXPECT_TRUE(BuildOdbcConnectionString("MSDASQL", properties, {kMariaDb}).textAsUtf8);
    properties.Set(kPropInitProviderString, ";Driver={MariaDB Unicode};SERVER=h;CHARSET=latin1;");
    ConnectionStringResult own = BuildOdbcConnectionString("MSDASQL", properties, {kMariaDb});
    EXPECT_FALSE(own.textAsUtf8);
    EXPECT_EQ(own.text, "Driver={MariaDB Unicode};UID=u;PWD=p;SERVER=h;CHARSET=latin1;NO_CACHE=1;FORWARDONLY=1;");
    properties.Set(kPropInitProviderString, ";Driver={MySQL ODBC 8.0 Unicode Driver};SERVER=h;");
    EXPECT_FALSE(BuildOdbcConnectionString("MSDASQL", properties, {kMySql}).textAsUtf8);
}

TEST(ConnectionString, DataSourceNameIsTheDsnOrTheServer) {
    EXPECT_EQ(BuildOdbcConnectionString("MSDASQL", With(Login("u", "p"), kPropInitDataSource, "shopdsn"), {})
                  .dataSourceName,
              "shopdsn");
    EXPECT_EQ(BuildOdbcConnectionString("SQLOLEDB", With(Login("u", "p"), kPropInitDataSource, "dbhost"), {kFreeTds})
                  .dataSourceName,
              "dbhost");
}

TEST(ConnectionString, ParsesBracesDoubledClosingBracesAndEmptyPieces) {
    ConnectionPairs pairs = ParseConnectionString(";Driver={My Driver};PWD={a;b}}c};; Server = h ;junk;Port=1");
    ConnectionPairs expected{{"Driver", "My Driver"}, {"PWD", "a;b}c"}, {"Server", "h"}, {"Port", "1"}};
    EXPECT_EQ(pairs, expected);
    EXPECT_EQ(ParseConnectionString(JoinConnectionString(expected)), expected);
}

TEST(ConnectionString, PrefersMicrosoftDriversByVersionThenFreeTds) {
    EXPECT_EQ(PickSqlServerDriver({kFreeTds, kMsOdbc17, kMsOdbc18})->name, kMsOdbc18.name);
    EXPECT_EQ(PickSqlServerDriver({kFreeTds, kMsOdbc17})->name, kMsOdbc17.name);
    // FreeTDS registered under another name is found by its library.
    EXPECT_EQ(PickSqlServerDriver({kMariaDb, {"TDS", "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so"}})->name, "TDS");
    EXPECT_FALSE(PickSqlServerDriver({kMariaDb, kMySql}).has_value());
}

TEST(ConnectionString, MariaDbStreamsFrom3_1_17) {
    struct {
        const char* version;
        bool streams;
    } cases[] = {{"03.01.0015", false}, {"03.01.0016", false}, {"03.01.0017", true},
                 {"03.02.0001", true},  {"3.1.21", true},      {"02.00.0013", false}, {"", false}};
    for (const auto& c : cases) EXPECT_EQ(MariaDbDriverStreams(c.version), c.streams) << c.version;
}

}  // namespace
}  // namespace velmora
