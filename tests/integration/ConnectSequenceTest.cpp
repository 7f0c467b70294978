// The connect sequence against the real local MariaDB (source), the real FreeTDS driver against
// a closed port (target failure) and the SQL Server target double (target success).
#include <gtest/gtest.h>
#include <unistd.h>

#include "Converters/SourceServer.h"
#include "config/ConnectionProperties.h"
#include "commands/MainWindowModel.h"
#include "config/ConfigDialogModel.h"
#include "commands/ConnectCommands.h"
#include "config/ConnectSequence.h"
#include "config/ProfileFile.h"
#include "data/OdbcConnection.h"
#include "support/LocalMariaDb.h"
#include "support/OdbcSandbox.h"
#include "support/ScriptedPort.h"
#include "support/TargetDouble.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

constexpr const char* kSourceHint =
    "Source Connection error! Please comfirm source database connection properties !";
constexpr const char* kTargetHint =
    "Target Connection error! Please comfirm target database connection properties !";
constexpr const char* kSuccessLine = "RESULT:    The operation completed SUCCESSFULLY";

// A port nobody listens on.
constexpr const char* kClosedPort = "127.0.0.1:1";

std::string MariaDbServer() {
    test::MariaDbAddress db = test::LocalMariaDb();
    return db.host + ":" + std::to_string(db.port);
}

ConnectionSettings Source(std::string sourceName, std::string password, std::string catalog = "") {
    return ConnectionSettings{"TCP/IP:Port",         "MSDASQL",
                              std::move(sourceName), test::LocalMariaDb().user,
                              std::move(password),   std::move(catalog)};
}

ConnectionSettings GoodSource(std::string catalog = "") {
    return Source(MariaDbServer(), test::LocalMariaDb().password, std::move(catalog));
}

bool HasLineContaining(const test::ScriptedPort& port, const std::string& part) {
    for (const std::string& line : port.OutputLines()) {
        if (line.find(part) != std::string::npos) return true;
    }
    return false;
}

class Connect : public ::testing::Test {
protected:
    Connect() {
        auto target = std::make_unique<test::TargetDouble>(false);
        target_ = target.get();
        window_ = std::make_unique<MainWindowModel>(port_, NewOdbcConnection(), std::move(target));
        target_->AddCatalog("master");
        window_->targetSettings = {"TCP/IP:Port", "MSDASQL", "mssql01:1500", "sa", "pw", ""};
    }
    std::vector<std::string> Messages() const { return port_.Messages(); }

    test::ScriptedPort port_;
    test::TargetDouble* target_ = nullptr;
    std::unique_ptr<MainWindowModel> window_;
};

TEST_F(Connect, BothSidesConnectAndDescribeTheirServers) {
    window_->sourceSettings = GoodSource("shop");
    window_->currentCharset = "UTF8";
    ConnectCommand(*window_);

    EXPECT_TRUE(Messages().empty()) << ::testing::PrintToString(Messages());
    ASSERT_NE(window_->sourceSession(), nullptr);
    ASSERT_NE(window_->targetSession(), nullptr);
    // The driver's name and version of the server ("10.11.000019" for 10.11.19).
    const std::string version = test::QueryRows("SELECT VERSION()").at(0).at(0);
    const std::string majorMinor = version.substr(0, version.find('.', version.find('.') + 1) + 1);
    EXPECT_EQ(window_->sourceDbms.rfind("MariaDB[" + majorMinor, 0), 0u) << window_->sourceDbms;
    EXPECT_EQ(window_->sourceDbms.back(), ']');
    EXPECT_EQ(window_->sourceTree().title(), window_->sourceDbms);
    EXPECT_EQ(window_->targetDbms, "Microsoft SQL Server[16.00.4135]");
    EXPECT_EQ(window_->currentCharset, "LATIN1");

    DatabaseTree& source = window_->sourceTree();
    EXPECT_EQ(source.side(), 0);
    EXPECT_EQ(source.dbmsKind(), 2);
    EXPECT_EQ(source.currentDatabase(), "shop");
    EXPECT_EQ(source.providerProgId(), "MSDASQL");
    EXPECT_EQ(window_->targetTree().side(), 1);
    EXPECT_EQ(window_->targetTree().dbmsKind(), 1);

    std::vector<std::string> messages;
    for (const std::string& line : port_.OutputLines()) messages.push_back(line.substr(24));
    EXPECT_EQ(messages, (std::vector<std::string>{"Connect Source Database!", kSuccessLine,
                                                  "Connect Target Database!", kSuccessLine}));

    // The target got the fixed host-and-port text; the layer adds what its driver needs.
    EXPECT_EQ(target_->lastOpenProvider(), "MSDASQL");
    EXPECT_EQ(target_->lastOpenProperties().FindText(kPropInitProviderString),
              ";Driver={SQL Server};Server=mssql01;Address=mssql01,1500;Network=DBMSSOCN;");
}

