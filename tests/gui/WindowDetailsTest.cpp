// The main window's last details: dragging its background moves it, the drop highlight's rule of
// the tree's right edge, and the message boxes' captions and icons (the "Delete" caption; the
// warning icon of the database and views-folder deletes, none on the others).
#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <future>

#include "DatabaseTreeView.h"
#include "GuiTestSupport.h"
#include "MainWindow.h"
#include "PortView.h"
#include "QtPort.h"

namespace velmora::test {

namespace {

std::unique_ptr<MainWindow> IdleWindow() {
    MainWindowSetup setup;
    setup.source = std::make_unique<NotConnectedSide>();
    setup.target = std::make_unique<NotConnectedSide>();
    setup.taskRunner = [](MigrationTask&) { return true; };
    auto window = std::make_unique<MainWindow>(std::move(setup));
    window->show();
    return window;
}

void SendMouse(QWidget* widget, QEvent::Type type, const QPoint& global, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(widget->mapFromGlobal(global)), QPointF(global),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// A server with one database and its two folders, enough rows to fill the tree's width.
TreeContents SmallTree() {
    TreeContents contents;
    TreeNode server{kRootNode, "server", true, {}};
    size_t database = server.Append(kDatabaseNode, "sales");
    server.children[database].expanded = true;
    server.children[database].Append(kTablesFolderNode, "Tables");
    server.children[database].Append(kViewsFolderNode, "Views");
    contents.topLevel.push_back(server);
    return contents;
}

// What a message box showed: its caption, icon and text.
struct BoxSeen {
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
};

}  // namespace

class WindowDetailsTest : public QObject {
    Q_OBJECT

private slots:
    void draggingTheBackgroundMovesTheWindow() {
        auto window = IdleWindow();
        window->move(100, 100);
        QCoreApplication::processEvents();
        const QPoint start = window->pos();
        // The status bar is background: no control there takes the mouse.
        QWidget* background = window->statusBar();
        const QPoint press = background->mapToGlobal(QPoint(5, 5));
        SendMouse(background, QEvent::MouseButtonPress, press, Qt::LeftButton);
        SendMouse(background, QEvent::MouseMove, press + QPoint(30, 20), Qt::LeftButton);
        QCOMPARE(window->pos(), start + QPoint(30, 20));
        SendMouse(background, QEvent::MouseButtonRelease, press + QPoint(30, 20), Qt::NoButton);
        // After the release a move without the button moves nothing.
        SendMouse(background, QEvent::MouseMove, press + QPoint(90, 90), Qt::NoButton);
        QCOMPARE(window->pos(), start + QPoint(30, 20));
    }

    void aControlKeepsItsOwnMouse() {
        auto window = IdleWindow();
        window->move(100, 100);
        QCoreApplication::processEvents();
        const QPoint start = window->pos();
        DatabaseTreeView* tree = window->treeView(TreeSide::Target);
        const QPoint press = tree->viewport()->mapToGlobal(QPoint(5, 5));
        SendMouse(tree->viewport(), QEvent::MouseButtonPress, press, Qt::LeftButton);
        SendMouse(tree->viewport(), QEvent::MouseMove, press + QPoint(30, 20), Qt::LeftButton);
        SendMouse(tree->viewport(), QEvent::MouseButtonRelease, press + QPoint(30, 20), Qt::NoButton);
        QCOMPARE(window->pos(), start);
    }

    void dropHighlightKeepsClearOfTheRightEdge() {
        DatabaseTree model(TreeSide::Target);
        model.Replace(SmallTree());
        DatabaseTreeView tree(model);
        tree.resize(300, 200);
        tree.Rebuild();
        tree.expandAll();
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        QTreeWidgetItem* server = tree.topLevelItem(0);
        QTreeWidgetItem* database = server->child(0);
        const int edge = tree.viewport()->mapTo(&tree, QPoint(0, 0)).x();  // the frame
        auto at = [&](QTreeWidgetItem* item, int widgetX) {
            return QPoint(widgetX - edge, tree.visualItemRect(item).center().y());
        };
        const int limit = tree.width() - DatabaseTreeView::kDropEdgeStrip;  // first excluded x
        tree.HighlightForDrop(at(server, 20));
        QCOMPARE(tree.dropHighlight(), server);
        // One pixel inside the reduced rectangle: the node under the cursor.
        tree.HighlightForDrop(at(database, limit - 1));
        QCOMPARE(tree.dropHighlight(), database);
        // In the 70-pixel strip the highlight stays where it was.
        tree.HighlightForDrop(at(server, limit));
        QCOMPARE(tree.dropHighlight(), database);
        tree.HighlightForDrop(at(server, tree.width() - 2));
        QCOMPARE(tree.dropHighlight(), database);
        // Below the last node: no node, no change.
        tree.HighlightForDrop(QPoint(20, tree.viewport()->height() - 2));
        QCOMPARE(tree.dropHighlight(), database);
        // The drop goes to the highlighted node, even from the strip, and ends the highlight.
        QSignalSpy dropped(&tree, &DatabaseTreeView::migrateDropped);
        QVERIFY(tree.DropAt(at(server, tree.width() - 2), Qt::NoModifier));
        QCOMPARE(model.SelectedNode()->text, std::string("sales"));
        QCOMPARE(tree.dropHighlight(), nullptr);
        QTRY_COMPARE(dropped.count(), 1);
    }

    void aboutBoxShowsTheBuildsVersion() {
        auto window = IdleWindow();
        ModalAnswerer answerer;
        answerer.Press(QMessageBox::Ok);
        window->AboutCommand();
        QCOMPARE(answerer.seen().size(), 1);
        QVERIFY2(answerer.seen()[0].contains(QStringLiteral("Version: " VELMORA_VERSION)),
                 qPrintable(answerer.seen()[0]));
    }

    void messageBoxCaptionsAndIcons() {
        auto window = IdleWindow();
        QList<BoxSeen> seen;
        ModalAnswerer answerer;
        auto record = [&](QMessageBox::StandardButton button) {
            answerer.Handle([&seen, button](QWidget* widget) {
                auto* box = qobject_cast<QMessageBox*>(widget);
                if (!box) return;
                seen << BoxSeen{box->windowTitle(), box->icon(), box->text()};
                box->button(button)->click();
            });
        };
        // Delete with no target connection: the message box's caption is "Delete".
        record(QMessageBox::Ok);
        window->DeleteSelectedCommand();
        QTRY_COMPARE(seen.size(), 1);
        QCOMPARE(seen[0].caption, QStringLiteral("Delete"));
        QCOMPARE(seen[0].text, QStringLiteral("No Target DataSource Connection!"));
        // The Yes/No warnings: the warning icon only where it is asked for.
        for (MessageIcon icon : {MessageIcon::Warning, MessageIcon::None}) {
            record(QMessageBox::No);
            auto answer = std::async(std::launch::async, [&window, icon] {
                return window->port().AskYesNo("After remove?", icon);
            });
            QTRY_VERIFY_WITH_TIMEOUT(answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready,
                                     5000);
            QVERIFY(!answer.get());
        }
        QCOMPARE(seen.size(), 3);
        QCOMPARE(seen[1].icon, QMessageBox::Warning);
        QCOMPARE(seen[2].icon, QMessageBox::NoIcon);
        QCOMPARE(seen[1].caption, QStringLiteral("Velmora"));  // no caption given: the program's
    }
};

VELMORA_GUI_TEST(WindowDetailsTest)

}  // namespace velmora::test

#include "WindowDetailsTest.moc"
