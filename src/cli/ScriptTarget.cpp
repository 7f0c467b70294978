#include "ScriptTarget.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "translation/BatchSafety.h"

namespace velmora::cli {
namespace {

// Catalogs of the script target: always empty.
template <typename Record>
class EmptyRowset : public SchemaRowset<Record> {
public:
    ResultCode Open(const std::vector<std::optional<std::string>>&) override { return kSuccess; }
    ResultCode MoveNext() override { return kEndOfRowset; }
    const Record& Current() const override { return record_; }
    void Close() override {}
    std::string ProviderErrorText() const override { return "Unknown Error!"; }

private:
    Record record_;
};

class ScriptStatement : public StatementRowset {
public:
    explicit ScriptStatement(ScriptTarget& target) : target_(target) {}
    ResultCode Create(std::string_view text) override {
        text_ = std::string(text);
        return kSuccess;
    }
    ResultCode Execute(const PropertySet&) override {
        // No text from the source may end the batch or open a command of the splitter. A
        // statement on one line (every row INSERT) is written as it stands, without a copy.
        const std::optional<std::string> refusal = RefusalAsItStands(text_);
        const BatchSafeText safe = refusal ? BatchSafeText{"", *refusal} : MakeBatchSafe(text_);
        if (!safe.ok()) {
            error_ = "The statement is not written into the script: " + safe.refusal;
            return kFailure;
        }
        if (target_.Append(refusal ? std::string_view(text_) : std::string_view(safe.text))) return kSuccess;
        error_ = "Cannot write the script " + target_.scriptPath() + ": " + std::strerror(errno);
        return kFailure;
    }
    bool HasRowset() const override { return false; }
    ResultCode BindAllAsText(bool) override { return kFailure; }
    ResultCode MoveNext() override { return kEndOfRowset; }
    int ColumnCount() const override { return 0; }
    const ColumnInfo& Column(int) const override { return none_; }
    std::string_view Value(int) const override { return {}; }
    size_t Length(int) const override { return 0; }
    bool IsNull(int) const override { return true; }
    void Close() override {}
    std::string ProviderErrorText() const override {
        return error_.empty() ? "Unknown Error!" : error_;
    }

private:
    ScriptTarget& target_;
    std::string text_;
    std::string error_;
    ColumnInfo none_;
};

class ScriptSession : public Session {
public:
    explicit ScriptSession(ScriptTarget& target) : target_(target) {}
    std::unique_ptr<StatementRowset> NewStatement() override {
        return std::make_unique<ScriptStatement>(target_);
    }
    std::unique_ptr<CatalogsRowset> NewCatalogsRowset() override {
        return std::make_unique<EmptyRowset<CatalogRecord>>();
    }
    std::unique_ptr<TablesRowset> NewTablesRowset() override {
        return std::make_unique<EmptyRowset<TableRecord>>();
    }
    std::unique_ptr<ColumnsRowset> NewColumnsRowset() override {
        return std::make_unique<EmptyRowset<ColumnRecord>>();
    }
    std::unique_ptr<IndexesRowset> NewIndexesRowset() override {
        return std::make_unique<EmptyRowset<IndexRecord>>();
    }
    std::string ProviderErrorText() const override { return "Unknown Error!"; }
    bool Annotate(std::string_view comment) override { return target_.AppendComment(comment); }

private:
    ScriptTarget& target_;
};

}  // namespace

std::string ScriptFileName(const std::string& database) {
    std::string name = database.empty() ? "target" : database;
    for (char& c : name) {
        if (c == '/' || c == '\\' || c == ':' || c == '\0') c = '_';
    }
    if (name == "." || name == "..") name = "_" + name;
    return name + ".sql";
}

ScriptTarget::ScriptTarget(std::string folder, std::string database)
    : folder_(std::move(folder)),
      database_(std::move(database)),
      path_(folder_ + "/" + ScriptFileName(database_)) {}

ScriptTarget::~ScriptTarget() { Close(); }

ResultCode ScriptTarget::Open(std::string_view, const PropertySet&) {
    Close();
    mkdir(folder_.c_str(), 0755);
    std::lock_guard<std::mutex> lock(mutex_);
    file_ = std::fopen(path_.c_str(), "w");
    if (!file_) {
        error_ = "Cannot create the script " + path_ + ": " + std::strerror(errno);
        return kFailure;
    }
    std::time_t now = std::time(nullptr);
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
    std::fprintf(file_,
                 "-- Velmora migration script, written %s\n"
                 "-- Run it with: sqlcmd -x -S SERVER -U USER -i %s\n"
                 "SET QUOTED_IDENTIFIER ON;\nGO\n",
                 stamp, ScriptFileName(database_).c_str());
    std::fflush(file_);
    return kSuccess;
}

ResultCode ScriptTarget::OpenSession() {
    if (!file_) return kNotConnected;
    session_ = std::make_unique<ScriptSession>(*this);
    return kSuccess;
}

Session* ScriptTarget::session() { return session_.get(); }

ResultCode ScriptTarget::GetProperty(uint32_t id, std::string& value) {
    switch (id) {
        case kPropDbmsName: value = "Microsoft SQL Server (script)"; return kSuccess;
        case kPropDbmsVersion: value = "offline"; return kSuccess;
        case kPropDataSourceName: value = folder_; return kSuccess;
        case kPropCurrentCatalog: value = database_; return kSuccess;
        default: return kFailure;
    }
}

void ScriptTarget::Close() {
    session_.reset();
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_) {
        if (std::fclose(file_) != 0) error_ = "Cannot finish the script " + path_;
        file_ = nullptr;
    }
}

std::string ScriptTarget::ProviderErrorText() const {
    return error_.empty() ? "Unknown Error!" : error_;
}

size_t ScriptTarget::statementCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return statements_;
}

bool ScriptTarget::Append(std::string_view statement) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_) return false;
    bool ok = std::fwrite(statement.data(), 1, statement.size(), file_) == statement.size();
    if (statement.empty() || statement.back() != '\n') ok = ok && std::fputc('\n', file_) != EOF;
    ok = ok && std::fputs("GO\n", file_) != EOF;
    if (ok) ++statements_;
    // Flushed now and then, and at Close: a write error shows up within a thousand statements.
    if (ok && statements_ % 1000 == 0) ok = std::fflush(file_) == 0;
    return ok;
}

bool ScriptTarget::AppendComment(std::string_view comment) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_) return false;
    bool ok = std::fwrite(comment.data(), 1, comment.size(), file_) == comment.size();
    if (!comment.empty() && comment.back() != '\n') ok = ok && std::fputc('\n', file_) != EOF;
    return ok;
}

}  // namespace velmora::cli

namespace velmora::cli {

ResultCode ScriptTargetHandle::Open(std::string_view provider, const PropertySet& initProperties) {
    if (script_.session()) return kSuccess;
    return script_.Open(provider, initProperties);
}

ResultCode ScriptTargetHandle::OpenSession() {
    return script_.session() ? kSuccess : script_.OpenSession();
}

}  // namespace velmora::cli