TEST_F(Connect, WrongPasswordFailsTheSourceOnlyWithItsMessages) {
    window_->sourceSettings = Source(MariaDbServer(), "wrong password");
    ConnectCommand(*window_);
    EXPECT_EQ(port_.Hints(), std::vector<std::string>{kSourceHint});
    // The specified text, then the cause in the driver's words on the next line.
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].rfind("Source Connection error!\nlogin refused: ", 0), 0u) << Messages()[0];
    EXPECT_NE(Messages()[0].find("Access denied"), std::string::npos);
    EXPECT_TRUE(HasLineContaining(port_, "Access denied"))
        << ::testing::PrintToString(port_.OutputLines());
    EXPECT_EQ(window_->sourceSession(), nullptr);
    EXPECT_EQ(window_->sourceTree().side(), -1);
    // The target still connects.
    EXPECT_NE(window_->targetSession(), nullptr);
    EXPECT_TRUE(HasLineContaining(port_, "Connect Target Database!"));
}

TEST_F(Connect, ClosedPortFailsTheSource) {
    window_->sourceSettings = Source(kClosedPort, "pw");
    EXPECT_FALSE(ConnectSource(*window_));
    EXPECT_EQ(port_.Hints(), std::vector<std::string>{kSourceHint});
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].rfind("Source Connection error!\nserver unreachable: ", 0), 0u)
        << Messages()[0];
    EXPECT_TRUE(HasLineContaining(port_, "Can't connect"))
        << ::testing::PrintToString(port_.OutputLines());
    EXPECT_FALSE(HasLineContaining(port_, "Connect Source Database!"));
}

TEST_F(Connect, ReconnectingReleasesTheOldConnectionFirst) {
    window_->sourceSettings = GoodSource();
    ASSERT_TRUE(ConnectSource(*window_));
    window_->sourceSettings = Source(MariaDbServer(), "wrong password");
    EXPECT_FALSE(ConnectSource(*window_));
    EXPECT_EQ(window_->sourceSession(), nullptr);
    EXPECT_EQ(window_->sourceTree().connection(), nullptr);
    EXPECT_EQ(window_->sourceTree().side(), -1);
}

TEST_F(Connect, TargetThroughFreeTdsAgainstAClosedPortFails) {
    MainWindowModel window(port_, NewOdbcConnection(), NewOdbcConnection());
    window.sourceSettings = Source(kClosedPort, "pw");
    window.targetSettings = {"TCP/IP:Port", "MSDASQL", kClosedPort, "sa", "pw", "master"};
    ConnectCommand(window);
    EXPECT_EQ(port_.Hints(), (std::vector<std::string>{kSourceHint, kTargetHint}));
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_EQ(Messages()[0].rfind("Source Connection error!\nserver unreachable: ", 0), 0u);
    // FreeTDS's first record is the generic "Unable to connect to data source"; the one that
    // says why ("... unavailable or does not exist") names the cause.
    EXPECT_EQ(Messages()[1].rfind("Target Connection error!\nserver unreachable: ", 0), 0u)
        << Messages()[1];
    EXPECT_TRUE(HasLineContaining(port_, "unavailable or does not exist"))
        << ::testing::PrintToString(port_.OutputLines());
    EXPECT_EQ(window.targetSession(), nullptr);
    EXPECT_EQ(window.targetTree().side(), -1);
    // The real FreeTDS driver tried and said why it failed.
    EXPECT_TRUE(HasLineContaining(port_, "[FreeTDS]"))
        << ::testing::PrintToString(port_.OutputLines());
}

