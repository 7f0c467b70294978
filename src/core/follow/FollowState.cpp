#include "follow/FollowState.h"

#include "data/DataAccess.h"
#include "translation/Naming.h"

namespace velmora {
namespace {

std::string Table(std::string_view schema) { return TargetObjectName(schema, kFollowTable); }

std::string Literal(std::string_view text) { return "N" + QuoteTargetString(text); }

std::string Where(std::string_view database) { return " WHERE source_database = " + Literal(database); }

std::string JoinTables(const std::vector<std::string>& tables) {
    std::string text;
    for (const std::string& table : tables) {
        if (!text.empty()) text += "\n";
        text += table;
    }
    return text;
}

std::vector<std::string> SplitTables(const std::string& text) {
    std::vector<std::string> tables;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) tables.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return tables;
}

}  // namespace

std::string CreateFollowTableStatement(std::string_view schema) {
    const std::string table = Table(schema);
    return "IF OBJECT_ID(" + Literal(table) + ", N'U') IS NULL CREATE TABLE " + table +
           " (source_database nvarchar(128) NOT NULL PRIMARY KEY, log_file nvarchar(255) NOT NULL, "
           "log_offset bigint NOT NULL, gtid nvarchar(100) NULL, tables nvarchar(max) NOT NULL, "
           "state nvarchar(20) NOT NULL, changes bigint NOT NULL, applied_at datetime2(3) NULL, "
           "cutover_at nvarchar(400) NULL, outcome nvarchar(max) NULL)";
}

std::string RecordFollowStartStatement(std::string_view schema, std::string_view database,
                                       const BinlogPosition& position, const std::vector<std::string>& tables) {
    const std::string table = Table(schema);
    return "DELETE FROM " + table + Where(database) + "; INSERT INTO " + table +
           " (source_database, log_file, log_offset, gtid, tables, state, changes) VALUES (" +
           Literal(database) + ", " + Literal(position.file) + ", " + std::to_string(position.offset) +
           ", " + (position.gtid.empty() ? std::string("NULL") : Literal(position.gtid)) + ", " +
           Literal(JoinTables(tables)) + ", N'copying', 0)";
}

std::string FollowPositionStatement(std::string_view schema, std::string_view database,
                                    const BinlogPosition& position, long long changes) {
    return "UPDATE " + Table(schema) + " SET log_file = " + Literal(position.file) +
           ", log_offset = " + std::to_string(position.offset) + ", gtid = " +
           (position.gtid.empty() ? std::string("gtid") : Literal(position.gtid)) +
           ", changes = changes + " + std::to_string(changes) +
           ", applied_at = SYSUTCDATETIME()" + Where(database);
}

std::string FollowStateStatement(std::string_view schema, std::string_view database,
                                 std::string_view state, std::string_view outcome) {
    return "UPDATE " + Table(schema) + " SET state = " + Literal(state) + ", outcome = " +
           (outcome.empty() ? std::string("NULL") : Literal(outcome)) + Where(database);
}

std::string FollowingStatement(std::string_view schema, std::string_view database) {
    return "UPDATE " + Table(schema) + " SET cutover_at = CASE WHEN state = N'cut over' THEN NULL ELSE cutover_at END, "
           "state = N'following', outcome = NULL" + Where(database);
}

std::string RequestCutoverStatement(std::string_view schema, std::string_view database,
                                    const BinlogPosition& at) {
    return "UPDATE " + Table(schema) + " SET cutover_at = " + Literal(at.Text()) +
           ", outcome = NULL" + Where(database);
}

std::string ReadFollowStateStatement(std::string_view schema, std::string_view database) {
    return "SELECT log_file, log_offset, gtid, tables, state, cutover_at, outcome FROM " +
           Table(schema) + Where(database);
}

bool QueryFirstRow(Session* session, const std::string& query,
                   std::vector<std::optional<std::string>>& row, std::string& error) {
    row.clear();
    if (!session) {
        error = "not connected";
        return false;
    }
    auto statement = session->NewStatement();
    if (!statement || statement->Create(query) != kSuccess ||
        statement->Execute(StandardRowsetProperties()) != kSuccess) {
        error = statement ? statement->MostInformativeError() : "no statement";
        return false;
    }
    if (!statement->HasRowset() || statement->BindAllAsText() != kSuccess) {
        error = "no rows";
        return false;
    }
    const ResultCode moved = statement->MoveNext();
    if (moved != kSuccess) {
        error = moved == kEndOfRowset ? "no rows" : statement->MostInformativeError();
        statement->Close();
        return false;
    }
    for (int i = 0; i < statement->ColumnCount(); ++i) {
        if (statement->IsNull(i)) row.emplace_back();
        else row.emplace_back(std::string(statement->Value(i)));
    }
    statement->Close();
    return true;
}

std::optional<FollowState> ReadFollowState(Session* target, std::string_view schema,
                                           std::string_view database, std::string& error) {
    std::vector<std::optional<std::string>> row;
    if (!QueryFirstRow(target, ReadFollowStateStatement(schema, database), row, error)) {
        if (error == "no rows") error = "the target holds no follow position of " + std::string(database);
        return std::nullopt;
    }
    if (row.size() < 7 || !row[0] || !row[1]) {
        error = "the follow table of the target is not readable";
        return std::nullopt;
    }
    FollowState state;
    const std::optional<BinlogPosition> position = ParseBinlogPosition(*row[0] + ":" + *row[1]);
    if (!position) {
        error = "the follow table holds no position: " + *row[0] + ":" + *row[1];
        return std::nullopt;
    }
    state.position = *position;
    state.position.gtid = row[2].value_or("");
    state.tables = SplitTables(row[3].value_or(""));
    state.state = row[4].value_or("");
    if (row[5]) state.cutoverAt = ParseBinlogPosition(*row[5]);
    state.outcome = row[6].value_or("");
    return state;
}

}  // namespace velmora
