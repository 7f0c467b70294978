// corpus_routines: takes every CREATE PROCEDURE, CREATE FUNCTION and CREATE TRIGGER statement of
// MariaDB's regression suite (the .test files of Debian's mariadb-test-data, read with their
// mysqltest delimiters, and under the sql_mode the file set before it), translates each in a child process (so that a crash is counted, not
// fatal) and prints how many were translated, refused (with the most frequent constructs) and
// crashed, per kind; with --oracle N, the T-SQL grammar parses N of the translations, spread over
// the corpus.
//
//   corpus_routines [FOLDER] [--oracle N] [--list FILE] [--default-sql-mode]
//   (FOLDER defaults to /usr/share/mysql/mysql-test; --default-sql-mode ignores the files' sql_mode)
//
// --list FILE writes every statement with its outcome (its translation or its refusal), for reading
// the refusals one by one, or for comparing the translations of two builds.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/TsqlOracle.h"
#include "translation/CreateTableParser.h"
#include "translation/FullRoutineTranslator.h"

namespace {

using namespace velmora;

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The statements of one .test file under mysqltest's delimiter changes ("delimiter |;"); the
// lines of mysqltest's own commands ("--error", "# comment") are skipped.
// Each statement keeps the CREATE TABLE statements of its file that come before it (the tables
// its triggers are on) and the routines of its file (the procedures it calls, the functions it
// uses), as a migration reads them from the database. Files hold them once; a statement points.
struct SourceFile {
    std::vector<std::pair<std::string, std::string>> tables;  // name, CREATE TABLE text, in order
    std::vector<KnownRoutine> routines;
};
struct Place {
    std::size_t file = 0;
    std::size_t tablesBefore = 0;
    std::string sqlMode;  // the SQL mode the file set before the statement, as the routine keeps it
};
using Corpus = std::map<std::string, Place>;

void Extract(const std::filesystem::path& path, std::vector<SourceFile>& files, Corpus& texts) {
    static const std::regex kRoutine(
        R"(^create\s+(or\s+replace\s+)?(definer\s*=\s*\S+\s+)?(aggregate\s+)?(procedure|function|trigger)\s)", std::regex::icase);
    static const std::regex kDelimiter(R"(^\s*(--)?delimiter\s+(\S+)\s*$)", std::regex::icase);
    static const std::regex kTable(R"(^create\s+table\s)", std::regex::icase);
    static const std::regex kSoname(R"(\ssoname\s)", std::regex::icase);
    static const std::regex kSqlMode(R"re(^set\s+(session\s+|@@session\.|@@)?sql_mode\s*=\s*(default|'([^']*)'|"([^"]*)"))re",
                                     std::regex::icase);
    files.emplace_back();
    SourceFile& file = files.back();
    std::ifstream in(path, std::ios::binary);
    std::string line, statement, delimiter = ";", sqlMode;
    while (std::getline(in, line)) {
        const std::string trimmed = Trim(line);
        std::smatch match;
        if (statement.empty() && std::regex_match(trimmed, match, kDelimiter)) {
            // "delimiter |;" ends with the delimiter in force; "--delimiter |" does not.
            std::string next = match[2];
            if (!match[1].matched && EndsWith(next, delimiter) && next.size() > delimiter.size())
                next.resize(next.size() - delimiter.size());
            delimiter = next;
            continue;
        }
        if (statement.empty() && (trimmed.empty() || trimmed.rfind("--", 0) == 0 || trimmed[0] == '#')) continue;
        statement += (statement.empty() ? "" : "\n") + line;
        if (!EndsWith(Trim(line), delimiter)) continue;
        std::string text = Trim(statement);
        text = Trim(text.substr(0, text.size() - delimiter.size()));
        statement.clear();
        if (std::regex_search(text, match, kSqlMode)) sqlMode = match[3].matched ? match[3].str() : match[4].str();
        if (std::regex_search(text, kTable)) {
            const ParsedTable parsed = ParseCreateTable(text);
            if (parsed.ok()) file.tables.emplace_back(parsed.table.name, text);
        }
        if (std::regex_search(text, kRoutine) && !std::regex_search(text, kSoname)) {
            texts.emplace(text, Place{files.size() - 1, file.tables.size(), sqlMode});
            const KnownRoutine signature = RoutineSignature(text);
            if (!signature.name.empty()) file.routines.push_back(signature);
        }
    }
}

RoutineContext ContextAt(const SourceFile& file, const Place& place) {
    RoutineContext context;
    context.names = {"test", ""};
    std::map<std::string, std::string> latest;
    for (std::size_t i = 0; i < place.tablesBefore; ++i) latest[file.tables[i].first] = file.tables[i].second;
    for (const auto& entry : latest) context.tables.push_back(ParseCreateTable(entry.second).table);
    context.routines = file.routines;
    context.sqlMode = place.sqlMode;
    return context;
}

// A refusal without the parts that differ from text to text (offsets, quoted tokens, names).
std::string Reason(const std::string& construct) {
    std::string reason = construct;
    for (const char* cut : {" near '", " at offset", " at the end"}) {
        const auto at = reason.find(cut);
        if (at != std::string::npos) reason = reason.substr(0, at);
    }
    for (const char* prefix : {"user variable ", "CALL of ", "unknown cursor ", "LEAVE or ITERATE of an unknown label ",
                               "assignment to ", "handler for an unknown condition ", "system variable "}) {
        if (reason.rfind(prefix, 0) == 0) return std::string(prefix) + "...";
    }
    const auto column = reason.find(", which is no column of");
    if (column != std::string::npos) return "..." + reason.substr(column);
    return reason;
}

struct Outcome {
    char status = 'X';  // T translated, R refused, X crashed
    std::string kind, detail;  // detail: the refusal, or the first statement
};

Outcome TranslateInChild(const std::string& text, const RoutineContext& context) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        const FullRoutineTranslation out = TranslateRoutineFull(text, context);
        const char* kinds[] = {"procedure", "function", "trigger"};
        std::string message = std::string(out.ok() ? "T" : "R") + kinds[static_cast<int>(out.kind)] + "\n" +
                              (out.ok() ? (out.statements.empty() ? "" : out.statements[0]) : out.untranslatable);
        for (std::size_t written = 0; written < message.size();) {
            const ssize_t n = write(pipeEnds[1], message.data() + written, message.size() - written);
            if (n <= 0) break;
            written += static_cast<std::size_t>(n);
        }
        _exit(0);
    }
    close(pipeEnds[1]);
    std::string message;
    char buffer[4096];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) message.append(buffer, static_cast<std::size_t>(n));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    Outcome outcome;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || message.empty()) return outcome;
    const auto newline = message.find('\n');
    outcome.status = message[0];
    outcome.kind = message.substr(1, newline - 1);
    outcome.detail = message.substr(newline + 1);
    return outcome;
}

