#include "follow/FollowApply.h"

#include "data/StatementExecution.h"
#include "follow/FollowState.h"
#include "follow/FollowedTables.h"
#include "tasks/OperationLog.h"
#include "translation/FullValueRendering.h"
#include "translation/Naming.h"

namespace velmora {
namespace {

// Target transactions hold at most this many changes while catching up; each statement sent
// holds at most kChangesPerStatement of them.
constexpr size_t kChangesPerStatement = 100;
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
    if (table.translation.hasIdentity && identityTable != name) {
        if (!identityTable.empty()) out += "SET IDENTITY_INSERT " + identityTable + " OFF;\n";
        out += "SET IDENTITY_INSERT " + name + " ON;\n";
        identityTable = name;
    }
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

}  // namespace

bool AppendChangeStatements(const RowChange& change, std::string& identityTable, std::string& out,
                            std::string& refusal) {
    const FollowedTable& table = *change.table;
    std::string statements;
    std::string identity = identityTable;
    bool ok = true;
    switch (change.kind) {
        case RowChange::Kind::Insert:
            ok = AppendUpsert(statements, table, change.after, identity, refusal);
            break;
        case RowChange::Kind::Delete:
            ok = AppendDelete(statements, table, change.before, refusal);
            break;
        case RowChange::Kind::Update:
            if (!SameKey(table, change.before, change.after)) ok = AppendDelete(statements, table, change.before, refusal);
            ok = ok && AppendUpsert(statements, table, change.after, identity, refusal);
            break;
    }
    if (!ok) return false;
    out += statements;
    identityTable = identity;
    return true;
}

FollowApply::FollowApply(OperationLog& log, Session* target, std::string sourceDatabase, std::string targetSchema)
    : log_(log), target_(target), sourceDatabase_(std::move(sourceDatabase)), targetSchema_(std::move(targetSchema)) {}

bool FollowApply::Send(const std::string& statement, std::string& error) {
    return ExecuteStatement(log_, target_, statement, 0, &error);
}

bool FollowApply::Add(const SourceTransaction& transaction, std::string& error) {
    if (!open_) {
        if (!Send("BEGIN TRANSACTION", error)) return false;
        open_ = true;
    }
    size_t inStatement = 0;
    for (const RowChange& change : transaction.changes) {
        std::string refusal;
        if (!AppendChangeStatements(change, identityTable_, batch_, refusal)) {
            ++refused_;
            log_.WriteOutputLine("[%s] a change at %s was not applied: %s", change.table->name.c_str(),
                                 transaction.end.Text().c_str(), refusal.c_str());
            continue;
        }
        ++pendingChanges_;
        if (++inStatement >= kChangesPerStatement) {
            if (!Send(batch_, error)) return Rollback(), false;
            batch_.clear();
            inStatement = 0;
        }
    }
    if (!batch_.empty()) {
        if (!Send(batch_, error)) return Rollback(), false;
        batch_.clear();
    }
    ++pendingTransactions_;
    last_ = transaction.end;
    return true;
}

bool FollowApply::Commit(const BinlogPosition& position, std::string& error) {
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
    last_ = BinlogPosition();
}

}  // namespace velmora
