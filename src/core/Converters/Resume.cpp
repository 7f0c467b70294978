#include "Converters/Resume.h"

#include <optional>
#include <vector>

#include "Converters/Conditions.h"
#include "translation/Naming.h"
#include "Converters/OrderedRows.h"
#include "Converters/SourceQuery.h"
#include "Converters/WorkerContext.h"
#include "data/StatementExecution.h"

namespace velmora {
namespace {

std::string Text(std::string_view view) { return std::string(view); }

// The largest key on the target, as the target prints it; nothing when it cannot be read.
std::optional<std::vector<std::string>> LargestTargetKey(WorkerContext& context,
                                                         const OrderedReadSpec& target,
                                                         const std::string& within) {
    std::string query = "select top (1) ";
    std::string order;
    for (size_t i = 0; i < target.key.columns.size(); ++i) {
        std::string name = QuoteSqlName(SqlDialect::Tsql, target.key.columns[i]);
        query += (i > 0 ? ", " : "") + name;
        order += (i > 0 ? ", " : "") + name + " desc";
    }
    query += " from " + QuoteSqlTable(SqlDialect::Tsql, target.table, target.schema);
    if (!within.empty()) query += " where " + within;
    query += " order by " + order;
    SourceQuery largest(context.Log(), context.TargetSession(), query, false);
    if (!largest.ok() || !largest.Next()) return std::nullopt;
    std::vector<std::string> key;
    for (size_t i = 0; i < target.key.columns.size(); ++i) {
        if (largest.IsNull(static_cast<int>(i))) return std::nullopt;
        key.emplace_back(largest.Value(static_cast<int>(i)));
    }
    return key;
}

bool SameOrderOnBothServers(const OrderedKey& key) {
    for (KeyOrder order : key.orders) {
        if (order == KeyOrder::Text) return false;
    }
    return !key.orders.empty();
}

// The Continue plan, when the table's key allows it.
bool PlanContinue(WorkerContext& context, std::string_view table, const ResumeScope& scope,
                  ResumePlan& plan) {
    TableShape shape = ReadTableShape(context.Log(), context.SourceSession(), table);
    if (!shape.error.empty() || !shape.key) {
        plan.why = shape.key || !shape.error.empty() ? shape.error : "it has no key";
        return false;
    }
    OrderedReadSpec target = ReadSpecOf(SqlDialect::Tsql, table, shape, false);
    target.schema = context.options.targetSchema;
    if (!SameOrderOnBothServers(target.key)) {
        plan.why = "its key is text, which the two servers order differently";
        return false;
    }
    std::optional<std::vector<std::string>> largest = LargestTargetKey(context, target, scope.target);
    if (!largest) {
        plan.why = "the largest key on the target cannot be read";
        return false;
    }
    OrderedReadSpec source = ReadSpecOf(SqlDialect::MySql, table, shape, false);
    plan.afterCondition = AfterKeyCondition(source, *largest);
    plan.action = ResumeAction::Continue;
    return true;
}

bool EmptyTarget(WorkerContext& context, std::string_view table, const ResumeScope& scope) {
    std::string why;
    std::string statement = "delete from " + QuoteSqlTable(SqlDialect::Tsql, table, context.options.targetSchema);
    if (!scope.target.empty()) statement += " where " + scope.target;
    bool emptied = ExecuteStatement(context.Log(), context.TargetSession(), statement, 0, &why);
    if (!emptied) {
        context.Log().WriteOutputLine("[%s] resume: the table cannot be emptied: %s",
                                      Text(table).c_str(), why.c_str());
    }
    return emptied;
}

std::optional<int64_t> TargetRows(WorkerContext& context, std::string_view table,
                                  const ResumeScope& scope) {
    std::string error;
    return CountRows(context.Log(), context.TargetSession(), SqlDialect::Tsql, table, scope.target,
                     error, context.options.targetSchema);
}

bool Refill(WorkerContext& context, std::string_view table, const ResumedRowCopy& copy,
            TableReport& outcome, const ResumeScope& scope) {
    if (!EmptyTarget(context, table, scope)) return false;
    outcome.rows = copy({});
    return true;
}

}  // namespace

std::string BothPredicates(std::string_view a, std::string_view b) {
    if (a.empty() || b.empty()) return std::string(a.empty() ? b : a);
    return "(" + std::string(a) + "\n) and (" + std::string(b) + ")";
}

ResumePlan PlanTableResume(WorkerContext& context, std::string_view database,
                           std::string_view table, const ResumeScope& scope) {
    ResumePlan plan;
    if (TargetTableAbsent(context, table)) return plan;  // not on the target: migrate it
    std::optional<int64_t> target = TargetRows(context, table, scope);
    if (!target) return plan;  // not on the target: migrate it
    plan.targetRows = *target;
    std::string error;
    std::string condition =
        BothPredicates(LookupCondition(context.conditionFile, database, table), scope.source);
    std::optional<int64_t> source = CountRows(context.Log(), context.SourceSession(),
                                              SqlDialect::MySql, table, condition, error);
    plan.sourceRows = source.value_or(-1);
    plan.action = ResumeAction::Refill;
    if (!source) {
        plan.why = "the source rows cannot be counted: " + error;
    } else if (*source == *target) {
        plan.action = ResumeAction::Complete;
    } else if (*target > *source) {
        plan.why = "the target holds more rows than the source";
    } else if (*target == 0) {
        plan.why = scope.label.empty() ? "the target table is empty" : "none of its rows are on the target";
    } else {
        PlanContinue(context, table, scope, plan);
    }
    return plan;
}

bool ResumeTable(WorkerContext& context, std::string_view table, const ResumePlan& plan,
                 const ResumedRowCopy& copy, TableReport& outcome, const ResumeScope& scope) {
    OperationLog& log = context.Log();
    const std::string name = scope.label.empty() ? Text(table) : Text(table) + " " + scope.label;
    const long long sourceRows = plan.sourceRows;
    const long long targetRows = plan.targetRows;
    outcome.rows.text = std::string(kTrueText);
    switch (plan.action) {
        case ResumeAction::Migrate:
            return true;
        case ResumeAction::Complete:
            outcome.resume = "complete already (" + std::to_string(sourceRows) + " rows): skipped";
            log.WriteOutputLine("[%s] resume: %s", name.c_str(), outcome.resume.c_str());
            return true;
        case ResumeAction::Continue: {
            outcome.resume = "continued after the largest key on the target (" +
                             std::to_string(targetRows) + " of " + std::to_string(sourceRows) +
                             " rows were there)";
            log.WriteOutputLine("[%s] resume: %s", name.c_str(), outcome.resume.c_str());
            outcome.rows = copy(plan.afterCondition);
            std::optional<int64_t> after = TargetRows(context, table, scope);
            if (!outcome.rows.Succeeded() || outcome.rows.stopped || after == sourceRows) return true;
            outcome.resume += "; the counts still differed, so the table was emptied and copied again";
            log.WriteOutputLine("[%s] resume: the counts still differ: the table is emptied and "
                                "copied again", name.c_str());
            return Refill(context, table, copy, outcome, scope);
        }
        case ResumeAction::Refill:
            outcome.resume = "emptied and copied again (" + plan.why + ")";
            log.WriteOutputLine("[%s] resume: %s", name.c_str(), outcome.resume.c_str());
            return Refill(context, table, copy, outcome, scope);
    }
    return true;
}

bool TargetTableAbsent(WorkerContext& context, std::string_view table) {
    std::string query = "select count_big(*) from sys.tables where object_id = object_id(N" +
                        QuoteTargetString(QuoteSqlTable(SqlDialect::Tsql, table, context.options.targetSchema)) + ")";
    SourceQuery count(context.Log(), context.TargetSession(), query, false);
    return count.ok() && count.Next() && count.Value(0) == "0";
}

bool TargetForeignKeyExists(WorkerContext& context, std::string_view table, std::string_view name) {
    std::string query = "select count_big(*) from sys.foreign_keys where name = N" + QuoteTargetString(name) +
                        " and parent_object_id = object_id(N" +
                        QuoteTargetString(QuoteSqlTable(SqlDialect::Tsql, table, context.options.targetSchema)) + ")";
    SourceQuery count(context.Log(), context.TargetSession(), query, false);
    return count.ok() && count.Next() && count.Value(0) != "0";
}

bool TargetObjectExists(WorkerContext& context, std::string_view catalog, std::string_view name,
                        std::string_view types) {
    std::string query = "select count_big(*) from sys." + std::string(catalog) + " where name = N" + QuoteTargetString(name);
    if (!types.empty()) query += " and type in (" + std::string(types) + ")";
    if (!IsDefaultSchema(context.options.targetSchema)) {
        query += " and schema_id = schema_id(N" + QuoteTargetString(context.options.targetSchema) + ")";
    }
    SourceQuery count(context.Log(), context.TargetSession(), query, false);
    return count.ok() && count.Next() && count.Value(0) != "0";
}

bool TargetViewExists(WorkerContext& context, std::string_view view) {
    return TargetObjectExists(context, "views", view);
}

}  // namespace velmora
