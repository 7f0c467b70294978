#include "CommandRun.h"

#include <fstream>

#include "commands/Preflight.h"
#include "config/ConnectionProperties.h"

namespace velmora::cli {

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

bool Run::Summarise(int code) {
    std::vector<TableReport> tables = MergeTableEntries(window_->RecordedTables());
    bool resumable = false;
    for (const TableReport& table : tables) {
        // A read or a write cut short (a lost link) or a stop: what was copied stays and --resume
        // completes it.
        resumable = resumable || (FailedStep(table) == "rows" && (table.rows.readFailed || table.rows.stopped || table.rows.targetLost));
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

}  // namespace velmora::cli
