#include "config/ConnectSequence.h"

#include "config/Configuration.h"
#include "config/ConnectionProperties.h"
#include "data/ErrorText.h"
#include "data/StatementExecution.h"
#include "tasks/OperationLog.h"

namespace velmora {
namespace {

constexpr SideTexts kSourceTexts{
    "Source",
    "Source Connection error! Please comfirm source database connection properties !",
    "Source Connection error!",
    "Connect Source Database!",
    "Source Connection Successful!",
    "Source DB Connect ERROR!"};

constexpr SideTexts kTargetTexts{
    "Target",
    "Target Connection error! Please comfirm target database connection properties !",
    "Target Connection error!",
    "Connect Target Database!",
    "Target Connection Successful!",
    "Target DB Connect ERROR!"};

std::string Trim(std::string_view text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return "";
    size_t last = text.find_last_not_of(blanks);
    return std::string(text.substr(first, last - first + 1));
}

// A probe that opens and releases a fresh connection of the side (or, without a factory,
// `fallback`, which the sequence has just released anyway). The last failure's text is kept in
// `lastError`.
SourceProbe MakeProbe(const ConnectionFactory& factory, TreeSide side,
                      DataSourceConnection* fallback, std::string& lastError) {
    return [&factory, side, fallback, &lastError](std::string_view provider,
                                                  const PropertySet& set,
                                                  std::string& errorText) -> ResultCode {
        std::unique_ptr<DataSourceConnection> owned;
        if (factory) owned = factory(side);
        DataSourceConnection* probe = owned ? owned.get() : fallback;
        if (!probe) {
            errorText = "Unknown Error!";
            return kFailure;
        }
        ResultCode result = probe->Open(provider, set);
        if (result < 0) errorText = lastError = probe->ProviderErrorText();
        probe->Close();
        return result < 0 ? result : kSuccess;
    };
}

// `lastError` receives the text of the last failed driver probe, if any.
bool BuildInitProperties(const ConnectionFactory& factory, TreeSide side,
                         const ConnectionSettings& settings, PropertySet& set,
                         DataSourceConnection* fallback, UserPort* dialogPort,
                         std::string& lastError) {
    if (side == TreeSide::Target) return BuildTargetInitProperties(settings, set);
    return BuildSourceInitProperties(settings, set, MakeProbe(factory, side, fallback, lastError),
                                     dialogPort);
}

// The DBMS name and version the data source reports; a failed read is an output line.
std::string ReadDbmsDescription(OperationLog& log, DataSourceConnection& connection,
                                const SideTexts& texts) {
    std::string name;
    if (connection.GetProperty(kPropDbmsName, name) != kSuccess) {
        log.WriteOutputLine("Get %s DBMS Name Error!", texts.word);
        name.clear();
    }
    name = Trim(name);
    if (name.empty()) return name;
    std::string version;
    if (connection.GetProperty(kPropDbmsVersion, version) != kSuccess) {
        log.WriteOutputLine("Get %s DBMS Version Error!", texts.word);
        return name;
    }
    return DbmsDescription(name, version);
}

// The side's own failure texts, then on the next line of the message why: the cause and the
// driver's record that says so (a wrong password and an unreachable server read differently).
void ReportFailure(OperationLog& log, UserPort& port, const SideTexts& texts,
                   const std::string& why) {
    log.ShowHint(texts.hint);
    port.ShowMessage(why.empty() ? std::string(texts.failure) : texts.failure + ("\n" + why));
}

// The driver's own text of a failed open, and after it, when it says more, the record that
// says why; the returned line names the cause.
std::string LogOpenFailure(OperationLog& log, const DataSourceConnection& connection) {
    const std::string text = connection.ProviderErrorText();
    log.WriteText(text);
    const std::vector<DiagnosticRecord> records = connection.Diagnostics();
    const std::string informative = MostInformativeText(records, text);
    if (informative.find(text) == std::string::npos) log.WriteText(informative);
    return ConnectionFailureLine(records, text);
}

}  // namespace

const SideTexts& TextsOf(TreeSide side) {
    return side == TreeSide::Source ? kSourceTexts : kTargetTexts;
}

std::string DbmsDescription(std::string_view name, std::string_view version) {
    std::string description = Trim(name);
    if (!description.empty()) description += "[" + std::string(version) + "]";
    return description;
}

bool ConnectDataSource(OperationLog& log, UserPort& port, TreeSide side,
                       DataSourceConnection& connection, const ConnectionSettings& settings,
                       const ConnectionFactory& factory, const std::function<void()>& sessionOpened,
                       std::string& dbms) {
    const SideTexts& texts = TextsOf(side);
    connection.Close();
    PropertySet set;
    std::string probeError;
    if (!BuildInitProperties(factory, side, settings, set, &connection, nullptr, probeError)) {
        if (!probeError.empty()) log.WriteText(probeError);
        ReportFailure(log, port, texts,
                      probeError.empty()
                          ? std::string()
                          : ConnectionFailureLine({{"", 0, probeError}}, probeError));
        return false;
    }
    if (connection.Open(settings.providerProgId, set) < 0) {
        const std::string why = LogOpenFailure(log, connection);
        connection.Close();
        ReportFailure(log, port, texts, why);
        return false;
    }
    log.WriteText(texts.connected);
    if (connection.OpenSession() != kSuccess) {
        port.ShowMessage("Couldn't create session on data source");
        connection.Close();
        return false;
    }
    if (sessionOpened) sessionOpened();
    std::string description = ReadDbmsDescription(log, connection, texts);
    log.WriteText("RESULT:    The operation completed SUCCESSFULLY");
    if (description.empty()) {
        // "select @@Version"; the target also logs a statement that returned no rows.
        description = ReadServerVersion(log, *connection.session(), side == TreeSide::Target);
    }
    dbms = description;
    return true;
}

bool TestDataSource(OperationLog& log, UserPort& port, TreeSide side, ConnectionSettings settings,
                    const ConnectionFactory& factory) {
    settings.providerProgId = ProviderProgId(settings.provider);
    PropertySet set;
    std::string probeError;  // already shown by the dialog's check
    if (!BuildInitProperties(factory, side, settings, set, nullptr, &port, probeError)) {
        return false;
    }
    std::unique_ptr<DataSourceConnection> probe;
    if (factory) probe = factory(side);
    if (!probe) return false;
    bool opened = probe->Open(settings.providerProgId, set) >= 0;
    if (!opened) log.WriteText(LogOpenFailure(log, *probe));
    probe->Close();
    return opened;
}

std::unique_ptr<DataSourceConnection> OpenTaskConnection(OperationLog& log, TreeSide side,
                                                         const ConnectionSettings& settings,
                                                         const ConnectionFactory& factory) {
    std::unique_ptr<DataSourceConnection> connection = factory ? factory(side) : nullptr;
    const char* word = TextsOf(side).word;
    if (!connection) {
        log.WriteOutputLine("No %s DataSource Connection!", word);
        return nullptr;
    }
    PropertySet set;
    std::string probeError;
    bool built = BuildInitProperties(factory, side, settings, set, connection.get(), nullptr,
                                     probeError);
    if (!built || connection->Open(settings.providerProgId, set) < 0 ||
        connection->OpenSession() != kSuccess) {
        log.WriteOutputLine("No %s DataSource Connection!", word);
        log.WriteText(!built && !probeError.empty() ? probeError
                                                    : connection->MostInformativeError());
        connection->Close();
        return nullptr;
    }
    return connection;
}

}  // namespace velmora
