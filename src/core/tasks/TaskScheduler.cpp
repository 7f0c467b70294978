#include "tasks/TaskScheduler.h"

#include <system_error>

#include "data/ErrorText.h"

namespace velmora {

TaskScheduler::TaskScheduler(ControllerStateCell& state, UserPort& port, OperationLog& log,
                             TaskList& tasks, TaskRunner runner, SchedulerTimings timings)
    : state_(state),
      port_(port),
      log_(log),
      tasks_(tasks),
      runner_(std::move(runner)),
      timings_(timings) {}

TaskScheduler::~TaskScheduler() {
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        shuttingDown_ = true;
    }
    if (state_.Get() == ControllerState::Running) {
        state_.Set(ControllerState::StopRequested);
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void TaskScheduler::StartScheduler() {
    if (state_.Get() == ControllerState::Idle && StartThread()) {
        port_.ShowStopStartButton(true, "");
    }
    port_.TaskListChanged();
}

bool TaskScheduler::StartThread() {
    // A thread that ended on its own is collected before the next one starts.
    if (thread_.joinable()) thread_.join();
    try {
        state_.Set(ControllerState::Running);
        thread_ = std::thread(&TaskScheduler::Run, this);
    } catch (const std::system_error& error) {
        state_.Set(ControllerState::Idle);
        errno = error.code().value();
        log_.WriteText(FormatLastSystemError("Main Controller Error!"));
        return false;
    }
    std::this_thread::sleep_for(timings_.startWait);
    return true;
}

void TaskScheduler::StopStartCommand() {
    switch (state_.Get()) {
        case ControllerState::Running:
            if (port_.AskOkCancel("Some Tasks is Processing, STOP ALL?")) RequestStop();
            break;
        case ControllerState::StopRequested:
            port_.ShowMessage("Some Tasks is Stopping, Please Wait!!!");
            break;
        case ControllerState::Idle:
            port_.ShowStopStartButton(true, "");
            StartThread();
            break;
    }
}

void TaskScheduler::RequestStop() {
    state_.Set(ControllerState::StopRequested);
    port_.ShowStopStartButton(false, "");
}

bool TaskScheduler::CloseRequest() {
    if (state_.Get() == ControllerState::Running) {
        if (!port_.AskOkCancel("Some Tasks is Processing, STOP ALL and EXIT?")) {
            return false;
        }
        state_.Set(ControllerState::StopRequested);
        std::this_thread::sleep_for(timings_.closeWait);
    }
    return true;
}

void TaskScheduler::WaitUntilIdle() {
    if (thread_.joinable()) thread_.join();
}

void TaskScheduler::Sleep(std::chrono::milliseconds duration) {
    std::unique_lock<std::mutex> lock(wakeMutex_);
    wake_.wait_for(lock, duration, [this] { return shuttingDown_; });
}

void TaskScheduler::Run() {
    Sleep(timings_.threadStartDelay);
    port_.ShowStopStartButton(true, "Stop tasks");
    port_.ShowStatus(1, "Some Tasks are WORKING!!!");
    do {
        RunPass();
        Sleep(timings_.passInterval);
    } while (state_.Get() != ControllerState::StopRequested);
    // The port may wait for the interface thread, which may be about to start the scheduler
    // again and join this thread: the port is called first, and Idle is the very last step.
    port_.ShowStopStartButton(false, "Start tasks");
    port_.ShowStatus(1, "NO PROCESSING!!!");
    state_.Set(ControllerState::Idle);
}

void TaskScheduler::RunPass() {
    std::lock_guard<std::recursive_mutex> pass(runLock_);
    ++passCount_;
    const MigrationTask* previous = nullptr;
    size_t previousPosition = 0;
    // A stop does not end the pass: the remaining tasks are started and end at their first
    // stop check. The end of the list is read again after every task.
    while (TaskPtr task = tasks_.NextWaiting(previous, previousPosition)) {
        previousPosition = tasks_.PositionOf(task.get()).value_or(previousPosition);
        RunTask(task);
        previous = task.get();
    }
}

void TaskScheduler::RunTask(const TaskPtr& task) {
    const std::time_t now = std::time(nullptr);
    task->stamp = now;
    task->progress = 0;
    task->phase = TaskPhase::Working;
    port_.TaskListChanged();

    std::this_thread::sleep_for(timings_.workerStartDelay);
    bool succeeded = false;
    if (runner_) {
        succeeded = runner_(*task);
    } else {
        log_.WriteOutputLine("No worker for task type %d!", static_cast<int>(task->type));
    }
    RecordResult(task, succeeded);
}

void TaskScheduler::RecordResult(const TaskPtr& task, bool succeeded) {
    std::lock_guard<std::recursive_mutex> bookkeeping(runLock_);
    // The record is shared, so the result is recorded even when the user removed the task from
    // the list while it ran.
    task->status = succeeded ? kTaskSucceeded : kTaskFailed;
    task->phase = succeeded ? TaskPhase::Success : TaskPhase::Failure;
    log_.WriteText(succeeded ? "Operation completed SUCCESSFULLY!" : "Operation FAILURE!");
    if (tasks_.Empty() || !tasks_.AnyWaiting()) RequestStop();
    port_.TaskListChanged();
}

}  // namespace velmora
