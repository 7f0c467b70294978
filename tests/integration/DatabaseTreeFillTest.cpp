// Trees filled from the catalogs of the real local MariaDB (through "MariaDB Unicode") and of
// the SQL Server target double.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "commands/MainWindowModel.h"
#include "commands/ConnectCommands.h"
#include "config/ConnectSequence.h"
#include "data/OdbcConnection.h"
#include "explorer/TreeFill.h"
#include "support/LocalMariaDb.h"
#include "support/ScriptedPort.h"
#include "support/TargetDouble.h"

namespace velmora {
namespace {

// Databases of this test process (a unique prefix, so parallel runs do not meet).
std::string Db(const char* suffix) {
    return "velmora_it_tree_" + std::to_string(getpid()) + "_" + suffix;
}

std::vector<std::string> Texts(const TreeNode& node) {
    std::vector<std::string> texts;
    for (const TreeNode& child : node.children) texts.push_back(child.text);
    return texts;
}

// Rows come in the driver's order; where that order is the driver's business, compare sorted.
std::vector<std::string> Sorted(std::vector<std::string> texts) {
    std::sort(texts.begin(), texts.end());
    return texts;
}

const TreeNode* Child(const TreeNode& node, std::string_view text) {
    for (const TreeNode& child : node.children) {
        if (child.text == text) return &child;
    }
    return nullptr;
}

ConnectionSettings SourceSettings(const std::string& catalog) {
    test::MariaDbAddress db = test::LocalMariaDb();
    return ConnectionSettings{"TCP/IP:Port", "MSDASQL",   db.host + ":" + std::to_string(db.port),
                              db.user,       db.password, catalog};
}

class TreeFromMariaDb : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::RunMariaDbClient(
            "DROP DATABASE IF EXISTS " + Db("a") + "; DROP DATABASE IF EXISTS " + Db("b") + ";" +
            "CREATE DATABASE " + Db("a") + "; CREATE DATABASE " + Db("b") + "; USE " + Db("a") +
            ";"
            "CREATE TABLE customers (id INT PRIMARY KEY, name VARCHAR(40), city VARCHAR(40),"
            "  UNIQUE KEY name_city (name, city));"
            "CREATE TABLE `order items` (id INT);"
            "CREATE TABLE ab_c (only_in_ab_c INT);"
            "CREATE TABLE abxc (only_in_abxc INT);"
            "CREATE VIEW `my view` AS SELECT id, name FROM customers;"
            "CREATE VIEW plain_view AS SELECT city FROM customers;"
            "USE " +
            Db("b") + "; CREATE TABLE t (x INT);");
    }
    static void TearDownTestSuite() {
        test::RunMariaDbClient("DROP DATABASE IF EXISTS " + Db("a") + "; DROP DATABASE IF EXISTS " +
                               Db("b") + ";");
    }

    TreeFromMariaDb()
        : window_(port_, NewOdbcConnection(), std::make_unique<test::TargetDouble>()) {}

    // Connects the source with `catalog` as the database to open first.
    void Connect(const std::string& catalog) {
        window_.sourceSettings = SourceSettings(catalog);
        ASSERT_TRUE(ConnectSource(window_)) << ::testing::PrintToString(port_.Events());
    }
    const TreeNode& Root() { return window_.sourceTree().Contents()->topLevel.at(0); }

    test::ScriptedPort port_;
    MainWindowModel window_;
};

