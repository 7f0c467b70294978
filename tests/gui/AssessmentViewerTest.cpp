// The window's Assess: from the Operation menu on the selected source database, off the interface
// thread, sending nothing to the target, and the page in the window's own viewer, where the
// source's names stay text.
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QPainter>
#include <QTextDocument>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidgetItem>

#include <unistd.h>

#include "assessment/AssessmentReport.h"
#include "AssessmentViewer.h"
#include "ConnectedWindow.h"
#include "GuiTestSupport.h"

namespace velmora::test {

namespace {

AssessmentViewer* OpenViewer() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* viewer = qobject_cast<AssessmentViewer*>(widget); viewer && viewer->isVisible()) return viewer;
    }
    return nullptr;
}

}  // namespace

class AssessmentViewerTest : public QObject {
    Q_OBJECT

private slots:
    void assessTheSelectedDatabaseFromTheOperationMenu() {
        ConnectedWindow fixture("velmora_gui_assess_" + std::to_string(getpid()));
        MainWindow& window = fixture.window();
        const QString database = QString::fromStdString(fixture.database());
        fixture.target().ClearStatements();
        // A table of the database stands for its database.
        fixture.Click(TreeSide::Source, fixture.Item(TreeSide::Source, QStringLiteral("orders")));
        QAction* assess = window.findAction(QStringLiteral("&Assess"));
        QVERIFY(assess);
        assess->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(OpenViewer() != nullptr, 30000);
        AssessmentViewer* viewer = OpenViewer();
        const QString page = viewer->browser()->toPlainText();
        QVERIFY2(page.contains("Assessment of " + database), qPrintable(page.left(300)));
        QVERIFY(page.contains(QStringLiteral("view ") + database + QStringLiteral(".v_orders")));
        QVERIFY(page.contains(QStringLiteral("CREATE TABLE orders")));
        QVERIFY(fixture.Messages().contains("ASSESS: [" + database + "]"));
        // The connected target is asked its version (what the T-SQL is checked against), nothing more.
        QCOMPARE(fixture.target().Statements(), std::vector<std::string>{"select @@Version"});
        // For a person to look at: the page as the window's viewer renders it.
        viewer->grab().save(QStringLiteral(VELMORA_BINARY_DIR "/assessment-viewer.png"));
        viewer->close();
    }

    void withoutASelectedDatabaseItSaysSo() {
        ConnectedWindow fixture("velmora_gui_assess_none_" + std::to_string(getpid()));
        ModalAnswerer answerer;
        answerer.Press(QMessageBox::Ok);
        fixture.window().AssessCommand();
        QCOMPARE(answerer.seen(), QStringList{"No Selected Source Database!"});
        QVERIFY(OpenViewer() == nullptr);
    }

    void theViewerShowsHostileNamesAsText() {
        const std::string name = "<script>alert('x')</script>\xE2\x80\xAE&\"";
        AssessedObject table;
        table.database = "shop";
        table.kind = "table";
        table.name = name;
        table.outcome = "adjusted";
        table.adjustments = {"<b>bold</b>: dropped"};
        table.statements = {"CREATE TABLE [<script>] ([a] int)"};
        table.rows = 10;
        table.rowsExact = true;
        table.dataBytes = 16384;
        Assessment assessment;
        assessment.databases.push_back({"shop", "", {table}, {}, 0});
        AssessmentViewer viewer(assessment);
        viewer.show();
        const QString text = viewer.browser()->toPlainText();
        QVERIFY2(text.contains(QStringLiteral("<script>alert('x')</script>[U+202E]&\"")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("<b>bold</b>: dropped")));
        QVERIFY(text.contains(QStringLiteral("CREATE TABLE [<script>] ([a] int)")));
        // What is saved is the page and the JSON as the command line writes them.
        const QString html = QString::fromUtf8(qgetenv("VELMORA_HOME")) + QStringLiteral("/viewer.html");
        QVERIFY(viewer.SaveHtml(html));
        QFile saved(html);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll().toStdString(), AssessmentHtml(assessment));
        QVERIFY(!viewer.SaveJson(QStringLiteral("/nonexistent/folder/a.json")));
    }

    // The size chart as the window draws it: each bar as wide as its table's share of the
    // largest (a bar the viewer stretched to the full width would be a lie).
    void theSizeBarsAreDrawnToScale() {
        Assessment assessment;
        assessment.databases.push_back({"shop", "", {}, {}, 0});
        for (const auto& [name, bytes] : {std::pair{"big", 400000}, {"half", 200000}, {"quarter", 100000}}) {
            AssessedObject table;
            table.database = "shop";
            table.kind = "table";
            table.name = name;
            table.outcome = "ready";
            table.dataBytes = bytes;
            assessment.databases[0].objects.push_back(table);
        }
        AssessmentViewer viewer(assessment);
        viewer.show();
        QTextDocument* page = viewer.browser()->document();
        QImage image(page->size().toSize(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        page->drawContents(&painter);
        painter.end();
        // The widest run of the bar colour on each line of pixels, one width per bar.
        const QRgb bar = QColor(QStringLiteral("#4a7fb5")).rgb();
        QList<int> widths;
        int previous = 0;
        for (int y = 0; y < image.height(); ++y) {
            int widest = 0;
            for (int x = 0, run = 0; x < image.width(); ++x) {
                run = image.pixel(x, y) == bar ? run + 1 : 0;
                widest = std::max(widest, run);
            }
            if (widest > 0 && previous == 0) widths.append(widest);
            if (widest > 0) widths.last() = std::max(widths.last(), widest);
            previous = widest;
        }
        QCOMPARE(widths.size(), 3);
        QVERIFY2(widths[0] > 100, qPrintable(QString::number(widths[0])));
        QVERIFY2(std::abs(widths[1] - widths[0] / 2) <= widths[0] / 20, qPrintable(QString::number(widths[1])));
        QVERIFY2(std::abs(widths[2] - widths[0] / 4) <= widths[0] / 20, qPrintable(QString::number(widths[2])));
    }
};

VELMORA_GUI_TEST(AssessmentViewerTest)

}  // namespace velmora::test

#include "AssessmentViewerTest.moc"
