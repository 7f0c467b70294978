// The backup of target objects against the scripted SQL Server target: folder tree, file names
// and contents, failures, stop, and that every written script parses as T-SQL.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "commands/MainWindowModel.h"
#include "Converters/WorkerContext.h"
#include "backup/TableKeys.h"
#include "backup/TargetBackup.h"
#include "translation/BatchSafety.h"
#include "support/ScriptedPort.h"
#include "support/SharedConnection.h"
#include "support/TargetDouble.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "(missing " + path + ")";
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string CurrentFolder() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) ? buffer : "";
}

ColumnInfo Column(const char* name, uint16_t type) {
    ColumnInfo column;
    column.name = name;
    column.type = type;
    return column;
}

class BackupTest : public testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/velmora-backup-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        root_ = folder;
        start_ = CurrentFolder();
        auto target = std::make_unique<test::TargetDouble>();
        double_ = target.get();
        window_ = std::make_unique<MainWindowModel>(port_, std::make_unique<test::TargetDouble>(false),
                                                    std::move(target));
        Script();
    }
    void TearDown() override {
        ASSERT_EQ(chdir(start_.c_str()), 0);
        std::string command = "rm -rf '" + root_ + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    void Script() {
        test::TargetDouble& t = *double_;
        t.AddCatalog("sales");
        t.SetProperty(kPropCurrentCatalog, "sales");
        t.AddTable("sales", "orders");
        t.AddTable("sales", "order notes");
        t.AddTable("sales", "v_totals", "VIEW");
        t.AddTable("sales", "sysview", "VIEW", "sys");
        t.AnswerWith(TableDefinitionQuery("orders"),
                     test::ScriptedResult::Text(
                         {"Column_name", "Type", "Length", "Nullable", "Default"},
                         {{"id", "int", " ", "NOT NULL", ""},
                          {"note", "nvarchar", "(50)", "NULL", ""},
                          {"created", "datetime2", " ", "NOT NULL", "default (getdate())"}}));
        test::ScriptedResult rows;
        rows.columns = {Column("id", kTypeI4), Column("note", kTypeWStr),
                        Column("created", kTypeDbTimestamp), Column("blob", kTypeBytes)};
        rows.rows = {{"1", "it's", "2026-01-10 09:00:00", "00FF00"},
                     {"2", std::nullopt, "2026-02-11 10:30:00.5", std::nullopt}};
        t.AnswerWith("select * from orders", rows);
        t.AnswerWith(TableDefinitionQuery("order notes"),
                     test::ScriptedResult::Text({"Column_name", "Type", "Length", "Nullable", "Default"},
                                                {{"body", "nvarchar", "(max)", "NULL", ""}}));
        test::ScriptedResult notes;
        notes.columns = {Column("body", kTypeWStr)};
        notes.rows = {{"call twice"}};
        t.AnswerWith("select * from [order notes]", notes);
        t.AnswerWith("sp_helptext v_totals",
                     test::ScriptedResult::Text(
                         {"Text"}, {{"-- a comment line\r\n"},
                                    {"CREATE VIEW dbo.v_totals AS\r\n"},
                                    {"SELECT count(*) AS n FROM orders WHERE state <> N'Done'\r\n"}}));
    }

    // A backup task's context: its own target connection (standing for the double), the log and
    // stop state of the window, and the backup folder as its work folder.
    WorkerContext& Context(const std::string& folder) {
        context_ = WorkerContext();
        context_.log = &window_->log();
        MainWindowModel* window = window_.get();
        context_.stopCheck = [window] { return window->StopRequested(); };
        context_.targetConnection = std::make_unique<test::SharedConnection>(*double_);
        context_.workFolder = folder.back() == '/' ? folder : folder + "/";
        return context_;
    }

    test::ScriptedPort port_;
    std::unique_ptr<MainWindowModel> window_;
    WorkerContext context_;
    test::TargetDouble* double_ = nullptr;
    std::string root_;
    std::string start_;
};

