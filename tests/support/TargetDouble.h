// TargetDouble: the SQL Server target of the tests. No SQL Server runs on these machines, so
// the target side is this scripted, in-memory DataSourceConnection. It records every statement
// text in the order executed, answers from a script and lists scripted catalogs.
//
//   auto target = std::make_unique<test::TargetDouble>();   // connected, catalog "master"
//   test::TargetDouble& t = *target;
//   t.AddCatalog("sales");
//   t.AddTable("sales", "orders");
//   t.AddColumn("sales", "orders", "id", SQL_INTEGER, "int");
//   t.AnswerWith("select @@Version", test::ScriptedResult::Text({""}, {{"Microsoft SQL Server 2022"}}));
//   t.FailOn("drop table orders", "Cannot drop the table 'orders', because it does not exist.");
//   t.FailWhen([](const std::string& s) { return s.starts_with("insert into blobs"); }, "String or binary data would be truncated.");
//   MainWindowModel window(port, NewOdbcConnection(), std::move(target));
//   ... run the code under test ...
//   EXPECT_EQ(t.Statements(), (std::vector<std::string>{"use sales;", "create table ..."}));
//   for (const auto& s : t.Statements()) EXPECT_EQ(test::DescribeTsqlProblems(s), "");
//
// Rules:
// - A statement is recorded when it is executed (failing ones too). One with streamed values
//   (StatementRowset::BindStreamed) is recorded by its text, markers and all, and in
//   StreamedStatements with what the double took of each value, piece by piece as a driver's
//   SQLPutData does (a text's UTF-16 pieces back in UTF-8, binary as its bytes). Failures are looked up
//   first (exact text, then predicates in the order added), then answers (the same order).
//   Anything unscripted succeeds without a rowset.
// - A successful "use <name>" (optionally in brackets, optionally ending in ";") makes <name>
//   the current catalog, as on the server.
// - Catalog rowsets filter the scripted catalogs by their restrictions (exact names); an absent
//   catalog restriction means the current catalog, as the real layer does.
// - Open records the provider and properties and succeeds unless RefuseOpen was called;
//   Close disconnects (session() becomes null).
// - "SELECT name FROM sys.databases ORDER BY name" answers the scripted catalogs by name unless
//   it is scripted otherwise; a run lock's sp_getapplock is granted (0) unless scripted.
// - WorkInOneDatabase: the mode of a server that works in one database per connection (Azure
//   SQL Database, Babelfish). Each connection knows the database it was opened on ("Database="
//   or the catalog property; "master" without one); `use` of another database and catalog calls
//   naming another catalog are refused, its current catalog is that database, and so, with Babelfish's text by default, is the catalog
//   call for all catalogs. NewConnection gives more connections to the same server.
//
// Threads: every member may be called from any thread (one lock inside): the scheduler thread
// executes while the test thread scripts and reads.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "data/DataAccess.h"

namespace velmora::test {

using ScriptedRow = std::vector<std::optional<std::string>>;  // nullopt is NULL

// What a scripted statement returns: columns and rows of text values.
struct ScriptedResult {
    std::vector<ColumnInfo> columns;
    std::vector<ScriptedRow> rows;

    // Text columns (kTypeWStr) with these names.
    static ScriptedResult Text(const std::vector<std::string>& names, std::vector<ScriptedRow> rows = {});
};

// Babelfish's refusal of a catalog call that names another database than the current one.
inline constexpr const char* kCurrentDatabaseRefusal =
    "The database name component of the object qualifier must be the name of the current database.";

// What Babelfish answers to @@VERSION.
inline constexpr const char* kBabelfishVersion =
    "Babelfish for Aurora PostgreSQL with SQL Server Compatibility - 12.0.2000.8";

using StatementPredicate = std::function<bool(const std::string& statement)>;

// One value of a statement with streamed values, as the double received it.
struct StreamedParameter {
    bool text = false;
    std::string value;  // UTF-8 for a text, the bytes of binary
    size_t pieces = 0;
    size_t largestPiece = 0;  // bytes
};

struct StreamedStatement {
    std::string statement;
    std::vector<StreamedParameter> parameters;
};

class DoubleBulkScript;  // support/DoubleBulkCopy.h

class TargetDouble : public DataSourceConnection {
public:
    explicit TargetDouble(bool connected = true);
    ~TargetDouble() override;

