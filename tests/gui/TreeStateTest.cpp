// What the trees keep and offer as a user works with them: nodes stay open or folded as the user
// left them when a double click or a migration rebuilds a tree, a table whose name holds blanks
// is listed, and the target's "Tables" and "Views" folders offer the commands that act on them.
// The source is the real local MariaDB, the target the SQL Server double.
#include <QTest>
#include <algorithm>
#include <unistd.h>

#include "ConnectedWindow.h"
#include "DatabaseTreeView.h"
#include "GuiTestSupport.h"
#include "support/LocalMariaDb.h"

namespace velmora::test {

namespace {

// The child of `parent` with `text`; null when there is none.
QTreeWidgetItem* Child(QTreeWidgetItem* parent, const QString& text) {
    for (int i = 0; parent && i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == text) return parent->child(i);
    }
    return nullptr;
}

void DoubleClick(DatabaseTreeView* tree, QTreeWidgetItem* item) {
    tree->scrollToItem(item);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
}

bool AnyStatement(const std::vector<std::string>& statements, const std::string& text) {
    return std::any_of(statements.begin(), statements.end(),
                       [&](const std::string& s) { return s.find(text) != std::string::npos; });
}

}  // namespace

class TreeStateTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        fixture = std::make_unique<ConnectedWindow>("velmora_gui_state_" + std::to_string(getpid()));
        window = &fixture->window();
        source = window->treeView(TreeSide::Source);
        target = window->treeView(TreeSide::Target);
    }
    void cleanup() { fixture.reset(); }

    void aDoubleClickOpensTheDatabaseAndKeepsWhatWasOpen() {
        // The user opens the target table t1 and the columns of the source table orders.
        QTreeWidgetItem* t1 = fixture->Item(TreeSide::Target, "t1");
        QVERIFY(t1);
        t1->setExpanded(true);
        QTreeWidgetItem* orders = fixture->Item(TreeSide::Source, "orders");
        orders->setExpanded(true);
        Child(orders, "Fields")->setExpanded(true);

        // Double-clicking the current databases rebuilds both trees: everything stays open.
        DoubleClick(target, fixture->Item(TreeSide::Target, "sales"));
        DoubleClick(source, fixture->Item(TreeSide::Source, QString::fromStdString(fixture->database())));
        QTRY_VERIFY(Open(TreeSide::Target, "sales"));
        QVERIFY(Open(TreeSide::Target, "Tables"));
        QVERIFY(Open(TreeSide::Target, "t1"));
        QVERIFY(Open(TreeSide::Source, "orders"));
        QVERIFY(Child(fixture->Item(TreeSide::Source, "orders"), "Fields")->isExpanded());

        // Another database opens on its folders, instead of leaving the list of databases.
        DoubleClick(target, fixture->Item(TreeSide::Target, "master"));
        QTRY_COMPARE(target->model().currentDatabase(), std::string("master"));
        QTreeWidgetItem* master = fixture->Item(TreeSide::Target, "master");
        QVERIFY(master->isExpanded());
        QCOMPARE(master->childCount(), 2);
        QVERIFY(master->child(0)->isExpanded());
    }

    void aMigrationKeepsWhatWasOpen() {
        QTreeWidgetItem* t1 = fixture->Item(TreeSide::Target, "t1");
        t1->setExpanded(true);
        fixture->Item(TreeSide::Target, "Views")->setExpanded(false);
        const auto shown = target->model().Contents();

        ModalAnswerer answerer;
        answerer.Press(QMessageBox::Ok);
        fixture->Click(TreeSide::Source, fixture->Item(TreeSide::Source, "customers"));
        fixture->Click(TreeSide::Target, fixture->Item(TreeSide::Target, "sales"));
        window->MigrateCommand();
        QCOMPARE(answerer.seen(),
                 QStringList{"Convert table [customers] into Target database [sales]?"});
        QTRY_VERIFY_WITH_TIMEOUT(fixture->Messages().contains("Operation completed SUCCESSFULLY!"),
                                 30000);
        // The migration filled the target tree again.
        QTRY_VERIFY(target->model().Contents() != shown);
        QTRY_VERIFY(fixture->Item(TreeSide::Target, "t1"));
        QVERIFY(Open(TreeSide::Target, "sales"));
        QVERIFY(Open(TreeSide::Target, "Tables"));
        QVERIFY(Open(TreeSide::Target, "t1"));
        QVERIFY(fixture->Item(TreeSide::Target, "Views"));
        QVERIFY(!Open(TreeSide::Target, "Views"));
    }

    void aTableWhoseNameHoldsBlanksIsListed() {
        RunMariaDbClient("create table " + fixture->database() +
                         ".`order notes` (id int primary key, body text)");
        DoubleClick(source, fixture->Item(TreeSide::Source, QString::fromStdString(fixture->database())));
        QTRY_VERIFY(fixture->Item(TreeSide::Source, "order notes"));
        QTreeWidgetItem* notes = fixture->Item(TreeSide::Source, "order notes");
        QCOMPARE(DatabaseTreeView::KindOf(notes), int(kTableNode));
        QTreeWidgetItem* fields = Child(notes, "Fields");
        QVERIFY(fields);
        QCOMPARE(fields->childCount(), 2);
        QCOMPARE(fields->child(1)->text(0), QStringLiteral("body"));
    }

    void theTargetFoldersOfferWhatActsOnThem() {
        QTreeWidgetItem* tables = Child(fixture->Item(TreeSide::Target, "sales"), "Tables");
        QTreeWidgetItem* views = Child(fixture->Item(TreeSide::Target, "sales"), "Views");
        QCOMPARE(RightClick(target, tables), QStringList({"Delete all tables", "Clear all Data"}));
        QCOMPARE(RightClick(target, views), QStringList({"Delete all views"}));

        // "Clear all Data" on the folder empties the tables of its database (the folder stands
        // for its database); "Delete all tables" then drops them. Each asks twice.
        const auto askTwice = [](ModalAnswerer& then) {
            then.Press(QMessageBox::Ok);
            then.Press(QMessageBox::Yes);
        };
        fixture->target().ClearStatements();
        QStringList asked;
        RightClick(target, tables, "Clear all Data", askTwice, &asked);
        QCOMPARE(asked.value(0), QStringLiteral("Delete all the data of [sales]?"));
        std::vector<std::string> statements = fixture->target().Statements();
        QVERIFY(AnyStatement(statements, "delete from t1"));
        QVERIFY(AnyStatement(statements, "delete from t2"));

        fixture->target().ClearStatements();
        tables = Child(fixture->Item(TreeSide::Target, "sales"), "Tables");
        RightClick(target, tables, "Delete all tables", askTwice, &asked);
        QCOMPARE(asked.value(0), QStringLiteral("Delete all the tables of [sales]?"));
        statements = fixture->target().Statements();
        QVERIFY(AnyStatement(statements, "t1"));
        QVERIFY(AnyStatement(statements, "t2"));
        QVERIFY(!AnyStatement(statements, "v1"));
        QTRY_COMPARE(Child(fixture->Item(TreeSide::Target, "sales"), "Tables")->childCount(), 0);
    }

private:
    // The node is shown and open.
    bool Open(TreeSide side, const QString& text) const {
        QTreeWidgetItem* item = fixture->Item(side, text);
        return item && item->isExpanded();
    }

    std::unique_ptr<ConnectedWindow> fixture;
    MainWindow* window = nullptr;
    DatabaseTreeView* source = nullptr;
    DatabaseTreeView* target = nullptr;
};

VELMORA_GUI_TEST(TreeStateTest)

}  // namespace velmora::test

#include "TreeStateTest.moc"
