#include "data/OdbcCatalogs.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

#include "data/ErrorText.h"
#include "data/SysCatalogQueries.h"
#include "data/WideText.h"

namespace velmora {
namespace {

using Restrictions = std::vector<std::optional<std::string>>;

std::optional<std::string> Restriction(const Restrictions& restrictions, size_t index) {
    if (index < restrictions.size()) return restrictions[index];
    return std::nullopt;
}

// A number from a catalog row's text; 0 when absent or not a number.
int64_t NumberOf(const std::optional<std::string>& text) {
    int64_t value = 0;
    if (text) std::from_chars(text->data(), text->data() + text->size(), value);
    return value;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Keeps the rows whose field equals `wanted`; when none equals it exactly, the rows that equal
// it but for letter case (servers with case-insensitive names answer those).
template <typename Record, typename Field>
void KeepMatching(std::vector<Record>& rows, const std::optional<std::string>& wanted, Field field) {
    if (!wanted) return;
    bool anyExact = std::any_of(rows.begin(), rows.end(), [&](const Record& r) { return field(r) == *wanted; });
    std::erase_if(rows, [&](const Record& r) {
        return anyExact ? field(r) != *wanted : !EqualsNoCase(field(r), *wanted);
    });
}

// One argument of a catalog function: absent (null pointer) or a UTF-16 text.
class Argument {
public:
    Argument() = default;
    explicit Argument(const std::optional<std::string>& text) {
        if (text) text_ = Utf8ToUtf16(*text);
    }
    // A search pattern that matches `text` only: the pattern characters are escaped.
    static Argument Pattern(const std::optional<std::string>& text, const std::u16string& escape) {
        Argument argument(text);
        if (argument.text_ && !escape.empty()) {
            std::u16string escaped;
            for (char16_t c : *argument.text_) {
                if (c == u'%' || c == u'_' || std::u16string_view(escape) == std::u16string_view(&c, 1)) {
                    escaped += escape;
                }
                escaped += c;
            }
            argument.text_ = std::move(escaped);
        }
        return argument;
    }
    static Argument Text(std::u16string text) {
        Argument argument;
        argument.text_ = std::move(text);
        return argument;
    }
    SQLWCHAR* data() { return text_ ? WideArg(*text_) : nullptr; }
    SQLSMALLINT length() const { return text_ ? static_cast<SQLSMALLINT>(text_->size()) : 0; }

private:
    std::optional<std::u16string> text_;
};

// A statement for catalog calls and its row reading.
class CatalogCall {
public:
    explicit CatalogCall(const OdbcLink& link)
        : statement_(OdbcHandle::Allocate(SQL_HANDLE_STMT, link.dbc())) {}
    bool valid() const { return static_cast<bool>(statement_); }
    SQLHSTMT get() const { return statement_.get(); }
    void CloseCursor() { SQLFreeStmt(statement_.get(), SQL_CLOSE); }
    // True with a row; false at the end or on failure (`failed` tells which).
    bool Fetch(bool& failed) {
        SQLRETURN rc = SQLFetch(statement_.get());
        failed = !Succeeded(rc) && rc != SQL_NO_DATA;
        return Succeeded(rc);
    }
    std::optional<std::string> Text(SQLUSMALLINT column) {
        bool isNull = false;
        if (!GetTextData(statement_.get(), column, buffer_, value_, isNull) || isNull) return std::nullopt;
        return value_;
    }
    std::string TextOr(SQLUSMALLINT column) { return Text(column).value_or(std::string()); }
    int64_t Number(SQLUSMALLINT column) { return NumberOf(Text(column)); }
    std::string ErrorText() const { return GetProviderErrorText(ReadDiagnostics(SQL_HANDLE_STMT, statement_.get())); }

private:
    OdbcHandle statement_;
    std::u16string buffer_;
    std::string value_;
};

// What the kinds share: Open reads every row, MoveNext walks them.
template <typename Record>
class OdbcSchemaRowset : public SchemaRowset<Record> {
public:
    explicit OdbcSchemaRowset(std::shared_ptr<OdbcLink> link) : link_(std::move(link)) {}

    ResultCode Open(const Restrictions& restrictions) override {
        Close();
        if (!link_) return Failed("No Connection!", kNotConnected);
        CatalogCall call(*link_);
        if (!call.valid()) {
            return Failed(GetProviderErrorText(ReadDiagnostics(SQL_HANDLE_DBC, link_->dbc())), kFailure);
        }
        std::string error;
        Restrictions r = WithCatalog(restrictions);
        // Once the sys views had to answer on this connection, they answer at once: a failing
        // catalog call costs seconds on such a server.
        if (link_->CatalogFallbackNoted() && ReadFromSysViews(r, error)) {
            opened_ = true;
            return kSuccess;
        }
        rows_.clear();
        error.clear();
        if (!Read(call, r, error)) {
            // A server without the driver's catalog procedures still answers from its sys views.
            std::string viewsError;
            rows_.clear();
            if (!AnswersFromSysViews(*link_) || !ReadFromSysViews(r, viewsError)) {
                rows_.clear();
                return Failed(error, kFailure);
            }
            link_->NoteCatalogFallback(error);
        }
        opened_ = true;
        return kSuccess;
    }
    ResultCode MoveNext() override {
        if (!opened_) return kFailure;
        if (next_ >= rows_.size()) return kEndOfRowset;
        current_ = rows_[next_++];
        return kSuccess;
    }
    const Record& Current() const override { return current_; }
    void Close() override {
        std::vector<Record>().swap(rows_);
        next_ = 0;
        opened_ = false;
    }
    std::string ProviderErrorText() const override { return error_.empty() ? kUnknownError : error_; }

protected:
    // Kinds whose first restriction is the table catalog: an absent catalog means the current
    // database (MariaDB's driver would otherwise answer for every database of the server).
    virtual bool DefaultsToCurrentCatalog() const { return true; }
    // Runs the catalog call(s) and fills rows_; false with `error` on failure.
    virtual bool Read(CatalogCall& call, const Restrictions& restrictions, std::string& error) = 0;
    // The same rows from the sys views of a SQL Server-compatible server; false when the kind
    // has no such query or it fails.
    virtual bool ReadFromSysViews(const Restrictions&, std::string&) { return false; }
    std::shared_ptr<OdbcLink> sharedLink() const { return link_; }

    const OdbcLink& link() const { return *link_; }
    std::vector<Record> rows_;

private:
    Restrictions WithCatalog(Restrictions restrictions) const {
        if (!DefaultsToCurrentCatalog() || (!restrictions.empty() && restrictions[0])) return restrictions;
        std::optional<std::string> current = CurrentCatalog(link_->dbc());
        if (!current || current->empty()) return restrictions;
        if (restrictions.empty()) restrictions.resize(1);
        restrictions[0] = current;
        return restrictions;
    }

    ResultCode Failed(std::string text, ResultCode code) {
        error_ = std::move(text);
        if (link_) link_->SetCatalogError(error_);
        return code;
    }

    std::shared_ptr<OdbcLink> link_;
    size_t next_ = 0;
    bool opened_ = false;
    Record current_;
    std::string error_;
};

// Runs SQLTables for catalog, schema, table and type; rows into `tables`.
bool ReadTables(CatalogCall& call, const OdbcLink& link, const Restrictions& r,
                std::vector<TableRecord>& tables, std::string& error) {
    Argument catalog(Restriction(r, 0));
    Argument schema = Argument::Pattern(Restriction(r, 1), link.searchEscape);
    Argument table = Argument::Pattern(Restriction(r, 2), link.searchEscape);
    Argument type(Restriction(r, 3));
    SQLRETURN rc = SQLTablesW(call.get(), catalog.data(), catalog.length(), schema.data(), schema.length(),
                              table.data(), table.length(), type.data(), type.length());
    if (!Succeeded(rc)) {
        error = call.ErrorText();
        return false;
    }
    bool failed = false;
    while (call.Fetch(failed)) {
        TableRecord record;
        record.tableCatalog = call.TextOr(1);
        record.tableSchema = call.TextOr(2);
        record.tableName = call.TextOr(3);
        record.tableType = call.TextOr(4);
        record.description = call.TextOr(5);
        tables.push_back(std::move(record));
    }
    if (failed) {
        error = call.ErrorText();
        return false;
    }
    call.CloseCursor();
    if (auto schemaName = Restriction(r, 1)) {
        std::erase_if(tables, [&](const TableRecord& t) { return !t.tableSchema.empty() && t.tableSchema != *schemaName; });
    }
    KeepMatching(tables, Restriction(r, 2), [](const TableRecord& t) -> const std::string& { return t.tableName; });
    if (auto typeName = Restriction(r, 3)) {
        std::erase_if(tables, [&](const TableRecord& t) { return !EqualsNoCase(t.tableType, *typeName); });
    }
    return true;
}

class OdbcCatalogs final : public OdbcSchemaRowset<CatalogRecord> {
public:
    using OdbcSchemaRowset::OdbcSchemaRowset;

protected:
    bool DefaultsToCurrentCatalog() const override { return false; }
    bool Read(CatalogCall& call, const Restrictions& r, std::string& error) override {
        Argument all = Argument::Text(u"" SQL_ALL_CATALOGS);
        Argument empty = Argument::Text(u"");
        SQLRETURN rc = SQLTablesW(call.get(), all.data(), all.length(), empty.data(), 0, empty.data(), 0,
                                  nullptr, 0);
        if (!Succeeded(rc)) {
            error = call.ErrorText();
            return false;
        }
        bool failed = false;
        while (call.Fetch(failed)) {
            CatalogRecord record;
            record.catalogName = call.TextOr(1);
            record.description = call.TextOr(5);
            rows_.push_back(std::move(record));
        }
        if (failed) {
            error = call.ErrorText();
            return false;
        }
        KeepMatching(rows_, Restriction(r, 0), [](const CatalogRecord& c) -> const std::string& { return c.catalogName; });
        return true;
    }
};

class OdbcTables final : public OdbcSchemaRowset<TableRecord> {
public:
    using OdbcSchemaRowset::OdbcSchemaRowset;

protected:
    bool Read(CatalogCall& call, const Restrictions& r, std::string& error) override {
        return ReadTables(call, link(), r, rows_, error);
    }
    bool ReadFromSysViews(const Restrictions& r, std::string& error) override {
        std::string catalog = Restriction(r, 0).value_or("");
        return RunSysCatalogQuery(
            sharedLink(), SysTablesQuery(Restriction(r, 0), Restriction(r, 1), Restriction(r, 2), Restriction(r, 3)),
            [&](const SysCatalogRow& row) {
                rows_.push_back(TableRecord{catalog, row[0].value_or(""), row[1].value_or(""), row[2].value_or(""), ""});
            },
            error);
    }
};

class OdbcColumns final : public OdbcSchemaRowset<ColumnRecord> {
public:
    using OdbcSchemaRowset::OdbcSchemaRowset;

protected:
    bool Read(CatalogCall& call, const Restrictions& r, std::string& error) override;
    bool ReadFromSysViews(const Restrictions& r, std::string& error) override;
};

// Sizes as SQLColumns gives them: characters for text (sys.columns counts bytes, two a
// character for the n-types, -1 for max), digits for numbers.
bool OdbcColumns::ReadFromSysViews(const Restrictions& r, std::string& error) {
    std::string catalog = Restriction(r, 0).value_or("");
    return RunSysCatalogQuery(
        sharedLink(), SysColumnsQuery(Restriction(r, 0), Restriction(r, 1), Restriction(r, 2), Restriction(r, 3)),
        [&](const SysCatalogRow& row) {
            ColumnRecord record;
            record.tableCatalog = catalog;
            record.tableSchema = row[0].value_or("");
            record.tableName = row[1].value_or("");
            record.columnName = row[2].value_or("");
            record.ordinalPosition = static_cast<uint32_t>(NumberOf(row[3]));
            record.typeName = row[4].value_or("");
            record.dataType = SqlTypeOfServerType(record.typeName);
            int64_t bytes = NumberOf(row[5]);
            bool wide = record.dataType == SQL_WCHAR || record.dataType == SQL_WVARCHAR ||
                        record.dataType == SQL_WLONGVARCHAR;
            switch (record.dataType) {
                case SQL_CHAR: case SQL_VARCHAR: case SQL_LONGVARCHAR:
                case SQL_WCHAR: case SQL_WVARCHAR: case SQL_WLONGVARCHAR:
                case SQL_BINARY: case SQL_VARBINARY: case SQL_LONGVARBINARY:
                    record.characterMaximumLength =
                        bytes < 0 ? 0x7FFFFFFF : static_cast<uint64_t>(wide ? bytes / 2 : bytes);
                    break;
                default:
                    record.numericPrecision = static_cast<int16_t>(NumberOf(row[6]));
                    record.numericScale = static_cast<int16_t>(NumberOf(row[7]));
            }
            record.isNullable = NumberOf(row[8]) != 0;
            record.hasDefault = row[9].has_value();
            record.columnDefault = row[9].value_or("");
            rows_.push_back(std::move(record));
        },
        error);
}

bool OdbcColumns::Read(CatalogCall& call, const Restrictions& r, std::string& error) {
    Argument catalog(Restriction(r, 0));
    Argument schema = Argument::Pattern(Restriction(r, 1), link().searchEscape);
    Argument table = Argument::Pattern(Restriction(r, 2), link().searchEscape);
    Argument column = Argument::Pattern(Restriction(r, 3), link().searchEscape);
    SQLRETURN rc = SQLColumnsW(call.get(), catalog.data(), catalog.length(), schema.data(), schema.length(),
                               table.data(), table.length(), column.data(), column.length());
    if (!Succeeded(rc)) {
        error = call.ErrorText();
        return false;
    }
    bool failed = false;
    while (call.Fetch(failed)) {
        ColumnRecord record;
        record.tableCatalog = call.TextOr(1);
        record.tableSchema = call.TextOr(2);
        record.tableName = call.TextOr(3);
        record.columnName = call.TextOr(4);
        record.dataType = static_cast<int16_t>(call.Number(5));
        record.typeName = call.TextOr(6);
        int64_t size = call.Number(7);
        int64_t digits = call.Number(9);
        record.isNullable = call.Number(11) != SQL_NO_NULLS;
        std::optional<std::string> fallback = call.Text(13);
        record.hasDefault = fallback.has_value();
        record.columnDefault = fallback.value_or("");
        record.ordinalPosition = static_cast<uint32_t>(call.Number(17));
        switch (record.dataType) {
            case SQL_CHAR: case SQL_VARCHAR: case SQL_LONGVARCHAR:
            case SQL_WCHAR: case SQL_WVARCHAR: case SQL_WLONGVARCHAR:
            case SQL_BINARY: case SQL_VARBINARY: case SQL_LONGVARBINARY:
                record.characterMaximumLength = static_cast<uint64_t>(std::max<int64_t>(size, 0));
                break;
            default:
                record.numericPrecision = static_cast<int16_t>(std::clamp<int64_t>(size, 0, 0x7FFF));
                record.numericScale = static_cast<int16_t>(std::clamp<int64_t>(digits, -0x8000, 0x7FFF));
        }
        rows_.push_back(std::move(record));
    }
    if (failed) {
        error = call.ErrorText();
        return false;
    }
    KeepMatching(rows_, Restriction(r, 2), [](const ColumnRecord& c) -> const std::string& { return c.tableName; });
    KeepMatching(rows_, Restriction(r, 3), [](const ColumnRecord& c) -> const std::string& { return c.columnName; });
    // Ordinal order within each table; the tables keep the driver's order.
    std::vector<std::pair<size_t, ColumnRecord>> ordered;
    std::vector<const ColumnRecord*> firstOfTable;
    for (ColumnRecord& record : rows_) {
        auto same = std::find_if(firstOfTable.begin(), firstOfTable.end(), [&](const ColumnRecord* first) {
            return first->tableCatalog == record.tableCatalog && first->tableSchema == record.tableSchema &&
                   first->tableName == record.tableName;
        });
        size_t group = static_cast<size_t>(same - firstOfTable.begin());
        if (same == firstOfTable.end()) firstOfTable.push_back(&record);
        ordered.emplace_back(group, record);
    }
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second.ordinalPosition < b.second.ordinalPosition;
    });
    for (size_t i = 0; i < ordered.size(); ++i) rows_[i] = std::move(ordered[i].second);
    return true;
}

class OdbcIndexes final : public OdbcSchemaRowset<IndexRecord> {
public:
    using OdbcSchemaRowset::OdbcSchemaRowset;

protected:
    bool Read(CatalogCall& call, const Restrictions& r, std::string& error) override;
    bool ReadFromSysViews(const Restrictions& r, std::string& error) override {
        std::string catalog = Restriction(r, 0).value_or("");
        return RunSysCatalogQuery(
            sharedLink(), SysIndexesQuery(Restriction(r, 0), Restriction(r, 1), Restriction(r, 2), Restriction(r, 4)),
            [&](const SysCatalogRow& row) {
                IndexRecord record;
                record.tableCatalog = catalog;
                record.tableSchema = row[0].value_or("");
                record.tableName = row[1].value_or("");
                record.indexName = row[2].value_or("");
                record.primaryKey = NumberOf(row[3]) != 0;
                record.unique = NumberOf(row[4]) != 0;
                record.ordinalPosition = static_cast<uint32_t>(NumberOf(row[5]));
                record.columnName = row[6].value_or("");
                rows_.push_back(std::move(record));
            },
            error);
    }

private:
    bool ReadTable(CatalogCall& call, const std::optional<std::string>& catalog,
                   const std::optional<std::string>& schema, const std::string& table, std::string& error);
};

bool OdbcIndexes::Read(CatalogCall& call, const Restrictions& r, std::string& error) {
    // Restrictions: catalog, schema, index name, type (not used: every index is a b-tree to
    // the callers), table name.
    std::vector<std::string> tables;
    if (auto table = Restriction(r, 4)) {
        tables.push_back(*table);
    } else {
        std::vector<TableRecord> all;
        if (!ReadTables(call, link(), {Restriction(r, 0), Restriction(r, 1), std::nullopt, std::string("TABLE")},
                        all, error)) {
            return false;
        }
        for (const TableRecord& t : all) tables.push_back(t.tableName);
    }
    for (const std::string& table : tables) {
        if (!ReadTable(call, Restriction(r, 0), Restriction(r, 1), table, error)) return false;
    }
    KeepMatching(rows_, Restriction(r, 2), [](const IndexRecord& i) -> const std::string& { return i.indexName; });
    return true;
}

bool OdbcIndexes::ReadTable(CatalogCall& call, const std::optional<std::string>& catalogName,
                            const std::optional<std::string>& schemaName, const std::string& tableName,
                            std::string& error) {
    Argument catalog(catalogName);
    Argument schema(schemaName);
    Argument table(tableName);
    // The primary key's name first; a driver without it leaves the flag to the name PRIMARY.
    std::string primaryKeyName;
    if (Succeeded(SQLPrimaryKeysW(call.get(), catalog.data(), catalog.length(), schema.data(),
                                  schema.length(), table.data(), table.length()))) {
        bool failed = false;
        if (call.Fetch(failed)) primaryKeyName = call.TextOr(6);
    }
    call.CloseCursor();
    SQLRETURN rc = SQLStatisticsW(call.get(), catalog.data(), catalog.length(), schema.data(), schema.length(),
                                  table.data(), table.length(), SQL_INDEX_ALL, SQL_QUICK);
    if (!Succeeded(rc)) {
        error = call.ErrorText();
        return false;
    }
    bool failed = false;
    while (call.Fetch(failed)) {
        if (call.Number(7) == SQL_TABLE_STAT) continue;  // a statistics row, not an index column
        IndexRecord record;
        record.tableCatalog = call.TextOr(1);
        record.tableSchema = call.TextOr(2);
        record.tableName = call.TextOr(3);
        record.unique = call.Number(4) == 0;
        record.indexName = call.TextOr(6);
        record.ordinalPosition = static_cast<uint32_t>(call.Number(8));
        record.columnName = call.TextOr(9);
        record.primaryKey = primaryKeyName.empty() ? record.indexName == "PRIMARY"
                                                   : record.indexName == primaryKeyName;
        rows_.push_back(std::move(record));
    }
    if (failed) {
        error = call.ErrorText();
        return false;
    }
    call.CloseCursor();
    return true;
}

}  // namespace

std::unique_ptr<CatalogsRowset> NewOdbcCatalogsRowset(std::shared_ptr<OdbcLink> link) {
    return std::make_unique<OdbcCatalogs>(std::move(link));
}
std::unique_ptr<TablesRowset> NewOdbcTablesRowset(std::shared_ptr<OdbcLink> link) {
    return std::make_unique<OdbcTables>(std::move(link));
}
std::unique_ptr<ColumnsRowset> NewOdbcColumnsRowset(std::shared_ptr<OdbcLink> link) {
    return std::make_unique<OdbcColumns>(std::move(link));
}
std::unique_ptr<IndexesRowset> NewOdbcIndexesRowset(std::shared_ptr<OdbcLink> link) {
    return std::make_unique<OdbcIndexes>(std::move(link));
}

}  // namespace velmora
