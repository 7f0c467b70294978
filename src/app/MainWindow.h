// MainWindow: the one top-level window of the desktop program. Interface thread only.
#pragma once

#include <QMainWindow>

namespace velmora {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
};

// "MySQL To MSSQL Velmora Version: 1.5"
QString MainWindowTitle();

}  // namespace velmora
