#include "config/DriverCheck.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "commands/MainWindowModel.h"
#include "config/ProfileFile.h"
#include "support/OdbcSandbox.h"
#include "support/ScriptedPort.h"

namespace velmora {
namespace {

using test::OdbcSandbox;
using test::WriteTextFile;

constexpr const char* kOdbcRow = "Microsoft OLE DB Provider for ODBC Drivers|Installed|Usable|";
constexpr const char* kSqlServerRowUsable =
    "Microsoft OLE DB Provider for SQL Server|Installed|Usable|";

std::string SourceText() {
    return SourceDriverReport().text;
}
std::string TargetText() {
    return TargetDriverReport().text;
}

TEST(DriverCheckReport, OnThisMachineFindsMariaDbAndFreeTds) {
    // The machine's own odbcinst.ini, as Debian's packages register the drivers.
    test::ScopedEnvironment env;
    env.Set("ODBCSYSINI", std::nullopt);
    env.Set("ODBCINSTINI", std::nullopt);
    env.Set("HOME", "/nonexistent-home");
    EXPECT_EQ(SourceText(), std::string(kOdbcRow) + "MariaDB Unicode|Installed|Usable|" +
                                "TCP/IP:Port|N/A|Usable|");
    EXPECT_EQ(TargetText(),
              std::string(kSqlServerRowUsable) + kOdbcRow + "TCP/IP:Port|N/A|Usable|");
    // Where the libraries are is told; the absent Setup library is not held against a driver.
    const DriverReport source = SourceDriverReport();
    ASSERT_EQ(source.rows.size(), 3u);
    EXPECT_NE(source.rows[1].detail.find("/odbc/libmaodbc.so"), std::string::npos)
        << source.rows[1].detail;
    EXPECT_NE(source.rows[1].detail.find("Setup: none"), std::string::npos);
}

TEST(DriverCheckReport, PreparedDriverListsGiveTheirRows) {
    struct Case {
        const char* title;
        std::string drivers;
        std::string source;  // without the TCP/IP row
        const char* sourceTcpIp;
        const char* targetRows;
    };
    OdbcSandbox sandbox;
    const std::string real = sandbox.folder() / "lib/libmyodbc5w.so";
    WriteTextFile(real, "stand-in for a driver library");
    sandbox.environment().Set("VELMORA_T_LIBS", sandbox.folder() / "lib");
    const Case cases[] = {
        {"a missing Driver library",
         "[MySQL ODBC 5.3 Unicode Driver]\nDriver=/removed/libmyodbc5w.so\nSetup=" + real + "\n",
         "MySQL ODBC 5.3 Unicode Driver|Installed|Unusable|", "Unusable",
         "Microsoft OLE DB Provider for SQL Server|Not Installed|Unusable|"
         "Microsoft OLE DB Provider for ODBC Drivers|Installed|Unusable|"},
        {"a missing Setup file does not decide",
         "[MySQL ODBC 5.3 Unicode Driver]\nDriver=" + real + "\nSetup=/removed/libmyodbc5S.so\n",
         "MySQL ODBC 5.3 Unicode Driver|Installed|Usable|", "Usable", nullptr},
        {"environment references",
         "[MySQL ODBC 5.3 Unicode Driver]\nDriver=%VELMORA_T_LIBS%/libmyodbc5w.so\n"
         "[MySQL ODBC 5.1 Driver]\nDriver=${VELMORA_T_UNSET_X}/libmyodbc5w.so\n",
         "MySQL ODBC 5.3 Unicode Driver|Installed|Usable|MySQL ODBC 5.1 Driver|Installed|Unusable|",
         "Usable", nullptr},
        {"no MySQL driver", "[FreeTDS]\nDriver=libtdsodbc.so\nSetup=libtdsS.so\n",
         "MySQL ODBC Driver|Not installed|Unusable|", "Unusable",
         "Microsoft OLE DB Provider for SQL Server|Installed|Usable|"
         "Microsoft OLE DB Provider for ODBC Drivers|Installed|Usable|"},
        {"a SQL Server driver whose library is gone",
         "[ODBC Driver 18 for SQL Server]\nDriver=/opt/gone/libmsodbcsql-18.so\n"
         "[FreeTDS]\nDriver=libtdsodbc.so\n[MariaDB Unicode]\nDriver=libmaodbc.so\n",
         "MariaDB Unicode|Installed|Usable|", "Usable",
         "Microsoft OLE DB Provider for SQL Server|Installed|Unusable|"
         "Microsoft OLE DB Provider for ODBC Drivers|Installed|Unusable|"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        sandbox.WriteSystemDrivers(c.drivers);
        EXPECT_EQ(SourceText(),
                  std::string(kOdbcRow) + c.source + "TCP/IP:Port|N/A|" + c.sourceTcpIp + "|");
        if (c.targetRows) {
            const bool usable =
                std::string(c.targetRows).find("Drivers|Installed|Usable") != std::string::npos;
            EXPECT_EQ(TargetText(), std::string(c.targetRows) + "TCP/IP:Port|N/A|" +
                                        (usable ? "Usable|" : "Unusable|"));
        }
    }
}

TEST(DriverCheckReport, WithoutUsableDriverManagerNoDriverIsListed) {
    const std::vector<OdbcDriver> drivers = {{"MariaDB Unicode", "libmaodbc.so", "", ""}};
    DriverReport report = BuildSourceReport({true, false, ""}, drivers);
    AddTcpIpRow(report);
    EXPECT_EQ(report.text,
              "Microsoft OLE DB Provider for ODBC Drivers|Installed|Unusable|Unusable|"
              "TCP/IP:Port|N/A|Unusable|");
    // The rows the dialog draws stay aligned: the lone field is a row of its own.
    ASSERT_EQ(report.rows.size(), 3u);
    EXPECT_EQ(report.rows[1].usability, "Unusable");
    EXPECT_EQ(report.rows[2].name, "TCP/IP:Port");

    DriverReport notInstalled = BuildSourceReport({false, false, ""}, drivers);
    EXPECT_EQ(notInstalled.text,
              "Microsoft OLE DB Provider for ODBC Drivers|Not Installed|Unusable|Unusable|");
}

TEST(DriverCheckReport, TcpIpRowNeedsAUsableDriverRow) {
    // A usable first row (a provider) alone does not carry the host-and-port route.
    DriverReport target = BuildTargetReport({true, true, ""}, {true, true, ""}, false);
    AddTcpIpRow(target);
    EXPECT_EQ(target.text,
              "Microsoft OLE DB Provider for SQL Server|Installed|Usable|"
              "Microsoft OLE DB Provider for ODBC Drivers|Installed|Unusable|"
              "TCP/IP:Port|N/A|Unusable|");
    DriverReport source = BuildSourceReport({true, true, ""}, {});
    AddTcpIpRow(source);
    EXPECT_EQ(source.rows.back().usability, "Unusable");
}

class InstallMySqlOdbc : public ::testing::Test {
protected:
    InstallMySqlOdbc() : window_(port_, nullptr, nullptr) {
        program_ = sandbox_.folder() / "program";
        target_ = sandbox_.folder() / "drivers";
        std::filesystem::create_directories(program_);
        std::filesystem::create_directories(target_);
        sandbox_.WriteSystemDrivers(OdbcSandbox::MachineDriverEntries());
    }
    void Ship(bool withSetup) {
        WriteTextFile(program_ + "/MyODBC3.51/libmyodbc3.so", "driver library");
        if (withSetup) WriteTextFile(program_ + "/MyODBC3.51/libmyodbc3S.so", "setup library");
    }

    OdbcSandbox sandbox_;
    test::ScriptedPort port_;
    MainWindowModel window_;
    std::string program_;
    std::string target_;
};

TEST_F(InstallMySqlOdbc, RegistersTheShippedDriverInTheUsersDriverList) {
    Ship(true);
    DriverCheckModel check(window_.port(), program_);
    EXPECT_EQ(check.sourceReport().rows.size(), 3u);  // ODBC, MariaDB Unicode, TCP/IP
    port_.QueueText(target_);
    EXPECT_TRUE(check.InstallMySqlOdbcCommand());

    EXPECT_EQ(test::ReadTextFile(target_ + "/libmyodbc3.so"), "driver library");
    EXPECT_EQ(test::ReadTextFile(target_ + "/libmyodbc3S.so"), "setup library");
    const std::string list = sandbox_.SystemDriverFile();  // ODBCSYSINI names the user's list
    const char* name = "MySQL ODBC 3.51 Driver";
    EXPECT_EQ(ReadProfileString(list, name, "Driver", "", 512), target_ + "/libmyodbc3.so");
    EXPECT_EQ(ReadProfileString(list, name, "Setup", "", 512), target_ + "/libmyodbc3S.so");
    EXPECT_EQ(ReadProfileString(list, name, "UsageCount", "", 512), "2");
    // The drivers registered before stay; no section "ODBC Drivers" appears as a driver.
    EXPECT_EQ(ReadProfileString(list, "MariaDB Unicode", "Driver", "", 512), "libmaodbc.so");
    EXPECT_TRUE(ReadProfileKeys(list, "ODBC Drivers").empty());
    EXPECT_EQ(port_.Events().front(),
              "choose-folder: Please choise install directory: [" + program_ + "]");
    EXPECT_EQ(port_.Messages(),
              std::vector<std::string>{"MySQL ODBC 3.51 Driver installed successfully!"});
    // The check is read again: the new driver is listed and usable.
    EXPECT_NE(check.sourceReport().text.find("MySQL ODBC 3.51 Driver|Installed|Usable|"),
              std::string::npos)
        << check.sourceReport().text;
}

TEST_F(InstallMySqlOdbc, KeepsFilesAlreadyInTheFolderAndWorksWithoutSetupLibrary) {
    Ship(false);
    WriteTextFile(target_ + "/libmyodbc3.so", "already there");
    DriverCheckModel check(window_.port(), program_);
    port_.QueueText(target_);
    EXPECT_TRUE(check.InstallMySqlOdbcCommand());
    EXPECT_EQ(test::ReadTextFile(target_ + "/libmyodbc3.so"), "already there");
    EXPECT_FALSE(std::filesystem::exists(target_ + "/libmyodbc3S.so"));
    EXPECT_EQ(ReadProfileString(sandbox_.SystemDriverFile(), "MySQL ODBC 3.51 Driver", "Setup",
                                "<none>", 512),
              "<none>");
}

TEST_F(InstallMySqlOdbc, WithoutShippedFilesNothingIsCopiedOrRegistered) {
    DriverCheckModel check(window_.port(), program_);
    const std::string before = test::ReadTextFile(sandbox_.SystemDriverFile());
    port_.QueueText(target_);
    EXPECT_FALSE(check.InstallMySqlOdbcCommand());
    ASSERT_EQ(port_.Messages().size(), 1u);
    EXPECT_NE(port_.Messages()[0].find("MyODBC3.51/libmyodbc3.so is missing"), std::string::npos)
        << port_.Messages()[0];
    EXPECT_EQ(test::ReadTextFile(sandbox_.SystemDriverFile()), before);
    EXPECT_TRUE(std::filesystem::is_empty(target_));
}

TEST_F(InstallMySqlOdbc, CancelledFolderChoiceDoesNothing) {
    Ship(true);
    DriverCheckModel check(window_.port(), program_);
    port_.QueueText(std::nullopt);
    EXPECT_FALSE(check.InstallMySqlOdbcCommand());
    EXPECT_TRUE(port_.Messages().empty());
    EXPECT_TRUE(std::filesystem::is_empty(target_));
}

TEST_F(InstallMySqlOdbc, AFolderThatCannotTakeTheFilesIsReported) {
    Ship(true);
    DriverCheckModel check(window_.port(), program_);
    port_.QueueText(program_ + "/MyODBC3.51/libmyodbc3.so/inside");  // a file, not a folder
    EXPECT_FALSE(check.InstallMySqlOdbcCommand());
    ASSERT_EQ(port_.Messages().size(), 1u);
    EXPECT_EQ(port_.Messages()[0].rfind("Copying ", 0), 0u) << port_.Messages()[0];
    EXPECT_TRUE(ReadProfileKeys(sandbox_.SystemDriverFile(), "MySQL ODBC 3.51 Driver").empty());
}

TEST_F(InstallMySqlOdbc, AnUnwritableDriverListIsReported) {
    Ship(true);
    sandbox_.environment().Set("ODBCINSTINI", "odbcinst.ini/not-a-folder.ini");
    DriverCheckModel check(window_.port(), program_);
    port_.QueueText(target_);
    EXPECT_FALSE(check.InstallMySqlOdbcCommand());
    EXPECT_EQ(port_.Messages(), std::vector<std::string>{"Write Register Error!"});
}

}  // namespace
}  // namespace velmora
