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

#include "ConditionDialog.h"
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

int RunTour(const QString& folder) {
    QDir().mkpath(folder);
    MainWindowSetup setup;
    setup.source = NewOdbcConnection();
    auto target = std::make_unique<TargetDouble>();
    target->AddCatalog("shop_copy");
    setup.target = std::move(target);
    MainWindow window(std::move(setup));
    window.resize(1180, 760);
    window.show();
    if (ConnectLocalMariaDb(window.model().sourceConnection(), "shop") != kSuccess) {
        std::fprintf(stderr, "gui_screenshots: cannot connect to the local MariaDB: %s\n",
                     window.model().sourceConnection().ProviderErrorText().c_str());
        return 1;
    }
    Tour tour(folder, window);
    tour.Save(&window, QStringLiteral("main-window"));

    tour.SaveModal(QStringLiteral("condition-dialog"), [&] {
        ConditionDialogModel model(window.model(), window.model().conditionFilePath(), "shop",
                                   "orders");
        ConditionDialog dialog(model, &window);
        dialog.editor()->setPlainText(QStringLiteral("customer_id > 10"));
        dialog.testButton()->click();
        dialog.exec();
    });
    tour.SaveModal(QStringLiteral("db-name-prompt"),
                   [&] { window.port().PromptText("DB Name:"); });
    tour.SaveModal(QStringLiteral("charset-choice"), [&] {
        const std::vector<std::string> sets = {
            "BIG5",   "DEC8",    "CP850",  "HP8",    "KOI8R",    "LATIN1",  "LATIN2",  "SWE7",
            "ASCII",  "UJIS",    "SJIS",   "HEBREW", "TIS620",   "EUCKR",   "KOI8U",   "GB2312",
            "GREEK",  "CP1250",  "GBK",    "LATIN5", "ARMSCII8", "UTF8",    "UCS2",    "CP866",
            "KEYBCS2", "MACCE",  "MACROMAN", "CP852", "LATIN7",  "CP1251",  "CP1256",  "CP1257",
            "BINARY", "GEOSTD8", "CP932",  "EUCJPMS"};
        window.port().ChooseOne("Character Set", sets, 5);
    });
    tour.SaveModal(QStringLiteral("question-box"), [&] {
        window.port().AskOkCancel("Clone database [shop] of source tree?");
    });
    tour.SaveModal(QStringLiteral("warning-box"), [&] {
        window.port().AskYesNo(
            "After remove, you can not restore [shop_copy] again! Continue?\nPress YES to Continue "
            "Removing!");
    });
    tour.SaveModal(QStringLiteral("message-box"),
                   [&] { window.port().ShowMessage("No Target DataSource Connection!"); });
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
