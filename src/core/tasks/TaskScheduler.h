// TaskScheduler: the "Main Controller", one background thread that starts the waiting tasks of
// the TaskList one after another. It wakes every three seconds; each pass runs every waiting
// task, in list order, through the worker body of its type, on the scheduler thread itself, and
// records the result. The thread ends after a pass once a stop has been requested, by the user
// or by the bookkeeping when no waiting task is left.
//
// The scheduler knows no task type: it is handed the runner that does one task's work (the worker
// bodies, Converters/Thread), and only keeps the list's bookkeeping.
//
// Threads: StartScheduler, StopStartCommand, RequestStop and CloseRequest are called from the
// interface thread; the runner runs on the scheduler thread. The controller state is the window's
// atomic byte. The interface thread never waits for the run lock, and never waits for a scheduler
// thread that may itself be waiting for the interface: the thread calls the port for the last
// time before it says Idle.
#pragma once

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "tasks/ControllerState.h"
#include "tasks/OperationLog.h"
#include "tasks/TaskList.h"
#include "tasks/UserPort.h"

namespace velmora {

// Runs one task to its end (its record is marked Working, its progress is 0); true when its
// work succeeded. Called on the scheduler thread.
using TaskRunner = std::function<bool(MigrationTask& task)>;

struct SchedulerTimings {
    std::chrono::milliseconds passInterval{3000};
    std::chrono::milliseconds threadStartDelay{50};
    std::chrono::milliseconds startWait{100};
    std::chrono::milliseconds workerStartDelay{50};
    std::chrono::milliseconds closeWait{3000};
};

class TaskScheduler {
public:
    TaskScheduler(ControllerStateCell& state, UserPort& port, OperationLog& log, TaskList& tasks,
                  TaskRunner runner, SchedulerTimings timings = {});
    // Requests a stop and waits for the thread to end.
    ~TaskScheduler();

    TaskScheduler(const TaskScheduler&) = delete;
    TaskScheduler& operator=(const TaskScheduler&) = delete;

    // Starts the thread when the state is Idle; always asks for a list refresh.
    void StartScheduler();
    // The Stop/Start button.
    void StopStartCommand();
    // Sets StopRequested and shows the play picture.
    void RequestStop();
    // The window's close button: false when the user chose to keep the window open.
    bool CloseRequest();
    // Blocks until the scheduler thread has ended (front ends that run tasks to their end).
    void WaitUntilIdle();

    // Passes started since construction (lets tests tell one pass from two).
    size_t passCount() const { return passCount_.load(); }

private:
    bool StartThread();
    void Run();
    void RunPass();
    void RunTask(const TaskPtr& task);
    void RecordResult(const TaskPtr& task, bool succeeded);
    void Sleep(std::chrono::milliseconds duration);

    ControllerStateCell& state_;
    UserPort& port_;
    OperationLog& log_;
    TaskList& tasks_;
    TaskRunner runner_;
    SchedulerTimings timings_;
    std::recursive_mutex runLock_;  // held for a whole pass and the bookkeeping
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    bool shuttingDown_ = false;
    std::atomic<size_t> passCount_{0};
    std::thread thread_;
};

}  // namespace velmora
