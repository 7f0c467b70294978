// Preflight: what a command checks before it changes anything, so that a wrong name ends it at
// once with the server's reason instead of a failed task: the source object exists, and the
// target database exists or is created on the user's word (over a connection to master on a
// target that works in one database per connection).
//
// Threads: the interface thread, while no task runs (the window's browsing sessions are used).
#pragma once

#include <string>
#include <vector>

#include "commands/MainWindowModel.h"

namespace velmora {

// The first column of every row of `query` on `session`; false, with the driver's reason in
// `why`, when it cannot be run.
bool QueryFirstColumn(Session* session, const std::string& query, std::vector<std::string>& values,
                      std::string& why);

enum class Presence { Present, Missing, Unknown };

// Whether source database `database` holds `object` as a base table (`view` false) or a view.
// Unknown (with the reason in `why`) when the source cannot be asked.
Presence SourceObjectPresence(MainWindowModel& window, const std::string& database,
                              const std::string& object, bool view, std::string& why);

// Whether the target server has database `database` (names compared as the server does, without
// regard to case).
Presence TargetDatabasePresence(MainWindowModel& window, const std::string& database,
                                std::string& why);

// Creates target database `database`; false with the server's reason in `why`.
// With `sourceDatabase`, the new database takes the collation of that source database's default
// (translation/Collations.h), except on Babelfish, which takes only its own.
bool CreateTargetDatabase(MainWindowModel& window, const std::string& database, std::string& why,
                          const std::string& sourceDatabase = "");

// CreateTargetDatabase's statement guarded by the database's absence, for the head of a script.
std::string CreateMissingDatabaseStatement(MainWindowModel& window, const std::string& database,
                                           const std::string& sourceDatabase);

// The default collation of a source database ("" when it cannot be read).
std::string SourceDatabaseCollation(MainWindowModel& window, const std::string& database);

}  // namespace velmora
