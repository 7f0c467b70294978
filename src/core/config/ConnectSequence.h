// ConnectSequence: opens the two connections of the main window (the MySQL source, then the SQL
// Server target) from the settings the configuration dialog handed over, attaches each to its
// tree, fills the trees and records the description of each DBMS. Also the configuration
// dialog's "Test Connections", which opens the same way on the dialog's values and keeps
// nothing.
//
// Threads: the interface thread, only while no task runs (ConnectCommand refuses otherwise), so
// no worker uses a connection that is being replaced.
#pragma once

#include <string>
#include <string_view>

#include "config/ConnectionSettings.h"
#include "tasks/UserPort.h"

namespace velmora {

class MainWindowModel;

// The toolbar's and menu's "Connect": both sides, then the character set back to "LATIN1".
void ConnectCommand(MainWindowModel& window);

// One side each; true when the side is connected afterwards.
bool ConnectSource(MainWindowModel& window);
bool ConnectTarget(MainWindowModel& window);

// "Test Connections": opens and releases a connection per side with the given (dialog) values
// and says for each side whether it worked. Changes nothing in the window.
struct ConnectionTestResult {
    bool source = false;
    bool target = false;
};
ConnectionTestResult TestConnectionsCommand(MainWindowModel& window,
                                            const ConnectionSettings& source,
                                            const ConnectionSettings& target);

// The DBMS name trimmed, then "[version]" when the name is not empty.
std::string DbmsDescription(std::string_view name, std::string_view version);

}  // namespace velmora
