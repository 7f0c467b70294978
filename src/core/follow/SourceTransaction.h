// SourceTransaction: one committed transaction of the source as the follower read it from the
// binary log: its row changes of the followed tables, in the log's order, and where it ends.
//
// Plain data; built by the reading thread, then handed to the apply.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "follow/BinlogPosition.h"
#include "follow/BinlogRows.h"

namespace velmora {

struct FollowedTable;

struct RowChange {
    enum class Kind { Insert, Update, Delete };
    Kind kind = Kind::Insert;
    const FollowedTable* table = nullptr;
    BinlogRowImage before;  // updates and deletes
    BinlogRowImage after;   // inserts and updates
};

struct SourceTransaction {
    BinlogPosition end;        // the position after its commit
    uint32_t commitTime = 0;   // the source's commit time (seconds since the epoch)
    uint64_t bytes = 0;        // its size in the log
    std::vector<RowChange> changes;
};

}  // namespace velmora
