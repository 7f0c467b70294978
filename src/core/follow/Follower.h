// Follower: the loop of online migration after the copy: reads the source's binary log from the
// position the target holds (FollowState.h), applies each committed transaction of the followed
// tables (FollowApply.h), many per target transaction while it catches up and each at once when
// it has caught up, and says how far behind it is. It ends on a stop request, at a cutover point
// (after applying through it: identities reseeded, every followed table verified in full, the
// outcome recorded for `cutover`), at a DDL statement on a followed table, or when the log it
// needs is gone. A broken source connection is opened again with backoff, from the position the
// target holds; so is an unreachable target, which it says while it waits.
//
// Runs on the task's thread with the task's context (its source session reads the definitions,
// its target session applies).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "follow/BinlogPosition.h"

namespace velmora {

struct WorkerContext;

// The figures of the progress line and the report.
struct FollowFigures {
    int64_t changesApplied = 0;
    int64_t changesRefused = 0;
    int64_t transactionsApplied = 0;
    double changesPerSecond = 0;
    int64_t transactionsBehind = -1;  // -1: not known
    int64_t bytesBehind = -1;
    double lagSeconds = 0;
    BinlogPosition position;

    std::string Line() const;
    // The task list's short form: "Following, lag 0.4 s".
    std::string Note() const;
};

struct FollowResult {
    int exitCode = 0;        // 0 stopped or cut over with a match, 1 otherwise
    std::string outcome;     // the last line: why it ended
    FollowFigures figures;
};

// `schema` is the target schema of the task ("" for the default).
FollowResult RunFollower(WorkerContext& context, std::string_view database, std::string_view schema,
                         const std::function<void(const FollowFigures&)>& progress);

// The line `cutover` prints for a verification of `tables` tables holding `rows` rows.
std::string CutoverMatchLine(const BinlogPosition& at, int64_t tables, int64_t rows);

}  // namespace velmora
