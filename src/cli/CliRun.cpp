#include "CliRun.h"

#include "CliAssess.h"
#include "CliChecks.h"
#include "CliTargetChoices.h"

#include <unistd.h>

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

// A failure that ends the command with exit code 2 and a clear message on standard error.
struct UsageError {
    std::string message;
};

std::string ConfigPath(const CliOptions& options) {
    return options.config ? *options.config : ConfigFilePath(ProgramFolder());
}

// One side's settings: [SourceDB] / [TargetDB] of migrator.cfg, then the command line.
ConnectionSettings LoadSide(const std::string& path, ConfigSide side, const SideOverrides& with) {
    static bool warned = false;
    if (std::string warning = ExposedPasswordWarning(path); !warning.empty() && !warned) {
        std::fprintf(stderr, "velmora-cli: warning: %s\n", warning.c_str());
        warned = true;
    }
    const std::string_view section = side == ConfigSide::Source ? kSectionSource : kSectionTarget;
    auto read = [&](const char* key) {
        return ReadProfileString(path, section, key, "", kConfigValueBuffer);
    };
    ConnectionSettings settings;
    settings.provider = read("Provider");
    settings.sourceName = read("SourceName");
    settings.userId = read("UserID");
    settings.password = read("PassWord");
    settings.catalogName = read("CatalogName");
    if (side == ConfigSide::Target) {
        ReadTargetTls(path, settings.encrypt, settings.trustServerCertificate);
        if (with.encrypt) settings.encrypt = *with.encrypt;
        if (with.trustServerCertificate) settings.trustServerCertificate = *with.trustServerCertificate;
    }
    if (with.server) {
        settings.sourceName = *with.server;
        if (!with.provider) settings.provider = std::string(kProviderTcpIp);
    }
    if (with.provider) settings.provider = *with.provider;
    if (settings.provider.empty()) settings.provider = std::string(kProviderTcpIp);
    if (with.user) settings.userId = *with.user;
    if (with.database) settings.catalogName = *with.database;
    if (with.passwordEnv) {
        const char* password = std::getenv(with.passwordEnv->c_str());
        if (!password) {
            throw UsageError{UnsetPasswordVariableMessage(
                side == ConfigSide::Source ? "--source-password-env" : "--target-password-env")};
        }
        settings.password = password;
    }
    const std::vector<std::string>& providers = ProviderList(side);
    bool known = false;
    for (const std::string& provider : providers) known = known || AsciiLower(provider) == AsciiLower(settings.provider);
    if (!known) {
        std::string list;
        for (const std::string& provider : providers) list += "\n  " + provider;
        throw UsageError{"unknown " + std::string(side == ConfigSide::Source ? "source" : "target") +
                         " provider '" + settings.provider + "'; one of:" + list};
    }
    settings.providerProgId = ProviderProgId(settings.provider);
    if (IsTcpIpProvider(settings.provider)) {
        if (std::string problem = ServerNameProblem(settings.sourceName); !problem.empty()) {
            const char* option = side == ConfigSide::Source ? "--source" : "--target";
            throw UsageError{(with.server ? std::string(option) : "SourceName of [" + std::string(section) + "] in " + path) +
                             ": " + problem};
        }
    }
    // Host names do not depend on case; database names do on a Linux MariaDB, so the catalog
    // keeps the case it was given in.
    settings.sourceName = AsciiLower(settings.sourceName);
    return settings;
}

// --translation when given (anything but full or classic is a usage error), else migrator.cfg's
// [Public] Translation=, else the default.
TranslationMode TranslationOf(const CliOptions& options, const std::string& configPath) {
    if (!options.translation) return ReadTranslationMode(configPath);
    std::optional<TranslationMode> mode = ParseTranslationMode(*options.translation);
    if (!mode) {
        throw UsageError{"--translation takes full or classic, not '" + *options.translation + "'"};
    }
    return *mode;
}

// --bulk when given (auto or off), else migrator.cfg's [Public] Bulk=, else auto.
BulkMode BulkOf(const CliOptions& options, const std::string& configPath) {
    if (!options.bulk) return ReadBulkMode(configPath);
    std::optional<BulkMode> mode = ParseBulkMode(*options.bulk);
    if (!mode) throw UsageError{"--bulk takes auto or off, not '" + *options.bulk + "'"};
    return *mode;
}

int JobsOf(const CliOptions& options, const std::string& configPath) {
    if (!options.jobs) return ReadJobs(configPath);
    std::optional<int> jobs = ParseJobs(*options.jobs);
    if (!jobs) {
        throw UsageError{"--jobs takes a number from 1 to " + std::to_string(kMaxJobs) + ", not '" +
                         *options.jobs + "'"};
    }
    return *jobs;
}

