// FollowApply: writes the source's committed transactions into the target, idempotent by key, so
// that rows the copy read at any moment after the recorded position converge to the source's:
// an insert becomes insert-or-replace (UPDATE by the key, and INSERT when no row was there), an
// update goes by its before image's key (a changed key deletes the old row and writes the new
// one), a delete goes by the key. Consecutive changes of one kind on one table share a statement:
// upserts as one VALUES list joined by the key (an UPDATE of the rows there are, an INSERT of the
// others), deletes by a key of one column as one DELETE ... IN. Values are rendered by the copy's own code
// (translation/FullValueRendering.h, AppendFullValue), so a row that came through the log equals
// the row the copy would have written.
//
// Each source transaction is applied whole or not at all: many of them go into one target
// transaction, which also writes their end position into the follow table (FollowState.h), so a
// restart applies nothing twice and skips nothing. A value the target cannot store (a zero date
// in a NOT NULL column) leaves its change out with a log line, as the copy leaves such a row out.
//
// Threads: the follower's thread, with the task's target session.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "follow/SourceTransaction.h"

namespace velmora {

class OperationLog;
class Session;
struct FollowedTable;

class FollowApply {
public:
    // `positionUpdate` makes the statement that records a position (FollowState.h).
    FollowApply(OperationLog& log, Session* target, std::string sourceDatabase, std::string targetSchema);

    // Adds a transaction to the open target transaction: queued, and sent with those before it
    // once enough changes wait (or at the commit). False when the target refused a statement:
    // the target transaction is rolled back, and `error` holds the driver's reason.
    bool Add(SourceTransaction transaction, std::string& error);
    // Writes the position of the last transaction added (or `position`, when further) and
    // commits. False when the commit failed (everything since the last commit is undone).
    bool Commit(const BinlogPosition& position, std::string& error);
    void Rollback();

    void SetTarget(Session* target) { target_ = target; }
    bool Pending() const { return pendingTransactions_ > 0; }
    int64_t PendingChanges() const { return pendingChanges_ + queuedChanges_; }
    int64_t ChangesApplied() const { return applied_; }
    int64_t ChangesRefused() const { return refused_; }
    const BinlogPosition& Committed() const { return committed_; }
    void SetCommitted(const BinlogPosition& position) { committed_ = position; }

private:
    bool Send(const std::string& statement, std::string& error);
    // Sends the queued transactions' statements.
    bool Flush(std::string& error);

    OperationLog& log_;
    Session* target_;
    std::string sourceDatabase_;
    std::string targetSchema_;
    std::string identityTable_;
    std::string batch_;
    bool open_ = false;
    int64_t pendingTransactions_ = 0;
    int64_t pendingChanges_ = 0;
    std::vector<SourceTransaction> queued_;
    int64_t queuedChanges_ = 0;
    int64_t applied_ = 0;
    int64_t refused_ = 0;
    BinlogPosition last_;
    BinlogPosition committed_;
};

}  // namespace velmora
