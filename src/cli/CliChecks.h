// CliChecks: the command line's checks of what it was given, made before it connects or changes
// anything, each ending the command with exit code 2 and a message that says what to change.
//
// Main thread.
#pragma once

#include <string>

namespace velmora::cli {

// "" when `path` can be written (an existing file that may be written, or a missing one in a
// folder that may be written into); else the system's reason ("No such file or directory").
std::string WriteProblem(const std::string& path);

// The message for a --source-password-env / --target-password-env whose variable is not set.
// It names the option and never what was given: a password typed there by mistake is not
// printed back.
std::string UnsetPasswordVariableMessage(const std::string& option);

// "cannot connect to the source", and when the server tried was the default localhost (nothing
// named another), how to name the server: --source HOST[:PORT] and its login options.
std::string SourceConnectFailure(const std::string& serverTried);

}  // namespace velmora::cli
