// CliFollow: online migration on the command line: the checks of --follow and --exclude, and
// the follow and cutover commands (a migration task that only follows; a cutover asked of the
// follower that holds the target).
//
// Threads: the main thread; the follower runs on the scheduler's.
#pragma once

#include <string>
#include <vector>

#include "CommandRun.h"

namespace velmora::cli {

// --follow and --exclude: what they work with (a usage error otherwise).
void FollowOptions(const CliOptions& options, const std::string& kind, const std::vector<std::string>& sources);
// The checks before a followed copy: each problem with its fix on standard error; false when
// one of them keeps the source from being followed.
bool FollowableOrSaid(Run& run, const std::string& database, const std::vector<std::string>& excluded);
// follow SRC_DB TGT_DB and cutover SRC_DB TGT_DB [--read-only].
int Follow(const CliOptions& options, bool interactive);
int Cutover(const CliOptions& options, bool interactive);

}  // namespace velmora::cli
