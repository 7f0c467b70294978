// Options: the choices of the Config dialog's options that change what a migration does, and the
// part of them that a task keeps from the moment it was queued.
//
// Threads: Options belongs to the interface thread (the window's state); a task carries its own
// TaskOptions copy, so a worker never reads what the interface thread may be writing.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// How table and view definitions (and their rows) are translated.
// - Full: from a model of the table, with a type mapping under which every MySQL value fits its
//   SQL Server column unchanged.
// - Classic: the fixed rule chain, the plain view rewrite and one insert statement per row.
enum class TranslationMode { Full, Classic };

// "Full" or "Classic".
const char* TranslationModeName(TranslationMode mode);
// "full" / "classic" in any case; nothing for any other text.
std::optional<TranslationMode> ParseTranslationMode(std::string_view text);

// The mode when nothing chose one (migrator.cfg without Translation=, no --translation).
inline constexpr TranslationMode kDefaultTranslation = TranslationMode::Full;

// Whether a migration is followed by a verification of the copied rows, and how deep: the row
// counts only, or every value in key order.
enum class VerifyMode { None, Count, Full };
// "none", "count", "full".
const char* VerifyModeName(VerifyMode mode);
// "none" / "count" / "full" in any case; nothing for any other text.
std::optional<VerifyMode> ParseVerifyMode(std::string_view text);

// How many tables a Full migration copies at once, each on connections of its own. Four measured
// best on two cores (three or more were about twice as fast as one, two 1.8 times; four kept the
// lead when the tables did not divide evenly among the threads); a script target always takes one.
inline constexpr int kDefaultJobs = 4;
inline constexpr int kMaxJobs = 16;
// A number from 1 to kMaxJobs; nothing for any other text.
std::optional<int> ParseJobs(std::string_view text);

// Whether a Full row copy may send its rows through the target driver's bulk copy. Auto: when
// the driver has it and a self-check before the first table proves that the driver and the
// server store every kind of value exactly; Off: always in INSERT statements.
enum class BulkMode { Auto, Off };
// "auto", "off".
const char* BulkModeName(BulkMode mode);
// "auto" / "off" in any case; nothing for any other text.
std::optional<BulkMode> ParseBulkMode(std::string_view text);

// The options of a task, copied when it is queued.
struct TaskOptions {
    bool autoBackup = false;
    TranslationMode translation = kDefaultTranslation;
    VerifyMode verify = VerifyMode::None;
    // Complete what an earlier run left on the target instead of creating it again.
    bool resume = false;
    // Tables copied at once (Full mode; Classic always copies one after another).
    int jobs = kDefaultJobs;
    BulkMode bulk = BulkMode::Auto;
    // A split run over several processes: this process copies share `part` (1-based) of `parts`
    // (0: not split); `finish` ends a split run once every share is in.
    int part = 0;
    int parts = 0;
    bool finish = false;
    // The schema of the target database that receives the objects; empty or dbo: the default.
    std::string targetSchema;
    // The type-map file (its rules come before the built-in type map); empty: none.
    std::string typeMap;
    // Several source databases into one target database, each into a schema named after it: all
    // of them, so that a name qualified with one of them finds its schema.
    std::vector<std::string> schemaDatabases;
    // Online migration: record the source's log position before the copy and follow the log
    // after it (`follow`), or only follow from the position the target holds (`followOnly`).
    bool follow = false;
    bool followOnly = false;
    // Source tables left out of the migration (and of following).
    std::vector<std::string> exclude;

    bool Split() const { return parts > 0; }
};

// The window's options.
struct Options {
    bool autoBackup = false;
    bool tips = true;
    TranslationMode translation = kDefaultTranslation;
    VerifyMode verify = VerifyMode::None;
    bool resume = false;
    int jobs = kDefaultJobs;
    BulkMode bulk = BulkMode::Auto;
    int part = 0;
    int parts = 0;
    bool finish = false;
    std::string targetSchema;  // [Public] TargetSchema=
    std::string typeMap;       // [Public] TypeMap=
    // The command line's --schema-per-database: the source databases of the run.
    std::vector<std::string> schemaDatabases;
    // The command line's --follow, the follow command, --exclude.
    bool follow = false;
    bool followOnly = false;
    std::vector<std::string> exclude;

    TaskOptions ForTask() const {
        return {autoBackup, translation, verify, resume, jobs, bulk, part, parts, finish, targetSchema, typeMap,
                schemaDatabases, follow, followOnly, exclude};
    }
};

}  // namespace velmora
