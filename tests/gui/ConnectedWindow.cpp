#include "ConnectedWindow.h"

#include <QTest>
#include <QTreeWidgetItemIterator>

#include "Converters/Thread/WorkerBodies.h"
#include "DatabaseTreeView.h"
#include "LogPane.h"
#include "data/OdbcConnection.h"
#include "support/LocalMariaDb.h"
#include "support/SharedConnection.h"
#include "tasks/OperationLog.h"

namespace velmora::test {

ConnectionSettings LocalSourceSettings(const std::string& database) {
    MariaDbAddress db = LocalMariaDb();
    return {"TCP/IP:Port", "MSDASQL", db.host + ":" + std::to_string(db.port), db.user,
            db.password, database};
}

ConnectedWindow::ConnectedWindow(std::string database)
    : database_(std::move(database)) {
    RunMariaDbClient("drop database if exists " + database_ + "; create database " + database_ +
                     "; use " + database_ +
                     "; create table customers (id int primary key, name varchar(40));"
                     " create table orders (id int primary key, customer_id int, total int);"
                     " insert into customers values (1,'Ann'),(2,'Bob');"
                     " insert into orders values (1,1,10),(2,1,20),(3,2,30);"
                     " create view v_orders as select id, total from orders;");
    auto target = std::make_unique<TargetDouble>();
    target_ = target.get();
    target_->AddCatalog("master");
    target_->AddCatalog("sales");
    target_->AddTable("sales", "t1");
    target_->AddTable("sales", "t2");
    target_->AddTable("sales", "v1", "VIEW");
    target_->SetProperty(kPropCurrentCatalog, "sales");
    target_->ClearStatements();

    MainWindowSetup setup;
    setup.source = NewOdbcConnection();
    setup.target = std::move(target);
    // A task's own target connection stands for the window's target double, so that the
    // statements of every task can be read from it.
    TargetDouble* shared = target_;
    setup.connectionFactory = [shared](TreeSide side) -> std::unique_ptr<DataSourceConnection> {
        if (side == TreeSide::Source) return NewOdbcConnection();
        return std::make_unique<SharedConnection>(*shared);
    };
    setup.timings.passInterval = std::chrono::milliseconds(100);
    setup.timings.closeWait = std::chrono::milliseconds(10);
    window_ = std::make_unique<MainWindow>(std::move(setup));
    window_->resize(1100, 750);
    window_->show();
    window_->model().sourceSettings = LocalSourceSettings(database_);
    window_->model().targetSettings = {"TCP/IP:Port", "MSDASQL", "sqlhost:1433", "sa", "pw", "sales"};
    window_->ConnectCommand();
    QCoreApplication::processEvents();
}

ConnectedWindow::~ConnectedWindow() {
    window_.reset();
    RunMariaDbClient("drop database if exists " + database_ + ";");
}

QTreeWidgetItem* ConnectedWindow::Item(TreeSide side, const QString& text) const {
    window_->treeView(side)->Rebuild();
    for (QTreeWidgetItemIterator it(window_->treeView(side)); *it; ++it) {
        if ((*it)->text(0) == text) return *it;
    }
    return nullptr;
}

void ConnectedWindow::Click(TreeSide side, QTreeWidgetItem* item) {
    DatabaseTreeView* tree = window_->treeView(side);
    tree->scrollToItem(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
}

QStringList ConnectedWindow::Messages() const {
    QStringList messages;
    const int prefix = static_cast<int>(OperationLog::TimePrefix().size());
    for (const QString& line : window_->logPane()->lines()) messages << line.mid(prefix);
    return messages;
}

}  // namespace velmora::test
