#include "commands/OneDatabaseGuard.h"

#include "Converters/TargetServer.h"
#include "config/ConnectSequence.h"
#include "tasks/OperationLog.h"

namespace velmora {
namespace {

void Refuse(MainWindowModel& window, const std::string& what, const std::string& browsing) {
    OperationLog& log = window.log();
    log.WriteText(OneDatabaseRefusal(window.targetKind, what) + ".");
    log.WriteText("The target tree works in [" + browsing +
                  "]; double-click a database to work in it.");
}

// Dropping the database the window's target connection works in: true after the refusal lines.
bool RefusedAsTheTreesDatabase(MainWindowModel& window, const std::string& what,
                               std::string_view database) {
    const std::string browsing = BrowsingTargetDatabase(window);
    if (database.empty() || !SameDatabaseName(browsing, database)) return false;
    Refuse(window, what + " while the target tree works in it", browsing);
    return true;
}

}  // namespace

std::string BrowsingTargetDatabase(MainWindowModel& window) {
    std::string database;
    if (window.targetConnection().GetProperty(kPropCurrentCatalog, database) != kSuccess) {
        return "";
    }
    return database;
}

bool RefusedOutsideBrowsingDatabase(MainWindowModel& window, const std::string& what,
                                    std::string_view database) {
    if (!WorksInOneDatabase(window.targetKind) || database.empty()) return false;
    const std::string browsing = BrowsingTargetDatabase(window);
    if (SameDatabaseName(browsing, database)) return false;
    Refuse(window, what, browsing);
    return true;
}

bool RefusedToDrop(MainWindowModel& window, const SelectedObject& object) {
    if (!WorksInOneDatabase(window.targetKind)) return false;
    const std::string& in = object.grandparentText;
    switch (object.kind) {
        case kDatabaseNode:
            return RefusedAsTheTreesDatabase(window, "Dropping database [" + object.text + "]",
                                             object.text);
        case kTableNode:
        case kViewNode: {
            const char* what = object.kind == kTableNode ? "Dropping table [" : "Dropping view [";
            return RefusedOutsideBrowsingDatabase(window, what + in + "].[" + object.text + "]", in);
        }
        case kTablesFolderNode:
        case kViewsFolderNode: {
            const char* what = object.kind == kTablesFolderNode ? "tables" : "views";
            return RefusedOutsideBrowsingDatabase(
                window, std::string("Dropping the ") + what + " of [" + object.parentText + "]",
                object.parentText);
        }
        default:
            return false;
    }
}

bool RunOnServerLevel(MainWindowModel& window, const std::string& what, std::string_view database,
                      const std::function<bool(Session*)>& work) {
    if (!WorksInOneDatabase(window.targetKind)) return work(window.targetTree().session());
    if (RefusedAsTheTreesDatabase(window, what, database)) return false;
    return RunInDatabase(window, "master", work);
}

bool DropTargetDatabase(MainWindowModel& window, const std::string& name) {
    if (!WorksInOneDatabase(window.targetKind)) window.targetTree().SetCurrentDatabase("");
    return RunOnServerLevel(window, "Dropping database [" + name + "]", name, [&](Session* session) {
        return DropDatabase(window.log(), session, name);
    });
}

bool RunInDatabase(MainWindowModel& window, std::string_view database,
                   const std::function<bool(Session*)>& work) {
    if (!WorksInOneDatabase(window.targetKind) ||
        SameDatabaseName(BrowsingTargetDatabase(window), database)) {
        return work(window.targetTree().session());
    }
    ConnectionSettings settings = window.settings(TreeSide::Target);
    settings.catalogName = std::string(database);
    std::unique_ptr<DataSourceConnection> own =
        OpenTaskConnection(window.log(), TreeSide::Target, settings, window.connectionFactory);
    if (!own) return false;
    const bool done = work(own->session());
    own->Close();
    return done;
}

}  // namespace velmora