TEST_F(BackupTest, WholeDatabaseWritesTheFolderTreeAndScriptsThatParse) {
    port_.QueueText(root_ + "/backups");
    std::optional<std::string> folder = ChooseBackupFolder(port_, std::nullopt);
    ASSERT_EQ(folder, root_ + "/backups");
    BackupReport report;
    WorkerContext& context = Context(*folder);
    EXPECT_EQ(BackupDatabaseTables(context, "sales", &report), 0);
    EXPECT_EQ(BackupDatabaseViews(context, "sales", &report), 0);
    EXPECT_TRUE(report.failures.empty());
    EXPECT_EQ(CurrentFolder(), start_);  // every file by absolute path

    const std::string base = root_ + "/backups/sales/";
    const std::string definition = ReadFile(base + "TABLES/orders.tbl");
    EXPECT_EQ(definition,
              "create table orders(\nid int   NOT NULL  ,\nnote nvarchar (50) NULL  ,\n"
              "created datetime2   NOT NULL default (getdate()) )\n");
    const std::string data = ReadFile(base + "DATA/orders.data");
    EXPECT_EQ(data,
              "insert into orders values (1,N'it''s','2026-01-10T09:00:00',0x00FF00);\n"
              "insert into orders values (2,NULL,'2026-02-11T10:30:00.5',NULL);\n");
    EXPECT_EQ(ReadFile(base + "VIEWS/v_totals.vw"),
              "create VIEW dbo.v_totals AS\r\nSELECT count(*) AS n FROM orders WHERE state <> N'Done'\r\n\n");
    // The table with a blank is backed up (Full migrates such tables); the view of schema sys
    // is left out.
    struct stat info {};
    EXPECT_EQ(ReadFile(base + "DATA/order notes.data"), "insert into [order notes] values (N'call twice');\n");
    EXPECT_NE(stat((base + "VIEWS/sysview.vw").c_str(), &info), 0);

    for (const std::string& script : {definition, ReadFile(base + "VIEWS/v_totals.vw")}) {
        EXPECT_EQ(test::DescribeTsqlProblems(script), "");
    }
    std::istringstream lines(data);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(test::DescribeTsqlProblems(line), "");
    }
    std::vector<std::string> messages = window_->log().Messages();
    EXPECT_EQ(messages.front(), "Backup Tables of database [sales]");
    EXPECT_NE(std::find(messages.begin(), messages.end(), "[orders]       2 records backuped!!!"),
              messages.end());
    EXPECT_NE(std::find(messages.begin(), messages.end(), "Bakcup View [sales].[v_totals]"),
              messages.end());
    for (const std::string& statement : double_->Statements()) {
        if (statement.rfind("sp_helptext", 0) != 0) {
            EXPECT_EQ(test::DescribeTsqlProblems(statement), "");
        }
    }
}

