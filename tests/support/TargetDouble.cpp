#include "support/TargetDouble.h"

#include "support/DoubleBulkCopy.h"

#include <algorithm>
#include <cctype>

#include "data/WideText.h"

namespace velmora::test {
namespace {

constexpr const char* kUseRefusal =
    "USE statement is not supported to switch between databases. Use a new connection to "
    "connect to a different database.";
constexpr const char* kOtherCatalogRefusal = kCurrentDatabaseRefusal;
constexpr const char* kDatabaseListQuery = "SELECT name FROM sys.databases ORDER BY name";

// The database named by a connection's properties ("Database=" of a provider string, or the
// catalog), "master" without one.
std::string CatalogOf(const PropertySet& properties) {
    if (auto catalog = properties.FindText(kPropInitCatalog); catalog && !catalog->empty()) return *catalog;
    std::string text = properties.FindText(kPropInitProviderString).value_or("");
    size_t at = text.find("Database=");
    if (at == std::string::npos) return "master";
    std::string name = text.substr(at + 9);
    return name.substr(0, name.find(';'));
}

}  // namespace

struct ScriptedFailure {
    std::string errorText;
    ResultCode code;
};

struct TargetDouble::State {
    mutable std::mutex mutex;
    std::vector<std::string> statements;
    std::vector<StreamedStatement> streamed;
    // Exact texts (a later rule for the same text replaces the earlier one), then predicates
    // (the first that matches wins).
    std::vector<std::pair<std::string, ScriptedFailure>> exactFailures;
    std::vector<std::pair<StatementPredicate, ScriptedFailure>> failures;
    std::vector<std::pair<std::string, ScriptedResult>> exactAnswers;
    std::vector<std::pair<StatementPredicate, ScriptedResult>> answers;
    std::optional<std::string> refuseOpen;
    // Opens on this database fail this many more times (a database coming online).
    std::string offlineDatabase;
    int offlineOpens = 0;
    std::string offlineText;
    std::vector<std::pair<uint32_t, std::string>> properties{
        {kPropDbmsName, "Microsoft SQL Server"},
        {kPropDbmsVersion, "16.00.4135"},
        {kPropDataSourceName, ""},
        {kPropCurrentCatalog, "master"},
        {kPropDriverName, "libmsodbcsql-18.3.so.2.1"},
        {kPropDriverVersion, "18.03.0002"},
    };
    bool streamsRows = false;
    // Set in the mode of a server that works in one database per connection.
    bool oneDatabase = false;
    std::optional<std::string> catalogRefusal;  // the all-catalogs call fails with this text
    std::vector<std::pair<std::string, std::string>> placed;  // (database, statement)
    std::vector<CatalogRecord> catalogs;
    std::vector<TableRecord> tables;
    std::vector<ColumnRecord> columns;
    std::vector<IndexRecord> indexes;
    std::shared_ptr<DoubleBulkScript> bulk = std::make_shared<DoubleBulkScript>();
    std::string lastProvider;
    PropertySet lastProperties;
    int opens = 0;

    std::string& Property(uint32_t id) {
        for (auto& [key, value] : properties) {
            if (key == id) return value;
        }
        properties.emplace_back(id, "");
        return properties.back().second;
    }
    std::string CurrentCatalog() { return Property(kPropCurrentCatalog); }

