#include "CliRun.h"

#include "CliAssess.h"
#include "CliChecks.h"
#include "CliFollow.h"
#include "CliTargetChoices.h"
#include "CommandRun.h"


#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <thread>

#include "Converters/Conditions.h"
#include "Converters/KeyRanges.h"
#include "Converters/RunLock.h"
#include "Converters/Thread/WorkerBodies.h"
#include "commands/MainWindowCommands.h"
#include "commands/Preflight.h"
#include "ProgressLine.h"
#include "RunReport.h"
#include "ScriptTarget.h"
#include "StopSignals.h"
#include "TerminalPort.h"
#include "backup/TargetBackup.h"
#include "commands/ConnectCommands.h"
#include "commands/FollowCommands.h"
#include "config/ConnectSequence.h"
#include "config/ConnectionProperties.h"
#include "translation/BatchSafety.h"
#include "config/ConfigDialogModel.h"
#include "config/Configuration.h"
#include "config/DriverCheck.h"
#include "config/ProfileFile.h"
#include "config/WorkFolder.h"
#include "data/OdbcConnection.h"
#include "data/StatementExecution.h"

namespace velmora::cli {
namespace {

// --part I/N and --finish: a share, or the end, of a database copied by several processes.
void SplitRunOptions(const CliOptions& options, const std::string& kind, Options& chosen) {
    if (!options.part && !options.finish) return;
    if (options.part && options.finish) throw UsageError{"--part and --finish are separate runs"};
    const char* option = options.part ? "--part" : "--finish";
    if (kind != "database") throw UsageError{std::string(option) + " works with migrate database"};
    if (options.targetScript) throw UsageError{std::string(option) + " needs a target server, not --target-script"};
    if (chosen.translation != TranslationMode::Full) throw UsageError{std::string(option) + " works in Full mode"};
    chosen.finish = options.finish;
    if (!options.part) return;
    std::optional<PartSpec> part = ParsePart(*options.part);
    if (!part) {
        throw UsageError{"--part takes I/N, share I of N (1 <= I <= N <= " + std::to_string(kMaxParts) +
                         "), not '" + *options.part + "'"};
    }
    chosen.part = part->part;
    chosen.parts = part->parts;
}

int Migrate(const CliOptions& options, bool interactive) {
    const std::vector<std::string>& w = options.words;
    if (w.empty()) throw UsageError{"usage: velmora-cli migrate database|clone|tables|views|table|view ..."};
    const std::string kind = w[0];
    TaskType type;
    TaskNames names;
    if (kind == "database" || kind == "tables" || kind == "views") {
        Expect(w, 3, ("migrate " + kind + " SRC TGT").c_str());
        type = kind == "database" ? TaskType::Database
                                  : (kind == "tables" ? TaskType::Tables : TaskType::Views);
        names = {w[1], "", w[2], "", ""};
    } else if (kind == "clone") {
        Expect(w, 2, "migrate clone SRC");
        type = TaskType::CloneDatabase;
        names = {w[1], "", w[1], "", ""};
    } else if (kind == "table" || kind == "view") {
        Expect(w, 4, ("migrate " + kind + " SRC " + (kind == "table" ? "TABLE" : "VIEW") + " TGT").c_str());
        type = kind == "table" ? TaskType::Table : TaskType::View;
        names = {w[1], w[2], w[3], "", ""};
    } else {
        throw UsageError{"unknown migration '" + kind + "' (database, clone, tables, views, table, view)"};
    }
    std::string why;
    const std::vector<std::string> sources = SourceDatabasesOf(options, names.sourceDatabase, why);
    if (!why.empty()) throw UsageError{why};
    FollowOptions(options, kind, sources);
    if (options.schemaPerDatabase && type != TaskType::Database && type != TaskType::Tables &&
        type != TaskType::Views) {
        throw UsageError{"--schema-per-database takes migrate database, tables or views"};
    }
    std::unique_ptr<DataSourceConnection> target =
        options.targetScript
            ? std::unique_ptr<DataSourceConnection>(new ScriptTarget(*options.targetScript,
                                                                     names.targetDatabase))
            : NewOdbcConnection();
    Run run(options, interactive, std::move(target));
    SplitRunOptions(options, kind, run.window().options());
    if (std::string problem = ApplyTargetChoices(options, run.configPath(), sources, run.window().options());
        !problem.empty()) {
        throw UsageError{problem};
    }
    run.LoadSides(true, true);
    run.ConnectSourceSide(sources.front());
    run.window().options().exclude = options.exclude;
    run.window().options().follow = options.follow;
    if (options.follow && !FollowableOrSaid(run, sources.front(), options.exclude)) return kExitUsage;
    // A script is opened (and an earlier one replaced) only once the command will run.
    if (!options.targetScript) run.ConnectTargetSide();
    run.window().options().verify = VerifyModeOption(options, VerifyMode::None);
    run.window().options().resume = options.resume;
    if (options.targetScript && run.window().options().verify != VerifyMode::None) {
        throw UsageError{"--verify reads the target server: it cannot run against --target-script"};
    }
    if (type == TaskType::Table || type == TaskType::View) {
        ExpectSourceObject(run, names.sourceDatabase, names.sourceObject, type == TaskType::View);
    }
    EnsureWorkFolder("./data_cache");
    bool confirmed = run.port().AskOkCancel(MigrationQuestion(type, names));
    run.RefuseUnanswered();
    if (!confirmed) return kExitUsage;
    // A script is run by the user against a server of theirs; a clone creates its own database.
    if (options.targetScript) {
        run.ConnectTargetSide();
        // The script makes its database where it is missing, so it runs on a fresh server.
        if (type == TaskType::Database) {
            ExecuteStatement(run.window().log(), run.window().targetSession(),
                             CreateMissingDatabaseStatement(run.window(), names.targetDatabase, sources.front()), 0);
        }
    } else if (type != TaskType::CloneDatabase) {
        EnsureTargetDatabase(run, names.targetDatabase, sources.front());
    }
    // One run at a time per target database: held until the tasks end.
    std::unique_ptr<RunLock> lock;
    if (!options.targetScript && type != TaskType::CloneDatabase) lock = LockTarget(run, options, names.targetDatabase);
    // One task per source database, each into its schema.
    for (const std::string& source : sources) {
        if (options.schemaPerDatabase) run.window().options().targetSchema = source;
        names.sourceDatabase = source;
        run.commands().QueueTask(type, names, std::time(nullptr));
    }
    int code = run.RunTasks();
    if (options.targetScript) {
        std::fprintf(stderr, "script: %s/%s\n", options.targetScript->c_str(),
                     ScriptFileName(names.targetDatabase).c_str());
    }
    return code;
}

// Compares what a migration copied: reads both sides, changes nothing.
int Verify(const CliOptions& options, bool interactive) {
    const std::vector<std::string>& w = options.words;
    if (w.size() != 2 && w.size() != 3) {
        throw UsageError{"usage: velmora-cli verify SRC_DB TGT_DB [TABLE] [--verify count|full]"};
    }
    if (options.targetScript) {
        throw UsageError{"verify reads the target server: it cannot run against --target-script"};
    }
    VerifyMode mode = VerifyModeOption(options, VerifyMode::Full);
    if (mode == VerifyMode::None) throw UsageError{"verify needs --verify count or full"};
    TaskNames names = {w[0], w.size() == 3 ? w[2] : "", w[1], w.size() == 3 ? w[2] : "", ""};
    std::string why;
    const std::vector<std::string> sources = SourceDatabasesOf(options, names.sourceDatabase, why);
    if (!why.empty()) throw UsageError{why};
    if (sources.size() > 1 && w.size() == 3) throw UsageError{"verify of one table takes one source database"};
    Run run(options, interactive, NewOdbcConnection());
    if (std::string problem = ApplyTargetChoices(options, run.configPath(), sources, run.window().options());
        !problem.empty()) {
        throw UsageError{problem};
    }
    run.LoadSides(true, true);
    run.ConnectSourceSide(sources.front());
    run.ConnectTargetSide();
    run.window().options().verify = mode;
    if (w.size() == 3) ExpectSourceObject(run, names.sourceDatabase, names.sourceObject, false);
    for (const std::string& source : sources) {
        if (options.schemaPerDatabase) run.window().options().targetSchema = source;
        names.sourceDatabase = source;
        run.commands().QueueTask(w.size() == 3 ? TaskType::VerifyTable : TaskType::VerifyDatabase, names,
                                 std::time(nullptr));
    }
    return run.RunTasks();
}

int Backup(const CliOptions& options, bool interactive) {
    const std::vector<std::string>& w = options.words;
    if (options.targetScript) {
        throw UsageError{"backup reads the target server: it cannot run against --target-script"};
    }
    if (!options.backupFolder) throw UsageError{"backup needs --to DIR"};
    TaskType type = TaskType::BackupDatabase;
    TaskNames names;
    if (!w.empty() && (w[0] == "database" || w[0] == "tables" || w[0] == "views")) {
        Expect(w, 2, ("backup " + w[0] + " TGT --to DIR").c_str());
        names = {"", "", w[1], "", w[0] == "database" ? "A" : (w[0] == "tables" ? "T" : "V")};
    } else if (!w.empty() && (w[0] == "table" || w[0] == "view")) {
        Expect(w, 3, ("backup " + w[0] + " TGT OBJECT --to DIR").c_str());
        type = TaskType::BackupObject;
        names = {"", "", w[1], w[2], w[0] == "table" ? "T" : "V"};
    } else {
        throw UsageError{"usage: velmora-cli backup database|tables|views|table|view TGT [OBJECT] --to DIR"};
    }
    Run run(options, interactive, NewOdbcConnection());
    run.LoadSides(false, true);
    run.ConnectTargetSide();
    char absolute[PATH_MAX];
    std::string folder = realpath(options.backupFolder->c_str(), absolute) ? absolute : *options.backupFolder;
    run.port().SetChosenFolder(folder);
    std::optional<std::string> chosen = ChooseBackupFolder(run.port(), run.window().backupFolder());
    if (!chosen) throw UsageError{"cannot use the backup folder " + folder};
    run.window().SetBackupFolder(*chosen);
    TaskPtr task = run.commands().QueueTask(type, names, std::time(nullptr));
    // One table or view is read in the target schema, as a migration with it wrote it; a whole
    // database's objects come with their own schemas from the catalog.
    task->options.targetSchema = options.targetSchema ? *options.targetSchema : ReadTargetSchema(run.configPath());
    return run.RunTasks();
}

int Condition(const CliOptions& options, bool interactive) {
    const std::vector<std::string>& w = options.words;
    if (w.size() < 3 || (w[0] != "show" && w[0] != "set" && w[0] != "test") ||
        (w[0] == "show" && w.size() != 3) || (w[0] != "show" && w.size() != 4)) {
        throw UsageError{"usage: velmora-cli condition show SRC TABLE | set|test SRC TABLE CONDITION"};
    }
    Run run(options, interactive, NewOdbcConnection());
    const std::string path = run.window().conditionFilePath();
    if (w[0] == "show") {
        std::string condition = LookupCondition(path, w[1], w[2]);
        std::printf("%s\n", condition.empty() ? "(no condition: all rows are copied)" : condition.c_str());
        return kExitSuccess;
    }
    run.LoadSides(true, false);
    run.ConnectSourceSide(w[1]);
    ConditionDialogModel dialog(run.window().log(), run.window().sourceSession(), path, w[1], w[2]);
    dialog.SetConditionText(w[3]);
    dialog.Test();
    std::printf("%s\n", dialog.resultText().c_str());
    if (!dialog.saveEnabled()) return kExitTaskFailed;
    if (w[0] == "set" && !dialog.Save()) return kExitTaskFailed;
    return kExitSuccess;
}

void PrintNode(const TreeNode& node, int depth) {
    std::printf("%*s%s\n", depth * 2, "", node.text.c_str());
    for (const TreeNode& child : node.children) PrintNode(child, depth + 1);
}

int Tree(const CliOptions& options, bool interactive) {
    const std::vector<std::string>& w = options.words;
    if (w.size() != 1 || (w[0] != "source" && w[0] != "target")) {
        throw UsageError{"usage: velmora-cli tree source|target"};
    }
    std::unique_ptr<DataSourceConnection> target =
        options.targetScript ? std::unique_ptr<DataSourceConnection>(
                                   new ScriptTarget(*options.targetScript, "target"))
                             : NewOdbcConnection();
    Run run(options, interactive, std::move(target));
    run.LoadSides(w[0] == "source", w[0] == "target");
    if (w[0] == "source") {
        run.ConnectSourceSide("");
    } else {
        run.ConnectTargetSide();
    }
    DatabaseTree& tree = run.window().tree(w[0] == "source" ? TreeSide::Source : TreeSide::Target);
    for (const TreeNode& node : tree.Contents()->topLevel) PrintNode(node, 0);
    return kExitSuccess;
}

// Reads the source only: no target is connected.
int Assess(const CliOptions& options, bool interactive) {
    AssessmentFiles files;
    const std::string problem = ChooseAssessmentFiles(options, files);
    if (!problem.empty()) throw UsageError{problem};
    Run run(options, interactive, NewOdbcConnection());
    // The statements are shown as Full writes them, into the schema and with the type map the
    // migration would use.
    run.window().options().translation = TranslationMode::Full;
    if (std::string why = ApplyTargetChoices(options, run.configPath(), options.words, run.window().options());
        !why.empty()) {
        throw UsageError{why};
    }
    // A target named on the command line tells its version and takes a short timed write.
    const bool target = options.target.server.has_value();
    run.LoadSides(true, target);
    if (target) run.ConnectTargetSide();
    return RunAssessment(run.window(), options, files);
}

int Drivers() {
    const std::pair<const char*, DriverReport> sides[] = {
        {"MySQL side (the source):", SourceDriverReport()},
        {"SQL Server side (the target):", TargetDriverReport()},
    };
    for (const auto& [heading, report] : sides) {
        std::printf("%s\n", heading);
        for (const DriverCheckRow& row : report.rows) {
            std::printf("%-46s %-14s %-9s %s\n", row.name.c_str(), row.state.c_str(),
                        row.usability.c_str(), row.detail.c_str());
        }
        std::printf("\n");
    }
    return kExitSuccess;
}

}  // namespace

int RunCommand(const CliOptions& options, bool interactive) {
    try {
        if (options.command == "migrate") return Migrate(options, interactive);
        if (options.command == "backup") return Backup(options, interactive);
        if (options.command == "verify") return Verify(options, interactive);
        if (options.command == "condition") return Condition(options, interactive);
        if (options.command == "tree") return Tree(options, interactive);
        if (options.command == "assess") return Assess(options, interactive);
        if (options.command == "drivers") return Drivers();
        if (options.command == "follow") return Follow(options, interactive);
        if (options.command == "cutover") return Cutover(options, interactive);
        throw UsageError{"unknown command '" + options.command + "'"};
    } catch (const UsageError& error) {
        // A message may echo what was typed or read: a readable length of it.
        std::fprintf(stderr, "velmora-cli: %s\n", ShownText(error.message, 2000).c_str());
        return kExitUsage;
    }
}

}  // namespace velmora::cli
