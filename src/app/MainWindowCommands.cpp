// The commands of the main window's menus and tool bar: each one hands over to the core object
// that carries it out, opening the dialog that shows it where there is one.
#include <QMessageBox>
#include <QTabWidget>
#include <QTimer>

#include "assessment/AssessCommand.h"
#include "assessment/TargetVersion.h"
#include "Converters/TargetServer.h"
#include "AssessmentViewer.h"
#include "CutoverRunner.h"
#include "ConfigDialog.h"
#include "DriverCheckDialog.h"
#include "LogPane.h"
#include "MainWindow.h"
#include "Manual.h"
#include "TaskListView.h"
#include "config/ConfigDialogModel.h"
#include "commands/ConnectCommands.h"
#include "config/ConnectSequence.h"
#include "config/DriverCheck.h"
#include "config/WorkFolder.h"

namespace velmora {

void MainWindow::StartUp() {
    // Once the window is shown: the driver check, whose OK opens Config, whose Connect connects.
    QTimer::singleShot(0, this, &MainWindow::DriverCheckCommand);
}

void MainWindow::ConfigureCommand() {
    ConfigDialogModel config(WindowConfigHost(*model_), ConfigFilePath(velmora::ProgramFolder()));
    ConfigDialog dialog(config, this);
    SetTipsTabVisible(model_->options().tips);
    connect(&dialog, &ConfigDialog::tipsChanged, this, &MainWindow::SetTipsTabVisible);
    connect(&dialog, &ConfigDialog::connected, this,
            [this] { lowerTabs_->setCurrentWidget(taskListView_); });
    dialog.exec();
}

void MainWindow::ConnectCommand() { velmora::ConnectCommand(*model_); }

void MainWindow::DriverCheckCommand() {
    DriverCheckModel check(model_->port(), velmora::ProgramFolder());
    check.Refresh();
    DriverCheckDialog dialog(check, this);
    const int result = dialog.exec();
    if (result == QDialog::Accepted) {
        QTimer::singleShot(0, this, &MainWindow::ConfigureCommand);
    } else if (result == DriverCheckDialog::kRecheck) {
        QTimer::singleShot(0, this, &MainWindow::DriverCheckCommand);
    }
}

void MainWindow::ExitCommand() {
    exitAtOnce_ = true;
    close();
}

void MainWindow::MigrateCommand() { commands_->MigrateCommand(); }

void MainWindow::DeleteSelectedCommand() { commands_->DeleteSelectedCommand(); }

void MainWindow::BackupCommand() { commands_->BackupCommand(); }

void MainWindow::VerifyCommand() { commands_->VerifyCommand(); }

void MainWindow::AssessCommand() {
    std::optional<std::string> database =
        model_->sourceTree().session() ? SelectedSourceDatabase(model_->sourceTree()) : std::nullopt;
    if (!database) {
        model_->log().ShowHint("Please select the database to assess in Source Databases Tree!");
        model_->port().ShowMessage("No Selected Source Database!");
        return;
    }
    if (!assessment_) {
        assessment_ = std::make_unique<AssessmentRunner>();
        connect(assessment_.get(), &AssessmentRunner::finished, this,
                [this](std::shared_ptr<AssessmentRun> run) {
                    if (!run->failure.empty()) {
                        model_->port().ShowMessage(run->failure);
                        return;
                    }
                    auto* viewer = new AssessmentViewer(std::move(run->assessment), this);
                    viewer->setAttribute(Qt::WA_DeleteOnClose);
                    viewer->show();
                });
    }
    // A connected target tells the version the assessment checks against.
    std::string version;
    if (Session* target = model_->targetSession()) version = TargetVersionOf(GetTargetServerVersion(model_->log(), target));
    if (!assessment_->Start(model_->log(), model_->sourceSettings, model_->connectionFactory, *database,
                            model_->options().ForTask(), version)) {
        model_->port().ShowMessage("An assessment is under way: it opens when it is done.");
        return;
    }
}

void MainWindow::CutoverCommand() {
    const std::optional<std::string> source =
        model_->sourceTree().session() ? SelectedSourceDatabase(model_->sourceTree()) : std::nullopt;
    const std::optional<std::string> target =
        model_->targetTree().session() ? SelectedSourceDatabase(model_->targetTree()) : std::nullopt;
    if (!source || !target) {
        model_->log().ShowHint("Please select the followed source database and its target database in the trees!");
        model_->port().ShowMessage("No Selected Database!");
        return;
    }
    if (!cutover_) {
        cutover_ = std::make_unique<CutoverRunner>();
        connect(cutover_.get(), &CutoverRunner::finished, this,
                [this](const QString& outcome, bool) { model_->port().ShowMessage(outcome.toStdString()); });
    }
    if (!cutover_->Start(model_->log(), model_->sourceSettings, model_->targetSettings, model_->connectionFactory,
                         *source, *target, model_->options().targetSchema)) {
        model_->port().ShowMessage("A cutover is under way.");
    }
}

void MainWindow::ManualCommand() {
    EnsureWorkFolder("./");
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