    // "use x", "use [x];" -> x; nothing for other statements.
    static std::optional<std::string> UsedCatalog(const std::string& statement) {
        std::string text = statement;
        while (!text.empty() && (std::isspace(static_cast<unsigned char>(text.back())) || text.back() == ';')) {
            text.pop_back();
        }
        std::string head = text.substr(0, 4);
        for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (text.size() < 5 || head != "use ") return std::nullopt;
        std::string name = text.substr(4);
        name.erase(0, name.find_first_not_of(' '));
        if (name.size() >= 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
        return name;
    }

    // The database a connection works in: its own in the one-database mode, else the server's
    // current catalog.
    std::string Where(const std::string* own) { return own ? *own : CurrentCatalog(); }

    Outcome Run(const std::string& statement, const std::string* own) {
        std::lock_guard<std::mutex> lock(mutex);
        statements.push_back(statement);
        placed.emplace_back(Where(own), statement);
        Outcome outcome;
        for (const auto& [text, failure] : exactFailures) {
            if (text == statement) {
                outcome.code = failure.code;
                outcome.errorText = failure.errorText;
                return outcome;
            }
        }
        for (const auto& [matches, failure] : failures) {
            if (matches(statement)) {
                outcome.code = failure.code;
                outcome.errorText = failure.errorText;
                return outcome;
            }
        }
        for (const auto& [text, result] : exactAnswers) {
            if (text == statement) {
                outcome.result = result;
                return outcome;
            }
        }
        for (const auto& [matches, result] : answers) {
            if (matches(statement)) {
                outcome.result = result;
                return outcome;
            }
        }
        if (statement == kDatabaseListQuery) {
            outcome.result = DatabaseList();
            return outcome;
        }
        // A run lock is granted, as by a server where no other run holds the database.
        if (statement.find("EXEC @granted = sp_getapplock") != std::string::npos) {
            outcome.result = ScriptedResult::Text({""}, {{"0"}});
            return outcome;
        }
        if (auto stored = bulk->Answer(statement)) {
            outcome.result = std::move(stored);
            return outcome;
        }
        if (auto used = UsedCatalog(statement); used && own && *used != *own) {
            outcome.code = kFailure;
            outcome.errorText = kUseRefusal;
            return outcome;
        }
        if (auto used = UsedCatalog(statement); used && !own) Property(kPropCurrentCatalog) = *used;
        return outcome;
    }

    ScriptedResult DatabaseList() const {
        std::vector<ScriptedRow> rows;
        for (const CatalogRecord& catalog : catalogs) rows.push_back({catalog.catalogName});
        std::sort(rows.begin(), rows.end());
        return ScriptedResult::Text({"name"}, std::move(rows));
    }
};

namespace {

const ColumnInfo kNoColumn{};

template <typename Value>
void SetExact(std::vector<std::pair<std::string, Value>>& rules, const std::string& text, Value value) {
    for (auto& rule : rules) {
        if (rule.first == text) {
            rule.second = std::move(value);
            return;
        }
    }
    rules.emplace_back(text, std::move(value));
}

class DoubleStatement final : public StatementRowset {
public:
    DoubleStatement(std::shared_ptr<TargetDouble::State> state, std::shared_ptr<std::string> own)
        : state_(std::move(state)), own_(std::move(own)) {}

    ResultCode Create(std::string_view text) override {
        Close();
        text_ = std::string(text);
        created_ = true;
        return kSuccess;
    }
    bool BindStreamed(std::vector<StreamedValue> values) override {
        streamed_ = std::move(values);
        return true;
    }
    ResultCode Execute(const PropertySet&) override {
        if (!created_) return kFailure;
        if (!streamed_.empty()) Receive();
        TargetDouble::Outcome outcome = state_->Run(text_, own_.get());
        errorText_ = outcome.errorText;
        if (outcome.code != kSuccess) return outcome.code;
        result_ = std::move(outcome.result);
        return kSuccess;
    }
    bool HasRowset() const override { return result_.has_value(); }
    ResultCode BindAllAsText(bool) override { return result_ ? kSuccess : kFailure; }
    ResultCode MoveNext() override {
        if (!result_) return kFailure;
        if (next_ >= result_->rows.size()) return kEndOfRowset;
        row_ = &result_->rows[next_++];
        return kSuccess;
    }
    int ColumnCount() const override { return result_ ? static_cast<int>(result_->columns.size()) : 0; }
    const ColumnInfo& Column(int index) const override {
        return index >= 0 && index < ColumnCount() ? result_->columns[static_cast<size_t>(index)] : kNoColumn;
    }
    std::string_view Value(int index) const override {
        const std::optional<std::string>* cell = Cell(index);
        return cell && *cell ? std::string_view(**cell) : std::string_view();
    }
    size_t Length(int index) const override { return Value(index).size(); }
    bool IsNull(int index) const override {
        const std::optional<std::string>* cell = Cell(index);
        return !cell || !*cell;
    }
    void Close() override {
        result_.reset();
        row_ = nullptr;
        next_ = 0;
        created_ = false;
        streamed_.clear();
    }
    std::string ProviderErrorText() const override { return errorText_.empty() ? "Unknown Error!" : errorText_; }

private:
    // Takes the streamed values piece by piece, as a driver's SQLPutData does, and records them.
    void Receive() {
        StreamedStatement record{text_, {}};
        for (const StreamedValue& value : streamed_) {
            StreamedParameter& received = record.parameters.emplace_back();
            received.text = value.IsText();
            std::u16string units;
            ForEachPiece(value, [&](const void* data, size_t bytes) {
                ++received.pieces;
                received.largestPiece = std::max(received.largestPiece, bytes);
                if (value.IsText()) {
                    units.append(static_cast<const char16_t*>(data), bytes / sizeof(char16_t));
                } else {
                    received.value.append(static_cast<const char*>(data), bytes);
                }
                return true;
            });
            if (value.IsText()) received.value = Utf16ToUtf8(units);
        }
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->streamed.push_back(std::move(record));
    }

