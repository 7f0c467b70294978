#include "MainWindow.h"

namespace velmora {

QString MainWindowTitle() {
    return QStringLiteral("MySQL") + QStringLiteral(" To ") + QStringLiteral("MSSQL") +
           QStringLiteral(" Velmora") + QStringLiteral(" Version: 1.5");
}

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(MainWindowTitle());
    resize(1024, 720);
}

}  // namespace velmora
