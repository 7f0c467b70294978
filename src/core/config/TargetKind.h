// TargetKind: which kind of SQL Server-compatible server the target is, decided at connect time.
//
// Azure SQL Database and Babelfish refuse to work across databases: no `use` of another database
// (Azure SQL Database), no catalog call naming another database, no three-part names. On them
// everything that works inside one database runs on a connection opened on that database.
// SQL Server and Azure SQL Managed Instance work as one server of many databases.
//
// The kind is decided from three answers, by a pure function: SERVERPROPERTY('EngineEdition')
// (5 is Azure SQL Database, 8 is Managed Instance), the text of @@VERSION (Babelfish names
// itself there) and whether the catalog call for all catalogs was refused because it names
// another database than the current one (Babelfish's refusal).
//
// Threads: any; nothing here keeps state. DetectTargetKind uses the connection it is given on
// the caller's thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "data/DataAccess.h"

namespace velmora {

enum class TargetKind { SqlServer, AzureSqlManagedInstance, AzureSqlDatabase, Babelfish };

// What the server answered; nullopt where the question failed or was not asked.
struct TargetAnswers {
    std::optional<std::string> engineEdition;
    std::optional<std::string> versionText;
    std::optional<std::string> catalogRefusal;  // the driver's text when the call failed
};

TargetKind DecideTargetKind(const TargetAnswers& answers);

// True for the kinds on which a connection works in the one database it was opened on.
bool WorksInOneDatabase(TargetKind kind);

// "SQL Server", "Azure SQL Database", ...
const char* TargetKindName(TargetKind kind);

// Database names of SQL Server compare without regard to case (ASCII).
bool SameDatabaseName(std::string_view a, std::string_view b);

// The name of a kind that works in one database per connection; "" for the others.
std::string OneDatabaseKindName(TargetKind kind);

// The line that refuses work which cannot run on a target of `kind`:
// "<what> cannot run on Azure SQL Database: a connection there works only in its own database".
std::string OneDatabaseRefusal(TargetKind kind, std::string_view what);

// True when `errorText` is a server's refusal to reach a database other than the current one.
bool IsOtherDatabaseRefusal(const std::string& errorText);

// Asks the connected target the questions above (the catalog call only when the first two do not
// decide) and decides its kind; SQL Server when the connection has no session.
TargetKind DetectTargetKind(DataSourceConnection& connection);

}  // namespace velmora
