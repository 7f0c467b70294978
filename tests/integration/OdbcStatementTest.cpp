// Statements and values through the real "MariaDB Unicode" driver against the local MariaDB: a
// database of the test's own for the odd values, and the sample database `shop`, read only.
#include <gtest/gtest.h>
#include <unistd.h>

#include <mutex>
#include <thread>

#include "data/OdbcConnection.h"
#include "data/OdbcStatement.h"
#include "support/LocalMariaDb.h"
#include "support/SourceConnection.h"

namespace velmora {
namespace {

const char* kDdl = R"sql(
CREATE TABLE texts (id int PRIMARY KEY, body longtext, note varchar(100));
INSERT INTO texts VALUES
  (1, REPEAT('a', 100000), 'hundred thousand'),
  (2, NULL, NULL),
  (3, '', ''),
  (4, 'Zoë façade ñandú · 日本語のテキスト · 🙂🎉🚀', 'mixed'),
  (5, REPEAT('😀é中x', 25000), 'long mixed');
CREATE TABLE blobs (id int PRIMARY KEY, data longblob, small varbinary(16), fixed binary(4),
                    flags bit(8), active bit(1));
INSERT INTO blobs VALUES
  (1, CONCAT(X'00', REPEAT(X'00FF7F', 40000), X'00'), X'0001FF00', X'00AB', b'10100101', b'1'),
  (2, NULL, X'', NULL, b'0', b'0');
)sql";

std::string Repeat(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

// All rows of `sql`: each value as text, NULL as nullopt.
std::vector<std::vector<std::optional<std::string>>> ReadAll(Session& session, const std::string& sql) {
    std::vector<std::vector<std::optional<std::string>>> rows;
    std::unique_ptr<StatementRowset> statement = session.NewStatement();
    EXPECT_EQ(statement->Create(sql), kSuccess);
    EXPECT_EQ(statement->Execute(StandardRowsetProperties()), kSuccess) << sql << ": " << statement->ProviderErrorText();
    if (!statement->HasRowset()) return rows;
    EXPECT_EQ(statement->BindAllAsText(), kSuccess);
    ResultCode rc;
    while ((rc = statement->MoveNext()) == kSuccess) {
        auto& row = rows.emplace_back();
        for (int i = 0; i < statement->ColumnCount(); ++i) {
            if (statement->IsNull(i)) {
                row.emplace_back();
            } else {
                EXPECT_EQ(statement->Length(i), statement->Value(i).size());
                row.emplace_back(std::string(statement->Value(i)));
            }
        }
    }
    EXPECT_EQ(rc, kEndOfRowset) << statement->ProviderErrorText();
    statement->Close();
    return rows;
}

std::string One(Session& session, const std::string& sql) {
    auto rows = ReadAll(session, sql);
    return rows.size() == 1 && !rows[0].empty() && rows[0][0] ? *rows[0][0] : "<none>";
}

class OdbcStatement : public ::testing::Test {
protected:
    static void SetUpTestSuite() { database_ = new test::ScratchDatabase("velmora_it_data", kDdl); }
    static void TearDownTestSuite() {
        delete database_;
        database_ = nullptr;
    }
    void SetUp() override {
        connection_ = test::ConnectLocalMariaDb(database_->name());
        session_ = connection_->session();
        ASSERT_NE(session_, nullptr);
    }

    static test::ScratchDatabase* database_;
    std::unique_ptr<DataSourceConnection> connection_;
    Session* session_ = nullptr;
};

test::ScratchDatabase* OdbcStatement::database_ = nullptr;

TEST_F(OdbcStatement, ConnectionReportsDbmsDataSourceAndCurrentCatalog) {
    std::string value;
    ASSERT_EQ(connection_->GetProperty(kPropDbmsName, value), kSuccess);
    EXPECT_EQ(value, "MariaDB");
    // The driver prints the server version as 10.11.000019 for 10.11.19.
    int major = 0, minor = 0, patch = 0;
    std::string server = test::RunMariaDbClient("select version()");
    ASSERT_EQ(std::sscanf(server.c_str(), "%d.%d.%d", &major, &minor, &patch), 3) << server;
    char expected[32];
    std::snprintf(expected, sizeof expected, "%02d.%02d.%06d", major, minor, patch);
    ASSERT_EQ(connection_->GetProperty(kPropDbmsVersion, value), kSuccess);
    EXPECT_EQ(value, expected);
    ASSERT_EQ(connection_->GetProperty(kPropDataSourceName, value), kSuccess);
    EXPECT_EQ(value, "");  // no DSN: the host-and-port form
    ASSERT_EQ(connection_->GetProperty(kPropCurrentCatalog, value), kSuccess);
    EXPECT_EQ(value, database_->name());
    auto use = session_->NewStatement();
    ASSERT_EQ(use->Create("use shop;"), kSuccess);
    ASSERT_EQ(use->Execute(StandardRowsetProperties()), kSuccess);
    ASSERT_EQ(connection_->GetProperty(kPropCurrentCatalog, value), kSuccess);
    EXPECT_EQ(value, "shop");
    EXPECT_NE(connection_->GetProperty(kPropInitMode, value), kSuccess);
}

TEST_F(OdbcStatement, WrongPasswordAndClosedPortGiveTheDriversOwnText) {
    test::MariaDbAddress address = test::LocalMariaDb();
    struct {
        PropertySet properties;
        const char* expected;
    } cases[] = {
        {test::LocalMariaDbProperties("", address.user, "wrong-password"), "Access denied for user 'velmora'"},
        {test::LocalMariaDbProperties("", address.user, address.password, 1), "Can't connect to server on '127.0.0.1'"},
        {[] {
             PropertySet set = test::LocalMariaDbProperties();
             set.Set(kPropInitProviderString, ";Driver={No Such Driver};SERVER=127.0.0.1;");
             return set;
         }(),
         "[unixODBC][Driver Manager]"},
    };
    for (const auto& c : cases) {
        std::unique_ptr<DataSourceConnection> connection = NewOdbcConnection();
        EXPECT_NE(connection->Open("MSDASQL", c.properties), kSuccess);
        EXPECT_NE(connection->ProviderErrorText().find(c.expected), std::string::npos) << connection->ProviderErrorText();
        EXPECT_NE(connection->OpenSession(), kSuccess);
        EXPECT_EQ(connection->session(), nullptr);
    }
}

TEST_F(OdbcStatement, TheConfiguredLoginWinsOverUidRootAndMayHoldSeparators) {
    std::string user = "velmora_it_" + std::to_string(getpid());
    const std::string password = "p;w}d{x=1 !";
    test::RunMariaDbClient("CREATE USER '" + user + "'@'127.0.0.1' IDENTIFIED BY '" + password + "';");
    std::unique_ptr<DataSourceConnection> connection = NewOdbcConnection();
    ResultCode opened = connection->Open("MSDASQL", test::LocalMariaDbProperties("", user, password));
    EXPECT_EQ(opened, kSuccess) << connection->ProviderErrorText();
    if (opened == kSuccess && connection->OpenSession() == kSuccess) {
        EXPECT_EQ(One(*connection->session(), "select current_user()"), user + "@127.0.0.1");
    }
    connection->Close();
    test::RunMariaDbClient("DROP USER '" + user + "'@'127.0.0.1';");
}

TEST_F(OdbcStatement, StatementsWithoutRowset) {
    const char* statements[] = {"use " , "create table scratch (id int)", "insert into scratch values (1), (2)",
                                "delete from scratch where id = 99",  // touches no row
                                "update scratch set id = 3 where id = 1", "drop table scratch"};
    for (std::string text : statements) {
        if (text == "use ") text += database_->name() + ";";
        auto statement = session_->NewStatement();
        ASSERT_EQ(statement->Create(text), kSuccess);
        EXPECT_EQ(statement->Execute(StandardRowsetProperties()), kSuccess) << text << ": " << statement->ProviderErrorText();
        EXPECT_FALSE(statement->HasRowset()) << text;
        EXPECT_NE(statement->MoveNext(), kSuccess);
    }
}

TEST_F(OdbcStatement, ZeroRowsNullsAndEmptyValues) {
    auto statement = session_->NewStatement();
    ASSERT_EQ(statement->Create("select id, body, note from texts where id < 0"), kSuccess);
    ASSERT_EQ(statement->Execute(StandardRowsetProperties()), kSuccess);
    ASSERT_TRUE(statement->HasRowset());
    ASSERT_EQ(statement->BindAllAsText(), kSuccess);
    EXPECT_EQ(statement->ColumnCount(), 3);
    EXPECT_EQ(statement->Column(2).name, "note");
    EXPECT_EQ(statement->MoveNext(), kEndOfRowset);

    auto rows = ReadAll(*session_, "select id, body, note from texts where id in (2, 3) order by id");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (std::vector<std::optional<std::string>>{"2", std::nullopt, std::nullopt}));
    EXPECT_EQ(rows[1], (std::vector<std::optional<std::string>>{"3", "", ""}));
}

TEST_F(OdbcStatement, LongAndNonAsciiTextIsReadWholeAndByteExact) {
    auto rows = ReadAll(*session_, "select id, body from texts where id in (1, 4, 5) order by id");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][1], std::string(100000, 'a'));
    EXPECT_EQ(rows[1][1], "Zoë façade ñandú · 日本語のテキスト · 🙂🎉🚀");
    EXPECT_EQ(*rows[1][1] + "\n", test::RunMariaDbClient("select body from " + database_->name() + ".texts where id = 4"));
    // 250,000 bytes: surrogate pairs fall on every boundary of the driver's parts.
    EXPECT_EQ(rows[2][1], Repeat("😀é中x", 25000));
    // A connection string with its own CHARSET keeps the UTF-16 path: the same bytes.
    auto wide = test::ConnectLocalMariaDb(database_->name(), "CHARSET=utf8mb4;");
    ASSERT_NE(wide->session(), nullptr);
    EXPECT_EQ(ReadAll(*wide->session(), "select id, body from texts where id in (1, 4, 5) order by id"), rows);
    const std::string sample = "select * from shop.customers order by id";
    EXPECT_EQ(ReadAll(*wide->session(), sample), ReadAll(*session_, sample));
}

