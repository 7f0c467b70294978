#include "config/Configuration.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/stat.h>

#include <fstream>

namespace velmora {
namespace {

TEST(Configuration, ProviderNamesMapToTheirIdentifiersWithoutRegardToCase) {
    struct Case {
        const char* display;
        const char* progId;
    } cases[] = {
        {"Microsoft OLE DB Provider for ODBC Divers", "MSDASQL"},
        {"MICROSOFT ole db provider FOR odbc divers", "MSDASQL"},
        {"TCP/IP:Port", "MSDASQL"},
        {"tcp/ip:PORT", "MSDASQL"},
        {"Microsoft OLE DB Provider for SQL Server", "SQLOLEDB"},
        {"microsoft ole db provider for sql server", "SQLOLEDB"},
        {"Microsoft OLE DB Provider for ODBC Drivers",
         "Microsoft OLE DB Provider for ODBC Drivers"},
        {"SQLNCLI11", "SQLNCLI11"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ProviderProgId(c.display), c.progId) << c.display;
}

TEST(Configuration, ProviderListsOfBothSides) {
    EXPECT_EQ(
        ProviderList(ConfigSide::Source),
        (std::vector<std::string>{"Microsoft OLE DB Provider for ODBC Divers", "TCP/IP:Port"}));
    EXPECT_EQ(
        ProviderList(ConfigSide::Target),
        (std::vector<std::string>{"Microsoft OLE DB Provider for ODBC Divers",
                                  "Microsoft OLE DB Provider for SQL Server", "TCP/IP:Port"}));
}

TEST(Configuration, AFlagIsSetWhenItsValueContainsTrue) {
    struct Case {
        const char* value;
        bool set;
    } cases[] = {{"true", true},  {"untrue", true}, {"true!", true}, {"TRUE", false},
                 {"True", false}, {"false", false}, {"", false},     {"1", false},
                 {"yes", false},  {" tru e", false}};
    for (const Case& c : cases) EXPECT_EQ(IsFlagSet(c.value), c.set) << "'" << c.value << "'";
}

TEST(Configuration, TheFileLivesInTheProgramFolder) {
    EXPECT_EQ(ConfigFilePath("/opt/velmora/"), "/opt/velmora/migrator.cfg");
    EXPECT_EQ(ConfigFilePath("/opt/velmora"), "/opt/velmora/migrator.cfg");
    EXPECT_TRUE(IsTcpIpProvider("TCP/IP:PORT"));
    EXPECT_FALSE(IsTcpIpProvider("TCP/IP"));
}

// A migrator.cfg that others may read is used, with a warning, when it holds a password; and no
// core dump can hold the passwords.
TEST(Configuration, SecretsAreGuarded) {
    const std::string path = testing::TempDir() + "velmora-secrets.cfg";
    std::ofstream(path) << "[TargetDB]\nPassWord=secret\n";
    chmod(path.c_str(), 0644);
    EXPECT_EQ(ExposedPasswordWarning(path),
              path + " holds a password and other users may read it (mode 0644): chmod 600 " + path);
    chmod(path.c_str(), 0600);
    EXPECT_EQ(ExposedPasswordWarning(path), "");
    std::ofstream(path) << "[TargetDB]\nPassWord=\n";
    chmod(path.c_str(), 0644);
    EXPECT_EQ(ExposedPasswordWarning(path), "");
    std::remove(path.c_str());
    KeepSecretsOutOfCoreDumps();
    EXPECT_EQ(prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
}

}  // namespace
}  // namespace velmora
