#include "CliFollow.h"

#include <cstdio>
#include <ctime>

#include "StopSignals.h"
#include "CliTargetChoices.h"
#include "commands/FollowCommands.h"
#include "commands/Preflight.h"

namespace velmora::cli {
namespace {

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

}  // namespace

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

}  // namespace velmora::cli
