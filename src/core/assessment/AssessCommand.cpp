#include "assessment/AssessCommand.h"

#include <ctime>

#include "Converters/SourceServer.h"
#include "Converters/TaskChoices.h"
#include "commands/MainWindowCommands.h"
#include "Converters/WorkerContext.h"
#include "assessment/TargetVersion.h"
#include "tasks/OperationLog.h"

namespace velmora {
namespace {

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

}  // namespace

AssessmentRun AssessSource(OperationLog& log, const ConnectionSettings& source,
                           const ConnectionFactory& factory, const std::vector<std::string>& databases,
                           const AssessmentSettings& settings, const TaskOptions& choices) {
    AssessmentRun run;
    WorkerContext context;
    context.log = &log;
    context.options = choices;
    context.options.translation = TranslationMode::Full;
    // The type map is read here (no target: the target's default collation stays unknown, so
    // every column whose collation is not the usual default gets its own).
    context.choices.ready = true;
    if (!choices.typeMap.empty()) {
        TypeMapParse parsed = ReadTypeMapFile(choices.typeMap);
        if (!parsed.ok()) {
            run.failure = parsed.error;
            return run;
        }
        context.choices.typeMap = std::make_shared<const TypeMap>(std::move(parsed.map));
    }
    context.sourceConnection = OpenTaskConnection(log, TreeSide::Source, source, factory);
    if (!context.sourceConnection) {
        run.failure = "cannot connect to the source";
        return run;
    }
    run.assessment.generatedAt = UtcNow();
    run.assessment.sourceServer = QueryServerVersion(log, context.SourceSession());
    for (const std::string& database : databases) {
        // The statements are written for a target database named like the source.
        context.sourceDatabase = context.targetDatabase = database;
        if (!choices.schemaDatabases.empty()) context.options.targetSchema = database;
        log.WriteOutputLine("ASSESS: [%s]", database.c_str());
        run.assessment.databases.push_back(AssessDatabase(context, database, settings));
    }
    context.sourceConnection->Close();
    ApplyTargetVersion(run.assessment, settings.targetVersion, settings.targetVersionFrom);
    return run;
}

std::optional<std::string> SelectedSourceDatabase(const DatabaseTree& sourceTree) {
    std::optional<SelectedObject> selected = DescribeSelection(sourceTree);
    if (!selected) return std::nullopt;
    switch (selected->kind) {
        case kDatabaseNode: return selected->text;
        case kTablesFolderNode:
        case kViewsFolderNode: return selected->parentText;
        case kTableNode:
        case kViewNode: return selected->grandparentText;
        default: return std::nullopt;
    }
}

std::string DefaultAssessmentFile(const std::vector<std::string>& databases, const std::string& extension) {
    std::string name;
    for (const std::string& database : databases) name += (name.empty() ? "" : "+") + database;
    for (char& c : name) {
        if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20) c = '_';
    }
    if (name.empty() || name[0] == '.') name = "_" + name;
    return name + "-assessment." + extension;
}

}  // namespace velmora
