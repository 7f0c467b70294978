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

}  // namespace velmora::cli
