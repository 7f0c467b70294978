// Resume: what a migration queued with "resume" does with a table, a foreign key or a view that
// an earlier, interrupted or failed run has left on the target.
//
// A table that does not exist on the target is migrated as usual. One that exists is not created
// again (nor its primary key and indexes), and its rows are completed:
// - the target's row count equals the source's (under the migration condition): nothing to do;
// - a table with a key whose order is the same on both servers (numbers, binary, dates and
//   times) and fewer rows on the target: the rows after the largest key on the target are
//   copied. Should the counts still differ afterwards (the earlier copy did not go in key order),
//   the table is emptied and copied again;
// - any other case (no key, a text key, more rows on the target than on the source): the table
//   is emptied and copied again.
// Nothing is ever inserted twice and nothing is left out. Every other object is looked for one
// by one (a foreign key by its name on its table, a routine or trigger by its name and kind, an
// index, check or default of a table on the target as ResumeObjects.h says): what exists is not
// created again, what is missing is created. Each decision is a log line.
//
// Runs on the scheduler thread with the task's own sessions.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "Converters/ConversionReport.h"

namespace velmora {

struct WorkerContext;

enum class ResumeAction { Migrate, Complete, Continue, Refill };

// The rows a resume works on: the whole table (empty predicates), or one key range of it, given
// on each side; `label` names the range in the log lines ("range 2 of 4 (...)").
struct ResumeScope {
    std::string source;  // MySQL predicate
    std::string target;  // T-SQL predicate
    std::string label;
};

struct ResumePlan {
    ResumeAction action = ResumeAction::Migrate;
    std::string afterCondition;  // Continue: the MySQL predicate of the rows still to copy
    int64_t sourceRows = -1;
    int64_t targetRows = -1;
    std::string why;             // the reason, for the log line
};

// Decides what to do with `table`, which the target may already hold.
ResumePlan PlanTableResume(WorkerContext& context, std::string_view database,
                           std::string_view table, const ResumeScope& scope = {});

// Carries out a plan other than Migrate: completes the rows of `table` into `outcome.rows` and
// sets `outcome.resume`; false when a target statement failed (its reason is in the log).
// `copy` copies the rows in the task's mode, narrowed by the predicate it is given (and by the
// scope's, which the copy adds itself). Emptying a scope deletes only its rows.
using ResumedRowCopy = std::function<RowCopyResult(std::string_view narrower)>;
bool ResumeTable(WorkerContext& context, std::string_view table, const ResumePlan& plan,
                 const ResumedRowCopy& copy, TableReport& outcome, const ResumeScope& scope = {});

// The predicates `a` and `b` both; either may be empty.
std::string BothPredicates(std::string_view a, std::string_view b);

// Whether the target's catalog says that `table` is no table of the task's schema (a name the
// server resolves to something else, such as a system view "events" on Babelfish, is not the
// table); false when it cannot tell.
bool TargetTableAbsent(WorkerContext& context, std::string_view table);

// Whether the target table holds the foreign key `name` / the target view exists.
bool TargetForeignKeyExists(WorkerContext& context, std::string_view table, std::string_view name);
bool TargetViewExists(WorkerContext& context, std::string_view view);
// Whether sys.<catalog> ("views", "objects") holds `name` in the task's target schema (in any
// schema when the task works in the default one); `types`, when given, is the list of
// sys.objects types it must have ("'P'", "'FN', 'IF', 'TF'").
bool TargetObjectExists(WorkerContext& context, std::string_view catalog, std::string_view name,
                        std::string_view types = {});

}  // namespace velmora
