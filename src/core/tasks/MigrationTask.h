// MigrationTask: one queued migration or backup. Records are shared (std::shared_ptr) so that a
// running task's record stays valid whatever the interface thread does to the list meanwhile.
//
// Threads: the names and codes are written once, by the command that creates the task, before
// it is queued. The run state (status, state, progress, stamp) is written by the scheduler
// thread and read by the interface thread's refresh without a lock, so those fields are atomic.
#pragma once

#include <atomic>
#include <mutex>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "config/Options.h"

namespace velmora {

enum class TaskCategory : int { Migration = 256, Backup = 512 };

enum class TaskType : int {
    CloneDatabase = 257,
    Database = 258,
    Tables = 259,
    Views = 260,
    Table = 261,
    View = 262,
    // Verifications of what a migration copied (they read both sides, like the migrations).
    VerifyDatabase = 270,
    VerifyTable = 271,
    BackupDatabase = 513,
    BackupObject = 514,
};

// status codes of a record
inline constexpr int kTaskWaiting = 0;
inline constexpr int kTaskSucceeded = 1;
inline constexpr int kTaskFailed = 3;

// What the "State" column shows.
enum class TaskPhase : uint8_t { Waiting, Working, Success, Failure };
const char* PhaseText(TaskPhase phase);  // "Waiting", "Working", "SUCCESS", "FAILURE"

// What the task list's "Type" column shows: "MIGRATION", "VERIFY" or "BACKUP".
const char* TaskTypeText(TaskType type);

// Names and descriptions are kept to 255 bytes (cut on a character boundary).
std::string CutToSlot(std::string_view text, size_t slotBytes = 256);

// What a task that followed the source's log did (the report's follow figures).
struct FollowRecord {
    bool followed = false;
    long long changesApplied = 0;
    long long changesRefused = 0;
    long long transactions = 0;
    double changesPerSecond = 0;
    double lagSeconds = 0;
    std::string position;  // the last position applied
    std::string outcome;   // why following ended: a stop, a cutover's outcome, a statement
};

struct MigrationTask {
    MigrationTask(TaskType type, std::time_t stamp);

    TaskCategory category() const {
        return static_cast<int>(type) >= 512 ? TaskCategory::Backup : TaskCategory::Migration;
    }

    const TaskType type;
    std::string objectKind;  // backups: "A", "T" or "V"
    std::string sourceDbms;
    std::string targetDbms;
    std::string sourceObject;
    std::string sourceDatabase;
    std::string targetObject;
    std::string targetDatabase;
    // The options of the moment the task was queued (AutoBackup, translation mode).
    TaskOptions options;

    std::atomic<int> status{kTaskWaiting};
    std::atomic<TaskPhase> phase{TaskPhase::Waiting};
    std::atomic<int> progress{0};
    std::atomic<std::time_t> stamp;
    // Set by the first list refresh that shows the task (its progress bar exists from then on).
    std::atomic<bool> shownInList{false};

    // What the task list shows as its state while it works, when set (a follower's lag).
    void SetNote(std::string note) {
        std::lock_guard<std::mutex> lock(noteMutex_);
        note_ = std::move(note);
    }
    std::string Note() const {
        std::lock_guard<std::mutex> lock(noteMutex_);
        return note_;
    }
    void SetFollow(FollowRecord record) {
        std::lock_guard<std::mutex> lock(noteMutex_);
        follow_ = std::move(record);
    }
    FollowRecord Follow() const {
        std::lock_guard<std::mutex> lock(noteMutex_);
        return follow_;
    }

private:
    mutable std::mutex noteMutex_;
    std::string note_;
    FollowRecord follow_;
};

}  // namespace velmora