// The kind a text declares, for the crashed ones.
std::string KindOf(const std::string& text) {
    std::string lower = text.substr(0, 300);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    std::string first = "?";
    std::size_t at = std::string::npos;
    for (const char* kind : {"procedure", "function", "trigger"}) {
        const std::size_t found = lower.find(kind);
        if (found < at) at = found, first = kind;
    }
    return first;
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder = "/usr/share/mysql/mysql-test", listFile;
    std::size_t oracleSample = 0;
    bool defaultMode = false;  // every text read under the default mode, as if its file set none
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--oracle" && i + 1 < argc) oracleSample = std::stoul(argv[++i]);
        else if (arg == "--list" && i + 1 < argc) listFile = argv[++i];
        else if (arg == "--default-sql-mode") defaultMode = true;
        else folder = arg;
    }
    Corpus texts;
    std::vector<SourceFile> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().extension() == ".test") Extract(entry.path(), files, texts);
    std::map<std::string, std::map<char, int>> counts;  // kind -> status -> count
    std::map<std::string, int> reasons;
    std::vector<std::string> translated;
    std::ofstream list;
    if (!listFile.empty()) list.open(listFile);
    for (const auto& [text, place] : texts) {
        RoutineContext context = ContextAt(files[place.file], place);
        if (defaultMode) context.sqlMode.clear();
        Outcome outcome = TranslateInChild(text, context);
        if (outcome.status != 'T') outcome.kind = KindOf(text);
        ++counts[outcome.kind][outcome.status];
        if (outcome.status == 'R') ++reasons[Reason(outcome.detail)];
        if (outcome.status == 'T') translated.push_back(outcome.detail);
        if (list) list << "==== " << outcome.status << " " << outcome.detail << "\n" << text << "\n";
    }
    std::printf("%zu routine and trigger statements in %s\n", texts.size(), folder.c_str());
    std::printf("%-10s %10s %10s %10s\n", "kind", "translated", "refused", "crashed");
    int total[3] = {0, 0, 0};
    for (const auto& [kind, byStatus] : counts) {
        const int t = byStatus.count('T') ? byStatus.at('T') : 0, r = byStatus.count('R') ? byStatus.at('R') : 0,
                  x = byStatus.count('X') ? byStatus.at('X') : 0;
        std::printf("%-10s %10d %10d %10d\n", kind.c_str(), t, r, x);
        total[0] += t, total[1] += r, total[2] += x;
    }
    std::printf("%-10s %10d %10d %10d\n", "all", total[0], total[1], total[2]);
    std::vector<std::pair<int, std::string>> ranked;
    for (const auto& [reason, count] : reasons) ranked.emplace_back(count, reason);
    std::sort(ranked.rbegin(), ranked.rend());
    std::printf("\nmost frequent refusals:\n");
    for (std::size_t i = 0; i < ranked.size() && i < 25; ++i) std::printf("%6d  %s\n", ranked[i].first, ranked[i].second.c_str());
    if (oracleSample > 0 && !translated.empty()) {
        const std::size_t step = std::max<std::size_t>(1, translated.size() / oracleSample);
        int checked = 0, parsed = 0;
        for (std::size_t i = 0; i < translated.size() && checked < static_cast<int>(oracleSample); i += step, ++checked)
            if (test::TsqlSyntaxErrors(translated[i]).empty()) ++parsed;
            else std::cerr << "grammar rejects:\n" << translated[i] << "\n";
        std::printf("\nT-SQL grammar: %d of %d translations sampled parse\n", parsed, checked);
    }
    return total[2] == 0 ? 0 : 1;
}
