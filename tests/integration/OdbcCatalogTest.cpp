// Catalogs, type codes and result display through the real "MariaDB Unicode" driver, and the
// real FreeTDS driver on its failure paths (no SQL Server runs here).
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "commands/MainWindowModel.h"
#include "data/OdbcConnection.h"
#include "data/StatementExecution.h"
#include "support/ScriptedPort.h"
#include "support/SourceConnection.h"
#include "support/TargetDouble.h"

namespace velmora {
namespace {

const char* kDdl = R"sql(
CREATE TABLE keyed (a int NOT NULL, b int NOT NULL, c varchar(10),
                    PRIMARY KEY (a, b), UNIQUE KEY uq_c (c), KEY ix_two (c, b));
CREATE TABLE `table with blank` (id int, `column with blank` varchar(20));
CREATE TABLE a_b (x int);
CREATE TABLE aXb (y int);
CREATE VIEW v_keyed AS SELECT a, c FROM keyed;
CREATE TABLE all_types (
  t_tiny tinyint, t_utiny tinyint unsigned, t_small smallint, t_medium mediumint, t_int int,
  t_big bigint unsigned, t_dec decimal(12,3), t_float float, t_double double, t_bit1 bit(1),
  t_bit8 bit(8), t_char char(3), t_varchar varchar(10), t_text text, t_binary binary(4),
  t_varbinary varbinary(10), t_blob blob, t_date date, t_time time, t_datetime datetime(6),
  t_timestamp timestamp NULL, t_year year, t_enum enum('a','b'), t_set set('x','y'), t_json json);
)sql";

class OdbcCatalog : public ::testing::Test {
protected:
    static void SetUpTestSuite() { database_ = new test::ScratchDatabase("velmora_it_catalog", kDdl); }
    static void TearDownTestSuite() {
        delete database_;
        database_ = nullptr;
    }
    void SetUp() override {
        connection_ = test::ConnectLocalMariaDb(database_->name());
        session_ = connection_->session();
        ASSERT_NE(session_, nullptr);
    }

    template <typename Record, typename Field>
    std::vector<std::string> Read(SchemaRowset<Record>& rowset,
                                  const std::vector<std::optional<std::string>>& restrictions, Field field) {
        std::vector<std::string> values;
        EXPECT_EQ(rowset.Open(restrictions), kSuccess) << rowset.ProviderErrorText();
        while (rowset.MoveNext() == kSuccess) values.push_back(field(rowset.Current()));
        rowset.Close();
        return values;
    }

