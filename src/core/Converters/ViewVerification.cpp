// ViewVerification: see the header.
#include "Converters/ViewVerification.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

#include "Converters/NativeRowSource.h"
#include "Converters/OrderedRows.h"
#include "Converters/SourceQuery.h"
#include "Converters/ValueNormalisation.h"
#include "Converters/WorkerContext.h"

namespace velmora {
namespace {

using Digests = std::map<uint64_t, int64_t>;  // row digest -> source rows minus target rows

// One side's read of the view: every column, as the table verification reads them.
struct ViewSide {
    SqlDialect dialect;
    Session* session;
    std::string text;  // the query
};

// The value in a form that does not depend on how the server printed it: floating point to the
// digits both servers print, dates and times in 100 ns units cut to the target's precision.
std::string CanonicalValue(const ComparedColumn& column, const NormalisedValue& value) {
    if (value.null) return std::string("\x01N", 2);
    if (column.family == ValueFamily::Real || column.family == ValueFamily::Double) {
        char text[40];
        std::snprintf(text, sizeof text, "%.*g", column.family == ValueFamily::Real ? 6 : 15, std::strtod(value.text.c_str(), nullptr));
        return text;
    }
    if (value.ticks) {
        int64_t ticks = *value.ticks;
        if (column.targetScale >= 0 && column.targetScale < 7) {
            int64_t unit = 1;
            for (int i = column.targetScale; i < 7; ++i) unit *= 10;
            ticks -= ticks % unit;
        }
        return "@" + std::to_string(ticks);
    }
    return value.text;
}

// FNV-1a over the values, each ended by a separator no canonical value holds.
uint64_t RowDigest(const std::vector<std::string>& values) {
    uint64_t hash = 1469598103934665603ULL;
    for (const std::string& value : values) {
        for (unsigned char c : value) hash = (hash ^ c) * 1099511628211ULL;
        hash = (hash ^ 0x1F) * 1099511628211ULL;
    }
    return hash;
}

class ViewRows {
public:
    ViewRows(WorkerContext& context, const TableShape& shape) : context_(context), shape_(shape) {}

    // Reads one side; `visit` gets each row's digest and its text ("name=value, ..."), and
    // returns false to stop. False after `error` when the side cannot be read.
    template <typename Visit>
    bool Read(const ViewSide& side, bool source, std::string& error, Visit visit) {
        SourceQuery query(context_.Log(), side.session, side.text, false);
        if (!query.ok()) return error = query.reason().empty() ? query.failureText() : query.reason(), false;
        StatementRowset& rows = query.rows();
        Describe(rows, source);
        std::vector<std::string> values(columns_.size());
        while (query.Next()) {
            if (context_.StopRequested()) return error = "stopped", false;
            std::string text;
            for (std::size_t i = 0; i < columns_.size(); ++i) {
                const auto raw = query.IsNull(static_cast<int>(i)) ? std::nullopt : std::optional<std::string_view>(query.Value(static_cast<int>(i)));
                const NormalisedValue value = source ? NormaliseSource(columns_[i], raw) : NormaliseTarget(columns_[i], raw);
                values[i] = CanonicalValue(columns_[i], value);
                text += (i ? ", " : "") + columns_[i].name + "=" + (raw ? "'" + std::string(*raw) + "'" : std::string("NULL"));
            }
            if (!visit(RowDigest(values), text)) return true;
        }
        if (query.fetchFailed()) return error = rows.MostInformativeError(), false;
        return true;
    }

private:
    // The families come from the source's types; the target's column types say its precision.
    void Describe(StatementRowset& rows, bool source) {
        if (columns_.empty()) {
            for (const ColumnDescription& column : shape_.columns) {
                ComparedColumn compared;
                compared.name = column.name;
                compared.family = FamilyOfMySqlType(column.type);
                columns_.push_back(compared);
            }
        }
        for (int i = 0; i < rows.ColumnCount() && i < static_cast<int>(columns_.size()); ++i) {
            (source ? columns_[i].sourceType : columns_[i].targetType) = rows.Column(i).type;
            if (!source) columns_[i].targetScale = rows.Column(i).scale;
        }
    }

