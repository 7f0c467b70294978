// StatementExecution: running one statement on a session and reporting it in the log.
//
// ExecuteStatement runs a statement whose rows, if any, nobody reads; it is the workhorse of
// the conversion drivers, the worker bodies and the maintenance commands. ShowQueryResult runs a
// statement and writes what it returns: one log line per column value, for the first 100 rows.
//
// Both take the output-line sink, the session of one side (null when that side is not
// connected) and a success-line flag: only the value 1 asks for "RESULT:    The operation completed SUCCESSFULLY" after a
// statement that returned no rowset. Both return true when the statement ran.
//
// Threads: the interface thread and the scheduler thread; no state is kept between calls.
#pragma once

#include <string>
#include <vector>

#include "data/StreamedValues.h"

namespace velmora {

class OperationLog;
class Session;

inline constexpr const char* kSuccessLine = "RESULT:    The operation completed SUCCESSFULLY";
inline constexpr const char* kNoConnection = "No Connection!";
inline constexpr const char* kNullText = "(NULL)";
inline constexpr int kShownRows = 100;

// A failed statement writes nothing: the callers report failures in their own words. With
// `whyFailed`, a failure leaves there the driver's most informative diagnostic (see
// MostInformativeError), so that a caller can say why after its own failure line.
bool ExecuteStatement(OperationLog& log, Session* session, const std::string& text,
                      int successLineFlag, std::string* whyFailed = nullptr);

// The same for a statement whose markers (?) take `values`, sent in pieces
// (data/StreamedValues.h); only on a session that StreamsValues. A failure says why in
// `whyFailed` as above.
bool ExecuteStreamedStatement(OperationLog& log, Session* session, const std::string& text,
                              std::vector<StreamedValue> values, std::string* whyFailed);

// A failed statement writes the driver's description of the failure.
bool ShowQueryResult(OperationLog& log, Session* session, const std::string& text,
                     int successLineFlag);

// "select @@Version": the first column of the last row, the driver's error text, or the success
// text when no rows came back (also logged when `logNoRowset`).
std::string ReadServerVersion(OperationLog& log, Session& session, bool logNoRowset);

}  // namespace velmora
