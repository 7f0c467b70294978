#include "follow/FollowTask.h"

#include <mysql.h>

#include <chrono>
#include <thread>

#include "Converters/TaskChoices.h"
#include "Converters/WorkerContext.h"
#include "data/StatementExecution.h"
#include "follow/BinlogReader.h"
#include "follow/FollowState.h"
#include "follow/FollowedTables.h"
#include "translation/CreateTableParser.h"
#include "translation/Naming.h"

namespace velmora {
namespace {

std::optional<NativeSourceOptions> SourceOptions(WorkerContext& context, std::string& why) {
    const std::string text = context.sourceConnection ? context.sourceConnection->ConnectionText() : "";
    std::optional<NativeSourceOptions> options = NativeOptionsFromOdbc(text, why);
    if (options) options->database = context.sourceDatabase;
    return options;
}

bool Fails(WorkerContext& context, const std::string& line) {
    context.Log().WriteOutputLine("%s", line.c_str());
    return false;
}

// The GRANT the login needs, with its name.
std::string GrantFor(const NativeSourceOptions& source) {
    return "GRANT REPLICATION SLAVE, REPLICATION CLIENT ON *.* TO '" + source.user + "'@'%'";
}

}  // namespace

std::vector<std::string> FollowedTableNames(Session* source, std::string_view database,
                                            const std::vector<std::string>& excluded, std::string& error) {
    std::vector<std::string> tables;
    if (!source) {
        error = "the source is not connected";
        return tables;
    }
    auto statement = source->NewStatement();
    const std::string query = "SELECT table_name FROM information_schema.tables WHERE table_schema = '" +
                              std::string(database) + "' AND table_type = 'BASE TABLE' ORDER BY table_name";
    if (!statement || statement->Create(query) != kSuccess ||
        statement->Execute(StandardRowsetProperties()) != kSuccess || statement->BindAllAsText() != kSuccess) {
        error = statement ? statement->MostInformativeError() : "no statement";
        return tables;
    }
    while (statement->MoveNext() == kSuccess) {
        const std::string name(statement->Value(0));
        bool skip = false;
        for (const std::string& out : excluded) skip = skip || out == name;
        if (!skip) tables.push_back(name);
    }
    statement->Close();
    return tables;
}

bool RecordFollowStart(WorkerContext& context) {
    std::string why;
    const std::optional<NativeSourceOptions> source = SourceOptions(context, why);
    if (!source) return Fails(context, "Follow: the source's binary log cannot be read: " + why);
    std::vector<std::string> tables =
        FollowedTableNames(context.SourceSession(), context.sourceDatabase, context.options.exclude, why);
    if (!why.empty()) return Fails(context, "Follow: the source's tables cannot be listed: " + why);
    SourceHead head;
    if (!BinlogReader::CurrentHead(*source, head, why)) return Fails(context, "Follow: " + why);
    if (!EnsureTargetSchema(context, nullptr)) return false;
    const std::string& schema = context.options.targetSchema;
    if (!ExecuteStatement(context.Log(), context.TargetSession(), CreateFollowTableStatement(schema), 0, &why) ||
        !ExecuteStatement(context.Log(), context.TargetSession(),
                          RecordFollowStartStatement(schema, context.sourceDatabase, head.position, tables), 0, &why)) {
        return Fails(context, "Follow: the position cannot be recorded in the target: " + why);
    }
    context.Log().WriteOutputLine("Follow: position %s recorded before the copy (%zu tables).",
                                  head.position.Text().c_str(), tables.size());
    return true;
}

namespace {

FollowRecord RecordOf(const FollowFigures& figures, const std::string& outcome) {
    FollowRecord record;
    record.followed = true;
    record.changesApplied = figures.changesApplied;
    record.changesRefused = figures.changesRefused;
    record.transactions = figures.transactionsApplied;
    record.changesPerSecond = figures.changesPerSecond;
    record.lagSeconds = figures.lagSeconds;
    record.position = figures.position.Text();
    record.outcome = outcome;
    return record;
}

}  // namespace

bool RunFollowTask(WorkerContext& context) {
    const FollowResult result = RunFollower(context, context.sourceDatabase, context.options.targetSchema,
                                            [&context](const FollowFigures& figures) {
                                                context.ReportRows({"follow", figures.changesApplied, -1, false});
                                                if (context.statusNote) context.statusNote(figures.Note());
                                                if (context.followRecorded) context.followRecorded(RecordOf(figures, ""));
                                            });
    if (context.statusNote) context.statusNote("");
    if (context.followRecorded) context.followRecorded(RecordOf(result.figures, result.outcome));
    return result.exitCode == 0;
}

std::vector<FollowProblem> CheckFollowable(const NativeSourceOptions& source, std::string_view database,
                                           const std::vector<std::string>& tables, double estimatedCopySeconds) {
    std::vector<FollowProblem> problems;
    std::string error;
    MYSQL* connection = ConnectMariaDb(source, error);
    if (!connection) return {{"the source cannot be reached: " + error, "check the source's settings"}};
    std::vector<std::optional<std::string>> row;
    if (BinlogReader::QueryRow(connection,
                               "SELECT @@log_bin, @@binlog_format, @@binlog_row_image, @@binlog_expire_logs_seconds",
                               row, error) && row.size() == 4) {
        if (row[0].value_or("0") != "1") {
            problems.push_back({"the binary log is off", "add log_bin=mysql-bin and server_id=1 to the [mysqld] section of my.cnf and restart the server"});
        }
        if (row[1].value_or("") != "ROW") {
            problems.push_back({"binlog_format is " + row[1].value_or("unknown") + ", not ROW",
                                "SET GLOBAL binlog_format = 'ROW' (and binlog_format=ROW in my.cnf)"});
        }
        if (row[2].value_or("") != "FULL") {
            problems.push_back({"binlog_row_image is " + row[2].value_or("unknown") + ", not FULL",
                                "SET GLOBAL binlog_row_image = 'FULL' (and binlog_row_image=FULL in my.cnf)"});
        }
        const double retention = std::stod(row[3].value_or("0"));
        if (retention > 0 && estimatedCopySeconds > retention) {
            problems.push_back({"the binary log is kept " + std::to_string(static_cast<long long>(retention)) +
                                    " s, less than the copy's estimated " +
                                    std::to_string(static_cast<long long>(estimatedCopySeconds)) + " s",
                                "raise binlog_expire_logs_seconds (or expire_logs_days) above the copy time", true});
        }
    }
    std::string grants;
    if (mysql_real_query(connection, "SHOW GRANTS", 11) == 0) {
        if (MYSQL_RES* result = mysql_store_result(connection)) {
            while (MYSQL_ROW values = mysql_fetch_row(result)) grants += values[0] ? values[0] : "";
            mysql_free_result(result);
        }
        const bool all = grants.find("GRANT ALL PRIVILEGES ON *.*") != std::string::npos;
        const bool slave = all || grants.find("REPLICATION SLAVE") != std::string::npos;
        const bool client = all || grants.find("REPLICATION CLIENT") != std::string::npos ||
                            grants.find("BINLOG MONITOR") != std::string::npos || grants.find("SUPER") != std::string::npos;
        if (!slave || !client) {
            problems.push_back({std::string("the login lacks ") + (!slave ? "REPLICATION SLAVE" : "") +
                                    (!slave && !client ? " and " : "") + (!client ? "REPLICATION CLIENT" : ""),
                                GrantFor(source)});
        }
    }
    std::string keyless;
    for (const std::string& table : tables) {
        if (!BinlogReader::QueryRow(connection, "SHOW CREATE TABLE `" + std::string(database) + "`." +
                                                    QuoteSourceName(table), row, error) || row.size() < 2 || !row[1]) {
            continue;
        }
        const ParsedTable parsed = ParseCreateTable(*row[1]);
        if (parsed.ok() && FollowKeyColumns(parsed.table).empty()) keyless += (keyless.empty() ? "" : ", ") + table;
    }
    if (!keyless.empty()) {
        problems.push_back({"tables without a primary key or NOT NULL unique key cannot be followed: " + keyless,
                            "add a key, or leave them out with --exclude " + keyless});
    }
    mysql_close(connection);
    return problems;
}

int RequestCutover(const NativeSourceOptions& source, Session* target, std::string_view database,
                   std::string_view schema, bool readOnly, const std::function<bool()>& stopRequested,
                   const std::function<void(const std::string&)>& say) {
    std::string error;
    const std::optional<FollowState> before = ReadFollowState(target, schema, database, error);
    if (!before) {
        say("cutover: " + error);
        return 2;
    }
    if (before->state != "following" && before->state != "copying") {
        say("cutover: the follower of " + std::string(database) + " is not running (state: " + before->state +
            (before->outcome.empty() ? "" : "; " + before->outcome) + ")");
        return 2;
    }
    if (readOnly) {
        MYSQL* connection = ConnectMariaDb(source, error);
        if (!connection || mysql_query(connection, "SET GLOBAL read_only = 1") != 0) {
            say("cutover: the source cannot be set read-only (" +
                (connection ? std::string(mysql_error(connection)) : error) +
                "): stop the application, or give the login the privilege (SUPER or READ_ONLY ADMIN)");
            if (connection) mysql_close(connection);
            return 2;
        }
        mysql_close(connection);
        say("The source is read-only now.");
    }
    SourceHead head;
    if (!BinlogReader::CurrentHead(source, head, error)) {
        say("cutover: " + error);
        return 2;
    }
    auto statement = target->NewStatement();
    if (!statement || statement->Create(RequestCutoverStatement(schema, database, head.position)) != kSuccess ||
        statement->Execute(StandardRowsetProperties()) != kSuccess) {
        say("cutover: the cutover point cannot be recorded: " + (statement ? statement->MostInformativeError() : ""));
        return 2;
    }
    say("Cutover point " + head.position.Text() + " recorded; waiting for the follower to apply through it.");
    while (!stopRequested()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const std::optional<FollowState> now = ReadFollowState(target, schema, database, error);
        if (!now) continue;
        if (now->state == "cut over" && !now->outcome.empty()) {
            say(now->outcome);
            return now->outcome.find(": MATCH") != std::string::npos ? 0 : 1;
        }
        if (now->state == "stopped") {
            say("cutover: following stopped before the cutover point: " + now->outcome);
            return 1;
        }
    }
    return 2;
}

}  // namespace velmora
