// The commands that change target objects at once: their two confirmations, the statements they
// send (each parsed by the T-SQL oracle), the nodes they remove, and the rename and double-click
// gestures of the trees.
#include <gtest/gtest.h>

#include "MainWindowModel.h"
#include "explorer/MaintenanceCommands.h"
#include "explorer/TreeFill.h"
#include "support/ScriptedPort.h"
#include "support/TargetDouble.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

const std::string kWarning =
    "After remove, you can not restore [sales] again! Continue?\nPress YES to Continue Removing!";

std::vector<std::string> Texts(const TreeNode* folder) {
    std::vector<std::string> texts;
    if (folder) {
        for (const TreeNode& child : folder->children) texts.push_back(child.text);
    }
    return texts;
}

class MaintenanceCommands : public ::testing::Test {
protected:
    MaintenanceCommands() {
        auto target = std::make_unique<test::TargetDouble>();
        target_ = target.get();
        window_ = std::make_unique<MainWindowModel>(
            port_, std::make_unique<test::TargetDouble>(false), std::move(target));
        target_->AddCatalog("master");
        target_->AddCatalog("sales");
        for (const char* table : {"customers", "orders", "items"}) target_->AddTable("sales", table);
        for (const char* view : {"v_open", "v_late"}) target_->AddTable("sales", view, "VIEW");
        target_->Run("use sales;");
        tree().Attach({&window_->targetConnection(), "sales", "SQLOLEDB", 1, 1, "sa", "pw"});
        FillDatabaseTree(*window_, tree());
        target_->ClearStatements();
    }
    ~MaintenanceCommands() override {
        for (const std::string& statement : target_->Statements()) {
            EXPECT_EQ(test::DescribeTsqlProblems(statement), "") << statement;
        }
    }

    DatabaseTree& tree() { return window_->targetTree(); }
    // Paths in the filled tree: the server, its databases, and under "sales" (the current
    // database, the second catalog) its folders.
    static NodePath Sales() { return {0, 1}; }
    static NodePath Tables() { return {0, 1, 0}; }
    static NodePath Views() { return {0, 1, 1}; }
    static NodePath Table(size_t i) { return {0, 1, 0, i}; }
    static NodePath View(size_t i) { return {0, 1, 1, i}; }
    const TreeNode* At(const NodePath& path) {
        contents_ = tree().Contents();
        return contents_->At(path);
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> messages;
        for (const std::string& line : port_.OutputLines()) messages.push_back(line.substr(24));
        return messages;
    }

    test::ScriptedPort port_;
    test::TargetDouble* target_ = nullptr;
    std::unique_ptr<MainWindowModel> window_;
    std::shared_ptr<const TreeContents> contents_;
};

TEST_F(MaintenanceCommands, TheFilledTreeIsWhatTheTestsExpect) {
    EXPECT_EQ(At(Sales())->text, "sales");
    EXPECT_EQ(Texts(At(Tables())), (std::vector<std::string>{"customers", "orders", "items"}));
    EXPECT_EQ(Texts(At(Views())), (std::vector<std::string>{"v_open", "v_late"}));
}

TEST_F(MaintenanceCommands, DeleteSelectedOnATablesFolderCountsOnlyTheTablesThatWent) {
    target_->FailOn("drop table orders", "Cannot drop the table 'orders'.");
    tree().Select(Tables());
    DeleteSelectedCommand(*window_);
    EXPECT_EQ(port_.Questions(), (std::vector<std::string>{"Delete all the tables of [sales]?",
                                                           kWarning}));
    EXPECT_EQ(target_->Statements(), (std::vector<std::string>{
                                         "drop table customers", "drop table orders",
                                         "drop table items"}));
    EXPECT_EQ(Texts(At(Tables())), std::vector<std::string>{"orders"});
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Delete all the tables of [sales]?",
                                                    "[2] tables removed!"}));
}

TEST_F(MaintenanceCommands, DeleteSelectedOnAViewsFolder) {
    tree().Select(Views());
    DeleteSelectedCommand(*window_);
    EXPECT_EQ(port_.Questions()[1],
              "After remove, you can not restore the views of [sales] again! Continue?\nPress YES "
              "to Continue Removing!");
    EXPECT_EQ(target_->Statements(),
              (std::vector<std::string>{"drop view v_open", "drop view v_late"}));
    EXPECT_TRUE(Texts(At(Views())).empty());
    EXPECT_EQ(Messages().back(), "[2] views removed!");
}

