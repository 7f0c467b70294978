// FollowTask: online migration as a task's work, for the worker bodies: the position recorded
// in the target before the copy reads its first row (migrate database --follow), and the
// follower run after the copy or on its own (follow SRC TGT). Also the cutover request that
// `cutover` makes from another process, and the checks that tell before anything is copied
// whether a source can be followed at all.
//
// Runs on the task's thread with the task's context; RequestCutover and CheckFollowable on the
// caller's thread with the sessions they are given.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "data/MariaDbRows.h"
#include "follow/Follower.h"

namespace velmora {

struct WorkerContext;
class Session;

// The base tables of `database` on the source, without the excluded ones (names compare
// exactly).
std::vector<std::string> FollowedTableNames(Session* source, std::string_view database,
                                            const std::vector<std::string>& excluded, std::string& error);

// Records the source's current position and the tables to follow in the target's follow table
// (created when missing, in the task's schema). False after a log line with the reason.
bool RecordFollowStart(WorkerContext& context);

// Follows until a stop, a cutover or a statement that ends it; true when it ended cleanly (a
// stop, or a cutover whose verification matched).
bool RunFollowTask(WorkerContext& context);

// One thing that keeps a source from being followed, with what fixes it.
struct FollowProblem {
    std::string what;
    std::string fix;
    bool warning = false;  // said, but the copy may go on
};

// The checks before copying: the binary log on, in rows with full images, the login's
// replication privileges, a key on every table (excluded ones aside), and the log's retention
// against `estimatedCopySeconds` (0: not estimated).
std::vector<FollowProblem> CheckFollowable(const NativeSourceOptions& source, std::string_view database,
                                           const std::vector<std::string>& tables, double estimatedCopySeconds);

// Asks the follower of `database` to cut over: (with `readOnly`) sets the source read-only,
// records the source's current position as the cutover point in the target's follow table, and
// waits until the follower has recorded the outcome. `say` receives the lines to show. Returns
// 0 when the target equals the source, 1 when it differs or following stopped, 2 when it could
// not be asked.
int RequestCutover(const NativeSourceOptions& source, Session* target, std::string_view database,
                   std::string_view schema, bool readOnly, const std::function<bool()>& stopRequested,
                   const std::function<void(const std::string&)>& say);

}  // namespace velmora