// A table or view of another schema than dbo is read as schema.name and scripted so, into a
// file of its own beside the dbo object of the same name; its scripts restore it into its schema.
TEST_F(BackupTest, ObjectsOfAnotherSchemaAreReadAndScriptedInTheirSchema) {
    test::TargetDouble& t = *double_;
    t.AddTable("sales", "orders", "TABLE", "order archive");
    t.AddTable("sales", "recent", "VIEW", "order archive");
    t.AnswerWith(TableDefinitionQuery("orders", "order archive"),
                 test::ScriptedResult::Text({"Column_name", "Type", "Length", "Nullable", "Default"},
                                            {{"id", "int", " ", "NOT NULL", ""}}));
    test::ScriptedResult rows;
    rows.columns = {Column("id", kTypeI4)};
    rows.rows = {{"7"}};
    t.AnswerWith("select * from [order archive].orders", rows);
    t.AnswerWith("sp_helptext N'[order archive].recent'",
                 test::ScriptedResult::Text({"Text"}, {{"CREATE VIEW [order archive].recent AS SELECT id FROM [order archive].orders"}}));
    EXPECT_NE(TableDefinitionQuery("orders", "order archive").find("object_id('[order archive].orders')"), std::string::npos);

    BackupReport report;
    WorkerContext& context = Context(root_);
    EXPECT_EQ(BackupDatabaseTables(context, "sales", &report), 0);
    EXPECT_EQ(BackupDatabaseViews(context, "sales", &report), 0);
    EXPECT_TRUE(report.failures.empty()) << report.failures.front();
    const std::string base = root_ + "/sales/";
    const struct {
        std::string file;
        std::string text;
    } files[] = {
        {"TABLES/order archive.orders.tbl", "create table [order archive].orders(\nid int   NOT NULL  )\n"},
        {"DATA/order archive.orders.data", "insert into [order archive].orders values (7);\n"},
        {"VIEWS/order archive.recent.vw", "create VIEW [order archive].recent AS SELECT id FROM [order archive].orders\n"},
        // The dbo table of the same name keeps its own files.
        {"DATA/orders.data", "insert into orders values (1,N'it''s','2026-01-10T09:00:00',0x00FF00);\n"
                             "insert into orders values (2,NULL,'2026-02-11T10:30:00.5',NULL);\n"},
    };
    for (const auto& f : files) {
        const std::string text = ReadFile(base + f.file);
        EXPECT_EQ(text, f.text) << f.file;
        EXPECT_EQ(test::DescribeTsqlProblems(text), "") << f.file;
    }

    // A one-object backup takes its schema from the task.
    context.options.targetSchema = "order archive";
    EXPECT_EQ(BackupTable(context, "sales", "orders", &report), 1);
    EXPECT_EQ(ReadFile(root_ + "/DATA/order archive.orders.data"), "insert into [order archive].orders values (7);\n");
    EXPECT_EQ(BackupView(context, "sales", "recent", &report), 1);
    EXPECT_TRUE(std::filesystem::exists(root_ + "/VIEWS/order archive.recent.vw"));
    EXPECT_TRUE(report.failures.empty()) << report.failures.front();
}

// Routines of another schema are scripted as schema.name, beside dbo's of the same name.
TEST_F(BackupTest, RoutinesOfAnotherSchemaKeepAFileOfTheirOwn) {
    double_->AnswerWith(RoutineModulesQuery(),
                        test::ScriptedResult::Text(
                            {"name", "type", "definition", "schema"},
                            {{"check_stock", "P ", "CREATE PROCEDURE check_stock AS SELECT 1", "dbo"},
                             {"check_stock", "P ", "CREATE PROCEDURE archive.check_stock AS SELECT 2", "archive"},
                             {"tax", "FN", "CREATE FUNCTION archive.tax(@x int) RETURNS int AS BEGIN RETURN @x END", "archive"}}));
    BackupReport report;
    EXPECT_EQ(BackupDatabaseRoutines(Context(root_), "sales", &report), 0);
    EXPECT_TRUE(report.failures.empty());
    EXPECT_EQ(ReadFile(root_ + "/sales/PROCEDURES/check_stock.sp"), "CREATE PROCEDURE check_stock AS SELECT 1\nGO\n");
    EXPECT_EQ(ReadFile(root_ + "/sales/PROCEDURES/archive.check_stock.sp"), "CREATE PROCEDURE archive.check_stock AS SELECT 2\nGO\n");
    EXPECT_TRUE(std::filesystem::exists(root_ + "/sales/FUNCTIONS/archive.tax.fn"));
}