TEST_F(MaintenanceCommands, DeleteSelectedOnOneTableOrView) {
    tree().Select(Table(1));
    DeleteSelectedCommand(*window_);
    tree().Select(View(0));
    DeleteSelectedCommand(*window_);
    EXPECT_EQ(port_.Questions(),
              (std::vector<std::string>{
                  "Delete the table [sales.orders]?",
                  "After remove, you can not restore the table [sales.orders]! Continue?\nPress "
                  "YES to Continue Removing!",
                  "Delete the view [sales.v_open]?",
                  "After remove, you can not restore the view [sales.v_open] again! Continue?\n"
                  "Press YES to Continue Removing!"}));
    EXPECT_EQ(target_->Statements(),
              (std::vector<std::string>{"drop table orders", "drop view v_open"}));
    EXPECT_EQ(Texts(At(Tables())), (std::vector<std::string>{"customers", "items"}));
    EXPECT_EQ(Texts(At(Views())), std::vector<std::string>{"v_late"});
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Delete the table [sales.orders]?",
                                                    "Delete the view [sales.v_open]?"}));
}

TEST_F(MaintenanceCommands, DeleteSelectedOnADatabase) {
    tree().Select(Sales());
    DeleteSelectedCommand(*window_);
    EXPECT_EQ(port_.Questions()[0], "Delete database [sales]?");
    EXPECT_EQ(target_->Statements(), std::vector<std::string>{"drop database sales;"});
    EXPECT_EQ(Messages(), std::vector<std::string>{"Remove Database [sales]!"});
    EXPECT_EQ(At({0, 1}), nullptr);
    EXPECT_EQ(tree().currentDatabase(), "");
}

// Cancel at the question or No at the warning: no statement at all.
TEST_F(MaintenanceCommands, EitherRefusalEndsTheCommandBeforeAnyStatement) {
    for (bool okAtQuestion : {false, true}) {
        port_.QueueAnswer(okAtQuestion);
        port_.QueueAnswer(false);
        tree().Select(Tables());
        DeleteSelectedCommand(*window_);
        tree().Select(Sales());
        port_.QueueAnswer(okAtQuestion);
        port_.QueueAnswer(false);
        ClearAllTablesCommand(*window_, tree());
    }
    EXPECT_TRUE(target_->Statements().empty());
    EXPECT_EQ(Texts(At(Tables())).size(), 3u);
}

TEST_F(MaintenanceCommands, DeleteSelectedRefusesWhileTasksRunOrStop) {
    tree().Select(Tables());
    window_->SetControllerState(ControllerState::Running);
    port_.QueueAnswer(false);
    DeleteSelectedCommand(*window_);
    EXPECT_EQ(window_->controllerState(), ControllerState::Running);
    DeleteSelectedCommand(*window_);  // OK: the tasks are asked to stop, nothing is deleted
    EXPECT_EQ(window_->controllerState(), ControllerState::StopRequested);
    DeleteSelectedCommand(*window_);
    EXPECT_EQ(port_.Questions(), (std::vector<std::string>{"Some Tasks is Processing, STOP ALL?",
                                                           "Some Tasks is Processing, STOP ALL?"}));
    EXPECT_EQ(port_.Messages(),
              std::vector<std::string>{"Some Tasks is Stopping, Please try again later!!!"});
    EXPECT_TRUE(target_->Statements().empty());
}

TEST_F(MaintenanceCommands, DeleteSelectedNeedsATargetConnectionAndASelection) {
    DeleteSelectedCommand(*window_);  // nothing selected
    window_->targetConnection().Close();
    tree().Select(Tables());
    DeleteSelectedCommand(*window_);
    EXPECT_EQ(port_.Hints(),
              (std::vector<std::string>{
                  "Please select a table, tables, views or database on target Database Tree!",
                  "Press Config button, and get a successful target Connection!"}));
    EXPECT_EQ(port_.Messages(), (std::vector<std::string>{"No selected Object to delete!",
                                                          "No Source DataSource Connection!"}));
    EXPECT_TRUE(port_.Questions().empty());
}

TEST_F(MaintenanceCommands, ClearAllTablesDropsViewsThenTablesAndRebuilds) {
    tree().Select(Sales());
    ClearAllTablesCommand(*window_, tree());
    EXPECT_EQ(port_.Questions(),
              (std::vector<std::string>{"Remove all the tables of [sales]?", kWarning}));
    EXPECT_EQ(target_->Statements(),
              (std::vector<std::string>{"drop view v_open", "drop view v_late",
                                        "drop table customers", "drop table orders",
                                        "drop table items"}));
    // The rebuild shows what the server has (the double keeps its catalogs).
    EXPECT_EQ(At(Sales())->text, "sales");
    EXPECT_GE(port_.TreeChanges(TreeSide::Target), 1);
}

TEST_F(MaintenanceCommands, ClearAllDataDropsTheTablesAndKeepsTheViews) {
    target_->FailOn("drop table items", "in use");
    tree().Select(Sales());
    ClearAllDataCommand(*window_, tree());
    EXPECT_EQ(port_.Questions()[0], "Delete all the data of [sales]?");
    EXPECT_EQ(target_->Statements(),
              (std::vector<std::string>{"drop table customers", "drop table orders",
                                        "drop table items"}));
    EXPECT_EQ(Texts(At(Tables())), std::vector<std::string>{"items"});
    EXPECT_EQ(Texts(At(Views())).size(), 2u);
}

