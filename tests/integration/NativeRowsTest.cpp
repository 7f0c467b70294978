// The native row reader against the real local MariaDB: every value of every column type reads
// as the ODBC path reads it, a stream can be left midway and the session goes on, a second query
// waits for the first, and a source it cannot reach fails with a text that names the server. The
// Full copy through it: the log says nothing of ODBC, and a source the library cannot reach
// fails the table with that text.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Converters/ConversionDrivers.h"
#include "Converters/FullRowTransfer.h"
#include "Converters/NativeRowSource.h"
#include "data/MariaDbRows.h"
#include "support/ConversionFixture.h"
#include "support/SourceConnection.h"

namespace velmora::test {
namespace {

const std::string kDatabase = ProcessDatabaseName("velmora_it_native");

// Column, type, value (SQL), and the select expression of the row copy.
struct Column {
    const char* name;
    const char* type;
    std::string value;
    std::string select;
};

std::vector<Column> Columns() {
    return {
        {"c_tinyint", "tinyint", "-128", ""},
        {"c_ubigint", "bigint unsigned", "18446744073709551615", ""},
        {"c_bigint", "bigint", "-9223372036854775808", ""},
        {"c_decimal", "decimal(65,30)", "-12345678901234567890123456789012345.012345678901234567890123456789", ""},
        {"c_float", "float", "1.23456789", ""},
        {"c_floatmax", "float", "-3.4028234e38", ""},
        {"c_float2", "float(7,3)", "1234.5678", ""},
        {"c_double", "double", "-1.7976931348623157e308", ""},
        {"c_double3", "double", "0.1", ""},
        {"c_bit1", "bit(1)", "b'1'", ""},
        {"c_bit12", "bit(12)", "b'101010101010'", ""},
        {"c_bit64", "bit(64)", "18446744073709551615", ""},
        {"c_char", "char(10)", "'it''s'", ""},
        {"c_varchar", "varchar(100)", "'Zoë 美咲 🎉 \"q\" back\\\\slash 100%'", ""},
        {"c_nul", "varchar(10)", "'a\\0b'", ""},
        {"c_latin1", "varchar(10) character set latin1", "'Grüße'", ""},
        {"c_longtext", "longtext", "REPEAT('yé', 70000)", ""},
        {"c_binary", "binary(4)", "X'00410000'", ""},
        {"c_varbinary", "varbinary(10)", "X'000102FF00'", ""},
        {"c_emptyblob", "blob", "X''", ""},
        {"c_blob", "longblob", "REPEAT(X'00FF', 100000)", ""},
        {"c_date", "date", "'0000-00-00'", ""},
        {"c_date2", "date", "'2024-02-29'", ""},
        {"c_time", "time", "'-838:59:59'", ""},
        {"c_time6", "time(6)", "'23:59:59.250000'", ""},
        {"c_datetime", "datetime", "'0000-00-00 00:00:00'", ""},
        {"c_datetime6", "datetime(6)", "'2026-01-01 00:00:00.000001'", ""},
        {"c_timestamp", "timestamp(3) NULL", "'2024-02-29 12:00:00.5'", ""},
        {"c_year", "year", "2026", ""},
        {"c_year0", "year", "0", ""},
        {"c_json", "json", "'{\"a\": [1, \"é\"]}'", ""},
        {"c_enum", "enum('a''b','c')", "'a''b'", "CONVERT(`c_enum` USING utf8mb4)"},
        {"c_set", "set('x','y')", "'x,y'", "CONVERT(`c_set` USING utf8mb4)"},
        {"c_point", "point", "Point(1.5, -2)", "ST_AsText(`c_point`)"},
        {"c_inet", "inet6", "'::ffff:1.2.3.4'", ""},
        {"c_uuid", "uuid", "'123e4567-e89b-12d3-a456-426655440000'", ""},
    };
}

std::string SelectList() {
    std::string list;
    for (const Column& column : Columns()) {
        if (!list.empty()) list += ", ";
        list += column.select.empty() ? std::string("`") + column.name + "`" : column.select + " AS " + column.name;
    }
    return list;
}

struct Read {
    std::vector<std::vector<std::string>> values;  // "NULL" for NULL, else "=" + the value
    std::string error;
};

Read ReadAll(Session& session, const std::string& query) {
    Read read;
    std::unique_ptr<StatementRowset> rows = session.NewStatement();
    if (rows->Create(query) != kSuccess || rows->Execute(StandardRowsetProperties()) != kSuccess ||
        rows->BindAllAsText() != kSuccess) {
        read.error = rows->ProviderErrorText();
        return read;
    }
    for (ResultCode code = rows->MoveNext(); code != kEndOfRowset; code = rows->MoveNext()) {
        if (code != kSuccess) {
            read.error = rows->ProviderErrorText();
            break;
        }
        std::vector<std::string>& row = read.values.emplace_back();
        for (int i = 0; i < rows->ColumnCount(); ++i) {
            row.push_back(rows->IsNull(i) ? "NULL" : "=" + std::string(rows->Value(i)));
        }
    }
    rows->Close();
    return read;
}

std::unique_ptr<NativeRowSession> OpenNative(const DataSourceConnection& odbc, std::string& error) {
    std::optional<NativeSourceOptions> options = NativeOptionsFromOdbc(odbc.ConnectionText(), error);
    if (!options) return nullptr;
    return OpenMariaDbRowSession(*options, error);
}

class NativeRowsTest : public ConversionFixture {
protected:
    void SetUp() override {
        std::string columns = "id int primary key";
        std::string values = "1";
        std::string nulls = "2";
        for (const Column& column : Columns()) {
            columns += std::string(", ") + column.name + " " + column.type;
            values += ", " + column.value;
            nulls += ", NULL";
        }
        RunSql("DROP DATABASE IF EXISTS " + kDatabase + "; CREATE DATABASE " + kDatabase +
               " CHARACTER SET utf8mb4; USE " + kDatabase + "; SET sql_mode = ''; CREATE TABLE t (" +
               columns + "); INSERT INTO t VALUES (" + values + "), (" + nulls + ");"
               "CREATE TABLE bin (id int primary key, c char(3), v varchar(5), x text) CHARACTER SET binary;"
               "INSERT INTO bin VALUES (1, 'a', X'0001', 'z\\0');"
               "CREATE TABLE floats (id int primary key, f float, u float(7,3));"
               "INSERT INTO floats VALUES (1, 1.23456789, 1234.5678), (2, -3.4028234e38, NULL);"
               "CREATE TABLE many (id int primary key, v varchar(20));"
               "INSERT INTO many SELECT seq, CONCAT('row ', seq) FROM seq_1_to_20000;");
        ConversionFixture::SetUp();
        UseSourceDatabase(kDatabase);
    }
    void TearDown() override {
        ConversionFixture::TearDown();
        RunSql("DROP DATABASE IF EXISTS " + kDatabase + ";");
    }
};

// The same query through both paths: every value of every row is the same text.
TEST_F(NativeRowsTest, EveryValueReadsAsTheOdbcPathReadsIt) {
    std::string error;
    std::unique_ptr<NativeRowSession> native = OpenNative(*context_.sourceConnection, error);
    ASSERT_TRUE(native) << error;
    const std::vector<Column> columns = Columns();
    for (const std::string& query :
         {"select id, " + SelectList() + " from " + kDatabase + ".t order by id",
          "select * from " + kDatabase + ".bin"}) {
        Read odbc = ReadAll(*context_.SourceSession(), query);
        Read mine = ReadAll(*native, query);
        ASSERT_EQ(odbc.error, "");
        ASSERT_EQ(mine.error, "");
        ASSERT_EQ(mine.values.size(), odbc.values.size()) << query;
        for (size_t row = 0; row < odbc.values.size(); ++row) {
            ASSERT_EQ(mine.values[row].size(), odbc.values[row].size());
            for (size_t i = 0; i < odbc.values[row].size(); ++i) {
                const std::string name = query.find(".bin") == std::string::npos && i > 0
                                             ? columns[i - 1].name : "column " + std::to_string(i);
                EXPECT_EQ(mine.values[row][i].substr(0, 300), odbc.values[row][i].substr(0, 300))
                    << name << ", row " << row + 1;
                EXPECT_EQ(mine.values[row][i].size(), odbc.values[row][i].size()) << name;
            }
        }
    }
}

// A stream left after a few rows of 20,000 ends at once; the session answers the next query in
// the database it was on, and while a query streams another one on the same session is
// refused, not mixed in.
TEST_F(NativeRowsTest, AStreamLeftMidwayEndsAndTheSessionGoesOn) {
    std::string error;
    std::unique_ptr<NativeRowSession> native = OpenNative(*context_.sourceConnection, error);
    ASSERT_TRUE(native) << error;
    EXPECT_TRUE(native->StreamsRows());
    ASSERT_TRUE(native->UseDatabase(kDatabase, error)) << error;
    std::unique_ptr<StatementRowset> first = native->NewStatement();
    ASSERT_EQ(first->Create("select id, v from many order by id"), kSuccess);
    ASSERT_EQ(first->Execute(StandardRowsetProperties()), kSuccess);
    ASSERT_EQ(first->MoveNext(), kSuccess);
    EXPECT_EQ(first->Value(1), "row 1");
    EXPECT_EQ(first->Column(1).name, "v");

    std::unique_ptr<StatementRowset> second = native->NewStatement();
    ASSERT_EQ(second->Create("select 1"), kSuccess);
    EXPECT_NE(second->Execute(StandardRowsetProperties()), kSuccess);
    EXPECT_EQ(second->ProviderErrorText(), "The connection is still reading the rows of another query.");
    EXPECT_FALSE(native->UseDatabase("mysql", error));

    first->Close();
    Read after = ReadAll(*native, "select count(*), max(v) from many");
    ASSERT_EQ(after.error, "");
    EXPECT_EQ(after.values, (std::vector<std::vector<std::string>>{{"=20000", "=row 9999"}}));
}

TEST_F(NativeRowsTest, AFailedQueryKeepsTheServersWords) {
    std::string error;
    std::unique_ptr<NativeRowSession> native = OpenNative(*context_.sourceConnection, error);
    ASSERT_TRUE(native) << error;
    EXPECT_FALSE(native->UseDatabase("velmora_no_such_database", error));
    EXPECT_EQ(error, "[MariaDB client] Unknown database 'velmora_no_such_database'");
    Read read = ReadAll(*native, "select nope from " + kDatabase + ".many");
    // The rest of the text ("in 'field list'", "in 'SELECT'") depends on the server's version.
    EXPECT_EQ(read.error.rfind("[MariaDB client] Unknown column 'nope' in ", 0), 0u) << read.error;
    EXPECT_EQ(ReadAll(*native, "select 2").values, (std::vector<std::vector<std::string>>{{"=2"}}));
}

// The task's ODBC source as it is, but with another connection string to mirror.
class MirroredConnection : public DataSourceConnection {
public:
    MirroredConnection(std::unique_ptr<DataSourceConnection> inner, std::string text)
        : inner_(std::move(inner)), text_(std::move(text)) {}
    ResultCode Open(std::string_view provider, const PropertySet& properties) override {
        return inner_->Open(provider, properties);
    }
    ResultCode OpenSession() override { return inner_->OpenSession(); }
    Session* session() override { return inner_->session(); }
    ResultCode GetProperty(uint32_t id, std::string& value) override { return inner_->GetProperty(id, value); }
    void Close() override { inner_->Close(); }
    std::string ProviderErrorText() const override { return inner_->ProviderErrorText(); }
    std::string ConnectionText() const override { return text_; }

private:
    std::unique_ptr<DataSourceConnection> inner_;
    std::string text_;
};

class NativeFullCopyTest : public NativeRowsTest {
protected:
    void SetUp() override {
        NativeRowsTest::SetUp();
        context_.options.translation = TranslationMode::Full;
        context_.options.jobs = 1;
        context_.targetDatabase = "sales";
    }
    void Mirror(const std::string& text) {
        context_.sourceConnection =
            std::make_unique<MirroredConnection>(std::move(context_.sourceConnection), text);
        context_.nativeRows.reset();
    }
    TableReport Convert(const std::string& table) {
        ConversionReport report;
        ConvertTable(context_, kDatabase, table, &report);
        return report.tables.empty() ? TableReport() : report.tables.front();
    }
};

TEST_F(NativeFullCopyTest, ASourceTheLibraryCannotReachFailsTheTableNamingTheServer) {
    NativeSourceOptions options;
    options.host = "127.0.0.1";
    options.port = 1;  // nothing listens there
    options.user = "velmora";
    std::string error;
    EXPECT_EQ(OpenMariaDbRowSession(options, error), nullptr);
    const std::string expected = "The MariaDB client library could not connect to 127.0.0.1:1: [2002] ";
    EXPECT_EQ(error.rfind(expected, 0), 0u) << error;

    Mirror("Driver={MariaDB Unicode};SERVER=127.0.0.1;PORT=1;UID=velmora;PWD=x;");
    TableReport table = Convert("many");
    EXPECT_EQ(table.rows.rowsWritten, 0);
    EXPECT_TRUE(table.rows.readFailed);
    EXPECT_TRUE(TargetStatementsStartingWith("INSERT INTO").empty());
    bool named = false;
    for (const std::string& message : Messages()) named = named || message.rfind("[many] " + expected, 0) == 0;
    EXPECT_TRUE(named) << "no line names the server";
    EXPECT_EQ(error.find("PWD"), std::string::npos);
}

// A float arrives with all its digits (the server prints six), so the target's real holds the
// very same float.
TEST_F(NativeFullCopyTest, AFloatArrivesWithAllItsDigits) {
    EXPECT_EQ(Convert("floats").rows.rowsWritten, 2);
    const std::vector<std::string> inserts = TargetStatementsStartingWith("INSERT INTO");
    ASSERT_EQ(inserts.size(), 1u);
    EXPECT_NE(inserts[0].find("(1,1.2345678806304932,1234.5679931640625),(2,-3.4028234663852886e38,NULL)"),
              std::string::npos) << inserts[0];
}

// A source named by a data source: its rows come through ODBC, as the log says once.
TEST_F(NativeFullCopyTest, ADataSourceNameIsReadThroughOdbc) {
    Mirror("DSN=warehouse;UID=velmora;");
    EXPECT_EQ(Convert("many").rows.rowsWritten, 20000);
    EXPECT_EQ(Convert("bin").rows.rowsWritten, 1);
    int lines = 0;
    for (const std::string& message : Messages()) {
        if (message == "Rows are read through ODBC: the source is a data source name (warehouse), "
                       "whose settings only ODBC reads.") {
            ++lines;
        }
    }
    EXPECT_EQ(lines, 1);
}

// The Full copy of a table of 20,000 rows through the native reader: one query, all rows, and
// no line speaks of ODBC.
TEST_F(NativeFullCopyTest, TheFullCopyReadsNativelyInOneQuery) {
    TableReport table = Convert("many");
    EXPECT_EQ(table.rows.rowsWritten, 20000);
    EXPECT_EQ(table.rows.queries, 1);
    std::string failure;
    Session* rows = FullRowSession(context_, kDatabase, failure);
    ASSERT_NE(rows, nullptr) << failure;
    EXPECT_NE(rows, context_.SourceSession()) << "the local source is read natively";
    for (const std::string& message : Messages()) {
        EXPECT_EQ(message.find("ODBC"), std::string::npos) << message;
    }
}

}  // namespace
}  // namespace velmora::test
