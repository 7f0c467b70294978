// Both database trees after a real Connect (the local MariaDB as the source, the SQL Server
// double as the target): their nodes and pictures, the menu bar's selection menus, the
// right-click popups, the in-place rename with Enter and Escape, the double click, the source
// tooltip, drag and drop, and the commands of the selection menus.
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QToolTip>
#include <unistd.h>

#include "ConnectedWindow.h"
#include "Converters/Conditions.h"
#include "ChoiceDialog.h"
#include "DatabaseTreeView.h"
#include <QPushButton>
#include "GuiTestSupport.h"

namespace velmora::test {

namespace {

QLineEdit* Editor(DatabaseTreeView* tree) { return tree->viewport()->findChild<QLineEdit*>(); }

}  // namespace

class DatabaseTreeViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        fixture = std::make_unique<ConnectedWindow>("velmora_gui_trees_" + std::to_string(getpid()));
        window = &fixture->window();
        source = window->treeView(TreeSide::Source);
        target = window->treeView(TreeSide::Target);
    }
    void cleanupTestCase() { fixture.reset(); }

    void connectFillsBothTreesAndTitlesThePanes() {
        const QStringList messages = fixture->Messages();
        QVERIFY(messages.contains("Connect Source Database!"));
        QVERIFY(messages.contains("Connect Target Database!"));
        QCOMPARE(window->paneTitle(TreeSide::Target)->text(),
                 QStringLiteral("Microsoft SQL Server[16.00.4135]"));
        QVERIFY2(window->paneTitle(TreeSide::Source)->text().contains("MariaDB"),
                 qPrintable(window->paneTitle(TreeSide::Source)->text()));

        QTreeWidgetItem* database = fixture->Item(TreeSide::Source, QString::fromStdString(fixture->database()));
        QVERIFY(database);
        QCOMPARE(DatabaseTreeView::KindOf(database), 1);
        QCOMPARE(database->child(0)->text(0), QStringLiteral("Tables"));
        QCOMPARE(database->child(1)->text(0), QStringLiteral("Views"));
        QStringList tables;
        for (int i = 0; i < database->child(0)->childCount(); ++i) tables << database->child(0)->child(i)->text(0);
        QCOMPARE(tables, QStringList({"customers", "orders"}));
        QCOMPARE(database->child(1)->child(0)->text(0), QStringLiteral("v_orders"));
        QTreeWidgetItem* orders = database->child(0)->child(1);
        QCOMPARE(orders->child(0)->text(0), QStringLiteral("Fields"));
        QCOMPARE(orders->child(1)->text(0), QStringLiteral("Indexes"));
        // Every node carries the 16 x 16 picture of its kind.
        QCOMPARE(source->iconSize(), QSize(16, 16));
        QVERIFY(!orders->icon(0).isNull());
        QVERIFY(orders->icon(0).pixmap(16, 16).toImage() !=
                database->icon(0).pixmap(16, 16).toImage());

        QTreeWidgetItem* sales = fixture->Item(TreeSide::Target, "sales");
        QVERIFY(sales);
        QCOMPARE(sales->child(0)->child(0)->text(0), QStringLiteral("t1"));
        QCOMPARE(sales->child(1)->child(0)->text(0), QStringLiteral("v1"));
    }

    void selectionShowsAndHidesTheMenus_data() {
        QTest::addColumn<int>("side");
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("enabled");  // Migration Condition, Drop Table, Drop View, Rename
        QTest::newRow("source server") << 0 << "ROOT" << "A" << "";
        QTest::newRow("source database") << 0 << "DB" << "D" << "";
        QTest::newRow("source table") << 0 << "orders" << "T" << "1000";
        QTest::newRow("source view") << 0 << "v_orders" << "T" << "1000";
        QTest::newRow("source folder") << 0 << "Tables" << "" << "";
        QTest::newRow("target server") << 1 << "ROOT" << "A" << "";
        QTest::newRow("target database") << 1 << "sales" << "D" << "";
        QTest::newRow("target table") << 1 << "t2" << "T" << "0101";
        QTest::newRow("target view") << 1 << "v1" << "T" << "0010";
    }
    void selectionShowsAndHidesTheMenus() {
        QFETCH(int, side);
        QFETCH(QString, node);
        QFETCH(QString, shown);
        QFETCH(QString, enabled);
        const TreeSide tree = static_cast<TreeSide>(side);
        QTreeWidgetItem* item = node == "ROOT" ? window->treeView(tree)->topLevelItem(0)
                                : node == "DB" ? fixture->Item(tree, QString::fromStdString(fixture->database()))
                                               : fixture->Item(tree, node);
        QVERIFY(item);
        fixture->Click(tree, item);
        QCOMPARE(window->treeView(tree)->model().SelectedNode()->text, item->text(0).toStdString());
        QCOMPARE(window->menuEntry(2)->isVisible(), shown.contains('A'));
        QCOMPARE(window->menuEntry(3)->isVisible(), shown.contains('D'));
        QCOMPARE(window->menuEntry(4)->isVisible(), shown.contains('T'));
        if (!enabled.isEmpty()) {
            const QList<QAction*> items = window->menuEntry(4)->menu()->actions();
            for (int i = 0; i < 4; ++i) QCOMPARE(items[i]->isEnabled(), enabled[i] == '1');
        }
    }

    void aSelectionDuringARebuildLeavesTheMenusAlone() {
        fixture->Click(TreeSide::Target, target->topLevelItem(0));
        QVERIFY(window->menuEntry(2)->isVisible());
        target->model().BeginBusy();
        fixture->Click(TreeSide::Target, fixture->Item(TreeSide::Target, "t2"));
        target->model().EndBusy();
        QVERIFY(window->menuEntry(2)->isVisible());
        QVERIFY(!window->menuEntry(4)->isVisible());
        QCOMPARE(target->model().SelectedNode()->kind, int(kRootNode));
    }

    void popupsOfBothTrees() {
        const QString db = QString::fromStdString(fixture->database());
        QCOMPARE(RightClick(source, fixture->Item(TreeSide::Source, db)), QStringList({"Verify", "Assess"}));
        QCOMPARE(RightClick(source, source->topLevelItem(0)),
                 QStringList({"Change Charset", "Storage Engines"}));
        QCOMPARE(RightClick(source, fixture->Item(TreeSide::Source, "orders")),
                 QStringList({"Migration Condition", "Verify"}));
        QCOMPARE(RightClick(source, fixture->Item(TreeSide::Source, "v_orders")),
                 QStringList({"Migration Condition"}));
        QCOMPARE(RightClick(target, target->topLevelItem(0)), QStringList({"New Database"}));
        QCOMPARE(RightClick(target, fixture->Item(TreeSide::Target, "sales")),
                 QStringList({"Delete Database", "Clear all tables", "Clear all Data"}));
        QCOMPARE(RightClick(target, fixture->Item(TreeSide::Target, "t1")),
                 QStringList({"Drop Table t1", "Rename Table t1"}));
        QCOMPARE(RightClick(target, fixture->Item(TreeSide::Target, "v1")),
                 QStringList({"Drop View v1"}));
        // The right-clicked node is the selected one.
        QCOMPARE(target->model().SelectedNode()->text, std::string("v1"));
    }

    void renameOnlyOnEnter() {
        fixture->target().ClearStatements();
        auto startRename = [&] {
            return RightClick(target, fixture->Item(TreeSide::Target, "t1"), "Rename Table t1");
        };
        // Escape: the old name stays.
        startRename();
        QTRY_VERIFY(Editor(target));
        QTest::keyClicks(Editor(target), "_x");
        QTest::keyClick(Editor(target), Qt::Key_Escape);
        QTRY_VERIFY(!Editor(target));
        // Clicking elsewhere: the old name stays.
        startRename();
        QTRY_VERIFY(Editor(target));
        Editor(target)->setText("t1_lost");
        source->setFocus();
        QTRY_VERIFY(!Editor(target));
        QVERIFY(fixture->target().Statements().empty());
        QVERIFY(fixture->Item(TreeSide::Target, "t1"));
        // Enter renames.
        startRename();
        QTRY_VERIFY(Editor(target));
        Editor(target)->setText("t1_new");
        QTest::keyClick(Editor(target), Qt::Key_Return);
        QTRY_VERIFY(!Editor(target));
        // The rename acts in the table's own database, selected first.
        QCOMPARE(fixture->target().Statements(),
                 (std::vector<std::string>{"use sales;", "sp_rename 't1', 't1_new', 'object'"}));
        QTRY_VERIFY(fixture->Item(TreeSide::Target, "t1_new"));
        QVERIFY(!fixture->Item(TreeSide::Target, "t1"));
        QVERIFY(window->isVisible());  // Enter and Escape went to the editor only
    }

    void doubleClickOnADatabaseMakesItCurrent() {
        QTreeWidgetItem* master = fixture->Item(TreeSide::Target, "master");
        QVERIFY(master);
        target->scrollToItem(master);
        QTest::mouseDClick(target->viewport(), Qt::LeftButton, {},
                           target->visualItemRect(master).center());
        QTRY_VERIFY(fixture->Messages().contains("Select Database [master]"));
        QCOMPARE(target->model().currentDatabase(), std::string("master"));
        // Back to sales for the other cases.
        QTreeWidgetItem* sales = fixture->Item(TreeSide::Target, "sales");
        QTest::mouseDClick(target->viewport(), Qt::LeftButton, {},
                           target->visualItemRect(sales).center());
        QTRY_COMPARE(target->model().currentDatabase(), std::string("sales"));
        QTRY_VERIFY(fixture->Item(TreeSide::Target, "t2"));
    }

    void sourceTooltipShowsTheCondition() {
        const std::string conditions = window->model().conditionFilePath();
        QVERIFY(SaveCondition(conditions, fixture->database(), "orders", "total > 10"));
        auto tip = [&](const QString& node) {
            QTreeWidgetItem* item = fixture->Item(TreeSide::Source, node);
            source->scrollToItem(item);
            const QPoint at = source->visualItemRect(item).center();
            QToolTip::hideText();
            if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 3000)) {
                return QStringLiteral("<the last tooltip stayed>");
            }
            QHelpEvent event(QEvent::ToolTip, at, source->viewport()->mapToGlobal(at));
            QApplication::sendEvent(source->viewport(), &event);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        QCOMPARE(tip("orders"), QStringLiteral("Condition : total > 10"));
        QCOMPARE(tip("customers"), QStringLiteral("Convert All"));
        QCOMPARE(tip("Tables"), QString());
    }

    void aDropQueuesTheMigrationOfTheDraggedNode() {
        ModalAnswerer answerer;
        answerer.Press(QMessageBox::Ok);
        // The drag starts by selecting the dragged node; the drop selects the node dropped on.
        QTreeWidgetItem* orders = fixture->Item(TreeSide::Source, "orders");
        fixture->Click(TreeSide::Source, orders);
        QTreeWidgetItem* sales = fixture->Item(TreeSide::Target, "sales");
        target->scrollToItem(sales);
        const size_t before = window->tasks().Size();
        QVERIFY(target->DropAt(target->visualItemRect(sales).center(), Qt::NoModifier));
        QTRY_COMPARE(window->tasks().Size(), before + 1);
        QCOMPARE(answerer.seen(),
                 QStringList{"Convert table [orders] into Target database [sales]?"});
        const TaskPtr task = window->tasks().At(before);
        QCOMPARE(task->type, TaskType::Table);
        QCOMPARE(task->sourceObject, std::string("orders"));
        QCOMPARE(task->sourceDatabase, fixture->database());
        QCOMPARE(task->targetDatabase, std::string("sales"));
        QCOMPARE(target->model().SelectedNode()->text, std::string("sales"));
        QVERIFY(fixture->Item(TreeSide::Source, "orders"));  // a copy leaves the node
        // The task runs (and its worker rebuilds the trees, which clears their selections).
        QTRY_COMPARE_WITH_TIMEOUT(task->phase.load(), TaskPhase::Success, 20000);

        // With Shift the drop is a move: the dragged node leaves the source tree, after the
        // Migrate command has taken it (the drag ends before the posted command runs).
        answerer.Press(QMessageBox::Cancel);
        QTreeWidgetItem* customers = fixture->Item(TreeSide::Source, "customers");
        fixture->Click(TreeSide::Source, customers);
        const NodePath dragged = DatabaseTreeView::PathOf(customers);
        sales = fixture->Item(TreeSide::Target, "sales");
        QVERIFY(target->DropAt(target->visualItemRect(sales).center(), Qt::ShiftModifier));
        source->FinishDrag(dragged, Qt::MoveAction);
        QTRY_COMPARE(answerer.seen().size(), 2);
        QCOMPARE(answerer.seen()[1], QStringLiteral("Convert table [customers] into Target database [sales]?"));
        QTRY_VERIFY(!fixture->Item(TreeSide::Source, "customers"));
        QCOMPARE(window->tasks().Size(), before + 1);  // Cancel queued nothing
    }

    void storageEngineAndNewDatabaseFromTheMenuBar() {
        ModalAnswerer answerer;
        fixture->Click(TreeSide::Source, source->topLevelItem(0));
        answerer.Press(QMessageBox::Ok);
        window->findAction(QStringLiteral("Change Storage Engine(MyISAM)"))->trigger();
        QCOMPARE(answerer.seen(), QStringList{"Now Storage Engine of MySQL is InnoDB!"});
        QVERIFY(window->findAction(QStringLiteral("Change Storage Engine(InnoDB)")));

        // New Database needs the target's server node.
        fixture->Click(TreeSide::Target, fixture->Item(TreeSide::Target, "sales"));
        answerer.Press(QMessageBox::Ok);
        window->findAction(QStringLiteral("New Database"))->trigger();
        QCOMPARE(answerer.seen().last(),
                 QStringLiteral("Can only create database in TARGET!!!\nPlease Select Target ROOT "
                                "to create new database!"));
        fixture->target().ClearStatements();
        fixture->Click(TreeSide::Target, target->topLevelItem(0));
        answerer.Handle([](QWidget* dialog) {
            QTest::keyClicks(dialog->findChild<QLineEdit*>(), "archive");
            static_cast<QDialog*>(dialog)->accept();
        });
        window->findAction(QStringLiteral("New Database"))->trigger();
        QCOMPARE(fixture->target().Statements(),
                 std::vector<std::string>{"create database archive;"});
    }

    void changeCharsetOnTheSourceServer() {
        ModalAnswerer answerer;
        QString preselected;
        answerer.Handle([&](QWidget* widget) {
            auto* dialog = qobject_cast<ChoiceDialog*>(widget);
            QVERIFY(dialog);
            for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
                if (button->isChecked()) preselected = button->text();
                if (button->text() == "UTF8") button->click();
            }
            dialog->accept();
        });
        window->RunTreeCommand(source, QStringLiteral("Change Charset"));
        QCOMPARE(answerer.pending(), 0);
        QCOMPARE(preselected, QStringLiteral("LATIN1"));
        QCOMPARE(window->model().currentCharset, std::string("UTF8"));
        // The session now speaks UTF8 (MariaDB calls it utf8mb3).
        auto statement = window->model().sourceSession()->NewStatement();
        QCOMPARE(statement->Create("select @@character_set_client"), kSuccess);
        QCOMPARE(statement->Execute(StandardRowsetProperties()), kSuccess);
        QCOMPARE(statement->BindAllAsText(), kSuccess);
        QCOMPARE(statement->MoveNext(), kSuccess);
        QVERIFY2(std::string(statement->Value(0)).rfind("utf8", 0) == 0,
                 std::string(statement->Value(0)).c_str());
        statement->Close();
    }

    void migrationConditionFromTheTableMenuOpensTheDialog() {
        ModalAnswerer answerer;
        QString opened;
        answerer.Handle([&](QWidget* dialog) {
            opened = dialog->windowTitle() + ": " + dialog->findChildren<QLabel*>()[1]->text();
            static_cast<QDialog*>(dialog)->reject();
        });
        fixture->Click(TreeSide::Source, fixture->Item(TreeSide::Source, "orders"));
        window->findAction(QStringLiteral("Migration Condition"))->trigger();
        QCOMPARE(opened, QStringLiteral("Migration Condition: select * from orders where"));
    }

private:
    std::unique_ptr<ConnectedWindow> fixture;
    MainWindow* window = nullptr;
    DatabaseTreeView* source = nullptr;
    DatabaseTreeView* target = nullptr;
};

VELMORA_GUI_TEST(DatabaseTreeViewTest)

}  // namespace velmora::test

#include "DatabaseTreeViewTest.moc"
