#include "Converters/SourceServer.h"

#include "Converters/TargetServer.h"

#include "MainWindowModel.h"
#include "config/Configuration.h"
#include "config/OdbcInstallation.h"
#include "data/ErrorText.h"
#include "data/StatementExecution.h"
#include "explorer/TreeFill.h"

namespace velmora {
namespace {

constexpr int kMaxDriverProbes = 3;

}  // namespace

std::pair<std::string, std::string> SplitHostPort(std::string_view sourceName,
                                                  std::string_view defaultPort) {
    size_t colon = sourceName.find(':');
    if (colon == std::string_view::npos) return {std::string(sourceName), std::string(defaultPort)};
    return {std::string(sourceName.substr(0, colon)), std::string(sourceName.substr(colon + 1))};
}

std::string SourceProviderString(std::string_view driver, std::string_view sourceName,
                                 std::string_view catalogName) {
    auto [host, port] = SplitHostPort(sourceName, "3306");
    std::string text =
        ";Driver={" + std::string(driver) + "};SERVER=" + host + ";PORT=" + port + ";UID=root;";
    if (!catalogName.empty()) text += "Database=" + std::string(catalogName);
    return text;
}

bool BuildSourceInitProperties(const ConnectionSettings& settings, PropertySet& set,
                               const SourceProbe& probe, UserPort* dialogPort) {
    set.Add(kPropAuthMaskPassword, false);
    set.Add(kPropAuthPassword, settings.password);
    set.Add(kPropAuthUserId, settings.userId);
    if (!IsTcpIpProvider(settings.provider)) {
        if (!settings.sourceName.empty()) set.Add(kPropInitDataSource, settings.sourceName);
        if (!settings.catalogName.empty()) set.Add(kPropInitCatalog, settings.catalogName);
    } else {
        for (int n = 1; n <= kMaxDriverProbes; ++n) {
            const std::string driver = MySqlOdbcDriverName(n);
            if (driver.empty()) {
                if (dialogPort) dialogPort->ShowMessage("No appropriate Config, Please correct!!!");
                return false;
            }
            set.Set(kPropInitProviderString,
                    SourceProviderString(driver, settings.sourceName, settings.catalogName));
            std::string error;
            if (probe && probe(settings.providerProgId, set, error) == kSuccess) break;
            if (dialogPort) dialogPort->ShowMessage(error.empty() ? "Unknown Error!" : error);
        }
    }
    set.Add(kPropInitMode, int32_t{16});   // share deny none
    set.Add(kPropInitPrompt, int32_t{4});  // no prompt
    return true;
}

std::string QueryServerVersion(MainWindowModel& window, Session* session) {
    if (!session) {
        window.log().WriteText("No Connection!");
        return "No Connection!";
    }
    return ReadServerVersion(window, *session, false);
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

void ChangeCharsetCommand(MainWindowModel& window, DatabaseTree& tree) {
    Session* session = tree.session();
    if (tree.dbmsKind() != 2 || !session) return;
    const auto& names = CharsetNames();
    int preselected = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == window.currentCharset) preselected = static_cast<int>(i);
    }
    std::optional<int> choice = window.port().ChooseOne("Change Charset", names, preselected);
    if (!choice) return;
    const std::string charset = CharsetName(*choice);
    window.currentCharset = charset;
    const std::vector<std::string> statements = CharsetStatements(charset);
    ExecuteStatement(window, session, statements[0], 0);
    for (size_t i = 1; i < statements.size(); ++i) {
        ShowQueryResult(window, session, statements[i], 0);
    }
    FillDatabaseTree(window, tree);
}

void ToggleStorageEngineCommand(MainWindowModel& window) {
    const size_t at = window.storageEngineMenuText.find("MyISAM");
    std::string engine = (at != std::string::npos && at > 0) ? "InnoDB" : "MyISAM";
    window.storageEngineMenuText = "Change Storage Engine(" + engine + ")";
    window.port().ShowMessage("Now Storage Engine of MySQL is " + engine + "!");
    window.sourceTree().SetStorageEngine(engine);
}

}  // namespace velmora
