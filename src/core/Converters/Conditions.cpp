#include "Converters/Conditions.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "translation/Naming.h"
#include "Converters/SourceQuery.h"
#include "tasks/OperationLog.h"
#include "config/ProfileFile.h"

namespace velmora {
namespace {

// Rows QuerySingleValue looks at, at most.
constexpr int kQueryRowLimit = 100;

bool AllDigits(std::string_view text) {
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The leading integer of `text` as atoi reads it, reduced to its sign.
bool LeadingIntegerNegative(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    if (i + 1 >= text.size() || text[i] != '-') return false;
    std::string_view digits = text.substr(i + 1);
    size_t end = 0;
    while (end < digits.size() && digits[end] >= '0' && digits[end] <= '9') ++end;
    return digits.substr(0, end).find_first_not_of('0') != std::string_view::npos;
}

// `text` cut to at most `limit` UTF-8 characters.
std::string_view CutCharacters(std::string_view text, size_t limit) {
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (characters++ == limit) return text.substr(0, i);
    }
    return text;
}

}  // namespace

std::string EncodeConditionValue(std::string_view condition) {
    std::string out;
    out.reserve(condition.size());
    for (char c : condition) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string DecodeConditionValue(std::string_view stored) {
    std::string out;
    out.reserve(stored.size());
    for (size_t i = 0; i < stored.size(); ++i) {
        char c = stored[i];
        if (c == '\\' && i + 1 < stored.size()) {
            char next = stored[i + 1];
            if (next == '\\' || next == 'n' || next == 'r') {
                out.push_back(next == '\\' ? '\\' : next == 'n' ? '\n' : '\r');
                ++i;
                continue;
            }
        }
        out.push_back(c);
    }
    return out;
}

bool EnsureConditionFile(const std::string& path) {
    if (std::FILE* existing = std::fopen(path.c_str(), "r")) {
        std::fclose(existing);
        return true;
    }
    std::FILE* created = std::fopen(path.c_str(), "w");
    if (!created) return false;
    return std::fclose(created) == 0;
}

std::string LookupCondition(const std::string& path, std::string_view database,
                            std::string_view table) {
    return DecodeConditionValue(
        ReadProfileString(path, database, table, "", kConditionBufferSize));
}

bool SaveCondition(const std::string& path, std::string_view database, std::string_view table,
                   std::string_view condition) {
    if (database.find_first_of("[]\r\n") != std::string_view::npos) return false;
    return WriteProfileString(path, database, table, EncodeConditionValue(condition));
}

std::string ConditionTooltipText(const std::string& path, std::string_view database,
                                 std::string_view table) {
    std::string condition = LookupCondition(path, database, table);
    return condition.empty() ? "Convert All" : "Condition : " + condition;
}

std::string QuerySingleValue(OperationLog& log, Session* session, std::string_view query,
                             int resultLineFlag) {
    if (!session) {
        log.WriteText(kNoConnectionText);
        return {};
    }
    auto rowset = session->NewStatement();
    if (!rowset) return "Unknown Error!";
    std::string answer = std::string(kResultSuccessText);
    if (rowset->Create(query) != kSuccess ||
        rowset->Execute(StandardRowsetProperties()) != kSuccess) {
        answer = rowset->ProviderErrorText();
    } else if (rowset->HasRowset()) {
        if (rowset->BindAllAsText() != kSuccess) {
            answer = rowset->ProviderErrorText();
        } else {
            bool found = false;
            for (int row = 0; row < kQueryRowLimit && !found && rowset->MoveNext() == kSuccess;
                 ++row) {
                for (int column = 0; column < rowset->ColumnCount() && !found; ++column) {
                    if (resultLineFlag == 1) log.WriteText(kResultSuccessText);
                    if (rowset->IsNull(column)) {
                        log.WriteText("(NULL)");
                    } else if (!LeadingIntegerNegative(rowset->Value(column))) {
                        answer = std::string(rowset->Value(column));
                        found = true;
                    }
                }
            }
        }
    }
    rowset->Close();
    return answer;
}

ConditionDialogModel::ConditionDialogModel(OperationLog& log, Session* source,
                                           std::string conditionFilePath, std::string database,
                                           std::string table)
    : log_(log),
      source_(source),
      path_(std::move(conditionFilePath)),
      database_(std::move(database)),
      table_(std::move(table)) {
    EnsureConditionFile(path_);
    queryLabel_ = "select * from " + table_ + " where";
    conditionText_ = LookupCondition(path_, database_, table_);
}

void ConditionDialogModel::SetConditionText(std::string_view text) {
    if (closed_) return;
    conditionText_ = std::string(CutCharacters(text, kConditionEditorLimit));
}

void ConditionDialogModel::Test() {
    if (closed_) return;
    testedCondition_ = conditionText_;
    std::string query = "select count(*) from " + QuoteSourceName(table_);
    if (!testedCondition_.empty()) query += " where " + testedCondition_;
    Session* source = source_;
    std::string answer = QuerySingleValue(log_, source, query, 0);
    std::string reason;
    if (!source) {
        reason = kNoConnectionText;
    } else if (!AllDigits(answer)) {
        reason = answer;
    } else if (EncodeConditionValue(testedCondition_).size() >= kConditionBufferSize) {
        reason = "The condition is too long to be stored: at most " +
                 std::to_string(kConditionBufferSize - 1) + " characters can be read back.";
    }
    if (reason.empty()) {
        resultText_ = "Test successfully!\r\n  " + answer + " Records can be converted.";
        saveEnabled_ = true;
    } else {
        resultText_ = "Test failed!\r\n  Because:  " + reason;
        saveEnabled_ = false;
    }
}

bool ConditionDialogModel::Save() {
    if (closed_ || !saveEnabled_) return false;
    saveEnabled_ = false;
    if (!SaveCondition(path_, database_, table_, testedCondition_)) {
        resultText_ = "Save failed!\r\n  Because:  " + path_ + " cannot be written.";
        return false;
    }
    return true;
}

}  // namespace velmora
