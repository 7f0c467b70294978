#include "Converters/RunLock.h"

#include <unistd.h>

#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <set>

#include "translation/Naming.h"

namespace velmora {
namespace {

constexpr const char* kProperty = "N'velmora.run'";

// The lock's resource: per database, because a server may keep application locks per instance.
std::string Resource(const std::string& database) {
    std::string resource = "velmora.run:" + database;
    if (resource.size() > 255) resource = "velmora.run:" + std::to_string(std::hash<std::string>{}(database));
    return "N" + QuoteTargetString(resource);
}

// The first value of the first row of `query`, or nothing (with `error`) when it fails.
std::optional<std::string> FirstValue(Session& session, const std::string& query, std::string& error) {
    std::unique_ptr<StatementRowset> statement = session.NewStatement();
    if (!statement || statement->Create(query) != kSuccess || statement->Execute({}) < 0) {
        error = statement ? statement->ProviderErrorText() : session.ProviderErrorText();
        return std::nullopt;
    }
    std::optional<std::string> value;
    if (statement->HasRowset() && statement->BindAllAsText() >= 0 && statement->MoveNext() == kSuccess &&
        statement->ColumnCount() > 0 && !statement->IsNull(0)) {
        value = std::string(statement->Value(0));
    }
    statement->Close();
    if (!value) error = "no answer";
    return value;
}

// The locks this process holds, by resource.
std::mutex heldMutex;
std::multiset<std::string> held;

void NoteHeld(const std::string& database, bool holding) {
    std::lock_guard<std::mutex> guard(heldMutex);
    if (holding) {
        held.insert(Resource(database));
    } else if (auto it = held.find(Resource(database)); it != held.end()) {
        held.erase(it);
    }
}

bool Run(Session& session, const std::string& statement) {
    std::unique_ptr<StatementRowset> rowset = session.NewStatement();
    bool ok = rowset && rowset->Create(statement) == kSuccess && rowset->Execute({}) >= 0;
    if (rowset) rowset->Close();
    return ok;
}

}  // namespace

std::string RunHolderDescription(const std::string& command) {
    char host[256] = "unknown";
    gethostname(host, sizeof host - 1);
    std::time_t now = std::time(nullptr);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::gmtime(&now));
    return command + " on host " + host + ", process " + std::to_string(getpid()) + ", started " +
           stamp + " UTC";
}

std::unique_ptr<RunLock> RunLock::Acquire(std::unique_ptr<DataSourceConnection> connection, const std::string& database,
                                          const std::string& command, Mode mode, std::string& refusal) {
    Session* session = connection ? connection->session() : nullptr;
    if (!session) {
        refusal = "the target database " + database + " cannot be locked for this run: no connection";
        return nullptr;
    }
    std::string error;
    if (!Run(*session, "USE " + QuoteTargetName(database))) {
        refusal = "the target database " + database + " cannot be locked for this run: " + session->ProviderErrorText();
        return nullptr;
    }
    const std::optional<std::string> granted = FirstValue(
        *session,
        "SET NOCOUNT ON; DECLARE @granted int; EXEC @granted = sp_getapplock @Resource = " + Resource(database) +
            ", @LockMode = N'" + (mode == Mode::Shared ? "Shared" : "Exclusive") +
            "', @LockOwner = N'Session', @LockTimeout = 0; SELECT @granted",
        error);
    if (!granted) {
        refusal = "the target database " + database + " cannot be locked for this run: " + error;
        return nullptr;
    }
    if (granted->empty() || (*granted)[0] == '-') {  // SQL Server -1, Babelfish -999: held
        std::string why;
        const std::optional<std::string> holder = FirstValue(
            *session,
            "SELECT CAST(value AS nvarchar(4000)) FROM sys.extended_properties WHERE class = 0 AND name = " +
                std::string(kProperty),
            why);
        refusal = "another run holds the target database " + database + ": " +
                  (holder && !holder->empty() ? *holder : "its description cannot be read (" + why + ")") +
                  "; wait for it to end, or stop it";
        return nullptr;
    }
    const std::string holder = RunHolderDescription(command);
    const std::string value = "@value = N" + QuoteTargetString(holder);
    // The description is a courtesy: a server that refuses it still keeps the lock.
    Run(*session, "IF EXISTS (SELECT 1 FROM sys.extended_properties WHERE class = 0 AND name = " + std::string(kProperty) +
                      ") EXEC sys.sp_updateextendedproperty @name = " + kProperty + ", " + value +
                      " ELSE EXEC sys.sp_addextendedproperty @name = " + kProperty + ", " + value);
    auto lock = std::unique_ptr<RunLock>(new RunLock(std::move(connection), database, holder));
    lock->shared_ = mode == Mode::Shared;
    NoteHeld(database, true);
    return lock;
}

RunLock::RunLock(std::unique_ptr<DataSourceConnection> connection, std::string database, std::string holder)
    : connection_(std::move(connection)), database_(std::move(database)), holder_(std::move(holder)) {}

RunLock::~RunLock() { Release(); }

bool RunLock::HeldHere(const std::string& database) {
    std::lock_guard<std::mutex> guard(heldMutex);
    return held.count(Resource(database)) > 0;
}

void RunLock::Release() {
    if (!connection_) return;
    if (Session* session = connection_->session()) {
        // A share of a split run leaves the description to the shares still running.
        if (!shared_)
            Run(*session, "IF EXISTS (SELECT 1 FROM sys.extended_properties WHERE class = 0 AND name = " +
                                            std::string(kProperty) + ") EXEC sys.sp_dropextendedproperty @name = " + kProperty);
        Run(*session, "EXEC sp_releaseapplock @Resource = " + Resource(database_) + ", @LockOwner = N'Session'");
    }
    connection_->Close();
    connection_.reset();
    NoteHeld(database_, false);
}

}  // namespace velmora
