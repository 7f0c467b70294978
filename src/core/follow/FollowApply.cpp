#include "follow/FollowApply.h"

#include <map>
#include <set>

#include "data/StatementExecution.h"
#include "follow/FollowState.h"
#include "follow/FollowedTables.h"
#include "tasks/OperationLog.h"
#include "translation/FullValueRendering.h"
#include "translation/Naming.h"

namespace velmora {
namespace {

// Consecutive row operations of one kind on one table go into one statement of at most this many
// rows (T-SQL takes at most 1,000 in a VALUES list); statements are sent in batches of about
// kBatchBytes.
constexpr size_t kRowsPerGroup = 250;
constexpr size_t kBatchBytes = 1 << 20;
// Transactions wait in memory until this many changes are queued (or the commit comes), so that
// a run of small transactions shares statements and round trips too.
constexpr int64_t kChangesPerFlush = 1000;
constexpr const char* kRollback = "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION";

// The literal of one value of a row image for a written column; false with the reason when the
// target cannot store it.
bool AppendValue(std::string& out, const TargetColumn& column, const BinlogValue& value, std::string& refusal) {
    const RenderedValue rendered = AppendFullValue(out, column, value.text, value.null);
    if (rendered.outcome == ValueOutcome::RowFails) {
        refusal = std::string(rendered.reason) + " (column " + column.name + ")";
        return false;
    }
    return true;
}

// "[k1] = v1 AND [k2] = v2" for the key of `image`.
bool AppendKeyCondition(std::string& out, const FollowedTable& table, const BinlogRowImage& image,
                        std::string& refusal) {
    for (size_t i = 0; i < table.keyColumns.size(); ++i) {
        if (i > 0) out += " AND ";
        out += QuoteTargetName(table.keyTargets[i]->name);
        out += " = ";
        if (!AppendValue(out, *table.keyTargets[i], image[table.keyColumns[i]], refusal)) return false;
    }
    return true;
}

bool IsKeyColumn(const FollowedTable& table, size_t modelIndex) {
    for (size_t key : table.keyColumns) {
        if (key == modelIndex) return true;
    }
    return false;
}

bool SameKey(const FollowedTable& table, const BinlogRowImage& left, const BinlogRowImage& right) {
    for (size_t key : table.keyColumns) {
        if (left[key].null != right[key].null || left[key].text != right[key].text) return false;
    }
    return true;
}

void SwitchIdentity(std::string& out, const FollowedTable& table, std::string& identityTable) {
    const std::string& name = table.translation.targetName;
    if (!table.translation.hasIdentity || identityTable == name) return;
    if (!identityTable.empty()) out += "SET IDENTITY_INSERT " + identityTable + " OFF;\n";
    out += "SET IDENTITY_INSERT " + name + " ON;\n";
    identityTable = name;
}

// Insert or replace: UPDATE the row of the key; INSERT it when there was none.
bool AppendUpsert(std::string& out, const FollowedTable& table, const BinlogRowImage& image,
                  std::string& identityTable, std::string& refusal) {
    const std::string& name = table.translation.targetName;
    std::string where;
    if (!AppendKeyCondition(where, table, image, refusal)) return false;
    std::string values, sets;
    for (size_t i = 0; i < table.written.size(); ++i) {
        const TargetColumn& column = *table.written[i];
        std::string literal;
        if (!AppendValue(literal, column, image[table.writtenColumns[i]], refusal)) return false;
        values += (i ? "," : "") + literal;
        if (column.identity || IsKeyColumn(table, table.writtenColumns[i])) continue;
        sets += (sets.empty() ? "" : ", ") + QuoteTargetName(column.name) + " = " + literal;
    }
    SwitchIdentity(out, table, identityTable);
    const std::string insert = InsertPrefix(table.translation) + "(" + values + ")";
    if (sets.empty()) {
        out += "IF NOT EXISTS (SELECT 1 FROM " + name + " WHERE " + where + ") " + insert + ";\n";
    } else {
        out += "UPDATE " + name + " SET " + sets + " WHERE " + where + ";\nIF @@ROWCOUNT = 0 " + insert + ";\n";
    }
    return true;
}

bool AppendDelete(std::string& out, const FollowedTable& table, const BinlogRowImage& image, std::string& refusal) {
    std::string where;
    if (!AppendKeyCondition(where, table, image, refusal)) return false;
    out += "DELETE FROM " + table.translation.targetName + " WHERE " + where + ";\n";
    return true;
}

// One row operation of a change: an upsert of an image, or a delete by an image's key. An
// update whose key changed is a delete and an upsert.
struct RowOp {
    bool upsert = true;
    const FollowedTable* table = nullptr;
    const BinlogRowImage* image = nullptr;
    const RowChange* change = nullptr;
};

std::vector<RowOp> OpsOf(const std::vector<RowChange>& changes) {
    std::vector<RowOp> ops;
    for (const RowChange& change : changes) {
        const FollowedTable* table = change.table;
        switch (change.kind) {
            case RowChange::Kind::Insert: ops.push_back({true, table, &change.after, &change}); break;
            case RowChange::Kind::Delete: ops.push_back({false, table, &change.before, &change}); break;
            case RowChange::Kind::Update:
                if (!SameKey(*table, change.before, change.after)) ops.push_back({false, table, &change.before, &change});
                ops.push_back({true, table, &change.after, &change});
                break;
        }
    }
    return ops;
}

// "x.[k1] = v.[k1] AND ..." between the table (x) and the rows (v).
std::string KeyJoin(const FollowedTable& table) {
    std::string join;
    for (const TargetColumn* key : table.keyTargets) {
        const std::string name = QuoteTargetName(key->name);
        join += (join.empty() ? "" : " AND ") + std::string("x.") + name + " = v." + name;
    }
    return join;
}

// Many upserts of one table: the rows as a VALUES list (the last image of each key), an UPDATE
// of the rows there are and an INSERT of the rows there are not.
void AppendUpsertGroup(std::string& out, const std::vector<RowOp>& ops, std::string& identityTable,
                       std::vector<std::pair<const RowChange*, std::string>>& refusals) {
    const FollowedTable& table = *ops.front().table;
    std::map<std::string, std::string> rowsByKey;  // key text -> rendered row
    std::vector<std::string> order;
    for (const RowOp& op : ops) {
        std::string row = "(", refusal, key;
        bool ok = true;
        for (size_t i = 0; i < table.written.size() && ok; ++i) {
            if (i) row += ",";
            ok = AppendValue(row, *table.written[i], (*op.image)[table.writtenColumns[i]], refusal);
        }
        if (!ok) {
            refusals.emplace_back(op.change, refusal);
            continue;
        }
        for (size_t column : table.keyColumns) key += (*op.image)[column].text + '\x1f';
        if (!rowsByKey.count(key)) order.push_back(key);
        rowsByKey[key] = row + ")";
    }
    if (order.empty()) return;
    std::string values, columns;
    for (const std::string& key : order) values += (values.empty() ? "" : ",") + rowsByKey[key];
    std::string sets;
    for (size_t i = 0; i < table.written.size(); ++i) {
        const std::string name = QuoteTargetName(table.written[i]->name);
        columns += (columns.empty() ? "" : ",") + name;
        if (table.written[i]->identity || IsKeyColumn(table, table.writtenColumns[i])) continue;
        sets += (sets.empty() ? "" : ", ") + std::string("x.") + name + " = v." + name;
    }
    const std::string& name = table.translation.targetName;
    const std::string rows = "(VALUES " + values + ") AS v (" + columns + ")";
    SwitchIdentity(out, table, identityTable);
    if (!sets.empty()) {
        out += "UPDATE x SET " + sets + " FROM " + name + " AS x INNER JOIN " + rows + " ON " + KeyJoin(table) + ";\n";
    }
    out += "INSERT INTO " + name + " (" + columns + ") SELECT " + columns + " FROM " + rows +
           " WHERE NOT EXISTS (SELECT 1 FROM " + name + " AS x WHERE " + KeyJoin(table) + ");\n";
}

// Many deletes of one table with a key of one column: one DELETE ... IN (...).
void AppendDeleteGroup(std::string& out, const std::vector<RowOp>& ops,
                       std::vector<std::pair<const RowChange*, std::string>>& refusals) {
    const FollowedTable& table = *ops.front().table;
    std::string keys;
    for (const RowOp& op : ops) {
        std::string key, refusal;
        if (!AppendValue(key, *table.keyTargets[0], (*op.image)[table.keyColumns[0]], refusal)) {
            refusals.emplace_back(op.change, refusal);
            continue;
        }
        keys += (keys.empty() ? "" : ",") + key;
    }
    if (keys.empty()) return;
    out += "DELETE FROM " + table.translation.targetName + " WHERE " + QuoteTargetName(table.keyTargets[0]->name) +
           " IN (" + keys + ");\n";
}

// The statements of consecutive operations of one kind on one table.
void AppendOps(std::string& out, const std::vector<RowOp>& ops, std::string& identityTable,
               std::vector<std::pair<const RowChange*, std::string>>& refusals) {
    const FollowedTable& table = *ops.front().table;
    if (ops.size() > 1 && ops.front().upsert) return AppendUpsertGroup(out, ops, identityTable, refusals);
    if (ops.size() > 1 && table.keyColumns.size() == 1) return AppendDeleteGroup(out, ops, refusals);
    for (const RowOp& op : ops) {
        std::string statements, refusal;
        std::string identity = identityTable;
        const bool ok = op.upsert ? AppendUpsert(statements, table, *op.image, identity, refusal)
                                  : AppendDelete(statements, table, *op.image, refusal);
        if (!ok) {
            refusals.emplace_back(op.change, refusal);
            continue;
        }
        out += statements;
        identityTable = identity;
    }
}

}  // namespace

FollowApply::FollowApply(OperationLog& log, Session* target, std::string sourceDatabase, std::string targetSchema)
    : log_(log), target_(target), sourceDatabase_(std::move(sourceDatabase)), targetSchema_(std::move(targetSchema)) {}

bool FollowApply::Send(const std::string& statement, std::string& error) {
    return ExecuteStatement(log_, target_, statement, 0, &error);
}

bool FollowApply::Add(SourceTransaction transaction, std::string& error) {
    queuedChanges_ += static_cast<int64_t>(transaction.changes.size());
    last_ = transaction.end;
    ++pendingTransactions_;
    queued_.push_back(std::move(transaction));
    return queuedChanges_ < kChangesPerFlush || Flush(error);
}

bool FollowApply::Flush(std::string& error) {
    if (queued_.empty()) return true;
    if (!open_) {
        if (!Send("BEGIN TRANSACTION", error)) return Rollback(), false;
        open_ = true;
    }
    // The queued transactions one after another, consecutive operations of one kind on one table
    // in one statement, all of them in as few batches as their size allows.
    std::vector<RowOp> ops;
    std::map<const RowChange*, const SourceTransaction*> transactionOf;
    for (const SourceTransaction& transaction : queued_) {
        for (const RowOp& op : OpsOf(transaction.changes)) {
            ops.push_back(op);
            transactionOf[op.change] = &transaction;
        }
    }
    std::vector<std::pair<const RowChange*, std::string>> refusals;
    for (size_t start = 0; start < ops.size();) {
        size_t end = start + 1;
        while (end < ops.size() && end - start < kRowsPerGroup && ops[end].upsert == ops[start].upsert &&
               ops[end].table == ops[start].table) {
            ++end;
        }
        AppendOps(batch_, std::vector<RowOp>(ops.begin() + static_cast<long>(start), ops.begin() + static_cast<long>(end)),
                  identityTable_, refusals);
        start = end;
        if (batch_.size() >= kBatchBytes) {
            if (!Send(batch_, error)) return Rollback(), false;
            batch_.clear();
        }
    }
    if (!batch_.empty()) {
        if (!Send(batch_, error)) return Rollback(), false;
        batch_.clear();
    }
    std::set<const RowChange*> refused;
    for (const auto& [change, why] : refusals) {
        if (!refused.insert(change).second) continue;
        log_.WriteOutputLine("[%s] a change at %s was not applied: %s", change->table->name.c_str(),
                             transactionOf[change]->end.Text().c_str(), why.c_str());
    }
    refused_ += static_cast<int64_t>(refused.size());
    pendingChanges_ += queuedChanges_ - static_cast<int64_t>(refused.size());
    queued_.clear();
    queuedChanges_ = 0;
    return true;
}

bool FollowApply::Commit(const BinlogPosition& position, std::string& error) {
    if (!Flush(error)) return false;
    BinlogPosition at = last_.Known() && !position.AtOrAfter(last_) ? last_ : position;
    if (!at.Known()) at = committed_;
    if (!open_) {
        if (at.file == committed_.file && at.offset == committed_.offset) return true;
        if (!Send("BEGIN TRANSACTION", error)) return false;
        open_ = true;
    }
    std::string statements;
    if (!identityTable_.empty()) statements = "SET IDENTITY_INSERT " + identityTable_ + " OFF;\n";
    statements += FollowPositionStatement(targetSchema_, sourceDatabase_, at, pendingChanges_);
    if (!Send(statements, error) || !Send("COMMIT TRANSACTION", error)) {
        Rollback();
        return false;
    }
    identityTable_.clear();
    open_ = false;
    applied_ += pendingChanges_;
    pendingChanges_ = 0;
    pendingTransactions_ = 0;
    committed_ = at;
    last_ = BinlogPosition();
    return true;
}

void FollowApply::Rollback() {
    std::string ignored;
    if (open_) Send(kRollback, ignored);
    // IDENTITY_INSERT outlives a rollback.
    if (!identityTable_.empty()) Send("SET IDENTITY_INSERT " + identityTable_ + " OFF", ignored);
    open_ = false;
    batch_.clear();
    identityTable_.clear();
    pendingChanges_ = 0;
    pendingTransactions_ = 0;
    queued_.clear();
    queuedChanges_ = 0;
    last_ = BinlogPosition();
}

}  // namespace velmora
