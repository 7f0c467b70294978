#include "follow/Follower.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "Converters/Verification.h"
#include "Converters/WorkerContext.h"
#include "data/MariaDbRows.h"
#include "data/StatementExecution.h"
#include "follow/BinlogReader.h"
#include "follow/FollowApply.h"
#include "follow/FollowState.h"
#include "follow/FollowedTables.h"

namespace velmora {
namespace {

using Clock = std::chrono::steady_clock;

// While catching up, a target transaction holds this many changes or this much time.
constexpr int64_t kChangesPerTransaction = 1000;
constexpr auto kLongestTransaction = std::chrono::milliseconds(500);
constexpr auto kProgressEvery = std::chrono::seconds(5);
constexpr auto kStateEvery = std::chrono::seconds(1);
constexpr int kLongestBackoff = 30;

std::string Thousands(int64_t value) {
    const std::string digits = std::to_string(value < 0 ? -value : value);
    std::string out = value < 0 ? "-" : "";
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}

class FollowLoop {
public:
    FollowLoop(WorkerContext& context, std::string_view database, std::string_view schema,
               const std::function<void(const FollowFigures&)>& progress)
        : context_(context), database_(database), schema_(schema), progress_(progress),
          apply_(context.Log(), context.TargetSession(), database_, schema_) {}

    FollowResult Run();

private:
    void Say(const std::string& line) { context_.Log().WriteOutputLine("%s", line.c_str()); }
    FollowResult End(int code, const std::string& line) {
        Say(line);
        FollowResult result;
        result.exitCode = code;
        result.outcome = line;
        result.figures = figures_;
        return result;
    }
    // Ends with `line`, recorded as the follow table's outcome (state "stopped").
    FollowResult Stopped(const std::string& line) {
        ExecuteStatement(context_.Log(), context_.TargetSession(), FollowStateStatement(schema_, database_, "stopped", line), 0);
        return End(1, line);
    }
    bool WaitForTarget(const std::string& why);
    bool OpenReader(BinlogReader& reader, std::string& error);
    void Figures(BinlogReader& reader, bool force);
    std::optional<FollowResult> CheckCutover(BinlogReader& reader);
    FollowResult Cutover(const BinlogPosition& at);

