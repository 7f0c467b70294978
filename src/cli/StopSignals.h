// StopSignals: SIGINT and SIGTERM while a command runs. The first asks the command to stop: the
// handler only records the signal and writes a byte into a pipe (both async-signal-safe), and a
// watcher thread reads it and calls `onFirst`, which asks the tasks to stop at their next stop
// check (the batch in flight commits or rolls back whole; the summary and report are written).
// A second signal ends the process at once with exit code 128 + the signal.
//
// One instance at a time, made and destroyed on the main thread; `onFirst` runs on the watcher
// thread.
#pragma once

#include <functional>
#include <thread>

namespace velmora::cli {

class StopSignals {
public:
    explicit StopSignals(std::function<void(int signal)> onFirst);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The first signal received (SIGINT or SIGTERM), 0 when none came.
    int Received() const;

private:
    std::function<void(int)> onFirst_;
    std::thread watcher_;
};

// "SIGINT", "SIGTERM" (or the number).
const char* SignalName(int signal);

}  // namespace velmora::cli
