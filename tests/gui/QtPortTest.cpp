// The desktop port: calls from another thread reach the interface thread in order and wait for
// it, questions are answered through real dialogs, and Shutdown never leaves a caller hanging.
#include <QApplication>
#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <future>
#include <thread>

#include "ChoiceDialog.h"
#include "GuiTestSupport.h"
#include "LogPane.h"
#include "PortView.h"
#include "QtPort.h"
#include "TextPromptDialog.h"
#include "tasks/OperationLog.h"

namespace velmora::test {

namespace {

using namespace std::chrono_literals;

// A view with a real log pane that also counts what it received, so a writer on another thread
// can tell whether its line was already shown when its call returned.
class RecordingView : public PortView {
public:
    void AppendLogLine(const QString& line) override {
        pane.AppendLine(line);
        ++linesShown;
    }
    void ShowHintText(const QString& text) override { hints << text; }
    void SetStatusText(int pane, const QString& text) override {
        statuses << QStringLiteral("%1:%2").arg(pane).arg(text);
    }
    void RefreshTree(TreeSide side) override { trees << static_cast<int>(side); }
    void RefreshTaskListSoon() override { ++taskListRefreshes; }
    void SetStopStartButton(bool pause, const QString& tooltip) override {
        buttons << QStringLiteral("%1:%2").arg(pause ? "pause" : "play", tooltip);
    }
    QWidget* DialogParent() override { return &pane; }

