// corpus_translate: translates every SHOW CREATE TABLE text found in MariaDB's regression suite
// (the .result files of Debian's mariadb-test-data) in Full and in Classic mode, and counts how
// many statements the T-SQL grammar accepts, how many translations crash (each text is translated
// in a child process, so a crash is counted, not fatal), and how many column types lie outside
// SQL Server's own type list. Prints the figures and the most frequent remaining causes.
//
//   corpus_translate [FOLDER] [--sample N]    (FOLDER defaults to /usr/share/mysql/mysql-test)
//
// The grammar takes about a tenth of a second per statement; --sample N checks N definitions
// spread evenly over the whole corpus instead of all of them.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "translation/DdlTranslator.h"
#include "translation/FullTableTranslator.h"
#include "support/SqlServerTypes.h"
#include "support/TsqlOracle.h"

namespace {

using namespace velmora;

// Parentheses outside quotes, for finding where a printed definition ends.
int Depth(const std::string& line, int depth) {
    char quote = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quote) {
            if (c == '\\' && quote == '\'') ++i;
            else if (c == quote) quote = 0;
        } else if (c == '\'' || c == '`' || c == '"') {
            quote = c;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        }
    }
    return depth;
}

bool ContinuesOptions(const std::string& line) {
    static const char* const kStarts[] = {"PARTITION", " PARTITION", "(PARTITION", " SUBPARTITION", "SUBPARTITION",
                                          "/*!50100 PARTITION", "/*!50100 SUBPARTITION", "PARTITIONS", "SUBPARTITIONS",
                                          " (PARTITION", "(SUBPARTITION", " (SUBPARTITION"};
    return std::any_of(std::begin(kStarts), std::end(kStarts), [&](const char* s) { return line.rfind(s, 0) == 0; });
}

// The definitions printed in one .result file: "name<TAB>CREATE TABLE ..." or
// "Create Table: CREATE TABLE ...", up to the line that closes the column list, with any
// partitioning lines after it.
void Extract(const std::filesystem::path& file, std::set<std::string>& texts) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(in, line)) lines.push_back(line);
    for (size_t i = 0; i < lines.size(); ++i) {
        size_t at = lines[i].find("\tCREATE TABLE `");
        if (at == std::string::npos) at = lines[i].find("\tCREATE TEMPORARY TABLE `");
        size_t skip = 1;
        if (at == std::string::npos && lines[i].rfind("Create Table: CREATE", 0) == 0) at = 12, skip = 2;
        if (at == std::string::npos) continue;
        std::string text = lines[i].substr(at + skip);
        int depth = Depth(text, 0);
        size_t j = i + 1;
        for (; depth > 0 && j < lines.size(); ++j) {
            text += "\n" + lines[j];
            depth = Depth(lines[j], depth);
        }
        for (; j < lines.size() && ContinuesOptions(lines[j]); ++j) text += "\n" + lines[j];
        if (depth == 0) texts.insert(text);
        i = j - 1;
    }
}

struct Outcome {
    bool crashed = false;
    std::string fullError;      // the definition was not read
    std::string fullBatch;      // every Full statement, one batch
    std::vector<std::string> unknownTypes;
    std::string classic;
};

// Translates in a child process; the parent learns of a crash from the exit status.
Outcome TranslateIsolated(const std::string& text) {
    Outcome outcome;
    int fds[2];
    if (pipe(fds) != 0) return outcome;
    pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        FullTableTranslation t = TranslateTableFull(text, ExpressionNames{"test", "test"});
        std::ostringstream out;
        auto put = [&](const std::string& s) { out << s.size() << ':' << s; };
        put(t.error);
        std::string batch = t.createTable;
        for (const auto* list : {&t.indexes, &t.foreignKeys, &t.comments}) {
            for (const std::string& s : *list) batch += "\n" + s;
        }
        if (t.hasIdentity) batch += "\n" + t.identityReseed;
        put(t.ok() ? batch : "");
        std::string unknown;
        for (const std::string& type : test::ColumnTypeNames(t.createTable)) {
            if (!test::IsSqlServerTypeName(type)) unknown += type + "\n";
        }
        put(unknown);
        put(RewriteTableDefinition(text));
        std::string bytes = out.str();
        for (size_t sent = 0; sent < bytes.size();) {
            ssize_t n = write(fds[1], bytes.data() + sent, bytes.size() - sent);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
        _exit(0);
    }
    close(fds[1]);
    std::string bytes;
    char buffer[65536];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) bytes.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        outcome.crashed = true;
        return outcome;
    }
    size_t at = 0;
    auto get = [&]() {
        size_t colon = bytes.find(':', at);
        if (colon == std::string::npos) return std::string();
        size_t size = std::stoul(bytes.substr(at, colon - at));
        std::string s = bytes.substr(colon + 1, size);
        at = colon + 1 + size;
        return s;
    };
    outcome.fullError = get();
    outcome.fullBatch = get();
    std::istringstream unknown(get());
    for (std::string type; std::getline(unknown, type);) outcome.unknownTypes.push_back(type);
    outcome.classic = get();
    return outcome;
}

