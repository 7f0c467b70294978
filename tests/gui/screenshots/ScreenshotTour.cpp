// gui_screenshots DIR: opens the desktop program's main window and each of its dialogs on a real
// display (scripts/screenshot runs it under Xvfb), the source being the local MariaDB sample
// database shop and the target the scripted SQL Server double, and saves a picture of each into
// DIR. Not a test: the pictures are for people to look at.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>

#include <QFile>
#include <QLabel>
#include <QTabWidget>
#include <QTreeWidgetItemIterator>

#include "ConditionDialog.h"
#include "ConfigDialog.h"
#include "Converters/SourceServer.h"
#include "Converters/Thread/WorkerBodies.h"
#include "DatabaseTreeView.h"
#include "HintPane.h"
#include "LogPane.h"
#include "TaskListView.h"
#include "config/WorkFolder.h"
#include "support/LocalMariaDb.h"
#include "GuiTestSupport.h"
#include "MainWindow.h"
#include "data/OdbcConnection.h"
#include "support/ConversionFixture.h"
#include "support/TargetDouble.h"

namespace velmora::test {

namespace {

class Tour {
public:
    Tour(QString folder, MainWindow& window) : folder_(std::move(folder)), window_(window) {}

    void Save(QWidget* widget, const QString& name) {
        widget->raise();
        widget->activateWindow();
        QTest::qWait(400);
        const QString path = QDir(folder_).filePath(name + QStringLiteral(".png"));
        const bool saved = widget->grab().save(path);
        std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(path));
        if (!saved) failures_++;
    }

    // Shows a dialog the program opens modally (through the port or a command), saves it and
    // closes it.
    void SaveModal(const QString& name, const std::function<void()>& open) {
        ModalAnswerer answerer;
        answerer.Handle([this, name](QWidget* dialog) {
            Save(dialog, name);
            static_cast<QDialog*>(dialog)->reject();
        });
        open();
    }

    int failures() const { return failures_; }

private:
    QString folder_;
    MainWindow& window_;
    int failures_ = 0;
};

}  // namespace

// migrator.cfg for the sample source and a target the double stands for.
void WriteConfig() {
    const MariaDbAddress db = LocalMariaDb();
    QFile file(QString::fromStdString(ProgramFolder()) + "migrator.cfg");
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(QStringLiteral("[Public]\nConfig=true\nAutoBackup=false\nTips=true\n"
                              "[SourceDB]\nProvider=TCP/IP:Port\nSourceName=%1:%2\nUserID=%3\n"
                              "PassWord=%4\nCatalogName=shop\n"
                              "[TargetDB]\nProvider=TCP/IP:Port\nSourceName=sqlserver01:1433\n"
                              "UserID=sa\nPassWord=secret\nCatalogName=sales\n")
                   .arg(QString::fromStdString(db.host), QString::number(db.port),
                        QString::fromStdString(db.user), QString::fromStdString(db.password))
                   .toUtf8());
}

QTreeWidgetItem* Find(DatabaseTreeView* tree, const QString& text) {
    tree->Rebuild();
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->text(0) == text) return *it;
    }
    return nullptr;
}

void Select(DatabaseTreeView* tree, QTreeWidgetItem* item) {
    tree->scrollToItem(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
}

int RunTour(const QString& folder) {
    QDir().mkpath(folder);
    WriteConfig();
    MainWindowSetup setup;
    setup.source = NewOdbcConnection();
    auto target = std::make_unique<TargetDouble>();
    target->AddCatalog("master");
    target->AddCatalog("sales");
    target->SetProperty(kPropCurrentCatalog, "sales");
    setup.target = std::move(target);
    setup.connectionFactory = [](TreeSide side) -> std::unique_ptr<DataSourceConnection> {
        if (side == TreeSide::Source) return NewOdbcConnection();
        return std::make_unique<TargetDouble>();
    };
    MainWindow window(std::move(setup));
    window.resize(1180, 760);
    window.show();
    Tour tour(folder, window);
    tour.Save(&window, QStringLiteral("start"));

    // The start-up order: the driver check, then Config, whose Connect connects.
    tour.SaveModal(QStringLiteral("driver-check"), [&] { window.DriverCheckCommand(); });
    {
        ModalAnswerer answerer;
        answerer.Handle([&](QWidget* dialog) {
            tour.Save(dialog, QStringLiteral("config-dialog"));
            static_cast<ConfigDialog*>(dialog)->connectButton()->click();
        });
        window.ConfigureCommand();
    }
    QTest::qWait(500);

    // Migrate the sample database into the target database "sales".
    DatabaseTreeView* source = window.treeView(TreeSide::Source);
    DatabaseTreeView* targetTree = window.treeView(TreeSide::Target);
    if (QTreeWidgetItem* shop = Find(source, "shop")) Select(source, shop);
    if (QTreeWidgetItem* sales = Find(targetTree, "sales")) Select(targetTree, sales);
    tour.SaveModal(QStringLiteral("question-box"), [&] { window.MigrateCommand(); });
    {
        ModalAnswerer answerer;
        answerer.Press(QMessageBox::Ok);
        window.MigrateCommand();
    }
    window.lowerTabs()->setCurrentWidget(window.taskListView());
    if (!QTest::qWaitFor([&] { return window.statusPane(1)->text() == "NO PROCESSING!!!"; },
                         120000)) {
        std::fprintf(stderr, "gui_screenshots: the migration did not end within two minutes\n");
    }
    window.RefreshTaskList();
    if (QTreeWidgetItem* orders = Find(source, "orders")) Select(source, orders);
    tour.Save(&window, QStringLiteral("main-window"));
    window.lowerTabs()->setCurrentWidget(window.logPane());
    tour.Save(&window, QStringLiteral("main-window-log"));

    tour.SaveModal(QStringLiteral("condition-dialog"), [&] {
        ConditionDialogModel model(window.model().log(), window.model().sourceSession(),
                                   window.model().conditionFilePath(), "shop",
                                   "orders");
        ConditionDialog dialog(model, &window);
        dialog.editor()->setPlainText(QStringLiteral("customer_id > 10"));
        dialog.testButton()->click();
        dialog.exec();
    });
    tour.SaveModal(QStringLiteral("db-name-prompt"),
                   [&] { window.port().PromptText("DB Name:"); });
    tour.SaveModal(QStringLiteral("charset-choice"), [&] {
        window.port().ChooseOne("Character Set", CharsetNames(), 5);
    });
    tour.SaveModal(QStringLiteral("warning-box"), [&] {
        window.port().AskYesNo(
            "After remove, you can not restore [sales] again! Continue?\nPress YES to Continue "
            "Removing!",
            MessageIcon::Warning);
    });
    tour.SaveModal(QStringLiteral("message-box"),
                   [&] { window.port().ShowMessage("No Target DataSource Connection!", "Delete"); });
    tour.SaveModal(QStringLiteral("about-box"), [&] { window.AboutCommand(); });
    window.lowerTabs()->setCurrentWidget(window.hintPane());
    tour.Save(&window, QStringLiteral("main-window-tips"));
    return tour.failures() == 0 ? 0 : 1;
}

}  // namespace velmora::test

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: gui_screenshots DIR\n");
        return 2;
    }
    QTemporaryDir home;
    if (qEnvironmentVariableIsEmpty("VELMORA_HOME")) qputenv("VELMORA_HOME", home.path().toUtf8());
    return velmora::test::RunTour(QString::fromLocal8Bit(argv[1]));
}