    const std::optional<std::string>* Cell(int index) const {
        if (!row_ || index < 0 || static_cast<size_t>(index) >= row_->size()) return nullptr;
        return &(*row_)[static_cast<size_t>(index)];
    }

    std::shared_ptr<TargetDouble::State> state_;
    std::shared_ptr<std::string> own_;
    std::string text_;
    std::vector<StreamedValue> streamed_;
    bool created_ = false;
    std::optional<ScriptedResult> result_;
    const ScriptedRow* row_ = nullptr;
    size_t next_ = 0;
    std::string errorText_;
};

bool Allows(const std::optional<std::string>& restriction, const std::string& value) {
    return !restriction || *restriction == value;
}

std::optional<std::string> At(const std::vector<std::optional<std::string>>& r, size_t i) {
    return i < r.size() ? r[i] : std::nullopt;
}

// A catalog rowset over a copy of the scripted records that pass `keep`.
template <typename Record>
class DoubleSchemaRowset final : public SchemaRowset<Record> {
public:
    // Sets its last argument to the server's refusal when the call is refused.
    using Filter = std::function<std::vector<Record>(TargetDouble::State&, const std::vector<std::optional<std::string>>&,
                                                     std::string&)>;
    DoubleSchemaRowset(std::shared_ptr<TargetDouble::State> state, Filter filter)
        : state_(std::move(state)), filter_(std::move(filter)) {}

    ResultCode Open(const std::vector<std::optional<std::string>>& restrictions) override {
        std::lock_guard<std::mutex> lock(state_->mutex);
        refusal_.clear();
        rows_ = filter_(*state_, restrictions, refusal_);
        next_ = 0;
        open_ = refusal_.empty();
        return open_ ? kSuccess : kFailure;
    }
    ResultCode MoveNext() override {
        if (!open_) return kFailure;
        if (next_ >= rows_.size()) return kEndOfRowset;
        current_ = rows_[next_++];
        return kSuccess;
    }
    const Record& Current() const override { return current_; }
    void Close() override {
        rows_.clear();
        open_ = false;
    }
    std::string ProviderErrorText() const override { return refusal_.empty() ? "Unknown Error!" : refusal_; }

private:
    std::shared_ptr<TargetDouble::State> state_;
    Filter filter_;
    std::string refusal_;
    std::vector<Record> rows_;
    size_t next_ = 0;
    bool open_ = false;
    Record current_;
};

template <typename Record, typename Keep>
std::vector<Record> Select(const std::vector<Record>& records, Keep keep) {
    std::vector<Record> kept;
    std::copy_if(records.begin(), records.end(), std::back_inserter(kept), keep);
    return kept;
}

class DoubleSession final : public Session {
public:
    DoubleSession(std::shared_ptr<TargetDouble::State> state, std::shared_ptr<std::string> own)
        : state_(std::move(state)), own_(std::move(own)) {}