    WorkerContext& context_;
    const TableShape& shape_;
    std::vector<ComparedColumn> columns_;
};

std::string SelectAll(SqlDialect dialect, std::string_view view, const TableShape& shape, const std::string& schema) {
    TableShape keyless = shape;
    keyless.key = PagingKey{};
    const OrderedReadSpec spec = ReadSpecOf(dialect, view, keyless, true);
    std::string text = "select ";
    for (std::size_t i = 0; i < spec.selectList.size(); ++i) text += (i ? ", " : "") + spec.selectList[i];
    return text + " from " + QuoteSqlTable(dialect, view, schema);
}

void CompareDigests(WorkerContext& context, std::string_view database, std::string_view view, TableVerification& result) {
    const TableShape shape = ReadTableShape(context.Log(), context.SourceSession(), view);
    if (!shape.error.empty()) return void(result.error = shape.error);
    Session* sourceSession = FullRowSession(context, database, result.error);
    if (!sourceSession) return;
    const ViewSide source{SqlDialect::MySql, sourceSession, SelectAll(SqlDialect::MySql, view, shape, "")};
    const ViewSide target{SqlDialect::Tsql, context.TargetSession(), SelectAll(SqlDialect::Tsql, view, shape, context.options.targetSchema)};
    ViewRows rows(context, shape);
    Digests digests;
    std::string error;
    result.sourceRows = result.targetRows = 0;
    if (!rows.Read(source, true, error, [&](uint64_t digest, const std::string&) { return ++digests[digest], ++result.sourceRows, true; }))
        return void(result.error = error == "stopped" ? "" : "reading the source view failed: " + error), void(result.stopped = error == "stopped");
    if (!rows.Read(target, false, error, [&](uint64_t digest, const std::string&) { return --digests[digest], ++result.targetRows, true; }))
        return void(result.error = error == "stopped" ? "" : "reading the target view failed: " + error), void(result.stopped = error == "stopped");
    for (const auto& [digest, balance] : digests) (balance > 0 ? result.missing : result.extra) += std::llabs(balance);
    result.rowsCompared = std::min(result.sourceRows, result.targetRows) - std::min(result.missing, result.extra);
    if (result.missing == 0 && result.extra == 0) return;
    // One row that only one side holds, read again to be named.
    const bool onSource = result.missing > 0;
    rows.Read(onSource ? source : target, onSource, error, [&](uint64_t digest, const std::string& text) {
        const auto found = digests.find(digest);
        if (found == digests.end() || (onSource ? found->second <= 0 : found->second >= 0)) return true;
        result.differences.push_back({onSource ? "missing" : "extra", text, "", std::nullopt, std::nullopt});
        return false;
    });
}

void LogResult(OperationLog& log, const std::string& view, const TableVerification& result) {
    if (!result.error.empty()) return log.WriteOutputLine("[%s] view verification FAILED: %s", view.c_str(), result.error.c_str());
    log.WriteOutputLine("[%s] view verified (%s)%s: %lld source rows, %lld target rows, %lld missing, %lld extra%s", view.c_str(),
                        result.mode.c_str(), result.stopped ? ", STOPPED" : "", static_cast<long long>(result.sourceRows),
                        static_cast<long long>(result.targetRows), static_cast<long long>(result.missing),
                        static_cast<long long>(result.extra), result.Matches() ? ": the views MATCH" : ": MISMATCH");
    for (const VerificationDifference& difference : result.differences)
        log.WriteOutputLine("[%s]   a row %s: %s", view.c_str(), difference.kind == "missing" ? "only on the source" : "only on the target",
                            difference.key.c_str());
}

}  // namespace

TableVerification VerifyView(WorkerContext& context, std::string_view database, std::string_view view, VerifyMode mode) {
    TableVerification result;
    result.mode = mode == VerifyMode::Full ? "full" : "count";
    if (!context.SourceSession() || !context.TargetSession()) {
        result.error = "no connection";
    } else if (mode == VerifyMode::Full) {
        CompareDigests(context, database, view, result);
    } else {
        std::string error;
        const auto source = CountRows(context.Log(), context.SourceSession(), SqlDialect::MySql, view, "", error);
        const auto target = source ? CountRows(context.Log(), context.TargetSession(), SqlDialect::Tsql, view, "", error,
                                               context.options.targetSchema)
                                   : std::nullopt;
        if (!source || !target) result.error = "the " + std::string(source ? "target" : "source") + " rows cannot be counted: " + error;
        else {
            result.sourceRows = *source;
            result.targetRows = *target;
            (*source > *target ? result.missing : result.extra) += std::llabs(*source - *target);
        }
    }
    LogResult(context.Log(), std::string(view), result);
    return result;
}

void VerifyViewsIntoReport(WorkerContext& context, std::string_view database, const std::vector<std::string>& views,
                           VerifyMode mode, ConversionReport& report) {
    for (const std::string& view : views) {
        if (context.StopRequested()) break;
        report.AddVerification("view", database, view, VerifyView(context, database, view, mode));
    }
}

void VerifyMigratedViews(WorkerContext& context, VerifyMode mode, ConversionReport& report) {
    if (mode == VerifyMode::None) return;
    std::map<std::string, std::vector<std::string>> created;
    for (const TableReport& entry : report.tables)
        if (entry.kind == "view" && entry.result == 1) created[entry.database].push_back(entry.name);
    for (const auto& [database, views] : created) VerifyViewsIntoReport(context, database, views, mode, report);
}

}  // namespace velmora
