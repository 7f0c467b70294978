// The commands of the main window's menus and tool bar: each one hands over to the core object
// that carries it out.
#include <QMessageBox>

#include "MainWindow.h"
#include "Manual.h"

namespace velmora {

void MainWindow::ConfigureCommand() {}

void MainWindow::ConnectCommand() {}

void MainWindow::DriverCheckCommand() {}

void MainWindow::ExitCommand() {
    exitAtOnce_ = true;
    close();
}

void MainWindow::MigrateCommand() {}

void MainWindow::DeleteSelectedCommand() {}

void MainWindow::BackupCommand() {}

void MainWindow::ManualCommand() {
    if (!OpenManual()) {
        model_->log().WriteOutputLine("Can not open the manual [%s]!",
                                      ManualPath().toStdString().c_str());
    }
}

void MainWindow::AboutCommand() {
    QMessageBox::about(this, QStringLiteral("About Velmora"),
                       MainWindowTitle() +
                           QStringLiteral("\n\nMigrates MySQL and MariaDB databases into "
                                          "Microsoft SQL Server."));
}

}  // namespace velmora