    std::unique_ptr<StatementRowset> NewStatement() override { return std::make_unique<DoubleStatement>(state_, own_); }
    std::unique_ptr<CatalogsRowset> NewCatalogsRowset() override {
        return std::make_unique<DoubleSchemaRowset<CatalogRecord>>(state_, [](auto& s, const auto& r, std::string& refusal) {
            if (!At(r, 0) && s.catalogRefusal) refusal = *s.catalogRefusal;
            return Select(s.catalogs, [&](const CatalogRecord& c) { return Allows(At(r, 0), c.catalogName); });
        });
    }
    std::unique_ptr<TablesRowset> NewTablesRowset() override {
        return std::make_unique<DoubleSchemaRowset<TableRecord>>(state_, [own = own_](auto& s, const auto& r, std::string& refusal) {
            std::string catalog = InCatalog(s, own.get(), At(r, 0), refusal);
            return Select(s.tables, [&](const TableRecord& t) {
                return t.tableCatalog == catalog && Allows(At(r, 1), t.tableSchema) &&
                       Allows(At(r, 2), t.tableName) && Allows(At(r, 3), t.tableType);
            });
        });
    }
    std::unique_ptr<ColumnsRowset> NewColumnsRowset() override {
        return std::make_unique<DoubleSchemaRowset<ColumnRecord>>(state_, [own = own_](auto& s, const auto& r, std::string& refusal) {
            std::string catalog = InCatalog(s, own.get(), At(r, 0), refusal);
            return Select(s.columns, [&](const ColumnRecord& c) {
                return c.tableCatalog == catalog && Allows(At(r, 1), c.tableSchema) &&
                       Allows(At(r, 2), c.tableName) && Allows(At(r, 3), c.columnName);
            });
        });
    }
    std::unique_ptr<IndexesRowset> NewIndexesRowset() override {
        return std::make_unique<DoubleSchemaRowset<IndexRecord>>(state_, [own = own_](auto& s, const auto& r, std::string& refusal) {
            std::string catalog = InCatalog(s, own.get(), At(r, 0), refusal);
            return Select(s.indexes, [&](const IndexRecord& i) {
                return i.tableCatalog == catalog && Allows(At(r, 1), i.tableSchema) &&
                       Allows(At(r, 2), i.indexName) && Allows(At(r, 4), i.tableName);
            });
        });
    }
    std::string ProviderErrorText() const override { return "Unknown Error!"; }
    std::unique_ptr<BulkLoad> NewBulkLoad() override { return state_->bulk->NewLoad(); }
    bool StreamsValues() const override { return true; }
    bool StreamsRows() const override {
        std::lock_guard<std::mutex> lock(state_->mutex);
        return state_->streamsRows;
    }

private:
    // The catalog a catalog call reads: the one it names, else the connection's current one. A
    // connection of the one-database mode refuses to name another.
    static std::string InCatalog(TargetDouble::State& s, const std::string* own,
                                 const std::optional<std::string>& named, std::string& refusal) {
        std::string current = s.Where(own);
        if (named && own && *named != current) refusal = kOtherCatalogRefusal;
        return named.value_or(current);
    }

    std::shared_ptr<TargetDouble::State> state_;
    std::shared_ptr<std::string> own_;
};

}  // namespace

ScriptedResult ScriptedResult::Text(const std::vector<std::string>& names, std::vector<ScriptedRow> rows) {
    ScriptedResult result;
    for (const std::string& name : names) {
        ColumnInfo column;
        column.name = name;
        column.type = kTypeWStr;
        column.sqlType = SQL_WVARCHAR;
        result.columns.push_back(column);
    }
    result.rows = std::move(rows);
    return result;
}

TargetDouble::TargetDouble(bool connected) : state_(std::make_shared<State>()), opened_(connected) {
    if (connected) session_ = std::make_unique<DoubleSession>(state_, nullptr);
}

TargetDouble::~TargetDouble() = default;

void TargetDouble::AnswerWith(const std::string& statement, ScriptedResult result) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    SetExact(state_->exactAnswers, statement, std::move(result));
}

void TargetDouble::AnswerWhen(StatementPredicate matches, ScriptedResult result) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->answers.emplace_back(std::move(matches), std::move(result));
}

void TargetDouble::FailOn(const std::string& statement, std::string errorText, ResultCode code) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    SetExact(state_->exactFailures, statement, ScriptedFailure{std::move(errorText), code});
}

void TargetDouble::FailWhen(StatementPredicate matches, std::string errorText, ResultCode code) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->failures.emplace_back(std::move(matches), ScriptedFailure{std::move(errorText), code});
}

void TargetDouble::RefuseOpen(std::string errorText) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->refuseOpen = std::move(errorText);
}

void TargetDouble::RefuseOpenOn(const std::string& database, int times, std::string errorText) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->offlineDatabase = database;
    state_->offlineOpens = times;
    state_->offlineText = std::move(errorText);
}

void TargetDouble::SetProperty(uint32_t id, std::string value) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->Property(id) = std::move(value);
}

void TargetDouble::SetStreamsRows(bool streams) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->streamsRows = streams;
}

void TargetDouble::AddCatalog(const std::string& name) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->catalogs.push_back(CatalogRecord{name, ""});
}

void TargetDouble::AddTable(const std::string& catalog, const std::string& name, const std::string& type,
                            const std::string& schema) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->tables.push_back(TableRecord{catalog, schema, name, type, ""});
}

