// Conditions: the migration conditions, one SQL WHERE clause (without the word where) per source
// table, kept in Condition.cfg: one section per source database, one key per table, read with an
// empty default and whole (a hand-written condition of any length is used as written; the dialog
// saves at most 1,023 bytes), section and key names matched without regard to case.
//
// Line breaks: a condition may span lines, but a value in the file is one line. A value is
// stored with every backslash written as two backslashes, every line feed as backslash-n and
// every carriage return as backslash-r; reading turns these three back. A backslash followed by
// anything else is read as it stands, so files written by hand (such as a path in a LIKE
// pattern) keep their meaning.
//
// Also here: QuerySingleValue (the dialog's Test runs its count query with it), the tooltip text
// of a source table, and ConditionDialogModel, the state of the Migration Condition dialog.
//
// Lookup and save: any thread (the file is written from the interface thread only).
// QuerySingleValue: the caller's thread, with the session it is given.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

class OperationLog;
class Session;

// Longest condition the dialog's editor accepts, in characters.
inline constexpr size_t kConditionEditorLimit = 1024;
// The dialog's limit of a stored condition (at most 1,023 bytes are saved); reading never cuts.
inline constexpr size_t kConditionBufferSize = 1024;

std::string EncodeConditionValue(std::string_view condition);
std::string DecodeConditionValue(std::string_view stored);

// Creates an empty Condition.cfg at `path` when none exists; false when it cannot be created.
bool EnsureConditionFile(const std::string& path);

// The condition stored for the table, empty when none.
std::string LookupCondition(const std::string& path, std::string_view database,
                            std::string_view table);
// Writes (creates or replaces) the table's condition; false when the file cannot be written or
// the names cannot be a section and key.
bool SaveCondition(const std::string& path, std::string_view database, std::string_view table,
                   std::string_view condition);

// "Condition : <condition>", or "Convert All" when none is stored.
std::string ConditionTooltipText(const std::string& path, std::string_view database,
                                 std::string_view table);

// Runs `query` and returns the first value (of the first 100 rows) that is not NULL and whose
// leading integer is not negative, writing "(NULL)" for every NULL met on the way and, with
// resultLineFlag 1, the RESULT line before every value examined. No session: writes
// "No Connection!" and returns "". A failed query: the driver's error text. Nothing qualifies:
// the RESULT text.
std::string QuerySingleValue(OperationLog& log, Session* session, std::string_view query,
                             int resultLineFlag);

// The Migration Condition dialog without its widgets: the query label, the condition editor's
// text, Test (count the rows the condition selects), Save (only after a successful Test, and
// only the tested text) and Close. Interface thread only.
class ConditionDialogModel {
public:
    // Creates Condition.cfg when missing and reads the table's stored condition. `source` is
    // the window's source session (null while not connected).
    ConditionDialogModel(OperationLog& log, Session* source, std::string conditionFilePath,
                         std::string database, std::string table);

    // "select * from <table> where"
    const std::string& queryLabel() const { return queryLabel_; }
    const std::string& conditionText() const { return conditionText_; }
    // The editor's text; what goes beyond 1,024 characters is cut, as the editor does.
    void SetConditionText(std::string_view text);

    // Runs "select count(*) from <table>[ where <condition>]" on the source connection and sets
    // the result text; enables Save when the count came back.
    void Test();
    // Writes the condition of the last successful Test and disables Save again. False when Save
    // was not enabled or the file could not be written (the result text then says so).
    bool Save();
    void Close() { closed_ = true; }

    const std::string& resultText() const { return resultText_; }
    bool saveEnabled() const { return saveEnabled_; }
    bool closed() const { return closed_; }
    const std::string& testedCondition() const { return testedCondition_; }

private:
    OperationLog& log_;
    Session* source_;
    std::string path_;
    std::string database_;
    std::string table_;
    std::string queryLabel_;
    std::string conditionText_;
    std::string testedCondition_;
    std::string resultText_;
    bool saveEnabled_ = false;
    bool closed_ = false;
};

}  // namespace velmora
