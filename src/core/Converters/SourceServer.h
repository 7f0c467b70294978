// SourceServer: the MySQL side's own statements: the version query and the character-set
// statements. The connection properties are config/ConnectionProperties.h; the commands that
// switch the character set and the storage engine on a tree are explorer/TreeCommands.h. The
// "use" of a source database is UseDatabase (TargetServer.h) with side 0.
//
// Threads: whichever thread asks, on the session it is given. Nothing here keeps state.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class OperationLog;
class Session;

// "select @@Version" on the source: the first column of the last row, the driver's error text,
// the success text when no rows came back, or "No Connection!" without a session (also written
// as an output line).
std::string QueryServerVersion(OperationLog& log, Session* session);

// The default collation of a source database ("utf8mb4_general_ci"); "" when it cannot be read.
std::string SourceDatabaseCollation(OperationLog& log, Session* session, std::string_view database);

// The 36 character sets of the character-set command, in the choice dialog's order.
const std::vector<std::string>& CharsetNames();
// The name at `index`, or "UNKOWNEN" outside 0..35.
std::string CharsetName(int index);
// The five statements for a character set, in the order they run.
std::vector<std::string> CharsetStatements(std::string_view charset);

}  // namespace velmora
