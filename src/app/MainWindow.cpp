#include "MainWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "AssessmentViewer.h"
#include "CutoverRunner.h"
#include "DatabaseTreeView.h"
#include "HintPane.h"
#include "TreeMenus.h"
#include "LogPane.h"
#include "BackgroundDrag.h"
#include "Pictures.h"
#include "TaskListView.h"
#include "Converters/Conditions.h"
#include "config/WorkFolder.h"

namespace velmora {

QString MainWindowTitle() {
    return QStringLiteral("MySQL") + QStringLiteral(" To ") + QStringLiteral("MSSQL") +
           QStringLiteral(" Velmora") + QStringLiteral(" Version: " VELMORA_VERSION);
}

MainWindow::MainWindow(MainWindowSetup setup, QWidget* parent) : QMainWindow(parent) {
    model_ = std::make_unique<MainWindowModel>(port_, std::move(setup.source),
                                               std::move(setup.target));
    model_->connectionFactory = std::move(setup.connectionFactory);
    commands_ = std::make_unique<MainWindowCommands>(*model_, std::move(setup.taskRunner),
                                                     setup.timings);
    setWindowTitle(MainWindowTitle());
    setWindowIcon(WindowPicture());
    new BackgroundDrag(this);
    PrepareProgramFolder();
    BuildMenuBar();
    BuildToolBar();

    auto* vertical = new QSplitter(Qt::Vertical);
    vertical->setObjectName(QStringLiteral("workArea"));
    vertical->addWidget(BuildExplorer());
    vertical->addWidget(BuildLowerTabs());
    vertical->setStretchFactor(0, 3);
    vertical->setStretchFactor(1, 2);
    vertical->setChildrenCollapsible(false);
    setCentralWidget(vertical);

    model_->SetControllerState(ControllerState::Idle);
    BuildStatusBar();
    ConnectTaskListCommands();
    port_.Attach(this);

    timer_ = new QTimer(this);
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &MainWindow::Tick);
    timer_->start();
    lowerTabs_->setCurrentWidget(taskListView_);
    SetTipsTabVisible(model_->options().tips);
    resize(1024, 720);
}

MainWindow::~MainWindow() {
    StopForClose();
    commands_.reset();
    port_.Attach(nullptr);
}

// The program folder becomes the current folder, and Condition.cfg exists there.
void MainWindow::PrepareProgramFolder() {
    EnsureWorkFolder("./");
    const std::string conditions = ProgramFolder() + "Condition.cfg";
    if (!EnsureConditionFile(conditions)) {
        model_->log().WriteOutputLine("Can not create [%s]!", conditions.c_str());
    }
    model_->SetConditionFilePath(conditions);
}

void MainWindow::BuildMenuBar() {
    QMenuBar* bar = menuBar();
    auto menu = [this, bar](int id, const QString& title) {
        menus_[id] = bar->addMenu(title);
        return menus_[id];
    };
    QMenu* connectMenu = menu(0, QStringLiteral("&Connect"));
    connectMenu->addAction(QStringLiteral("&Config"), this, &MainWindow::ConfigureCommand);
    connectMenu->addAction(QStringLiteral("Co&nnect"), this, &MainWindow::ConnectCommand);
    connectMenu->addAction(QStringLiteral("Driver Check"), this, &MainWindow::DriverCheckCommand);
    connectMenu->addSeparator();
    connectMenu->addAction(QStringLiteral("E&xit"), this, &MainWindow::ExitCommand);

    QMenu* operation = menu(1, QStringLiteral("&Operation"));
    operation->addAction(QStringLiteral("Migrate"), this, &MainWindow::MigrateCommand);
    operation->addAction(QStringLiteral("Delete Selected"), this,
                         &MainWindow::DeleteSelectedCommand);
    operation->addAction(QStringLiteral("&Backup"), this, &MainWindow::BackupCommand);
    operation->addSeparator();
    operation->addAction(QStringLiteral("&Verify"), this, &MainWindow::VerifyCommand);
    operation->addAction(QStringLiteral("&Assess"), this, &MainWindow::AssessCommand);
    // What a migration does after copying, for the tasks queued from now on.
    QMenu* verifyAfter = operation->addMenu(QStringLiteral("Verify After Migration"));
    auto* verifyModes = new QActionGroup(verifyAfter);
    for (VerifyMode mode : {VerifyMode::None, VerifyMode::Count, VerifyMode::Full}) {
        static const char* const kLabels[] = {"None", "Row Counts", "Every Value"};
        QAction* item = verifyAfter->addAction(QString::fromLatin1(kLabels[static_cast<int>(mode)]));
        item->setCheckable(true);
        item->setChecked(model_->options().verify == mode);
        verifyModes->addAction(item);
        connect(item, &QAction::triggered, this, [this, mode] { model_->options().verify = mode; });
    }
    // Online migration: a database migration queued from now on follows the source's changes
    // after its copy, until Cut Over or Stop.
    QAction* follow = operation->addAction(QStringLiteral("Follow Changes"));
    follow->setCheckable(true);
    follow->setChecked(model_->options().follow);
    connect(follow, &QAction::toggled, this, [this](bool on) { model_->options().follow = on; });
    operation->addAction(QStringLiteral("Cut Over"), this, &MainWindow::CutoverCommand);

    // The selection menus: each item is a tree command.
    auto treeItem = [this](QMenu* menu, const QString& text, const QString& command) {
        QAction* item = menu->addAction(text);
        connect(item, &QAction::triggered, this, [this, command] { RunMenuBarTreeCommand(command); });
        return item;
    };
    using namespace tree_command;
    QMenu* databases = menu(2, QStringLiteral("D&atabases"));
    treeItem(databases, kNewDatabase, kNewDatabase);
    treeItem(databases, kChangeCharset, kChangeCharset);
    storageEngineItem_ = treeItem(databases, QString::fromStdString(model_->storageEngineMenuText),
                                  kStorageEngines);
    QMenu* database = menu(3, QStringLiteral("&Database"));
    for (const QString& item : {kDeleteDatabase, kClearAllTables, kClearAllData}) {
        treeItem(database, item, item);
    }
    QMenu* table = menu(4, QStringLiteral("&Table"));
    for (const QString& item : {kMigrationCondition, kDropTable, kDropView, kRenameTable}) {
        treeItem(table, item, item);
    }
    QMenu* help = menu(5, QStringLiteral("&Help"));
    QAction* manual = help->addAction(QStringLiteral("&Manual"), this, &MainWindow::ManualCommand);
    manual->setShortcut(QKeySequence(Qt::Key_F1));
    manual->setShortcutContext(Qt::ApplicationShortcut);
    aboutEntry_ = bar->addAction(QStringLiteral("&About"), this, &MainWindow::AboutCommand);

    // Nothing is selected yet: the three selection menus wait for a tree selection.
    for (int id : {2, 3, 4}) menus_[id]->menuAction()->setVisible(false);
}