TEST_F(BackupTest, RootFoldersGetABackupFolderOfTheirOwn) {
    EXPECT_EQ(BackupFolderPath("/"), "/Backup.Script");
    EXPECT_EQ(BackupFolderPath("C:\\"), "C:\\Backup.Script");
    EXPECT_EQ(BackupFolderPath("/ab"), "/ab/Backup.Script");
    EXPECT_EQ(BackupFolderPath("/srv/backups"), "/srv/backups");
    // A shorter folder after a longer one is used exactly.
    port_.QueueText(root_ + "/a-long-folder-name");
    std::optional<std::string> first = ChooseBackupFolder(port_, std::nullopt);
    ASSERT_EQ(first, root_ + "/a-long-folder-name");
    port_.QueueText(root_ + "/b");
    EXPECT_EQ(ChooseBackupFolder(port_, first), root_ + "/b");
    EXPECT_TRUE(std::filesystem::is_directory(root_ + "/b"));
    EXPECT_EQ(CurrentFolder(), start_);
    // Cancel chooses nothing.
    EXPECT_EQ(ChooseBackupFolder(port_, root_ + "/b"), std::nullopt);
}

TEST_F(BackupTest, DrivePrefixLeavesTheDatabaseFolderName) {
    double_->AddCatalog("C:\\sales");
    BackupDatabaseViews(Context(root_), "C:\\sales");
    EXPECT_TRUE(std::filesystem::exists(root_ + "/sales/VIEWS/v_totals.vw"));
}

TEST_F(BackupTest, UnopenableScriptFileLeavesTheFolderAndReportsIt) {
    BackupReport report;
    EXPECT_EQ(BackupTable(Context(root_), "sales", "a/b", &report), -2);
    EXPECT_EQ(window_->log().Messages().back(),
              "Perhaps CHARACTER SET not correct!\nPlease change and try again.");
    EXPECT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(BackupView(Context(root_), "sales", "..", &report), -2);
    EXPECT_EQ(CurrentFolder(), start_);
    // A one-object backup writes straight into the backup folder.
    EXPECT_EQ(BackupView(Context(root_), "sales", "v_totals", &report), 1);
    EXPECT_TRUE(std::filesystem::exists(root_ + "/VIEWS/v_totals.vw"));
}

TEST_F(BackupTest, StopEndsTheDataScriptAfterTheCurrentRow) {
    window_->SetControllerState(ControllerState::StopRequested);
    EXPECT_EQ(WriteTableDataScript(Context(root_), root_ + "/", "orders"), "TRUE");
    EXPECT_EQ(ReadFile(root_ + "/orders.data"),
              "insert into orders values (1,N'it''s','2026-01-10T09:00:00',0x00FF00);\n");
    std::vector<std::string> messages = window_->log().Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2], "Data Backup Terminaled!");
    EXPECT_EQ(messages.back(), "[orders]       1 records backuped!!!");
}

TEST_F(BackupTest, ReadersReportFailuresAndMissingConnections) {
    double_->FailOn("select * from orders", "Invalid object name 'orders'.");
    bool ok = true;
    EXPECT_EQ(WriteTableDataScript(Context(root_), root_ + "/", "orders", &ok),
              "Invalid object name 'orders'.");
    EXPECT_FALSE(ok);
    EXPECT_EQ(ReadViewText(window_->log(), nullptr, "v", &ok), "No Connection!");
    EXPECT_FALSE(ok);
    EXPECT_EQ(window_->log().Messages().back(), "No Connection!");
    // Names that need it are bracketed in every statement.
    double_->ClearStatements();
    ReadViewText(window_->log(), double_->session(), "my view");
    WriteTableDataScript(Context(root_), root_ + "/", "order");
    EXPECT_EQ(double_->Statements(),
              (std::vector<std::string>{"sp_helptext N'[my view]'",
                                        "SELECT COUNT(*) FROM sys.columns WHERE object_id = OBJECT_ID(N'[order]') AND "
                                        "is_identity = 1",
                                        "SELECT name FROM sys.columns WHERE object_id = OBJECT_ID(N'[order]') AND "
                                        "is_computed = 1",
                                        "select * from [order]"}));
    EXPECT_NE(TableDefinitionQuery("it's").find("object_id('[it''s]')"), std::string::npos);
}

