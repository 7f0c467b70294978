// ConnectionProperties: the initialisation properties of each side's data source, built from the
// settings of the Config dialog: the host-and-port connection strings of SQL Server and MySQL
// (with the probing of the installed MySQL ODBC drivers), or a data source name and catalog.
// The window's connect sequence and every task's own connections are opened with them.
//
// Threads: any; nothing here keeps state (a probe opens and releases its own connection).
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "config/ConnectionSettings.h"
#include "data/DataAccess.h"

namespace velmora {

class UserPort;

// The fixed connection string of the "TCP/IP:Port" route to SQL Server: host and port from
// `sourceName` ("host:port", port 1433 without a colon, empty after a trailing colon), then
// "Database=" and the catalog when it is not empty.
std::string TargetProviderString(std::string_view sourceName, std::string_view catalogName);

// Why a "host[:port]" is no server name: the host holds ';', '{', '}', '=' or a control
// character, or the port is not a number; empty when it is one.
std::string ServerNameProblem(std::string_view sourceName);

// Fills `set` with the target's initialisation properties, the TLS choices included (the data
// layer words them for the driver in use). Always true.
bool BuildTargetInitProperties(const ConnectionSettings& settings, PropertySet& set);

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

}  // namespace velmora
