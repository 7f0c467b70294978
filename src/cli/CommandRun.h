// CommandRun: what every command of velmora-cli works with. `Run` is one command's state: the
// window model behind the desktop program (its settings, connections and task list), the
// terminal port that answers its questions and shows its progress, and the scheduler that runs
// its tasks to their end. Beside it the checks that several commands share; a failure that ends
// a command with exit code 2 travels as a UsageError.
//
// Threads: the main thread (the command line's interface thread); tasks run on the scheduler's.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CliChecks.h"
#include "CliOptions.h"
#include "CliRun.h"
#include "Converters/Conditions.h"
#include "Converters/RunLock.h"
#include "Converters/Thread/WorkerBodies.h"
#include "ProgressLine.h"
#include "RunReport.h"
#include "ScriptTarget.h"
#include "StopSignals.h"
#include "TerminalPort.h"
#include "commands/ConnectCommands.h"
#include "commands/MainWindowCommands.h"
#include "config/Configuration.h"
#include "config/ProfileFile.h"
#include "config/WorkFolder.h"
#include "data/OdbcConnection.h"

namespace velmora::cli {

// A failure that ends the command with exit code 2 and a clear message on standard error.
struct UsageError {
    std::string message;
};

// The path of migrator.cfg: --config, else beside the program.
std::string ConfigPath(const CliOptions& options);
// One side's settings: [SourceDB] / [TargetDB] of migrator.cfg, then the command line.
ConnectionSettings LoadSide(const std::string& path, ConfigSide side, const SideOverrides& with);
// --translation, --bulk and --jobs when given (checked), else migrator.cfg's [Public] values.
TranslationMode TranslationOf(const CliOptions& options, const std::string& configPath);
BulkMode BulkOf(const CliOptions& options, const std::string& configPath);
int JobsOf(const CliOptions& options, const std::string& configPath);

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

// The mode of --verify; `fallback` when it is absent.
VerifyMode VerifyModeOption(const CliOptions& options, VerifyMode fallback);
// A table or view a command names must be in the source database before anything is asked or
// changed.
void ExpectSourceObject(Run& run, const std::string& database, const std::string& object, bool view);
// The target database of a migration exists, or is created once the user agreed (the question,
// or --yes); a name the server refuses ends the command with the server's reason.
void EnsureTargetDatabase(Run& run, const std::string& database, const std::string& sourceDatabase);
// The run lock of the target database, on a connection of its own; a second run (a migration,
// a resume, a finish or a follower) ends here, naming the one that holds the database.
std::unique_ptr<RunLock> LockTarget(Run& run, const CliOptions& options, const std::string& database);
// A usage error unless `words` has `count` words.
void Expect(const std::vector<std::string>& words, size_t count, const char* usage);

}  // namespace velmora::cli
