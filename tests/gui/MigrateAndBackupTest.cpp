// Migrate and Backup through the widgets, as a user does them: select in the trees, press the
// tool bar button, answer the question or choose the folder, and watch the task run in the
// "Task List" tab. The source is the real local MariaDB; the target is the SQL Server double,
// and every statement it receives is parsed by the T-SQL oracle.
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QProgressBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <unistd.h>

#include "ConnectedWindow.h"
#include "DatabaseTreeView.h"
#include "GuiTestSupport.h"
#include "HintPane.h"
#include "TaskListView.h"
#include "backup/TargetBackup.h"
#include "support/TsqlOracle.h"

namespace velmora::test {

namespace {

void PressToolButton(MainWindow& window, const QString& caption) {
    auto* tools = window.findChild<QToolBar*>(QStringLiteral("commands"));
    for (QAction* action : tools->actions()) {
        if (action->text() == caption) {
            QTest::mouseClick(tools->widgetForAction(action), Qt::LeftButton);
            return;
        }
    }
    QFAIL(qPrintable("no tool button " + caption));
}

QStringList Row(QTableWidget* grid, int row) {
    QStringList cells;
    for (int column = 0; column < grid->columnCount(); ++column) {
        cells << (grid->item(row, column) ? grid->item(row, column)->text() : QString());
    }
    return cells;
}

}  // namespace

class MigrateAndBackupTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        fixture = std::make_unique<ConnectedWindow>("velmora_gui_migrate_" + std::to_string(getpid()));
        // What the server answers about t2 when it is backed up.
        fixture->target().AnswerWith(
            TableDefinitionQuery("t2"),
            ScriptedResult::Text({"Column_name", "Type", "Length", "Nullable", "Default"},
                                 {{"id", "int", " ", "NOT NULL", ""},
                                  {"name", "nvarchar", "(40)", "NULL", ""}}));
        fixture->target().AnswerWith(
            "select * from t2", ScriptedResult::Text({"id", "name"}, {{"1", "first"}, {"2", std::nullopt}}));
        fixture->target().ClearStatements();
    }
    void cleanup() { fixture.reset(); }

    void cloneADatabaseThroughTheToolBar() {
        MainWindow& window = fixture->window();
        const QString database = QString::fromStdString(fixture->database());
        ModalAnswerer answerer;
        answerer.Press(QMessageBox::Ok);
        fixture->Click(TreeSide::Source, fixture->Item(TreeSide::Source, database));
        fixture->Click(TreeSide::Target, window.treeView(TreeSide::Target)->topLevelItem(0));
        PressToolButton(window, QStringLiteral(" Migrate "));
        QCOMPARE(answerer.seen(), QStringList{"Clone database [" + database + "] of source tree?"});
        QCOMPARE(window.tasks().Size(), size_t{1});

        // The Task List tab shows the task; its bar ends at 100 when the task has succeeded.
        window.lowerTabs()->setCurrentWidget(window.taskListView());
        QTableWidget* grid = window.taskListView()->grid();
        QTRY_COMPARE_WITH_TIMEOUT(grid->rowCount() == 1 ? Row(grid, 0)[3] : QString(),
                                  QStringLiteral("SUCCESS"), 30000);
        const QStringList row = Row(grid, 0);
        QCOMPARE(row[0], QStringLiteral("01"));
        QCOMPARE(row[2], QStringLiteral("MIGRATION"));
        QCOMPARE(row[4], window.paneTitle(TreeSide::Source)->text());
        QCOMPARE(row[5], database);
        QCOMPARE(row[7], QStringLiteral("Microsoft SQL Server[16.00.4135]"));
        QCOMPARE(row[8], database);
        QCOMPARE(window.taskListView()->progressBar(0)->value(), 100);

        const QStringList log = fixture->Messages();
        QVERIFY(log.contains("Operation completed SUCCESSFULLY!"));
        const std::vector<std::string> statements = fixture->target().Statements();
        auto sent = [&](const std::string& prefix) {
            return std::any_of(statements.begin(), statements.end(),
                               [&](const std::string& s) { return s.rfind(prefix, 0) == 0; });
        };
        // The default translation, Full: tables from their model, rows in multi-row statements.
        QVERIFY(sent("create database " + fixture->database()));
        QVERIFY(sent("CREATE TABLE customers"));
        QVERIFY(sent("CREATE TABLE orders"));
        QVERIFY(std::any_of(statements.begin(), statements.end(), [](const std::string& s) {
            return s.rfind("INSERT INTO orders (", 0) == 0 && s.find("VALUES (3,") != std::string::npos;
        }) || std::any_of(statements.begin(), statements.end(), [](const std::string& s) {
            return s.rfind("INSERT INTO orders (", 0) == 0 && s.find("),(3,") != std::string::npos;
        }));
        for (const std::string& statement : statements) {
            QVERIFY2(DescribeTsqlProblems(statement).empty(), statement.c_str());
        }
        // The scheduler stopped itself once nothing was left to run.
        QTRY_COMPARE_WITH_TIMEOUT(window.statusPane(1)->text(), QStringLiteral("NO PROCESSING!!!"),
                                  10000);
    }

    void migrateWithoutATargetSelectionSaysWhatIsMissing() {
        MainWindow& window = fixture->window();
        ModalAnswerer answerer;
        answerer.Press(QMessageBox::Ok);
        fixture->Click(TreeSide::Source, fixture->Item(TreeSide::Source, "orders"));
        PressToolButton(window, QStringLiteral(" Migrate "));
        QCOMPARE(answerer.seen(), QStringList{"No Selected Target Objects!"});
        QCOMPARE(window.hintPane()->hint(), QStringLiteral("Please Select a object in Target Tree!"));
        QVERIFY(window.tasks().Empty());
    }

    void backUpATargetTableIntoTheChosenFolder() {
        MainWindow& window = fixture->window();
        QTemporaryDir folder;
        ModalAnswerer answerer;
        QString caption;
        answerer.Handle([&](QWidget* widget) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            QVERIFY(dialog);
            caption = dialog->windowTitle();
            dialog->setDirectory(folder.path());
            QMetaObject::invokeMethod(dialog, "accept");
        });
        fixture->Click(TreeSide::Target, fixture->Item(TreeSide::Target, "t2"));
        PressToolButton(window, QStringLiteral(" Backup "));
        QCOMPARE(caption, QStringLiteral("Please choise your backup directory:"));
        QCOMPARE(window.tasks().Size(), size_t{1});
        QCOMPARE(QString::fromStdString(window.model().backupFolder().value_or("")), folder.path());

        window.lowerTabs()->setCurrentWidget(window.taskListView());
        QTableWidget* grid = window.taskListView()->grid();
        QTRY_VERIFY_WITH_TIMEOUT(grid->rowCount() == 1 && (Row(grid, 0)[3] == "FAILURE" ||
                                                            Row(grid, 0)[3] == "SUCCESS"),
                                 30000);
        QVERIFY2(Row(grid, 0)[3] == "SUCCESS", qPrintable(fixture->Messages().join("\n")));
        QCOMPARE(Row(grid, 0)[2], QStringLiteral("BACKUP"));
        QCOMPARE(Row(grid, 0)[8], QStringLiteral("sales"));
        QCOMPARE(Row(grid, 0)[9], QStringLiteral("t2"));
        QCOMPARE(window.taskListView()->progressBar(0)->value(), 100);
        // One object goes straight into the chosen folder (a database gets a folder of its own).
        QFile script(folder.filePath("TABLES/t2.tbl"));
        QVERIFY2(script.open(QIODevice::ReadOnly), qPrintable(script.fileName()));
        QVERIFY(QString::fromUtf8(script.readAll()).contains("create table"));
        QFile data(folder.filePath("DATA/t2.data"));
        QVERIFY2(data.open(QIODevice::ReadOnly), qPrintable(data.fileName()));
        QVERIFY(QString::fromUtf8(data.readAll()).contains("'first'"));
        QDir::setCurrent(QDir::tempPath());  // the backup left the process in the folder
    }

    void backupCancelledAtTheFolderQueuesNothing() {
        MainWindow& window = fixture->window();
        ModalAnswerer answerer;
        answerer.Handle([](QWidget* widget) { static_cast<QDialog*>(widget)->reject(); });
        fixture->Click(TreeSide::Target, fixture->Item(TreeSide::Target, "sales"));
        PressToolButton(window, QStringLiteral(" Backup "));
        QCOMPARE(answerer.pending(), 0);
        QVERIFY(window.tasks().Empty());
        QCOMPARE(window.model().controllerState(), ControllerState::Idle);
    }

private:
    std::unique_ptr<ConnectedWindow> fixture;
};

VELMORA_GUI_TEST(MigrateAndBackupTest)

}  // namespace velmora::test

#include "MigrateAndBackupTest.moc"
