// MainWindow: the one top-level window of the desktop program. It lays out the menu bar, the
// tool bar, the two database trees side by side, the lower tabs ("Log", "Task List", "Tips")
// and the status bar with its clock, renders the core's MainWindowModel and TaskList, and routes
// every menu, tool bar and key command to the core object that carries it out. It holds no
// migration logic of its own.
//
// Interface thread only. The scheduler thread reaches the window only through the QtPort.
#pragma once

#include <QMainWindow>
#include <memory>

#include "PortView.h"
#include "commands/MainWindowCommands.h"
#include "QtPort.h"
#include "tasks/TaskListRows.h"

class QLabel;
class QMenu;
class QSplitter;
class QTabWidget;
class QTimer;

namespace velmora {

class AssessmentRunner;
class CutoverRunner;
class DatabaseTreeView;
class HintPane;
class LogPane;
class TaskListView;

// What the window is built from: the two connections (real ODBC ones in the program, the
// target double in tests), the task runner (empty: the worker bodies of the task types) and the
// scheduler's timings.
struct MainWindowSetup {
    std::unique_ptr<DataSourceConnection> source;
    std::unique_ptr<DataSourceConnection> target;
    // Fresh, unconnected connections (the driver probes and the Config dialog's test).
    std::function<std::unique_ptr<DataSourceConnection>(TreeSide)> connectionFactory;
    TaskRunner taskRunner;
    SchedulerTimings timings;
};

// "MySQL To MSSQL Velmora Version: 1.5"
QString MainWindowTitle();

class MainWindow : public QMainWindow, private PortView {
    Q_OBJECT
public:
    explicit MainWindow(MainWindowSetup setup, QWidget* parent = nullptr);
    ~MainWindow() override;

    MainWindowModel& model() { return *model_; }
    MainWindowCommands& commands() { return *commands_; }
    TaskList& tasks() { return commands_->tasks(); }
    TaskScheduler& scheduler() { return commands_->scheduler(); }
    QtPort& port() { return port_; }

    LogPane* logPane() const { return logPane_; }
    HintPane* hintPane() const { return hintPane_; }
    TaskListView* taskListView() const { return taskListView_; }
    QTabWidget* lowerTabs() const { return lowerTabs_; }
    QSplitter* explorer() const { return explorer_; }
    QLabel* statusPane(int pane) const;
    QLabel* paneTitle(TreeSide side) const;
    DatabaseTreeView* treeView(TreeSide side) const;
    // The menu bar's entries by command id 0 to 6: "&Connect", "&Operation", "D&atabases",
    // "&Database", "&Table", "&Help", "&About".
    QAction* menuEntry(int id) const;
    QAction* findAction(const QString& text) const;

    // Shows or removes the "Tips" tab (the hint pane keeps its text either way).
    void SetTipsTabVisible(bool visible);
    // Rebuilds the task list view now.
    void RefreshTaskList();
    // One tick of the one-second timer: the clock, and the task list by the refresh rule.
    void Tick();
    // Once the window is shown: the driver check, then Config, then Connect.
    void StartUp();
    // A command of a tree's popup, or of the selection menus, carried out on `tree`.
    void RunTreeCommand(DatabaseTreeView* tree, const QString& command);

public slots:
    // The commands of the menus and tool bars.
    void ConfigureCommand();
    void ConnectCommand();
    void DriverCheckCommand();
    void ExitCommand();
    void MigrateCommand();
    void DeleteSelectedCommand();
    void BackupCommand();
    void VerifyCommand();
    // Assesses the selected source database off the interface thread and shows the page.
    void AssessCommand();
    // Asks the following task of the selected databases to cut over (CutoverRunner.h).
    void CutoverCommand();
    void ManualCommand();
    void AboutCommand();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // PortView
    void AppendLogLine(const QString& line) override;
    void ShowHintText(const QString& text) override;
    void SetStatusText(int pane, const QString& text) override;
    void RefreshTree(TreeSide side) override;
    void RefreshTaskListSoon() override;
    void SetStopStartButton(bool pausePicture, const QString& tooltip) override;
    QWidget* DialogParent() override { return this; }

    void PrepareProgramFolder();
    void BuildMenuBar();
    DatabaseTreeView* NewTreeView(TreeSide side);
    void OnNodeSelected(DatabaseTreeView* tree, int kind);
    void RunMenuBarTreeCommand(const QString& command);
    void OpenConditionDialog(DatabaseTreeView* tree);
    void BuildToolBar();
    QWidget* BuildExplorer();
    QWidget* BuildLowerTabs();
    void BuildStatusBar();
    void ConnectTaskListCommands();
    // Runs a list command on the selected row; the selection follows the task.
    void RunListCommand(void (MainWindowCommands::*command)(std::optional<size_t>));
    void LayOutStatusPanes();
    void StopForClose();

    QtPort port_;  // first: it outlives the model and the scheduler that call it
    std::unique_ptr<MainWindowModel> model_;
    std::unique_ptr<MainWindowCommands> commands_;  // the task list, the scheduler, the commands
    RefreshTicker ticker_;
    bool exitAtOnce_ = false;

    QMenu* menus_[6] = {};
    QAction* aboutEntry_ = nullptr;
    QSplitter* explorer_ = nullptr;
    QLabel* paneTitles_[2] = {};
    DatabaseTreeView* trees_[2] = {};
    DatabaseTreeView* activeTree_ = nullptr;  // the tree of the last selection
    QAction* storageEngineItem_ = nullptr;
    QTabWidget* lowerTabs_ = nullptr;
    LogPane* logPane_ = nullptr;
    HintPane* hintPane_ = nullptr;
    TaskListView* taskListView_ = nullptr;
    QWidget* tipsTab_ = nullptr;
    QLabel* statusPanes_[3] = {};
    QTimer* timer_ = nullptr;
    // Last: it is destroyed first, waiting for an assessment that still uses the model's log.
    std::unique_ptr<AssessmentRunner> assessment_;
    std::unique_ptr<CutoverRunner> cutover_;
};

}  // namespace velmora
