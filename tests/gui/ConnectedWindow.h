// ConnectedWindow: a main window whose source is the real local MariaDB (a database of the
// test's own, created and dropped by the fixture) and whose target is the scripted SQL Server
// double, connected by the program's own Connect command.
#pragma once

#include <memory>
#include <string>

#include "MainWindow.h"
#include "support/TargetDouble.h"

class QTreeWidgetItem;

namespace velmora::test {

class ConnectedWindow {
public:
    // Creates the source database `database` (tables orders and customers, view v_orders) and
    // the target catalogs master and sales (tables t1, t2, view v1), then connects. The tasks
    // run the program's own worker bodies.
    explicit ConnectedWindow(std::string database);
    ~ConnectedWindow();

    MainWindow& window() { return *window_; }
    TargetDouble& target() { return *target_; }
    const std::string& database() const { return database_; }

    // The item of the node with `text` in a tree (the first in tree order).
    QTreeWidgetItem* Item(TreeSide side, const QString& text) const;
    // Clicks the item, as the user does.
    void Click(TreeSide side, QTreeWidgetItem* item);
    // The messages of the log (time stamps removed).
    QStringList Messages() const;

private:
    std::string database_;
    TargetDouble* target_ = nullptr;
    std::unique_ptr<MainWindow> window_;
};

ConnectionSettings LocalSourceSettings(const std::string& database);

}  // namespace velmora::test
