// TreeMenus: which commands a database tree offers. The right-click popup of a node (pruned by
// the tree's side and the node's kind) and the state of the main menu bar's three selection
// menus ("D&atabases", "&Database", "&Table") after a node is selected.
//
// Pure functions; any thread.
#pragma once

#include <QString>
#include <QVector>

namespace velmora {

// The commands of the tree popups and of the three selection menus.
namespace tree_command {
inline const QString kNewDatabase = QStringLiteral("New Database");
inline const QString kChangeCharset = QStringLiteral("Change Charset");
inline const QString kStorageEngines = QStringLiteral("Storage Engines");
inline const QString kDeleteDatabase = QStringLiteral("Delete Database");
inline const QString kClearAllTables = QStringLiteral("Clear all tables");
inline const QString kClearAllData = QStringLiteral("Clear all Data");
inline const QString kMigrationCondition = QStringLiteral("Migration Condition");
inline const QString kDropTable = QStringLiteral("Drop Table");
inline const QString kDropView = QStringLiteral("Drop View");
inline const QString kRenameTable = QStringLiteral("Rename Table");
inline const QString kVerify = QStringLiteral("Verify");
// The source's database: what a migration of it would do, read from the source alone.
inline const QString kAssess = QStringLiteral("Assess");
// The target's "Tables" and "Views" folders: every object in the folder goes (the tool bar's
// Delete on the folder).
inline const QString kDeleteAllTables = QStringLiteral("Delete all tables");
inline const QString kDeleteAllViews = QStringLiteral("Delete all views");
}  // namespace tree_command

struct PopupEntry {
    QString command;  // one of tree_command
    QString label;    // what the popup shows

    bool operator==(const PopupEntry&) const = default;
};

// The popup of a node of `kind` with `text`, on the source tree (`sourceTree`) or the target
// tree, whose server is MySQL when `dbmsKind` is 2. Empty: no popup.
QVector<PopupEntry> PopupEntries(bool sourceTree, int dbmsKind, int kind, const QString& text);

// What the menu bar shows after a selection.
struct MenuBarState {
    bool databasesShown = false;  // "D&atabases"
    bool databaseShown = false;   // "&Database"
    bool tableShown = false;      // "&Table"
    // The "&Table" popup's items; set only for tables and views (otherwise left as they are).
    bool tableItemsSet = false;
    bool migrationConditionEnabled = false;
    bool dropTableEnabled = false;
    bool dropViewEnabled = false;
    bool renameTableEnabled = false;
};

MenuBarState MenuBarStateFor(bool sourceTree, int kind);

}  // namespace velmora
