// SourceQuery: the one way the conversion steps run a query on the source and read its rows as
// text, with the fixed texts that stand in for a result when that fails:
//
// | situation                     | output line                   | failure text              |
// |-------------------------------|-------------------------------|---------------------------|
// | no source session             | "No Connection!"              | "No Connection!"          |
// | query cannot be prepared/run  | the driver's error text       | "FALSE"                   |
// | the query returns no rows     | kResultSuccessText            | kResultSuccessText        |
// | column information unreadable | none                          | the driver's error text   |
//
// Readers return the failure text as their result (it is what the person sees) and also say that
// the read failed, with the reason: a failure text is never run as a statement or written into a
// work file.
// Runs on the caller's thread; a SourceQuery lives for one operation.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/DataAccess.h"

namespace velmora {

class OperationLog;

inline constexpr std::string_view kNoConnectionText = "No Connection!";
inline constexpr std::string_view kFalseText = "FALSE";
inline constexpr std::string_view kTrueText = "TRUE";
inline constexpr std::string_view kResultSuccessText =
    "RESULT:    The operation completed SUCCESSFULLY";

class SourceQuery {
public:
    // Runs `text` on `session` (null: not connected) and binds its columns as text. On failure
    // the line is written (unless `logFailures` is false) and failureText() holds the text to
    // return.
    SourceQuery(OperationLog& log, Session* session, std::string_view text,
                bool logFailures = true,
                const PropertySet& properties = StandardRowsetProperties());
    ~SourceQuery();

    bool ok() const { return !failure_.has_value(); }
    const std::string& failureText() const { return *failure_; }
    // Whether the failure has been written as a line (all but unreadable column information).
    bool failureLogged() const { return failureLogged_; }
    // Why it failed, in the driver's most informative words.
    const std::string& reason() const { return reason_; }

    // The next row; false at the end of the rows or on a failed fetch.
    bool Next();
    // Whether the last Next() ended on a failed fetch rather than the end of the rows.
    bool fetchFailed() const { return fetchFailed_; }

    StatementRowset& rows() { return *rowset_; }
    // Column `index` (0-based) of the current row; empty when the result has fewer columns.
    std::string_view Value(int index) const;
    bool IsNull(int index) const;

private:
    std::optional<std::string> failure_;
    std::string reason_;
    std::unique_ptr<StatementRowset> rowset_;
    bool fetchFailed_ = false;
    bool failureLogged_ = false;
};

// The source catalog's rows of one table type ("TABLE", "VIEW"), read whole and closed before the
// caller works on any of them, so that no statement of the caller runs while the catalog is open.
// When the catalog cannot be opened, writes FormatProviderError(failureMessage, code) and
// returns nothing.
std::optional<std::vector<TableRecord>> ReadSourceCatalog(OperationLog& log, Session* source,
                                                          const char* type,
                                                          const char* failureMessage);

// The definition column (the second) of the last row of a "show create table|view" statement. A
// failed read gives the reader's failure text ("FALSE", "No Connection!", ...) and leaves the
// reason in `readFailure`, as does a result without rows.
std::string ReadDefinition(OperationLog& log, Session* source, const std::string& statement,
                           std::string* readFailure);

// A MySQL string literal for `text`: 'text' with quotes doubled, or, when the text holds a
// backslash or a control character (whose reading depends on the server's SQL mode), the mode-
// independent form _utf8mb4 X'<hex of the bytes>'.
std::string SourceStringLiteral(std::string_view text);

}  // namespace velmora