// The rows of a table with an identity keep their values when the script runs: IDENTITY_INSERT
// around them and a column list on every insert, as the server requires.
TEST_F(BackupTest, ADataScriptOfAnIdentityTableCanBeRunAsItIs) {
    double_->AnswerWith("SELECT COUNT(*) FROM sys.columns WHERE object_id = OBJECT_ID(N'[order notes]') AND is_identity = 1",
                        test::ScriptedResult::Text({"n"}, {{"1"}}));
    test::ScriptedResult rows;
    rows.columns = {Column("id", kTypeI4), Column("body", kTypeWStr)};
    rows.rows = {{"3", "call"}, {"7", std::nullopt}};
    double_->AnswerWith("select * from [order notes]", rows);
    bool ok = false;
    WriteTableDataScript(Context(root_), root_ + "/", "order notes", &ok);
    EXPECT_TRUE(ok);
    const std::string script = ReadFile(root_ + "/order notes.data");
    EXPECT_EQ(script,
              "set identity_insert [order notes] on;\n"
              "insert into [order notes] (id,body) values (3,N'call');\n"
              "insert into [order notes] (id,body) values (7,NULL);\n"
              "set identity_insert [order notes] off;\n");
    EXPECT_EQ(test::DescribeTsqlProblems(script), "");
}

