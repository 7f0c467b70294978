#include "Converters/NativeRowSource.h"

#include <memory>
#include <optional>

#include "Converters/WorkerContext.h"
#include "data/MariaDbRows.h"
#include "translation/Naming.h"

namespace velmora {

// What a context keeps of its native reading: the session and the database it is on, or that
// this source is read through ODBC.
struct NativeRows {
    std::unique_ptr<Session> session;
    std::string database;
    std::string failure;  // why the session could not be opened
    bool throughOdbc = false;
};

namespace {

bool SelectDatabase(NativeRows& rows, std::string_view database, std::string& failure) {
    if (database.empty() || rows.database == database) return true;
    std::unique_ptr<StatementRowset> use = rows.session->NewStatement();
    if (use->Create("use " + QuoteSourceName(database)) != kSuccess ||
        use->Execute(StandardRowsetProperties()) != kSuccess) {
        failure = use->ProviderErrorText();
        return false;
    }
    rows.database = std::string(database);
    return true;
}

}  // namespace

Session* FullRowSession(WorkerContext& context, std::string_view database, std::string& failure) {
    if (!context.nativeRows) {
        context.nativeRows = std::make_shared<NativeRows>();
        const std::string text =
            context.sourceConnection ? context.sourceConnection->ConnectionText() : std::string();
        std::string why;
        std::optional<NativeSourceOptions> options;
        if (!text.empty()) options = NativeOptionsFromOdbc(text, why);
        if (!options) {
            context.nativeRows->throughOdbc = true;
            if (!why.empty()) context.Log().WriteOutputLine("Rows are read through ODBC: %s.", why.c_str());
        } else {
            options->database.clear();  // selected below, per table
            context.nativeRows->session =
                OpenMariaDbRowSession(*options, context.nativeRows->failure);
        }
    }
    NativeRows& rows = *context.nativeRows;
    if (rows.throughOdbc) return context.SourceSession();
    if (!rows.session) {
        failure = rows.failure;  // for every table of the context
        return nullptr;
    }
    return SelectDatabase(rows, database, failure) ? rows.session.get() : nullptr;
}

}  // namespace velmora
