// The texts the server operations build: connection strings, initialisation properties and
// statements, with their edge cases.
#include <gtest/gtest.h>

#include <cstdio>

#include "Converters/SourceServer.h"
#include "config/ConnectionProperties.h"
#include "Converters/TargetServer.h"
#include "commands/MainWindowModel.h"
#include "explorer/TreeCommands.h"
#include "support/OdbcSandbox.h"
#include "support/ScriptedPort.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

// "id=value" per entry, in order; booleans as true/false, numbers as i:<n>.
std::vector<std::string> Render(const PropertySet& set) {
    std::vector<std::string> out;
    for (const Property& entry : set.entries) {
        char id[16];
        std::snprintf(id, sizeof id, "0x%02X=", entry.id);
        std::string value;
        if (const bool* b = std::get_if<bool>(&entry.value)) value = *b ? "true" : "false";
        if (const int32_t* i = std::get_if<int32_t>(&entry.value))
            value = "i:" + std::to_string(*i);
        if (const std::string* s = std::get_if<std::string>(&entry.value)) value = *s;
        out.push_back(id + value);
    }
    return out;
}

TEST(TargetConnectionString, CoversHostPortAndCatalogCases) {
    struct Case {
        const char* sourceName;
        const char* catalog;
        const char* text;
    } cases[] = {
        {"dbhost:1500", "sales",
         ";Driver={SQL Server};Server=dbhost;Address=dbhost,1500;Network=DBMSSOCN;Database=sales"},
        {"srv", "", ";Driver={SQL Server};Server=srv;Address=srv,1433;Network=DBMSSOCN;"},
        {"srv:", "", ";Driver={SQL Server};Server=srv;Address=srv,;Network=DBMSSOCN;"},
        {"srv:1:2", "", ";Driver={SQL Server};Server=srv;Address=srv,1:2;Network=DBMSSOCN;"},
        {":1500", "", ";Driver={SQL Server};Server=;Address=,1500;Network=DBMSSOCN;"},
        {"", "db", ";Driver={SQL Server};Server=;Address=,1433;Network=DBMSSOCN;Database=db"},
        // A host or database holding the string's syntax stays one value: no key of its own.
        {"h;INITSTMT=x", "d;b=}",
         ";Driver={SQL Server};Server={h;INITSTMT=x};Address={h;INITSTMT=x,1433};Network=DBMSSOCN;Database={d;b=}}}"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TargetProviderString(c.sourceName, c.catalog), c.text) << c.sourceName;
    }
}

TEST(TargetProperties, AreBuiltInOrderForEachProvider) {
    struct Case {
        ConnectionSettings settings;
        std::vector<std::string> entries;
    } cases[] = {
        {{"tcp/ip:PORT", "MSDASQL", "srv", "sa", "pw", ""},
         {"0x06=false", "0x08=false", "0x09=pw", "0x0C=sa",
          "0xA0=;Driver={SQL Server};Server=srv;Address=srv,1433;Network=DBMSSOCN;", "0x3F=i:16",
          "0x40=i:4"}},
        {{"Microsoft OLE DB Provider for SQL Server", "SQLOLEDB", "mssql", "sa", "pw", "sales"},
         {"0x06=false", "0x08=false", "0x09=pw", "0x0C=sa", "0x3B=mssql", "0xE9=sales", "0x3F=i:16",
          "0x40=i:4"}},
        {{"Microsoft OLE DB Provider for ODBC Divers", "MSDASQL", "", "", "", ""},
         {"0x06=false", "0x08=false", "0x09=", "0x0C=", "0x3F=i:16", "0x40=i:4"}},
    };
    for (const Case& c : cases) {
        PropertySet set;
        EXPECT_TRUE(BuildTargetInitProperties(c.settings, set));
        EXPECT_EQ(Render(set), c.entries) << c.settings.provider;
    }
}

TEST(SourceConnectionString, CoversHostPortAndCatalogCases) {
    EXPECT_EQ(SourceProviderString("MySQL ODBC 3.51 Driver", "127.0.0.1:3307", "shop"),
              ";Driver={MySQL ODBC 3.51 Driver};SERVER=127.0.0.1;PORT=3307;UID=root;Database=shop");
    EXPECT_EQ(SourceProviderString("MariaDB Unicode", "dbhost", ""),
              ";Driver={MariaDB Unicode};SERVER=dbhost;PORT=3306;UID=root;");
    EXPECT_EQ(SourceProviderString("MariaDB Unicode", "dbhost:", "x"),
              ";Driver={MariaDB Unicode};SERVER=dbhost;PORT=;UID=root;Database=x");
    EXPECT_EQ(SplitHostPort("a:b:c", "3306"), (std::pair<std::string, std::string>{"a", "b:c"}));
    // `--source '127.0.0.1:3420;INITSTMT=CREATE DATABASE injected'` ran that statement on the source.
    EXPECT_EQ(SourceProviderString("MariaDB Unicode", "127.0.0.1:3420;INITSTMT=CREATE DATABASE injected", "s;x"),
              ";Driver={MariaDB Unicode};SERVER=127.0.0.1;PORT={3420;INITSTMT=CREATE DATABASE injected};UID=root;"
              "Database={s;x}");
    EXPECT_EQ(ServerNameProblem("127.0.0.1:3420;INITSTMT=x"), "the port '3420;INITSTMT=x' is not a number");
    EXPECT_EQ(ServerNameProblem("a{b"), "the host holds '{', which no host name holds");
    EXPECT_EQ(ServerNameProblem("db-1.example.org:3306"), "");
}