// A server without sp_helptext (Babelfish says it is not supported) still gives the view's text
// from sys.sql_modules; the query parses as T-SQL.
TEST_F(BackupTest, AViewsTextComesFromSysSqlModulesWithoutSpHelptext) {
    double_->FailOn("sp_helptext N'[my view]'", "'sp_helptext' is not currently supported in Babelfish");
    double_->AnswerWith(ViewDefinitionQuery("my view"),
                        test::ScriptedResult::Text({"definition"}, {{"create view [my view] as select 1 as a"}}));
    bool ok = false;
    EXPECT_EQ(ReadViewText(window_->log(), double_->session(), "my view", &ok),
              "create view [my view] as select 1 as a");
    EXPECT_TRUE(ok);
    EXPECT_EQ(ViewDefinitionQuery("my view"),
              "SELECT definition FROM sys.sql_modules WHERE object_id = OBJECT_ID(N'[my view]')");
    EXPECT_EQ(test::DescribeTsqlProblems(ViewDefinitionQuery("it's")), "");
    // Both failing: the first reason stays.
    double_->FailOn(ViewDefinitionQuery("v"), "no such view");
    double_->FailOn("sp_helptext v", "Invalid object name 'v'.");
    EXPECT_EQ(ReadViewText(window_->log(), double_->session(), "v", &ok), "Invalid object name 'v'.");
    EXPECT_FALSE(ok);
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// Functions, procedures and triggers come from sys.sql_modules as the server keeps them, one
// script each, ending in a GO line; a list that cannot be read fails the backup, no rows do not.
TEST_F(BackupTest, RoutinesAndTriggersAreScriptedFromTheirModules) {
    double_->AnswerWith(RoutineModulesQuery(),
                        test::ScriptedResult::Text(
                            {"name", "type", "definition"},
                            {{"line_total", "FN", "CREATE FUNCTION dbo.line_total(@q int) RETURNS int AS BEGIN RETURN @q * 2 END"},
                             {"check_stock", "P ", "CREATE PROCEDURE dbo.check_stock AS SELECT 1"},
                             {"orders_audit", "TR", "CREATE TRIGGER orders_audit ON orders AFTER INSERT AS SELECT 1"},
                             {"hidden", "P ", std::nullopt}}));
    BackupReport report;
    WorkerContext& context = Context(root_);
    EXPECT_EQ(BackupDatabaseRoutines(context, "sales", &report), 0);
    EXPECT_TRUE(report.failures.empty());
    const struct {
        const char* file;
        const char* text;
    } cases[] = {
        {"FUNCTIONS/line_total.fn", "CREATE FUNCTION dbo.line_total(@q int) RETURNS int AS BEGIN RETURN @q * 2 END"},
        {"PROCEDURES/check_stock.sp", "CREATE PROCEDURE dbo.check_stock AS SELECT 1"},
        {"TRIGGERS/orders_audit.trg", "CREATE TRIGGER orders_audit ON orders AFTER INSERT AS SELECT 1"},
    };
    for (const auto& c : cases) {
        const std::string script = ReadFile(root_ + "/sales/" + c.file);
        EXPECT_EQ(script, std::string(c.text) + "\nGO\n") << c.file;
        EXPECT_EQ(test::DescribeTsqlProblems(c.text), "") << c.file;
    }
    // A text the login may not see is not written as an empty script.
    EXPECT_FALSE(std::filesystem::exists(root_ + "/sales/PROCEDURES/hidden.sp"));
    std::vector<std::string> messages = window_->log().Messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), "Backup TRIGGER [sales].[orders_audit]"),
              messages.end());

    double_->FailOn(RoutineModulesQuery(), "Invalid object name 'sys.sql_modules'.");
    BackupReport failed;
    EXPECT_EQ(BackupDatabaseRoutines(Context(root_ + "/again"), "sales", &failed), -1);
    EXPECT_EQ(failed.failures,
              std::vector<std::string>{"the routines and triggers of [sales] could not be listed"});
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// A table's keys and indexes follow its CREATE TABLE; its foreign keys and checks go into a script
// run after every table's rows. Each statement is exact, batch safe and parses; a check the server
// cannot print is left out with a line naming it.
TEST_F(BackupTest, KeysIndexesForeignKeysAndChecksAreScriptedInRestoreOrder) {
    using test::ScriptedResult;
    const std::string hash(32, 'a');
    double_->AnswerWith(TableIndexesQuery("orders"),
                        ScriptedResult::Text({"name", "pk", "uc", "unique", "type", "filter", "column", "desc", "incl"},
                                             {{"PK_orders", "1", "0", "1", "CLUSTERED", std::nullopt, "id", "0", "0"},
                                              {"PK_orders", "1", "0", "1", "CLUSTERED", std::nullopt, "created", "1", "0"},
                                              {"ux_note" "orders" + hash, "0", "0", "1", "NONCLUSTERED", "note IS NOT NULL", "note", "0", "0"},
                                              {"ix_created", "0", "0", "0", "NONCLUSTERED", std::nullopt, "created", "0", "0"},
                                              {"ix_created", "0", "0", "0", "NONCLUSTERED", std::nullopt, "note", "0", "1"}}));
    double_->AnswerWith(TableForeignKeysQuery("orders"),
                        ScriptedResult::Text({"name", "schema", "table", "column", "referenced", "delete", "update", "disabled", "untrusted"},
                                             {{"fk_notes", "dbo", "order notes", "note", "body", "CASCADE", "NO_ACTION", "0", "0"}}));
    double_->AnswerWith(TableChecksQuery("orders"),
                        ScriptedResult::Text({"name", "disabled", "untrusted"}, {{"ck_id", "0", "0"}, {"ck_note", "0", "0"}, {"ck_old", "1", "1"}, {"ck_state", "0", "0"}}));
    double_->AnswerWith(CheckDefinitionQuery("orders", "", "ck_id"), ScriptedResult::Text({"definition"}, {{"([id]>(0))"}}));
    double_->AnswerWith(CheckDefinitionQuery("orders", "", "ck_old"), ScriptedResult::Text({"definition"}, {{"([id]<(1000))"}}));
    double_->FailOn(CheckDefinitionQuery("orders", "", "ck_state"), "unrecognized node type: 27");
    double_->AnswerWith(CheckDefinitionQuery("orders", "", "ck_note"), ScriptedResult::Text({"definition"}, {{"([note]<>N'a\nGO\nb')"}}));
    BackupReport report;
    EXPECT_EQ(BackupDatabaseTables(Context(root_), "sales", &report), 0);
    EXPECT_TRUE(report.failures.empty()) << report.failures.front();

    const std::string table = ReadFile(root_ + "/sales/TABLES/orders.tbl");
    EXPECT_EQ(table.substr(table.find(")\n") + 2),
              "alter table orders add constraint PK_orders primary key clustered (id, created desc);\n"
              "create unique index ux_note on orders (note) where note IS NOT NULL;\n"
              "create index ix_created on orders (created) include (note);\n");
    const std::string constraints = ReadFile(root_ + "/sales/CONSTRAINTS/orders.con");
    // An untrusted, disabled check stays so (SQL Server's form; Babelfish has no such checks).
    EXPECT_TRUE(constraints.starts_with(
        "alter table orders add constraint fk_notes foreign key (note) references [order notes] (body) on delete cascade;\n"
        "alter table orders add constraint ck_id check ([id]>(0));\n"
        "alter table orders add constraint ck_note check ("))
        << constraints;
    EXPECT_TRUE(constraints.ends_with("alter table orders with nocheck add constraint ck_old check ([id]<(1000));\n"
                                      "alter table orders nocheck constraint ck_old;\n"))
        << constraints;
    // The literal's line breaks cannot end the batch.
    EXPECT_EQ(SplitBatches(constraints).size(), 1u) << constraints;
    // The grammar lacks NOCHECK (valid T-SQL): the rest parses.
    const std::string checked = constraints.substr(0, constraints.find("alter table orders with nocheck"));
    for (const std::string& script : {table, checked}) EXPECT_EQ(test::DescribeTsqlProblems(script), "") << script;
    // A table without foreign keys or checks has no constraints script.
    EXPECT_FALSE(std::filesystem::exists(root_ + "/sales/CONSTRAINTS/order notes.con"));
    const std::vector<std::string> messages = window_->log().Messages();
    EXPECT_NE(std::find_if(messages.begin(), messages.end(),
                           [](const std::string& line) {
                               return line.starts_with("Check [orders].[ck_state] not backed up: the server cannot print its "
                                                       "definition (") &&
                                      line.find("unrecognized node type: 27") != std::string::npos;
                           }),
              messages.end());
    EXPECT_EQ(ReadFile(root_ + "/sales/DATA/orders.data").substr(0, 26), "insert into orders values ");
}