    // ---- Script ----
    void AnswerWith(const std::string& statement, ScriptedResult result);
    void AnswerWhen(StatementPredicate matches, ScriptedResult result);
    // `code` is what Execute returns: any failure code, or kSuccessWithInfo to check that a
    // caller treats success-with-information as failure.
    void FailOn(const std::string& statement, std::string errorText, ResultCode code = kFailure);
    void FailWhen(StatementPredicate matches, std::string errorText, ResultCode code = kFailure);
    void RefuseOpen(std::string errorText);
    // The next `times` opens on `database` fail with `errorText` (a new database that is not
    // online yet); opens on other databases are not affected.
    void RefuseOpenOn(const std::string& database, int times, std::string errorText);
    // DBMS name ("Microsoft SQL Server"), version ("16.00.4135"), data source name (""),
    // current catalog ("master"), driver name ("libmsodbcsql-18.3.so.2.1") and version
    // ("18.03.0002") are preset; this replaces one.
    void SetProperty(uint32_t id, std::string value);
    void SetStreamsRows(bool streams);
    // See the rules above; nullopt lets the catalog call for all catalogs succeed.
    void WorkInOneDatabase(std::optional<std::string> allCatalogsRefusal = std::string(kCurrentDatabaseRefusal));
    // The catalog call for all catalogs fails with `errorText` (in any mode).
    void FailCatalogCall(std::string errorText);
    // Another, unconnected connection to the same scripted server.
    std::unique_ptr<TargetDouble> NewConnection() const;
    // Forgets every answer scripted so far (failures stay).
    void ClearAnswers();
    // The server's bulk copy: none until Bulk().Offer() (support/DoubleBulkCopy.h).
    DoubleBulkScript& Bulk();

    void AddCatalog(const std::string& name);
    void AddTable(const std::string& catalog, const std::string& name, const std::string& type = "TABLE",
                  const std::string& schema = "dbo");
    void AddColumn(const std::string& catalog, const std::string& table, const std::string& column,
                   int16_t dataType = SQL_WVARCHAR, const std::string& typeName = "nvarchar");
    // One call per index column, in column order.
    void AddIndex(const std::string& catalog, const std::string& table, const std::string& index,
                  const std::string& column, bool primaryKey = false, bool unique = false);

    // ---- Observe ----
    std::vector<std::string> Statements() const;
    // The statements executed with streamed values, in order (failing ones too).
    std::vector<StreamedStatement> StreamedStatements() const;
    void ClearStatements();
    std::string currentCatalog() const;
    // The statements run on connections working in `catalog`, in order.
    std::vector<std::string> StatementsOn(const std::string& catalog) const;
    // The database this connection works in.
    std::string openedOn() const;
    std::string lastOpenProvider() const;
    PropertySet lastOpenProperties() const;
    int openCount() const;

    // ---- DataSourceConnection ----
    ResultCode Open(std::string_view provider, const PropertySet& initProperties) override;
    ResultCode OpenSession() override;
    Session* session() override;
    ResultCode GetProperty(uint32_t id, std::string& value) override;
    void Close() override;
    std::string ProviderErrorText() const override;

    // The answer to one statement, as the double's statements get it.
    struct Outcome {
        ResultCode code = kSuccess;
        std::string errorText;
        std::optional<ScriptedResult> result;
    };
    struct State;  // the script and the catalogs, shared with the double's rowsets

private:
    std::shared_ptr<State> state_;
    std::unique_ptr<Session> session_;
    std::shared_ptr<std::string> own_;  // the one-database mode's database of this connection
    bool opened_ = false;
    std::string refusal_;  // why the last Open failed, when RefuseOpenOn refused it
};

}  // namespace velmora::test
