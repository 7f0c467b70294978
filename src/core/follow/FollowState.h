// FollowState: the follow table of the target schema, `velmora_follow`, one row per source
// database: the position applied so far (written in the same target transaction as the rows it
// covers), the followed tables, the state ("copying", "following", "stopped", "cut over"), a
// requested cutover point and the cutover's outcome. It is the only record the follower trusts:
// `follow` goes on from it on any machine, and `cutover` talks to the follower through it.
//
// Statement texts are pure; ReadFollowState and the helpers run on the caller's thread with the
// session they are given.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "follow/BinlogPosition.h"

namespace velmora {

class Session;

inline constexpr const char* kFollowTable = "velmora_follow";

struct FollowState {
    BinlogPosition position;
    std::vector<std::string> tables;
    std::string state;
    std::optional<BinlogPosition> cutoverAt;
    std::string outcome;
};

std::string CreateFollowTableStatement(std::string_view schema);
// Replaces the row of `database`: state "copying" at `position`, following `tables`.
std::string RecordFollowStartStatement(std::string_view schema, std::string_view database,
                                       const BinlogPosition& position, const std::vector<std::string>& tables);
std::string FollowPositionStatement(std::string_view schema, std::string_view database,
                                    const BinlogPosition& position, long long changes);
std::string FollowStateStatement(std::string_view schema, std::string_view database,
                                 std::string_view state, std::string_view outcome);
// Following (again): the state "following"; a cutover that was done is forgotten, one that was
// asked for and not yet answered (while the copy ran, or before a follower came back) is kept.
std::string FollowingStatement(std::string_view schema, std::string_view database);
std::string RequestCutoverStatement(std::string_view schema, std::string_view database,
                                    const BinlogPosition& at);
std::string ReadFollowStateStatement(std::string_view schema, std::string_view database);

// The row of `database`; nothing with the reason in `error` (no follow table, no row, a query
// that failed).
std::optional<FollowState> ReadFollowState(Session* target, std::string_view schema,
                                           std::string_view database, std::string& error);

// The first row of a query's result as text (NULL as nothing); false with the reason.
bool QueryFirstRow(Session* session, const std::string& query,
                   std::vector<std::optional<std::string>>& row, std::string& error);

}  // namespace velmora
