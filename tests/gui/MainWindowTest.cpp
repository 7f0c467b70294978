// The main window as the user sees it: title, menus, tool bar, the two tree panes, the lower
// tabs, the hint pane, the status bar, the keys that must not close it, and closing with and
// without the running-task question.
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSplitter>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <future>

#include "GuiTestSupport.h"
#include "HintPane.h"
#include "LogPane.h"
#include "MainWindow.h"

namespace velmora::test {

namespace {

using namespace std::chrono_literals;

SchedulerTimings FastTimings() {
    SchedulerTimings timings;
    timings.passInterval = 50ms;
    timings.threadStartDelay = 1ms;
    timings.startWait = 1ms;
    timings.workerStartDelay = 0ms;
    timings.closeWait = 10ms;
    return timings;
}

// A window whose every task type runs `body`.
std::unique_ptr<MainWindow> NewWindow(TaskRunner body = [](MigrationTask&) { return true; }) {
    MainWindowSetup setup;
    setup.source = std::make_unique<NotConnectedSide>();
    setup.target = std::make_unique<NotConnectedSide>();
    setup.taskRunner = std::move(body);
    setup.timings = FastTimings();
    auto window = std::make_unique<MainWindow>(std::move(setup));
    window->show();
    return window;
}

QStringList Texts(const QList<QAction*>& actions) {
    QStringList texts;
    for (QAction* action : actions) {
        if (!action->isSeparator()) texts << action->text();
    }
    return texts;
}

// Records the URLs the desktop was asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void titleToolBarAndPanes() {
        auto window = NewWindow();
        QCOMPARE(window->windowTitle(), QStringLiteral("MySQL To MSSQL Velmora Version: 1.5"));

        auto* tools = window->findChild<QToolBar*>(QStringLiteral("commands"));
        QVERIFY(tools);
        QCOMPARE(tools->iconSize(), QSize(24, 24));
        QStringList captions, tips;
        for (QAction* action : tools->actions()) {
            captions << action->text();
            tips << action->toolTip();
            QVERIFY(!action->icon().isNull());
        }
        QCOMPARE(captions, QStringList({" Configure ", " Connect ", " Migrate ", " Delete ",
                                        " Backup "}));
        QCOMPARE(tips, QStringList({"Database Connections Config", "Connect the DataSources",
                                    "Convert from source into target",
                                    "Delete the selected object", "Backup the selected object"}));

        QCOMPARE(window->paneTitle(TreeSide::Source)->text(), QStringLiteral("MySQL"));
        QCOMPARE(window->paneTitle(TreeSide::Target)->text(), QStringLiteral("MSSQL"));
        const QList<int> sizes = window->explorer()->sizes();
        QCOMPARE(sizes.size(), 2);
        QVERIFY2(std::abs(sizes[0] - sizes[1]) <= 2, "the two trees share the width equally");
    }

    // Online migration: a database migration queued while it is checked follows the source.
    void followChangesIsAChoiceOfTheTasksQueuedFromNowOn() {
        auto window = NewWindow();
        QAction* follow = window->findAction(QStringLiteral("Follow Changes"));
        QVERIFY(follow && follow->isCheckable() && !follow->isChecked());
        follow->trigger();
        QVERIFY(window->model().options().follow);
        QVERIFY(window->model().options().ForTask().follow);
        follow->trigger();
        QVERIFY(!window->model().options().follow);
    }

