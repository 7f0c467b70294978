#include "config/OdbcInstallation.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "support/OdbcSandbox.h"

namespace velmora {
namespace {

using test::OdbcSandbox;
using test::WriteTextFile;

std::vector<std::string> Names(const std::vector<OdbcDriver>& drivers) {
    std::vector<std::string> names;
    for (const auto& driver : drivers) names.push_back(driver.name);
    return names;
}

// The driver names as unixODBC itself lists them ("odbcinst -q -d").
std::vector<std::string> DriverManagerNames() {
    std::vector<std::string> names;
    FILE* pipe = popen("odbcinst -q -d 2>/dev/null", "r");
    if (!pipe) return names;
    char line[512];
    while (fgets(line, sizeof line, pipe)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        if (text.size() > 2 && text.front() == '[' && text.back() == ']') {
            names.push_back(text.substr(1, text.size() - 2));
        }
    }
    pclose(pipe);
    return names;
}

TEST(EnvironmentReferences, AreExpandedInEveryWrittenForm) {
    test::ScopedEnvironment env;
    env.Set("VELMORA_T_DIR", "/opt/odbc");
    env.Set("VELMORA_T_UNSET", std::nullopt);
    struct Case {
        const char* written;
        const char* expanded;
    } cases[] = {
        {"%VELMORA_T_DIR%/lib.so", "/opt/odbc/lib.so"},
        {"$VELMORA_T_DIR/lib.so", "/opt/odbc/lib.so"},
        {"${VELMORA_T_DIR}lib.so", "/opt/odbclib.so"},
        {"%VELMORA_T_DIR%%VELMORA_T_DIR%", "/opt/odbc/opt/odbc"},
        {"%VELMORA_T_UNSET%/x.so", "%VELMORA_T_UNSET%/x.so"},  // unknown: left as written
        {"$VELMORA_T_UNSET/x.so", "$VELMORA_T_UNSET/x.so"},
        {"100%", "100%"},
        {"a%%b", "a%%b"},
        {"$", "$"},
        {"$1x", "$1x"},
        {"${}", "${}"},
        {"plain/path.so", "plain/path.so"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExpandEnvironmentReferences(c.written), c.expanded) << c.written;
    }
}

TEST(DriverFiles, FollowTheDriverManagersPathRules) {
    OdbcSandbox sandbox;
    EXPECT_EQ(SystemDriverFilePath(), sandbox.SystemDriverFile());
    // With ODBCSYSINI set, the user's own file is that one too.
    EXPECT_EQ(UserDriverFilePath(), sandbox.SystemDriverFile());
    sandbox.environment().Set("ODBCINSTINI", "custom.ini");
    EXPECT_EQ(SystemDriverFilePath(), sandbox.folder() / "custom.ini");
    sandbox.environment().Set("ODBCSYSINI", std::nullopt);
    sandbox.environment().Set("ODBCINSTINI", std::nullopt);
    EXPECT_EQ(SystemDriverFilePath(), "/etc/odbcinst.ini");
    EXPECT_EQ(UserDriverFilePath(), sandbox.folder() / "home/.odbcinst.ini");
}

TEST(RegisteredDrivers, MatchWhatTheDriverManagerLists) {
    OdbcSandbox sandbox;
    sandbox.WriteSystemDrivers(
        "[ODBC]\nTrace=No\n\n[FreeTDS]\nDriver=libtdsodbc.so\n\n"
        "  [ MySQL ODBC 8.0 Unicode Driver ]  \nDRIVER = /nowhere/libmyodbc8w.so\n"
        "setup=/nowhere/libmyodbc8S.so\n");
    WriteTextFile(sandbox.UserDriverFile(),
                  "[freetds]\nDriver=/other/lib.so\n[MariaDB Unicode]\nDriver=libmaodbc.so\n");
    std::vector<OdbcDriver> drivers = RegisteredOdbcDrivers();
    EXPECT_EQ(Names(drivers), DriverManagerNames());
    ASSERT_EQ(Names(drivers), (std::vector<std::string>{"FreeTDS", "MySQL ODBC 8.0 Unicode Driver",
                                                        "MariaDB Unicode"}));
    // A name the system file registers keeps the system file's keys.
    EXPECT_EQ(drivers[0].driverPath, "libtdsodbc.so");
    EXPECT_EQ(drivers[1].driverPath, "/nowhere/libmyodbc8w.so");
    EXPECT_EQ(drivers[1].setupPath, "/nowhere/libmyodbc8S.so");
    EXPECT_EQ(drivers[2].setupPath, "");
}

TEST(RegisteredDrivers, MissingFilesGiveNoDrivers) {
    OdbcSandbox sandbox;
    EXPECT_TRUE(RegisteredOdbcDrivers().empty());
    EXPECT_EQ(MySqlOdbcDriverName(1), "");
}

TEST(DriverLibraries, AreFoundByPathDriverFolderOrLoaderPath) {
    OdbcSandbox sandbox;
    const std::string library = sandbox.folder() / "lib/libvelmoratest.so";
    WriteTextFile(library, "not really a library");
    std::filesystem::create_directories(sandbox.folder() / "lib/folder.so");
    sandbox.environment().Set("VELMORA_T_LIB", sandbox.folder() / "lib");

    EXPECT_EQ(FindDriverLibrary(library), library);
    EXPECT_EQ(FindDriverLibrary("%VELMORA_T_LIB%/libvelmoratest.so"), library);
    EXPECT_FALSE(FindDriverLibrary(sandbox.folder() / "lib/folder.so"));  // a folder is no file
    EXPECT_FALSE(FindDriverLibrary(sandbox.folder() / "lib/missing.so"));
    EXPECT_FALSE(FindDriverLibrary(""));
    // A bare name: not on any search path yet, then on the loader's path.
    EXPECT_FALSE(FindDriverLibrary("libvelmoratest.so"));
    sandbox.environment().Set("LD_LIBRARY_PATH", "/nonexistent:" + (sandbox.folder() / "lib"));
    EXPECT_EQ(FindDriverLibrary("libvelmoratest.so"), library);
    // Debian's drivers are registered by bare name and live in the ODBC driver folder.
    EXPECT_TRUE(FindDriverLibrary("libmaodbc.so").has_value());
    EXPECT_TRUE(FindDriverLibrary("libtdsodbc.so").has_value());
    EXPECT_FALSE(FindDriverLibrary("libtdsS.so").has_value());  // named by Debian, never installed
}

TEST(DriverKinds, AreToldByNameOrLibrary) {
    struct Case {
        OdbcDriver driver;
        bool mysql;
        bool sqlServer;
    } cases[] = {
        {{"MariaDB Unicode", "libmaodbc.so", "", ""}, true, false},
        {{"MySQL ODBC 3.51 Driver", "/x/libmyodbc3.so", "/x/libmyodbc3S.so", ""}, true, false},
        {{"MySQL ODBC 8.0 ANSI Driver", "libmyodbc8a.so", "", ""}, true, false},
        {{"My Own Name", "/opt/mariadb/libmaodbc.so", "", ""}, true, false},
        {{"mysql odbc lower", "/x/libfoo.so", "", ""}, false, false},
        {{"FreeTDS", "libtdsodbc.so", "libtdsS.so", ""}, false, true},
        {{"ODBC Driver 18 for SQL Server", "/opt/microsoft/msodbcsql18/lib64/libmsodbcsql-18.so",
          "", ""},
         false,
         true},
        {{"SQL Server", "whatever.so", "", ""}, false, true},
        {{"TDS", "/usr/lib/libtdsodbc.so.0", "", ""}, false, true},
        {{"PostgreSQL Unicode", "psqlodbcw.so", "", ""}, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsMySqlOdbcDriver(c.driver), c.mysql) << c.driver.name;
        EXPECT_EQ(IsSqlServerDriver(c.driver), c.sqlServer) << c.driver.name;
    }
}

TEST(MySqlDrivers, CountOnlyDriversWhoseLibraryCanBeFound) {
    OdbcSandbox sandbox;
    sandbox.WriteSystemDrivers(
        "[MySQL ODBC 5.3 Unicode Driver]\nDriver=/removed/libmyodbc5w.so\n"
        "[FreeTDS]\nDriver=libtdsodbc.so\n"
        "[MariaDB Unicode]\nDriver=libmaodbc.so\n"
        "[MySQL ODBC 9.0 Unicode Driver]\nDriver=" +
        (sandbox.folder() / "libmyodbc9w.so") + "\n");
    WriteTextFile(sandbox.folder() / "libmyodbc9w.so", "stand-in library file");
    EXPECT_EQ(MySqlOdbcDriverName(1), "MariaDB Unicode");
    EXPECT_EQ(MySqlOdbcDriverName(2), "MySQL ODBC 9.0 Unicode Driver");
    EXPECT_EQ(MySqlOdbcDriverName(3), "");
    EXPECT_EQ(MySqlOdbcDriverName(0), "");
}

TEST(DataSources, ListUserThenSystemWithTheirDrivers) {
    OdbcSandbox sandbox;
    WriteTextFile(
        sandbox.UserDataSourceFile(),
        "[ODBC Data Sources]\nshopdsn=MariaDB Unicode\n[shopdsn]\nDriver=MariaDB Unicode\n"
        "Server=127.0.0.1\n");
    WriteTextFile(sandbox.SystemDataSourceFile(),
                  "[ODBC]\nTrace=no\n[SHOPDSN]\nDriver=FreeTDS\n[mssql]\nDriver = FreeTDS\n");
    std::vector<OdbcDataSource> sources = OdbcDataSources();
    ASSERT_EQ(sources.size(), 2u);
    EXPECT_EQ(sources[0].name, "shopdsn");
    EXPECT_EQ(sources[0].driver, "MariaDB Unicode");
    EXPECT_EQ(sources[1].name, "mssql");
    EXPECT_EQ(sources[1].driver, "FreeTDS");
}

TEST(SqlServerAliases, AreTheServerSectionsOfFreeTdsConf) {
    OdbcSandbox sandbox;
    WriteTextFile(sandbox.FreeTdsFile(),
                  "[global]\n\ttds version = auto\n;[commented]\n[egServer73]\n\thost = x\n"
                  "[Production]\n\thost = db1\n\tport = 1433\n");
    WriteTextFile(sandbox.folder() / "home/.freetds.conf", "[personal]\nhost=me\n[PRODUCTION]\n");
    EXPECT_EQ(SqlServerClientAliases(),
              (std::vector<std::string>{"personal", "PRODUCTION", "egServer73"}));
}

TEST(DriverManager, IsTheLoadedUnixOdbcLibrary) {
    std::optional<std::string> library = DriverManagerLibrary();
    ASSERT_TRUE(library.has_value());
    EXPECT_NE(library->find("libodbc.so"), std::string::npos) << *library;
    EXPECT_TRUE(std::filesystem::is_regular_file(*library)) << *library;
}

}  // namespace
}  // namespace velmora
