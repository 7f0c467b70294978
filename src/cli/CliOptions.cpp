#include "CliOptions.h"

#include <algorithm>
#include <cctype>

#include "assessment/TargetVersion.h"

namespace velmora::cli {
namespace {

using Value = OptionSpec::Value;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A setter that takes any value.
template <typename Field>
std::function<std::string(CliOptions&, const std::string&)> Store(Field field) {
    return [field](CliOptions& o, const std::string& v) {
        field(o) = v;
        return std::string();
    };
}

std::function<std::string(CliOptions&, const std::string&)> Flag(bool CliOptions::*member) {
    return [member](CliOptions& o, const std::string&) {
        o.*member = true;
        return std::string();
    };
}

std::string ApplyEncrypt(CliOptions& o, const std::string& value) {
    const std::string choice = Lower(value);
    if (choice != "optional" && choice != "mandatory" && choice != "strict") {
        return "--target-encrypt takes optional, mandatory or strict, not '" + value + "'";
    }
    o.target.encrypt = choice;
    return {};
}

std::string ApplyTrust(CliOptions& o, const std::string& value) {
    const std::string choice = Lower(value);
    if (choice.empty() || choice == "yes" || choice == "true") {
        o.target.trustServerCertificate = true;
    } else if (choice == "no" || choice == "false") {
        o.target.trustServerCertificate = false;
    } else {
        return "--target-trust-server-certificate takes yes or no, not '" + value + "'";
    }
    return {};
}

std::string ApplyTargetVersion(CliOptions& o, const std::string& value) {
    const std::string choice = Lower(value);
    if (!IsTargetVersion(choice)) {
        return "--target-version takes 2016, 2017, 2019, 2022, azure or babelfish, not '" + value + "'";
    }
    o.targetVersion = choice;
    return {};
}

std::string ApplyFailOn(CliOptions& o, const std::string& value) {
    const std::string choice = Lower(value);
    if (choice != "adjustments" && choice != "refusals") {
        return "--fail-on takes adjustments or refusals, not '" + value + "'";
    }
    o.failOn = choice;
    return {};
}

// The commands that read migrator.cfg and connect; assess connects the target only when
// --target names one.
const std::vector<std::string> kWorkCommands = {"migrate", "backup", "verify", "condition", "tree", "follow", "cutover"};
const std::vector<std::string> kSourceCommands = {"migrate", "backup", "verify", "condition", "tree", "assess",
                                                  "follow", "cutover"};

std::vector<OptionSpec> BuildTable() {
    auto side = [](bool source) {
        return [source](CliOptions& o) -> SideOverrides& { return source ? o.source : o.target; };
    };
    const auto& work = kWorkCommands;
    const auto& reading = kSourceCommands;
    std::vector<OptionSpec> table = {
        {"--help", "-h", Value::None, "", Flag(&CliOptions::help),
         "Help: the program's commands and options, or those of one command.", {}},
        {"--version", "-V", Value::None, "", Flag(&CliOptions::version), "Print the version.", {}},
        {"--yes", "-y", Value::None, "", Flag(&CliOptions::yes),
         "Answer every question yes.",
         work},
        {"--quiet", "-q", Value::None, "", Flag(&CliOptions::quiet),
         "Show only errors and the summary.", reading},
        {"--resume", "", Value::None, "", Flag(&CliOptions::resume),
         "Complete what an earlier run left on the target: complete tables are skipped, partly "
         "copied ones continue after their largest key (or are copied again), existing foreign "
         "keys and views are kept.",
         {"migrate"}},
        {"--config", "", Value::Required, "FILE",
         Store([](CliOptions& o) -> auto& { return o.config; }),
         "The migrator.cfg to read (default: the program folder's, else "
         "$XDG_CONFIG_HOME/velmora).",
         reading},
        {"--target-script", "", Value::Required, "DIR",
         Store([](CliOptions& o) -> auto& { return o.targetScript; }),
         "No live target: write the target's statements into DIR/TGT.sql (run it with sqlcmd -x).",
         {"migrate", "tree"}},
        {"--report", "", Value::Required, "FILE",
         Store([](CliOptions& o) -> auto& { return o.report; }),
         "Write a JSON report: every table, view and foreign key with its outcome, reason, resume "
         "and verification figures (its schema: report-schema.md, installed with the manual).",
         {"migrate", "verify"}},
        {"--log-file", "", Value::Required, "FILE",
         Store([](CliOptions& o) -> auto& { return o.logFile; }),
         "Append the log lines to FILE as well.", reading},
        {"--html", "", Value::Required, "FILE",
         Store([](CliOptions& o) -> auto& { return o.html; }),
         "Write the assessment as one HTML page to FILE (default: DB-assessment.html in the "
         "current folder; with --json alone, no HTML).",
         {"assess"}},
        {"--json", "", Value::Required, "FILE",
         Store([](CliOptions& o) -> auto& { return o.json; }),
         "Write the assessment as JSON to FILE (default: DB-assessment.json in the current "
         "folder; with --html alone, no JSON). Its schema: report-schema.md.",
         {"assess"}},
        {"--fail-on", "", Value::Required, "adjustments|refusals", ApplyFailOn,
         "Exit code 1 when an object will not arrive (refusals: refused, unreadable or not "
         "migrated) or, with adjustments, also when one arrives changed: a gate for pipelines.",
         {"assess"}},
        {"--target-version", "", Value::Required, "2016|2017|2019|2022|azure|babelfish", ApplyTargetVersion,
         "Check the assessment against that version of the target: what it cannot take (a "
         "UTF-8 collation before 2019 and on Babelfish, STRING_AGG before 2017, ...) is refused "
         "there, not adjusted.",
         {"assess"}},
        {"--to", "", Value::Required, "DIR",
         Store([](CliOptions& o) -> auto& { return o.backupFolder; }), "The backup folder.",
         {"backup"}},
        {"--translation", "", Value::Required, "full|classic",
         Store([](CliOptions& o) -> auto& { return o.translation; }),
         "How tables and views are translated. full (the default): a type mapping under which "
         "every MySQL value fits its column (unsigned ranges, enum and set as checked text), "
         "rows in multi-row statements, the adjustments named in the log; classic: the plain "
         "rule chain of earlier versions. Default: [Public] Translation= of migrator.cfg, else "
         "full.",
         {"migrate", "translate-table"}},
        {"--max-statement-mb", "", Value::Required, "N",
         Store([](CliOptions& o) -> auto& { return o.maxStatementMb; }),
         "Refuse a definition from the source larger than N MB (default 16), with its size: a "
         "hostile or broken definition cannot take the machine's memory.",
         {"migrate", "assess", "translate-table", "translate-view", "translate-routine"}},
        {"--jobs", "-j", Value::Required, "N",
         Store([](CliOptions& o) -> auto& { return o.jobs; }),
         "Full mode: copy N tables at once (1 to 16), each on connections of its own; the "
         "foreign keys follow once every table is there. Default: [Public] Jobs= of "
         "migrator.cfg, else 4. A --target-script is always written one table after another.",
         {"migrate"}},
        {"--part", "", Value::Required, "I/N",
         Store([](CliOptions& o) -> auto& { return o.part; }),
         "migrate database, Full mode: copy share I of N of the work (whole tables and key ranges "
         "of big ones, split alike in every process from the source alone), so that N processes "
         "on any machines copy one database together; the foreign keys, views, identities and "
         "the verification wait for --finish. A share can be run again: it completes what it "
         "left.",
         {"migrate"}},
        {"--finish", "", Value::None, "", Flag(&CliOptions::finish),
         "migrate database, after every --part I/N has ended: create the foreign keys and views, "
         "reseed the identities and verify every table (full unless --verify count). A missing "
         "or failed share is an error that names it.",
         {"migrate"}},
        {"--bulk", "", Value::Required, "auto|off",
         Store([](CliOptions& o) -> auto& { return o.bulk; }),
         "Full mode: auto (the default) sends rows through the target driver's bulk copy (Microsoft's "
         "ODBC Driver 17 or 18, never FreeTDS) when "
         "a check before the first table stores and reads back every kind of value exactly, "
         "else in INSERT statements (the log says why); off: always INSERT statements. "
         "Default: [Public] Bulk= of migrator.cfg, else auto.",
         {"migrate"}},
        {"--table", "", Value::Required, "FILE",
         Store([](CliOptions& o) -> auto& { return o.tableFile; }),
         "The \"show create table\" texts of the tables the view selects from, one after "
         "another; their keys and column types tell what the view's grouping and text mean. "
         "For a trigger: its table's text, whose key pairs old and new rows.",
         {"translate-view", "translate-routine"}},
        {"--sql-mode", "", Value::Required, "MODE",
         Store([](CliOptions& o) -> auto& { return o.sqlMode; }),
         "The SQL mode the text was written under, as SHOW CREATE prints it (for example "
         "ANSI_QUOTES,NO_BACKSLASH_ESCAPES): \"name\" is then a name and a backslash an ordinary "
         "character. Default: MySQL's default mode.",
         {"translate-view", "translate-routine"}},
        {"--target-schema", "", Value::Required, "NAME",
         Store([](CliOptions& o) -> auto& { return o.targetSchema; }),
         "Full mode: the schema of the target database that receives the tables, views, "
         "routines and triggers, created when missing; names inside them and foreign keys "
         "follow; backup table|view reads the object there. Default: "
         "[Public] TargetSchema= of migrator.cfg, else dbo.",
         {"migrate", "verify", "translate-table", "assess", "backup", "follow", "cutover"}},
        {"--schema-per-database", "", Value::None, "", Flag(&CliOptions::schemaPerDatabase),
         "Several source databases into one target database (SRC is a list such as shop,crm), "
         "each into a schema named after it; a view's name qualified with one of them finds its "
         "schema.",
         {"migrate", "verify", "assess"}},
        {"--type-map", "", Value::Required, "FILE",
         Store([](CliOptions& o) -> auto& { return o.typeMap; }),
         "Full mode: rules that choose a column's type or collation before the built-in map, one "
         "a line (tinyint(1) = bit, int unsigned = int, shop.orders.status = varchar(20), "
         "collation utf8mb4_bin = Latin1_General_100_BIN2). A rule whose type cannot hold the "
         "column's values stops the migration before anything is created. Default: [Public] "
         "TypeMap= of migrator.cfg.",
         {"migrate", "translate-table", "assess"}},
        {"--follow", "", Value::None, "", Flag(&CliOptions::follow),
         "migrate database: record the source's binary log position before the first row is "
         "read, copy as usual, then apply every committed change of the migrated tables to the "
         "target until a cutover (velmora-cli cutover) or a stop. The source needs log_bin, "
         "binlog_format=ROW and binlog_row_image=FULL, and the login REPLICATION SLAVE and "
         "REPLICATION CLIENT; what is missing is said before anything is copied (exit code 2).",
         {"migrate"}},
        {"--exclude", "", Value::Required, "TABLE,...",
         [](CliOptions& o, const std::string& value) -> std::string {
             std::string rest = value;
             while (!rest.empty()) {
                 const size_t comma = rest.find(',');
                 const std::string name = rest.substr(0, comma);
                 if (name.empty()) return "--exclude takes table names separated by commas";
                 o.exclude.push_back(name);
                 rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
             }
             return o.exclude.empty() ? "--exclude takes table names separated by commas" : "";
         },
         "migrate database: leave these source tables out (names separated by commas), of the "
         "copy and of following.",
         {"migrate"}},
        {"--read-only", "", Value::None, "", Flag(&CliOptions::readOnly),
         "cutover: set the source read-only first (it needs SUPER or READ_ONLY ADMIN); without "
         "it, stop the application's writes before the cutover.",
         {"cutover"}},
        {"--verify", "", Value::Required, "count|full",
         Store([](CliOptions& o) -> auto& { return o.verify; }),
         "On migrate: compare the copied tables with the source afterwards. On verify: how "
         "deep; full (the default) compares every row in key order, count the row counts only. "
         "Both also compare the schema (each column, key, index, foreign key, check, default, "
         "view, routine and trigger) in Full translation.",
         {"migrate", "verify"}},
    };
    for (bool source : {true, false}) {
        const std::string prefix = source ? "--source" : "--target";
        const std::string section = source ? "[SourceDB]" : "[TargetDB]";
        auto of = side(source);
        // Both sides: assess connects a target only when --target names one (its version and a
        // timed write).
        const auto& sideCommands = reading;
        table.push_back({prefix, "", Value::Required, "HOST[:PORT]",
                         Store([of](CliOptions& o) -> auto& { return of(o).server; }),
                         "The server (overrides SourceName= of " + section + ").", sideCommands});
        table.push_back({prefix + "-user", "", Value::Required, "NAME",
                         Store([of](CliOptions& o) -> auto& { return of(o).user; }),
                         "The login (overrides UserID= of " + section + ").", sideCommands});
        table.push_back({prefix + "-password-env", "", Value::Required, "VAR",
                         Store([of](CliOptions& o) -> auto& { return of(o).passwordEnv; }),
                         "The name of the environment variable that holds the password "
                         "(overrides PassWord= of " + section + ").",
                         sideCommands});
        table.push_back({prefix + "-database", "", Value::Required, "NAME",
                         Store([of](CliOptions& o) -> auto& { return of(o).database; }),
                         "The database to connect to (overrides CatalogName= of " + section + ").",
                         sideCommands});
        table.push_back({prefix + "-provider", "", Value::Required, "NAME",
                         Store([of](CliOptions& o) -> auto& { return of(o).provider; }),
                         "The provider (overrides Provider= of " + section + "; default "
                         "\"TCP/IP:Port\").",
                         sideCommands});
    }
    table.push_back({"--target-encrypt", "", Value::Required, "optional|mandatory|strict",
                     ApplyEncrypt,
                     "Encryption of the target connection, in the words of the SQL Server driver "
                     "in use (Microsoft's ODBC Driver 18/17: Encrypt=; FreeTDS: Encryption=).",
                     reading});
    table.push_back({"--target-trust-server-certificate", "", Value::Optional, "yes|no",
                     ApplyTrust,
                     "Accept a server certificate that cannot be checked, such as a test "
                     "server's self-signed one; the connection stays encrypted. Microsoft's "
                     "drivers only.",
                     reading});
    return table;
}

const OptionSpec* FindOption(const std::string& arg) {
    for (const OptionSpec& spec : OptionTable()) {
        if (arg == spec.name || (!spec.shortName.empty() && arg == spec.shortName)) return &spec;
    }
    return nullptr;
}

}  // namespace

const std::vector<OptionSpec>& OptionTable() {
    static const std::vector<OptionSpec> table = BuildTable();
    return table;
}

bool OptionSpec::AppliesTo(const std::string& command) const {
    return commands.empty() || std::find(commands.begin(), commands.end(), command) != commands.end();
}

const std::vector<CommandSpec>& CommandTable() {
    static const std::vector<CommandSpec> commands = {
        {"translate-table", {}, {"translate-table [FILE]"},
         "Reads the text that MySQL's \"show create table\" prints (from FILE, or from standard "
         "input when FILE is absent or '-') and prints the translated SQL Server statements. "
         "Full (the default): the CREATE TABLE, its indexes, comments and foreign keys, each "
         "followed by GO, after a comment line per adjustment. Classic: the rewritten statement."},
        {"translate-view", {}, {"translate-view [FILE]"},
         "Reads the text that MySQL's \"show create view\" prints (from FILE, or from standard "
         "input when FILE is absent or '-') and prints the SQL Server CREATE VIEW statement "
         "followed by GO, after a comment line per adjustment. A view without a faithful T-SQL "
         "form is refused with its construct named (exit code 1)."},
        {"translate-routine", {}, {"translate-routine [FILE]"},
         "Reads the text that MySQL's \"show create procedure\", \"show create function\" or "
         "\"show create trigger\" prints (from FILE, or from standard input when FILE is absent "
         "or '-') and prints the SQL Server statements, each followed by GO, after a comment "
         "line per adjustment. A routine without a faithful T-SQL form is refused with its "
         "construct named (exit code 1)."},
        {"tree", {"source", "target"}, {"tree source|target"},
         "Connects one side as migrator.cfg and the connection options say and prints its tree: "
         "the server, its databases, and under the current database its tables (with their "
         "fields and indexes) and views."},
        {"assess", {}, {"assess SRC_DB..."},
         "Reads the source databases (no target is needed) and writes what a migration in Full "
         "would do: for every table and view the T-SQL it creates, each adjustment, each refusal "
         "with its construct, the rows and the size on disk, and an estimate of the copy time "
         "from a short measured read of the largest tables; procedures, functions and triggers "
         "are listed. With --target, the target is asked its version (as --target-version) and "
         "takes a short timed write into a temporary table, which the estimate then includes. "
         "One HTML page and the same as JSON. Exit code 0 when the source could be "
         "read (see --fail-on), 2 when it could not."},
        {"migrate", {"database", "clone", "tables", "views", "table", "view"},
         {"migrate database SRC TGT      a whole source database into target database TGT",
          "migrate clone SRC             a new target database named SRC, then everything",
          "migrate tables SRC TGT        all tables of SRC (then their foreign keys)",
          "migrate views SRC TGT         all views of SRC",
          "migrate table SRC TABLE TGT   one table",
          "migrate view SRC VIEW TGT     one view"},
         "Queues the migration and runs it, then prints a summary: every table, view and "
         "foreign key with its outcome and reason."},
        {"backup", {"database", "tables", "views", "table", "view"},
         {"backup database|tables|views TGT --to DIR", "backup table|view TGT OBJECT --to DIR"},
         "Writes TABLES/*.tbl, DATA/*.data and VIEWS/*.vw of the target database under DIR."},
        {"follow", {}, {"follow SRC_DB TGT_DB"},
         "Goes on following the source's binary log from the position stored in the target "
         "database (after a stop, a crash or a reboot, on any machine): every committed change "
         "of the migrated tables is applied in the source's commit order until a cutover or a "
         "stop (Ctrl-C ends it cleanly). Exit code 1 when following stopped at a change it "
         "cannot follow (ALTER, RENAME, TRUNCATE or DROP of a followed table, a purged log)."},
        {"cutover", {}, {"cutover SRC_DB TGT_DB [--read-only]"},
         "From another terminal or machine while follow runs: records the source's current "
         "position as the cutover point; the follower applies through it, reseeds the "
         "identities, verifies every followed table in full and stops. Prints \"cutover at "
         "<position>: target equals source (N tables, M rows): MATCH\" and exits 0, or names "
         "every table that differs and exits 1."},
        {"verify", {}, {"verify SRC_DB TGT_DB [TABLE]"},
         "Compares the tables of SRC_DB (under their migration conditions) with TGT_DB; changes "
         "nothing. A table without a primary or unique NOT NULL key is compared by counts only. "
         "Exit code 1 when a table does not match."},
        {"condition", {"show", "set", "test"},
         {"condition show SRC TABLE", "condition test SRC TABLE CONDITION   count the rows it selects",
          "condition set SRC TABLE CONDITION    test, then store it"},
         "A condition is an SQL WHERE clause (without 'where') kept in Condition.cfg; a "
         "migration copies only the rows it selects."},
        {"drivers", {}, {"drivers"},
         "The driver and provider check: the MySQL side's drivers, then the SQL Server side's, "
         "each with whether it is installed and usable."},
        {"completion", {"bash"}, {"completion bash"}, "Prints the bash completion script."},
        {"help", {}, {"help [COMMAND]"}, "The program's help, or a command's."},
    };
    return commands;
}

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
    ParseResult result;
    CliOptions& options = result.options;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool inlineValue = false;
        if (arg.rfind("--", 0) == 0) {
            size_t equals = arg.find('=');
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
                arg = arg.substr(0, equals);
                inlineValue = true;
            }
        }
        if (arg == "--source-password" || arg == "--target-password") {
            result.error = arg + " is not accepted: a password on the command line is visible to "
                                 "every user of the machine. Put it in an environment variable and "
                                 "pass " + arg + "-env VAR, or keep it in migrator.cfg";
            return result;
        }
        if (const OptionSpec* option = FindOption(arg)) {
            if (option->value == Value::None && inlineValue) {
                result.error = arg + " takes no value";
                return result;
            }
            if (option->value == Value::Required && !inlineValue) {
                if (i + 1 >= args.size()) {
                    result.error = arg + " needs a value";
                    return result;
                }
                value = args[++i];
            }
            result.error = option->apply(options, value);
            if (!result.error.empty()) return result;
        } else if (arg.rfind("--", 0) == 0) {
            result.error = "unknown option " + arg;
            return result;
        } else if (options.command.empty()) {
            options.command = arg;
        } else {
            options.words.push_back(arg);
        }
    }
    return result;
}

}  // namespace velmora::cli
