// velmora: the desktop program. Options: --screenshot FILE saves a picture of the main window
// once it is shown, then quits (used by scripts/screenshot under Xvfb).
#include <QApplication>
#include <QTimer>

#include "MainWindow.h"
#include "config/Configuration.h"
#include "data/OdbcConnection.h"

int main(int argc, char* argv[]) {
    velmora::KeepSecretsOutOfCoreDumps();
    QApplication app(argc, argv);
    QString screenshot;
    const QStringList arguments = app.arguments();
    const int option = arguments.indexOf(QStringLiteral("--screenshot"));
    if (option > 0 && option + 1 < arguments.size()) screenshot = arguments[option + 1];

    velmora::MainWindowSetup setup;
    setup.source = velmora::NewOdbcConnection();
    setup.target = velmora::NewOdbcConnection();
    setup.connectionFactory = [](velmora::TreeSide) { return velmora::NewOdbcConnection(); };
    velmora::MainWindow window(std::move(setup));
    window.show();
    if (screenshot.isEmpty()) {
        window.StartUp();
    } else {
        QTimer::singleShot(1500, &window, [&window, screenshot] {
            const bool saved = window.grab().save(screenshot);
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return QApplication::exec();
}
