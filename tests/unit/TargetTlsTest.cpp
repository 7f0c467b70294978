// The target's TLS choices from the settings to the connection string of each SQL Server driver.
#include <gtest/gtest.h>

#include "config/ConfigDialogModel.h"
#include "config/ConnectionProperties.h"
#include "config/Configuration.h"
#include "data/ConnectionString.h"

namespace velmora {
namespace {

const InstalledDriver kFreeTds{"FreeTDS", "libtdsodbc.so"};
const InstalledDriver kMsOdbc17{"ODBC Driver 17 for SQL Server", "libmsodbcsql-17.so"};
const InstalledDriver kMsOdbc18{"ODBC Driver 18 for SQL Server", "libmsodbcsql-18.so"};

struct TlsCase {
    const char* name;
    InstalledDriver driver;
    std::string encrypt;
    bool trust;
    std::string expectedTail;  // what follows "Database=shop;" in the connection string
};

ConnectionSettings Target(const std::string& provider, const TlsCase& c) {
    return ConnectionSettings{provider, ProviderProgId(provider), "db1:1444", "sa", "pw", "shop",
                              c.encrypt, c.trust};
}

std::string TextFor(const ConnectionSettings& settings, const InstalledDriver& driver) {
    PropertySet set;
    BuildTargetInitProperties(settings, set);
    ConnectionStringResult result = BuildOdbcConnectionString(settings.providerProgId, set, {driver});
    EXPECT_EQ(result.error, "");
    return result.text;
}

std::string Head(const InstalledDriver& driver) {
    if (driver.name == "FreeTDS") return "Driver=FreeTDS;UID=sa;PWD=pw;Server=db1;Port=1444;Database=shop;";
    return "Driver={" + driver.name + "};UID=sa;PWD=pw;Server={db1,1444};Database=shop;";
}

class TargetTlsCases : public ::testing::TestWithParam<TlsCase> {};

// The host-and-port route: the provider string is built here and handed to the driver manager.
TEST_P(TargetTlsCases, TcpIpRoute) {
    const TlsCase& c = GetParam();
    EXPECT_EQ(TextFor(Target(std::string(kProviderTcpIp), c), c.driver), Head(c.driver) + c.expectedTail);
}

// The SQL Server provider route names the server itself: the same keywords follow.
TEST_P(TargetTlsCases, SqlServerProviderRoute) {
    const TlsCase& c = GetParam();
    ConnectionSettings settings = Target(std::string(kProviderSqlServer), c);
    settings.sourceName = "db1,1444";
    std::string text = TextFor(settings, c.driver);
    EXPECT_TRUE(text.ends_with(c.expectedTail)) << text;
    if (c.expectedTail.empty()) {
        EXPECT_EQ(text.find("Encrypt"), std::string::npos) << text;
        EXPECT_EQ(text.find("Trust"), std::string::npos) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    All, TargetTlsCases,
    ::testing::Values(
        // Nothing chosen: nothing written, each driver keeps its default.
        TlsCase{"FreeTdsDefault", kFreeTds, "", false, ""},
        TlsCase{"Ms17Default", kMsOdbc17, "", false, ""},
        TlsCase{"Ms18Default", kMsOdbc18, "", false, ""},
        // FreeTDS: Encryption=request|require|strict; it has no TrustServerCertificate.
        TlsCase{"FreeTdsOptional", kFreeTds, "optional", false, "Encryption=request;"},
        TlsCase{"FreeTdsMandatory", kFreeTds, "mandatory", true, "Encryption=require;"},
        TlsCase{"FreeTdsStrict", kFreeTds, "strict", false, "Encryption=strict;"},
        TlsCase{"FreeTdsTrustOnly", kFreeTds, "", true, ""},
        // Driver 18: its own words.
        TlsCase{"Ms18Optional", kMsOdbc18, "optional", false, "Encrypt=Optional;"},
        TlsCase{"Ms18Mandatory", kMsOdbc18, "mandatory", false, "Encrypt=Mandatory;"},
        TlsCase{"Ms18StrictTrusted", kMsOdbc18, "strict", true,
                "Encrypt=Strict;TrustServerCertificate=yes;"},
        TlsCase{"Ms18TrustOnly", kMsOdbc18, "", true, "TrustServerCertificate=yes;"},
        // Driver 17 knows only no and yes; Strict stays encrypted there.
        TlsCase{"Ms17Optional", kMsOdbc17, "optional", false, "Encrypt=no;"},
        TlsCase{"Ms17Mandatory", kMsOdbc17, "mandatory", true,
                "Encrypt=yes;TrustServerCertificate=yes;"},
        TlsCase{"Ms17Strict", kMsOdbc17, "strict", false, "Encrypt=yes;"}),
    [](const ::testing::TestParamInfo<TlsCase>& info) { return std::string(info.param.name); });

// A choice in a typed connection string gives way to the configured one, in the driver's words.
TEST(TargetTls, ConfiguredChoiceReplacesTheStringsOwn) {
    PropertySet set;
    set.Add(kPropInitProviderString,
            std::string(";Driver={SQL Server};Server=db1;Encrypt=no;Encryption=off"));
    set.Add(kPropInitEncrypt, std::string("mandatory"));
    EXPECT_EQ(BuildOdbcConnectionString("MSDASQL", set, {kFreeTds}).text,
              "Driver=FreeTDS;Server=db1;Encryption=require;");
    EXPECT_EQ(BuildOdbcConnectionString("MSDASQL", set, {kMsOdbc18}).text,
              "Driver={ODBC Driver 18 for SQL Server};Server=db1;Encrypt=Mandatory;");
}

// An ODBC data source keeps its own settings: its driver is not known here.
TEST(TargetTls, DataSourceNameRouteLeavesThemToTheDataSource) {
    TlsCase c{"", kMsOdbc18, "strict", true, ""};
    ConnectionSettings settings = Target(std::string(kProviderOdbc), c);
    settings.sourceName = "mssql-dsn";
    EXPECT_EQ(TextFor(settings, kMsOdbc18), "DSN=mssql-dsn;UID=sa;PWD=pw;Database=shop;");
}

}  // namespace
}  // namespace velmora
