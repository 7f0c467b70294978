// ConnectSequence: opening one side's data source from its settings, the way the window's
// Connect and every task do it: the initialisation properties (probing the installed MySQL
// drivers for a host-and-port source), the data source, its session, and the DBMS description.
// Also the configuration dialog's "Test Connections" per side, which keeps nothing. The window's
// commands that run it for both sides and fill the trees are in ConnectCommands.h.
//
// Every failure is written in the driver's own words (one output line), so that a wrong
// password and an unreachable server can be told apart.
//
// Threads: the window's connections on the interface thread; a task's own connections on the
// scheduler thread. Nothing here keeps state.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "config/ConnectionSettings.h"
#include "data/DataAccess.h"
#include "tasks/UserPort.h"

namespace velmora {

class OperationLog;

// Makes a fresh, unconnected connection for a side (the real ODBC one, or a test double).
using ConnectionFactory = std::function<std::unique_ptr<DataSourceConnection>(TreeSide)>;

// The texts of the connect sequence that differ between the two sides.
struct SideTexts {
    const char* word;
    const char* hint;
    const char* failure;
    const char* connected;
    const char* testSuccess;
    const char* testFailure;
};
const SideTexts& TextsOf(TreeSide side);

// Opens `connection` (closed first) from `settings` and its session. After "Connect ... Database!"
// and the session, `sessionOpened` runs (the window attaches and fills its tree there); then the
// DBMS description goes to `dbms` (the version query when the data source does not tell) and
// the success line is written. False, after the failure line, hint and message, when the side
// could not be connected.
bool ConnectDataSource(OperationLog& log, UserPort& port, TreeSide side,
                       DataSourceConnection& connection, const ConnectionSettings& settings,
                       const ConnectionFactory& factory, const std::function<void()>& sessionOpened,
                       std::string& dbms);

// The dialog's test of one side: opens and releases a fresh connection with `settings`.
bool TestDataSource(OperationLog& log, UserPort& port, TreeSide side, ConnectionSettings settings,
                    const ConnectionFactory& factory);

// A task's own connection of a side, opened from `settings` with its session, selecting nothing
// else; nothing (after the failure line and the driver's reason) when it cannot be opened.
std::unique_ptr<DataSourceConnection> OpenTaskConnection(OperationLog& log, TreeSide side,
                                                         const ConnectionSettings& settings,
                                                         const ConnectionFactory& factory);

// What "Test Connections" found, per side.
struct ConnectionTestResult {
    bool source = false;
    bool target = false;
};

// The DBMS name trimmed, then "[version]" when the name is not empty.
std::string DbmsDescription(std::string_view name, std::string_view version);

}  // namespace velmora
