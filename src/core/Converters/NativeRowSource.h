// NativeRowSource: which session reads the rows of a Full copy. Where the task's source was
// opened through MariaDB Connector/ODBC with a server (or socket) of its own, the rows come
// through MariaDB Connector/C instead (data/MariaDbRows.h): the text protocol, streamed in one
// pass, with the same server, port, socket, login and TLS settings. That connection is opened
// on first use and kept by the task's context for its later tables; a peer context (tables at
// once) opens its own. A source that ODBC alone can reach (a data source name, a double of the
// tests) is read through the task's ODBC session as before, which the log says once.
//
// Threads: the thread that uses the context.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

class Session;
struct WorkerContext;

// The session for the rows of `database`'s tables; null when the native connection was due but
// failed, with the reason in `failure`.
Session* FullRowSession(WorkerContext& context, std::string_view database, std::string& failure);

}  // namespace velmora
