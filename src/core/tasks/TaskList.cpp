#include "tasks/TaskList.h"

#include <algorithm>

namespace velmora {

void TaskList::Append(TaskPtr task) {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
}

bool TaskList::RemoveAt(size_t position) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (position >= tasks_.size()) return false;
    tasks_.erase(tasks_.begin() + static_cast<std::ptrdiff_t>(position));
    return true;
}

void TaskList::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.clear();
}

bool TaskList::MoveUp(size_t position) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (position == 0 || position >= tasks_.size()) return false;
    std::swap(tasks_[position], tasks_[position - 1]);
    return true;
}

bool TaskList::MoveDown(size_t position) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (position + 1 >= tasks_.size()) return false;
    std::swap(tasks_[position], tasks_[position + 1]);
    return true;
}

size_t TaskList::Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return tasks_.size();
}

bool TaskList::Empty() const { return Size() == 0; }

TaskPtr TaskList::At(size_t position) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return position < tasks_.size() ? tasks_[position] : nullptr;
}

std::vector<TaskPtr> TaskList::Snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return tasks_;
}

std::optional<size_t> TaskList::PositionOf(const MigrationTask* task) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (size_t i = 0; i < tasks_.size(); ++i) {
        if (tasks_[i].get() == task) return i;
    }
    return std::nullopt;
}

bool TaskList::AnyWaiting() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::any_of(tasks_.begin(), tasks_.end(),
                       [](const TaskPtr& task) { return task->status.load() == kTaskWaiting; });
}

TaskPtr TaskList::NextWaiting(const MigrationTask* previous, size_t fallbackPosition) const {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t start = 0;
    if (previous) {
        start = fallbackPosition;
        for (size_t i = 0; i < tasks_.size(); ++i) {
            if (tasks_[i].get() == previous) {
                start = i + 1;
                break;
            }
        }
    }
    for (size_t i = start; i < tasks_.size(); ++i) {
        if (tasks_[i]->status.load() == kTaskWaiting &&
            tasks_[i]->phase.load() == TaskPhase::Waiting) {
            return tasks_[i];
        }
    }
    return nullptr;
}

}  // namespace velmora
