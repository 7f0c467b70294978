#include "Converters/RowTransfer.h"

#include <strings.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "Converters/Conditions.h"
#include "Converters/KeysetPaging.h"
#include "Converters/Naming.h"
#include "Converters/SourceQuery.h"
#include "Converters/ValueLiterals.h"
#include "Converters/WorkFiles.h"
#include "Converters/WorkerContext.h"

namespace velmora {
namespace {

constexpr int64_t kProgressEvery = 1000;
constexpr int64_t kProgressHookEvery = 200;

// The rowset properties of the row query: the standard set plus IRowsetChange.
const PropertySet& RowQueryProperties() {
    static const PropertySet properties = [] {
        PropertySet set = StandardRowsetProperties();
        set.Set(kPropIRowsetChange, true);
        return set;
    }();
    return properties;
}

std::string OnePassQuery(std::string_view table, std::string_view condition) {
    std::string query = "select * from " + QuoteSourceName(table);
    if (!condition.empty()) query += " where " + std::string(condition);
    return query;
}

// Runs one statement on the target; on failure `error` (when given) gets the driver's text.
bool RunTargetStatement(Session* target, std::string_view statement, std::string* error) {
    std::unique_ptr<StatementRowset> rowset = target->NewStatement();
    if (!rowset) {
        if (error) *error = "Unknown Error!";
        return false;
    }
    static const PropertySet properties = StandardRowsetProperties();
    bool ran = rowset->Create(statement) >= 0 && rowset->Execute(properties) == kSuccess;
    if (!ran && error) *error = rowset->ProviderErrorText();
    rowset->Close();
    return ran;
}

enum class PageEnd { EndOfRows, Stopped, FetchFailed };

struct PageOutcome {
    PageEnd end = PageEnd::EndOfRows;
    long long rows = 0;
    size_t bytes = 0;
    std::vector<std::string> lastKey;
};

// Turns the rows of one result into inserts, runs them and writes the data file.
class RowCopier {
public:
    RowCopier(WorkerContext& context, Session* target, std::string_view table, WorkFile* data,
              RowCopyResult& result)
        : context_(context), target_(target), table_(table), data_(data), result_(result),
          start_(InsertStatementStart(table)) {}

