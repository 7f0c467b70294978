// CliRun: the commands of velmora-cli over the core: connecting from migrator.cfg and the
// command-line overrides, queuing migrations and backups and running the scheduler until they
// end, conditions, trees and the driver check. Exit codes: 0 every task ended SUCCESS, 1 a task
// ended FAILURE, 2 a usage or connection error.
//
// The interface thread of the command line is the main thread; tasks run on the scheduler
// thread as in the desktop program.
#pragma once

#include "CliOptions.h"

namespace velmora::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitTaskFailed = 1;
inline constexpr int kExitUsage = 2;

int RunCommand(const CliOptions& options, bool interactive);

}  // namespace velmora::cli
