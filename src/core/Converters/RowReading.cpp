#include "Converters/RowReading.h"

#include <strings.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Converters/Conditions.h"
#include "Converters/KeysetPaging.h"
#include "translation/Naming.h"
#include "Converters/SourceQuery.h"
#include "Converters/WorkerContext.h"

namespace velmora {
namespace {

std::string OnePassQuery(std::string_view table, std::string_view condition,
                         std::string_view selectList) {
    std::string query = "select " + std::string(selectList) + " from " + QuoteSourceName(table);
    if (!condition.empty()) query += " where " + std::string(condition);
    return query;
}

constexpr long long kProgressEvery = 200;

// The catalog's estimate of a table's rows (exact for MyISAM, approximate for InnoDB); -1 when
// the catalog has none. Asked only for a progress display, before the row query opens.
long long EstimatedRows(Session* source, std::string_view database, std::string_view table) {
    std::unique_ptr<StatementRowset> rowset = source->NewStatement();
    if (!rowset) return -1;
    const std::string query =
        "select TABLE_ROWS from information_schema.TABLES where TABLE_SCHEMA = " +
        SourceStringLiteral(database) + " and TABLE_NAME = " + SourceStringLiteral(table);
    long long rows = -1;
    if (rowset->Create(query) >= 0 && rowset->Execute(StandardRowsetProperties()) == kSuccess &&
        rowset->MoveNext() == kSuccess && !rowset->IsNull(0)) {
        const std::string value(rowset->Value(0));
        if (!value.empty() && value.find_first_not_of("0123456789") == std::string::npos) {
            rows = std::stoll(value);
        }
    }
    rowset->Close();
    return rows;
}

// Counts the rows handed on and tells the progress display every kProgressEvery rows.
struct Progress {
    WorkerContext& context;
    std::string table;
    long long expected = -1;
    long long rows = 0;

