#include "TreeMenus.h"

namespace velmora {

namespace {

constexpr int kRoot = 0, kDatabase = 1, kTable = 2, kTablesFolder = 3, kColumn = 4, kView = 8,
              kViewsFolder = 9;

}  // namespace

QVector<PopupEntry> PopupEntries(bool sourceTree, int dbmsKind, int kind, const QString& text) {
    using namespace tree_command;
    QString trimmed = text;
    while (trimmed.startsWith(QLatin1Char(' '))) trimmed.remove(0, 1);
    if (trimmed.isEmpty()) return {};

    if (kind == kDatabase) {
        if (sourceTree) return {{kVerify, kVerify}, {kAssess, kAssess}};
        return {{kDeleteDatabase, kDeleteDatabase},
                {kClearAllTables, kClearAllTables},
                {kClearAllData, kClearAllData}};
    }
    if (kind == kColumn || kind == 10) return {};
    if (kind == kTable || kind == kView) {
        if (sourceTree && kind == kTable) {
            return {{kMigrationCondition, kMigrationCondition}, {kVerify, kVerify}};
        }
        if (sourceTree) return {{kMigrationCondition, kMigrationCondition}};
        if (kind == kTable) {
            return {{kDropTable, kDropTable + QLatin1Char(' ') + text},
                    {kRenameTable, kRenameTable + QLatin1Char(' ') + text}};
        }
        return {{kDropView, kDropView + QLatin1Char(' ') + text}};
    }
    if (!sourceTree && kind == kTablesFolder) {
        return {{kDeleteAllTables, kDeleteAllTables}, {kClearAllData, kClearAllData}};
    }
    if (!sourceTree && kind == kViewsFolder) return {{kDeleteAllViews, kDeleteAllViews}};
    // Every other node: the server-level menu; a database is created from the server node only.
    QVector<PopupEntry> entries;
    if (!sourceTree && kind == kRoot) entries.push_back({kNewDatabase, kNewDatabase});
    if (dbmsKind == 2) {
        entries.push_back({kChangeCharset, kChangeCharset});
        entries.push_back({kStorageEngines, kStorageEngines});
    }
    return entries;
}

MenuBarState MenuBarStateFor(bool sourceTree, int kind) {
    MenuBarState state;
    switch (kind) {
        case kRoot:
            state.databasesShown = true;
            break;
        case kDatabase:
            state.databaseShown = true;
            break;
        case kTable:
        case kView:
            state.tableShown = true;
            state.tableItemsSet = true;
            if (sourceTree) {
                state.migrationConditionEnabled = true;
            } else if (kind == kTable) {
                state.dropTableEnabled = true;
                state.renameTableEnabled = true;
            } else {
                state.dropViewEnabled = true;
            }
            break;
        default:
            break;
    }
    return state;
}

}  // namespace velmora
