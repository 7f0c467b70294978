#include "Converters/RangedTable.h"

#include "Converters/ConversionDrivers.h"
#include "Converters/FullRowTransfer.h"
#include "Converters/FullTableConversion.h"
#include "Converters/Resume.h"
#include "Converters/ResumeObjects.h"
#include "Converters/SourceQuery.h"
#include "Converters/WorkFiles.h"
#include "Converters/WorkerContext.h"

namespace velmora {
namespace {

bool OnTarget(WorkerContext& worker, const std::string& table) {
    std::string error;
    return CountRows(worker.Log(), worker.TargetSession(), SqlDialect::Tsql, table, "", error,
                     worker.options.targetSchema)
               .has_value() &&
           !TargetTableAbsent(worker, table);
}

void TakeFailures(ConversionReport& from, ConversionReport& into) {
    for (std::string& failure : from.failures) into.AddFailure(std::move(failure));
    from.failures.clear();
}

}  // namespace

RangedTable::RangedTable(std::string database, std::string name, int ranges)
    : database_(std::move(database)), ranges_(ranges), started_(std::chrono::steady_clock::now()) {
    outcome_.database = database_;
    outcome_.name = std::move(name);
}

bool RangedTable::Prepare(WorkerContext& worker) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (prepared_) return ready_;
    prepared_ = true;
    OperationLog& log = worker.Log();
    const std::string& name = outcome_.name;
    outcome_.result = -1;
    if (!TranslateTableForTask(worker, database_, name, outcome_, &own_, translation_)) return false;
    bool exists = worker.options.resume && OnTarget(worker, name);
    if (!exists) {
        WorkFile file = OpenWorkFile(worker.workFolder, name, "w+");
        if (!file) {
            log.WriteText(kCharacterSetText);
            own_.AddFailure("table " + name + ": its work file cannot be opened");
            outcome_.result = -2;
            return false;
        }
        log.WriteOutputLine("TABLE: [%s].[%s] Converting..... ", database_.c_str(), name.c_str());
        ConversionReport attempt;
        created_ = CreateTableFull(worker, file, database_, translation_, outcome_, &attempt);
        if (!created_ && worker.options.Split() && OnTarget(worker, name)) {
            // Another process of the split run created it meanwhile: its rows are theirs to keep.
            log.WriteOutputLine("[%s] created by another share meanwhile: its key ranges go into it",
                                name.c_str());
            outcome_.failure.clear();
            exists = true;
        } else {
            TakeFailures(attempt, own_);
            if (!created_) return false;
        }
    }
    if (exists) {
        outcome_.resume = "on the target already: its key ranges completed one by one";
        log.WriteOutputLine("[%s] resume: %s", name.c_str(), outcome_.resume.c_str());
        // The shares of a split run reach a table at once: the one that created it makes its
        // indexes, and another must not race it for them.
        if (!worker.options.Split()) CompleteResumedTable(worker, translation_, outcome_, &own_);
    }
    outcome_.result = 1;
    outcome_.rows.text = std::string(kTrueText);
    ready_ = true;
    return true;
}

void RangedTable::CopyRange(WorkerContext& worker, const KeyRange& range) {
    const std::string& name = outcome_.name;
    const std::string label = DescribeRange(range);
    const std::string source = RangePredicate(SqlDialect::MySql, range);
    worker.Log().WriteOutputLine("[%s] %s", name.c_str(), label.c_str());
    std::vector<std::string> adjustments;
    auto copy = [&](std::string_view narrower) {
        return CopyTableRowsFull(worker, database_, translation_, &adjustments,
                                 BothPredicates(source, narrower));
    };
    const std::function<void(const TableProgress&)> own = worker.tableProgress;
    if (own) worker.tableProgress = RangeProgress(worker, range.index);
    TableReport part;
    if (created_) {
        part.rows = copy({});
    } else {
        const ResumeScope scope{source, RangePredicate(SqlDialect::Tsql, range), label};
        ResumePlan plan = PlanTableResume(worker, database_, name, scope);
        if (plan.action == ResumeAction::Migrate) {
            part.rows = copy({});
        } else if (!ResumeTable(worker, name, plan, copy, part, scope)) {
            std::lock_guard<std::mutex> lock(mutex_);
            outcome_.StepFailed("resume", label + ": the target's rows could not be prepared (see the log)");
            own_.AddFailure("table " + name + ": resume of " + label + " failed");
        }
    }
    worker.tableProgress = own;
    Merge(part.rows, adjustments, part.resume);
}

std::function<void(const TableProgress&)> RangedTable::RangeProgress(WorkerContext& worker, int range) {
    return [this, forward = worker.tableProgress, range](const TableProgress& rows) {
        TableProgress all{outcome_.name, 0, rows.expectedRows, true};
        {
            std::lock_guard<std::mutex> lock(mutex_);
            progress_[range] = rows;
            for (const auto& [index, done] : progress_) {
                all.rowsDone += done.rowsDone;
                all.finished = all.finished && done.finished;
            }
            all.finished = all.finished && static_cast<int>(progress_.size()) == ranges_;
        }
        forward(all);
    };
}

void RangedTable::Merge(const RowCopyResult& rows, const std::vector<std::string>& adjustments,
                        const std::string& resume) {
    std::lock_guard<std::mutex> lock(mutex_);
    RowCopyResult& all = outcome_.rows;
    if (rows.text != kTrueText && !rows.text.empty()) all.text = rows.text;
    all.rowsRead += rows.rowsRead;
    all.rowsWritten += rows.rowsWritten;
    all.rowsFailed += rows.rowsFailed;
    all.queries += rows.queries;
    all.stopped = all.stopped || rows.stopped;
    all.readFailed = all.readFailed || rows.readFailed;
    all.targetLost = all.targetLost || rows.targetLost;
    all.backupFailed = all.backupFailed || rows.backupFailed;
    if (all.firstError.empty()) all.firstError = rows.firstError;
    if (all.readError.empty()) all.readError = rows.readError;
    for (const std::string& adjustment : adjustments) outcome_.adjustments.push_back(adjustment);
    if (!resume.empty() && resume.find("complete already") == std::string::npos) {
        outcome_.resume += "; " + resume;
    }
    ++copied_;
}

void RangedTable::Finish(WorkerContext& context, ConversionReport& report) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!prepared_) return;  // a stop came before any writer reached it
    outcome_.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    if (ready_) {
        if (copied_ < ranges_) outcome_.rows.stopped = true;
        // A split run reseeds in --finish, once every share's rows are in.
        if (!context.options.Split() && outcome_.rows.rowsWritten > 0) {
            WorkFile file = OpenWorkFile(context.workFolder, outcome_.name, "a+");
            ReseedIdentity(context, file, translation_, outcome_, &own_);
        }
        QueueTableForeignKeys(context, database_, translation_, &own_);
        if (!outcome_.rows.Succeeded()) {
            own_.AddFailure("table " + outcome_.name + ": " + RowCopyFailure(outcome_.rows));
        }
    }
    report.tables.push_back(outcome_);
    TakeFailures(own_, report);
    for (PendingForeignKey& key : own_.foreignKeys) report.foreignKeys.push_back(std::move(key));
    own_.foreignKeys.clear();
}

}  // namespace velmora