TEST_F(Connect, TargetThroughTheSqlServerProviderAgainstAClosedPortFails) {
    MainWindowModel window(port_, NewOdbcConnection(), NewOdbcConnection());
    window.targetSettings = {
        "Microsoft OLE DB Provider for SQL Server", "SQLOLEDB", kClosedPort, "sa", "pw", ""};
    EXPECT_FALSE(ConnectTarget(window));
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].rfind("Target Connection error!\nserver unreachable: ", 0), 0u)
        << Messages()[0];
    EXPECT_TRUE(HasLineContaining(port_, "[FreeTDS]"))
        << ::testing::PrintToString(port_.OutputLines());
}

TEST_F(Connect, AnEmptyDbmsNameTakesTheVersionQuery) {
    target_->SetProperty(kPropDbmsName, "   ");
    target_->AnswerWith("select @@Version",
                        test::ScriptedResult::Text({""}, {{"Microsoft SQL Server 2022 (RTM)"}}));
    EXPECT_TRUE(ConnectTarget(*window_));
    EXPECT_EQ(window_->targetDbms, "Microsoft SQL Server 2022 (RTM)");
    EXPECT_EQ(window_->targetTree().title(), "Microsoft SQL Server 2022 (RTM)");
    EXPECT_EQ(target_->Statements(), std::vector<std::string>{"select @@Version"});
}

TEST_F(Connect, ARefusedTargetShowsTheTargetsMessages) {
    target_->RefuseOpen("Login failed for user 'sa'.");
    EXPECT_FALSE(ConnectTarget(*window_));
    EXPECT_EQ(port_.Hints(), std::vector<std::string>{kTargetHint});
    EXPECT_EQ(Messages(), std::vector<std::string>{
                              "Target Connection error!\nlogin refused: Login failed for user 'sa'."});
    EXPECT_TRUE(HasLineContaining(port_, "Login failed for user 'sa'."));
}

TEST_F(Connect, RefusedWhileTasksRun) {
    window_->sourceSettings = GoodSource();
    window_->SetControllerState(ControllerState::Running);
    port_.QueueAnswer(true);
    ConnectCommand(*window_);
    EXPECT_EQ(port_.Questions(), std::vector<std::string>{"Some Tasks is Processing, STOP ALL?"});
    EXPECT_EQ(window_->controllerState(), ControllerState::StopRequested);
    EXPECT_EQ(target_->openCount(), 0);
    EXPECT_EQ(window_->sourceSession(), nullptr);

    ConnectCommand(*window_);
    EXPECT_EQ(Messages(),
              std::vector<std::string>{"Some Tasks is Stopping, Please try again later!!!"});
    EXPECT_EQ(target_->openCount(), 0);

    window_->SetControllerState(ControllerState::Running);
    port_.QueueAnswer(false);  // Cancel: the tasks go on
    ConnectCommand(*window_);
    EXPECT_EQ(window_->controllerState(), ControllerState::Running);
}