    void Row() {
        if (++rows % kProgressEvery == 0) context.ReportRows({table, rows, expected, false});
    }
    void TargetHolding(bool holding) { context.ReportRows({table, rows, expected, false, holding}); }
};

enum class PageEnd { EndOfRows, Stopped, FetchFailed, SinkBroken };

struct PageOutcome {
    PageEnd end = PageEnd::EndOfRows;
    std::string error;  // FetchFailed: the driver's words
    long long rows = 0;
    size_t bytes = 0;
    std::vector<std::string> lastKey;
};

// The result positions of the key's columns; empty without a key.
std::vector<int> KeyColumns(StatementRowset& rows, const PagingKey* key) {
    std::vector<int> positions;
    if (!key) return positions;
    for (const std::string& name : key->columns) {
        for (int i = 0; i < rows.ColumnCount(); ++i) {
            if (strcasecmp(rows.Column(i).name.c_str(), name.c_str()) == 0) {
                positions.push_back(i);
                break;
            }
        }
    }
    if (positions.size() != key->columns.size()) positions.clear();
    return positions;
}

// Hands every row of one result to the sink, keeping the last key for the next page.
PageOutcome ReadPage(WorkerContext& context, StatementRowset& rows, const PagingKey* key,
                     RowSink& sink, Progress& progress) {
    PageOutcome page;
    std::vector<int> keyColumns = KeyColumns(rows, key);
    for (;;) {
        ResultCode fetched = rows.MoveNext();
        if (fetched == kEndOfRowset) return page;
        if (fetched != kSuccess) {
            page.error = rows.ProviderErrorText();
            context.Log().WriteText(page.error);
            page.end = PageEnd::FetchFailed;
            return page;
        }
        ++page.rows;
        page.bytes += sink.TakeRow(rows);
        progress.Row();
        if (!keyColumns.empty()) {
            page.lastKey.clear();
            for (int column : keyColumns) page.lastKey.emplace_back(rows.Value(column));
        }
        if (sink.Broken()) {
            page.end = PageEnd::SinkBroken;
            return page;
        }
        if (context.StopRequested()) {
            context.Log().WriteText("Data Converting Terminaled!");
            page.end = PageEnd::Stopped;
            return page;
        }
    }
}

// Reads the pages after the first one until the rows end, a stop, or a failure.
void ReadRemainingPages(WorkerContext& context, Session* source, std::string_view table,
                        std::string_view condition, std::string_view selectList,
                        const PagingKey& key, RowSink& sink, Progress& progress,
                        PageOutcome page, long long limit, RowCopyResult& result) {
    OperationLog& log = context.Log();
    while (page.end == PageEnd::EndOfRows && page.rows >= limit) {
        if (page.lastKey.size() != key.columns.size()) {
            log.WriteOutputLine("[%s] the key columns are missing from the rows; the copy ends here",
                                std::string(table).c_str());
            result.readFailed = true;
            return;
        }
        std::vector<std::string> after = page.lastKey;
        limit = NextPageRows(page.rows, page.bytes);
        SourceQuery next(log, source,
                         PageQuery(table, condition, key, after, limit, selectList), true,
                         RowQueryProperties());
        if (!next.ok()) {
            if (!next.failureLogged()) log.WriteText(next.failureText());
            result.readFailed = true;
            result.readError = next.reason();
            return;
        }
        ++result.queries;
        page = ReadPage(context, next.rows(), &key, sink, progress);
        if (page.rows > 0 && page.lastKey == after) {
            log.WriteOutputLine("[%s] the key order does not advance; the copy ends here",
                                std::string(table).c_str());
            result.readFailed = true;
            return;
        }
    }
    if (page.end == PageEnd::Stopped) result.stopped = true;
    if (page.end == PageEnd::FetchFailed) result.readFailed = true, result.readError = page.error;
}

}  // namespace

const PropertySet& RowQueryProperties() {
    static const PropertySet properties = [] {
        PropertySet set = StandardRowsetProperties();
        set.Set(kPropIRowsetChange, true);
        return set;
    }();
    return properties;
}

void ReadTableRows(WorkerContext& context, std::string_view database, std::string_view table,
                   std::string_view selectList, RowSink& sink, RowCopyResult& result,
                   std::string_view narrower, Session* rowsFrom) {
    OperationLog& log = context.Log();
    Session* source = context.SourceSession();
    Session* rows = rowsFrom ? rowsFrom : source;
    std::string condition = LookupCondition(context.conditionFile, database, table);
    if (!narrower.empty()) {
        condition = condition.empty() ? std::string(narrower)
                                      : "(" + condition + "\n) and " + std::string(narrower);
    }
    // A driver that streams rows holds about one row at a time: one pass is bounded already.
    bool readable = false;
    std::optional<PagingKey> key;
    if (!rows->StreamsRows()) key = FindPagingKey(log, source, table, readable);
    if (!key && readable) {
        log.WriteOutputLine(
            "[%s] has no primary key and no unique key over NOT NULL columns: its rows are read "
            "in one pass",
            std::string(table).c_str());
    }
    // Before the row query: a streaming driver runs nothing else while rows arrive.
    Progress progress{context, std::string(table),
                      context.tableProgress ? EstimatedRows(source, database, table) : -1};
    // Shown before the query: a source that does not answer shows on the line as waiting.
    context.ReportRows({progress.table, 0, progress.expected, false});
    // The sink may hand on its last rows after this read returns: the display is told no more.
    sink.targetHolding = [&progress](bool holding) { progress.TargetHolding(holding); };
    struct Forget {
        RowSink& sink;
        ~Forget() { sink.targetHolding = nullptr; }
    } forget{sink};
    SourceQuery query(log, rows,
                      key ? PageQuery(table, condition, *key, {}, kFirstPageRows, selectList)
                          : OnePassQuery(table, condition, selectList),
                      true, RowQueryProperties());
    if (!query.ok()) {
        result.text = query.failureText();
        result.readError = query.reason();
        return;
    }
    ++result.queries;
    result.text = kTrueText;
    if (!sink.Begin()) return;
    PageOutcome first = ReadPage(context, query.rows(), key ? &*key : nullptr, sink, progress);
    if (key) {
        ReadRemainingPages(context, rows, table, condition, selectList, *key, sink, progress,
                           std::move(first), kFirstPageRows, result);
    } else {
        result.stopped = first.end == PageEnd::Stopped;
        result.readFailed = first.end == PageEnd::FetchFailed;
        result.readError = first.error;
    }
    context.ReportRows({progress.table, progress.rows, progress.expected, true});
}

}  // namespace velmora
