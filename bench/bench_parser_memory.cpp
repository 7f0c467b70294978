// bench_parser_memory: peak memory and time of the translators on large generated definitions: a
// procedure of many small statements, one INSERT of many rows, one long string literal, deeply
// (but allowedly) nested expressions, a view of 4,000 long CASE columns, and a table whose enum
// columns list many values.
// Each input is translated in a child process of its own, so that one figure does not inherit
// the memory of another; the peak is the child's resident memory above what it held once the
// input was built (the kernel's high-water mark, reset then).
//
//   bench_parser_memory [MB ...]   (default 1 4 16; each input is made just under MB megabytes)
//
// Prints one line per input: its kind and size, the seconds the translation took, the peak in MB
// over the baseline and that peak as a multiple of the input's size.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "translation/FullRoutineTranslator.h"
#include "translation/FullTableTranslator.h"
#include "translation/FullViewTranslator.h"

namespace {

using namespace velmora;

constexpr const char* kProcedureHead = "CREATE DEFINER=`root`@`localhost` PROCEDURE `p`(IN a INT, OUT b INT)\nBEGIN\n";

// Appends `piece(i)` for i = 0, 1, ... while the text stays under `bytes`.
std::string Repeated(std::string text, std::size_t bytes, const std::function<std::string(int)>& piece, const std::string& tail) {
    for (int i = 0;; ++i) {
        std::string next = piece(i);
        if (text.size() + next.size() + tail.size() > bytes) break;
        text += next;
    }
    return text + tail;
}

std::string ManyStatements(std::size_t bytes) {
    const std::vector<std::string> forms = {
        "  SET b = b + a * #;\n", "  IF b > # THEN SET b = b - 1; ELSE SET b = b + 2; END IF;\n",
        "  UPDATE items SET qty = qty - 1 WHERE id = # AND qty > 0;\n",
        "  INSERT INTO log (id, note) VALUES (#, concat('n', b));\n", "  SELECT count(*) INTO b FROM items WHERE id > #;\n"};
    return Repeated(kProcedureHead, bytes, [&](int i) {
        std::string form = forms[static_cast<std::size_t>(i) % forms.size()];
        return form.replace(form.find('#'), 1, std::to_string(i));
    }, "END");
}

// One INSERT of many rows, as a procedure that seeds a table has it.
std::string OneLongInsert(std::size_t bytes) {
    std::string text = Repeated(std::string(kProcedureHead) + "  INSERT INTO items (id, name, price) VALUES ", bytes - 10,
                                [](int i) {
                                    return std::string(i ? ",\n" : "") + "(" + std::to_string(i) + ", 'item " + std::to_string(i) +
                                           "', " + std::to_string(i % 1000) + ".5)";
                                }, "");
    return text + ";\nEND";
}

std::string LongLiteral(std::size_t bytes) {
    std::string text = std::string(kProcedureHead) + "  SELECT '";
    text.append(bytes - text.size() - 10, 'x');
    return text + "';\nEND";
}

std::string NestedExpressions(std::size_t bytes) {
    const int depth = 60;  // well inside the parser's limit
    std::string expression = std::string(depth, '(') + "a";
    for (int i = 0; i < depth; ++i) expression += " + 1)";
    return Repeated(kProcedureHead, bytes, [&](int) { return "  SET b = " + expression + ";\n"; }, "END");
}

// As many columns as a SELECT list may hold (4,000), each a CASE with as many branches as fill the
// size: a longer list is refused at its 4,097th column.
std::string WideView(std::size_t bytes) {
    const int columns = 4000;
    const std::size_t perColumn = bytes / columns - 60;
    std::string text = "CREATE ALGORITHM=UNDEFINED DEFINER=`root`@`localhost` SQL SECURITY DEFINER VIEW `v` AS select ";
    for (int c = 0; c < columns; ++c) {
        std::string column = "case `t`.`k`";
        for (int w = 0; column.size() < perColumn; ++w) column += " when " + std::to_string(w) + " then 'v" + std::to_string(w) + "'";
        text += (c ? "," : "") + column + " end AS `x" + std::to_string(c) + "`";
    }
    return text + " from `t`";
}

std::string LongEnumLists(std::size_t bytes) {
    const int columns = 1000;  // within SQL Server's column limit
    const std::size_t perColumn = bytes / columns - 40;
    std::string text = "CREATE TABLE `wide` (\n  `id` int(11) NOT NULL,\n";
    for (int c = 0; c < columns; ++c) {
        std::string values;
        for (int v = 0; values.size() < perColumn; ++v)
            values += (v ? ",'v" : "'v") + std::to_string(c) + "_" + std::to_string(v) + "'";
        text += "  `c" + std::to_string(c) + "` enum(" + values + ") DEFAULT NULL,\n";
    }
    return text + "  PRIMARY KEY (`id`)\n) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4";
}

// The translation's outcome as one word: whether it gave statements or refused.
std::string Translate(const std::string& kind, const std::string& text) {
    if (kind == "view") {
        const FullViewTranslation view = TranslateViewFull(text, "", {"", ""}, {});
        return view.ok() ? "translated" : "refused: " + view.untranslatable;
    }
    if (kind == "table") {
        const FullTableTranslation table = TranslateTableFull(text, {});
        return table.ok() ? "translated" : "refused: " + table.error;
    }
    const FullRoutineTranslation routine = TranslateRoutineFull(text, {});
    return routine.ok() ? "translated" : "refused: " + routine.untranslatable;
}

long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string(field).size());
    return 0;
}

// In a child: builds the input, resets the high-water mark, translates, prints the line.
void Measure(const std::string& name, const std::string& kind, const std::function<std::string(std::size_t)>& make,
             std::size_t bytes) {
    const std::string text = make(bytes);
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    const long baseline = StatusKb("VmRSS:");
    const auto start = std::chrono::steady_clock::now();
    const std::string outcome = Translate(kind, text);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double peakMb = static_cast<double>(StatusKb("VmHWM:") - baseline) / 1024.0;
    const double inputMb = static_cast<double>(text.size()) / (1 << 20);
    std::printf("%-18s %6.2f MB  %7.2f s  peak +%7.1f MB  %5.1fx  %s\n", name.c_str(), inputMb, seconds, peakMb,
                peakMb / inputMb, outcome.substr(0, 60).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::strtoul(argv[i], nullptr, 10));
    if (sizes.empty()) sizes = {1, 4, 16};
    struct Input {
        const char* name;
        const char* kind;
        std::string (*make)(std::size_t);
    };
    const Input inputs[] = {{"many-statements", "routine", ManyStatements},
                            {"one-insert", "routine", OneLongInsert},
                            {"long-literal", "routine", LongLiteral},
                            {"nested", "routine", NestedExpressions},
                            {"view-cases", "view", WideView},
                            {"table-enums", "table", LongEnumLists}};
    std::printf("%-18s %9s  %9s  %14s  %6s\n", "input", "size", "time", "peak over base", "ratio");
    for (const std::size_t mb : sizes) {
        for (const Input& input : inputs) {
            std::fflush(stdout);
            const pid_t child = fork();
            if (child == 0) {
                Measure(input.name, input.kind, input.make, (mb << 20) - 1024);  // under a limit of mb MB
                std::fflush(stdout);
                _exit(0);
            }
            int status = 0;
            waitpid(child, &status, 0);
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::printf("%-18s crashed\n", input.name);
        }
    }
    return 0;
}