TEST_F(MaintenanceCommands, DatabaseCommandsNeedADatabaseNode) {
    tree().Select(Table(0));
    DeleteDatabaseCommand(*window_, tree());
    ClearAllTablesCommand(*window_, tree());
    ClearAllDataCommand(*window_, tree());
    EXPECT_EQ(port_.Messages(),
              std::vector<std::string>(3, "No Database in TARGET Side be Selected!"));
    EXPECT_TRUE(target_->Statements().empty());
}

TEST_F(MaintenanceCommands, DropTableAndDropViewAskNothingAndKeepANodeThatFailed) {
    target_->FailOn("drop view v_late", "no permission");
    tree().Select(Table(2));
    EXPECT_TRUE(RunTargetTreeCommand(*window_, tree(), "Drop Table"));
    tree().Select(View(1));
    EXPECT_TRUE(RunTargetTreeCommand(*window_, tree(), "Drop View"));
    EXPECT_TRUE(port_.Questions().empty());
    EXPECT_EQ(target_->Statements(),
              (std::vector<std::string>{"drop table items", "drop view v_late"}));
    EXPECT_EQ(Texts(At(Tables())), (std::vector<std::string>{"customers", "orders"}));
    EXPECT_EQ(Texts(At(Views())), (std::vector<std::string>{"v_open", "v_late"}));
    EXPECT_FALSE(RunTargetTreeCommand(*window_, tree(), "Migrate"));
}

TEST_F(MaintenanceCommands, TargetCommandsDoNothingOnTheSourceTree) {
    DatabaseTree& source = window_->sourceTree();
    const size_t events = port_.Events().size();
    for (const char* command : {"New Database", "Delete Database", "Clear all tables",
                                "Clear all Data", "Drop Table", "Drop View"}) {
        EXPECT_TRUE(RunTargetTreeCommand(*window_, source, command));
    }
    EXPECT_EQ(port_.Events().size(), events);
    EXPECT_TRUE(target_->Statements().empty());
}

TEST_F(MaintenanceCommands, NewDatabaseAsksForTheNameAndRebuildsOnSuccess) {
    port_.QueueText(std::nullopt);
    NewDatabaseCommand(*window_, tree());
    EXPECT_TRUE(target_->Statements().empty());
    port_.QueueText("archive");
    const int changes = port_.TreeChanges(TreeSide::Target);
    NewDatabaseCommand(*window_, tree());
    EXPECT_EQ(target_->Statements(), std::vector<std::string>{"create database archive;"});
    EXPECT_GT(port_.TreeChanges(TreeSide::Target), changes);
}

TEST_F(MaintenanceCommands, RenameHappensOnlyAfterEnter) {
    EXPECT_FALSE(FinishRename(*window_, tree(), Table(1), "orders_old"));  // Escape, click away
    EXPECT_TRUE(target_->Statements().empty());

    tree().SetRenameConfirmed(1);  // Enter
    EXPECT_TRUE(FinishRename(*window_, tree(), Table(1), "orders_old"));
    EXPECT_EQ(target_->Statements(),
              std::vector<std::string>{"sp_rename 'orders', 'orders_old', 'object'"});
    EXPECT_EQ(At(Table(1))->text, "orders_old");
    EXPECT_EQ(tree().renameConfirmed(), 0);
    EXPECT_EQ(Messages().back(), "RESULT:    The operation completed SUCCESSFULLY");

    target_->FailOn("sp_rename 'items', 'bad name', 'object'", "Either the parameter ...");
    tree().SetRenameConfirmed(1);
    EXPECT_FALSE(FinishRename(*window_, tree(), Table(2), "bad name"));
    EXPECT_EQ(At(Table(2))->text, "items");
    EXPECT_EQ(tree().renameConfirmed(), 0);
}

TEST_F(MaintenanceCommands, DoubleClickOnADatabaseMakesItCurrent) {
    DoubleClickNode(*window_, tree(), Table(0));  // a table: selected, nothing else
    EXPECT_EQ(tree().currentDatabase(), "sales");
    EXPECT_TRUE(target_->Statements().empty());

    DoubleClickNode(*window_, tree(), {0, 0});
    EXPECT_EQ(tree().currentDatabase(), "master");
    EXPECT_EQ(Messages(), std::vector<std::string>{"Select Database [master]"});
    ASSERT_EQ(target_->Statements().size(), 1u);
    EXPECT_EQ(target_->Statements()[0].rfind("use master", 0), 0u);
    // The rebuilt tree shows master's folders under master.
    EXPECT_EQ(At({0, 0, 0})->text, "Tables");

    tree().BeginBusy();
    DoubleClickNode(*window_, tree(), {0, 1});
    tree().EndBusy();
    EXPECT_EQ(tree().currentDatabase(), "master");
}

}  // namespace
}  // namespace velmora
