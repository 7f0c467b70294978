#include "CliChecks.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velmora::cli {

std::string WriteProblem(const std::string& path) {
    if (path.empty()) return std::strerror(ENOENT);
    if (access(path.c_str(), W_OK) == 0) return "";
    if (errno != ENOENT) return std::strerror(errno);
    const size_t slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    if (access(folder.c_str(), W_OK | X_OK) == 0) return "";
    return std::strerror(errno);
}

std::string UnsetPasswordVariableMessage(const std::string& option) {
    return "the environment variable named by " + option +
           " is not set (" + option + " takes the name of a variable that holds the password, "
           "never the password itself)";
}

std::string SourceConnectFailure(const std::string& serverTried) {
    std::string message = "cannot connect to the source";
    const std::string host = serverTried.substr(0, serverTried.find_first_of(":,"));
    if (host.empty() || host == "localhost") {
        message += " (the server tried was the default, localhost: name yours with --source HOST[:PORT] "
                   "--source-user NAME --source-password-env VAR, or in [SourceDB] of migrator.cfg)";
    }
    return message;
}

}  // namespace velmora::cli
