#include "commands/ConnectCommands.h"

#include <optional>
#include <string>

#include "explorer/TreeFill.h"

namespace velmora {
namespace {

// A task is running or stopping: Connect must not replace the connections or the settings.
bool RefusedWhileTasksRun(MainWindowModel& window) {
    switch (window.controllerState()) {
        case ControllerState::Running:
            if (window.port().AskOkCancel("Some Tasks is Processing, STOP ALL?")) {
                window.SetControllerState(ControllerState::StopRequested);
            }
            return true;
        case ControllerState::StopRequested:
            window.port().ShowMessage("Some Tasks is Stopping, Please try again later!!!");
            return true;
        case ControllerState::Idle:
            break;
    }
    return false;
}

// Decides the target's kind; a target that works in one database at a time says so once.
void RecordTargetKind(MainWindowModel& window, DataSourceConnection& connection) {
    window.targetKind = DetectTargetKind(connection);
    if (WorksInOneDatabase(window.targetKind)) {
        window.log().WriteOutputLine(
            "The target is %s: each database is worked on over a connection opened on it.",
            TargetKindName(window.targetKind));
    }
}

bool ConnectSide(MainWindowModel& window, TreeSide side,
                 const std::optional<std::string>& database = std::nullopt);

// The window's target connection moves to `database`; when that fails, back to the database it
// was in, so that a mistyped or vanished database does not leave the tree without a connection.
bool ConnectTargetOn(MainWindowModel& window, const std::string& database) {
    std::string previous;
    window.targetConnection().GetProperty(kPropCurrentCatalog, previous);
    if (ConnectSide(window, TreeSide::Target, database)) return true;
    if (!previous.empty() && previous != database) ConnectSide(window, TreeSide::Target, previous);
    return false;
}

// Connects a side from its settings; `database`, when given, replaces the settings' database
// for this connection only (a one-database target's tree moving to another database: its kind
// is known, and the settings stay as the user saved them).
bool ConnectSide(MainWindowModel& window, TreeSide side,
                 const std::optional<std::string>& database) {
    const bool isSource = side == TreeSide::Source;
    DataSourceConnection& connection =
        isSource ? window.sourceConnection() : window.targetConnection();
    DatabaseTree& tree = window.tree(side);
    ConnectionSettings settings = window.settings(side);
    if (database) settings.catalogName = *database;
    if (!isSource && !database) tree.SetDatabaseOpener(nullptr);
    tree.Detach();
    std::string description;
    bool connected = ConnectDataSource(
        window.log(), window.port(), side, connection, settings, window.connectionFactory,
        [&] {
            tree.Attach({&connection, settings.catalogName, settings.providerProgId,
                         isSource ? 0 : 1, isSource ? 2 : 1, settings.userId, settings.password});
            FillDatabaseTree(tree, window.log(), window.port());
        },
        description);
    if (!connected) return false;
    if (!isSource && !database) {
        RecordTargetKind(window, connection);
        if (WorksInOneDatabase(window.targetKind)) {
            tree.SetDatabaseOpener([&window](const std::string& name) {
                return ConnectTargetOn(window, name);
            });
        }
    }
    // Any kind but SQL Server itself is named in the pane title.
    if (!isSource && window.targetKind != TargetKind::SqlServer) {
        description += std::string(" (") + TargetKindName(window.targetKind) + ")";
    }
    tree.SetTitle(description);
    (isSource ? window.sourceDbms : window.targetDbms) = description;
    return true;
}

}  // namespace

void ConnectCommand(MainWindowModel& window) {
    if (RefusedWhileTasksRun(window)) return;
    ConnectSource(window);
    ConnectTarget(window);
    window.currentCharset = "LATIN1";
}

bool ConnectSource(MainWindowModel& window) { return ConnectSide(window, TreeSide::Source); }

bool ConnectTarget(MainWindowModel& window) { return ConnectSide(window, TreeSide::Target); }

ConnectionTestResult TestConnectionsCommand(MainWindowModel& window,
                                            const ConnectionSettings& source,
                                            const ConnectionSettings& target) {
    ConnectionTestResult result;
    UserPort& port = window.port();
    result.source =
        TestDataSource(window.log(), port, TreeSide::Source, source, window.connectionFactory);
    const SideTexts& sourceTexts = TextsOf(TreeSide::Source);
    port.ShowMessage(result.source ? sourceTexts.testSuccess : sourceTexts.testFailure);
    result.target =
        TestDataSource(window.log(), port, TreeSide::Target, target, window.connectionFactory);
    const SideTexts& targetTexts = TextsOf(TreeSide::Target);
    port.ShowMessage(result.target ? targetTexts.testSuccess : targetTexts.testFailure);
    return result;
}

ConfigDialogHost WindowConfigHost(MainWindowModel& window) {
    ConfigDialogHost host;
    host.port = &window.port();
    host.options = &window.options();
    host.connect = [&window](const ConnectionSettings& source, const ConnectionSettings& target) {
        if (RefusedWhileTasksRun(window)) return;
        window.sourceSettings = source;
        window.targetSettings = target;
        ConnectCommand(window);
    };
    host.testConnections = [&window](const ConnectionSettings& source,
                                     const ConnectionSettings& target) {
        return TestConnectionsCommand(window, source, target);
    };
    return host;
}

}  // namespace velmora
