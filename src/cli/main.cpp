// velmora-cli: the command-line front end. It runs the same core as the desktop program.
#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <optional>
#include <string>
#include <vector>

#include <strings.h>
#include <unistd.h>

#include "BashCompletion.h"
#include "CliHelp.h"
#include "CliOptions.h"
#include "CliRun.h"
#include "Converters/TaskChoices.h"
#include "translation/BatchSafety.h"
#include "translation/DdlTranslator.h"
#include "translation/InputLimits.h"
#include "translation/CreateTableParser.h"
#include "translation/FullTableTranslator.h"
#include "translation/FullRoutineTranslator.h"
#include "translation/FullViewTranslator.h"
#include "translation/SqlModes.h"
#include "config/Configuration.h"
#include "config/Options.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;

// The whole text of FILE, or of standard input for no FILE or '-'; false (with the message
// written) when it cannot be read.
bool ReadInput(const char* command, const std::string& file, std::string& text) {
    if (file.empty() || file == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return true;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot open '%s': %s\n", command, file.c_str(), std::strerror(errno));
        return false;
    }
    // A file's text is sized once, not copied while it grows (a pipe has no size to ask for).
    std::error_code noSize;
    if (const std::uintmax_t size = std::filesystem::file_size(file, noSize); !noSize) text.reserve(size);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// The batches a translate command prints, each followed by its GO line: every statement is
// rewritten so that no text from the source can end the batch or run a command of the splitter,
// and let go once it is. Nothing is printed unless every one could be (the reason is written).
class BatchOutput {
public:
    explicit BatchOutput(const char* command) : command_(command) {}

    bool Add(std::string statement) {
        velmora::BatchSafeText safe = velmora::MakeBatchSafe(statement);
        std::string().swap(statement);
        if (!safe.ok()) {
            std::fprintf(stderr, "%s: the statement cannot be written safely: %s\n", command_, safe.refusal.c_str());
            return false;
        }
        batches_.push_back(std::move(safe.text));
        return true;
    }

    // The comment lines, then the batches.
    void Print(const std::string& comments) const {
        std::fwrite(comments.data(), 1, comments.size(), stdout);
        for (const std::string& batch : batches_) {
            std::fwrite(batch.data(), 1, batch.size(), stdout);
            std::fputs("\nGO\n", stdout);
        }
    }

private:
    const char* command_;
    std::vector<std::string> batches_;
};

// A comment line of the output: line breaks of the source's text become blanks.
std::string CommentLine(const std::string& prefix, std::string text) {
    for (char& c : text) c = (c == '\n' || c == '\r') ? ' ' : c;
    return "-- " + prefix + text + "\n";
}

// The table definitions of a --table file: each "CREATE TABLE" at the start of a line begins one.
bool ReadTableModels(const char* command, const std::string& text, std::vector<velmora::TableModel>& models) {
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at < text.size();) {
        if (strncasecmp(text.c_str() + at, "create table", 12) == 0) starts.push_back(at);
        const std::size_t end = text.find('\n', at);
        at = end == std::string::npos ? text.size() : end + 1;
    }
    for (std::size_t i = 0; i < starts.size(); ++i) {
        std::string definition = text.substr(starts[i], (i + 1 < starts.size() ? starts[i + 1] : text.size()) - starts[i]);
        while (!definition.empty() && (std::isspace(static_cast<unsigned char>(definition.back())) || definition.back() == ';'))
            definition.pop_back();
        velmora::ParsedTable parsed = velmora::ParseCreateTable(definition);
        if (!parsed.ok()) {
            std::fprintf(stderr, "%s: --table: definition %zu: %s\n", command, i + 1, parsed.error.c_str());
            return false;
        }
        models.push_back(std::move(parsed.table));
    }
    if (starts.empty()) std::fprintf(stderr, "%s: --table: the file holds no CREATE TABLE text\n", command);
    return !starts.empty();
}