TEST_F(OdbcStatement, BinaryIsReadWholeAsUpperCaseHexAndBitsAsDigits) {
    auto rows = ReadAll(*session_, "select data, small, fixed, flags, active, hex(data) from blobs order by id");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], "00" + Repeat("00FF7F", 40000) + "00");
    EXPECT_EQ(rows[0][0], rows[0][5]);  // as the server prints it
    EXPECT_EQ(rows[0][1], "0001FF00");
    EXPECT_EQ(rows[0][2], "00AB0000");  // binary(4) pads with zero bytes
    EXPECT_EQ(rows[0][3], "A5");        // bit(8) is binary
    EXPECT_EQ(rows[0][4], "1");         // bit(1) is a digit, not the byte 0x01
    EXPECT_EQ(rows[1], (std::vector<std::optional<std::string>>{std::nullopt, "", std::nullopt, "00", "0", std::nullopt}));
}

TEST_F(OdbcStatement, StatementTextLongerThanEightKilobytesArrivesWhole) {
    std::string body = Repeat("ünïcödé 🙂 ", 8000);  // 136,000 bytes, 80,000 characters
    auto insert = session_->NewStatement();
    ASSERT_EQ(insert->Create("insert into texts values (100, '" + body + "', 'long insert')"), kSuccess);
    ASSERT_EQ(insert->Execute(StandardRowsetProperties()), kSuccess) << insert->ProviderErrorText();
    EXPECT_EQ(test::RunMariaDbClient("select length(body), char_length(body) from " + database_->name() +
                                     ".texts where id = 100"),
              std::to_string(body.size()) + "\t80000\n");
    EXPECT_EQ(One(*session_, "select body from texts where id = 100"), body);
    auto remove = session_->NewStatement();
    ASSERT_EQ(remove->Create("delete from texts where id = 100"), kSuccess);
    ASSERT_EQ(remove->Execute(StandardRowsetProperties()), kSuccess);
}