TEST_F(Connect, TestConnectionsChangesNothing) {
    window_->sourceSettings = GoodSource("shop");
    ConnectCommand(*window_);
    Session* sourceBefore = window_->sourceSession();
    const auto treeBefore = window_->sourceTree().Contents();
    window_->connectionFactory = [](TreeSide side) -> std::unique_ptr<DataSourceConnection> {
        if (side == TreeSide::Source) return NewOdbcConnection();
        return std::make_unique<test::TargetDouble>(false);
    };
    ConnectionTestResult result = TestConnectionsCommand(
        *window_, Source(MariaDbServer(), "wrong password"),
        {"Microsoft OLE DB Provider for SQL Server", "", "mssql01", "sa", "pw", ""});
    EXPECT_FALSE(result.source);
    EXPECT_TRUE(result.target);
    std::vector<std::string> messages = Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2], "Source DB Connect ERROR!");
    EXPECT_EQ(messages.back(), "Target Connection Successful!");
    EXPECT_EQ(window_->sourceSession(), sourceBefore);
    EXPECT_EQ(window_->sourceTree().Contents(), treeBefore);
    EXPECT_EQ(window_->sourceTree().side(), 0);

    result = TestConnectionsCommand(*window_, GoodSource(), window_->targetSettings);
    EXPECT_TRUE(result.source);
    EXPECT_EQ(Messages()[Messages().size() - 2], "Source Connection Successful!");
}

// Probing the MySQL drivers of a private odbcinst.ini.
class Probe : public Connect {
protected:
    Probe() {
        broken_ = sandbox_.folder() / "libbroken.so";
        test::WriteTextFile(broken_, "this is no shared library");
    }
    std::string Broken(const char* name) {
        return std::string("[") + name + "]\nDriver=" + broken_ + "\n";
    }
    SourceProbe RealProbe() {
        return [](std::string_view provider, const PropertySet& set, std::string& error) {
            auto connection = NewOdbcConnection();
            ResultCode result = connection->Open(provider, set);
            if (result < 0) error = connection->ProviderErrorText();
            connection->Close();
            return result;
        };
    }

    test::OdbcSandbox sandbox_;
    std::string broken_;
};

TEST_F(Probe, TheSecondOfTwoDriversWorks) {
    sandbox_.WriteSystemDrivers(Broken("MySQL ODBC 3.51 Driver") +
                                "[MariaDB Unicode]\nDriver=libmaodbc.so\n");
    PropertySet set;
    test::ScriptedPort dialog;
    EXPECT_TRUE(BuildSourceInitProperties(GoodSource("shop"), set, RealProbe(), &dialog));
    EXPECT_EQ(set.FindText(kPropInitProviderString),
              ";Driver={MariaDB Unicode};SERVER=127.0.0.1;PORT=" +
                  std::to_string(test::LocalMariaDb().port) + ";UID=root;Database=shop");
    ASSERT_EQ(dialog.Messages().size(), 1u);  // the first driver's failure, in the driver's words
    EXPECT_NE(dialog.Messages()[0], "");

    window_->sourceSettings = GoodSource("shop");
    EXPECT_TRUE(ConnectSource(*window_));
    EXPECT_TRUE(Messages().empty()) << ::testing::PrintToString(Messages());
}

TEST_F(Probe, ThreeFailingDriversKeepTheThirdsString) {
    sandbox_.WriteSystemDrivers(Broken("MySQL ODBC A") + Broken("MySQL ODBC B") +
                                Broken("MySQL ODBC C") +
                                "[MariaDB Unicode]\nDriver=libmaodbc.so\n");
    PropertySet set;
    EXPECT_TRUE(BuildSourceInitProperties(GoodSource(), set, RealProbe()));
    EXPECT_EQ(set.FindText(kPropInitProviderString)->rfind(";Driver={MySQL ODBC C};", 0), 0u);
    window_->sourceSettings = GoodSource();
    EXPECT_FALSE(ConnectSource(*window_));
    // No cause is known for a driver that cannot be loaded: its own text follows instead.
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].rfind("Source Connection error!\n", 0), 0u);
    EXPECT_NE(Messages()[0].find("Can't open lib"), std::string::npos) << Messages()[0];
}