    static test::ScratchDatabase* database_;
    std::unique_ptr<DataSourceConnection> connection_;
    Session* session_ = nullptr;
};

test::ScratchDatabase* OdbcCatalog::database_ = nullptr;

using Names = std::vector<std::string>;
const std::nullopt_t none = std::nullopt;

TEST_F(OdbcCatalog, DatabasesAreListedAndRestrictedByExactName) {
    auto catalogs = session_->NewCatalogsRowset();
    auto name = [](const CatalogRecord& r) { return r.catalogName; };
    Names all = Read(*catalogs, {}, name);
    for (const char* expected : {"information_schema", "mysql", "shop"}) {
        EXPECT_NE(std::find(all.begin(), all.end(), expected), all.end()) << expected;
    }
    EXPECT_NE(std::find(all.begin(), all.end(), database_->name()), all.end());
    EXPECT_EQ(Read(*catalogs, {std::string("shop")}, name), Names{"shop"});
    EXPECT_EQ(Read(*catalogs, {std::string("sho_")}, name), Names{});
}

TEST_F(OdbcCatalog, TablesOfTheCurrentDatabaseByType) {
    auto tables = session_->NewTablesRowset();
    auto nameAndType = [](const TableRecord& r) { return r.tableName + ":" + r.tableType; };
    Names ofTypeTable = Read(*tables, {none, none, none, std::string("TABLE")}, nameAndType);
    std::sort(ofTypeTable.begin(), ofTypeTable.end());
    EXPECT_EQ(ofTypeTable,
              (Names{"aXb:TABLE", "a_b:TABLE", "all_types:TABLE", "keyed:TABLE", "table with blank:TABLE"}));
    EXPECT_EQ(Read(*tables, {none, none, none, std::string("VIEW")}, nameAndType), Names{"v_keyed:VIEW"});
    EXPECT_EQ(Read(*tables, {}, nameAndType).size(), 6u);
    // "_" is no wildcard in a restriction.
    EXPECT_EQ(Read(*tables, {none, none, std::string("a_b")}, nameAndType), Names{"a_b:TABLE"});
    // Another database by catalog, the current one unchanged.
    Names shop = Read(*tables, {std::string("shop"), none, none, std::string("VIEW")}, nameAndType);
    EXPECT_EQ(shop, (Names{"active products:VIEW", "order_lines:VIEW", "order_totals:VIEW"}));
    auto catalog = [](const TableRecord& r) { return r.tableCatalog; };
    EXPECT_EQ(Read(*tables, {none, none, std::string("keyed")}, catalog), Names{database_->name()});
}

TEST_F(OdbcCatalog, ColumnsInOrdinalOrder) {
    auto columns = session_->NewColumnsRowset();
    auto name = [](const ColumnRecord& r) { return r.columnName; };
    EXPECT_EQ(Read(*columns, {none, none, std::string("keyed")}, name), (Names{"a", "b", "c"}));
    EXPECT_EQ(Read(*columns, {none, none, std::string("table with blank")}, name),
              (Names{"id", "column with blank"}));
    EXPECT_EQ(Read(*columns, {none, none, std::string("a_b")}, name), Names{"x"});
    EXPECT_EQ(Read(*columns, {none, none, std::string("keyed"), std::string("c")}, name), Names{"c"});
    Names customers = Read(*columns, {std::string("shop"), none, std::string("customers")}, name);
    ASSERT_EQ(customers.size(), 19u);
    EXPECT_EQ(customers.front(), "id");
    EXPECT_EQ(customers.back(), "created_at");
    auto ordinal = [](const ColumnRecord& r) { return std::to_string(r.ordinalPosition) + (r.isNullable ? "?" : ""); };
    EXPECT_EQ(Read(*columns, {none, none, std::string("keyed")}, ordinal), (Names{"1", "2", "3?"}));
}

TEST_F(OdbcCatalog, OneIndexRowPerIndexColumn) {
    auto indexes = session_->NewIndexesRowset();
    auto row = [](const IndexRecord& r) {
        return r.indexName + "(" + std::to_string(r.ordinalPosition) + ":" + r.columnName + ")" +
               (r.primaryKey ? " pk" : "") + (r.unique ? " unique" : "");
    };
    Names keyed = Read(*indexes, {none, none, none, none, std::string("keyed")}, row);
    std::sort(keyed.begin(), keyed.end());
    EXPECT_EQ(keyed, (Names{"PRIMARY(1:a) pk unique", "PRIMARY(2:b) pk unique", "ix_two(1:c)", "ix_two(2:b)",
                            "uq_c(1:c) unique"}));
    EXPECT_EQ(Read(*indexes, {none, none, std::string("ix_two"), none, std::string("keyed")}, row),
              (Names{"ix_two(1:c)", "ix_two(2:b)"}));
    EXPECT_EQ(Read(*indexes, {none, none, none, none, std::string("a_b")}, row), Names{});
    Names items = Read(*indexes, {std::string("shop"), none, std::string("PRIMARY"), none, std::string("order_items")}, row);
    EXPECT_EQ(items, (Names{"PRIMARY(1:order_id) pk unique", "PRIMARY(2:line_no) pk unique"}));
}

TEST_F(OdbcCatalog, EveryColumnTypeMapsToItsTypeCode) {
    struct {
        const char* table;
        const char* column;
        TypeCode type;
    } cases[] = {
        {"all_types", "t_tiny", kTypeI1}, {"all_types", "t_utiny", kTypeUI1}, {"all_types", "t_small", kTypeI2},
        {"all_types", "t_medium", kTypeI4}, {"all_types", "t_int", kTypeI4}, {"all_types", "t_big", kTypeI8},
        {"all_types", "t_dec", kTypeNumeric}, {"all_types", "t_float", kTypeR4}, {"all_types", "t_double", kTypeR8},
        {"all_types", "t_bit1", kTypeBool}, {"all_types", "t_bit8", kTypeBytes}, {"all_types", "t_char", kTypeWStr},
        {"all_types", "t_varchar", kTypeWStr}, {"all_types", "t_text", kTypeWStr},
        {"all_types", "t_binary", kTypeBytes}, {"all_types", "t_varbinary", kTypeBytes},
        {"all_types", "t_blob", kTypeBytes}, {"all_types", "t_date", kTypeDbDate}, {"all_types", "t_time", kTypeDbTime},
        {"all_types", "t_datetime", kTypeDbTimestamp}, {"all_types", "t_timestamp", kTypeDbTimestamp},
        {"all_types", "t_year", kTypeI2}, {"all_types", "t_enum", kTypeWStr}, {"all_types", "t_set", kTypeWStr},
        {"all_types", "t_json", kTypeWStr},
        // The sample database, read only.
        {"shop.customers", "id", kTypeI4}, {"shop.customers", "api_key", kTypeWStr},
        {"shop.customers", "age", kTypeI1}, {"shop.customers", "visits", kTypeI2},
        {"shop.customers", "points", kTypeI4}, {"shop.customers", "lifetime_cents", kTypeI8},
        {"shop.customers", "active", kTypeBool}, {"shop.customers", "nickname", kTypeWStr},
        {"shop.customers", "biography", kTypeWStr}, {"shop.customers", "born", kTypeI2},
        {"shop.customers", "signed_up", kTypeDbDate}, {"shop.customers", "last_login", kTypeDbTimestamp},
        {"shop.customers", "created_at", kTypeDbTimestamp}, {"shop.products", "price", kTypeNumeric},
        {"shop.products", "weight", kTypeR4}, {"shop.products", "rating", kTypeR8},
        {"shop.products", "picture", kTypeBytes}, {"shop.products", "archive", kTypeBytes},
        {"shop.products", "signature", kTypeBytes}, {"shop.products", "state", kTypeWStr},
        {"shop.shipments", "tags", kTypeWStr}, {"shop.audit_log", "happened_at", kTypeDbTimestamp},
        {"shop.events", "flag", kTypeI1},
    };
    for (const auto& c : cases) {
        auto statement = session_->NewStatement();
        ASSERT_EQ(statement->Create(std::string("select ") + c.column + " from " + c.table + " limit 0"), kSuccess);
        ASSERT_EQ(statement->Execute(StandardRowsetProperties()), kSuccess) << statement->ProviderErrorText();
        ASSERT_EQ(statement->BindAllAsText(), kSuccess);
        EXPECT_EQ(statement->Column(0).type, c.type) << c.table << "." << c.column << " (SQL type "
                                                     << statement->Column(0).sqlType << ")";
    }
}

TEST_F(OdbcCatalog, ShowQueryResultAndExecuteStatementOnTheRealServer) {
    test::ScriptedPort port;
    MainWindowModel window(port, test::ConnectLocalMariaDb(database_->name()), std::make_unique<test::TargetDouble>());
    Session* source = window.sourceSession();
    ASSERT_NE(source, nullptr);
    EXPECT_TRUE(ExecuteStatement(window.log(), source, "use shop;", 1));
    EXPECT_TRUE(ExecuteStatement(window.log(), source, "select * from customers", 1));  // rows unread, no line
    EXPECT_FALSE(ExecuteStatement(window.log(), source, "selec 1", 1));
    EXPECT_EQ(window.log().Messages(), Names{kSuccessLine});
    EXPECT_TRUE(ShowQueryResult(window.log(), source, "select 'x%s', NULL, '', 'ünï 🙂'", 0));
    EXPECT_TRUE(ShowQueryResult(window.log(), source, "select seq, seq * 2, 'r' from seq_1_to_250", 0));
    Names lines = window.log().Messages();
    ASSERT_EQ(lines.size(), 1u + 4u + 300u);
    EXPECT_EQ(Names(lines.begin() + 1, lines.begin() + 8), (Names{"x%s", "(NULL)", "", "ünï 🙂", "1", "2", "r"}));
    EXPECT_EQ(lines.back(), "r");
    EXPECT_EQ(lines[lines.size() - 3], "100");
    EXPECT_FALSE(ShowQueryResult(window.log(), source, "select * from no_such_table", 0));
    EXPECT_NE(window.log().Messages().back().find("no_such_table' doesn't exist"), std::string::npos);
}

// FreeTDS, the SQL Server driver of this machine, on the paths that need no server.
// Built whole: g++ 12 warns falsely (maybe-uninitialized) about growing a property vector here.
PropertySet SqlServerProperties(uint32_t id, const std::string& value) {
    return PropertySet{{Property{kPropAuthPassword, std::string("pw")}, Property{kPropAuthUserId, std::string("sa")},
                        Property{id, value}}};
}

TEST(FreeTds, AClosedPortFailsWithTheDriversOwnText) {
    for (const char* provider : {"SQLOLEDB", "MSDASQL"}) {
        PropertySet properties =
            std::string(provider) == "SQLOLEDB"
                ? SqlServerProperties(kPropInitDataSource, "127.0.0.1,1")
                : SqlServerProperties(kPropInitProviderString, ";Driver={SQL Server};Server=127.0.0.1;"
                                                               "Address=127.0.0.1,1;Network=DBMSSOCN;Database=sales");
        std::unique_ptr<DataSourceConnection> connection = NewOdbcConnection();
        EXPECT_NE(connection->Open(provider, properties), kSuccess);
        EXPECT_EQ(connection->ProviderErrorText(), "[FreeTDS][SQL Server]Unable to connect to data source") << provider;
        EXPECT_EQ(connection->session(), nullptr);
    }
}

TEST(FreeTds, ThePortOfTheHostAndPortStringReachesTheDriver) {
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    int port = ntohs(address.sin_port);
    std::atomic<bool> called{false};
    // A "server" that hangs up at once and stops listening, so that the driver's retries are
    // refused instead of waiting for the login timeout.
    std::thread server([&] {
        int client = accept(listener, nullptr, nullptr);
        called = client >= 0;
        close(listener);
        if (client >= 0) close(client);
    });
    PropertySet properties = SqlServerProperties(
        kPropInitProviderString,
        ";Driver={SQL Server};Server=127.0.0.1;Address=127.0.0.1," + std::to_string(port) + ";Network=DBMSSOCN;");
    std::unique_ptr<DataSourceConnection> connection = NewOdbcConnection();
    EXPECT_NE(connection->Open("MSDASQL", properties), kSuccess);
    EXPECT_EQ(connection->ProviderErrorText().rfind("[FreeTDS]", 0), 0u) << connection->ProviderErrorText();
    if (!called) shutdown(listener, SHUT_RDWR);  // no connection came: end the accept
    server.join();
    EXPECT_TRUE(called) << "FreeTDS did not connect to port " << port;
}

}  // namespace
}  // namespace velmora
