// The "Task List" tab: the ten columns, a progress bar per row, the refresh rule, the list
// commands of its tool bar and the Stop/Start button, on a real scheduler.
#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
#include <atomic>
#include <future>

#include "GuiTestSupport.h"
#include "MainWindow.h"
#include "TaskListView.h"

namespace velmora::test {

namespace {

using namespace std::chrono_literals;

std::shared_ptr<MigrationTask> NewTask(TaskType type, const std::string& object) {
    auto task = std::make_shared<MigrationTask>(type, 0);
    task->sourceDbms = "MySQL[10.11]";
    task->targetDbms = "Microsoft SQL Server[16.0]";
    task->sourceDatabase = "shop";
    task->targetDatabase = "shop_copy";
    task->sourceObject = object;
    return task;
}

QStringList Row(QTableWidget* grid, int row) {
    QStringList cells;
    for (int column = 0; column < grid->columnCount(); ++column) {
        cells << (grid->item(row, column) ? grid->item(row, column)->text() : QString());
    }
    return cells;
}

QAction* Button(TaskListView* view, const QString& name) {
    for (QAction* action : view->toolBar()->actions()) {
        if (action->text() == name) return action;
    }
    return nullptr;
}

}  // namespace

class TaskListViewTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        gate = std::make_shared<std::atomic<bool>>(false);
        MainWindowSetup setup;
        setup.source = std::make_unique<NotConnectedSide>();
        setup.target = std::make_unique<NotConnectedSide>();
        auto gateCopy = gate;
        // Every task reports 50 and waits for the gate, then succeeds, except tasks on the
        // table "broken", which fail.
        setup.taskRunner = [gateCopy](MigrationTask& task) {
            task.progress = 50;
            for (int i = 0; i < 1000 && !gateCopy->load(); ++i) std::this_thread::sleep_for(5ms);
            if (task.sourceObject == "broken") return false;
            task.progress = 100;
            return true;
        };
        setup.timings.passInterval = 50ms;
        setup.timings.threadStartDelay = 1ms;
        setup.timings.startWait = 1ms;
        setup.timings.workerStartDelay = 0ms;
        setup.timings.closeWait = 1ms;
        window = std::make_unique<MainWindow>(std::move(setup));
        window->show();
        view = window->taskListView();
        grid = view->grid();
    }
    void cleanup() {
        gate->store(true);
        window.reset();
    }

    void columnsAndToolBar() {
        QStringList titles;
        for (int column = 0; column < grid->columnCount(); ++column) {
            titles << grid->horizontalHeaderItem(column)->text();
        }
        QCOMPARE(titles, QStringList({"NO.", "Progress", "Type", "State", "Source DBMS",
                                      "Source DB", "Source T(V)", "Targert DBMS", "Target DB",
                                      "Target T(V)"}));
        // The given widths, widened where the longest fixed text would be cut.
        const QList<int> widths = {32, -1, 62, 60, 200, -1, -1, 200, -1, -1};
        for (int column : {0, 4, 7}) QCOMPARE(grid->columnWidth(column), widths[column]);
        const QFontMetrics metrics(grid->font());
        QVERIFY(grid->columnWidth(2) >= 62);
        QVERIFY(grid->columnWidth(2) > metrics.horizontalAdvance("MIGRATION"));
        QVERIFY(grid->columnWidth(3) >= 60);
        QVERIFY(grid->columnWidth(3) > metrics.horizontalAdvance("FAILURE"));
        QVERIFY(grid->showGrid());
        QCOMPARE(grid->selectionBehavior(), QAbstractItemView::SelectRows);

        QCOMPARE(view->toolBar()->windowTitle(), QStringLiteral("TasksViewer"));
        QStringList names;
        for (QAction* action : view->toolBar()->actions()) {
            names << action->text();
            QCOMPARE(action->toolTip(), action->text());
        }
        QCOMPARE(names, QStringList({"Clear All Tasks", "Delete", "Item Down", "Item Up",
                                     "Stop Tasks", "Report"}));
        QVERIFY(!view->showsPausePicture());
    }

    void rowsAndProgressBarsThroughARun() {
        window->tasks().Append(NewTask(TaskType::Table, "orders"));
        window->tasks().Append(NewTask(TaskType::Table, "broken"));
        window->RefreshTaskList();
        QCOMPARE(grid->rowCount(), 2);
        QCOMPARE(Row(grid, 0), QStringList({"01", " ", "MIGRATION", "Waiting", "MySQL[10.11]",
                                            "shop", "orders", "Microsoft SQL Server[16.0]",
                                            "shop_copy", ""}));
        // A waiting task shows 5 in its bar.
        QProgressBar* bar = view->progressBar(0);
        QVERIFY(bar);
        QCOMPARE(bar->value(), 5);
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
        QVERIFY(bar->styleSheet().contains(QStringLiteral("rgb(27, 156, 213)")));
        QCOMPARE(bar->geometry(), grid->visualRect(grid->model()->index(0, 1)));

        window->scheduler().StartScheduler();
        QVERIFY(view->showsPausePicture());
        // The scheduler asked for a refresh: the next tick rebuilds the list.
        QTRY_COMPARE_WITH_TIMEOUT(Row(grid, 0)[3], QStringLiteral("Working"), 5000);
        QCOMPARE(view->progressBar(0)->value(), 50);
        QCOMPARE(window->statusPane(1)->text(), QStringLiteral("Some Tasks are WORKING!!!"));

        gate->store(true);
        QTRY_COMPARE_WITH_TIMEOUT(Row(grid, 1)[3], QStringLiteral("FAILURE"), 8000);
        QCOMPARE(Row(grid, 0)[3], QStringLiteral("SUCCESS"));
        QCOMPARE(view->progressBar(0)->value(), 100);
        QCOMPARE(view->progressBar(1)->value(), 50);
        // With nothing left to run the scheduler stops itself.
        QTRY_COMPARE_WITH_TIMEOUT(window->statusPane(1)->text(), QStringLiteral("NO PROCESSING!!!"),
                                  5000);
        QVERIFY(!view->showsPausePicture());
        QCOMPARE(view->stopStartAction()->toolTip(), QStringLiteral("Start tasks"));
    }

    void refreshRuleEveryFifthTickOnTheTaskListTab() {
        window->tasks().Append(NewTask(TaskType::Database, ""));
        window->lowerTabs()->setCurrentIndex(0);  // Log
        for (int i = 0; i < 10; ++i) window->Tick();
        QCOMPARE(grid->rowCount(), 0);
        window->lowerTabs()->setCurrentWidget(view);
        for (int i = 0; i < 4; ++i) window->Tick();
        QCOMPARE(grid->rowCount(), 0);
        window->Tick();
        QCOMPARE(grid->rowCount(), 1);
        QCOMPARE(Row(grid, 0)[0], QStringLiteral("01"));
    }

    void listCommands() {
        for (const char* name : {"a", "b", "c", "d"}) {
            window->tasks().Append(NewTask(TaskType::Table, name));
        }
        window->RefreshTaskList();
        auto objects = [this] {
            QStringList names;
            for (int row = 0; row < grid->rowCount(); ++row) names << Row(grid, row)[6];
            return names;
        };
        // Nothing selected: the commands do nothing.
        Button(view, "Delete")->trigger();
        Button(view, "Item Up")->trigger();
        QCOMPARE(objects(), QStringList({"a", "b", "c", "d"}));

        view->SelectRow(1);
        Button(view, "Item Up")->trigger();
        QCOMPARE(objects(), QStringList({"b", "a", "c", "d"}));
        QCOMPARE(view->selectedRow(), 0);
        Button(view, "Item Up")->trigger();  // the first row stays first
        QCOMPARE(objects(), QStringList({"b", "a", "c", "d"}));

        view->SelectRow(2);
        Button(view, "Item Down")->trigger();
        QCOMPARE(objects(), QStringList({"b", "a", "d", "c"}));
        QCOMPARE(view->selectedRow(), 3);
        Button(view, "Item Down")->trigger();  // the last row stays last
        QCOMPARE(objects(), QStringList({"b", "a", "d", "c"}));

        view->SelectRow(1);
        Button(view, "Delete")->trigger();
        QCOMPARE(objects(), QStringList({"b", "d", "c"}));
        QCOMPARE(Row(grid, 2)[0], QStringLiteral("03"));
        QCOMPARE(window->tasks().Size(), size_t{3});

        Button(view, "Clear All Tasks")->trigger();
        QCOMPARE(grid->rowCount(), 0);
        QVERIFY(window->tasks().Empty());
    }

    void stopStartButton() {
        ModalAnswerer answerer;
        window->tasks().Append(NewTask(TaskType::Table, "orders"));
        QAction* stopStart = view->stopStartAction();
        stopStart->trigger();  // Idle: starts
        QCOMPARE(window->model().controllerState(), ControllerState::Running);
        QVERIFY(view->showsPausePicture());

        answerer.Press(QMessageBox::Cancel);
        stopStart->trigger();  // Running: asks; Cancel keeps it running
        QCOMPARE(window->model().controllerState(), ControllerState::Running);
        answerer.Press(QMessageBox::Ok);
        stopStart->trigger();
        QCOMPARE(answerer.seen(), QStringList({"Some Tasks is Processing, STOP ALL?",
                                               "Some Tasks is Processing, STOP ALL?"}));
        QCOMPARE(window->model().controllerState(), ControllerState::StopRequested);
        QVERIFY(!view->showsPausePicture());

        answerer.Press(QMessageBox::Ok);
        stopStart->trigger();  // Stopping: says so
        QCOMPARE(answerer.seen().last(), QStringLiteral("Some Tasks is Stopping, Please Wait!!!"));
        gate->store(true);
        QTRY_COMPARE_WITH_TIMEOUT(window->model().controllerState(), ControllerState::Idle, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(stopStart->toolTip(), QStringLiteral("Start tasks"), 5000);
    }

private:
    std::shared_ptr<std::atomic<bool>> gate;
    std::unique_ptr<MainWindow> window;
    TaskListView* view = nullptr;
    QTableWidget* grid = nullptr;
};

VELMORA_GUI_TEST(TaskListViewTest)

}  // namespace velmora::test

#include "TaskListViewTest.moc"
