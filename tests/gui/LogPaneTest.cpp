// The Log pane: at most 1,001 lines with the newest selected, lines shown as written (percent
// signs included), and a horizontal extent that grows to a wider line plus 10 pixels and never
// shrinks.
#include <QScrollBar>
#include <QTest>

#include "GuiTestSupport.h"
#include "LogPane.h"
#include "PortView.h"
#include "QtPort.h"
#include "tasks/OperationLog.h"

namespace velmora::test {

class LogPaneTest : public QObject {
    Q_OBJECT

private slots:
    void keepsTheNewest1001Lines() {
        LogPane pane;
        for (int i = 0; i < 1005; ++i) pane.AppendLine(QStringLiteral("line %1").arg(i));
        QCOMPARE(pane.count(), 1001);
        QCOMPARE(pane.item(0)->text(), QStringLiteral("line 4"));
        QCOMPARE(pane.lines().last(), QStringLiteral("line 1004"));
        QCOMPARE(pane.currentRow(), 1000);
        QVERIFY(pane.item(1000)->isSelected());
    }

    void extentGrowsAndNeverShrinks() {
        LogPane pane;
        pane.resize(300, 200);
        pane.show();
        const QFontMetrics metrics = pane.fontMetrics();
        const QString shortLine = QStringLiteral("short");
        const QString longLine = QString(300, QLatin1Char('w'));
        pane.AppendLine(shortLine);
        QCOMPARE(pane.horizontalExtent(), metrics.horizontalAdvance(shortLine) + 10);
        pane.AppendLine(longLine);
        const int wide = metrics.horizontalAdvance(longLine) + 10;
        QCOMPARE(pane.horizontalExtent(), wide);
        pane.AppendLine(shortLine);
        QCOMPARE(pane.horizontalExtent(), wide);
        // Even when the wide line has left the pane.
        for (int i = 0; i < 1001; ++i) pane.AppendLine(shortLine);
        QCOMPARE(pane.horizontalExtent(), wide);
        // The pane scrolls sideways to the end of the widest line.
        QTRY_COMPARE(pane.horizontalScrollBar()->maximum(),
                     wide - pane.viewport()->width());
    }

    void percentSignsAndMarkupAreShownAsWritten() {
        LogPane pane;
        QtPort port;
        struct View : PortView {
            explicit View(LogPane& pane) : pane(pane) {}
            void AppendLogLine(const QString& line) override { pane.AppendLine(line); }
            void ShowHintText(const QString&) override {}
            void SetStatusText(int, const QString&) override {}
            void RefreshTree(TreeSide) override {}
            void RefreshTaskListSoon() override {}
            void SetStopStartButton(bool, const QString&) override {}
            QWidget* DialogParent() override { return &pane; }
            LogPane& pane;
        } view(pane);
        port.Attach(&view);
        OperationLog log(&port);
        log.WriteText("select * from t where name like '%s%d%%' and x < <b>1</b>");
        const QString line = pane.lines().last();
        QCOMPARE(line.mid(static_cast<int>(OperationLog::TimePrefix().size())),
                 QStringLiteral("select * from t where name like '%s%d%%' and x < <b>1</b>"));
        port.Shutdown();
    }
};

VELMORA_GUI_TEST(LogPaneTest)

}  // namespace velmora::test

#include "LogPaneTest.moc"