    void menuBar_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("Connect") << 0 << "&Connect"
                                 << QStringList{"&Config", "Co&nnect", "Driver Check", "E&xit"};
        QTest::newRow("Operation") << 1 << "&Operation"
                                   << QStringList{"Migrate", "Delete Selected", "&Backup", "&Verify",
                                                  "&Assess", "Verify After Migration", "Follow Changes",
                                                  "Cut Over"};
        QTest::newRow("Databases") << 2 << "D&atabases"
                                   << QStringList{"New Database", "Change Charset",
                                                  "Change Storage Engine(MyISAM)"};
        QTest::newRow("Database") << 3 << "&Database"
                                  << QStringList{"Delete Database", "Clear all tables",
                                                 "Clear all Data"};
        QTest::newRow("Table") << 4 << "&Table"
                               << QStringList{"Migration Condition", "Drop Table", "Drop View",
                                              "Rename Table"};
        QTest::newRow("Help") << 5 << "&Help" << QStringList{"&Manual"};
        QTest::newRow("About") << 6 << "&About" << QStringList{};
    }
    void menuBar() {
        QFETCH(int, id);
        QFETCH(QString, title);
        QFETCH(QStringList, items);
        auto window = NewWindow();
        QAction* entry = window->menuEntry(id);
        QVERIFY(entry);
        QCOMPARE(entry->text(), title);
        QCOMPARE(window->menuBar()->actions().indexOf(entry), id);
        QCOMPARE(Texts(entry->menu() ? entry->menu()->actions() : QList<QAction*>{}), items);
        // With nothing selected in either tree, the three selection menus are hidden.
        QCOMPARE(entry->isVisible(), id < 2 || id > 4);
    }

    void lowerTabsAndHintPane() {
        auto window = NewWindow();
        QTabWidget* tabs = window->lowerTabs();
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Log"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Task List"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("Tips"));
        QCOMPARE(tabs->currentIndex(), 1);

        HintPane* hints = window->hintPane();
        QCOMPARE(hints->toPlainText(),
                 QStringLiteral("F1 to Help:\nBefore you fill out connection properties, Please "
                                "confirm that your ODBC/OLEDB config is true !"));
        QVERIFY(hints->isReadOnly());
        QVERIFY(hints->font().bold());
        QCOMPARE(hints->font().pointSize(), 12);
        QCOMPARE(hints->palette().color(QPalette::Text), QColor(255, 0, 0));

        // A hint replaces the one before and brings the Tips tab to the front.
        window->port().ShowHint("Please select a target Database!");
        QCOMPARE(hints->toPlainText(), QStringLiteral("F1 to Help:\nPlease select a target Database!"));
        QCOMPARE(tabs->currentWidget(), static_cast<QWidget*>(hints));

        // Tips off: the tab goes, hints are still written to the hidden pane.
        window->SetTipsTabVisible(false);
        QCOMPARE(tabs->count(), 2);
        tabs->setCurrentIndex(0);
        window->port().ShowHint("Press Config button!");
        QCOMPARE(hints->hint(), QStringLiteral("Press Config button!"));
        QCOMPARE(tabs->currentIndex(), 0);
        window->SetTipsTabVisible(true);
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(2), QStringLiteral("Tips"));
    }

    void statusBar() {
        auto window = NewWindow();
        window->resize(1200, 700);
        QCOMPARE(window->statusPane(0)->text(), window->windowTitle());
        QCOMPARE(window->statusPane(1)->text(), QStringLiteral("Main Controller:IDLE"));
        const QRegularExpression clock(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"));
        QVERIFY(clock.match(window->statusPane(2)->text()).hasMatch());
        QCOMPARE(window->statusPane(0)->width(), 1200 * 5 / 8);
        QCOMPARE(window->statusPane(1)->width(), 1200 * 2 / 8);
        QVERIFY(window->statusPane(2)->width() >= 42);
        // The clock pane shows the whole time.
        QVERIFY(window->statusPane(2)->contentsRect().width() >=
                window->statusPane(2)->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")));
        window->statusPane(2)->setText(QString());
        window->Tick();
        QVERIFY(clock.match(window->statusPane(2)->text()).hasMatch());
    }

    void enterAndEscapeNeverCloseTheWindow() {
        auto window = NewWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QList<QWidget*> targets = {window.get(), window->logPane(), window->hintPane(),
                                   window->explorer()};
        for (QWidget* target : targets) {
            target->setFocus();
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
                QTest::keyClick(target, key);
                QCoreApplication::processEvents();
                QVERIFY(window->isVisible());
            }
        }
    }

    void exitClosesAtOnceWhileATaskRuns() {
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        auto window = NewWindow([released](MigrationTask&) {
            released.wait_for(10s);
            return true;
        });
        ModalAnswerer answerer;
        window->tasks().Append(std::make_shared<MigrationTask>(TaskType::Table, 0));
        window->scheduler().StartScheduler();
        QCOMPARE(window->model().controllerState(), ControllerState::Running);
        window->findAction(QStringLiteral("E&xit"))->trigger();
        QVERIFY(!window->isVisible());
        QVERIFY(answerer.seen().isEmpty());
        release.set_value();
    }

    void closeButtonAsksWhileATaskRuns() {
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        auto window = NewWindow([released](MigrationTask&) {
            released.wait_for(10s);
            return true;
        });
        ModalAnswerer answerer;
        window->tasks().Append(std::make_shared<MigrationTask>(TaskType::Table, 0));
        window->scheduler().StartScheduler();

        answerer.Press(QMessageBox::Cancel);
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
        QCOMPARE(window->model().controllerState(), ControllerState::Running);

        answerer.Press(QMessageBox::Ok);
        QVERIFY(window->close());
        QCOMPARE(answerer.seen(),
                 QStringList({"Some Tasks is Processing, STOP ALL and EXIT?",
                              "Some Tasks is Processing, STOP ALL and EXIT?"}));
        QCOMPARE(window->model().controllerState(), ControllerState::StopRequested);
        release.set_value();
    }

    void closeWhenIdleDoesNotAsk() {
        auto window = NewWindow();
        ModalAnswerer answerer;
        QVERIFY(window->close());
        QVERIFY(answerer.seen().isEmpty());
    }

    void f1OpensTheManual() {
        QTemporaryDir home;
        QFile manual(QDir(home.path()).filePath("manual.html"));
        QVERIFY(manual.open(QIODevice::WriteOnly));
        manual.write("<html><title>Velmora</title></html>");
        manual.close();
        const QByteArray previousHome = qgetenv("VELMORA_HOME");
        qputenv("VELMORA_HOME", home.path().toUtf8());
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");

        auto window = NewWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_F1);
        window->findAction(QStringLiteral("&Manual"))->trigger();
        QCOMPARE(recorder.opened.size(), 2);
        QCOMPARE(recorder.opened[0], QUrl::fromLocalFile(manual.fileName()));

        // A missing manual is reported in the log, and nothing is opened.
        manual.remove();
        window->findAction(QStringLiteral("&Manual"))->trigger();
        QCOMPARE(recorder.opened.size(), 2);
        QVERIFY(window->logPane()->lines().last().endsWith(
            QStringLiteral("Can not open the manual [%1]!").arg(manual.fileName())));

        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        qputenv("VELMORA_HOME", previousHome);
    }
};

VELMORA_GUI_TEST(MainWindowTest)

}  // namespace velmora::test

#include "MainWindowTest.moc"
