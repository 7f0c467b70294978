#include "data/StatementExecution.h"

#include <chrono>
#include <thread>

#include "data/DataAccess.h"
#include "data/ErrorText.h"
#include "tasks/OperationLog.h"

namespace velmora {

namespace {

// ExecuteStatement, with `values` bound to the statement's markers when it has any.
bool Execute(OperationLog& log, Session* session, const std::string& text, int successLineFlag,
             std::string* whyFailed, std::vector<StreamedValue>* values) {
    if (!session) {
        log.WriteText(NoConnectionText());
        if (whyFailed) *whyFailed = "there is no connection";
        return false;
    }
    std::unique_ptr<StatementRowset> statement = session->NewStatement();
    bool ran = statement->Create(text) >= 0 &&
               (!values || statement->BindStreamed(std::move(*values))) &&
               statement->Execute(StandardRowsetProperties()) == kSuccess;
    if (!ran && whyFailed) *whyFailed = statement->MostInformativeError();
    // A rowset that came back is closed unread; only a statement without rows earns the line.
    if (ran && !statement->HasRowset() && successLineFlag == 1) log.WriteText(kSuccessLine);
    statement->Close();
    return ran;
}

}  // namespace

bool ExecuteStatement(OperationLog& log, Session* session, const std::string& text,
                      int successLineFlag, std::string* whyFailed) {
    return Execute(log, session, text, successLineFlag, whyFailed, nullptr);
}

bool ExecuteStreamedStatement(OperationLog& log, Session* session, const std::string& text,
                              std::vector<StreamedValue> values, std::string* whyFailed) {
    return Execute(log, session, text, 0, whyFailed, &values);
}

bool ShowQueryResult(OperationLog& log, Session* session, const std::string& text,
                     int successLineFlag) {
    if (!session) {
        log.WriteText(NoConnectionText());
        return false;
    }
    std::unique_ptr<StatementRowset> statement = session->NewStatement();
    if (statement->Create(text) < 0 || statement->Execute(StandardRowsetProperties()) != kSuccess) {
        log.WriteText(statement->ProviderErrorText());
        statement->Close();
        return false;
    }
    if (!statement->HasRowset()) {
        if (successLineFlag == 1) log.WriteText(kSuccessLine);
        statement->Close();
        return true;
    }
    if (statement->BindAllAsText(false) != kSuccess) {
        log.WriteText(statement->ProviderErrorText());
        statement->Close();
        return false;
    }
    // A short pause before the first fetch, as the result pane has always had.
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // Rows past the first 100 are fetched but not shown.
    ResultCode fetched = kSuccess;
    for (int row = 0; (fetched = statement->MoveNext()) == kSuccess; ++row) {
        if (row >= kShownRows) continue;
        for (int column = 0; column < statement->ColumnCount(); ++column) {
            log.WriteText(statement->IsNull(column) ? std::string_view(kNullText) : statement->Value(column));
        }
    }
    // A fetch that fails part-way (a lost connection) is a failure, not a shorter result.
    bool complete = fetched >= 0;
    if (!complete) log.WriteText(statement->ProviderErrorText());
    statement->Close();
    return complete;
}

std::string ReadServerVersion(OperationLog& log, Session& session, bool logNoRowset) {
    auto statement = session.NewStatement();
    if (!statement) return kUnknownError;
    if (statement->Create("select @@Version") < 0 ||
        statement->Execute(StandardRowsetProperties()) != kSuccess) {
        std::string error = statement->ProviderErrorText();
        statement->Close();
        return error;
    }
    if (!statement->HasRowset()) {
        statement->Close();
        if (logNoRowset) log.WriteText(kSuccessLine);
        return kSuccessLine;
    }
    if (statement->BindAllAsText(true) != kSuccess) {
        std::string error = statement->ProviderErrorText();
        statement->Close();
        return error;
    }
    std::string version;
    while (statement->MoveNext() == kSuccess) {
        version = statement->ColumnCount() > 0 ? std::string(statement->Value(0)) : "";
    }
    statement->Close();
    return version;
}

}  // namespace velmora