// Everything one command works with.
class Run {
public:
    Run(const CliOptions& options, bool interactive, std::unique_ptr<DataSourceConnection> target)
        : options_(options), port_(options.yes, interactive), configPath_(ConfigPath(options)) {
        // Every task opens its own connections; against a script, the target's is a handle on the
        // one script of the command.
        auto* script = dynamic_cast<ScriptTarget*>(target.get());
        window_ = std::make_unique<MainWindowModel>(port_, NewOdbcConnection(), std::move(target));
        window_->connectionFactory = [script](TreeSide side) -> std::unique_ptr<DataSourceConnection> {
            if (side == TreeSide::Target && script) {
                return std::make_unique<ScriptTargetHandle>(*script);
            }
            return NewOdbcConnection();
        };
        window_->options().autoBackup =
            IsFlagSet(ReadProfileString(configPath_, kSectionPublic, "AutoBackup", "", kConfigValueBuffer));
        window_->options().translation = TranslationOf(options, configPath_);
        // A script is one sequence of statements: its tables are written one after another.
        const int jobs = JobsOf(options, configPath_);
        window_->options().jobs = script ? 1 : jobs;
        // A script has no bulk copy: its statements are what it holds.
        const BulkMode bulk = BulkOf(options, configPath_);
        window_->options().bulk = script ? BulkMode::Off : bulk;
        SetUpOutput();
        EnsureWorkFolder("./");
        const std::string conditions = ProgramFolder() + "Condition.cfg";
        EnsureConditionFile(conditions);
        window_->SetConditionFilePath(conditions);
        SchedulerTimings timings;
        // A terminal run ends as soon as its tasks are done: no three-second poll at the end.
        timings.passInterval = std::chrono::milliseconds(100);
        TaskEnvironment environment = WindowTaskEnvironment(*window_);
        environment.lockProgram = script ? "" : "velmora-cli";
        if (liveProgress_) {
            environment.tableProgress = [this](const TableProgress& rows) {
                port_.ShowTableProgress(rows);
            };
        }
        commands_ = std::make_unique<MainWindowCommands>(*window_, MakeTaskRunner(environment),
                                                         timings);
    }