TEST_F(TreeFromMariaDb, ListsDatabasesAndTheCurrentDatabasesObjects) {
    Connect(Db("a"));
    auto contents = window_.sourceTree().Contents();
    ASSERT_EQ(contents->topLevel.size(), 1u);
    const TreeNode& root = contents->topLevel[0];
    EXPECT_EQ(root.kind, kRootNode);
    EXPECT_EQ(root.text, "DATABASES");  // a connection without a data source name
    EXPECT_TRUE(root.expanded);

    // One node per catalog, in the catalogs' order; only the current database has folders.
    // Other test programs create and drop their own scratch databases meanwhile (ctest runs
    // them in parallel), so those are left out of the comparison.
    auto stable = [](const std::vector<std::string>& names) {
        std::vector<std::string> kept;
        for (const std::string& name : names) {
            if (name.rfind("velmora_it_", 0) != 0 || name.rfind(Db(""), 0) == 0) kept.push_back(name);
        }
        return kept;
    };
    std::vector<std::string> expected;
    for (const auto& row : test::QueryRows("SHOW DATABASES")) expected.push_back(row.at(0));
    EXPECT_EQ(stable(Texts(root)), stable(expected));
    // The current database opens on its tables; the others stay folded.
    for (const TreeNode& database : root.children) {
        EXPECT_EQ(database.kind, kDatabaseNode);
        EXPECT_EQ(database.expanded, database.text == Db("a")) << database.text;
        if (database.text != Db("a")) {
            EXPECT_TRUE(database.children.empty()) << database.text;
        }
    }
    ASSERT_EQ(contents->currentDatabaseNode.has_value(), true);
    const TreeNode& current = *contents->At(*contents->currentDatabaseNode);
    EXPECT_EQ(current.text, Db("a"));
    EXPECT_EQ(Texts(current), (std::vector<std::string>{"Tables", "Views", "Procedures",
                                                        "Functions", "Triggers", "Events"}));
    const TreeNode& tables = current.children[0];
    const TreeNode& views = current.children[1];
    EXPECT_EQ(tables.kind, kTablesFolderNode);
    EXPECT_TRUE(tables.expanded);
    EXPECT_EQ(views.kind, kViewsFolderNode);

    // Names with blanks are listed, of tables and of views.
    EXPECT_EQ(Sorted(Texts(tables)),
              (std::vector<std::string>{"ab_c", "abxc", "customers", "order items"}));
    EXPECT_EQ(Texts(views), (std::vector<std::string>{"my view", "plain_view"}));

    const TreeNode& customers = *Child(tables, "customers");
    EXPECT_EQ(customers.kind, kTableNode);
    EXPECT_EQ(Texts(customers), (std::vector<std::string>{"Fields", "Indexes"}));
    EXPECT_EQ(Texts(customers.children[0]), (std::vector<std::string>{"id", "name", "city"}));
    EXPECT_EQ(customers.children[0].children[0].kind, kColumnNode);
    // One index row per index column: the two-column index is listed twice.
    EXPECT_EQ(Sorted(Texts(customers.children[1])),
              (std::vector<std::string>{"PRIMARY", "name_city", "name_city"}));
    EXPECT_EQ(customers.children[1].children[0].kind, kIndexNode);

    const TreeNode& myView = *Child(views, "my view");
    EXPECT_EQ(myView.kind, kViewNode);
    EXPECT_EQ(Texts(myView), (std::vector<std::string>{"Fields"}));
    EXPECT_EQ(Texts(myView.children[0]), (std::vector<std::string>{"id", "name"}));
}

TEST_F(TreeFromMariaDb, TableNamesAreNotPatterns) {
    Connect(Db("a"));
    const TreeNode& tables = window_.sourceTree()
                                 .Contents()
                                 ->At(*window_.sourceTree().Contents()->currentDatabaseNode)
                                 ->children[0];
    EXPECT_EQ(Texts(Child(tables, "ab_c")->children[0]), std::vector<std::string>{"only_in_ab_c"});
    EXPECT_EQ(Texts(Child(tables, "abxc")->children[0]), std::vector<std::string>{"only_in_abxc"});
}

TEST_F(TreeFromMariaDb, CurrentDatabaseMatchesACatalogSpelledInAnotherCase) {
    Connect(Db("a"));
    std::string upper = Db("a");
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    window_.sourceTree().SetCurrentDatabase(upper);
    FillDatabaseTree(window_.sourceTree(), window_.log(), window_.port());
    auto contents = window_.sourceTree().Contents();
    ASSERT_TRUE(contents->currentDatabaseNode.has_value());
    EXPECT_EQ(contents->At(*contents->currentDatabaseNode)->text, Db("a"));
    EXPECT_EQ(window_.sourceTree().currentDatabase(), upper);  // the name stays as it was set
}

TEST_F(TreeFromMariaDb, NullCatalogListsDatabasesOnly) {
    Connect("");
    for (const char* current : {"null", "NULL", "Null"}) {
        window_.sourceTree().SetCurrentDatabase(current);
        FillDatabaseTree(window_.sourceTree(), window_.log(), window_.port());
        auto contents = window_.sourceTree().Contents();
        ASSERT_EQ(contents->topLevel.size(), 1u) << current;
        EXPECT_TRUE(contents->topLevel[0].expanded);
        EXPECT_FALSE(contents->currentDatabaseNode.has_value());
        for (const TreeNode& database : contents->topLevel[0].children) {
            EXPECT_TRUE(database.children.empty()) << database.text;
        }
        EXPECT_NE(Child(contents->topLevel[0], Db("b")), nullptr);
    }
}