TEST(SourceProperties, DataSourceFormNeedsNoDriver) {
    test::OdbcSandbox sandbox;  // no driver at all
    int probes = 0;
    SourceProbe probe = [&](std::string_view, const PropertySet&, std::string&) {
        ++probes;
        return kSuccess;
    };
    PropertySet set;
    ConnectionSettings settings{
        "Microsoft OLE DB Provider for ODBC Divers", "MSDASQL", "shopdsn", "velmora", "pw", "shop"};
    EXPECT_TRUE(BuildSourceInitProperties(settings, set, probe));
    EXPECT_EQ(Render(set),
              (std::vector<std::string>{"0x08=false", "0x09=pw", "0x0C=velmora", "0x3B=shopdsn",
                                        "0xE9=shop", "0x3F=i:16", "0x40=i:4"}));
    PropertySet empty;
    settings.sourceName = settings.catalogName = "";
    EXPECT_TRUE(BuildSourceInitProperties(settings, empty, probe));
    EXPECT_EQ(Render(empty), (std::vector<std::string>{"0x08=false", "0x09=pw", "0x0C=velmora",
                                                       "0x3F=i:16", "0x40=i:4"}));
    EXPECT_EQ(probes, 0);
}

TEST(SourceProperties, HostAndPortFormProbesUpToThreeDrivers) {
    test::OdbcSandbox sandbox;
    const std::string library = sandbox.folder() / "libstandin.so";
    test::WriteTextFile(library, "stand-in");
    std::string entries;
    for (const char* name : {"MySQL ODBC A", "MySQL ODBC B", "MySQL ODBC C", "MySQL ODBC D"}) {
        entries += std::string("[") + name + "]\nDriver=" + library + "\n";
    }
    sandbox.WriteSystemDrivers(entries);
    ConnectionSettings settings{"TCP/IP:Port", "MSDASQL", "db:3307", "u", "p", "shop"};

    struct Case {
        int succeedAt;  // the probe that works (0: none)
        bool result;
        const char* driverInString;
        int probes;
    } cases[] = {{1, true, "MySQL ODBC A", 1},
                 {2, true, "MySQL ODBC B", 2},
                 {0, true, "MySQL ODBC C", 3}};  // three failed: the third's string stays
    for (const Case& c : cases) {
        int probes = 0;
        std::vector<std::string> seen;
        SourceProbe probe = [&](std::string_view provider, const PropertySet& set,
                                std::string& error) {
            EXPECT_EQ(provider, "MSDASQL");
            seen.push_back(set.FindText(kPropInitProviderString).value_or("?"));
            EXPECT_EQ(set.Find(kPropInitMode), nullptr);  // the set built so far
            error = "probe failed";
            return ++probes == c.succeedAt ? kSuccess : kFailure;
        };
        PropertySet set;
        test::ScriptedPort port;
        EXPECT_EQ(BuildSourceInitProperties(settings, set, probe, &port), c.result);
        EXPECT_EQ(probes, c.probes);
        EXPECT_EQ(set.FindText(kPropInitProviderString),
                  ";Driver={" + std::string(c.driverInString) +
                      "};SERVER=db;PORT=3307;UID=root;Database=shop");
        EXPECT_EQ(seen.back(), *set.FindText(kPropInitProviderString));
        EXPECT_EQ(Render(set).back(), "0x40=i:4");
        // The dialog's check shows every failed probe.
        EXPECT_EQ(port.Messages().size(), static_cast<size_t>(c.succeedAt ? c.succeedAt - 1 : 3));
    }
}

