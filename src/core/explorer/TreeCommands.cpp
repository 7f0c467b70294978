#include "explorer/TreeCommands.h"

#include <optional>
#include <vector>

#include "Converters/SourceServer.h"
#include "Converters/TargetServer.h"
#include "data/StatementExecution.h"
#include "explorer/TreeFill.h"
#include "tasks/OperationLog.h"

namespace velmora {

bool SelectTreeDatabase(OperationLog& log, UserPort& port, DatabaseTree& tree,
                        std::string_view name, int side) {
    if (side != 0 && side != 1) return true;
    tree.SetCurrentDatabase(std::string(name));
    if (auto openOn = tree.databaseOpener()) return openOn(std::string(name));
    if (!UseDatabase(log, tree.session(), name, side)) return false;
    FillDatabaseTree(tree, log, port);
    return true;
}

void ChangeCharsetCommand(OperationLog& log, UserPort& port, DatabaseTree& tree,
                          std::string& currentCharset) {
    Session* session = tree.session();
    if (tree.dbmsKind() != 2 || !session) return;
    const auto& names = CharsetNames();
    int preselected = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == currentCharset) preselected = static_cast<int>(i);
    }
    std::optional<int> choice = port.ChooseOne("Change Charset", names, preselected);
    if (!choice) return;
    const std::string charset = CharsetName(*choice);
    currentCharset = charset;
    const std::vector<std::string> statements = CharsetStatements(charset);
    ExecuteStatement(log, session, statements[0], 0);
    for (size_t i = 1; i < statements.size(); ++i) {
        ShowQueryResult(log, session, statements[i], 0);
    }
    FillDatabaseTree(tree, log, port);
}

void ToggleStorageEngineCommand(UserPort& port, DatabaseTree& sourceTree, std::string& menuText) {
    const size_t at = menuText.find("MyISAM");
    std::string engine = (at != std::string::npos && at > 0) ? "InnoDB" : "MyISAM";
    menuText = "Change Storage Engine(" + engine + ")";
    port.ShowMessage("Now Storage Engine of MySQL is " + engine + "!");
    sourceTree.SetStorageEngine(engine);
}

}  // namespace velmora
