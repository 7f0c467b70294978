#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <future>
#include <thread>
#include <mutex>
#include <string>
#include <vector>

#include "commands/MainWindowModel.h"
#include "support/ScriptedPort.h"
#include "tasks/TaskList.h"
#include "tasks/TaskListRows.h"
#include "tasks/TaskScheduler.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

// A side that is never connected: the scheduler only hands it to the worker bodies.
class UnconnectedSide : public DataSourceConnection {
public:
    ResultCode Open(std::string_view, const PropertySet&) override { return kFailure; }
    ResultCode OpenSession() override { return kFailure; }
    Session* session() override { return nullptr; }
    ResultCode GetProperty(uint32_t, std::string&) override { return kFailure; }
    void Close() override {}
    std::string ProviderErrorText() const override { return "Unknown Error!"; }
};

// Production intervals shortened; the order of events is what the tests check.
SchedulerTimings FastTimings() {
    SchedulerTimings t;
    t.passInterval = 30ms;
    t.threadStartDelay = 1ms;
    t.startWait = 1ms;
    t.workerStartDelay = 0ms;
    t.closeWait = 1ms;
    return t;
}

TaskPtr NewTask(const std::string& name, TaskType type = TaskType::Table) {
    auto task = std::make_shared<MigrationTask>(type, 0);
    task->sourceObject = name;
    return task;
}

class SchedulerTest : public testing::Test {
protected:
    SchedulerTest()
        : window(port, std::make_unique<UnconnectedSide>(), std::make_unique<UnconnectedSide>()) {}

    // Every task runs `body`.
    TaskRunner AllTypes(std::function<bool(MigrationTask&)> body) { return body; }

    std::vector<std::string> Ran() {
        std::lock_guard<std::mutex> lock(mutex);
        return ran;
    }

    test::ScriptedPort port;
    MainWindowModel window;
    TaskList list;
    std::mutex mutex;
    std::vector<std::string> ran;
};

