#include "commands/Preflight.h"

#include "Converters/SourceQuery.h"
#include "Converters/SourceServer.h"
#include "Converters/TargetServer.h"
#include "translation/Collations.h"
#include "translation/Naming.h"
#include "commands/OneDatabaseGuard.h"
#include "data/StatementExecution.h"

namespace velmora {
namespace {

// MariaDB's identifier quoting: a backtick inside a name is doubled.
std::string Backticked(const std::string& name) {
    std::string out = "`";
    for (char c : name) {
        out += c;
        if (c == '`') out += '`';
    }
    return out + "`";
}

}  // namespace

bool QueryFirstColumn(Session* session, const std::string& query, std::vector<std::string>& values,
                      std::string& why) {
    auto statement = session ? session->NewStatement() : nullptr;
    if (!statement) {
        why = kNoConnection;
        return false;
    }
    ResultCode result = statement->Create(query);
    if (result >= 0) result = statement->Execute(StandardRowsetProperties());
    if (result == kSuccess && statement->HasRowset()) result = statement->BindAllAsText(true);
    if (result != kSuccess || !statement->HasRowset()) {
        why = statement->MostInformativeError();
        statement->Close();
        return false;
    }
    while ((result = statement->MoveNext()) == kSuccess) {
        if (!statement->IsNull(0)) values.emplace_back(statement->Value(0));
    }
    if (result < 0) why = statement->MostInformativeError();
    statement->Close();
    return result >= 0;
}

Presence SourceObjectPresence(MainWindowModel& window, const std::string& database,
                              const std::string& object, bool view, std::string& why) {
    // MariaDB compares table names with case on Linux: the list is searched exactly.
    std::vector<std::string> names;
    const std::string query = "SHOW FULL TABLES FROM " + Backticked(database) + " WHERE Table_type " +
                              (view ? "= 'VIEW'" : "<> 'VIEW'");
    if (!QueryFirstColumn(window.sourceSession(), query, names, why)) return Presence::Unknown;
    for (const std::string& name : names) {
        if (name == object) return Presence::Present;
    }
    return Presence::Missing;
}

Presence TargetDatabasePresence(MainWindowModel& window, const std::string& database,
                                std::string& why) {
    std::vector<std::string> names;
    bool listed = RunInDatabase(window, "master", [&](Session* session) {
        return QueryFirstColumn(session, "SELECT name FROM sys.databases ORDER BY name", names, why);
    });
    if (!listed) {
        if (why.empty()) why = "no connection to master could be opened";
        return Presence::Unknown;
    }
    for (const std::string& name : names) {
        if (SameDatabaseName(name, database)) return Presence::Present;
    }
    return Presence::Missing;
}

namespace {

// The new database compares text as the source database does; Babelfish takes no collation but
// its own default there (its columns carry theirs).
std::string NewDatabaseStatement(MainWindowModel& window, const std::string& database,
                                 const std::string& sourceDatabase) {
    std::string collation;
    if (!sourceDatabase.empty() && window.targetKind != TargetKind::Babelfish) {
        collation = TargetCollation(SourceDatabaseCollation(window.log(), window.sourceSession(), sourceDatabase));
    }
    return CreateDatabaseStatement(database, collation);
}

}  // namespace

std::string CreateMissingDatabaseStatement(MainWindowModel& window, const std::string& database,
                                           const std::string& sourceDatabase) {
    return "IF DB_ID(N" + QuoteTargetString(database) + ") IS NULL\n    " +
           NewDatabaseStatement(window, database, sourceDatabase);
}

bool CreateTargetDatabase(MainWindowModel& window, const std::string& database, std::string& why,
                          const std::string& sourceDatabase) {
    why = UnconnectableDatabaseName(window.targetKind, database);
    if (!why.empty()) return false;  // nothing is created that could not be reached
    const std::string statement = NewDatabaseStatement(window, database, sourceDatabase);
    const bool created =
        RunOnServerLevel(window, "Creating database [" + database + "]", database, [&](Session* session) {
            return ExecuteStatement(window.log(), session, statement, 0, &why);
        });
    if (!created && why.empty()) why = "no connection to master could be opened";
    return created;
}

}  // namespace velmora