TEST(SourceProperties, RunningOutOfDriversFails) {
    test::OdbcSandbox sandbox;
    sandbox.WriteSystemDrivers("[FreeTDS]\nDriver=libtdsodbc.so\n");
    ConnectionSettings settings{"TCP/IP:Port", "MSDASQL", "db", "u", "p", ""};
    int probes = 0;
    SourceProbe failing = [&](std::string_view, const PropertySet&, std::string& error) {
        error = "cannot connect";
        ++probes;
        return kFailure;
    };
    PropertySet set;
    EXPECT_FALSE(BuildSourceInitProperties(settings, set, failing));
    EXPECT_EQ(probes, 0);  // no driver: no connection attempt

    test::ScriptedPort port;
    sandbox.WriteSystemDrivers(test::OdbcSandbox::MachineDriverEntries());
    PropertySet second;
    EXPECT_FALSE(BuildSourceInitProperties(settings, second, failing, &port));
    EXPECT_EQ(probes, 1);
    EXPECT_EQ(port.Messages(), (std::vector<std::string>{
                                   "cannot connect", "No appropriate Config, Please correct!!!"}));
}

TEST(TargetStatements, QuoteNamesThatAreNotPlain) {
    struct Case {
        std::string statement;
        const char* expected;
    } cases[] = {
        {UseStatement("sales", 1), "use sales;"},
        {UseStatement("order", 1), "use [order];"},
        {UseStatement("x]; drop database y; --", 1), "use \"x]; drop database y; --\";"},
        {CreateDatabaseStatement("sales"), "create database sales;"},
        {CreateDatabaseStatement("my db"), "create database [my db];"},
        {DropDatabaseStatement("sales"), "drop database sales;"},
        {DropDatabaseStatement("select"), "drop database [select];"},
        {DropTableStatement("orders"), "drop table orders"},
        {DropTableStatement("order items"), "drop table [order items]"},
        {DropViewStatement("v_sales"), "drop view v_sales"},
        {DropViewStatement("my view"), "drop view [my view]"},
        {RenameStatement("orders", "orders_old"), "sp_rename 'orders', 'orders_old', 'object'"},
        {RenameStatement("order", "o'k"), "sp_rename '[order]', 'o''k', 'object'"},
        {RenameStatement("a.b", "c"), "sp_rename '[a.b]', 'c', 'object'"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.statement, c.expected);
        EXPECT_EQ(test::DescribeTsqlProblems(c.statement), "");
    }
    // The source side quotes for MySQL.
    EXPECT_EQ(UseStatement("shop", 0), "use shop;");
    EXPECT_EQ(UseStatement("my shop", 0), "use `my shop`;");
    EXPECT_EQ(UseStatement("a`b", 0), "use `a``b`;");
}

TEST(Charsets, ThirtySixNamesAndUnknownOutsideTheRange) {
    ASSERT_EQ(CharsetNames().size(), 36u);
    EXPECT_EQ(CharsetName(0), "BIG5");
    EXPECT_EQ(CharsetName(5), "LATIN1");
    EXPECT_EQ(CharsetName(21), "UTF8");
    EXPECT_EQ(CharsetName(35), "EUCJPMS");
    EXPECT_EQ(CharsetName(36), "UNKOWNEN");
    EXPECT_EQ(CharsetName(-1), "UNKOWNEN");
    EXPECT_EQ(CharsetStatements("UTF8"),
              (std::vector<std::string>{
                  "set character_set_client=UTF8;", "set character_set_connection=UTF8;",
                  "set character_set_database=UTF8;", "set character_set_results=UTF8;",
                  "set character_set_server=UTF8;"}));
}

TEST(StorageEngine, EachUseFlipsTheChoiceAndSaysSo) {
    test::ScriptedPort port;
    MainWindowModel window(port, nullptr, nullptr);
    EXPECT_EQ(window.storageEngineMenuText, "Change Storage Engine(MyISAM)");
    ToggleStorageEngineCommand(port, window.sourceTree(), window.storageEngineMenuText);
    EXPECT_EQ(window.storageEngineMenuText, "Change Storage Engine(InnoDB)");
    EXPECT_EQ(window.sourceTree().storageEngine(), "InnoDB");
    ToggleStorageEngineCommand(port, window.sourceTree(), window.storageEngineMenuText);
    EXPECT_EQ(window.storageEngineMenuText, "Change Storage Engine(MyISAM)");
    EXPECT_EQ(window.sourceTree().storageEngine(), "MyISAM");
    EXPECT_EQ(port.Messages(),
              (std::vector<std::string>{"Now Storage Engine of MySQL is InnoDB!",
                                        "Now Storage Engine of MySQL is MyISAM!"}));
    // "MyISAM" at the very start does not count as the current choice.
    window.storageEngineMenuText = "MyISAM";
    ToggleStorageEngineCommand(port, window.sourceTree(), window.storageEngineMenuText);
    EXPECT_EQ(window.storageEngineMenuText, "Change Storage Engine(MyISAM)");
}

}  // namespace
}  // namespace velmora
