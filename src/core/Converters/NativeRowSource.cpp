#include "Converters/NativeRowSource.h"

#include <memory>
#include <optional>

#include "Converters/WorkerContext.h"
#include "data/MariaDbRows.h"

namespace velmora {

// What a context keeps of its native reading: the session, or that this source is read through
// ODBC.
struct NativeRows {
    std::unique_ptr<NativeRowSession> session;
    std::string failure;  // why the session could not be opened
    bool throughOdbc = false;
};

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
    return rows.session->UseDatabase(database, failure) ? rows.session.get() : nullptr;
}

}  // namespace velmora
