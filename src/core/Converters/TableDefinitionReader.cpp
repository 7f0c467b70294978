#include "Converters/TableDefinitionReader.h"

#include <exception>

#include "Converters/DdlTranslator.h"
#include "Converters/SourceQuery.h"
#include "tasks/OperationLog.h"

namespace velmora {

std::string ShowCreateTableStatement(std::string_view table) {
    std::string statement = "show create table `";
    for (char c : table) {
        statement.push_back(c);
        if (c == '`') statement.push_back('`');
    }
    return statement + "`";
}

std::string TranslateTableDefinition(Session* source, std::string_view /*database*/,
                                     std::string_view table, OperationLog& log,
                                    std::string* readFailure) {
    try {
        SourceQuery query(log, source, ShowCreateTableStatement(table));
        if (!query.ok()) {
            if (readFailure) *readFailure = query.reason();
            return query.failureText();
        }
        std::string definition;
        bool found = false;
        while (query.Next()) {
            definition.assign(query.Value(1));
            found = true;
        }
        if (query.fetchFailed() || !found) {
            std::string why = query.fetchFailed() ? query.rows().MostInformativeError()
                                                  : "the server returned no definition";
            if (readFailure) *readFailure = why;
            return "FALSE";
        }
        return RewriteTableDefinition(definition);
    } catch (const std::exception& e) {
        log.ShowMessage(e.what());
        if (readFailure) *readFailure = e.what();
        return {};
    }
}

}  // namespace velmora