TEST_F(OdbcStatement, FailedStatementsGiveTheDriversText) {
    auto statement = session_->NewStatement();
    ASSERT_EQ(statement->Create("selec nothing"), kSuccess);
    EXPECT_LT(statement->Execute(StandardRowsetProperties()), 0);
    EXPECT_NE(statement->ProviderErrorText().find("You have an error in your SQL syntax"), std::string::npos)
        << statement->ProviderErrorText();
    ASSERT_EQ(statement->Create("select * from no_such_table"), kSuccess);
    EXPECT_LT(statement->Execute(StandardRowsetProperties()), 0);
    EXPECT_NE(statement->ProviderErrorText().find("no_such_table' doesn't exist"), std::string::npos);
    // A rowset property this layer cannot honour fails the statement.
    PropertySet properties = StandardRowsetProperties();
    properties.Add(0x1234, true);
    ASSERT_EQ(statement->Create("select 1"), kSuccess);
    EXPECT_LT(statement->Execute(properties), 0);
}

TEST_F(OdbcStatement, StatementsNestAndOutliveTheirConnection) {
    auto outer = session_->NewStatement();
    ASSERT_EQ(outer->Create("select id from texts order by id"), kSuccess);
    ASSERT_EQ(outer->Execute(StandardRowsetProperties()), kSuccess);
    int rows = 0;
    std::string ids;
    while (outer->MoveNext() == kSuccess) {
        std::string id(outer->Value(0));
        ids += id;
        if (++rows <= 2) {
            EXPECT_EQ(One(*session_, "select id from texts where id = " + id), id);
        }
        if (rows == 2) connection_->Close();  // the open statement keeps the link alive
    }
    EXPECT_EQ(ids, "12345");
    EXPECT_EQ(connection_->session(), nullptr);
}

