#include "Converters/TableDefinitionReader.h"

#include <exception>

#include "Converters/DdlTranslator.h"
#include "Converters/SourceQuery.h"
#include "MainWindowModel.h"

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
                                     std::string_view table, MainWindowModel& main) {
    try {
        SourceQuery query(main, source, ShowCreateTableStatement(table));
        if (!query.ok()) return query.failureText();
        std::string definition;
        while (query.Next()) definition.assign(query.Value(1));
        return RewriteTableDefinition(definition);
    } catch (const std::exception& e) {
        main.port().ShowMessage(e.what());
        return {};
    }
}

}  // namespace velmora
