// BoundedQueue: hands items from one thread to another, holding at most `capacity` of them, so
// that a producer faster than its consumer waits instead of filling memory.
//
// Threads: one or more producers and consumers; Close wakes every waiter. After Close, Push
// refuses and Pop drains what is left, then returns nothing.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace velmora {

template <typename T>
class BoundedQueue {
public:
    explicit BoundedQueue(size_t capacity) : capacity_(capacity ? capacity : 1) {}

    // Waits for room; false when the queue was closed (the item is dropped).
    bool Push(T item) {
        std::unique_lock<std::mutex> lock(mutex_);
        room_.wait(lock, [&] { return closed_ || items_.size() < capacity_; });
        if (closed_) return false;
        items_.push_back(std::move(item));
        ready_.notify_one();
        return true;
    }

    // True while a Push would wait for room.
    bool Full() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return !closed_ && items_.size() >= capacity_;
    }

    // Waits for an item; nothing once the queue is closed and empty.
    std::optional<T> Pop() {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [&] { return closed_ || !items_.empty(); });
        if (items_.empty()) return std::nullopt;
        T item = std::move(items_.front());
        items_.pop_front();
        room_.notify_one();
        return item;
    }

    void Close() {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        ready_.notify_all();
        room_.notify_all();
    }

private:
    const size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::condition_variable room_;
    std::deque<T> items_;
    bool closed_ = false;
};

}  // namespace velmora
