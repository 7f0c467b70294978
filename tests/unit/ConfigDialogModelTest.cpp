#include "commands/ConnectCommands.h"
#include "config/ConfigDialogModel.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>

#include "commands/MainWindowModel.h"
#include "config/ProfileFile.h"
#include "support/OdbcSandbox.h"
#include "support/ScriptedPort.h"

namespace velmora {
namespace {

using test::ReadTextFile;
using test::WriteTextFile;

constexpr const char* kOdbc = "Microsoft OLE DB Provider for ODBC Divers";
constexpr const char* kSqlServer = "Microsoft OLE DB Provider for SQL Server";
constexpr const char* kTcpIp = "TCP/IP:Port";

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

class ConfigDialog : public ::testing::Test {
protected:
    ConfigDialog() : window_(port_, nullptr, nullptr) {
        path_ = sandbox_.folder() / "migrator.cfg";
    }
    std::string Read(const char* section, const char* key) {
        return ReadProfileString(path_, section, key, "<absent>", 80);
    }

    test::OdbcSandbox sandbox_;
    test::ScriptedPort port_;
    MainWindowModel window_;
    std::string path_;
};

TEST_F(ConfigDialog, HandWrittenFileWithOddSpacingAndCaseIsRead) {
    WriteTextFile(path_,
                  "; written by hand\n"
                  "  [public]  \n"
                  "CONFIG =  true \n"
                  "autobackup=untrue\n"
                  "tips   =TRUE\n"
                  "\n"
                  "[SOURCEdb]\n"
                  "provider = tcp/ip:port\n"
                  "SourceName=  DbHost:3307\n"
                  "USERID=admin\n"
                  "Password=p=w;x\n"
                  "catalogname=Sales\n"
                  "[TargetDB]\n"
                  "Provider=Microsoft OLE DB Provider for Oracle\n"
                  "SourceName=mssql\n");
    window_.options().tips = true;
    ConfigDialogModel dialog(WindowConfigHost(window_), path_);
    dialog.LoadConfiguration();

    EXPECT_TRUE(dialog.configChecked);
    EXPECT_TRUE(dialog.autoBackupChecked);      // "untrue" contains "true"
    EXPECT_FALSE(dialog.tipsChecked);           // "TRUE" does not
    EXPECT_FALSE(window_.options().tips);       // the Tips tab goes
    EXPECT_EQ(dialog.source.provider, kTcpIp);  // the list's own spelling
    EXPECT_EQ(dialog.source.providerIndex, 1);
    EXPECT_EQ(dialog.source.sourceNameLabel, "Server:Port");
    EXPECT_EQ(dialog.source.sourceName, "DbHost:3307");  // loaded, not preset over
    EXPECT_EQ(dialog.source.userId, "admin");
    EXPECT_EQ(dialog.source.password, "p=w;x");
    EXPECT_EQ(dialog.source.catalogName, "Sales");
    // A provider not in the side's list becomes the list's first entry.
    EXPECT_EQ(dialog.target.provider, kOdbc);
    EXPECT_EQ(dialog.target.providerIndex, 0);
    EXPECT_EQ(dialog.target.sourceName, "mssql");
    EXPECT_EQ(dialog.target.userId, "");
}

TEST_F(ConfigDialog, ConfigFalseLeavesTheConnectionFieldsEmpty) {
    WriteTextFile(path_,
                  "[Public]\nConfig=false\nAutoBackup=true\nTips=true\n"
                  "[SourceDB]\nProvider=TCP/IP:Port\nSourceName=db\nUserID=u\nPassWord=p\n"
                  "CatalogName=c\n");
    window_.options().tips = false;
    ConfigDialogModel dialog(WindowConfigHost(window_), path_);
    dialog.LoadConfiguration();
    EXPECT_FALSE(dialog.configChecked);
    EXPECT_TRUE(dialog.autoBackupChecked);
    EXPECT_TRUE(dialog.tipsChecked);
    EXPECT_TRUE(window_.options().tips);
    EXPECT_EQ(dialog.source.provider, kOdbc);
    EXPECT_EQ(dialog.source.sourceName, "");
    EXPECT_EQ(dialog.source.userId, "");
    EXPECT_EQ(dialog.source.password, "");
    EXPECT_EQ(dialog.source.catalogName, "");
}

TEST_F(ConfigDialog, MissingFileLeavesEverythingEmptyAndTheTipsTabAsItWas) {
    window_.options().tips = true;
    ConfigDialogModel dialog(WindowConfigHost(window_), path_);
    dialog.LoadConfiguration();
    EXPECT_FALSE(dialog.configChecked || dialog.autoBackupChecked || dialog.tipsChecked);
    EXPECT_TRUE(window_.options().tips);
    EXPECT_EQ(dialog.source.provider, kOdbc);
    EXPECT_EQ(dialog.target.provider, kOdbc);
    EXPECT_EQ(dialog.source.password, "");
}

// An 80-character password cut to 79 failed the login "Access denied" with no hint.
TEST_F(ConfigDialog, ValuesAreReadWhole) {
    const std::string long80(80, 'x');
    WriteTextFile(path_, "[Public]\nConfig=true\n[SourceDB]\nPassWord=" + long80 +
                             "\nUserID=" + std::string(79, 'u') + "\n");
    ConfigDialogModel dialog(WindowConfigHost(window_), path_);
    dialog.LoadConfiguration();
    EXPECT_EQ(dialog.source.password, long80);
    EXPECT_EQ(dialog.source.userId, std::string(79, 'u'));
}

TEST_F(ConfigDialog, SaveWritesEveryKeyAndKeepsOthersWithModeSixHundred) {
    WriteTextFile(path_, "[Public]\nLanguage=de\n[Extra]\nkeep=me\n");
    chmod(path_.c_str(), 0644);
    ConfigDialogModel dialog(WindowConfigHost(window_), path_);
    dialog.LoadConfiguration();
    dialog.configChecked = true;
    dialog.tipsChecked = true;
    dialog.source.sourceName = "MyServer";
    dialog.source.userId = "root";
    dialog.source.password = "secret";
    dialog.source.catalogName = "Shop";
    dialog.ChooseProvider(ConfigSide::Target, 2);
    EXPECT_TRUE(dialog.SaveConfigCommand());

    EXPECT_EQ(port_.Messages(),
              std::vector<std::string>{"The Config Infomation saved successfully!"});
    EXPECT_EQ(test::FileMode(path_), 0600u);
    EXPECT_EQ(Read("Public", "Config"), "true");
    EXPECT_EQ(Read("Public", "Tips"), "true");
    EXPECT_EQ(Read("Public", "AutoBackup"), "false");
    EXPECT_EQ(Read("Public", "Language"), "de");
    EXPECT_EQ(Read("Extra", "keep"), "me");
    EXPECT_EQ(Read("SourceDB", "Provider"), kOdbc);
    EXPECT_EQ(Read("SourceDB", "SourceName"), "MyServer");  // as typed
    EXPECT_EQ(Read("SourceDB", "PassWord"), "secret");
    EXPECT_EQ(Read("SourceDB", "CatalogName"), "Shop");
    EXPECT_EQ(Read("TargetDB", "Provider"), kTcpIp);
    EXPECT_EQ(Read("TargetDB", "SourceName"), "127.0.0.1");
    EXPECT_EQ(
        ReadProfileKeys(path_, "SourceDB"),
        (std::vector<std::string>{"Provider", "SourceName", "UserID", "PassWord", "CatalogName"}));

    ConfigDialogModel reopened(WindowConfigHost(window_), path_);
    reopened.LoadConfiguration();
    EXPECT_EQ(reopened.source.password, "secret");
    EXPECT_EQ(reopened.target.provider, kTcpIp);
    EXPECT_EQ(reopened.target.sourceName, "127.0.0.1");
}

TEST_F(ConfigDialog, SaveWithConfigUncheckedWritesOnlyConfigFalse) {
    const std::string before =
        "[Public]\nConfig=true\nTips=true\nAutoBackup=true\n[SourceDB]\nProvider=TCP/IP:Port\n"
        "SourceName=db:3307\nPassWord=pw\n";
    WriteTextFile(path_, before);
    ConfigDialogModel dialog(WindowConfigHost(window_), path_);
    dialog.LoadConfiguration();
    dialog.configChecked = false;
    dialog.SetTipsChecked(false);
    dialog.autoBackupChecked = false;
    dialog.source.password = "changed";
    EXPECT_TRUE(dialog.SaveConfigCommand());
    std::string expected = before;
    expected.replace(expected.find("Config=true"), 11, "Config=false");
    EXPECT_EQ(ReadTextFile(path_), expected);
    EXPECT_EQ(test::FileMode(path_), 0600u);
}

TEST_F(ConfigDialog, AFileThatCannotBeWrittenIsNotReportedAsSaved) {
    WriteTextFile(sandbox_.folder() / "blocker", "a file where a folder should be");
    ConfigDialogModel dialog(WindowConfigHost(window_), sandbox_.folder() / "blocker/migrator.cfg");
    dialog.LoadConfiguration();
    dialog.configChecked = true;
    EXPECT_FALSE(dialog.SaveConfigCommand());
    ASSERT_EQ(port_.Messages().size(), 1u);
    EXPECT_EQ(port_.Messages()[0].rfind("The Config Infomation could not be saved to ", 0), 0u);
    EXPECT_NE(port_.Messages()[0].find("Not a directory"), std::string::npos)
        << port_.Messages()[0];

    // A value that would break the file's lines is refused, not written half.
    ConfigDialogModel second(WindowConfigHost(window_), path_);
    second.LoadConfiguration();
    second.configChecked = true;
    second.source.password = "two\nlines";
    EXPECT_FALSE(second.SaveConfigCommand());
    EXPECT_NE(port_.Messages().back().find("line break"), std::string::npos);
    EXPECT_EQ(Read("SourceDB", "PassWord"), "<absent>");
}

TEST_F(ConfigDialog, ProvidersPrepareTheSourceNameField) {
    test::WriteTextFile(sandbox_.FreeTdsFile(),
                        "[global]\n[remote1]\nhost=a\n[" + HostName() + "]\nhost=b\n");
    sandbox_.WriteSystemDrivers(test::OdbcSandbox::MachineDriverEntries());
    test::WriteTextFile(sandbox_.UserDataSourceFile(),
                        "[shop]\nDriver=MariaDB Unicode\n[sales]\nDriver=FreeTDS\n"
                        "[direct]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libmaodbc.so\n"
                        "[pg]\nDriver=PostgreSQL\n");
    ConfigDialogModel dialog(WindowConfigHost(window_), path_);
    dialog.LoadConfiguration();
    EXPECT_EQ(dialog.source.sourceNameLabel, "Source Name");
    EXPECT_EQ(dialog.source.sourceNameChoices, (std::vector<std::string>{"shop", "direct"}));
    EXPECT_EQ(dialog.target.sourceNameChoices, (std::vector<std::string>{"sales"}));

    dialog.ChooseProvider(ConfigSide::Target, 1);  // SQL Server
    EXPECT_EQ(dialog.target.provider, kSqlServer);
    EXPECT_EQ(dialog.target.sourceNameLabel, "Source Name");
    EXPECT_EQ(dialog.target.sourceNameChoices, (std::vector<std::string>{"remote1", HostName()}));
    EXPECT_EQ(dialog.target.sourceName, HostName());  // the computer's own alias

    dialog.ChooseProvider(ConfigSide::Source, 1);  // TCP/IP:Port
    EXPECT_EQ(dialog.source.sourceNameLabel, "Server:Port");
    EXPECT_TRUE(dialog.source.sourceNameChoices.empty());
    EXPECT_EQ(dialog.source.sourceName, "127.0.0.1");

    dialog.ChooseProvider(ConfigSide::Source, 5);  // not in the list: nothing changes
    EXPECT_EQ(dialog.source.provider, kTcpIp);
}

TEST_F(ConfigDialog, DisplayTipsTogglesTheTabAtOnce) {
    ConfigDialogModel dialog(WindowConfigHost(window_), path_);
    dialog.LoadConfiguration();
    dialog.SetTipsChecked(true);
    EXPECT_TRUE(window_.options().tips);
    dialog.SetTipsChecked(false);
    EXPECT_FALSE(window_.options().tips);
}

// The translation mode: written as Full or Classic, read back in any case, handed to the window's
// options on Connect (a task then keeps the mode it was queued with); a file of an earlier
// version (no key) or an unknown value gives the default.
TEST_F(ConfigDialog, TranslationModeIsSavedReadAndHandedOver) {
    ConfigDialogModel dialog(WindowConfigHost(window_), path_);
    dialog.LoadConfiguration();
    EXPECT_EQ(dialog.translation, kDefaultTranslation);
    dialog.configChecked = true;
    dialog.translation = TranslationMode::Classic;
    ASSERT_TRUE(dialog.SaveConfigCommand());
    EXPECT_EQ(Read("Public", "Translation"), "Classic");
    dialog.translation = TranslationMode::Full;
    ASSERT_TRUE(dialog.SaveConfigCommand());
    EXPECT_EQ(Read("Public", "Translation"), "Full");
    EXPECT_EQ(ReadTranslationMode(path_), TranslationMode::Full);

    for (const auto& [text, mode] : std::vector<std::pair<std::string, TranslationMode>>{
             {"classic", TranslationMode::Classic}, {"FULL", TranslationMode::Full},
             {"fast", kDefaultTranslation}, {"", kDefaultTranslation}}) {
        ASSERT_TRUE(WriteProfileString(path_, "Public", "Translation", text, 0600));
        ConfigDialogModel reopened(WindowConfigHost(window_), path_);
        reopened.LoadConfiguration();
        EXPECT_EQ(reopened.translation, mode) << text;
    }
    Options options;
    options.translation = TranslationMode::Full;
    int connects = 0;
    ConfigDialogHost host{&port_, &options,
                          [&](const ConnectionSettings&, const ConnectionSettings&) { ++connects; },
                          nullptr};
    ConfigDialogModel connecting(host, path_);
    connecting.translation = TranslationMode::Classic;
    connecting.ConnectButton();
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(options.translation, TranslationMode::Classic);
    EXPECT_EQ(options.ForTask().translation, TranslationMode::Classic);
}

// Tables at once: written as a number, read back, anything outside 1 to 16 (or absent) gives the
// default; handed to the window's options on Connect and kept by a queued task.
TEST_F(ConfigDialog, TablesAtOnceAreSavedReadAndHandedOver) {
    ConfigDialogModel dialog(WindowConfigHost(window_), path_);
    dialog.LoadConfiguration();
    EXPECT_EQ(dialog.jobs, kDefaultJobs);
    dialog.configChecked = true;
    dialog.jobs = 4;
    ASSERT_TRUE(dialog.SaveConfigCommand());
    EXPECT_EQ(Read("Public", "Jobs"), "4");
    EXPECT_EQ(ReadJobs(path_), 4);
    for (const auto& [text, jobs] : std::vector<std::pair<std::string, int>>{
             {"1", 1}, {"16", 16}, {"0", kDefaultJobs}, {"17", kDefaultJobs}, {"many", kDefaultJobs}}) {
        ASSERT_TRUE(WriteProfileString(path_, "Public", "Jobs", text, 0600));
        ConfigDialogModel reopened(WindowConfigHost(window_), path_);
        reopened.LoadConfiguration();
        EXPECT_EQ(reopened.jobs, jobs) << text;
    }
    Options options;
    ConfigDialogHost host{&port_, &options, [](const ConnectionSettings&, const ConnectionSettings&) {},
                          nullptr};
    ConfigDialogModel connecting(host, path_);
    connecting.jobs = 3;
    connecting.ConnectButton();
    EXPECT_EQ(options.ForTask().jobs, 3);
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// The target's TLS choices go to [TargetDB] and come back; the source side gets no such keys; a
// value the program does not know reads as the driver's default.
TEST_F(ConfigDialog, TargetTlsChoicesAreSavedAndReadBack) {
    ConfigDialogModel dialog(WindowConfigHost(window_), path_);
    dialog.LoadConfiguration();
    dialog.configChecked = true;
    dialog.target.encrypt = "strict";
    dialog.target.trustServerCertificate = true;
    EXPECT_TRUE(dialog.SaveConfigCommand());
    EXPECT_EQ(Read("TargetDB", "Encrypt"), "strict");
    EXPECT_EQ(Read("TargetDB", "TrustServerCertificate"), "true");
    EXPECT_EQ(Read("SourceDB", "Encrypt"), "<absent>");

    ConfigDialogModel reopened(WindowConfigHost(window_), path_);
    reopened.LoadConfiguration();
    EXPECT_EQ(reopened.target.encrypt, "strict");
    EXPECT_TRUE(reopened.target.trustServerCertificate);
    const ConnectionSettings settings = reopened.target.Settings();
    EXPECT_EQ(settings.encrypt, "strict");
    EXPECT_TRUE(settings.trustServerCertificate);

    WriteProfileString(path_, "TargetDB", "Encrypt", "Mandatory", 0600);
    WriteProfileString(path_, "TargetDB", "TrustServerCertificate", "false", 0600);
    std::string encrypt;
    bool trust = true;
    ReadTargetTls(path_, encrypt, trust);
    EXPECT_EQ(encrypt, "mandatory");
    EXPECT_FALSE(trust);
    WriteProfileString(path_, "TargetDB", "Encrypt", "sometimes", 0600);
    ReadTargetTls(path_, encrypt, trust);
    EXPECT_EQ(encrypt, "");
}

}  // namespace
// Bulk copy: [Public] Bulk= of the file (auto, off, any case; anything else or absent: auto),
// handed to the window's options on Connect and kept by a queued task.
TEST_F(ConfigDialog, BulkCopyIsReadFromTheFileAndHandedOver) {
    for (const auto& [text, mode] : std::vector<std::pair<std::string, BulkMode>>{
             {"off", BulkMode::Off}, {"OFF", BulkMode::Off}, {"auto", BulkMode::Auto}, {"", BulkMode::Auto},
             {"no", BulkMode::Auto}}) {
        ASSERT_TRUE(WriteProfileString(path_, "Public", "Bulk", text, 0600));
        EXPECT_EQ(ReadBulkMode(path_), mode) << text;
        Options options;
        ConfigDialogHost host{&port_, &options, [](const ConnectionSettings&, const ConnectionSettings&) {},
                              nullptr};
        ConfigDialogModel dialog(host, path_);
        dialog.LoadConfiguration();
        EXPECT_EQ(dialog.bulk, mode) << text;
        dialog.ConnectButton();
        EXPECT_EQ(options.ForTask().bulk, mode) << text;
    }
}

}  // namespace velmora