// A session passed between threads, used by one at a time (the contract of OdbcConnection.h): two
// threads taking turns get their own answers. Used by two threads at the same moment, MariaDB
// Connector/ODBC 3.1.15 can hang both on its one socket, so nothing does that.
TEST_F(OdbcStatement, ThreadsTakingTurnsOnOneSessionGetTheirOwnAnswers) {
    std::mutex turn;
    auto work = [this, &turn](int id, int& failures) {
        for (int i = 0; i < 200; ++i) {
            std::lock_guard<std::mutex> mine(turn);
            std::string expected = std::to_string(id * 1000 + i);
            if (One(*session_, "select " + expected) != expected) ++failures;
            auto tables = session_->NewTablesRowset();
            if (tables->Open({std::nullopt, std::nullopt, std::string("texts")}) != kSuccess) ++failures;
        }
    };
    int failuresA = 0, failuresB = 0;
    std::thread a(work, 1, std::ref(failuresA));
    std::thread b(work, 2, std::ref(failuresB));
    a.join();
    b.join();
    EXPECT_EQ(failuresA + failuresB, 0);
}

TEST_F(OdbcStatement, SampleValuesMatchTheMariaDbClient) {
    // Text, long text (114,000 bytes), NULLs, dates, quotes, percent signs, emoji.
    const std::string query =
        "select id, first_name, last_name, email, about, preferences, biography, signed_up, "
        "last_login, created_at from shop.customers order by id";
    auto layer = ReadAll(*session_, query);
    auto client = test::QueryRows(query);
    ASSERT_EQ(layer.size(), client.size());
    ASSERT_GE(layer.size(), 5u);
    for (size_t r = 0; r < layer.size(); ++r) {
        ASSERT_EQ(layer[r].size(), client[r].size());
        for (size_t c = 0; c < layer[r].size(); ++c) {
            EXPECT_EQ(layer[r][c].value_or("NULL"), client[r][c]) << "row " << r << " column " << c;
        }
    }
    // Binary values as the server's own hex().
    for (const auto& row : ReadAll(*session_, "select picture, hex(picture), archive, hex(archive), checksum, "
                                              "hex(checksum), signature, hex(signature) from shop.products")) {
        for (size_t c = 0; c < row.size(); c += 2) EXPECT_EQ(row[c], row[c + 1]);
    }
    EXPECT_EQ(One(*session_, "select count(*) from shop.events") + "\n",
              test::RunMariaDbClient("select count(*) from shop.events"));
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// Every row of `sql` read with at most `blockRows` rows a fetch; `used` gets the rows a fetch
// really brought.
std::vector<std::vector<std::optional<std::string>>> ReadInBlocks(Session& session, const std::string& sql,
                                                                  size_t blockRows, size_t& used) {
    std::vector<std::vector<std::optional<std::string>>> rows;
    std::unique_ptr<StatementRowset> statement = session.NewStatement();
    auto* odbc = dynamic_cast<OdbcStatementRowset*>(statement.get());
    if (!odbc) {
        ADD_FAILURE() << "not an ODBC statement";
        return rows;
    }
    odbc->SetBlockRows(blockRows);
    EXPECT_EQ(statement->Create(sql), kSuccess);
    EXPECT_EQ(statement->Execute(StandardRowsetProperties()), kSuccess) << statement->ProviderErrorText();
    EXPECT_EQ(statement->BindAllAsText(), kSuccess) << statement->ProviderErrorText();
    used = odbc->BlockRows();
    ResultCode rc;
    while ((rc = statement->MoveNext()) == kSuccess) {
        auto& row = rows.emplace_back();
        for (int i = 0; i < statement->ColumnCount(); ++i) {
            row.push_back(statement->IsNull(i) ? std::nullopt
                                               : std::optional<std::string>(statement->Value(i)));
        }
    }
    EXPECT_EQ(rc, kEndOfRowset) << statement->ProviderErrorText();
    return rows;
}

// Blocks of rows: every row arrives once, in order, whatever the block size and however the
// last block is cut; a long column (whose values may outgrow any buffer) is read a row at a time
// and its values arrive whole on both sides of the bound prefix's width.
TEST_F(OdbcStatement, RowsReadInBlocksArriveWholeAndInOrder) {
    const std::string ddl =
        "CREATE TABLE shorts (id int PRIMARY KEY, name varchar(20), amount decimal(12,2), "
        "at datetime(6), code varbinary(8), flag bit(1), ratio double);"
        "INSERT INTO shorts SELECT seq, IF(seq % 7 = 0, NULL, CONCAT('né ', seq)), seq / 100, "
        "  '2026-01-01 00:00:00' + INTERVAL seq SECOND, UNHEX(HEX(seq)), seq % 2, seq * 0.5e0 "
        "FROM seq_1_to_2501;"
        "CREATE TABLE longs (id int PRIMARY KEY, body mediumtext, data mediumblob);"
        "INSERT INTO longs SELECT seq, REPEAT('é', seq), REPEAT(X'AB', seq) FROM seq_1020_to_1030;"
        "INSERT INTO longs VALUES (1, REPEAT('x', 300000), REPEAT(X'00', 70000)), (2, NULL, NULL);";
    test::ScratchDatabase blocks("velmora_it_blocks", ddl);
    auto connection = test::ConnectLocalMariaDb(blocks.name());
    auto wide = test::ConnectLocalMariaDb(blocks.name(), "CHARSET=utf8mb4;");  // the UTF-16 path
    ASSERT_NE(connection->session(), nullptr);
    ASSERT_NE(wide->session(), nullptr);

    size_t used = 0;
    const std::string shorts = "select * from shorts order by id";
    const auto oneByOne = ReadInBlocks(*connection->session(), shorts, 1, used);
    EXPECT_EQ(used, 1u);
    ASSERT_EQ(oneByOne.size(), 2501u);
    EXPECT_EQ(oneByOne[6], (std::vector<std::optional<std::string>>{
                               "7", std::nullopt, "0.07", "2026-01-01 00:00:07.000000", "07", "1",
                               "3.5"}));
    for (size_t blockRows : {7u, 64u, 1000u}) {
        SCOPED_TRACE(blockRows);
        EXPECT_EQ(ReadInBlocks(*connection->session(), shorts, blockRows, used), oneByOne);
        EXPECT_EQ(used, blockRows);
        EXPECT_EQ(ReadInBlocks(*wide->session(), shorts, blockRows, used), oneByOne);
    }

    const auto longs = ReadInBlocks(*connection->session(), "select * from longs order by id", 64, used);
    EXPECT_EQ(used, 1u);  // a long column: one row a fetch
    ASSERT_EQ(longs.size(), 13u);
    EXPECT_EQ(longs[0][1], std::string(300000, 'x'));
    EXPECT_EQ(longs[0][2], Repeat("00", 70000));
    EXPECT_EQ(longs[1], (std::vector<std::optional<std::string>>{"2", std::nullopt, std::nullopt}));
    for (size_t i = 2; i < longs.size(); ++i) {
        const int length = 1018 + static_cast<int>(i);  // 1,020 to 1,030: around the prefix
        EXPECT_EQ(longs[i][1], Repeat("é", length)) << length;
        EXPECT_EQ(longs[i][2], Repeat("AB", length)) << length;
    }
    EXPECT_EQ(ReadInBlocks(*wide->session(), "select * from longs order by id", 64, used), longs);
}

}  // namespace
}  // namespace velmora
