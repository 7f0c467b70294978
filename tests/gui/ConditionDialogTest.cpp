// The Migration Condition dialog on the real local MariaDB: Test counts the rows the condition
// selects, Save is enabled only by a successful Test and stores the tested text, Close writes
// nothing, and the editor stops at 1,024 characters.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "ConditionDialog.h"
#include "GuiTestSupport.h"
#include "MainWindow.h"
#include "data/OdbcConnection.h"
#include "support/ConversionFixture.h"
#include "support/LocalMariaDb.h"
#include "support/TargetDouble.h"

namespace velmora::test {

namespace {

const char* const kDatabase = "velmora_gui_condition";

QString StoredConditions(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

}  // namespace

class ConditionDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        std::string rows;
        for (int id = 1; id <= 42; ++id) {
            rows += (id > 1 ? "," : "") + std::string("(") + std::to_string(id) + ",'" +
                    (id % 2 ? "open" : "cancelled") + "')";
        }
        RunMariaDbClient(std::string("drop database if exists ") + kDatabase + "; create database " +
                         kDatabase + "; use " + kDatabase +
                         "; create table orders (id int primary key, status varchar(20));"
                         " insert into orders values " + rows + ";");
        MainWindowSetup setup;
        setup.source = NewOdbcConnection();
        setup.target = std::make_unique<TargetDouble>();
        window = std::make_unique<MainWindow>(std::move(setup));
        QCOMPARE(ConnectLocalMariaDb(window->model().sourceConnection(), kDatabase), kSuccess);
    }
    void cleanupTestCase() {
        window.reset();
        RunMariaDbClient(std::string("drop database if exists ") + kDatabase + ";");
    }
    void init() { QFile::remove(QString::fromStdString(window->model().conditionFilePath())); }

    void opensWithTheStoredConditionAndTestsIt() {
        ConditionDialogModel model(window->model().log(), window->model().sourceSession(),
                                   window->model().conditionFilePath(), kDatabase,
                                   "orders");
        ConditionDialog dialog(model, window.get());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Migration Condition"));
        QCOMPARE(dialog.queryLabel()->text(), QStringLiteral("select * from orders where"));
        QVERIFY(dialog.editor()->toPlainText().isEmpty());
        QVERIFY(!dialog.saveButton()->isEnabled());
        QVERIFY(dialog.testButton()->isDefault());
        // Opening the dialog created an empty Condition.cfg.
        QVERIFY(QFile::exists(QString::fromStdString(window->model().conditionFilePath())));

        QTest::mouseClick(dialog.testButton(), Qt::LeftButton);
        QCOMPARE(dialog.resultBox()->toPlainText(),
                 QStringLiteral("Test successfully!\n  42 Records can be converted."));
        QVERIFY(dialog.saveButton()->isEnabled());

        QTest::keyClicks(dialog.editor(), "status = 'open' and id > 30");
        QTest::mouseClick(dialog.testButton(), Qt::LeftButton);
        QCOMPARE(dialog.resultBox()->toPlainText(),
                 QStringLiteral("Test successfully!\n  6 Records can be converted."));

        // Save stores the tested text, not what was typed after the Test.
        QTest::keyClicks(dialog.editor(), " or 1=1");
        QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
        QVERIFY(!dialog.saveButton()->isEnabled());
        QCOMPARE(QString::fromStdString(LookupCondition(window->model().conditionFilePath(),
                                                        kDatabase, "orders")),
                 QStringLiteral("status = 'open' and id > 30"));

        // A second dialog shows what was stored.
        ConditionDialogModel again(window->model().log(), window->model().sourceSession(),
                                   window->model().conditionFilePath(), kDatabase,
                                   "orders");
        ConditionDialog reopened(again, window.get());
        QCOMPARE(reopened.editor()->toPlainText(), QStringLiteral("status = 'open' and id > 30"));
    }

    void aConditionTheServerRejectsCannotBeSaved() {
        ConditionDialogModel model(window->model().log(), window->model().sourceSession(),
                                   window->model().conditionFilePath(), kDatabase,
                                   "orders");
        ConditionDialog dialog(model, window.get());
        QTest::mouseClick(dialog.testButton(), Qt::LeftButton);
        QVERIFY(dialog.saveButton()->isEnabled());
        QTest::keyClicks(dialog.editor(), "no_such_column > 1");
        QTest::mouseClick(dialog.testButton(), Qt::LeftButton);
        const QString result = dialog.resultBox()->toPlainText();
        QVERIFY2(result.startsWith(QStringLiteral("Test failed!\n  Because:  ")), qPrintable(result));
        QVERIFY2(result.contains(QStringLiteral("no_such_column")), qPrintable(result));
        QVERIFY(!dialog.saveButton()->isEnabled());
    }

    void closeWritesNothing() {
        ConditionDialogModel model(window->model().log(), window->model().sourceSession(),
                                   window->model().conditionFilePath(), kDatabase,
                                   "orders");
        ConditionDialog dialog(model, window.get());
        dialog.show();
        QTest::keyClicks(dialog.editor(), "id = 1");
        QTest::mouseClick(dialog.testButton(), Qt::LeftButton);
        QTest::mouseClick(dialog.closeButton(), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!StoredConditions(window->model().conditionFilePath()).contains("id = 1"));
    }

    void theEditorStopsAt1024Characters() {
        ConditionDialogModel model(window->model().log(), window->model().sourceSession(),
                                   window->model().conditionFilePath(), kDatabase,
                                   "orders");
        ConditionDialog dialog(model, window.get());
        dialog.editor()->setPlainText(QString(1500, QLatin1Char('x')));
        QCOMPARE(dialog.editor()->toPlainText().size(), 1024);
        QCOMPARE(model.conditionText().size(), size_t{1024});
    }

private:
    std::unique_ptr<MainWindow> window;
};

VELMORA_GUI_TEST(ConditionDialogTest)

}  // namespace velmora::test

#include "ConditionDialogTest.moc"
