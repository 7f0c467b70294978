// ConnectCommands: the window's Connect (both sides, each attached to its tree and the tree
// filled), its "Test Connections", and the hand-over from the Config dialog. They run the connect
// sequence of config/ConnectSequence.h on the window's own browsing connections.
//
// Threads: the interface thread, only while no task runs (Connect refuses otherwise), so the
// settings a starting task reads never change under it.
#pragma once

#include "commands/MainWindowModel.h"
#include "config/ConfigDialogModel.h"
#include "config/ConnectSequence.h"

namespace velmora {

// The toolbar's and menu's "Connect": both sides, then the character set back to "LATIN1".
void ConnectCommand(MainWindowModel& window);

// One side each; true when the side is connected afterwards.
bool ConnectSource(MainWindowModel& window);
bool ConnectTarget(MainWindowModel& window);

// "Test Connections": opens and releases a connection per side with the given (dialog) values
// and says for each side whether it worked. Changes nothing in the window.
ConnectionTestResult TestConnectionsCommand(MainWindowModel& window,
                                            const ConnectionSettings& source,
                                            const ConnectionSettings& target);

// The Config dialog's link to the window: options, Connect (settings handed over, then
// ConnectCommand) and the test.
ConfigDialogHost WindowConfigHost(MainWindowModel& window);

}  // namespace velmora
