#include "support/TsqlOracle.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include <cstdio>
#include <mutex>
#include <string>

namespace velmora::test {
namespace {

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out.push_back(static_cast<char>(c));
                }
        }
    }
    return out + "\"";
}

class OracleProcess {
public:
    // The shared oracle of the test run (scripts/test starts it), when there is one.
    bool Connect(const char* socketPath) {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0) return false;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(fd);
            return false;
        }
        int other = dup(fd);
        signal(SIGPIPE, SIG_IGN);
        in_ = fdopen(fd, "w");
        out_ = fdopen(other, "r");
        return in_ && out_;
    }

    bool Start() {
        int toChild[2];
        int fromChild[2];
        if (pipe(toChild) != 0) return false;
        if (pipe(fromChild) != 0) return false;
        pid_ = fork();
        if (pid_ < 0) return false;
        if (pid_ == 0) {
            dup2(toChild[0], 0);
            dup2(fromChild[1], 1);
            close(toChild[1]);
            close(fromChild[0]);
            const std::string script = std::string(VELMORA_SOURCE_DIR) + "/tests/oracle/tsql-oracle.js";
            execlp("node", "node", script.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(toChild[0]);
        close(fromChild[1]);
        signal(SIGPIPE, SIG_IGN);
        in_ = fdopen(toChild[1], "w");
        out_ = fdopen(fromChild[0], "r");
        return in_ && out_;
    }

    // One request, one answer line; empty on a broken oracle.
    std::string Ask(const std::string& statement) {
        std::string request = JsonString(statement) + "\n";
        if (std::fwrite(request.data(), 1, request.size(), in_) != request.size()) return {};
        std::fflush(in_);
        std::string answer;
        int c;
        while ((c = std::fgetc(out_)) != EOF && c != '\n') answer.push_back(static_cast<char>(c));
        return answer;
    }

private:
    pid_t pid_ = -1;
    FILE* in_ = nullptr;
    FILE* out_ = nullptr;
};

}  // namespace

std::vector<std::string> TsqlSyntaxErrors(const std::string& statement) {
    static std::mutex mutex;
    static OracleProcess* oracle = nullptr;
    static bool started = false;
    std::lock_guard<std::mutex> lock(mutex);
    if (!started) {
        started = true;
        oracle = new OracleProcess();
        const char* socketPath = std::getenv("VELMORA_TSQL_ORACLE_SOCKET");
        if (!(socketPath && *socketPath && oracle->Connect(socketPath)) && !oracle->Start()) {
            delete oracle;
            oracle = nullptr;
        }
    }
    if (!oracle) return {"T-SQL oracle: cannot start node"};
    std::string answer = oracle->Ask(statement);
    if (answer == "OK") return {};
    if (answer.rfind("ERR ", 0) == 0) return {answer.substr(4)};
    return {"T-SQL oracle did not answer (is node installed and tests/oracle/node_modules present? "
            "scripts/test installs them): '" + answer + "'"};
}

std::string DescribeTsqlProblems(const std::string& statement) {
    std::vector<std::string> errors = TsqlSyntaxErrors(statement);
    if (errors.empty()) return {};
    std::string out = "T-SQL grammar rejects:\n" + statement + "\nerrors:";
    for (const auto& error : errors) out += "\n  " + error;
    return out;
}

}  // namespace velmora::test
