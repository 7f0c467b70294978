// TaskList: the ordered list of queued tasks, shared by the interface thread (commands that add,
// delete, clear and reorder) and the scheduler thread (which scans it and runs waiting tasks).
//
// Every operation takes a short internal lock and never waits for a running task: records are
// shared pointers, so deleting or moving the running task never invalidates it, and the
// scheduler walks the list by record identity (NextWaiting), not by a position that an edit
// could shift.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "tasks/MigrationTask.h"

namespace velmora {

using TaskPtr = std::shared_ptr<MigrationTask>;

class TaskList {
public:
    void Append(TaskPtr task);
    // Remove the record at a position (0-based); false when there is none.
    bool RemoveAt(size_t position);
    void Clear();
    // Move the record one place earlier / later; false when it cannot move.
    bool MoveUp(size_t position);
    bool MoveDown(size_t position);

    size_t Size() const;
    bool Empty() const;
    TaskPtr At(size_t position) const;
    std::vector<TaskPtr> Snapshot() const;
    std::optional<size_t> PositionOf(const MigrationTask* task) const;
    bool AnyWaiting() const;

    // The first waiting task after `previous` in the current order (from the start when
    // `previous` is null; when `previous` has left the list, from `fallbackPosition`).
    TaskPtr NextWaiting(const MigrationTask* previous, size_t fallbackPosition) const;

private:
    mutable std::mutex mutex_;
    std::vector<TaskPtr> tasks_;
};

}  // namespace velmora