    LogPane pane;
    std::atomic<int> linesShown{0};
    QStringList hints, statuses, buttons;
    QList<int> trees;
    int taskListRefreshes = 0;
};

template <typename T>
bool Ready(std::future<T>& future) {
    return future.wait_for(0ms) == std::future_status::ready;
}

}  // namespace

class QtPortTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        view = std::make_unique<RecordingView>();
        port = std::make_unique<QtPort>();
        port->Attach(view.get());
    }
    void cleanup() {
        port->Shutdown();
        port.reset();
        view.reset();
    }

    void linesFromBothThreadsArriveInOrderAndTheWriterWaits() {
        OperationLog log(port.get());
        std::atomic<bool> returnedBeforeShown{false};
        std::thread worker([&] {
            for (int i = 0; i < 300; ++i) {
                const int before = view->linesShown.load();
                log.WriteOutputLine("worker %d", i);
                if (view->linesShown.load() <= before) returnedBeforeShown = true;
            }
        });
        for (int i = 0; i < 300; ++i) {
            log.WriteOutputLine("ui %d", i);
            QCoreApplication::processEvents();
        }
        QTRY_COMPARE_WITH_TIMEOUT(view->pane.count(), 600, 10000);
        worker.join();
        QVERIFY(!returnedBeforeShown);

        int nextWorker = 0, nextUi = 0;
        for (const QString& line : view->pane.lines()) {
            const QString message = line.mid(OperationLog::TimePrefix().size());
            if (message.startsWith("worker ")) {
                QCOMPARE(message, QStringLiteral("worker %1").arg(nextWorker++));
            } else {
                QCOMPARE(message, QStringLiteral("ui %1").arg(nextUi++));
            }
        }
        QCOMPARE(nextWorker, 300);
        QCOMPARE(nextUi, 300);
        QCOMPARE(view->pane.currentRow(), 599);  // the newest line is selected
    }

    void shutdownReleasesAWaitingCallerAndDropsItsQuestion() {
        ModalAnswerer answerer;
        // The interface thread does not run its event loop, so the question cannot be shown.
        auto asked = std::async(std::launch::async, [&] { return port->AskOkCancel("Stop?"); });
        QVERIFY(asked.wait_for(200ms) == std::future_status::timeout);
        port->Shutdown();
        QVERIFY(asked.wait_for(5s) == std::future_status::ready);
        QCOMPARE(asked.get(), false);
        // The abandoned question never pops up later, and later calls return at once.
        answerer.Press(QMessageBox::Ok);
        QTest::qWait(150);
        QCOMPARE(answerer.pending(), 1);
        auto later = std::async(std::launch::async, [&] {
            port->ShowOutputLine("after");
            return port->PromptText("DB Name:");
        });
        QVERIFY(later.wait_for(5s) == std::future_status::ready);
        QVERIFY(!later.get().has_value());
        QCOMPARE(view->pane.count(), 0);
    }

    void questionsFromAnotherThread_data() {
        QTest::addColumn<bool>("okCancel");
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("expected");
        QTest::newRow("OK") << true << int(QMessageBox::Ok) << true;
        QTest::newRow("Cancel") << true << int(QMessageBox::Cancel) << false;
        QTest::newRow("Yes") << false << int(QMessageBox::Yes) << true;
        QTest::newRow("No") << false << int(QMessageBox::No) << false;
    }
    void questionsFromAnotherThread() {
        QFETCH(bool, okCancel);
        QFETCH(int, button);
        QFETCH(bool, expected);
        ModalAnswerer answerer;
        answerer.Press(static_cast<QMessageBox::StandardButton>(button));
        const std::string text = "Remove database [x]?\nPress YES to Continue <b>Removing</b>!";
        auto answer = std::async(std::launch::async, [&] {
            return okCancel ? port->AskOkCancel(text) : port->AskYesNo(text);
        });
        QTRY_VERIFY_WITH_TIMEOUT(Ready(answer), 5000);
        QCOMPARE(answer.get(), expected);
        // Shown exactly as the core wrote it, markup included.
        QCOMPARE(answerer.seen(), QStringList{QString::fromStdString(text)});
    }

    void dbNamePrompt_data() {
        QTest::addColumn<bool>("fromWorker");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        QTest::newRow("typed, OK") << false << "sales2" << true;
        QTest::newRow("empty, OK: taken as typed") << false << "" << true;
        QTest::newRow("Cancel") << false << "sales2" << false;
        QTest::newRow("from the scheduler thread") << true << "from_worker" << true;
    }
    void dbNamePrompt() {
        QFETCH(bool, fromWorker);
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        ModalAnswerer answerer;
        QString label;
        answerer.Handle([&](QWidget* widget) {
            auto* dialog = qobject_cast<TextPromptDialog*>(widget);
            QVERIFY(dialog);
            label = dialog->findChild<QLabel*>()->text();
            QTest::keyClicks(dialog->findChild<QLineEdit*>(), typed);
            ok ? dialog->accept() : dialog->reject();
        });
        std::optional<std::string> result;
        if (fromWorker) {
            auto answer = std::async(std::launch::async, [&] { return port->PromptText("DB Name:"); });
            QTRY_VERIFY_WITH_TIMEOUT(Ready(answer), 5000);
            result = answer.get();
        } else {
            result = port->PromptText("DB Name:");
        }
        QCOMPARE(label, QStringLiteral("DB Name:"));
        QCOMPARE(result.has_value(), ok);
        if (ok) QCOMPARE(QString::fromStdString(*result), typed);
    }

    void characterSetChoiceShowsEveryOptionAsAButton() {
        const std::vector<std::string> sets = {
            "BIG5",  "DEC8",  "CP850",  "HP8",     "KOI8R",    "LATIN1", "LATIN2", "SWE7",
            "ASCII", "UJIS",  "SJIS",   "HEBREW",  "TIS620",   "EUCKR",  "KOI8U",  "GB2312",
            "GREEK", "CP1250", "GBK",   "LATIN5",  "ARMSCII8", "UTF8",   "UCS2",   "CP866",
            "KEYBCS2", "MACCE", "MACROMAN", "CP852", "LATIN7", "CP1251", "CP1256", "CP1257",
            "BINARY", "GEOSTD8", "CP932", "EUCJPMS"};
        ModalAnswerer answerer;
        int buttons = 0;
        QString preselected;
        answerer.Handle([&](QWidget* widget) {
            auto* dialog = qobject_cast<ChoiceDialog*>(widget);
            QVERIFY(dialog);
            for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
                if (!button->isCheckable()) continue;
                ++buttons;
                if (button->isChecked()) preselected = button->text();
                if (button->text() == "UTF8") QTest::mouseClick(button, Qt::LeftButton);
            }
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        answerer.Handle([](QWidget* widget) { static_cast<QDialog*>(widget)->reject(); });
        QCOMPARE(port->ChooseOne("Character Set", sets, 5), std::optional<int>(21));
        QCOMPARE(buttons, 36);
        QCOMPARE(preselected, QStringLiteral("LATIN1"));
        QCOMPARE(port->ChooseOne("Character Set", sets, 5), std::optional<int>());
    }

    void notificationsReachTheView() {
        std::thread worker([&] {
            port->ShowStatus(1, "Some Tasks are WORKING!!!");
            port->ShowHint("Please select a target Database!");
            port->TreeChanged(TreeSide::Target);
            port->TaskListChanged();
            port->ShowStopStartButton(true, "Stop tasks");
        });
        QTRY_COMPARE_WITH_TIMEOUT(view->buttons.size(), 1, 5000);
        worker.join();
        QCOMPARE(view->statuses, QStringList{"1:Some Tasks are WORKING!!!"});
        QCOMPARE(view->hints, QStringList{"Please select a target Database!"});
        QCOMPARE(view->trees, QList<int>{1});
        QCOMPARE(view->taskListRefreshes, 1);
        QCOMPARE(view->buttons, QStringList{"pause:Stop tasks"});
    }

private:
    std::unique_ptr<RecordingView> view;
    std::unique_ptr<QtPort> port;
};

VELMORA_GUI_TEST(QtPortTest)

}  // namespace velmora::test

#include "QtPortTest.moc"