void MainWindow::BuildToolBar() {
    QToolBar* tools = addToolBar(QStringLiteral("Commands"));
    tools->setObjectName(QStringLiteral("commands"));
    tools->setMovable(false);
    tools->setIconSize(QSize(24, 24));
    tools->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    struct Button {
        ToolPicture picture;
        const char* caption;
        const char* tooltip;
        void (MainWindow::*command)();
    };
    const Button buttons[] = {
        {ToolPicture::Configure, " Configure ", "Database Connections Config",
         &MainWindow::ConfigureCommand},
        {ToolPicture::Connect, " Connect ", "Connect the DataSources", &MainWindow::ConnectCommand},
        {ToolPicture::Migrate, " Migrate ", "Convert from source into target",
         &MainWindow::MigrateCommand},
        {ToolPicture::Delete, " Delete ", "Delete the selected object",
         &MainWindow::DeleteSelectedCommand},
        {ToolPicture::Backup, " Backup ", "Backup the selected object", &MainWindow::BackupCommand},
    };
    for (const Button& button : buttons) {
        QAction* action = tools->addAction(ToolBarPicture(button.picture),
                                           QString::fromLatin1(button.caption));
        action->setToolTip(QString::fromLatin1(button.tooltip));
        connect(action, &QAction::triggered, this, button.command);
    }
}

QWidget* MainWindow::BuildExplorer() {
    explorer_ = new QSplitter(Qt::Horizontal);
    explorer_->setObjectName(QStringLiteral("explorer"));
    const char* titles[2] = {"MySQL", "MSSQL"};
    for (int side = 0; side < 2; ++side) {
        auto* pane = new QWidget;
        auto* layout = new QVBoxLayout(pane);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        paneTitles_[side] = new QLabel(QString::fromLatin1(titles[side]));
        paneTitles_[side]->setObjectName(side == 0 ? QStringLiteral("sourceTitle")
                                                   : QStringLiteral("targetTitle"));
        paneTitles_[side]->setStyleSheet(QStringLiteral(
            "QLabel { background: #3c6eb4; color: white; font-weight: bold; padding: 3px 6px; }"));
        trees_[side] = NewTreeView(static_cast<TreeSide>(side));
        layout->addWidget(paneTitles_[side]);
        layout->addWidget(trees_[side]);
        explorer_->addWidget(pane);
    }
    explorer_->setStretchFactor(0, 1);
    explorer_->setStretchFactor(1, 1);
    explorer_->setSizes({500, 500});
    return explorer_;
}

QWidget* MainWindow::BuildLowerTabs() {
    lowerTabs_ = new QTabWidget;
    lowerTabs_->setObjectName(QStringLiteral("lowerTabs"));
    logPane_ = new LogPane;
    taskListView_ = new TaskListView;
    hintPane_ = new HintPane;
    tipsTab_ = hintPane_;
    lowerTabs_->addTab(logPane_, QStringLiteral("Log"));
    lowerTabs_->addTab(taskListView_, QStringLiteral("Task List"));
    lowerTabs_->addTab(hintPane_, QStringLiteral("Tips"));
    return lowerTabs_;
}

