#include "explorer/DatabaseTree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/ScriptedPort.h"

namespace velmora {
namespace {

// server
//   db0 [Tables: t0 t1 t2] [Views: v0]
//   db1
//   db2
TreeContents SampleContents() {
    TreeContents contents;
    TreeNode root{kRootNode, "DATABASES", true, {}};
    for (const char* name : {"db0", "db1", "db2"}) root.Append(kDatabaseNode, name);
    TreeNode& db0 = root.children[0];
    db0.Append(kTablesFolderNode, "Tables");
    db0.Append(kViewsFolderNode, "Views");
    for (const char* name : {"t0", "t1", "t2"}) db0.children[0].Append(kTableNode, name);
    db0.children[1].Append(kViewNode, "v0");
    contents.topLevel.push_back(root);
    contents.serverNode = NodePath{0};
    contents.currentDatabaseNode = NodePath{0, 0};
    return contents;
}

TEST(DatabaseTree, NewNodesGoAfterTheirLastSibling) {
    TreeNode node{kTableNode, "orders", false, {}};
    EXPECT_EQ(node.Append(kFieldsFolderNode, "Fields"), 0u);
    EXPECT_EQ(node.Append(kIndexesFolderNode, "Indexes"), 1u);
    EXPECT_EQ(node.children[1].text, "Indexes");
    EXPECT_EQ(node.children[1].picture(), kIndexesFolderNode);
}

TEST(DatabaseTree, RemovingANodeKeepsOtherPathsPointingAtTheirNodes) {
    test::ScriptedPort port;
    DatabaseTree tree(TreeSide::Target, &port);
    tree.Replace(SampleContents());
    EXPECT_EQ(port.TreeChanges(TreeSide::Target), 1);

    tree.Select(NodePath{0, 0, 0, 2});                   // t2
    ASSERT_TRUE(tree.RemoveNode(NodePath{0, 0, 0, 0}));  // t0
    EXPECT_EQ(tree.selected(), (NodePath{0, 0, 0, 1}));
    EXPECT_EQ(tree.SelectedNode()->text, "t2");
    EXPECT_EQ(port.TreeChanges(TreeSide::Target), 2);

    tree.Select(NodePath{0, 2});                   // db2
    ASSERT_TRUE(tree.RemoveNode(NodePath{0, 1}));  // db1
    EXPECT_EQ(tree.SelectedNode()->text, "db2");
    EXPECT_EQ(tree.Contents()->currentDatabaseNode, (NodePath{0, 0}));

    // Removing the current database takes the selection inside it along.
    tree.Select(NodePath{0, 0, 1, 0});  // v0
    ASSERT_TRUE(tree.RemoveNode(NodePath{0, 0}));
    EXPECT_FALSE(tree.selected().has_value());
    EXPECT_FALSE(tree.Contents()->currentDatabaseNode.has_value());
    EXPECT_EQ(tree.Contents()->serverNode, (NodePath{0}));
    EXPECT_EQ(tree.Contents()->topLevel[0].children.size(), 1u);

    EXPECT_FALSE(tree.RemoveNode(NodePath{0, 7}));
    EXPECT_FALSE(tree.RemoveNode(NodePath{}));
    EXPECT_EQ(port.TreeChanges(TreeSide::Target), 4);  // failed removals change nothing
}

TEST(DatabaseTree, SnapshotsStayAsTheyWereWhenTheTreeChanges) {
    DatabaseTree tree(TreeSide::Source);
    tree.Replace(SampleContents());
    std::shared_ptr<const TreeContents> before = tree.Contents();
    ASSERT_TRUE(tree.SetNodeText(NodePath{0, 0, 0, 1}, "renamed"));
    EXPECT_EQ(before->At(NodePath{0, 0, 0, 1})->text, "t1");
    EXPECT_EQ(tree.Contents()->At(NodePath{0, 0, 0, 1})->text, "renamed");
    EXPECT_FALSE(tree.SetNodeText(NodePath{3}, "x"));
    EXPECT_EQ(tree.Contents()->At(NodePath{0, 0, 0, 9}), nullptr);
}

TEST(DatabaseTree, ARebuildKeepsTheSelectionOnlyWhileTheNodeIsStillThere) {
    DatabaseTree tree(TreeSide::Source);
    tree.Replace(SampleContents());
    tree.Select(NodePath{0, 1});
    EXPECT_EQ(tree.SelectedNode()->kind, kDatabaseNode);
    const std::string selectedText = tree.SelectedNode()->text;
    // A worker's reload with the same nodes keeps what the user selected.
    tree.Replace(SampleContents());
    ASSERT_TRUE(tree.selected().has_value());
    EXPECT_EQ(tree.SelectedNode()->text, selectedText);
    // The node renamed (or anything else at that place): the selection goes.
    TreeContents changed = SampleContents();
    changed.topLevel[0].children[1].text = "another";
    tree.Replace(changed);
    EXPECT_FALSE(tree.selected().has_value());
    // A path that names no node is refused.
    tree.Select(NodePath{0, 9});
    EXPECT_FALSE(tree.selected().has_value());
}

TEST(DatabaseTree, ConnectionStateFollowsAttachAndDetach) {
    DatabaseTree tree(TreeSide::Source);
    EXPECT_EQ(tree.session(), nullptr);
    EXPECT_EQ(tree.storageEngine(), "MyISAM");
    tree.Attach({nullptr, "shop", "MSDASQL", 0, 2, "velmora", "pw"});
    EXPECT_EQ(tree.side(), 0);
    EXPECT_EQ(tree.dbmsKind(), 2);
    EXPECT_EQ(tree.currentDatabase(), "shop");
    EXPECT_EQ(tree.providerProgId(), "MSDASQL");
    tree.Detach();
    EXPECT_EQ(tree.side(), -1);
    EXPECT_EQ(tree.connection(), nullptr);
    EXPECT_EQ(tree.currentDatabase(), "shop");  // survives until the next connect sets it
}

// A worker rebuilds while the interface thread reads: every snapshot a reader gets is whole.
TEST(DatabaseTree, ReadersNeverSeeAHalfBuiltTree) {
    test::ScriptedPort port;
    DatabaseTree tree(TreeSide::Target, &port);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 2000; ++i) {
            tree.BeginBusy();
            TreeContents contents = SampleContents();
            contents.topLevel[0].text = "pass " + std::to_string(i);
            tree.Replace(std::move(contents));
            tree.EndBusy();
        }
        done = true;
    });
    int whole = 0;
    while (!done) {
        std::shared_ptr<const TreeContents> snapshot = tree.Contents();
        if (snapshot->topLevel.empty()) continue;  // before the first rebuild
        ASSERT_EQ(snapshot->topLevel[0].children.size(), 3u);
        ASSERT_EQ(snapshot->At(NodePath{0, 0, 0})->children.size(), 3u);
        ++whole;
    }
    worker.join();
    EXPECT_FALSE(tree.busy());
    EXPECT_EQ(port.TreeChanges(TreeSide::Target), 2000);
    EXPECT_EQ(tree.Contents()->topLevel[0].text, "pass 1999");
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// A rebuild keeps the open and folded state of every node that is still there (same kinds and
// texts down its path) and had children; new nodes and former leaves keep the rebuild's own.
TEST(DatabaseTree, KeepExpansionCarriesTheStateOfTheSameNodes) {
    TreeContents shown = SampleContents();
    TreeNode& db0 = shown.topLevel[0].children[0];
    db0.expanded = true;
    db0.children[0].expanded = false;  // the user folded Tables
    db0.children[1].expanded = true;   // and opened Views
    db0.children[0].children[1].Append(kFieldsFolderNode, "Fields");
    db0.children[0].children[1].expanded = true;  // and t1
    shown.topLevel[0].children[1].expanded = true;  // a leaf: its flag means nothing

    TreeContents fresh = SampleContents();
    TreeNode& again = fresh.topLevel[0].children[0];
    again.children[0].expanded = true;  // the rebuild opens Tables
    again.children[0].children[1].Append(kFieldsFolderNode, "Fields");
    again.children[0].children.insert(again.children[0].children.begin(),
                                      TreeNode{kTableNode, "new", false, {}});
    again.children[0].children[0].Append(kFieldsFolderNode, "Fields");
    // A node of another kind with the same text is another node.
    fresh.topLevel[0].children[2] = TreeNode{kDatabaseNode, "db2", true, {}};
    fresh.topLevel[0].children[2].Append(kTablesFolderNode, "Tables");
    fresh.topLevel[0].children[2].children[0].expanded = true;

    KeepExpansion(shown.topLevel, fresh.topLevel);
    const TreeNode& kept = fresh.topLevel[0].children[0];
    EXPECT_TRUE(fresh.topLevel[0].expanded);
    EXPECT_TRUE(kept.expanded);
    EXPECT_FALSE(kept.children[0].expanded);              // folded stays folded
    EXPECT_TRUE(kept.children[1].expanded);               // opened stays open
    EXPECT_FALSE(kept.children[0].children[0].expanded);  // "new": the rebuild's state
    EXPECT_TRUE(kept.children[0].children[2].expanded);   // t1, now third
    EXPECT_FALSE(fresh.topLevel[0].children[1].expanded); // db1 was a leaf
    EXPECT_TRUE(fresh.topLevel[0].children[2].expanded);  // db2 was a leaf: the rebuild's state
    EXPECT_TRUE(fresh.topLevel[0].children[2].children[0].expanded);
}

TEST(DatabaseTree, KeepExpansionOfAnEmptyTreeChangesNothing) {
    TreeContents fresh = SampleContents();
    KeepExpansion({}, fresh.topLevel);
    EXPECT_TRUE(fresh.topLevel[0].expanded);
    EXPECT_FALSE(fresh.topLevel[0].children[0].expanded);
}

}  // namespace
}  // namespace velmora
