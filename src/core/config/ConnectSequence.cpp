#include "config/ConnectSequence.h"

#include <memory>

#include "Converters/SourceServer.h"
#include "Converters/TargetServer.h"
#include "MainWindowModel.h"
#include "config/Configuration.h"
#include "explorer/TreeFill.h"

namespace velmora {
namespace {

// The texts that differ between the two sides.
struct SideTexts {
    const char* word;
    const char* hint;
    const char* failure;
    const char* connected;
    const char* testSuccess;
    const char* testFailure;
};

constexpr SideTexts kSourceTexts{
    "Source",
    "Source Connection error! Please comfirm source database connection properties !",
    "Source Connection error!",
    "Connect Source Database!",
    "Source Connection Successful!",
    "Source DB Connect ERROR!"};

constexpr SideTexts kTargetTexts{
    "Target",
    "Target Connection error! Please comfirm target database connection properties !",
    "Target Connection error!",
    "Connect Target Database!",
    "Target Connection Successful!",
    "Target DB Connect ERROR!"};

std::string Trim(std::string_view text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return "";
    size_t last = text.find_last_not_of(blanks);
    return std::string(text.substr(first, last - first + 1));
}

// A probe that opens and releases a fresh connection of the side (or, when the window has no
// connection factory, `fallback`, which the sequence has just released anyway). The last
// failure's text is kept in `lastError`.
SourceProbe MakeProbe(MainWindowModel& window, TreeSide side, DataSourceConnection* fallback,
                      std::string& lastError) {
    return [&window, side, fallback, &lastError](std::string_view provider, const PropertySet& set,
                                                 std::string& errorText) -> ResultCode {
        std::unique_ptr<DataSourceConnection> owned;
        if (window.connectionFactory) owned = window.connectionFactory(side);
        DataSourceConnection* probe = owned ? owned.get() : fallback;
        if (!probe) {
            errorText = "Unknown Error!";
            return kFailure;
        }
        ResultCode result = probe->Open(provider, set);
        if (result < 0) errorText = lastError = probe->ProviderErrorText();
        probe->Close();
        return result < 0 ? result : kSuccess;
    };
}

// `lastError` receives the text of the last failed driver probe, if any.
bool BuildInitProperties(MainWindowModel& window, TreeSide side, const ConnectionSettings& settings,
                         PropertySet& set, DataSourceConnection* fallback, UserPort* dialogPort,
                         std::string& lastError) {
    if (side == TreeSide::Target) return BuildTargetInitProperties(settings, set);
    return BuildSourceInitProperties(settings, set, MakeProbe(window, side, fallback, lastError),
                                     dialogPort);
}

// The DBMS name and version the data source reports; a failed read is an output line.
std::string ReadDbmsDescription(MainWindowModel& window, DataSourceConnection& connection,
                                const SideTexts& texts) {
    std::string name;
    if (connection.GetProperty(kPropDbmsName, name) != kSuccess) {
        window.log().WriteOutputLine("Get %s DBMS Name Error!", texts.word);
        name.clear();
    }
    name = Trim(name);
    if (name.empty()) return name;
    std::string version;
    if (connection.GetProperty(kPropDbmsVersion, version) != kSuccess) {
        window.log().WriteOutputLine("Get %s DBMS Version Error!", texts.word);
        return name;
    }
    return DbmsDescription(name, version);
}

void ReportFailure(MainWindowModel& window, const SideTexts& texts) {
    window.log().ShowHint(texts.hint);
    window.port().ShowMessage(texts.failure);
}

bool ConnectSide(MainWindowModel& window, TreeSide side) {
    const bool isSource = side == TreeSide::Source;
    const SideTexts& texts = isSource ? kSourceTexts : kTargetTexts;
    DataSourceConnection& connection =
        isSource ? window.sourceConnection() : window.targetConnection();
    DatabaseTree& tree = window.tree(side);
    const ConnectionSettings settings = isSource ? window.sourceSettings : window.targetSettings;

    connection.Close();
    tree.Detach();

    // Why a side fails is written in the driver's own words (one output line), so that a wrong
    // password and an unreachable server can be told apart.
    PropertySet set;
    std::string probeError;
    if (!BuildInitProperties(window, side, settings, set, &connection, nullptr, probeError)) {
        if (!probeError.empty()) window.log().WriteText(probeError);
        ReportFailure(window, texts);
        return false;
    }
    if (connection.Open(settings.providerProgId, set) < 0) {
        window.log().WriteText(connection.ProviderErrorText());
        connection.Close();
        ReportFailure(window, texts);
        return false;
    }
    window.log().WriteText(texts.connected);
    if (connection.OpenSession() != kSuccess) {
        window.port().ShowMessage("Couldn't create session on data source");
        connection.Close();
        return false;
    }

    tree.Attach({&connection, settings.catalogName, settings.providerProgId, isSource ? 0 : 1,
                 isSource ? 2 : 1, settings.userId, settings.password});
    FillDatabaseTree(window, tree);
    std::string description = ReadDbmsDescription(window, connection, texts);
    window.log().WriteText("RESULT:    The operation completed SUCCESSFULLY");
    if (description.empty()) {
        description = isSource ? QueryServerVersion(window, connection.session())
                               : GetTargetServerVersion(window, connection.session());
    }
    tree.SetTitle(description);
    (isSource ? window.sourceDbms : window.targetDbms) = description;
    return true;
}

bool TestSide(MainWindowModel& window, TreeSide side, ConnectionSettings settings) {
    settings.providerProgId = ProviderProgId(settings.provider);
    PropertySet set;
    UserPort& port = window.port();
    std::string probeError;  // already shown by the dialog's check
    if (!BuildInitProperties(window, side, settings, set, nullptr, &port, probeError)) return false;
    std::unique_ptr<DataSourceConnection> probe;
    if (window.connectionFactory) probe = window.connectionFactory(side);
    if (!probe) return false;
    bool opened = probe->Open(settings.providerProgId, set) >= 0;
    if (!opened) window.log().WriteText(probe->ProviderErrorText());
    probe->Close();
    return opened;
}

}  // namespace

std::string DbmsDescription(std::string_view name, std::string_view version) {
    std::string description = Trim(name);
    if (!description.empty()) description += "[" + std::string(version) + "]";
    return description;
}

void ConnectCommand(MainWindowModel& window) {
    switch (window.controllerState()) {
        case ControllerState::Running:
            if (window.port().AskOkCancel("Some Tasks is Processing, STOP ALL?")) {
                window.SetControllerState(ControllerState::StopRequested);
            }
            return;
        case ControllerState::StopRequested:
            window.port().ShowMessage("Some Tasks is Stopping, Please try again later!!!");
            return;
        case ControllerState::Idle:
            break;
    }
    ConnectSource(window);
    ConnectTarget(window);
    window.currentCharset = "LATIN1";
}

bool ConnectSource(MainWindowModel& window) {
    return ConnectSide(window, TreeSide::Source);
}

bool ConnectTarget(MainWindowModel& window) {
    return ConnectSide(window, TreeSide::Target);
}

ConnectionTestResult TestConnectionsCommand(MainWindowModel& window,
                                            const ConnectionSettings& source,
                                            const ConnectionSettings& target) {
    ConnectionTestResult result;
    result.source = TestSide(window, TreeSide::Source, source);
    window.port().ShowMessage(result.source ? kSourceTexts.testSuccess : kSourceTexts.testFailure);
    result.target = TestSide(window, TreeSide::Target, target);
    window.port().ShowMessage(result.target ? kTargetTexts.testSuccess : kTargetTexts.testFailure);
    return result;
}

}  // namespace velmora