TEST_F(TreeFromMariaDb, WithoutADatabaseTheServersCurrentOneIsAsked) {
    Connect("");
    // The connection has no database: the tree asks the data source, gets nothing (or "null")
    // and lists the databases only.
    auto contents = window_.sourceTree().Contents();
    EXPECT_FALSE(contents->currentDatabaseNode.has_value());
    EXPECT_GT(contents->topLevel.at(0).children.size(), 2u);
}

TEST_F(TreeFromMariaDb, TheSampleDatabaseShowsItsTables) {
    Connect("shop");
    std::vector<std::string> expected;
    for (const auto& row : test::QueryRows(
             "SELECT table_name FROM information_schema.tables WHERE table_schema='shop' AND "
             "table_type='BASE TABLE' ORDER BY table_name")) {
        expected.push_back(row.at(0));
    }
    auto contents = window_.sourceTree().Contents();
    ASSERT_TRUE(contents->currentDatabaseNode.has_value());
    std::vector<std::string> tables =
        Texts(contents->At(*contents->currentDatabaseNode)->children[0]);
    EXPECT_EQ(Sorted(tables), Sorted(expected));
    EXPECT_NE(std::find(tables.begin(), tables.end(), "order notes"), tables.end());
}

// The sample's routines, triggers (by table in the server's collation, then in firing order) and
// events, each in its folder.
TEST_F(TreeFromMariaDb, TheSampleDatabaseShowsItsRoutinesTriggersAndEvents) {
    Connect("shop");
    auto contents = window_.sourceTree().Contents();
    ASSERT_TRUE(contents->currentDatabaseNode.has_value());
    const TreeNode& current = *contents->At(*contents->currentDatabaseNode);
    const struct {
        const char* folder;
        int folderKind;
        int nodeKind;
        std::vector<std::string> nodes;
    } cases[] = {
        {"Procedures", kProceduresFolderNode, kProcedureNode, {"check_stock", "reserve_order"}},
        {"Functions", kFunctionsFolderNode, kFunctionNode, {"customer_balance", "line_total"}},
        {"Triggers", kTriggersFolderNode, kTriggerNode,
         {"orders.orders_audit_insert", "orders.orders_audit_update", "orders.orders_ship_stock",
          "order_items.order_items_price", "order_items.order_items_total"}},
        {"Events", kEventsFolderNode, kEventNode, {"purge_audit_log"}},
    };
    for (const auto& c : cases) {
        const TreeNode* folder = Child(current, c.folder);
        ASSERT_NE(folder, nullptr) << c.folder;
        EXPECT_EQ(folder->kind, c.folderKind) << c.folder;
        EXPECT_FALSE(folder->expanded) << c.folder;
        EXPECT_EQ(Texts(*folder), c.nodes) << c.folder;
        for (const TreeNode& node : folder->children) EXPECT_EQ(node.kind, c.nodeKind) << node.text;
    }
}

TEST_F(TreeFromMariaDb, AddObjectDetailsAppendsAfterTheLastSibling) {
    Connect(Db("b"));
    EXPECT_EQ(AddObjectDetails(window_.sourceTree(), kTableNode, "t"), kSuccess);
    auto contents = window_.sourceTree().Contents();
    const TreeNode& tables = contents->At(*contents->currentDatabaseNode)->children[0];
    EXPECT_EQ(Texts(tables), (std::vector<std::string>{"t", "t"}));
    EXPECT_EQ(Texts(tables.children[1].children[0]), std::vector<std::string>{"x"});
}

TEST_F(TreeFromMariaDb, NotConnectedGivesAnEmptyTreeAndNoMessage) {
    FillDatabaseTree(window_.sourceTree(), window_.log(), window_.port());
    EXPECT_TRUE(window_.sourceTree().Contents()->topLevel.empty());
    EXPECT_TRUE(port_.Messages().empty());
    EXPECT_FALSE(window_.sourceTree().busy());
}

