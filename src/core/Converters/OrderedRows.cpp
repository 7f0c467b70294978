#include "Converters/OrderedRows.h"

#include <algorithm>

#include "Converters/KeysetPaging.h"
#include "translation/Naming.h"
#include "Converters/SourceQuery.h"
#include "translation/ValueLiterals.h"
#include "Converters/ValueNormalisation.h"
#include "tasks/OperationLog.h"

namespace velmora {
namespace {

// T-SQL names are always bracketed: the verification's queries name every column, and a column
// may be called like a word of the grammar (at, key, ...).
std::string QuoteName(SqlDialect dialect, std::string_view name) {
    if (dialect == SqlDialect::MySql) return QuoteSourceName(name);
    if (name.find(']') != std::string_view::npos) return QuoteTargetName(name);  // double quotes
    std::string quoted = "[";
    for (char c : name) {
        quoted.push_back(c);
        if (c == ']') quoted.push_back(']');
    }
    return quoted + "]";
}

// The expression a key column is ordered and compared by.
std::string OrderExpression(SqlDialect dialect, KeyOrder order, std::string_view column) {
    std::string name = QuoteName(dialect, column);
    if (order != KeyOrder::Text) return name;
    return dialect == SqlDialect::MySql ? "convert(" + name + " using utf8mb4) collate utf8mb4_bin"
                                        : name + " collate Latin1_General_BIN2";
}

std::string TsqlString(std::string_view text) {
    std::string literal = "N'";
    for (char c : text) {
        literal.push_back(c);
        if (c == '\'') literal.push_back('\'');
    }
    return literal + "'";
}

// A key value, as its own side printed it, as a literal of that side.
std::string KeyLiteral(SqlDialect dialect, KeyOrder order, std::string_view value) {
    if (order == KeyOrder::Number && IsNumericLiteral(value)) return std::string(value);
    if (order == KeyOrder::Binary) {
        return dialect == SqlDialect::MySql ? "X'" + std::string(value) + "'"
                                            : "0x" + std::string(value);
    }
    if (dialect == SqlDialect::Tsql) return TsqlString(value);
    std::string literal = SourceStringLiteral(value);
    return order == KeyOrder::Text ? literal + " collate utf8mb4_bin" : literal;
}

// (k1 > v1) or (k1 = v1 and k2 > v2) or ...
std::string AfterKey(const OrderedReadSpec& spec, const std::vector<std::string>& after) {
    std::string disjunction;
    for (size_t i = 0; i < spec.key.columns.size(); ++i) {
        std::string term;
        for (size_t j = 0; j <= i; ++j) {
            if (j > 0) term += " and ";
            term += OrderExpression(spec.dialect, spec.key.orders[j], spec.key.columns[j]) +
                    (j == i ? " > " : " = ") +
                    KeyLiteral(spec.dialect, spec.key.orders[j], after[j]);
        }
        disjunction += (i > 0 ? " or (" : "(") + term + ")";
    }
    return "(" + disjunction + ")";
}

// Trailing blanks do not count, as in both servers' comparisons of text.
int CompareTextPadded(std::string_view left, std::string_view right) {
    size_t length = std::max(left.size(), right.size());
    for (size_t i = 0; i < length; ++i) {
        auto a = static_cast<unsigned char>(i < left.size() ? left[i] : ' ');
        auto b = static_cast<unsigned char>(i < right.size() ? right[i] : ' ');
        if (a != b) return a < b ? -1 : 1;
    }
    return 0;
}

int Sign(long long value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

}  // namespace

std::optional<KeyOrder> KeyOrderOfType(std::string_view mysqlType) {
    std::optional<KeyValueKind> kind = KeyKindOfType(mysqlType);
    if (!kind) return std::nullopt;
    if (*kind == KeyValueKind::Number) return KeyOrder::Number;
    if (*kind == KeyValueKind::Binary) return KeyOrder::Binary;
    ValueFamily family = FamilyOfMySqlType(mysqlType);
    if (family == ValueFamily::Year) return KeyOrder::Number;
    if (family == ValueFamily::Text || family == ValueFamily::FixedText) return KeyOrder::Text;
    return KeyOrder::Temporal;
}

int CompareKeyValues(KeyOrder order, std::string_view left, std::string_view right) {
    switch (order) {
        case KeyOrder::Number: {
            auto a = CanonicalDecimal(left);
            auto b = CanonicalDecimal(right);
            if (a && b) return CompareDecimals(*a, *b);
            break;
        }
        case KeyOrder::Temporal: {
            auto a = DateTimeTicks(left);
            auto b = DateTimeTicks(right);
            if (!a || !b) {
                a = TimeTicks(left);
                b = TimeTicks(right);
            }
            if (a && b) return Sign(*a - *b);
            break;
        }
        case KeyOrder::Text:
            return CompareTextPadded(left, right);
        case KeyOrder::Binary:
            break;
    }
    return Sign(left.compare(right));
}

std::string AfterKeyCondition(const OrderedReadSpec& spec, const std::vector<std::string>& after) {
    return AfterKey(spec, after);
}

std::optional<int64_t> CountRows(OperationLog& log, Session* session, SqlDialect dialect,
                                 std::string_view table, std::string_view condition,
                                 std::string& error, std::string_view schema) {
    const bool mysql = dialect == SqlDialect::MySql;
    std::string query = std::string(mysql ? "select count(*)" : "select count_big(*)") +
                        " from " + QuoteSqlTable(dialect, table, schema);
    if (!condition.empty()) query += " where (" + std::string(condition) + "\n)";
    SourceQuery count(log, session, query, false);
    if (!count.ok()) {
        error = count.reason().empty() ? count.failureText() : count.reason();
        return std::nullopt;
    }
    if (!count.Next() || count.IsNull(0)) {
        error = "the count query returned no count";
        return std::nullopt;
    }
    std::string_view value = count.Value(0);
    int64_t rows = 0;
    for (char c : value) {
        if (c < '0' || c > '9') {
            error = "the count query returned '" + std::string(value) + "'";
            return std::nullopt;
        }
        rows = rows * 10 + (c - '0');
    }
    return rows;
}

TableShape ReadTableShape(OperationLog& log, Session* source, std::string_view table) {
    TableShape shape;
    SourceQuery query(log, source, "show columns from " + QuoteSourceName(table),
                      false);
    if (!query.ok()) {
        shape.error = "its columns cannot be read: " + query.reason();
        return shape;
    }
    while (query.Next()) {
        shape.columns.push_back({std::string(query.Value(0)), std::string(query.Value(1))});
    }
    bool readable = false;
    shape.key = FindPagingKey(log, source, table, readable);
    if (!readable) shape.error = "its keys cannot be read";
    return shape;
}

OrderedReadSpec ReadSpecOf(SqlDialect dialect, std::string_view table, const TableShape& shape,
                       bool streams) {
    OrderedReadSpec spec;
    spec.dialect = dialect;
    spec.table = std::string(table);
    spec.streams = streams;
    for (const ColumnDescription& column : shape.columns) {
        bool mysql = dialect == SqlDialect::MySql;
        std::string name = QuoteSqlName(dialect, column.name);
        // Spatial values arrive on the target as WKT text.
        if (mysql && FamilyOfMySqlType(column.type) == ValueFamily::Spatial) {
            name = "ST_AsText(" + name + ")";
        }
        // Enum and set labels as text, also in a table of the binary character set.
        std::string word = column.type.substr(0, column.type.find('('));
        if (mysql && (word == "enum" || word == "set")) name = "CONVERT(" + name + " USING utf8mb4)";
        spec.selectList.push_back(name);
    }
    for (const std::string& keyColumn : shape.key->columns) {
        for (size_t i = 0; i < shape.columns.size(); ++i) {
            if (shape.columns[i].name != keyColumn) continue;
            spec.key.columns.push_back(keyColumn);
            spec.key.orders.push_back(KeyOrderOfType(shape.columns[i].type).value_or(KeyOrder::Text));
            spec.keyPositions.push_back(i);
        }
    }
    return spec;
}

std::string QuoteSqlName(SqlDialect dialect, std::string_view name) {
    return QuoteName(dialect, name);
}

std::string QuoteSqlTable(SqlDialect dialect, std::string_view table, std::string_view schema) {
    if (dialect == SqlDialect::MySql || IsDefaultSchema(schema)) return QuoteName(dialect, table);
    return QuoteName(dialect, schema) + "." + QuoteName(dialect, table);
}

OrderedRowReader::OrderedRowReader(OperationLog& log, Session* session, OrderedReadSpec spec)
    : log_(log), session_(session), spec_(std::move(spec)), limit_(kFirstPageRows) {}

OrderedRowReader::~OrderedRowReader() = default;

std::string OrderedRowReader::QueryText(const OrderedReadSpec& spec,
                                        const std::vector<std::string>& after, long long limit) {
    const bool mysql = spec.dialect == SqlDialect::MySql;
    std::string query = "select ";
    if (!mysql && !spec.streams) query += "top (" + std::to_string(limit) + ") ";
    for (size_t i = 0; i < spec.selectList.size(); ++i) {
        query += (i > 0 ? ", " : "") + spec.selectList[i];
    }
    query += " from " + QuoteSqlTable(spec.dialect, spec.table, spec.schema);
    std::vector<std::string> filters;
    // The line feed ends a trailing "-- comment" of the condition before the parenthesis.
    if (mysql && !spec.condition.empty()) filters.push_back("(" + spec.condition + "\n)");
    if (!after.empty()) filters.push_back(AfterKey(spec, after));
    for (size_t i = 0; i < filters.size(); ++i) query += (i == 0 ? " where " : " and ") + filters[i];
    query += " order by ";
    for (size_t i = 0; i < spec.key.columns.size(); ++i) {
        query += (i > 0 ? ", " : "") +
                 OrderExpression(spec.dialect, spec.key.orders[i], spec.key.columns[i]);
    }
    if (mysql && !spec.streams) query += " limit " + std::to_string(limit);
    return query;
}

bool OrderedRowReader::StartQuery() {
    std::vector<std::string> after;
    if (queries_ > 0) {
        for (size_t position : spec_.keyPositions) {
            if (position >= row_.size() || !row_[position]) {
                error_ = "a key value of the last row read is missing";
                return false;
            }
            after.emplace_back(*row_[position]);
        }
        limit_ = NextPageRows(pageRows_, pageBytes_);
    }
    query_ = std::make_unique<SourceQuery>(log_, session_, QueryText(spec_, after, limit_), false);
    ++queries_;
    pageRows_ = 0;
    pageBytes_ = 0;
    if (!query_->ok()) {
        error_ = query_->reason().empty() ? query_->failureText() : query_->reason();
        return false;
    }
    StatementRowset& rows = query_->rows();
    if (columns_.empty()) {
        for (int i = 0; i < rows.ColumnCount(); ++i) columns_.push_back(rows.Column(i));
    }
    if (static_cast<size_t>(rows.ColumnCount()) != spec_.selectList.size()) {
        error_ = "the query returned " + std::to_string(rows.ColumnCount()) + " columns, not " +
                 std::to_string(spec_.selectList.size());
        return false;
    }
    return true;
}

bool OrderedRowReader::Next() {
    if (ended_ || failed()) return false;
    if (!query_ && !StartQuery()) return false;
    for (;;) {
        if (query_->Next()) break;
        if (query_->fetchFailed()) {
            error_ = query_->rows().MostInformativeError();
            return false;
        }
        // The end of a page: a full page may have more after it.
        if (spec_.streams || pageRows_ < limit_) {
            ended_ = true;
            return false;
        }
        if (!StartQuery()) return false;
    }
    StatementRowset& rows = query_->rows();
    row_.resize(static_cast<size_t>(rows.ColumnCount()));
    for (int i = 0; i < rows.ColumnCount(); ++i) {
        if (rows.IsNull(i)) {
            row_[i].reset();
        } else {
            std::string_view value = rows.Value(i);
            row_[i].emplace(value);
            pageBytes_ += value.size();
        }
    }
    ++pageRows_;
    return InKeyOrder();
}

// Every key must follow the one before: otherwise the two sides cannot be merged (and a page
// would repeat its rows for ever).
bool OrderedRowReader::InKeyOrder() {
    int order = previousKey_.empty() ? 1 : 0;
    for (size_t i = 0; i < spec_.keyPositions.size() && order == 0; ++i) {
        const std::optional<std::string_view>& value = row_[spec_.keyPositions[i]];
        if (!value) break;
        order = CompareKeyValues(spec_.key.orders[i], *value, previousKey_[i]);
    }
    if (order <= 0) {
        error_ = "the rows do not come in the order of the key";
        return false;
    }
    previousKey_.clear();
    for (size_t position : spec_.keyPositions) {
        previousKey_.emplace_back(row_[position].value_or(std::string_view()));
    }
    return true;
}

}  // namespace velmora
