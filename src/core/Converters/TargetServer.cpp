#include "Converters/TargetServer.h"

#include "translation/Naming.h"
#include "translation/PatternService.h"
#include "tasks/OperationLog.h"
#include "data/ErrorText.h"
#include "data/StatementExecution.h"

namespace velmora {

std::string GetTargetServerVersion(OperationLog& log, Session* session) {
    if (!session) {
        log.WriteText(NoConnectionText());
        return "";
    }
    return ReadServerVersion(log, *session, true);
}

std::string UnconnectableDatabaseName(TargetKind kind, std::string_view name) {
    if (!WorksInOneDatabase(kind)) return "";
    for (char c : name) {
        const bool control = static_cast<unsigned char>(c) < 0x20;
        if (control || c == ']' || c == ';' || c == '{' || c == '}') {
            return "it holds " + (control ? std::string("a control character") : "\"" + std::string(1, c) + "\"") +
                   ", and this target is connected to its database by name, which such a name cannot be";
        }
    }
    return "";
}

std::string UseStatement(std::string_view database, int side) {
    return "use " + (side == 0 ? QuoteSourceName(database) : QuoteTargetName(database)) + ";";
}

std::string CreateDatabaseStatement(std::string_view database, std::string_view collation) {
    return "create database " + QuoteTargetName(database) +
           (collation.empty() ? "" : " COLLATE " + std::string(collation)) + ";";
}

std::string DropDatabaseStatement(std::string_view database) {
    return "drop database " + QuoteTargetName(database) + ";";
}

std::string DropTableStatement(std::string_view table, std::string_view schema) {
    return "drop table " + TargetObjectName(schema, table);
}

std::string DropViewStatement(std::string_view view, std::string_view schema) {
    return "drop view " + TargetObjectName(schema, view);
}

std::string RenameStatement(std::string_view oldName, std::string_view newName, std::string_view schema) {
    // The old name is an object name (bracketed when it is not plain, so dots and blanks stay
    // part of it); the new name is taken literally by sp_rename, so it is never bracketed, and
    // the object stays in its schema.
    return "sp_rename " + QuoteTargetString(TargetObjectName(schema, oldName)) + ", " +
           QuoteTargetString(newName) + ", 'object'";
}

bool UseDatabase(OperationLog& log, Session* session, std::string_view name, int side) {
    if (side != 0 && side != 1) return true;
    return ExecuteStatement(log, session, UseStatement(name, side), 0);
}

bool CreateDatabase(OperationLog& log, Session* session, std::string_view name, std::string_view collation) {
    return ExecuteStatement(log, session,
                            CreateDatabaseStatement(ReplaceAll(name, "^[a-zA-Z]:\\\\", ""), collation), 0);
}

bool DropDatabase(OperationLog& log, Session* session, std::string_view name) {
    return ExecuteStatement(log, session, DropDatabaseStatement(name), 0);
}

namespace {

// "use <database>" before an object statement; true without a database.
bool SelectFirst(OperationLog& log, Session* session, std::string_view database) {
    return database.empty() || ExecuteStatement(log, session, UseStatement(database, 1), 0);
}

}  // namespace

bool DropTable(OperationLog& log, Session* session, std::string_view database,
               std::string_view table, std::string_view schema) {
    return SelectFirst(log, session, database) &&
           ExecuteStatement(log, session, DropTableStatement(table, schema), 0);
}

bool DropView(OperationLog& log, Session* session, std::string_view database,
              std::string_view view, std::string_view schema) {
    return SelectFirst(log, session, database) &&
           ExecuteStatement(log, session, DropViewStatement(view, schema), 0);
}

bool RenameObject(OperationLog& log, Session* session, std::string_view database,
                  std::string_view oldName, std::string_view newName, std::string_view schema) {
    if (!session) {
        log.WriteText(NoConnectionText());
        return false;
    }
    return SelectFirst(log, session, database) &&
           ExecuteStatement(log, session, RenameStatement(oldName, newName, schema), 1);
}

}  // namespace velmora
