// TaskScheduler: the "Main Controller", one background thread that starts the waiting tasks of
// the TaskList one after another. It wakes every three seconds; each pass runs every waiting
// task, in list order, through the worker body of its type, on the scheduler thread itself, and
// records the result. The thread ends after a pass once a stop has been requested, by the user
// or by the bookkeeping when no waiting task is left.
//
// Threads: StartScheduler, StopStartCommand, RequestStop and CloseRequest are called from the
// interface thread; the worker bodies run on the scheduler thread. The controller state is the
// atomic byte of MainWindowModel. The interface thread never waits for the run lock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "MainWindowModel.h"
#include "tasks/TaskList.h"

namespace velmora {

// What a worker body receives: the task's names, the connections of the moment the scheduler
// started, and the running task's progress.
struct WorkerContext {
    std::time_t stamp = 0;
    MainWindowModel* window = nullptr;
    DataSourceConnection* sourceConnection = nullptr;
    DataSourceConnection* targetConnection = nullptr;
    std::string sourceObject;
    std::string sourceDatabase;
    std::string targetObject;
    std::string targetDatabase;
    std::string objectKind;
    std::atomic<int>* progress = nullptr;

    void SetProgress(int percent) const {
        if (progress) progress->store(percent);
    }
};

// A worker body: runs one task to its end; true when its work succeeded.
using WorkerBody = std::function<bool(WorkerContext&)>;
using WorkerBodies = std::map<TaskType, WorkerBody>;

struct SchedulerTimings {
    std::chrono::milliseconds passInterval{3000};
    std::chrono::milliseconds threadStartDelay{50};
    std::chrono::milliseconds startWait{100};
    std::chrono::milliseconds workerStartDelay{50};
    std::chrono::milliseconds closeWait{3000};
};

class TaskScheduler {
public:
    TaskScheduler(MainWindowModel& window, TaskList& tasks, WorkerBodies bodies,
                  SchedulerTimings timings = {});
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

    MainWindowModel& window_;
    TaskList& tasks_;
    WorkerBodies bodies_;
    SchedulerTimings timings_;
    std::recursive_mutex runLock_;  // held for a whole pass and the bookkeeping
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    bool shuttingDown_ = false;
    std::atomic<size_t> passCount_{0};
    std::thread thread_;
};

}  // namespace velmora