    PageOutcome CopyPage(StatementRowset& rows, const PagingKey* key) {
        PageOutcome page;
        std::vector<int> keyColumns = KeyColumns(rows, key);
        for (;;) {
            ResultCode fetched = rows.MoveNext();
            if (fetched == kEndOfRowset) return page;
            if (fetched != kSuccess) {
                context_.Log().WriteText(rows.ProviderErrorText());
                page.end = PageEnd::FetchFailed;
                return page;
            }
            ++page.rows;
            page.bytes += CopyRow(rows);
            if (!keyColumns.empty()) {
                page.lastKey.clear();
                for (int column : keyColumns) page.lastKey.emplace_back(rows.Value(column));
            }
            if (context_.StopRequested()) {
                context_.Log().WriteText("Data Converting Terminaled!");
                page.end = PageEnd::Stopped;
                return page;
            }
        }
    }

private:
    // The result positions of the key's columns; empty without a key.
    static std::vector<int> KeyColumns(StatementRowset& rows, const PagingKey* key) {
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

    // One row: build, back up and run its statement; returns the bytes of its values.
    size_t CopyRow(StatementRowset& rows) {
        statement_.assign(start_);
        size_t bytes = 0;
        for (int i = 0; i < rows.ColumnCount(); ++i) {
            if (i > 0) statement_.push_back(',');
            std::string_view value = rows.Value(i);
            bytes += value.size();
            AppendValueLiteral(statement_, rows.Column(i).type, value, rows.IsNull(i));
        }
        statement_ += ")\n";
        ++result_.rowsRead;
        if (data_ && context_.options.autoBackup) data_->Write(statement_);
        std::string* error = result_.rowsFailed == 0 ? &result_.firstError : nullptr;
        if (RunTargetStatement(target_, statement_, error)) {
            ++result_.rowsWritten;
        } else {
            if (++result_.rowsFailed == 1) {
                context_.Log().WriteOutputLine("[%s] INSERT failed: %s", table_.c_str(),
                                            result_.firstError.c_str());
            }
        }
        if (result_.rowsRead % kProgressHookEvery == 0) {
            context_.ReportRows({table_, result_.rowsRead, expectedRows, false});
        }
        if (result_.rowsRead % kProgressEvery == 0) {
            context_.Log().WriteOutputLine("[%s] %lld records converted!", table_.c_str(),
                                        static_cast<long long>(result_.rowsRead));
        }
        return bytes;
    }

public:
    long long expectedRows = -1;

private:
    WorkerContext& context_;
    Session* target_;
    std::string table_;
    WorkFile* data_;
    RowCopyResult& result_;
    std::string start_;
    std::string statement_;
};

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

void WriteSummary(OperationLog& log, std::string_view table, const RowCopyResult& result) {
    std::string name(table);
    if (result.rowsFailed > 0) {
        log.WriteOutputLine("[%s] %lld records converted, %lld records FAILED!",
                                   name.c_str(), static_cast<long long>(result.rowsWritten),
                                   static_cast<long long>(result.rowsFailed));
    } else if (result.readFailed) {
        log.WriteOutputLine("[%s] %lld records converted, reading the rows FAILED!",
                                   name.c_str(), static_cast<long long>(result.rowsWritten));
    } else {
        log.WriteOutputLine("[%s] %lld records converted, convertion completed SUCCESSFULLY!",
                                   name.c_str(), static_cast<long long>(result.rowsRead));
    }
}

// Reads the pages after the first one until the rows end, a stop, or a failure.
void CopyRemainingPages(OperationLog& log, Session* source, std::string_view table,
                        std::string_view condition, const PagingKey& key, RowCopier& copier,
                        PageOutcome page, long long limit, RowCopyResult& result) {
    while (page.end == PageEnd::EndOfRows && page.rows >= limit) {
        if (page.lastKey.size() != key.columns.size()) {
            log.WriteOutputLine("[%s] the key columns are missing from the rows; the copy "
                                       "ends here",
                                       std::string(table).c_str());
            result.readFailed = true;
            return;
        }
        std::vector<std::string> after = page.lastKey;
        limit = NextPageRows(page.rows, page.bytes);
        SourceQuery next(log, source, PageQuery(table, condition, key, after, limit), true,
                         RowQueryProperties());
        if (!next.ok()) {
            if (!next.failureLogged()) log.WriteText(next.failureText());
            result.readFailed = true;
            return;
        }
        ++result.queries;
        page = copier.CopyPage(next.rows(), &key);
        if (page.rows > 0 && page.lastKey == after) {
            log.WriteOutputLine("[%s] the key order does not advance; the copy ends here",
                                       std::string(table).c_str());
            result.readFailed = true;
            return;
        }
    }
    if (page.end == PageEnd::Stopped) result.stopped = true;
    if (page.end == PageEnd::FetchFailed) result.readFailed = true;
}

}  // namespace

std::string InsertStatementStart(std::string_view table) {
    return "insert into " + QuoteTargetName(table) + " values (";
}

RowCopyResult CopyTableRows(WorkerContext& context, std::string_view database,
                            std::string_view table) {
    OperationLog& log = context.Log();
    Session* source = context.SourceSession();
    Session* target = context.TargetSession();
    RowCopyResult result;
    result.text = kFalseText;
    if (!source) {
        log.WriteText("No Source Connection!");
        return result;
    }
    if (!target) {
        log.WriteText("No Target Connection!");
        return result;
    }
    const std::string name(table);
    std::string condition = LookupCondition(context.conditionFile, database, table);
    // A driver that streams rows holds about one row at a time: one pass is bounded already.
    bool readable = false;
    std::optional<PagingKey> key;
    if (!source->StreamsRows()) key = FindPagingKey(log, source, table, readable);
    if (!key && readable) {
        log.WriteOutputLine(
            "[%s] has no primary key and no unique key over NOT NULL columns: its rows are read "
            "in one pass",
            name.c_str());
    }
    // Before the row query: a streaming driver runs nothing else while rows arrive.
    const long long expectedRows =
        context.tableProgress ? EstimatedRows(source, database, table) : -1;
    SourceQuery query(log, source,
                      key ? PageQuery(table, condition, *key, {}, kFirstPageRows)
                          : OnePassQuery(table, condition),
                      true, RowQueryProperties());
    if (!query.ok()) {
        result.text = query.failureText();
        return result;
    }
    ++result.queries;
    WorkFile data = OpenWorkFile(context.workFolder, name + ".data", "w+");
    const bool autoBackup = context.options.autoBackup;
    if (!data && autoBackup) {
        log.WriteOutputLine("[%s] The data file %s.data cannot be created: %s", name.c_str(),
                                   name.c_str(), std::strerror(errno));
        result.backupFailed = true;
    }
    RowCopier copier(context, target, table, data ? &data : nullptr, result);
    copier.expectedRows = expectedRows;
    context.ReportRows({name, 0, expectedRows, false});
    PageOutcome first = copier.CopyPage(query.rows(), key ? &*key : nullptr);
    if (key) {
        CopyRemainingPages(log, source, table, condition, *key, copier, std::move(first),
                           kFirstPageRows, result);
    } else {
        result.stopped = first.end == PageEnd::Stopped;
        result.readFailed = first.end == PageEnd::FetchFailed;
    }
    WriteSummary(log, table, result);
    context.ReportRows({name, result.rowsRead, copier.expectedRows, true});
    if (data && !data.Close() && autoBackup) {
        log.WriteOutputLine("[%s] The data file %s.data could not be written completely!",
                                   name.c_str(), name.c_str());
        result.backupFailed = true;
    }
    result.text = kTrueText;
    return result;
}

}  // namespace velmora
