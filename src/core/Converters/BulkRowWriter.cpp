#include "Converters/BulkRowWriter.h"

#include <algorithm>

#include "Converters/BulkCheck.h"
#include "Converters/KeysetPaging.h"
#include "Converters/ValueNormalisation.h"
#include "Converters/WorkerContext.h"
#include "translation/FullValueRendering.h"
#include "translation/Naming.h"

namespace velmora {
namespace {

std::optional<BulkTablePlan> InStatements(WorkerContext& context, const std::string& table, const char* why) {
    context.Log().WriteOutputLine("[%s] rows in INSERT statements, not bulk copy: %s", table.c_str(), why);
    return std::nullopt;
}

// A key value as both servers' texts compare: a canonical decimal.
std::string CanonicalKey(std::string_view value) {
    std::optional<std::string> canonical = CanonicalDecimal(value);
    return canonical ? *canonical : std::string(value);
}

}  // namespace

std::optional<BulkTablePlan> PlanBulkCopy(WorkerContext& context, const FullTableTranslation& table,
                                          std::string_view sourceTable) {
    if (!BulkCopyAllowed(context)) return std::nullopt;
    const std::string& name = table.tableName;
    if (context.options.autoBackup) return InStatements(context, name, "AutoBackup keeps the statements it runs");
    BulkTablePlan plan;
    plan.table = TargetObjectName(context.options.targetSchema, name);
    plan.keepIdentity = table.hasIdentity;
    for (const TargetColumn& column : table.columns) {
        if (!column.written) return InStatements(context, name, "it has computed columns");
        plan.columns.push_back({static_cast<int>(plan.columns.size() + 1),
                                BulkSendsBytes(column) ? BulkValueKind::Bytes : BulkValueKind::Text});
    }
    bool readable = false;
    std::optional<PagingKey> key = FindPagingKey(context.Log(), context.SourceSession(),
                                                 sourceTable.empty() ? std::string_view(name) : sourceTable, readable);
    const bool numeric = key && key->indexName == "PRIMARY" &&
                         std::all_of(key->kinds.begin(), key->kinds.end(),
                                     [](KeyValueKind kind) { return kind == KeyValueKind::Number; });
    if (!numeric) {
        return InStatements(context, name, "without a numeric primary key a failed batch cannot be checked");
    }
    for (const std::string& column : key->columns) {
        auto at = std::find_if(table.columns.begin(), table.columns.end(),
                               [&](const TargetColumn& c) { return c.name == column; });
        if (at == table.columns.end()) return InStatements(context, name, "its key columns are not copied");
        plan.keyFields.push_back(static_cast<size_t>(at - table.columns.begin()));
        plan.keyNames.push_back(QuoteTargetName(column));
    }
    return plan;
}

void BulkRowRenderer::Append(RenderedBatch& batch, const std::vector<const TargetColumn*>& columns,
                             StatementRowset& row) {
    const int count = std::min(row.ColumnCount(), static_cast<int>(columns.size()));
    for (int i = 0; i < count; ++i) {
        std::string_view data;
        bool null = false;
        BulkFullValue(scratch_, *columns[static_cast<size_t>(i)], row.Value(i), row.IsNull(i), data, null);
        batch.fields.push_back({batch.raw.size(), null ? 0 : data.size(), null});
        if (!null) batch.raw.append(data);
    }
}

BulkRowWriter::BulkRowWriter(WorkerContext& context, std::string tableName, BulkTablePlan plan)
    : context_(context), name_(std::move(tableName)), plan_(std::move(plan)) {}

BulkRowWriter::~BulkRowWriter() {
    if (connection_) connection_->Close();
}

bool BulkRowWriter::Start() {
    connection_ = context_.openBulkTarget ? context_.openBulkTarget() : nullptr;
    std::unique_ptr<BulkLoad> bulk =
        connection_ && connection_->session() ? connection_->session()->NewBulkLoad() : nullptr;
    std::string why = "no connection of its own could be opened";
    if (bulk && bulk->Begin(plan_.table, plan_.columns, plan_.keepIdentity)) {
        bulk_ = std::move(bulk);
        return true;
    }
    if (bulk) why = bulk->ErrorText();
    context_.Log().WriteOutputLine("[%s] rows in INSERT statements, not bulk copy: the bulk copy could not begin: %s",
                                   name_.c_str(), why.c_str());
    if (connection_) connection_->Close();
    connection_.reset();
    return false;
}

void BulkRowWriter::Add(RenderedBatch batch) {
    if (!bulk_) {
        if (!batch.rows.empty()) unkept_.push_back(std::move(batch));
        return;
    }
    const size_t width = plan_.columns.size();
    const size_t rows = batch.rows.size();
    pending_.push_back(std::move(batch));
    pendingRows_ += static_cast<int64_t>(rows);
    const RenderedBatch& sent = pending_.back();
    for (size_t r = 0; r < rows; ++r) {
        fields_.clear();
        for (size_t c = 0; c < width; ++c) {
            const RawField& field = sent.fields[r * width + c];
            fields_.push_back({sent.Raw(field), field.null});
        }
        if (!bulk_->SendRow(fields_)) return Fail("a row was refused: " + bulk_->ErrorText());
    }
    if (pendingRows_ >= static_cast<int64_t>(kBulkBatchRows)) Commit();
}

void BulkRowWriter::Commit() { Settle(bulk_->Batch()); }

void BulkRowWriter::Finish() {
    if (!bulk_ || !Settle(bulk_->Done())) return;
    bulk_.reset();
    connection_->Close();
    connection_.reset();
}

// The driver's answer to a batch: every waiting row stored, or the batch failed.
bool BulkRowWriter::Settle(int64_t stored) {
    if (stored != pendingRows_) {
        Fail(stored < 0 ? bulk_->ErrorText()
                        : "the driver said " + std::to_string(stored) + " of " + std::to_string(pendingRows_) +
                              " rows were stored");
        return false;
    }
    committed_ += stored;
    pending_.clear();
    pendingRows_ = 0;
    return true;
}

int64_t BulkRowWriter::TakeCommitted() {
    const int64_t rows = committed_;
    committed_ = 0;
    return rows;
}

std::vector<RenderedBatch> BulkRowWriter::TakeUnkept() {
    std::vector<RenderedBatch> rows = std::move(unkept_);
    unkept_.clear();
    return rows;
}

std::string BulkRowWriter::KeyOf(const RenderedBatch& batch, size_t row) const {
    std::string key;
    for (size_t field : plan_.keyFields) {
        const RawField& value = batch.fields[row * plan_.columns.size() + field];
        key += CanonicalKey(batch.Raw(value));
        key += '\x1f';
    }
    return key;
}

// The keys on the target within the range of the first key column of the pending rows.
bool BulkRowWriter::ReadPresentKeys(std::vector<std::string>& present) {
    std::optional<std::string> low, high;
    for (const RenderedBatch& batch : pending_) {
        for (size_t r = 0; r < batch.rows.size(); ++r) {
            const RawField& field = batch.fields[r * plan_.columns.size() + plan_.keyFields.front()];
            std::string value = CanonicalKey(batch.Raw(field));
            if (!low || CompareDecimals(value, *low) < 0) low = value;
            if (!high || CompareDecimals(value, *high) > 0) high = value;
        }
    }
    if (!low) return true;
    std::string list;
    for (const std::string& column : plan_.keyNames) list += (list.empty() ? "" : ", ") + column;
    const std::string query = "SELECT " + list + " FROM " + plan_.table + " WHERE " + plan_.keyNames.front() +
                              " BETWEEN " + *low + " AND " + *high;
    std::vector<CheckRow> rows;
    std::string why;
    if (!ReadTargetRows(context_.TargetSession(), query, rows, why)) {
        context_.Log().WriteOutputLine("[%s] the rows the server kept cannot be read: %s", name_.c_str(), why.c_str());
        return false;
    }
    for (const CheckRow& row : rows) {
        std::string key;
        for (const auto& value : row) key += CanonicalKey(value.value_or("")) + '\x1f';
        present.push_back(std::move(key));
    }
    std::sort(present.begin(), present.end());
    return true;
}

void BulkRowWriter::Fail(const std::string& why) {
    context_.Log().WriteOutputLine("[%s] bulk copy failed: %s", name_.c_str(), why.c_str());
    bulk_->Done();  // ends what the driver still holds; its rows are checked below
    bulk_.reset();
    connection_->Close();
    connection_.reset();
    std::vector<std::string> present;
    const bool known = ReadPresentKeys(present);
    int64_t kept = 0;
    for (const RenderedBatch& batch : pending_) {
        RenderedBatch rest;
        for (size_t r = 0; r < batch.rows.size(); ++r) {
            if (known && std::binary_search(present.begin(), present.end(), KeyOf(batch, r))) {
                ++kept;
                continue;
            }
            if (!rest.rows.empty()) rest.values.push_back(',');
            rest.rows.push_back({rest.values.size(), batch.rows[r].length});
            rest.values.append(batch.Row(r));
        }
        if (!rest.rows.empty()) unkept_.push_back(std::move(rest));
    }
    committed_ += kept;
    context_.Log().WriteOutputLine(
        "[%s] the server kept %lld of the %lld rows of the failed batch; the rest and the table's "
        "remaining rows go in INSERT statements",
        name_.c_str(), static_cast<long long>(kept), static_cast<long long>(pendingRows_));
    pending_.clear();
    pendingRows_ = 0;
}

}  // namespace velmora