// The target side: the same code over the scripted SQL Server catalogs.
class TreeFromTarget : public ::testing::Test {
protected:
    TreeFromTarget() {
        auto target = std::make_unique<test::TargetDouble>();
        double_ = target.get();
        window_ = std::make_unique<MainWindowModel>(port_, NewOdbcConnection(), std::move(target));
        double_->AddCatalog("master");
        double_->AddCatalog("Sales");
        double_->AddTable("Sales", "orders");
        double_->AddColumn("Sales", "orders", "id");
        double_->AddIndex("Sales", "orders", "PK_orders", "id", true, true);
        double_->AddIndex("Sales", "orders", "  ", "id");  // a blank index name adds nothing
        double_->AddTable("Sales", "v_orders", "VIEW");
        double_->AddColumn("Sales", "v_orders", "id");
        double_->AddTable("Sales", "all_objects", "VIEW", "sys");
        double_->AddTable("Sales", "TABLES", "VIEW", "INFORMATION_SCHEMA");
        double_->AddTable("Sales", "tables", "VIEW", "information_schema");  // case counts
    }

    test::ScriptedPort port_;
    test::TargetDouble* double_ = nullptr;
    std::unique_ptr<MainWindowModel> window_;
};

TEST_F(TreeFromTarget, LeavesOutSystemViewsAndBlankIndexNames) {
    double_->SetProperty(kPropDataSourceName, "  mssql01  ");
    double_->SetProperty(kPropCurrentCatalog, "Sales");  // the server opened the catalog
    window_->targetSettings = {"TCP/IP:Port", "MSDASQL", "mssql01", "sa", "pw", "sales"};
    ASSERT_TRUE(ConnectTarget(*window_));
    auto contents = window_->targetTree().Contents();
    const TreeNode& root = contents->topLevel.at(0);
    EXPECT_EQ(root.text, "mssql01");  // trimmed
    EXPECT_EQ(Texts(root), (std::vector<std::string>{"master", "Sales"}));
    ASSERT_TRUE(contents->currentDatabaseNode.has_value());  // "sales" matched "Sales"
    const TreeNode& sales = *contents->At(*contents->currentDatabaseNode);
    EXPECT_EQ(Texts(sales.children[0]), std::vector<std::string>{"orders"});
    EXPECT_EQ(Texts(sales.children[0].children[0].children[1]),
              std::vector<std::string>{"PK_orders"});
    EXPECT_EQ(Texts(sales.children[1]), (std::vector<std::string>{"v_orders", "tables"}));
}

// A table and a view of another schema than dbo beside dbo's of the same name: shown as
// schema.name, each node keeping its schema and its own name for the commands.
TEST_F(TreeFromTarget, ObjectsOfAnotherSchemaKeepTheirSchema) {
    double_->AddTable("Sales", "orders", "TABLE", "archive");
    double_->AddTable("Sales", "v_orders", "VIEW", "archive");
    double_->SetProperty(kPropCurrentCatalog, "Sales");
    window_->targetSettings = {"TCP/IP:Port", "MSDASQL", "mssql01", "sa", "pw", "sales"};
    ASSERT_TRUE(ConnectTarget(*window_));
    auto contents = window_->targetTree().Contents();
    ASSERT_TRUE(contents->currentDatabaseNode.has_value());
    const TreeNode& sales = *contents->At(*contents->currentDatabaseNode);
    EXPECT_EQ(Texts(sales.children[0]), (std::vector<std::string>{"orders", "archive.orders"}));
    EXPECT_EQ(Texts(sales.children[1]), (std::vector<std::string>{"v_orders", "tables", "archive.v_orders"}));
    for (const TreeNode* node : {&sales.children[0].children[1], &sales.children[1].children[2]}) {
        EXPECT_EQ(node->schema, "archive");
        EXPECT_EQ(node->ObjectName(), node->kind == kTableNode ? "orders" : "v_orders");
    }
    EXPECT_EQ(sales.children[0].children[0].schema, "");
    EXPECT_EQ(sales.children[0].children[0].ObjectName(), "orders");
}

TEST_F(TreeFromTarget, BlankDataSourceNameShowsDatabases) {
    double_->SetProperty(kPropDataSourceName, "   ");
    window_->targetSettings = {"TCP/IP:Port", "MSDASQL", "mssql01", "sa", "pw", ""};
    ASSERT_TRUE(ConnectTarget(*window_));
    EXPECT_EQ(window_->targetTree().Contents()->topLevel.at(0).text, "DATABASES");
    // No database given: the data source's current catalog ("master") becomes the current one.
    EXPECT_EQ(window_->targetTree().currentDatabase(), "master");
    EXPECT_GE(port_.TreeChanges(TreeSide::Target), 1);
}

}  // namespace
}  // namespace velmora