void MainWindow::BuildStatusBar() {
    const QString texts[3] = {MainWindowTitle(), QStringLiteral("Main Controller:IDLE"),
                              QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss"))};
    for (int pane = 0; pane < 3; ++pane) {
        statusPanes_[pane] = new QLabel(texts[pane]);
        statusPanes_[pane]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusBar()->addWidget(statusPanes_[pane]);
    }
    statusBar()->setSizeGripEnabled(true);
    LayOutStatusPanes();
}

void MainWindow::LayOutStatusPanes() {
    if (!statusPanes_[0]) return;
    const int width = this->width();
    statusPanes_[0]->setFixedWidth(width * 5 / 8);
    statusPanes_[1]->setFixedWidth(width * 2 / 8);
    // The clock pane is 42 pixels, or as wide as the time needs in the desktop's font.
    const int clock = statusPanes_[2]->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00"));
    statusPanes_[2]->setFixedWidth(std::max(42, clock + 8));
}

void MainWindow::ConnectTaskListCommands() {
    connect(taskListView_, &TaskListView::clearAllRequested, this, [this] {
        commands_->ClearAllTasksCommand();
        RefreshTaskList();
    });
    connect(taskListView_, &TaskListView::deleteRequested, this,
            [this] { RunListCommand(&MainWindowCommands::DeleteTaskCommand); });
    connect(taskListView_, &TaskListView::itemUpRequested, this,
            [this] { RunListCommand(&MainWindowCommands::ItemUpCommand); });
    connect(taskListView_, &TaskListView::itemDownRequested, this,
            [this] { RunListCommand(&MainWindowCommands::ItemDownCommand); });
    connect(taskListView_, &TaskListView::stopStartRequested, this,
            [this] { commands_->scheduler().StopStartCommand(); });
    connect(taskListView_, &TaskListView::reportRequested, this,
            [this] { commands_->ShowReportCommand(); });
}

void MainWindow::RunListCommand(void (MainWindowCommands::*command)(std::optional<size_t>)) {
    const int row = taskListView_->selectedRow();
    std::optional<size_t> position;
    if (row >= 0) position = static_cast<size_t>(row);
    const TaskPtr task = position ? tasks().At(*position) : nullptr;
    (commands_.get()->*command)(position);
    RefreshTaskList();
    const std::optional<size_t> now = task ? tasks().PositionOf(task.get()) : std::nullopt;
    taskListView_->SelectRow(now ? static_cast<int>(*now) : -1);
}

QLabel* MainWindow::statusPane(int pane) const {
    return pane >= 0 && pane < 3 ? statusPanes_[pane] : nullptr;
}

QLabel* MainWindow::paneTitle(TreeSide side) const {
    return paneTitles_[static_cast<int>(side)];
}

QAction* MainWindow::menuEntry(int id) const {
    if (id == 6) return aboutEntry_;
    return id >= 0 && id < 6 ? menus_[id]->menuAction() : nullptr;
}

QAction* MainWindow::findAction(const QString& text) const {
    for (QMenu* menu : menus_) {
        for (QAction* action : menu->actions()) {
            if (action->text() == text) return action;
        }
    }
    return nullptr;
}

void MainWindow::SetTipsTabVisible(bool visible) {
    const int index = lowerTabs_->indexOf(tipsTab_);
    if (visible && index < 0) {
        lowerTabs_->addTab(tipsTab_, QStringLiteral("Tips"));
    } else if (!visible && index >= 0) {
        lowerTabs_->removeTab(index);
        tipsTab_->hide();
    }
}

void MainWindow::RefreshTaskList() { taskListView_->ShowRows(BuildTaskListRows(tasks())); }

void MainWindow::Tick() {
    statusPanes_[2]->setText(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss")));
    if (ticker_.Tick(lowerTabs_->currentWidget() == taskListView_)) RefreshTaskList();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!exitAtOnce_ && !scheduler().CloseRequest()) {
        event->ignore();
        return;
    }
    StopForClose();
    event->accept();
}

void MainWindow::StopForClose() {
    // Release the scheduler thread from any wait for this thread, then let it end.
    timer_->stop();
    port_.Shutdown();
    if (model_->controllerState() == ControllerState::Running) {
        model_->SetControllerState(ControllerState::StopRequested);
    }
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape belong to the control that has the focus; they never close the window.
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            QMainWindow::keyPressEvent(event);
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    LayOutStatusPanes();
}

// PortView

void MainWindow::AppendLogLine(const QString& line) { logPane_->AppendLine(line); }

void MainWindow::ShowHintText(const QString& text) {
    hintPane_->ShowHint(text);
    if (lowerTabs_->indexOf(tipsTab_) >= 0) lowerTabs_->setCurrentWidget(tipsTab_);
}

void MainWindow::SetStatusText(int pane, const QString& text) {
    if (QLabel* label = statusPane(pane)) label->setText(text);
}

void MainWindow::RefreshTaskListSoon() { ticker_.RequestListRefresh(); }

void MainWindow::SetStopStartButton(bool pausePicture, const QString& tooltip) {
    taskListView_->SetStopStartButton(pausePicture, tooltip);
}

}  // namespace velmora
