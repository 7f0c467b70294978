// The start-up order (driver check, then Config, then Connect) and the Config and Driver Check
// dialogs reading and writing migrator.cfg, with the local MariaDB as the source and the SQL
// Server double as the target.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <sys/stat.h>

#include "ConfigDialog.h"
#include "DatabaseTreeView.h"
#include "DriverCheckDialog.h"
#include "GuiTestSupport.h"
#include "LogPane.h"
#include "MainWindow.h"
#include "TaskListView.h"
#include "config/WorkFolder.h"
#include "data/OdbcConnection.h"
#include "support/LocalMariaDb.h"
#include "support/TargetDouble.h"

namespace velmora::test {

namespace {

QString ConfigPath() { return QString::fromStdString(ProgramFolder()) + "migrator.cfg"; }

void WriteConfig(const QString& text) {
    QFile file(ConfigPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

QString ReadConfig() {
    QFile file(ConfigPath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString SampleConfig(bool tips) {
    MariaDbAddress db = LocalMariaDb();
    return QStringLiteral(
               "[Public]\nConfig=true\nAutoBackup=true\nTips=%1\n"
               "[SourceDB]\nProvider=TCP/IP:Port\nSourceName=%2:%3\nUserID=%4\nPassWord=%5\n"
               "CatalogName=shop\n"
               "[TargetDB]\nProvider=TCP/IP:Port\nSourceName=SqlHost:1433\nUserID=sa\n"
               "PassWord=secret\nCatalogName=master\n")
        .arg(tips ? "true" : "false", QString::fromStdString(db.host), QString::number(db.port),
             QString::fromStdString(db.user), QString::fromStdString(db.password));
}

std::unique_ptr<MainWindow> NewWindow() {
    MainWindowSetup setup;
    setup.source = NewOdbcConnection();
    setup.target = std::make_unique<TargetDouble>();
    setup.connectionFactory = [](TreeSide side) -> std::unique_ptr<DataSourceConnection> {
        if (side == TreeSide::Source) return NewOdbcConnection();
        return std::make_unique<TargetDouble>();
    };
    auto window = std::make_unique<MainWindow>(std::move(setup));
    window->show();
    return window;
}

QStringList Messages(MainWindow& window) {
    QStringList messages;
    for (const QString& line : window.logPane()->lines()) messages << line.mid(24);
    return messages;
}

}  // namespace

class StartupAndConfigTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QFile::remove(ConfigPath()); }

    void startUpRunsDriverCheckThenConfigThenConnect() {
        WriteConfig(SampleConfig(true));
        auto window = NewWindow();
        ModalAnswerer answerer;
        QStringList order;
        QList<QColor> usabilityColours;
        QStringList usabilityTexts;
        answerer.Handle([&](QWidget* widget) {
            auto* check = qobject_cast<DriverCheckDialog*>(widget);
            QVERIFY(check);
            order << check->windowTitle();
            const QList<QLabel*> labels = check->rowLabels(true) + check->rowLabels(false);
            for (int i = 2; i < labels.size(); i += 3) {
                usabilityTexts << labels[i]->text();
                usabilityColours << labels[i]->palette().color(QPalette::WindowText);
            }
            check->accept();
        });
        answerer.Handle([&](QWidget* widget) {
            auto* config = qobject_cast<ConfigDialog*>(widget);
            QVERIFY(config);
            order << config->windowTitle();
            QTest::mouseClick(config->connectButton(), Qt::LeftButton);
        });
        window->StartUp();
        QTRY_COMPARE_WITH_TIMEOUT(answerer.pending(), 0, 10000);
        QCOMPARE(order, QStringList({"Driver Check", "Config"}));
        QTRY_VERIFY_WITH_TIMEOUT(Messages(*window).contains("Connect Target Database!"), 20000);
        QVERIFY(Messages(*window).contains("Connect Source Database!"));
        QCOMPARE(window->lowerTabs()->currentWidget(), static_cast<QWidget*>(window->taskListView()));
        QTRY_VERIFY(window->treeView(TreeSide::Source)->topLevelItemCount() == 1);
        QCOMPARE(window->model().sourceSettings.catalogName, std::string("shop"));
        QCOMPARE(window->model().targetSettings.sourceName, std::string("sqlhost:1433"));
        QVERIFY(window->model().options().autoBackup);

        // Each row says Usable in green or Unusable in red; the machine has the MariaDB driver.
        QVERIFY(usabilityTexts.contains("Usable"));
        for (int i = 0; i < usabilityTexts.size(); ++i) {
            const QColor expected = usabilityTexts[i].startsWith("Unusable")
                                        ? DriverCheckDialog::UnusableColour()
                                        : DriverCheckDialog::UsableColour();
            QCOMPARE(usabilityColours[i], expected);
        }
    }

    void cancelAtTheDriverCheckOpensNothingElse() {
        auto window = NewWindow();
        ModalAnswerer answerer;
        answerer.Handle([](QWidget* widget) { static_cast<QDialog*>(widget)->reject(); });
        answerer.Handle([](QWidget* widget) { static_cast<QDialog*>(widget)->reject(); });
        window->DriverCheckCommand();
        QTest::qWait(300);
        QCOMPARE(answerer.pending(), 1);
    }

    void testConnectionsSaysPerSideAndChangesNothing() {
        WriteConfig(SampleConfig(true));
        auto window = NewWindow();
        ModalAnswerer answerer;
        answerer.Handle([&](QWidget* widget) {
            auto* config = qobject_cast<ConfigDialog*>(widget);
            QVERIFY(config);
            config->side(ConfigSide::Source).password->setText("wrong password");
            QTest::mouseClick(config->testButton(), Qt::LeftButton);
            config->reject();
        });
        for (int i = 0; i < 4; ++i) answerer.Press(QMessageBox::Ok);
        window->ConfigureCommand();
        QTRY_COMPARE(answerer.pending(), 0);
        // The wrong password fails the source only; the target (the double) connects.
        QVERIFY2(answerer.seen().contains("Source DB Connect ERROR!"),
                 qPrintable(answerer.seen().join(" | ")));
        QVERIFY(answerer.seen().contains("Target Connection Successful!"));
        QVERIFY(!window->model().sourceSession());
        QVERIFY(window->model().sourceSettings.sourceName.empty());
        QCOMPARE(window->treeView(TreeSide::Source)->topLevelItemCount(), 0);
    }

    void installButtonLeadsToAFreshCheck() {
        auto window = NewWindow();
        QTemporaryDir folder;
        ModalAnswerer answerer;
        answerer.Handle([](QWidget* widget) {
            auto* check = qobject_cast<DriverCheckDialog*>(widget);
            QVERIFY(check);
            QTest::mouseClick(check->installButton(), Qt::LeftButton);
        });
        answerer.Handle([&](QWidget* widget) {  // the install folder
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Please choise install directory:"));
            dialog->setDirectory(folder.path());
            QMetaObject::invokeMethod(dialog, "accept");
        });
        answerer.Press(QMessageBox::Ok);  // no driver files are shipped beside the test program
        QString second;
        answerer.Handle([&](QWidget* widget) {
            second = widget->windowTitle();
            static_cast<QDialog*>(widget)->reject();
        });
        window->DriverCheckCommand();
        QTRY_COMPARE(answerer.pending(), 0);
        QVERIFY2(answerer.seen().value(0).startsWith("No MySQL ODBC 3.51 Driver to install"),
                 qPrintable(answerer.seen().join(" | ")));
        QCOMPARE(second, QStringLiteral("Driver Check"));
        QVERIFY(QDir(folder.path()).isEmpty());
    }

    void configDialogShowsMigratorCfg() {
        WriteConfig(SampleConfig(false));
        auto window = NewWindow();
        ModalAnswerer answerer;
        answerer.Handle([&](QWidget* widget) {
            auto* config = qobject_cast<ConfigDialog*>(widget);
            QVERIFY(config);
            const ConfigDialog::SideWidgets& source = config->side(ConfigSide::Source);
            const ConfigDialog::SideWidgets& target = config->side(ConfigSide::Target);
            QCOMPARE(source.provider->count(), 2);
            QCOMPARE(target.provider->count(), 3);
            QCOMPARE(source.provider->currentText(), QStringLiteral("TCP/IP:Port"));
            QCOMPARE(source.sourceNameLabel->text(), QStringLiteral("Server:Port:"));
            QCOMPARE(target.sourceName->currentText(), QStringLiteral("SqlHost:1433"));
            QCOMPARE(source.catalogName->text(), QStringLiteral("shop"));
            QCOMPARE(target.userId->text(), QStringLiteral("sa"));
            QCOMPARE(target.password->text(), QStringLiteral("secret"));
            QCOMPARE(target.password->echoMode(), QLineEdit::Password);
            QVERIFY(!source.kind->isEnabled());
            QVERIFY(config->configBox()->isChecked());
            QVERIFY(config->autoBackupBox()->isChecked());
            QVERIFY(!config->tipsBox()->isChecked());
            QVERIFY(config->connectButton()->isDefault());
            config->reject();
        });
        window->ConfigureCommand();
        QCOMPARE(answerer.pending(), 0);
        // Tips=false in the file: the Tips tab is gone.
        QCOMPARE(window->lowerTabs()->count(), 2);
    }

    void saveConfigWritesWhatTheDialogShows() {
        WriteConfig(SampleConfig(false));
        auto window = NewWindow();
        ModalAnswerer answerer;
        answerer.Handle([&](QWidget* widget) {
            auto* config = qobject_cast<ConfigDialog*>(widget);
            QVERIFY(config);
            config->side(ConfigSide::Target).userId->setText("migrator");
            config->side(ConfigSide::Target).provider->setCurrentText(
                "Microsoft OLE DB Provider for SQL Server");
            QCOMPARE(config->side(ConfigSide::Target).sourceNameLabel->text(),
                     QStringLiteral("Source Name:"));
            config->side(ConfigSide::Target).sourceName->setEditText("ProdServer");
            QVERIFY(!config->side(ConfigSide::Source).encrypt);  // the target's choice only
            config->side(ConfigSide::Target).encrypt->setCurrentText("Strict");
            config->side(ConfigSide::Target).trustServerCertificate->setChecked(true);
            config->tipsBox()->click();  // the tab comes back at once
            QCOMPARE(window->lowerTabs()->count(), 3);
            QTest::mouseClick(config->saveButton(), Qt::LeftButton);
            config->reject();
        });
        answerer.Press(QMessageBox::Ok);
        window->ConfigureCommand();
        QCOMPARE(answerer.seen(), QStringList{"The Config Infomation saved successfully!"});
        const QString written = ReadConfig();
        QVERIFY2(written.contains("UserID=migrator"), qPrintable(written));
        QVERIFY(written.contains("Provider=Microsoft OLE DB Provider for SQL Server"));
        QVERIFY(written.contains("SourceName=ProdServer"));
        QVERIFY(written.contains("Tips=true"));
        QVERIFY(written.contains("Encrypt=strict"));
        QVERIFY(written.contains("TrustServerCertificate=true"));
        struct stat info {};
        QCOMPARE(::stat(ConfigPath().toLocal8Bit().constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);
    }

    // Choosing the TCP/IP provider presets "127.0.0.1"; what the user then types, with or
    // without clicking into the field first, replaces it instead of being appended to it.
    void aTypedServerReplacesThePresetOne() {
        WriteConfig(SampleConfig(false));
        auto window = NewWindow();
        ModalAnswerer answerer;
        answerer.Handle([&](QWidget* widget) {
            auto* config = qobject_cast<ConfigDialog*>(widget);
            QVERIFY(config);
            const ConfigDialog::SideWidgets& target = config->side(ConfigSide::Target);
            QLineEdit* name = target.sourceName->lineEdit();
            auto choose = [&](const QString& provider) {
                target.provider->setCurrentText(provider);
                QCOMPARE(target.provider->currentText(), provider);
            };
            choose("Microsoft OLE DB Provider for SQL Server");
            choose("TCP/IP:Port");
            QCOMPARE(name->text(), QStringLiteral("127.0.0.1"));
            QTest::keyClicks(name, "db.example:1433");
            QCOMPARE(name->text(), QStringLiteral("db.example:1433"));

            choose("Microsoft OLE DB Provider for SQL Server");
            choose("TCP/IP:Port");
            QTest::mouseClick(name, Qt::LeftButton, {}, QPoint(name->width() - 4, name->height() / 2));
            QTest::keyClicks(name, "127.0.0.1:33077");
            QCOMPARE(name->text(), QStringLiteral("127.0.0.1:33077"));
            // Only the first click selects: the next one places the cursor to edit.
            QTest::mouseClick(name, Qt::LeftButton, {}, QPoint(name->width() - 4, name->height() / 2));
            QTest::keyClick(name, Qt::Key_End);
            QTest::keyClick(name, Qt::Key_Backspace);
            QCOMPARE(name->text(), QStringLiteral("127.0.0.1:3307"));
            QTest::mouseClick(config->saveButton(), Qt::LeftButton);
            config->reject();
        });
        answerer.Press(QMessageBox::Ok);
        window->ConfigureCommand();
        QCOMPARE(answerer.pending(), 0);
        const QString written = ReadConfig();
        QVERIFY2(written.contains("SourceName=127.0.0.1:3307\n"), qPrintable(written));
    }
};

VELMORA_GUI_TEST(StartupAndConfigTest)

}  // namespace velmora::test

#include "StartupAndConfigTest.moc"
