#include "commands/FollowCommands.h"

#include <cstdlib>
#include <memory>

#include "Converters/SourceQuery.h"

#include "Converters/TargetServer.h"
#include "commands/MainWindowModel.h"
#include "data/MariaDbRows.h"

namespace velmora {
namespace {

// A cautious copy rate for the estimate that the binary log's retention is held against: a log
// purged before the copy ends leaves nothing to follow from, so the warning errs on the early side.
constexpr double kCautiousCopyBytesPerSecond = 5.0 * 1024 * 1024;

// How long copying `tables` of `database` may take: their data at the cautious rate (0 when the
// catalog cannot say).
double EstimatedCopySeconds(Session* source, const std::string& database, const std::vector<std::string>& tables) {
    if (!source || tables.empty()) return 0;
    std::string names;
    for (const std::string& table : tables) names += (names.empty() ? "" : ", ") + SourceStringLiteral(table);
    std::unique_ptr<StatementRowset> rowset = source->NewStatement();
    if (!rowset) return 0;
    double bytes = 0;
    if (rowset->Create("select coalesce(sum(DATA_LENGTH), 0) from information_schema.TABLES where TABLE_SCHEMA = " +
                       SourceStringLiteral(database) + " and TABLE_NAME in (" + names + ")") >= 0 &&
        rowset->Execute(StandardRowsetProperties()) == kSuccess && rowset->MoveNext() == kSuccess && !rowset->IsNull(0)) {
        bytes = std::strtod(std::string(rowset->Value(0)).c_str(), nullptr);
    }
    rowset->Close();
    return bytes / kCautiousCopyBytesPerSecond;
}

std::optional<NativeSourceOptions> WindowSource(MainWindowModel& window, const std::string& database, std::string& why) {
    std::optional<NativeSourceOptions> options = NativeOptionsFromOdbc(window.sourceConnection().ConnectionText(), why);
    if (options) options->database = database;
    return options;
}

}  // namespace

std::vector<FollowProblem> CheckFollowPreconditions(MainWindowModel& window, const std::string& database,
                                                    const std::vector<std::string>& excluded) {
    std::string why;
    const std::optional<NativeSourceOptions> source = WindowSource(window, database, why);
    if (!source) return {{"the source's binary log cannot be read: " + why, "connect the source by host and port"}};
    const std::vector<std::string> tables = FollowedTableNames(window.sourceSession(), database, excluded, why);
    if (!why.empty()) return {{"the source's tables cannot be listed: " + why, "check the source's settings"}};
    return CheckFollowable(*source, database, tables, EstimatedCopySeconds(window.sourceSession(), database, tables));
}

namespace {

int Cutover(OperationLog& log, const std::string& sourceText, Session* target, const std::string& sourceDatabase,
            const std::string& targetDatabase, const std::string& schema, bool readOnly,
            const std::function<bool()>& stopRequested, const std::function<void(const std::string&)>& say) {
    std::string why;
    std::optional<NativeSourceOptions> source = NativeOptionsFromOdbc(sourceText, why);
    if (!source) {
        say("cutover: the source cannot be reached: " + why);
        return 2;
    }
    source->database = sourceDatabase;
    if (!UseDatabase(log, target, targetDatabase, 1)) {
        say("cutover: the target database " + targetDatabase + " cannot be selected");
        return 2;
    }
    return RequestCutover(*source, target, sourceDatabase, schema, readOnly, stopRequested, say);
}

}  // namespace

int CutoverCommand(MainWindowModel& window, const std::string& sourceDatabase, const std::string& targetDatabase,
                   bool readOnly, const std::function<void(const std::string&)>& say) {
    return Cutover(window.log(), window.sourceConnection().ConnectionText(), window.targetSession(), sourceDatabase,
                   targetDatabase, window.options().targetSchema, readOnly, [&window] { return window.StopRequested(); },
                   say);
}

int CutoverOnOwnConnections(OperationLog& log, const ConnectionSettings& source, const ConnectionSettings& target,
                            const ConnectionFactory& factory, const std::string& sourceDatabase,
                            const std::string& targetDatabase, const std::string& schema, bool readOnly,
                            const std::function<bool()>& stopRequested,
                            const std::function<void(const std::string&)>& say) {
    std::unique_ptr<DataSourceConnection> sourceConnection = OpenTaskConnection(log, TreeSide::Source, source, factory);
    std::unique_ptr<DataSourceConnection> targetConnection = OpenTaskConnection(log, TreeSide::Target, target, factory);
    if (!sourceConnection || !targetConnection || !targetConnection->session()) {
        say("cutover: " + std::string(sourceConnection ? "the target" : "the source") + " cannot be connected");
        return 2;
    }
    return Cutover(log, sourceConnection->ConnectionText(), targetConnection->session(), sourceDatabase, targetDatabase,
                   schema, readOnly, stopRequested, say);
}

}  // namespace velmora