void TargetDouble::AddColumn(const std::string& catalog, const std::string& table, const std::string& column,
                             int16_t dataType, const std::string& typeName) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    ColumnRecord record;
    record.tableCatalog = catalog;
    record.tableSchema = "dbo";
    record.tableName = table;
    record.columnName = column;
    record.dataType = dataType;
    record.typeName = typeName;
    uint32_t ordinal = 1;
    for (const ColumnRecord& other : state_->columns) {
        if (other.tableCatalog == catalog && other.tableName == table) ++ordinal;
    }
    record.ordinalPosition = ordinal;
    state_->columns.push_back(std::move(record));
}

void TargetDouble::AddIndex(const std::string& catalog, const std::string& table, const std::string& index,
                            const std::string& column, bool primaryKey, bool unique) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    IndexRecord record;
    record.tableCatalog = catalog;
    record.tableSchema = "dbo";
    record.tableName = table;
    record.indexName = index;
    record.primaryKey = primaryKey;
    record.unique = unique || primaryKey;
    record.columnName = column;
    uint32_t ordinal = 1;
    for (const IndexRecord& other : state_->indexes) {
        if (other.tableCatalog == catalog && other.tableName == table && other.indexName == index) ++ordinal;
    }
    record.ordinalPosition = ordinal;
    state_->indexes.push_back(std::move(record));
}

std::vector<std::string> TargetDouble::Statements() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->statements;
}

std::vector<StreamedStatement> TargetDouble::StreamedStatements() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->streamed;
}

void TargetDouble::ClearStatements() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->statements.clear();
    state_->streamed.clear();
    state_->placed.clear();
}

DoubleBulkScript& TargetDouble::Bulk() { return *state_->bulk; }

void TargetDouble::ClearAnswers() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->answers.clear();
}

std::string TargetDouble::currentCatalog() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->CurrentCatalog();
}

void TargetDouble::WorkInOneDatabase(std::optional<std::string> allCatalogsRefusal) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->oneDatabase = true;
    state_->catalogRefusal = std::move(allCatalogsRefusal);
    own_ = std::make_shared<std::string>(state_->CurrentCatalog());
    if (session_) session_ = std::make_unique<DoubleSession>(state_, own_);
}

void TargetDouble::FailCatalogCall(std::string errorText) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->catalogRefusal = std::move(errorText);
}

std::unique_ptr<TargetDouble> TargetDouble::NewConnection() const {
    auto other = std::make_unique<TargetDouble>(false);
    other->state_ = state_;
    return other;
}

std::vector<std::string> TargetDouble::StatementsOn(const std::string& catalog) const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    std::vector<std::string> on;
    for (const auto& [where, statement] : state_->placed) {
        if (where == catalog) on.push_back(statement);
    }
    return on;
}

std::string TargetDouble::openedOn() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return own_ ? *own_ : state_->CurrentCatalog();
}

std::string TargetDouble::lastOpenProvider() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->lastProvider;
}

PropertySet TargetDouble::lastOpenProperties() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->lastProperties;
}

int TargetDouble::openCount() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->opens;
}

ResultCode TargetDouble::Open(std::string_view provider, const PropertySet& initProperties) {
    Close();
    std::lock_guard<std::mutex> lock(state_->mutex);
    ++state_->opens;
    state_->lastProvider = std::string(provider);
    state_->lastProperties = initProperties;
    if (state_->refuseOpen) return kFailure;
    if (state_->offlineOpens > 0 && CatalogOf(initProperties) == state_->offlineDatabase) {
        --state_->offlineOpens;
        refusal_ = state_->offlineText;
        return kFailure;
    }
    refusal_.clear();
    if (state_->oneDatabase) own_ = std::make_shared<std::string>(CatalogOf(initProperties));
    opened_ = true;
    return kSuccess;
}

ResultCode TargetDouble::OpenSession() {
    if (!opened_) return kNotConnected;
    session_ = std::make_unique<DoubleSession>(state_, own_);
    return kSuccess;
}

Session* TargetDouble::session() { return session_.get(); }

ResultCode TargetDouble::GetProperty(uint32_t id, std::string& value) {
    if (!session_ && !opened_) return kNotConnected;
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (id == kPropCurrentCatalog && own_) {
        value = *own_;
        return kSuccess;
    }
    for (const auto& [key, text] : state_->properties) {
        if (key == id) {
            value = text;
            return kSuccess;
        }
    }
    return kFailure;
}

void TargetDouble::Close() {
    session_.reset();
    opened_ = false;
}

std::string TargetDouble::ProviderErrorText() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (!refusal_.empty()) return refusal_;
    return state_->refuseOpen.value_or("Unknown Error!");
}

}  // namespace velmora::test
