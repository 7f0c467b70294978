#include "Converters/SourceQuery.h"

#include "tasks/OperationLog.h"
#include "data/ErrorText.h"

namespace velmora {

SourceQuery::SourceQuery(OperationLog& log, Session* session, std::string_view text,
                         bool logFailures, const PropertySet& properties) {
    auto report = [&](std::string_view line) {
        if (logFailures) log.WriteText(line);
        failureLogged_ = logFailures;
        reason_ = std::string(line);
    };
    if (!session) {
        report(kNoConnectionText);
        failure_ = std::string(kNoConnectionText);
        return;
    }
    rowset_ = session->NewStatement();
    if (!rowset_) {
        report("Unknown Error!");
        failure_ = std::string(kFalseText);
        return;
    }
    if (rowset_->Create(text) != kSuccess ||
        rowset_->Execute(properties) != kSuccess) {
        report(rowset_->ProviderErrorText());
        reason_ = rowset_->MostInformativeError();
        failure_ = std::string(kFalseText);
        return;
    }
    if (!rowset_->HasRowset()) {
        report(kResultSuccessText);
        reason_ = "the query returned no rows";
        failure_ = std::string(kResultSuccessText);
        return;
    }
    if (rowset_->BindAllAsText() != kSuccess) {
        failure_ = rowset_->ProviderErrorText();
        reason_ = rowset_->MostInformativeError();
        return;
    }
}

SourceQuery::~SourceQuery() {
    if (rowset_) rowset_->Close();
}

bool SourceQuery::Next() {
    if (!ok()) return false;
    ResultCode result = rowset_->MoveNext();
    fetchFailed_ = result != kSuccess && result != kEndOfRowset;
    return result == kSuccess;
}

std::string_view SourceQuery::Value(int index) const {
    if (index < 0 || index >= rowset_->ColumnCount()) return {};
    return rowset_->Value(index);
}

bool SourceQuery::IsNull(int index) const {
    if (index < 0 || index >= rowset_->ColumnCount()) return true;
    return rowset_->IsNull(index);
}

std::optional<std::vector<TableRecord>> ReadSourceCatalog(OperationLog& log, Session* source,
                                                          const char* type,
                                                          const char* failureMessage) {
    std::unique_ptr<TablesRowset> catalog = source ? source->NewTablesRowset() : nullptr;
    ResultCode result = source ? kFailure : kNotConnected;
    if (catalog) {
        result = catalog->Open({std::nullopt, std::nullopt, std::nullopt, std::string(type)});
    }
    if (result != kSuccess) {
        log.WriteText(FormatProviderError(failureMessage, result));
        return std::nullopt;
    }
    std::vector<TableRecord> records;
    while (catalog->MoveNext() == kSuccess) records.push_back(catalog->Current());
    catalog->Close();
    return records;
}

std::string SourceStringLiteral(std::string_view text) {
    bool plain = true;
    for (unsigned char c : text) {
        if (c == '\\' || c < 0x20) plain = false;
    }
    if (plain) {
        std::string out = "'";
        for (char c : text) {
            out.push_back(c);
            if (c == '\'') out.push_back('\'');
        }
        return out + "'";
    }
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out = "_utf8mb4 X'";
    for (unsigned char c : text) {
        out.push_back(kDigits[c >> 4]);
        out.push_back(kDigits[c & 0x0F]);
    }
    return out + "'";
}

std::string ReadDefinition(OperationLog& log, Session* source, const std::string& statement,
                           std::string* readFailure) {
    SourceQuery query(log, source, statement);
    if (!query.ok()) {
        if (readFailure) *readFailure = query.reason();
        return query.failureText();
    }
    std::string definition;
    bool found = false;
    while (query.Next()) {
        definition.assign(query.Value(1));
        found = true;
    }
    if (query.fetchFailed() || !found) {
        if (readFailure) {
            *readFailure = query.fetchFailed() ? query.rows().MostInformativeError()
                                               : "the server returned no definition";
        }
        return std::string(kFalseText);
    }
    return definition;
}

}  // namespace velmora