    WorkerContext& context_;
    std::string database_, schema_;
    const std::function<void(const FollowFigures&)>& progress_;
    FollowApply apply_;
    FollowedTables tables_;
    FollowFigures figures_;
    Clock::time_point started_ = Clock::now(), lastProgress_ = Clock::now(), lastState_ = Clock::now();
    int64_t transactions_ = 0;
    uint32_t lastCommitTime_ = 0;
};

// The target refused or vanished: when it no longer answers, waits for it (saying so) and
// opens the task's target again.
bool FollowLoop::WaitForTarget(const std::string& why) {
    std::string error;
    std::vector<std::optional<std::string>> row;
    if (QueryFirstRow(context_.TargetSession(), "SELECT 1", row, error)) return false;  // a refusal
    for (int wait = 1; !context_.StopRequested(); wait = std::min(wait * 2, kLongestBackoff)) {
        Say("The target does not answer (" + why + "); trying again in " + std::to_string(wait) + " s.");
        for (int i = 0; i < wait * 10 && !context_.StopRequested(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!context_.openPeer) continue;
        std::unique_ptr<WorkerContext> fresh = context_.openPeer();
        if (!fresh || !fresh->TargetSession()) continue;
        context_.targetConnection = std::move(fresh->targetConnection);
        apply_.SetTarget(context_.TargetSession());
        if (QueryFirstRow(context_.TargetSession(), "SELECT 1", row, error)) {
            Say("The target answers again; following goes on.");
            return true;
        }
    }
    return false;
}

bool FollowLoop::OpenReader(BinlogReader& reader, std::string& error) {
    for (int wait = 1;; wait = std::min(wait * 2, kLongestBackoff)) {
        if (reader.Open(apply_.Committed(), error)) return true;
        if (reader.OpenFailure() == BinlogReader::Result::Failed || context_.StopRequested()) return false;
        Say("The source's binary log cannot be read (" + error + "); trying again in " + std::to_string(wait) + " s.");
        for (int i = 0; i < wait * 10 && !context_.StopRequested(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

void FollowLoop::Figures(BinlogReader& reader, bool force) {
    const auto now = Clock::now();
    if (!force && now - lastProgress_ < kProgressEvery) return;
    lastProgress_ = now;
    figures_.changesApplied = apply_.ChangesApplied();
    figures_.changesRefused = apply_.ChangesRefused();
    figures_.transactionsApplied = transactions_;
    const double seconds = std::chrono::duration<double>(now - started_).count();
    figures_.changesPerSecond = seconds > 0 ? static_cast<double>(figures_.changesApplied) / seconds : 0;
    figures_.position = apply_.Committed();
    SourceHead head;
    std::string error;
    if (reader.ReadHead(head, error)) {
        const BinlogPosition& at = reader.Position();
        figures_.bytesBehind = head.position.file == at.file && head.position.offset >= at.offset
                                   ? static_cast<int64_t>(head.position.offset - at.offset) : -1;
        figures_.transactionsBehind = -1;
        const auto applied = ParseGtid(at.gtid);
        const size_t from = applied ? head.gtidPosition.find(std::to_string(applied->domain) + "-") : std::string::npos;
        if (applied && from != std::string::npos) {
            const size_t end = head.gtidPosition.find(',', from);
            if (const auto last = ParseGtid(head.gtidPosition.substr(from, end == std::string::npos ? end : end - from))) {
                figures_.transactionsBehind = static_cast<int64_t>(last->sequence - applied->sequence);
            }
        }
        const bool behind = figures_.bytesBehind != 0;
        figures_.lagSeconds = behind && lastCommitTime_ ? std::difftime(std::time(nullptr), lastCommitTime_) : 0;
    }
    Say(figures_.Line());
    if (progress_) progress_(figures_);
}

FollowResult FollowLoop::Cutover(const BinlogPosition& at) {
    for (const auto& table : tables_.All()) {
        if (!table->translation.identityReseed.empty()) {
            ExecuteStatement(context_.Log(), context_.TargetSession(), table->translation.identityReseed, 0);
        }
    }
    // Verified on connections of their own: the task's source session may be from before a
    // restart of the source, which the log reader crossed.
    std::unique_ptr<WorkerContext> fresh = context_.openPeer ? context_.openPeer() : nullptr;
    WorkerContext& verifier = fresh ? *fresh : context_;
    int64_t rows = 0;
    std::vector<std::string> differing;
    for (const auto& table : tables_.All()) {
        const TableVerification verified = VerifyTable(verifier, database_, table->name, VerifyMode::Full);
        rows += verified.sourceRows < 0 ? 0 : verified.sourceRows;
        if (!verified.Matches()) {
            std::string why = table->name + ": " + std::to_string(verified.missing) + " missing, " +
                              std::to_string(verified.extra) + " extra, " + std::to_string(verified.different) + " different";
            if (!verified.error.empty()) why = table->name + ": " + verified.error;
            differing.push_back(why);
        }
    }
    std::string line;
    if (differing.empty()) {
        line = CutoverMatchLine(at, static_cast<int64_t>(tables_.All().size()), rows);
    } else {
        line = "cutover at " + at.Text() + ": the target differs from the source in " +
               std::to_string(differing.size()) + " table" + (differing.size() == 1 ? "" : "s") + ":";
        for (const std::string& table : differing) line += "\n  " + table;
    }
    ExecuteStatement(context_.Log(), context_.TargetSession(), FollowStateStatement(schema_, database_, "cut over", line), 0);
    return End(differing.empty() ? 0 : 1, line);
}

std::optional<FollowResult> FollowLoop::CheckCutover(BinlogReader& reader) {
    if (Clock::now() - lastState_ < kStateEvery) return std::nullopt;
    lastState_ = Clock::now();
    std::string error;
    const std::optional<FollowState> state = ReadFollowState(context_.TargetSession(), schema_, database_, error);
    if (!state || !state->cutoverAt || !state->outcome.empty()) return std::nullopt;
    if (!apply_.Committed().AtOrAfter(*state->cutoverAt)) return std::nullopt;
    Figures(reader, true);  // the last figures, for the log and the report
    Say("Applied through the cutover point " + state->cutoverAt->Text() + "; verifying.");
    return Cutover(*state->cutoverAt);
}

FollowResult FollowLoop::Run() {
    std::string error;
    const std::optional<FollowState> state = ReadFollowState(context_.TargetSession(), schema_, database_, error);
    if (!state) return End(1, "follow: " + error + " (start with migrate database ... --follow)");
    std::string why;
    const std::string text = context_.sourceConnection ? context_.sourceConnection->ConnectionText() : "";
    const std::optional<NativeSourceOptions> options = NativeOptionsFromOdbc(text, why);
    if (!options) return End(1, "follow: the source's binary log cannot be read: " + why);
    if (!tables_.Load(context_, database_, state->tables, error)) return End(1, "follow: " + error);
    apply_.SetCommitted(state->position);
    ExecuteStatement(context_.Log(), context_.TargetSession(), FollowingStatement(schema_, database_), 0);
    Say("Following " + database_ + " from " + state->position.Text() + " (" + std::to_string(tables_.All().size()) + " tables).");
    BinlogReader reader(*options, database_, tables_);
    if (!OpenReader(reader, error)) return Stopped("follow: " + error);
    auto openSince = Clock::now();
    while (true) {
        if (context_.StopRequested()) {
            if (apply_.Pending() && !apply_.Commit(reader.Position(), error)) return End(1, "follow: the last changes could not be committed: " + error);
            Figures(reader, true);
            const std::string line = "Following stopped at " + apply_.Committed().Text() + ".";
            ExecuteStatement(context_.Log(), context_.TargetSession(), FollowStateStatement(schema_, database_, "stopped", line), 0);
            return End(0, line);
        }
        SourceTransaction transaction;
        std::string message;
        const BinlogReader::Result result = reader.Next(transaction, message);
        bool commitNow = false;
        switch (result) {
            case BinlogReader::Result::Transaction:
                if (!apply_.Pending()) openSince = Clock::now();
                ++transactions_;
                lastCommitTime_ = transaction.commitTime;
                if (!apply_.Add(std::move(transaction), error)) {
                    if (WaitForTarget(error) && OpenReader(reader, error)) continue;
                    return Stopped("Following stopped: the target refused a transaction before " +
                                   reader.Position().Text() + ": " + error);
                }
                commitNow = apply_.PendingChanges() >= kChangesPerTransaction ||
                            Clock::now() - openSince >= kLongestTransaction || !reader.DataWaiting();
                break;
            case BinlogReader::Result::Idle:
                commitNow = true;
                break;
            case BinlogReader::Result::Stopped:
                // Everything before the statement is applied, and the position moves past it:
                // once the target's table matches again, follow goes on after it.
                if (!apply_.Commit(reader.Position(), error)) return End(1, "follow: " + error);
                return Stopped("Following stopped: " + message);
            case BinlogReader::Result::Failed:
                if (apply_.Pending() && !apply_.Commit(reader.Position(), error)) return End(1, "follow: " + error);
                return Stopped("Following stopped: " + message);
            case BinlogReader::Result::Lost:
                Say(message + "; reading again from " + apply_.Committed().Text() + ".");
                apply_.Rollback();
                if (!OpenReader(reader, error)) return Stopped("follow: " + error);
                continue;
        }
        if (commitNow) {
            BinlogPosition at = reader.Position();
            if (!apply_.Commit(at, error)) {
                if (WaitForTarget(error) && OpenReader(reader, error)) continue;
                return Stopped("Following stopped: the target could not commit: " + error);
            }
            if (auto done = CheckCutover(reader)) return *done;
        }
        Figures(reader, false);
    }
}

}  // namespace

std::string FollowFigures::Line() const {
    char lag[32];
    std::snprintf(lag, sizeof lag, "%.1f", lagSeconds);
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.0f", changesPerSecond);
    std::string line = "follow: " + Thousands(changesApplied) + " row events applied (" + rate + "/s), ";
    line += transactionsBehind >= 0 ? Thousands(transactionsBehind) + " transactions" : std::string("? transactions");
    line += bytesBehind >= 0 ? " (" + Thousands(bytesBehind) + " bytes)" : std::string(" (? bytes)");
    line += " behind, lag " + std::string(lag) + " s, at " + position.Text();
    return line;
}

std::string FollowFigures::Note() const {
    char text[64];
    std::snprintf(text, sizeof text, "Following, lag %.1f s", lagSeconds);
    return text;
}

std::string CutoverMatchLine(const BinlogPosition& at, int64_t tables, int64_t rows) {
    return "cutover at " + at.Text() + ": target equals source (" + Thousands(tables) + " tables, " +
           Thousands(rows) + " rows): MATCH";
}

FollowResult RunFollower(WorkerContext& context, std::string_view database, std::string_view schema,
                         const std::function<void(const FollowFigures&)>& progress) {
    FollowLoop loop(context, database, schema, progress);
    return loop.Run();
}

}  // namespace velmora
