#include "support/DoubleBulkCopy.h"

namespace velmora::test {

class DoubleBulkLoad final : public BulkLoad {
public:
    explicit DoubleBulkLoad(std::shared_ptr<DoubleBulkScript> script) : script_(std::move(script)) {}

    bool Begin(const std::string& table, const std::vector<BulkColumn>& columns, bool keepIdentity) override {
        std::lock_guard<std::mutex> lock(script_->mutex_);
        if (script_->beginFailure_) {
            error_ = *script_->beginFailure_;
            return false;
        }
        script_->copies_.push_back({table, columns, keepIdentity, {}, 0, false});
        copy_ = script_->copies_.size() - 1;
        begun_ = true;
        return true;
    }

    bool SendRow(const std::vector<BulkField>& row) override {
        if (!begun_ || failed_) return Refuse("the bulk copy is not open");
        std::lock_guard<std::mutex> lock(script_->mutex_);
        const std::vector<BulkColumn>& columns = script_->copies_[copy_].columns;
        ScriptedRow stored;
        for (size_t i = 0; i < row.size() && i < columns.size(); ++i) {
            if (row[i].null) {
                stored.push_back(std::nullopt);
            } else if (columns[i].kind == BulkValueKind::Bytes) {
                stored.push_back(Hex(row[i].data));
            } else {
                stored.push_back(Misread(std::string(row[i].data)));
            }
        }
        waiting_.push_back(std::move(stored));
        return true;
    }

    int64_t Batch() override { return Commit(); }
    int64_t Done() override { return Commit(); }
    std::string ErrorText() const override { return error_; }

private:
    bool Refuse(std::string why) {
        error_ = std::move(why);
        return false;
    }

    static std::string Hex(std::string_view bytes) {
        static const char kDigits[] = "0123456789ABCDEF";
        std::string hex;
        for (unsigned char c : bytes) {
            hex.push_back(kDigits[c >> 4]);
            hex.push_back(kDigits[c & 0x0F]);
        }
        return hex;
    }

    std::string Misread(std::string value) const {
        for (const auto& [sent, stored] : script_->misreads_) {
            if (value == sent) return stored;
        }
        return value;
    }

    int64_t Commit() {
        if (!begun_ || failed_) return -1;
        std::lock_guard<std::mutex> lock(script_->mutex_);
        BulkCopyRecord& copy = script_->copies_[copy_];
        const int call = ++script_->calls_;
        for (const auto& failure : script_->batchFailures_) {
            if (failure.call != call) continue;
            const size_t kept = std::min(failure.kept, waiting_.size());
            copy.stored.insert(copy.stored.end(), waiting_.begin(), waiting_.begin() + static_cast<long>(kept));
            waiting_.clear();
            copy.failed = failed_ = true;
            error_ = failure.errorText;
            return -1;
        }
        const auto rows = static_cast<int64_t>(waiting_.size());
        copy.stored.insert(copy.stored.end(), waiting_.begin(), waiting_.end());
        waiting_.clear();
        ++copy.batches;
        return rows;
    }

    std::shared_ptr<DoubleBulkScript> script_;
    size_t copy_ = 0;
    bool begun_ = false;
    bool failed_ = false;
    std::vector<ScriptedRow> waiting_;
    std::string error_;
};

void DoubleBulkScript::Offer() {
    std::lock_guard<std::mutex> lock(mutex_);
    offered_ = true;
}

void DoubleBulkScript::FailBegin(std::string errorText) {
    std::lock_guard<std::mutex> lock(mutex_);
    beginFailure_ = std::move(errorText);
}

void DoubleBulkScript::FailBatch(int call, std::string errorText, size_t kept) {
    std::lock_guard<std::mutex> lock(mutex_);
    batchFailures_.push_back({call, std::move(errorText), kept});
}

void DoubleBulkScript::Misread(std::string sent, std::string stored) {
    std::lock_guard<std::mutex> lock(mutex_);
    misreads_.emplace_back(std::move(sent), std::move(stored));
}

std::vector<BulkCopyRecord> DoubleBulkScript::Copies() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return copies_;
}

int DoubleBulkScript::LoadsHandedOut() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return loads_;
}

std::unique_ptr<BulkLoad> DoubleBulkScript::NewLoad() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!offered_) return nullptr;
    ++loads_;
    return std::make_unique<DoubleBulkLoad>(shared_from_this());
}

std::optional<ScriptedResult> DoubleBulkScript::Answer(const std::string& statement) const {
    if (statement.rfind("SELECT ", 0) != 0) return std::nullopt;
    std::lock_guard<std::mutex> lock(mutex_);
    std::optional<ScriptedResult> result;
    for (const BulkCopyRecord& copy : copies_) {
        if (statement.find(" FROM " + copy.table + " ORDER BY ") == std::string::npos) continue;
        if (!result) {
            std::vector<std::string> names;
            for (size_t i = 0; i < copy.columns.size(); ++i) names.push_back("c" + std::to_string(i + 1));
            result = ScriptedResult::Text(names);
        }
        result->rows.insert(result->rows.end(), copy.stored.begin(), copy.stored.end());
    }
    return result;
}

}  // namespace velmora::test