int TranslateView(const velmora::cli::CliOptions& options) {
    const std::vector<std::string>& args = options.words;
    const std::string usage = velmora::cli::HelpText("translate-view");
    if (options.help) {
        std::fputs(usage.c_str(), stdout);
        return kExitOk;
    }
    if (args.size() > 1) {
        std::fprintf(stderr, "translate-view: expected at most one FILE, got %zu arguments\n%s", args.size(),
                     usage.c_str());
        return kExitUsage;
    }
    std::string text, tables;
    std::vector<velmora::TableModel> models;
    if (!ReadInput("translate-view", args.empty() ? "" : args[0], text)) return kExitUsage;
    if (options.tableFile && (!ReadInput("translate-view", *options.tableFile, tables) || !ReadTableModels("translate-view", tables, models)))
        return kExitUsage;
    velmora::SqlModeText inDefaultMode = velmora::InDefaultSqlMode(text, options.sqlMode.value_or(""));
    if (!inDefaultMode.refusal.empty()) {
        std::fprintf(stderr, "translate-view: it cannot be translated: %s\n", inDefaultMode.refusal.c_str());
        return 1;
    }
    if (inDefaultMode.rewritten) text = std::move(inDefaultMode.text);
    // Names of the view's own database lose their qualifier, as on the way into a target database.
    const std::pair<std::string, std::string> name = velmora::ViewNameOf(text);
    const velmora::FullViewTranslation view = velmora::TranslateViewFull(text, "", {name.second, ""}, models);
    if (!view.ok()) {
        std::fprintf(stderr, "translate-view: it cannot be translated: %s\n", view.untranslatable.c_str());
        return 1;
    }
    std::string comments;
    for (const std::string& adjustment : view.adjustments) comments += CommentLine("adjusted: ", adjustment);
    BatchOutput out("translate-view");
    if (!out.Add(view.statement)) return 1;
    out.Print(comments);
    return kExitOk;
}

// A procedure, function or trigger: its T-SQL batches, each followed by GO, after a comment line
// per adjustment; 1 with the construct named when it cannot be translated.
int TranslateRoutine(const velmora::cli::CliOptions& options) {
    const std::vector<std::string>& args = options.words;
    const std::string usage = velmora::cli::HelpText("translate-routine");
    if (options.help) {
        std::fputs(usage.c_str(), stdout);
        return kExitOk;
    }
    if (args.size() > 1) {
        std::fprintf(stderr, "translate-routine: expected at most one FILE, got %zu arguments\n%s", args.size(),
                     usage.c_str());
        return kExitUsage;
    }
    std::string text, tables;
    velmora::RoutineContext context;
    if (!ReadInput("translate-routine", args.empty() ? "" : args[0], text)) return kExitUsage;
    if (options.tableFile &&
        (!ReadInput("translate-routine", *options.tableFile, tables) || !ReadTableModels("translate-routine", tables, context.tables)))
        return kExitUsage;
    context.sqlMode = options.sqlMode.value_or("");
    // Its own name and parameters, for a call of itself; the translation reads the body.
    const velmora::KnownRoutine self =
        velmora::RoutineSignature(velmora::InDefaultSqlMode(text, context.sqlMode).In(text), false);
    if (!self.name.empty()) context.routines.push_back(self);
    velmora::FullRoutineTranslation routine = velmora::TranslateRoutineFull(text, context);
    std::string().swap(text);  // the output of a large routine is made without its source held too
    if (!routine.ok()) {
        std::fprintf(stderr, "translate-routine: it cannot be translated: %s\n", routine.untranslatable.c_str());
        return 1;
    }
    std::string comments;
    for (const std::string& adjustment : routine.adjustments) comments += CommentLine("adjusted: ", adjustment);
    BatchOutput out("translate-routine");
    for (std::string& statement : routine.statements)
        if (!out.Add(std::move(statement))) return 1;
    out.Print(comments);
    return kExitOk;
}

// The Full translation's statements, for a person or sqlcmd; 1 when the text is no definition.
int PrintFullTranslation(const std::string& text, const velmora::cli::CliOptions& options) {
    velmora::ExpressionNames names;
    names.targetSchema = options.targetSchema.value_or("");
    velmora::TypeMap typeMap;
    if (options.typeMap) {
        velmora::TypeMapParse parsed = velmora::ReadTypeMapFile(*options.typeMap);
        if (!parsed.ok()) {
            std::fprintf(stderr, "translate-table: %s\n", parsed.error.c_str());
            return kExitUsage;
        }
        typeMap = std::move(parsed.map);
    }
    velmora::FullTableTranslation table = velmora::TranslateTableFull(text, names, {}, {&typeMap, ""});
    if (!table.ok()) {
        std::fprintf(stderr, "translate-table: %s\n", table.error.c_str());
        return 1;
    }
    std::string comments;
    for (const velmora::Adjustment& adjustment : table.adjustments) {
        comments += CommentLine("adjusted: ", (adjustment.column.empty() ? "" : adjustment.column + ": ") + adjustment.text);
    }
    for (const velmora::AppliedOverride& applied : table.overrides) {
        comments += CommentLine("type map: ", applied.column + ": " + applied.Describe());
    }
    BatchOutput out("translate-table");
    bool ok = out.Add(std::move(table.createTable));
    for (auto* list : {&table.indexes, &table.comments, &table.foreignKeys}) {
        for (std::string& text : *list) ok = ok && out.Add(std::move(text));
    }
    if (!ok) return 1;
    out.Print(comments);
    return kExitOk;
}

