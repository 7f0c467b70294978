// Which commands the trees offer: the right-click popups by tree and node kind, and the menu
// bar's selection menus.
#include <QTest>

#include "GuiTestSupport.h"
#include "TreeMenus.h"

namespace velmora::test {

namespace {

QStringList Labels(const QVector<PopupEntry>& entries) {
    QStringList labels;
    for (const PopupEntry& entry : entries) labels << entry.label;
    return labels;
}

QStringList Commands(const QVector<PopupEntry>& entries) {
    QStringList commands;
    for (const PopupEntry& entry : entries) commands << entry.command;
    return commands;
}

}  // namespace

class TreeMenusTest : public QObject {
    Q_OBJECT

private slots:
    void popups_data() {
        QTest::addColumn<bool>("source");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("labels");
        const QStringList none;
        // Source tree (MySQL, dbmsKind 2).
        QTest::newRow("source server") << true << 0 << "DATABASES"
                                       << QStringList{"Change Charset", "Storage Engines"};
        QTest::newRow("source database: verify") << true << 1 << "shop" << QStringList{"Verify", "Assess"};
        QTest::newRow("source table") << true << 2 << "orders"
                                      << QStringList{"Migration Condition", "Verify"};
        QTest::newRow("source view") << true << 8 << "v_orders" << QStringList{"Migration Condition"};
        QTest::newRow("source Tables folder") << true << 3 << "Tables"
                                              << QStringList{"Change Charset", "Storage Engines"};
        QTest::newRow("source column: no menu") << true << 4 << "id" << none;
        QTest::newRow("kind 10: no menu") << true << 10 << "x" << none;
        // Target tree (SQL Server, dbmsKind 1).
        QTest::newRow("target server") << false << 0 << "sqlhost" << QStringList{"New Database"};
        QTest::newRow("target database") << false << 1 << "shop"
                                         << QStringList{"Delete Database", "Clear all tables",
                                                        "Clear all Data"};
        QTest::newRow("target table: names the table") << false << 2 << "orders"
                                                       << QStringList{"Drop Table orders",
                                                                      "Rename Table orders"};
        QTest::newRow("target view: names the view") << false << 8 << "v_orders"
                                                     << QStringList{"Drop View v_orders"};
        // A target folder offers what acts on its objects, never "New Database" (which refuses
        // anything but the server node).
        QTest::newRow("target Tables folder") << false << 3 << "Tables"
                                              << QStringList{"Delete all tables", "Clear all Data"};
        QTest::newRow("target Views folder") << false << 9 << "Views"
                                             << QStringList{"Delete all views"};
        QTest::newRow("target Fields folder: no menu") << false << 5 << "Fields" << none;
        QTest::newRow("target Indexes folder: no menu") << false << 7 << "Indexes" << none;
        QTest::newRow("target index: no menu") << false << 6 << "PK_orders" << none;
        QTest::newRow("target column: no menu") << false << 4 << "id" << none;
        // A node whose text is empty or blanks only offers nothing.
        QTest::newRow("blank text") << false << 2 << "   " << none;
        QTest::newRow("empty text") << true << 0 << "" << none;
    }
    void popups() {
        QFETCH(bool, source);
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(QStringList, labels);
        const int dbmsKind = source ? 2 : 1;
        QCOMPARE(Labels(PopupEntries(source, dbmsKind, kind, text)), labels);
    }

    void popupCommandsStayPlainWhenLabelsNameTheObject() {
        QCOMPARE(Commands(PopupEntries(false, 1, 2, "orders")),
                 QStringList({"Drop Table", "Rename Table"}));
        QCOMPARE(Commands(PopupEntries(false, 1, 8, "v")), QStringList({"Drop View"}));
    }

    void sourceTreeBeforeConnectOffersNoServerCommands() {
        // The source tree only offers the MySQL commands once it shows a MySQL server.
        QVERIFY(PopupEntries(true, 0, 0, "DATABASES").isEmpty());
    }

    void menuBar_data() {
        QTest::addColumn<bool>("source");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("shown");    // "A" D&atabases, "D" &Database, "T" &Table
        QTest::addColumn<QString>("enabled");  // "C" condition, "T" drop table, "V" drop view,
                                               // "R" rename, "-" items unchanged
        QTest::newRow("source server") << true << 0 << "A" << "-";
        QTest::newRow("target server") << false << 0 << "A" << "-";
        QTest::newRow("target database") << false << 1 << "D" << "-";
        QTest::newRow("source table") << true << 2 << "T" << "C";
        QTest::newRow("source view") << true << 8 << "T" << "C";
        QTest::newRow("target table") << false << 2 << "T" << "TR";
        QTest::newRow("target view") << false << 8 << "T" << "V";
        QTest::newRow("Tables folder") << false << 3 << "" << "-";
        QTest::newRow("column") << true << 4 << "" << "-";
    }
    void menuBar() {
        QFETCH(bool, source);
        QFETCH(int, kind);
        QFETCH(QString, shown);
        QFETCH(QString, enabled);
        const MenuBarState state = MenuBarStateFor(source, kind);
        QCOMPARE(state.databasesShown, shown.contains('A'));
        QCOMPARE(state.databaseShown, shown.contains('D'));
        QCOMPARE(state.tableShown, shown.contains('T'));
        QCOMPARE(state.tableItemsSet, enabled != "-");
        if (state.tableItemsSet) {
            QCOMPARE(state.migrationConditionEnabled, enabled.contains('C'));
            QCOMPARE(state.dropTableEnabled, enabled.contains('T'));
            QCOMPARE(state.dropViewEnabled, enabled.contains('V'));
            QCOMPARE(state.renameTableEnabled, enabled.contains('R'));
        }
    }
};

VELMORA_GUI_TEST(TreeMenusTest)

}  // namespace velmora::test

#include "TreeMenusTest.moc"