TEST_F(Probe, NoMySqlDriverFailsBeforeAnyConnection) {
    sandbox_.WriteSystemDrivers("[FreeTDS]\nDriver=libtdsodbc.so\n");
    window_->sourceSettings = GoodSource();
    EXPECT_FALSE(ConnectSource(*window_));
    EXPECT_EQ(port_.Hints(), std::vector<std::string>{kSourceHint});
    EXPECT_EQ(Messages(), std::vector<std::string>{"Source Connection error!"});

    window_->connectionFactory = [](TreeSide) { return NewOdbcConnection(); };
    ConnectionTestResult result = TestConnectionsCommand(*window_, GoodSource(), GoodSource());
    EXPECT_FALSE(result.source);
    const auto messages = Messages();
    EXPECT_EQ(std::vector<std::string>(messages.begin() + 1, messages.begin() + 3),
              (std::vector<std::string>{"No appropriate Config, Please correct!!!",
                                        "Source DB Connect ERROR!"}));
}

// The whole road from the dialog's "Connect" to connected trees.
TEST_F(Connect, DialogConnectHandsOverTheTypedValues) {
    const std::string mixed = "velmora_it_conn_" + std::to_string(getpid()) + "_Mixed";
    test::RunMariaDbClient("CREATE DATABASE `" + mixed + "`; CREATE TABLE `" + mixed +
                           "`.t (id INT);");
    test::TempFolder program;
    ConfigDialogModel dialog(WindowConfigHost((*window_)), program / "migrator.cfg");
    dialog.LoadConfiguration();
    dialog.configChecked = true;
    dialog.autoBackupChecked = true;
    dialog.ChooseProvider(ConfigSide::Source, 1);
    dialog.source.sourceName = MariaDbServer();
    dialog.source.userId = test::LocalMariaDb().user;
    dialog.source.password = test::LocalMariaDb().password;
    dialog.source.catalogName = mixed;
    dialog.ChooseProvider(ConfigSide::Target, 2);
    dialog.target.sourceName = "MSSQL01";
    dialog.ConnectButton();

    EXPECT_EQ(window_->sourceSettings.sourceName, MariaDbServer());
    EXPECT_EQ(window_->sourceSettings.catalogName, mixed);  // database names keep their case
    EXPECT_EQ(window_->sourceSettings.providerProgId, "MSDASQL");
    EXPECT_EQ(window_->targetSettings.sourceName, "mssql01");
    EXPECT_TRUE(window_->options().autoBackup);
    EXPECT_EQ(ReadProfileString(dialog.configFilePath(), "TargetDB", "SourceName", "", 80),
              "MSSQL01");  // the file keeps what was typed
    EXPECT_EQ(test::FileMode(dialog.configFilePath()), 0600u);
    EXPECT_TRUE(Messages().empty()) << ::testing::PrintToString(Messages());
    auto contents = window_->sourceTree().Contents();
    ASSERT_TRUE(contents->currentDatabaseNode.has_value());
    EXPECT_EQ(contents->At(*contents->currentDatabaseNode)->text, mixed);
    test::RunMariaDbClient("DROP DATABASE `" + mixed + "`;");
}

TEST_F(Connect, DialogConnectWithConfigUncheckedStillWritesTheOptions) {
    test::TempFolder program;
    const std::string path = program / "migrator.cfg";
    test::WriteTextFile(path,
                        "[Public]\nConfig=true\nTips=false\nAutoBackup=false\n"
                        "[SourceDB]\nPassWord=kept\n");
    ConfigDialogModel dialog(WindowConfigHost((*window_)), path);
    dialog.LoadConfiguration();
    dialog.configChecked = false;
    dialog.SetTipsChecked(true);
    dialog.autoBackupChecked = true;
    dialog.source.password = "not written";
    dialog.ConnectButton();
    EXPECT_EQ(ReadProfileString(path, "Public", "Config", "", 80), "false");
    EXPECT_EQ(ReadProfileString(path, "Public", "Tips", "", 80), "true");
    EXPECT_EQ(ReadProfileString(path, "Public", "AutoBackup", "", 80), "true");
    EXPECT_EQ(ReadProfileString(path, "SourceDB", "PassWord", "", 80), "kept");
    EXPECT_EQ(window_->sourceSettings.password, "not written");  // the dialog's values connect
}

}  // namespace
}  // namespace velmora