int TranslateTable(const velmora::cli::CliOptions& options) {
    const std::vector<std::string>& args = options.words;
    const std::string usage = velmora::cli::HelpText("translate-table");
    if (options.help) {
        std::fputs(usage.c_str(), stdout);
        return kExitOk;
    }
    std::optional<velmora::TranslationMode> mode = velmora::kDefaultTranslation;
    if (options.translation) mode = velmora::ParseTranslationMode(*options.translation);
    if (!mode) {
        std::fprintf(stderr, "translate-table: --translation takes full or classic\n%s",
                     usage.c_str());
        return kExitUsage;
    }
    if (args.size() > 1) {
        std::fprintf(stderr, "translate-table: expected at most one FILE, got %zu arguments\n%s",
                     args.size(), usage.c_str());
        return kExitUsage;
    }
    std::string text;
    if (!ReadInput("translate-table", args.empty() ? "" : args[0], text)) return kExitUsage;
    if (*mode == velmora::TranslationMode::Full) return PrintFullTranslation(text, options);
    std::string translated = velmora::RewriteTableDefinition(text);
    std::fwrite(translated.data(), 1, translated.size(), stdout);
    return kExitOk;
}

}  // namespace

int main(int argc, char* argv[]) {
    velmora::KeepSecretsOutOfCoreDumps();
    std::vector<std::string> args(argv + 1, argv + argc);
    velmora::cli::ParseResult parsed = velmora::cli::ParseCommandLine(args);
    const velmora::cli::CliOptions& options = parsed.options;
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "velmora-cli: %s\n\n%s", parsed.error.c_str(),
                     velmora::cli::HelpText(options.command).c_str());
        return kExitUsage;
    }
    if (options.version) {
        std::printf("velmora-cli %s\n", VELMORA_VERSION);
        return kExitOk;
    }
    if (options.maxStatementMb) {
        char* end = nullptr;
        const unsigned long long mb = std::strtoull(options.maxStatementMb->c_str(), &end, 10);
        if (options.maxStatementMb->empty() || *end != '\0' || mb == 0 || mb > 4096) {
            std::fprintf(stderr, "velmora-cli: --max-statement-mb takes a number of MB from 1 to 4096, not '%s'\n",
                         velmora::ShownText(*options.maxStatementMb).c_str());
            return kExitUsage;
        }
        velmora::SetStatementLimit(static_cast<size_t>(mb) << 20);
    }
    // The build writes the man page's options from the table (not a user's command).
    if (options.command == "man-page-options") {
        std::fputs(velmora::cli::ManPageOptions().c_str(), stdout);
        return kExitOk;
    }
    if (options.command == "completion") {
        if (options.words != std::vector<std::string>{"bash"}) {
            std::fputs("Usage: velmora-cli completion bash\n", stderr);
            return kExitUsage;
        }
        std::fputs(velmora::cli::BashCompletionScript().c_str(), stdout);
        return kExitOk;
    }
    if (options.command.empty() || options.command == "help") {
        // "help migrate" is "migrate --help".
        const std::string about = options.words.empty() ? "" : options.words[0];
        const bool asked = options.help || options.command == "help";
        std::fputs(velmora::cli::HelpText(about).c_str(), asked ? stdout : stderr);
        return asked ? kExitOk : kExitUsage;
    }
    if (options.command == "translate-table") return TranslateTable(options);
    if (options.command == "translate-view") return TranslateView(options);
    if (options.command == "translate-routine") return TranslateRoutine(options);
    if (options.help) {
        std::fputs(velmora::cli::HelpText(options.command).c_str(), stdout);
        return kExitOk;
    }
    return velmora::cli::RunCommand(options, isatty(STDIN_FILENO) != 0);
}