// A computed column is restored by its expression, and its value is left out of the rows; a
// default's line breaks are made batch safe.
TEST_F(BackupTest, AComputedColumnIsScriptedByItsExpressionAndTakesNoValue) {
    double_->AnswerWith(TableDefinitionQuery("orders"),
                        test::ScriptedResult::Text({"Column_name", "Type", "Length", "Nullable", "Default", "Computed"},
                                                   {{"id", "int", " ", "NOT NULL", "default (N'a\nGO\nb')", std::nullopt},
                                                    {"twice", "int", " ", "NULL", "", "as ([id]*(2)) persisted"}}));
    double_->AnswerWith(ComputedColumnsQuery("orders"), test::ScriptedResult::Text({"name"}, {{"twice"}}));
    test::ScriptedResult rows;
    rows.columns = {Column("id", kTypeI4), Column("twice", kTypeI4)};
    rows.rows = {{"4", "8"}};
    double_->AnswerWith("select * from orders", rows);
    BackupReport report;
    EXPECT_EQ(BackupTable(Context(root_), "sales", "orders", &report), 1);
    EXPECT_TRUE(report.failures.empty());
    const std::string table = ReadFile(root_ + "/TABLES/orders.tbl");
    const std::string data = ReadFile(root_ + "/DATA/orders.data");
    // The default's line breaks cannot end the batch.
    EXPECT_EQ(table, "create table orders(\nid int   NOT NULL default (CONCAT(CONVERT(nvarchar(max),N'a'),NCHAR(10),N'GO',NCHAR(10),N'b')) ,\n"
                     "twice as ([id]*(2)) persisted )\n");
    EXPECT_EQ(data, "insert into orders (id) values (4);\n");
    for (const std::string& script : {table, data}) EXPECT_EQ(test::DescribeTsqlProblems(script), "") << script;
}

}  // namespace
}  // namespace velmora
