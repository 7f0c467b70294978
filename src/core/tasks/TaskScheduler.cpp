#include "tasks/TaskScheduler.h"

#include <system_error>

#include "data/ErrorText.h"

namespace velmora {

TaskScheduler::TaskScheduler(MainWindowModel& window, TaskList& tasks, WorkerBodies bodies,
                             SchedulerTimings timings)
    : window_(window), tasks_(tasks), bodies_(std::move(bodies)), timings_(timings) {}

TaskScheduler::~TaskScheduler() {
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        shuttingDown_ = true;
    }
    if (window_.controllerState() == ControllerState::Running) {
        window_.SetControllerState(ControllerState::StopRequested);
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void TaskScheduler::StartScheduler() {
    if (window_.controllerState() == ControllerState::Idle && StartThread()) {
        window_.port().ShowStopStartButton(true, "");
    }
    window_.port().TaskListChanged();
}

bool TaskScheduler::StartThread() {
    // A thread that ended on its own is collected before the next one starts.
    if (thread_.joinable()) thread_.join();
    try {
        window_.SetControllerState(ControllerState::Running);
        thread_ = std::thread(&TaskScheduler::Run, this);
    } catch (const std::system_error& error) {
        window_.SetControllerState(ControllerState::Idle);
        errno = error.code().value();
        window_.log().WriteText(FormatLastSystemError("Main Controller Error!"));
        return false;
    }
    std::this_thread::sleep_for(timings_.startWait);
    return true;
}

void TaskScheduler::StopStartCommand() {
    switch (window_.controllerState()) {
        case ControllerState::Running:
            if (window_.port().AskOkCancel("Some Tasks is Processing, STOP ALL?")) RequestStop();
            break;
        case ControllerState::StopRequested:
            window_.port().ShowMessage("Some Tasks is Stopping, Please Wait!!!");
            break;
        case ControllerState::Idle:
            window_.port().ShowStopStartButton(true, "");
            StartThread();
            break;
    }
}

void TaskScheduler::RequestStop() {
    window_.SetControllerState(ControllerState::StopRequested);
    window_.port().ShowStopStartButton(false, "");
}

bool TaskScheduler::CloseRequest() {
    if (window_.controllerState() == ControllerState::Running) {
        if (!window_.port().AskOkCancel("Some Tasks is Processing, STOP ALL and EXIT?")) {
            return false;
        }
        window_.SetControllerState(ControllerState::StopRequested);
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
    window_.port().ShowStopStartButton(true, "Stop tasks");
    window_.port().ShowStatus(1, "Some Tasks are WORKING!!!");
    do {
        RunPass();
        Sleep(timings_.passInterval);
    } while (window_.controllerState() != ControllerState::StopRequested);
    window_.SetControllerState(ControllerState::Idle);
    window_.port().ShowStopStartButton(false, "Start tasks");
    window_.port().ShowStatus(1, "NO PROCESSING!!!");
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
    window_.port().TaskListChanged();

    WorkerContext context;
    context.stamp = now;
    context.window = &window_;
    context.sourceConnection = &window_.sourceConnection();
    context.targetConnection = &window_.targetConnection();
    context.sourceObject = task->sourceObject;
    context.sourceDatabase = task->sourceDatabase;
    context.targetObject = task->targetObject;
    context.targetDatabase = task->targetDatabase;
    context.objectKind = task->objectKind;
    context.progress = &task->progress;

    std::this_thread::sleep_for(timings_.workerStartDelay);
    bool succeeded = false;
    auto body = bodies_.find(task->type);
    if (body != bodies_.end()) {
        succeeded = body->second(context);
    } else {
        window_.log().WriteOutputLine("No worker for task type %d!", static_cast<int>(task->type));
    }
    RecordResult(task, succeeded);
}

void TaskScheduler::RecordResult(const TaskPtr& task, bool succeeded) {
    std::lock_guard<std::recursive_mutex> bookkeeping(runLock_);
    // The record is shared, so the result is recorded even when the user removed the task from
    // the list while it ran.
    task->status = succeeded ? kTaskSucceeded : kTaskFailed;
    task->phase = succeeded ? TaskPhase::Success : TaskPhase::Failure;
    window_.log().WriteText(succeeded ? "Operation completed SUCCESSFULLY!" : "Operation FAILURE!");
    if (tasks_.Empty() || !tasks_.AnyWaiting()) RequestStop();
    window_.port().TaskListChanged();
}

}  // namespace velmora
