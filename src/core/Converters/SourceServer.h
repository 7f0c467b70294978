// SourceServer: the MySQL side's own operations: the initialisation properties of the source
// data source (with the host-and-port connection string and the probing of the installed MySQL
// ODBC drivers), the version query, the character-set command and the storage-engine choice.
// The "use" of a source database is UseDatabase (TargetServer.h) with side 0.
//
// Threads: the property builder and the commands run on the interface thread; QueryServerVersion
// on whichever thread asks. Nothing here keeps state.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "config/ConnectionSettings.h"
#include "data/DataAccess.h"

namespace velmora {

class DatabaseTree;
class MainWindowModel;
class UserPort;

// Host and port of a source name: split at the first ":"; without one, the whole name is the
// host and the port is `defaultPort`.
std::pair<std::string, std::string> SplitHostPort(std::string_view sourceName,
                                                  std::string_view defaultPort);

// ";Driver={<driver>};SERVER=<host>;PORT=<port>;UID=root;" and "Database=<catalog>" when the
// catalog is not empty. The login that counts is the one in the user id and password
// properties; the data layer puts it in place of the fixed UID.
std::string SourceProviderString(std::string_view driver, std::string_view sourceName,
                                 std::string_view catalogName);

// One probe: opens a data source of `provider` with the properties built so far and releases it
// again; returns the result of the open and, on failure, the driver's text.
using SourceProbe = std::function<ResultCode(std::string_view provider, const PropertySet& set,
                                             std::string& errorText)>;

// Fills `set` with the source's initialisation properties. In the host-and-port form the MySQL
// ODBC drivers whose library can be loaded are probed in the driver list's order, up to three;
// false when the list runs out before a probe succeeded (after three failed probes the third
// driver's string stays and the result is true). With `dialogPort` (the configuration dialog's
// test) every failed probe shows the driver's text and running out shows "No appropriate
// Config, Please correct!!!".
bool BuildSourceInitProperties(const ConnectionSettings& settings, PropertySet& set,
                               const SourceProbe& probe, UserPort* dialogPort = nullptr);

// "select @@Version" on the source: the first column of the last row, the driver's error text,
// the success text when no rows came back, or "No Connection!" without a session (also written
// as an output line).
std::string QueryServerVersion(MainWindowModel& window, Session* session);

// The 36 character sets of the character-set command, in the choice dialog's order.
const std::vector<std::string>& CharsetNames();
// The name at `index`, or "UNKOWNEN" outside 0..35.
std::string CharsetName(int index);
// The five statements for a character set, in the order they run.
std::vector<std::string> CharsetStatements(std::string_view charset);

// "Change Charset" on a tree: only on a tree connected to MySQL. Asks for the character set
// (preselecting the window's current one), runs the five statements whatever each gives, records
// the choice and rebuilds the tree.
void ChangeCharsetCommand(MainWindowModel& window, DatabaseTree& tree);

// "Storage Engines": flips the window's menu text between MyISAM and InnoDB, tells the user and
// records the new engine on the source tree.
void ToggleStorageEngineCommand(MainWindowModel& window);

}  // namespace velmora
