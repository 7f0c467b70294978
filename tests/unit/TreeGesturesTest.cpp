// A double click in a database tree: on a database it becomes the current one ("use" on the
// server, a log line, the tree rebuilt); on anything else only the selection moves; nothing at
// all happens while the tree is being rebuilt.
#include <gtest/gtest.h>

#include "commands/MainWindowModel.h"
#include "explorer/TreeFill.h"
#include "explorer/TreeGestures.h"
#include "support/ScriptedPort.h"
#include "support/TargetDouble.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

class TreeGestures : public ::testing::Test {
protected:
    TreeGestures() {
        auto target = std::make_unique<test::TargetDouble>();
        target_ = target.get();
        window_ = std::make_unique<MainWindowModel>(
            port_, std::make_unique<test::TargetDouble>(false), std::move(target));
        target_->AddCatalog("master");
        target_->AddCatalog("sales");
        target_->AddTable("master", "spt_values");
        target_->AddTable("sales", "orders");
        tree().Attach({&window_->targetConnection(), "sales", "SQLOLEDB", 1, 1, "sa", "pw"});
        FillDatabaseTree(tree(), (*window_).log(), (*window_).port());
        target_->ClearStatements();
    }

    DatabaseTree& tree() { return window_->targetTree(); }
    std::string Text(const NodePath& path) {
        auto contents = tree().Contents();
        const TreeNode* node = contents->At(path);
        return node ? node->text : "<none>";
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> messages;
        for (const std::string& line : port_.OutputLines()) messages.push_back(line.substr(24));
        return messages;
    }

    test::ScriptedPort port_;
    test::TargetDouble* target_ = nullptr;
    std::unique_ptr<MainWindowModel> window_;
};

TEST_F(TreeGestures, DoubleClickOnADatabaseMakesItCurrent) {
    ASSERT_EQ(Text({0, 1}), "sales");
    DoubleClickNode(window_->log(), window_->port(), tree(), {0, 0});
    EXPECT_EQ(tree().currentDatabase(), "master");
    EXPECT_EQ(Messages(), std::vector<std::string>{"Select Database [master]"});
    EXPECT_EQ(target_->Statements(), std::vector<std::string>{"use master;"});
    EXPECT_EQ(test::DescribeTsqlProblems(target_->Statements()[0]), "");
    // The rebuilt tree shows master's folders and tables under master, and none under sales.
    EXPECT_EQ(Text({0, 0, 0}), "Tables");
    EXPECT_EQ(Text({0, 0, 0, 0}), "spt_values");
    EXPECT_EQ(Text({0, 1, 0}), "<none>");
}

TEST_F(TreeGestures, DoubleClickOnAnythingElseOnlySelects) {
    DoubleClickNode(window_->log(), window_->port(), tree(), {0, 1, 0});  // the Tables folder of sales
    EXPECT_EQ(tree().SelectedNode()->text, "Tables");
    EXPECT_EQ(tree().currentDatabase(), "sales");
    EXPECT_TRUE(target_->Statements().empty());
    EXPECT_TRUE(Messages().empty());
}

TEST_F(TreeGestures, NothingHappensWhileTheTreeIsRebuilt) {
    tree().BeginBusy();
    DoubleClickNode(window_->log(), window_->port(), tree(), {0, 0});
    tree().EndBusy();
    EXPECT_EQ(tree().currentDatabase(), "sales");
    EXPECT_FALSE(tree().selected().has_value());
    EXPECT_TRUE(target_->Statements().empty());
}

TEST_F(TreeGestures, ANameThatIsNotPlainIsQuoted) {
    target_->AddCatalog("odd name]x");
    FillDatabaseTree(tree(), (*window_).log(), (*window_).port());
    target_->ClearStatements();
    DoubleClickNode(window_->log(), window_->port(), tree(), {0, 2});
    ASSERT_EQ(target_->Statements().size(), 1u);
    EXPECT_EQ(target_->Statements()[0], "use \"odd name]x\";");
    EXPECT_EQ(test::DescribeTsqlProblems(target_->Statements()[0]), "");
}

}  // namespace
}  // namespace velmora
