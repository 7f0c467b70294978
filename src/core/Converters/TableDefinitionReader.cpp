#include "Converters/TableDefinitionReader.h"

#include <exception>

#include "translation/DdlTranslator.h"
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
        std::string failure;
        std::string definition =
            ReadDefinition(log, source, ShowCreateTableStatement(table), &failure);
        if (!failure.empty()) {
            if (readFailure) *readFailure = failure;
            return definition;
        }
        return RewriteTableDefinition(definition);
    } catch (const std::exception& e) {
        log.ShowMessage(e.what());
        if (readFailure) *readFailure = e.what();
        return {};
    }
}

}  // namespace velmora