// The first syntax error as a cause to count: the text of the statement where the grammar
// stopped (its own messages name tokens by number).
std::string Cause(const std::vector<std::string>& errors, const std::string& statement) {
    if (errors.empty()) return "";
    std::string error = errors.front();
    if (error.rfind("[\"", 0) == 0) error.erase(0, 2);  // the oracle's answer as one JSON list
    size_t colon = error.find(':');
    if (colon == std::string::npos || error.find_first_not_of("0123456789") != colon) return error.substr(0, 110);
    size_t line = std::stoul(error.substr(0, colon));
    size_t column = std::stoul(error.substr(colon + 1));
    size_t at = 0;
    for (size_t l = 1; l < line && at != std::string::npos; ++l) {
        at = statement.find('\n', at);
        if (at != std::string::npos) ++at;
    }
    if (at == std::string::npos) return error.substr(0, 110);
    std::string rest = statement.substr(at + std::min(column, statement.size() - at), 50);
    return "at: " + rest.substr(0, rest.find('\n'));
}

void PrintTop(const char* title, const std::map<std::string, int>& counts) {
    std::vector<std::pair<int, std::string>> sorted;
    for (const auto& [cause, n] : counts) sorted.emplace_back(n, cause);
    std::sort(sorted.rbegin(), sorted.rend());
    std::cout << title << "\n";
    for (size_t i = 0; i < sorted.size() && i < 10; ++i) std::cout << "  " << sorted[i].first << "  " << sorted[i].second << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder = "/usr/share/mysql/mysql-test";
    size_t limit = SIZE_MAX;  // definitions to check
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--sample" && i + 1 < argc) limit = std::stoul(argv[++i]);
        else folder = arg;
    }
    std::set<std::string> texts;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->path().extension() == ".result") Extract(it->path(), texts);
    }
    if (texts.empty()) {
        std::cerr << "corpus_translate: no SHOW CREATE TABLE texts under " << folder
                  << " (apt-get install mariadb-test-data)\n";
        return 2;
    }
    std::cout << "distinct SHOW CREATE TABLE texts in the corpus: " << texts.size() << "\n";
    if (limit < texts.size()) {
        std::set<std::string> sample;
        size_t index = 0;
        for (const std::string& text : texts) {
            if (index++ * limit % texts.size() < limit) sample.insert(text);
        }
        texts.swap(sample);
    }
    size_t total = 0, crashes = 0, fullParsed = 0, classicParsed = 0, notRead = 0, unknownTables = 0;
    std::map<std::string, int> fullCauses, classicCauses, unknownTypes;
    for (const std::string& text : texts) {
        ++total;
        Outcome o = TranslateIsolated(text);
        if (o.crashed) {
            ++crashes;
            fullCauses["crash"]++;
            continue;
        }
        if (!o.fullError.empty()) {
            ++notRead;
            std::string cause = o.fullError.substr(0, o.fullError.find(" near "));
            fullCauses["not read: " + cause]++;
            if (std::getenv("CORPUS_SHOW_FAILURES")) std::cerr << "--- not read: " << o.fullError << "\n" << text << "\n";
        } else {
            std::string cause = Cause(test::TsqlSyntaxErrors(o.fullBatch), o.fullBatch);
            if (cause.empty()) {
                ++fullParsed;
            } else {
                fullCauses[cause]++;
                if (std::getenv("CORPUS_SHOW_FAILURES")) std::cerr << "--- rejected: " << cause << "\n" << o.fullBatch << "\n";
            }
        }
        if (!o.unknownTypes.empty()) ++unknownTables;
        for (const std::string& type : o.unknownTypes) unknownTypes[type]++;
        std::string classicCause = Cause(test::TsqlSyntaxErrors(o.classic), o.classic);
        if (classicCause.empty()) ++classicParsed;
        else classicCauses[classicCause]++;
        if (total % 1000 == 0) std::cerr << total << " of " << texts.size() << " definitions\n";
    }
    auto percent = [&](size_t n) { return 100.0 * static_cast<double>(n) / static_cast<double>(total); };
    std::printf("definitions checked: %zu\n", total);
    std::printf("Full:    parsed by the T-SQL grammar %zu (%.2f%%), not read %zu, crashes %zu, tables with a type outside SQL Server's list %zu\n",
                fullParsed, percent(fullParsed), notRead, crashes, unknownTables);
    std::printf("Classic: parsed by the T-SQL grammar %zu (%.2f%%)\n", classicParsed, percent(classicParsed));
    PrintTop("Full, top remaining causes:", fullCauses);
    PrintTop("Full, types outside SQL Server's list:", unknownTypes);
    PrintTop("Classic, top causes:", classicCauses);
    return crashes == 0 ? 0 : 1;
}
