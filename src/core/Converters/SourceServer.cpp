#include "Converters/SourceServer.h"

#include "Converters/SourceQuery.h"
#include "data/StatementExecution.h"
#include "tasks/OperationLog.h"

namespace velmora {

std::string QueryServerVersion(OperationLog& log, Session* session) {
    if (!session) {
        log.WriteText("No Connection!");
        return "No Connection!";
    }
    return ReadServerVersion(log, *session, false);
}

std::string SourceDatabaseCollation(OperationLog& log, Session* session, std::string_view database) {
    SourceQuery query(log, session,
                      "SELECT DEFAULT_COLLATION_NAME FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = " +
                          SourceStringLiteral(database),
                      false);
    if (!query.ok() || !query.Next() || query.IsNull(0)) return "";
    return std::string(query.Value(0));
}

const std::vector<std::string>& CharsetNames() {
    static const std::vector<std::string> names = {
        "BIG5",  "DEC8",   "CP850",    "HP8",    "KOI8R",  "LATIN1", "LATIN2",  "SWE7",  "ASCII",
        "UJIS",  "SJIS",   "HEBREW",   "TIS620", "EUCKR",  "KOI8U",  "GB2312",  "GREEK", "CP1250",
        "GBK",   "LATIN5", "ARMSCII8", "UTF8",   "UCS2",   "CP866",  "KEYBCS2", "MACCE", "MACROMAN",
        "CP852", "LATIN7", "CP1251",   "CP1256", "CP1257", "BINARY", "GEOSTD8", "CP932", "EUCJPMS"};
    return names;
}

std::string CharsetName(int index) {
    const auto& names = CharsetNames();
    if (index < 0 || static_cast<size_t>(index) >= names.size()) return "UNKOWNEN";
    return names[static_cast<size_t>(index)];
}

std::vector<std::string> CharsetStatements(std::string_view charset) {
    std::vector<std::string> statements;
    for (const char* variable : {"client", "connection", "database", "results", "server"}) {
        statements.push_back("set character_set_" + std::string(variable) + "=" +
                             std::string(charset) + ";");
    }
    return statements;
}

}  // namespace velmora