    ~Run() {
        if (logFile_) std::fclose(logFile_);
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    MainWindowModel& window() { return *window_; }
    const std::string& configPath() const { return configPath_; }
    MainWindowCommands& commands() { return *commands_; }
    TerminalPort& port() { return port_; }

    // The settings of the sides a command uses, read before either is connected, so that a
    // missing password variable stops the command before any server is reached.
    void LoadSides(bool source, bool target) {
        if (source) window_->sourceSettings = LoadSide(configPath_, ConfigSide::Source, options_.source);
        if (target) window_->targetSettings = LoadSide(configPath_, ConfigSide::Target, options_.target);
    }

    void ConnectSourceSide(const std::string& database) {
        if (!database.empty()) window_->sourceSettings.catalogName = database;
        if (!ConnectSource(*window_)) throw UsageError{SourceConnectFailure(window_->sourceSettings.sourceName)};
    }

    void ConnectTargetSide() {
        if (!ConnectTarget(*window_)) throw UsageError{"cannot connect to the target"};
    }

    void RefuseUnanswered() {
        std::vector<std::string> unanswered = port_.UnansweredQuestions();
        if (!unanswered.empty()) {
            throw UsageError{"a question needs an answer and there is no terminal to ask: \"" +
                             unanswered.front() + "\"; run with --yes to answer yes"};
        }
    }

    // Runs the queued tasks to their end; the exit code by their results, 128 + the signal
    // when SIGINT or SIGTERM stopped them (after the summary and the report).
    int RunTasks() {
        StopSignals signals([this](int signal) {
            port_.ShowMessage(std::string("velmora-cli: ") + SignalName(signal) +
                              ": stopping once the batch in flight is done; a second one ends "
                              "the program at once");
            commands_->scheduler().RequestStop();
        });
        commands_->scheduler().StartScheduler();
        {
            // A server that stops answering shows on the progress line, every second.
            std::jthread ticker([this](std::stop_token stop) {
                while (!stop.stop_requested()) {
                    for (int i = 0; i < 4 && !stop.stop_requested(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(250));
                    port_.TickProgress();
                }
            });
            commands_->scheduler().WaitUntilIdle();
        }
        int code = kExitSuccess;
        for (const TaskPtr& task : commands_->tasks().Snapshot()) {
            if (task->status.load() != kTaskSucceeded) code = kExitTaskFailed;
        }
        const int signal = signals.Received();
        if (signal != 0) code = 128 + signal;
        const bool resumable = Summarise(code);
        if (signal != 0) {
            std::fprintf(stderr, "velmora-cli: stopped by %s%s\n", SignalName(signal),
                         options_.command == "migrate"
                             ? "; what was copied stays: run the same command again with "
                               "--resume to complete it"
                             : "");
        } else if (code == kExitTaskFailed && resumable && options_.command == "migrate" && !options_.targetScript) {
            std::fprintf(stderr, "velmora-cli: what was copied stays: run the same command again with --resume to "
                                 "complete it\n");
        }
        return code;
    }

private:
    // Prints the summary (and writes the report); whether a failure is one --resume completes
    // (rows cut short: a lost link, a stop).
    bool Summarise(int code);

    // The live display when standard error is a terminal; --quiet; --log-file (appended to).
    void SetUpOutput() {
        if (options_.report) {
            const std::string problem = WriteProblem(*options_.report);
            if (!problem.empty()) {
                throw UsageError{"cannot write the report " + *options_.report + ": " + problem};
            }
        }
        if (options_.logFile) {
            logFile_ = std::fopen(options_.logFile->c_str(), "a");
            if (!logFile_) {
                throw UsageError{"cannot write the log file " + *options_.logFile + ": " +
                                 std::strerror(errno)};
            }
        }
        liveProgress_ = !options_.quiet && IsLiveTerminal(STDERR_FILENO);
        port_.SetOutput({liveProgress_, liveProgress_ && IsLiveTerminal(STDOUT_FILENO),
                         options_.quiet, logFile_, TerminalWidth(STDERR_FILENO)});
    }

    const CliOptions& options_;
    TerminalPort port_;
    std::string configPath_;
    std::unique_ptr<MainWindowModel> window_;
    std::unique_ptr<MainWindowCommands> commands_;
    std::FILE* logFile_ = nullptr;
    bool liveProgress_ = false;
};

bool Run::Summarise(int code) {
    std::vector<TableReport> tables = MergeTableEntries(window_->RecordedTables());
    bool resumable = false;
    for (const TableReport& table : tables) {
        // A read cut short (a lost link) or a stop: what was copied stays and --resume completes it.
        resumable = resumable || (FailedStep(table) == "rows" && (table.rows.readFailed || table.rows.stopped));
    }
    PrintSummaryTable(tables);
    for (const TaskPtr& task : commands_->tasks().Snapshot()) {
        std::printf("%s\n", TaskSummaryLine(*task, tables).c_str());
    }
    std::fflush(stdout);
    if (!options_.report) return resumable;
    std::ofstream json(*options_.report);
    WriteJsonReport(json, code, commands_->tasks().Snapshot(), tables);
    if (!json) std::fprintf(stderr, "cannot write the report %s\n", options_.report->c_str());
    return resumable;
}

// The mode of --verify; `fallback` when it is absent.
VerifyMode VerifyModeOption(const CliOptions& options, VerifyMode fallback) {
    if (!options.verify) return fallback;
    std::optional<VerifyMode> mode = ParseVerifyMode(*options.verify);
    if (!mode) throw UsageError{"--verify takes count, full or none, not '" + *options.verify + "'"};
    return *mode;
}

// A table or view a command names must be in the source database before anything is asked or
// changed.
void ExpectSourceObject(Run& run, const std::string& database, const std::string& object, bool view) {
    std::string why;
    switch (SourceObjectPresence(run.window(), database, object, view, why)) {
        case Presence::Present:
            return;
        case Presence::Missing:
            throw UsageError{std::string("the source database ") + database + " has no " +
                             (view ? "view " : "table ") + object};
        case Presence::Unknown:
            throw UsageError{"the source's " + std::string(view ? "views" : "tables") + " of " +
                             database + " cannot be listed: " + why};
    }
}

// The target database of a migration exists, or is created once the user agreed (the question,
// or --yes); a name the server refuses ends the command with the server's reason.
void EnsureTargetDatabase(Run& run, const std::string& database, const std::string& sourceDatabase) {
    std::string why;
    Presence presence = TargetDatabasePresence(run.window(), database, why);
    if (presence == Presence::Present) return;
    if (presence == Presence::Unknown) {
        throw UsageError{"the target's databases cannot be listed: " + why};
    }
    bool create = run.port().AskOkCancel("Target database [" + database +
                                         "] does not exist. Create it?");
    run.RefuseUnanswered();
    if (!create) throw UsageError{"the target database " + database + " does not exist"};
    if (!CreateTargetDatabase(run.window(), database, why, sourceDatabase)) {
        // The processes of a split run start together: another may have created it meanwhile.
        std::string again;
        if (TargetDatabasePresence(run.window(), database, again) == Presence::Present) return;
        throw UsageError{"the target database " + database + " cannot be created: " + why};
    }
    std::fprintf(stderr, "created the target database %s\n", database.c_str());
}

// The run lock of the target database, on a connection of its own; a second run (a migration,
// a resume, a finish or a follower) ends here, naming the one that holds the database.
std::unique_ptr<RunLock> LockTarget(Run& run, const CliOptions& options, const std::string& database) {
    ConnectionSettings settings = run.window().targetSettings;
    settings.catalogName = database;
    std::unique_ptr<DataSourceConnection> connection =
        OpenTaskConnection(run.window().log(), TreeSide::Target, settings, run.window().connectionFactory);
    const std::string command =
        options.command == "follow"
            ? std::string("velmora-cli follow")
            : std::string("velmora-cli migrate") + (options.resume ? " --resume" : "") + (options.finish ? " --finish" : "") +
                  (options.part ? " --part " + *options.part : "") + (options.follow ? " --follow" : "");
    std::string refusal;
    std::unique_ptr<RunLock> lock = RunLock::Acquire(std::move(connection), database, command,
                                                     options.part ? RunLock::Mode::Shared : RunLock::Mode::Exclusive, refusal);
    if (!lock) throw UsageError{refusal};
    return lock;
}

void Expect(const std::vector<std::string>& words, size_t count, const char* usage) {
    if (words.size() != count) throw UsageError{std::string("usage: velmora-cli ") + usage};
}

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

// --follow and --exclude: what they work with.
void FollowOptions(const CliOptions& options, const std::string& kind, const std::vector<std::string>& sources) {
    if (!options.exclude.empty() && kind != "database" && kind != "tables") {
        throw UsageError{"--exclude works with migrate database or tables"};
    }
    if (!options.follow) return;
    if (kind != "database") throw UsageError{"--follow works with migrate database"};
    if (options.targetScript) throw UsageError{"--follow needs a target server, not --target-script"};
    if (sources.size() != 1) throw UsageError{"--follow takes one source database"};
    if (options.part || options.finish) throw UsageError{"--follow does not work with a split run (--part, --finish) yet"};
}

// The checks before a followed copy: each problem with its fix on standard error; false when
// one of them keeps the source from being followed.
bool FollowableOrSaid(Run& run, const std::string& database, const std::vector<std::string>& excluded) {
    bool followable = true;
    for (const FollowProblem& problem : CheckFollowPreconditions(run.window(), database, excluded)) {
        std::fprintf(stderr, "velmora-cli: %s%s\n  fix: %s\n", problem.warning ? "warning: " : "",
                     problem.what.c_str(), problem.fix.c_str());
        followable = followable && problem.warning;
    }
    if (!followable) std::fprintf(stderr, "velmora-cli: nothing was copied\n");
    return followable;
}

// The source and target databases of follow and cutover, both sides connected.
TaskNames ConnectForFollow(Run& run, const CliOptions& options, const char* usage) {
    const std::vector<std::string>& w = options.words;
    if (w.size() != 2) throw UsageError{std::string("usage: velmora-cli ") + usage};
    if (options.targetScript) throw UsageError{"following needs a target server, not --target-script"};
    if (std::string problem = ApplyTargetChoices(options, run.configPath(), {w[0]}, run.window().options());
        !problem.empty()) {
        throw UsageError{problem};
    }
    run.LoadSides(true, true);
    run.ConnectSourceSide(w[0]);
    run.ConnectTargetSide();
    return {w[0], "", w[1], "", ""};
}

// Goes on following from the position the target holds: a migration task that only follows.
int Follow(const CliOptions& options, bool interactive) {
    Run run(options, interactive, NewOdbcConnection());
    const TaskNames names = ConnectForFollow(run, options, "follow SRC_DB TGT_DB");
    // One follower per target database: a second one (or a migration) is refused, naming it.
    const std::unique_ptr<RunLock> lock = LockTarget(run, options, names.targetDatabase);
    run.window().options().followOnly = true;
    run.commands().QueueTask(TaskType::Database, names, std::time(nullptr));
    return run.RunTasks();
}

// Asks the follower to cut over and waits for its outcome.
int Cutover(const CliOptions& options, bool interactive) {
    Run run(options, interactive, NewOdbcConnection());
    const TaskNames names = ConnectForFollow(run, options, "cutover SRC_DB TGT_DB [--read-only]");
    StopSignals signals([&run](int) { run.window().SetControllerState(ControllerState::StopRequested); });
    return CutoverCommand(run.window(), names.sourceDatabase, names.targetDatabase, options.readOnly,
                          [](const std::string& line) {
                              std::printf("%s\n", line.c_str());
                              std::fflush(stdout);
                          });
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