TEST_F(SchedulerTest, RunsWaitingTasksInListOrderInOnePassThenStopsItself) {
    for (const char* name : {"a", "b", "c"}) list.Append(NewTask(name));
    TaskScheduler scheduler(window.controller(), window.port(), window.log(), list, AllTypes([this](MigrationTask& context) {
        std::lock_guard<std::mutex> lock(mutex);
        ran.push_back(context.sourceObject);
        context.progress = 100;
        return true;
    }), FastTimings());
    scheduler.StartScheduler();
    scheduler.WaitUntilIdle();
    EXPECT_EQ(Ran(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(scheduler.passCount(), 1u);
    EXPECT_EQ(window.controllerState(), ControllerState::Idle);
    for (const TaskPtr& task : list.Snapshot()) {
        EXPECT_EQ(task->status.load(), kTaskSucceeded);
        EXPECT_STREQ(PhaseText(task->phase), "SUCCESS");
        EXPECT_EQ(task->progress.load(), 100);
    }
    const std::vector<std::string> messages = window.log().Messages();
    EXPECT_EQ(std::count(messages.begin(), messages.end(), "Operation completed SUCCESSFULLY!"),
              3);
    EXPECT_EQ(port.StatusTexts(1),
              (std::vector<std::string>{"Some Tasks are WORKING!!!", "NO PROCESSING!!!"}));
    std::vector<std::string> events = port.Events();
    EXPECT_NE(std::find(events.begin(), events.end(), "stop-start: play \"Start tasks\""),
              events.end());
}

TEST_F(SchedulerTest, TaskAddedDuringARunAfterTheRunningOneStartsInTheSamePass) {
    list.Append(NewTask("first"));
    list.Append(NewTask("second"));
    TaskScheduler scheduler(window.controller(), window.port(), window.log(), list, AllTypes([this](MigrationTask& context) {
        if (context.sourceObject == "first") list.Append(NewTask("added"));
        std::lock_guard<std::mutex> lock(mutex);
        ran.push_back(context.sourceObject);
        return true;
    }), FastTimings());
    scheduler.StartScheduler();
    scheduler.WaitUntilIdle();
    EXPECT_EQ(Ran(), (std::vector<std::string>{"first", "second", "added"}));
    EXPECT_EQ(scheduler.passCount(), 1u);
}

TEST_F(SchedulerTest, StopDuringTheFirstTaskStillStartsTheOthersInThatPass) {
    for (const char* name : {"a", "b", "c"}) list.Append(NewTask(name));
    std::vector<bool> sawStop;
    TaskScheduler* self = nullptr;
    TaskScheduler scheduler(window.controller(), window.port(), window.log(), list, AllTypes([&](MigrationTask& context) {
        if (context.sourceObject == "a") self->RequestStop();
        sawStop.push_back(window.StopRequested());
        return true;
    }), FastTimings());
    self = &scheduler;
    scheduler.StartScheduler();
    scheduler.WaitUntilIdle();
    EXPECT_EQ(sawStop, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(scheduler.passCount(), 1u);
    EXPECT_EQ(window.controllerState(), ControllerState::Idle);
}

TEST_F(SchedulerTest, FailedWorkIsRecordedAsFailure) {
    list.Append(NewTask("bad"));
    TaskScheduler scheduler(window.controller(), window.port(), window.log(), list, AllTypes([](MigrationTask&) { return false; }),
                            FastTimings());
    scheduler.StartScheduler();
    scheduler.WaitUntilIdle();
    EXPECT_EQ(list.At(0)->status.load(), kTaskFailed);
    EXPECT_STREQ(PhaseText(list.At(0)->phase), "FAILURE");
    EXPECT_EQ(window.log().Messages().back(), "Operation FAILURE!");
}

TEST_F(SchedulerTest, ListEditsDuringARunNeverTouchTheRunningRecord) {
    list.Append(NewTask("running"));
    list.Append(NewTask("next"));
    std::mutex gate;
    std::condition_variable changed;
    bool started = false;
    bool edited = false;
    TaskScheduler scheduler(window.controller(), window.port(), window.log(), list, AllTypes([&](MigrationTask& context) {
        if (context.sourceObject == "running") {
            std::unique_lock<std::mutex> lock(gate);
            started = true;
            changed.notify_all();
            changed.wait(lock, [&] { return edited; });
            context.progress = 90;  // the record must still be alive
        }
        std::lock_guard<std::mutex> lock(mutex);
        ran.push_back(context.sourceObject);
        return true;
    }), FastTimings());
    TaskPtr running = list.At(0);
    scheduler.StartScheduler();
    {
        std::unique_lock<std::mutex> lock(gate);
        changed.wait(lock, [&] { return started; });
        // The interface thread moves, deletes and clears while the task runs.
        EXPECT_TRUE(list.MoveDown(0));
        EXPECT_TRUE(list.MoveUp(1));
        EXPECT_TRUE(list.RemoveAt(0));
        list.Append(NewTask("queued later"));
        edited = true;
        changed.notify_all();
    }
    scheduler.WaitUntilIdle();
    EXPECT_EQ(running->progress.load(), 90);
    EXPECT_EQ(running->status.load(), kTaskSucceeded);
    EXPECT_EQ(Ran(), (std::vector<std::string>{"running", "next", "queued later"}));
}

TEST_F(SchedulerTest, CloseRequestAsksWhileRunning) {
    list.Append(NewTask("long"));
    std::mutex gate;
    std::condition_variable released;
    bool release = false;
    TaskScheduler scheduler(window.controller(), window.port(), window.log(), list, AllTypes([&](MigrationTask&) {
        std::unique_lock<std::mutex> lock(gate);
        released.wait(lock, [&] { return release; });
        return true;
    }), FastTimings());
    scheduler.StartScheduler();
    port.QueueAnswer(false);
    EXPECT_FALSE(scheduler.CloseRequest());
    EXPECT_EQ(window.controllerState(), ControllerState::Running);
    port.QueueAnswer(true);
    EXPECT_TRUE(scheduler.CloseRequest());
    EXPECT_EQ(window.controllerState(), ControllerState::StopRequested);
    EXPECT_EQ(port.Questions(), (std::vector<std::string>{
                                    "Some Tasks is Processing, STOP ALL and EXIT?",
                                    "Some Tasks is Processing, STOP ALL and EXIT?"}));
    {
        std::lock_guard<std::mutex> lock(gate);
        release = true;
    }
    released.notify_all();
    scheduler.WaitUntilIdle();
    EXPECT_EQ(window.controllerState(), ControllerState::Idle);
    // Idle: closing asks nothing.
    EXPECT_TRUE(scheduler.CloseRequest());
    EXPECT_EQ(port.Questions().size(), 2u);
}

TEST_F(SchedulerTest, StopStartButtonFollowsTheState) {
    TaskScheduler scheduler(window.controller(), window.port(), window.log(), list, AllTypes([](MigrationTask&) { return true; }),
                            FastTimings());
    scheduler.StopStartCommand();  // Idle: starts, and keeps polling an empty list
    EXPECT_EQ(window.controllerState(), ControllerState::Running);
    port.QueueAnswer(false);
    scheduler.StopStartCommand();  // Cancel changes nothing
    EXPECT_EQ(window.controllerState(), ControllerState::Running);
    port.QueueAnswer(true);
    scheduler.StopStartCommand();
    EXPECT_EQ(window.controllerState(), ControllerState::StopRequested);
    scheduler.StopStartCommand();
    EXPECT_EQ(port.Messages(), (std::vector<std::string>{"Some Tasks is Stopping, Please Wait!!!"}));
    scheduler.WaitUntilIdle();
    EXPECT_EQ(window.controllerState(), ControllerState::Idle);
}

TEST(TaskList, MovesAtTheEndsChangeNothing) {
    TaskList list;
    for (const char* name : {"a", "b", "c"}) list.Append(NewTask(name));
    EXPECT_FALSE(list.MoveUp(0));
    EXPECT_FALSE(list.MoveDown(2));
    EXPECT_FALSE(list.MoveDown(7));
    EXPECT_TRUE(list.MoveUp(1));
    std::vector<std::string> order;
    for (const TaskPtr& task : list.Snapshot()) order.push_back(task->sourceObject);
    EXPECT_EQ(order, (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_FALSE(list.RemoveAt(3));
    EXPECT_TRUE(list.RemoveAt(1));
    EXPECT_EQ(list.Size(), 2u);
}

TEST(TaskList, NewRecordIsWaitingWithNoProgress) {
    MigrationTask task(TaskType::Database, 1234);
    EXPECT_EQ(task.status.load(), kTaskWaiting);
    EXPECT_STREQ(PhaseText(task.phase), "Waiting");
    EXPECT_EQ(task.progress.load(), 0);
    EXPECT_EQ(task.category(), TaskCategory::Migration);
    EXPECT_EQ(MigrationTask(TaskType::BackupObject, 0).category(), TaskCategory::Backup);
}

TEST(TaskList, SlotsKeep255BytesWithoutSplittingACharacter) {
    EXPECT_EQ(CutToSlot(std::string(300, 'x')), std::string(255, 'x'));
    EXPECT_EQ(CutToSlot(std::string(254, 'x') + "\xc3\xa9"), std::string(254, 'x'));
    EXPECT_EQ(CutToSlot("short"), "short");
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

TEST(TaskListRows, ShowsNumberTypeStateAndNamesWithWaitingProgressFive) {
    TaskList list;
    for (int i = 0; i < 100; ++i) {
        auto task = std::make_shared<MigrationTask>(i == 1 ? TaskType::BackupObject : TaskType::Table, 0);
        task->sourceDbms = "MySQL[10.11]";
        task->sourceDatabase = "shop";
        task->sourceObject = "orders";
        task->targetDatabase = "sales";
        list.Append(task);
    }
    list.At(2)->progress = 40;
    list.At(2)->phase = TaskPhase::Working;
    std::vector<TaskListRow> rows = BuildTaskListRows(list);
    ASSERT_EQ(rows.size(), 100u);
    EXPECT_EQ(rows[0].cells, (std::array<std::string, 10>{"01", " ", "MIGRATION", "Waiting",
                                                          "MySQL[10.11]", "shop", "orders", "",
                                                          "sales", ""}));
    EXPECT_EQ(rows[0].progress, 5);
    EXPECT_EQ(rows[1].cells[2], "BACKUP");
    EXPECT_EQ(rows[2].cells[3], "Working");
    EXPECT_EQ(rows[2].progress, 40);
    EXPECT_EQ(rows[99].cells[0], "100");
    // A following task shows its lag as its state while it works, and its phase once done.
    list.At(2)->SetNote("Following, lag 0.4 s");
    EXPECT_EQ(BuildTaskListRows(list)[2].cells[3], "Following, lag 0.4 s");
    list.At(2)->phase = TaskPhase::Success;
    EXPECT_EQ(BuildTaskListRows(list)[2].cells[3], "SUCCESS");
    // Started later: the task shows 0 until its first milestone.
    list.At(0)->progress = 0;
    EXPECT_EQ(BuildTaskListRows(list)[0].progress, 0);
}

TEST(TaskListRows, RebuildsEveryFifthTickOrAtOnceOnRequest) {
    RefreshTicker ticker;
    std::vector<bool> rebuilt;
    for (int i = 0; i < 10; ++i) rebuilt.push_back(ticker.Tick(true));
    EXPECT_EQ(rebuilt, (std::vector<bool>{false, false, false, false, true, false, false, false,
                                          false, true}));
    EXPECT_FALSE(ticker.Tick(false));
    ticker.RequestListRefresh();
    EXPECT_FALSE(ticker.Tick(false));  // only while the tab is current
    EXPECT_TRUE(ticker.Tick(true));
}

// The interface thread is busy in the scheduler's last call into it (a queued call waits for
// it) and, in that moment, the user presses Migrate: StartScheduler on the interface thread. Once
// the scheduler said Idle before that call, so the interface thread joined the scheduler thread,
// which waited for the interface thread: both waited forever.
class InterfaceThreadPort : public test::ScriptedPort {
public:
    std::function<void()> onLastButton;
    void ShowStopStartButton(bool pausePicture, const std::string& tooltip) override {
        ScriptedPort::ShowStopStartButton(pausePicture, tooltip);
        if (!pausePicture && tooltip == "Start tasks" && onLastButton) {
            std::function<void()> once = std::move(onLastButton);
            onLastButton = nullptr;
            once();
        }
    }
};

TEST(SchedulerDeadlock, StartingAgainDuringTheLastInterfaceCallDoesNotWaitForever) {
    InterfaceThreadPort port;
    MainWindowModel window(port, std::make_unique<UnconnectedSide>(),
                           std::make_unique<UnconnectedSide>());
    TaskList list;
    list.Append(NewTask("a"));
    TaskScheduler scheduler(window.controller(), port, window.log(), list,
                            [](MigrationTask&) { return true; }, FastTimings());
    std::promise<void> answered;
    std::future<void> interfaceDone = answered.get_future();
    std::thread interfaceThread;
    port.onLastButton = [&] {
        // The scheduler thread waits here until the "interface thread" has run the command.
        interfaceThread = std::thread([&] {
            scheduler.StartScheduler();
            answered.set_value();
        });
        // (bounded, so that a regression fails the test instead of hanging the suite)
        interfaceDone.wait_for(3s);
    };
    const auto started = std::chrono::steady_clock::now();
    scheduler.StartScheduler();
    scheduler.WaitUntilIdle();
    while (!interfaceThread.joinable()) std::this_thread::sleep_for(1ms);
    interfaceThread.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s)
        << "the interface thread waited for the scheduler thread, which waited for it";
    scheduler.WaitUntilIdle();
    EXPECT_EQ(window.controllerState(), ControllerState::Idle);
}

}  // namespace
}  // namespace velmora