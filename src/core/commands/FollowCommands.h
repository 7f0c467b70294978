// FollowCommands: what both front ends run for online migration apart from the tasks (which the
// worker bodies run, follow/FollowTask.h): the checks before a followed copy, on the window's
// source connection, and the cutover request, on the window's target connection.
//
// Interface thread (or the command line's thread), with the window's connections.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "config/ConnectSequence.h"
#include "follow/FollowTask.h"

namespace velmora {

class MainWindowModel;
class OperationLog;

// What keeps `database` (the tables not in `excluded`) from being followed; the first entry says
// so when the source cannot be asked.
std::vector<FollowProblem> CheckFollowPreconditions(MainWindowModel& window, const std::string& database,
                                                    const std::vector<std::string>& excluded);

// The cutover of `sourceDatabase` into `targetDatabase` (see RequestCutover): 0 MATCH, 1 a
// difference or a stopped follower, 2 when it could not be asked.
int CutoverCommand(MainWindowModel& window, const std::string& sourceDatabase, const std::string& targetDatabase,
                   bool readOnly, const std::function<void(const std::string&)>& say);

// The same on connections of its own, opened from the settings (the desktop program runs it on
// a thread of its own while the follower's task runs); any thread.
int CutoverOnOwnConnections(OperationLog& log, const ConnectionSettings& source, const ConnectionSettings& target,
                            const ConnectionFactory& factory, const std::string& sourceDatabase,
                            const std::string& targetDatabase, const std::string& schema, bool readOnly,
                            const std::function<bool()>& stopRequested,
                            const std::function<void(const std::string&)>& say);

}  // namespace velmora
