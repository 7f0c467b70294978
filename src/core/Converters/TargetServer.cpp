#include "Converters/TargetServer.h"

#include "Converters/Naming.h"
#include "Converters/PatternService.h"
#include "MainWindowModel.h"
#include "config/Configuration.h"
#include "data/ErrorText.h"
#include "data/StatementExecution.h"
#include "explorer/TreeFill.h"

namespace velmora {
namespace {

constexpr const char* kSuccessText = "RESULT:    The operation completed SUCCESSFULLY";

}  // namespace

std::string TargetProviderString(std::string_view sourceName, std::string_view catalogName) {
    std::string_view host = sourceName;
    std::string_view port = "1433";
    if (size_t colon = sourceName.find(':'); colon != std::string_view::npos) {
        host = sourceName.substr(0, colon);
        port = sourceName.substr(colon + 1);
    }
    std::string text = ";Driver={SQL Server};Server=" + std::string(host) +
                       ";Address=" + std::string(host) + "," + std::string(port) +
                       ";Network=DBMSSOCN;";
    if (!catalogName.empty()) text += "Database=" + std::string(catalogName);
    return text;
}

bool BuildTargetInitProperties(const ConnectionSettings& settings, PropertySet& set) {
    set.Add(kPropAuthEncryptPassword, false);
    set.Add(kPropAuthMaskPassword, false);
    set.Add(kPropAuthPassword, settings.password);
    set.Add(kPropAuthUserId, settings.userId);
    if (IsTcpIpProvider(settings.provider)) {
        set.Add(kPropInitProviderString,
                TargetProviderString(settings.sourceName, settings.catalogName));
    } else {
        if (!settings.sourceName.empty()) set.Add(kPropInitDataSource, settings.sourceName);
        if (!settings.catalogName.empty()) set.Add(kPropInitCatalog, settings.catalogName);
    }
    set.Add(kPropInitMode, int32_t{16});   // share deny none
    set.Add(kPropInitPrompt, int32_t{4});  // no prompt
    return true;
}

std::string ReadServerVersion(MainWindowModel& window, Session& session, bool logNoRowset) {
    auto statement = session.NewStatement();
    if (!statement) return "Unknown Error!";
    if (statement->Create("select @@Version") < 0 ||
        statement->Execute(StandardRowsetProperties()) != kSuccess) {
        std::string error = statement->ProviderErrorText();
        statement->Close();
        return error;
    }
    if (!statement->HasRowset()) {
        statement->Close();
        if (logNoRowset) window.log().WriteText(kSuccessText);
        return kSuccessText;
    }
    if (statement->BindAllAsText(true) != kSuccess) {
        std::string error = statement->ProviderErrorText();
        statement->Close();
        return error;
    }
    std::string version;
    while (statement->MoveNext() == kSuccess) {
        version = statement->ColumnCount() > 0 ? std::string(statement->Value(0)) : "";
    }
    statement->Close();
    return version;
}

std::string GetTargetServerVersion(MainWindowModel& window, Session* session) {
    if (!session) {
        window.log().WriteText(FormatLastSystemError("No Connection!"));
        return "";
    }
    return ReadServerVersion(window, *session, true);
}

std::string UseStatement(std::string_view database, int side) {
    return "use " + (side == 0 ? QuoteSourceName(database) : QuoteTargetName(database)) + ";";
}

std::string CreateDatabaseStatement(std::string_view database) {
    return "create database " + QuoteTargetName(database) + ";";
}

std::string DropDatabaseStatement(std::string_view database) {
    return "drop database " + QuoteTargetName(database) + ";";
}

std::string DropTableStatement(std::string_view table) {
    return "drop table " + QuoteTargetName(table);
}

std::string DropViewStatement(std::string_view view) {
    return "drop view " + QuoteTargetName(view);
}

std::string RenameStatement(std::string_view oldName, std::string_view newName) {
    // The old name is an object name (bracketed when it is not plain, so dots and blanks stay
    // part of it); the new name is taken literally by sp_rename, so it is never bracketed.
    return "sp_rename " + QuoteTargetString(QuoteTargetName(oldName)) + ", " +
           QuoteTargetString(newName) + ", 'object'";
}

bool UseDatabase(MainWindowModel& window, std::string_view name, int side) {
    if (side != 0 && side != 1) return true;
    DatabaseTree& tree = side == 0 ? window.sourceTree() : window.targetTree();
    Session* session = side == 0 ? window.sourceSession() : window.targetSession();
    tree.SetCurrentDatabase(std::string(name));
    if (!ExecuteStatement(window, session, UseStatement(name, side), 0)) return false;
    FillDatabaseTree(window, tree);
    return true;
}

bool CreateDatabase(MainWindowModel& window, std::string_view name, bool nameGiven) {
    std::string database;
    if (nameGiven) {
        database = ReplaceAll(name, "^[a-zA-Z]:\\\\", "");
    } else {
        std::optional<std::string> typed = window.port().PromptText("DB Name:");
        if (!typed) return false;
        database = *typed;
    }
    return ExecuteStatement(window, window.targetSession(), CreateDatabaseStatement(database), 0);
}

bool DropDatabase(MainWindowModel& window, std::string_view name) {
    window.targetTree().SetCurrentDatabase("");
    return ExecuteStatement(window, window.targetSession(), DropDatabaseStatement(name), 0);
}

bool DropTable(MainWindowModel& window, std::string_view /*database*/, std::string_view table) {
    return ExecuteStatement(window, window.targetSession(), DropTableStatement(table), 0);
}

bool DropView(MainWindowModel& window, std::string_view view) {
    return ExecuteStatement(window, window.targetSession(), DropViewStatement(view), 0);
}

bool RenameObject(MainWindowModel& window, Session* session, std::string_view oldName,
                  std::string_view newName) {
    if (!session) {
        window.log().WriteText(FormatLastSystemError("No Connection!"));
        return false;
    }
    return ExecuteStatement(window, window.targetSession(), RenameStatement(oldName, newName), 1);
}

}  // namespace velmora
