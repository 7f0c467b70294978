// The follow engine against the real local MariaDB (binary log on, rows, full images) and the
// target double: every table of the edge database, filled after the recorded position, arrives
// through the log with exactly the values the copy renders from the same rows; updates (a key
// change among them) and deletes become statements by the key, applied with their position in
// one target transaction; a rolled-back transaction and another database's rows never arrive;
// a DDL statement on a followed table stops the reading and names the statement and the table.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "Converters/NativeRowSource.h"
#include "data/MariaDbRows.h"
#include "follow/BinlogReader.h"
#include "follow/FollowApply.h"
#include "follow/FollowState.h"
#include "follow/FollowTask.h"
#include "follow/FollowedTables.h"
#include "support/ConversionFixture.h"
#include "support/EdgeDatabase.h"
#include "support/LocalMariaDb.h"
#include "translation/FullValueRendering.h"

namespace velmora::test {
namespace {

const std::vector<std::string> kEdgeTables = {"limits", "durations", "categorylinks", "gaps", "longs",
                                              "parents", "children", "odd names", "größen", "big"};

// A row rendered as the copy renders it: "(v1,v2,...)", or the first refusal.
template <typename ValueAt>
std::string RenderRow(const FollowedTable& table, ValueAt valueAt) {
    std::string out = "(";
    for (size_t i = 0; i < table.written.size(); ++i) {
        if (i) out += ",";
        const auto [text, null] = valueAt(i);
        const RenderedValue rendered = AppendFullValue(out, *table.written[i], text, null);
        if (rendered.outcome == ValueOutcome::RowFails) return std::string("refused: ") + rendered.reason;
    }
    return out + ")";
}

class FollowTest : public FullCopyFixture {
protected:
    NativeSourceOptions Options() {
        std::string why;
        auto options = NativeOptionsFromOdbc(context_.sourceConnection->ConnectionText(), why);
        EXPECT_TRUE(options) << why;
        return options.value_or(NativeSourceOptions());
    }

    BinlogPosition Head() {
        SourceHead head;
        std::string error;
        EXPECT_TRUE(BinlogReader::CurrentHead(Options(), head, error)) << error;
        return head.position;
    }

    // The copy's rendering of every row of `table`, by its first value.
    std::map<std::string, std::string> CopiedRows(const FollowedTable& table) {
        std::string failure;
        Session* session = FullRowSession(context_, database_, failure);
        EXPECT_NE(session, nullptr) << failure;
        std::map<std::string, std::string> rows;
        auto statement = session->NewStatement();
        const std::string query = "SELECT " + SourceSelectList(table.translation) + " FROM `" + table.name + "`";
        EXPECT_EQ(statement->Create(query), kSuccess);
        EXPECT_EQ(statement->Execute(StandardRowsetProperties()), kSuccess) << statement->ProviderErrorText();
        EXPECT_EQ(statement->BindAllAsText(), kSuccess);
        while (statement->MoveNext() == kSuccess) {
            const std::string row = RenderRow(table, [&](size_t i) {
                return std::pair{statement->Value(static_cast<int>(i)), statement->IsNull(static_cast<int>(i))};
            });
            rows[std::string(statement->Value(0))] = row;
        }
        statement->Close();
        return rows;
    }

    // Reads transactions until the reader is idle with nothing more to read.
    std::vector<SourceTransaction> ReadAll(BinlogReader& reader, BinlogReader::Result* last = nullptr,
                                           std::string* message = nullptr) {
        std::vector<SourceTransaction> read;
        std::string why;
        for (int idle = 0; idle < 2;) {
            SourceTransaction transaction;
            const BinlogReader::Result result = reader.Next(transaction, why);
            if (result == BinlogReader::Result::Transaction) read.push_back(std::move(transaction));
            else if (result == BinlogReader::Result::Idle) ++idle;
            else {
                if (last) *last = result;
                if (message) *message = why;
                return read;
            }
        }
        if (last) *last = BinlogReader::Result::Idle;
        return read;
    }
};

TEST_F(FollowTest, EveryEdgeValueThroughTheLogRendersAsTheCopyRendersIt) {
    MakeSource("CREATE TABLE placeholder (id int PRIMARY KEY);");
    const BinlogPosition from = Head();
    MakeSource(LiveEdgeDatabaseDdl(50));
    FollowedTables tables;
    std::string error;
    ASSERT_TRUE(tables.Load(context_, database_, kEdgeTables, error)) << error;
    BinlogReader reader(Options(), database_, tables);
    ASSERT_TRUE(reader.Open(from, error)) << error;
    BinlogReader::Result last = BinlogReader::Result::Failed;
    const std::vector<SourceTransaction> read = ReadAll(reader, &last, &error);
    ASSERT_EQ(last, BinlogReader::Result::Idle) << error;

    std::map<std::string, std::map<std::string, std::string>> logged;  // table -> key -> row
    for (const SourceTransaction& transaction : read) {
        for (const RowChange& change : transaction.changes) {
            ASSERT_EQ(change.kind, RowChange::Kind::Insert);
            const std::string row = RenderRow(*change.table, [&](size_t i) {
                const BinlogValue& value = change.after[change.table->writtenColumns[i]];
                return std::pair{std::string_view(value.text), value.null};
            });
            logged[change.table->name][change.after[change.table->writtenColumns[0]].text] = row;
        }
    }
    for (const auto& table : tables.All()) {
        EXPECT_EQ(logged[table->name], CopiedRows(*table)) << table->name;
    }
    EXPECT_EQ(logged["big"].size(), 50u);
    EXPECT_TRUE(reader.Position().AtOrAfter(from));
}

// MariaDB's own types (UUID, INET6) reach the log as their bytes, trailing zeros left out: they are
// written as the copy writes them, not as bytes.
TEST_F(FollowTest, UuidAndInet6ThroughTheLogRenderAsTheCopyRendersThem) {
    MakeSource("CREATE TABLE placeholder (id int PRIMARY KEY);");
    const BinlogPosition from = Head();
    MakeSource("CREATE TABLE ids (id int PRIMARY KEY, u uuid, a inet6);"
               "INSERT INTO ids VALUES (1, '123e4567-e89b-12d3-a456-426655440000', '2001:db8::ff00:42:8329'),"
               "(2, NULL, '::ffff:192.0.2.128'), (3, '00000000-0000-0000-0000-000000000001', '2001:db8::'),"
               "(4, '00000000-0000-0000-0000-000000000000', '::');");
    FollowedTables tables;
    std::string error;
    ASSERT_TRUE(tables.Load(context_, database_, {"ids"}, error)) << error;
    BinlogReader reader(Options(), database_, tables);
    ASSERT_TRUE(reader.Open(from, error)) << error;
    std::map<std::string, std::string> logged;
    for (const SourceTransaction& transaction : ReadAll(reader)) {
        for (const RowChange& change : transaction.changes) {
            logged[change.after[change.table->writtenColumns[0]].text] = RenderRow(*change.table, [&](size_t i) {
                const BinlogValue& value = change.after[change.table->writtenColumns[i]];
                return std::pair{std::string_view(value.text), value.null};
            });
        }
    }
    EXPECT_EQ(logged, CopiedRows(*tables.All().front()));
}

// A log purged before the copy ends leaves nothing to follow from: a copy estimated longer than
// the log is kept is warned of (the test server keeps it two days), a shorter one is not; the
// keyless table is a problem either way.
TEST_F(FollowTest, ACopyLongerThanTheLogIsKeptIsWarnedOf) {
    MakeSource("CREATE TABLE keyed (id int PRIMARY KEY); CREATE TABLE loose (n int);");
    const auto retentionWarnings = [&](double estimate) {
        std::vector<std::string> said;
        for (const FollowProblem& problem : CheckFollowable(Options(), database_, {"keyed", "loose"}, estimate)) {
            if (problem.what.starts_with("the binary log is kept")) said.push_back(problem.what + (problem.warning ? " (warning)" : ""));
            else EXPECT_EQ(problem.what, "tables without a primary key or NOT NULL unique key cannot be followed: loose");
        }
        return said;
    };
    EXPECT_EQ(retentionWarnings(3 * 86400.0),
              std::vector<std::string>{"the binary log is kept 172800 s, less than the copy's estimated 259200 s (warning)"});
    EXPECT_TRUE(retentionWarnings(86400.0).empty());
}

TEST_F(FollowTest, ChangesApplyByKeyWithTheirPositionInOneTargetTransaction) {
    MakeSource("CREATE TABLE items (id int NOT NULL AUTO_INCREMENT PRIMARY KEY, name varchar(20) NOT NULL, "
               "noted datetime NOT NULL) ENGINE=InnoDB;"
               "CREATE TABLE pairs (a int NOT NULL, b varchar(5) NOT NULL, UNIQUE KEY ab (a, b)) ENGINE=InnoDB;"
               "CREATE TABLE loose (v int) ENGINE=InnoDB;");
    FollowedTables tables;
    std::string error;
    ASSERT_TRUE(tables.Load(context_, database_, {"items", "pairs"}, error)) << error;
    FollowedTables keyless;
    EXPECT_FALSE(keyless.Load(context_, database_, {"loose"}, error));
    EXPECT_EQ(error, "table loose has no primary key or NOT NULL unique key");

    const BinlogPosition from = Head();
    RunSql("USE " + database_ + ";"
           "INSERT INTO items VALUES (1, 'one', '2026-01-01 10:00:00'), (2, 'two', '0000-00-00 00:00:00');"
           "START TRANSACTION; INSERT INTO items VALUES (3, 'gone', '2026-01-01'); ROLLBACK;"
           "UPDATE items SET id = 7, name = 'seven' WHERE id = 1;"
           "DELETE FROM items WHERE id = 7;"
           "INSERT INTO pairs VALUES (1, 'x'); UPDATE pairs SET b = 'y';"
           "INSERT INTO items VALUES (8, 'eight', '2026-01-02'), (9, 'nine', '2026-01-03'); DELETE FROM items WHERE id > 7;"
           "INSERT INTO loose VALUES (5);");
    BinlogReader reader(Options(), database_, tables);
    ASSERT_TRUE(reader.Open(from, error)) << error;
    const std::vector<SourceTransaction> read = ReadAll(reader);
    ASSERT_EQ(read.size(), 7u);  // the rollback and the unfollowed table never arrive

    target_->ClearStatements();
    FollowApply apply(context_.Log(), context_.TargetSession(), database_, "");
    for (const SourceTransaction& transaction : read) ASSERT_TRUE(apply.Add(transaction, error)) << error;
    ASSERT_TRUE(apply.Commit(reader.Position(), error)) << error;
    const std::string position = reader.Position().file + "', log_offset = " + std::to_string(reader.Position().offset);
    const std::vector<std::string> expected = {
        "BEGIN TRANSACTION",
        // The transactions' changes in one batch: consecutive changes of one kind on one table share
        // a statement.
        // Two inserts of one table share a VALUES list (the zero date's row is left out).
        "SET IDENTITY_INSERT items ON;\n"
        "UPDATE x SET x.name = v.name, x.noted = v.noted FROM items AS x INNER JOIN "
        "(VALUES (1,N'one','2026-01-01T10:00:00')) AS v (id,name,noted) ON x.id = v.id;\n"
        "INSERT INTO items (id,name,noted) SELECT id,name,noted FROM (VALUES (1,N'one','2026-01-01T10:00:00')) "
        "AS v (id,name,noted) WHERE NOT EXISTS (SELECT 1 FROM items AS x WHERE x.id = v.id);\n"
        "DELETE FROM items WHERE id = 1;\n"
        "UPDATE items SET name = N'seven', noted = '2026-01-01T10:00:00' WHERE id = 7;\n"
        "IF @@ROWCOUNT = 0 INSERT INTO items (id,name,noted) VALUES (7,N'seven','2026-01-01T10:00:00');\n"
        "DELETE FROM items WHERE id = 7;\n"
        "IF NOT EXISTS (SELECT 1 FROM pairs WHERE a = 1 AND b = N'x') INSERT INTO pairs (a,b) VALUES (1,N'x');\n"
        "DELETE FROM pairs WHERE a = 1 AND b = N'x';\n"
        "IF NOT EXISTS (SELECT 1 FROM pairs WHERE a = 1 AND b = N'y') INSERT INTO pairs (a,b) VALUES (1,N'y');\n"
        "UPDATE x SET x.name = v.name, x.noted = v.noted FROM items AS x INNER JOIN (VALUES (8,N'eight','2026-01-02T00:00:00'),"
        "(9,N'nine','2026-01-03T00:00:00')) AS v (id,name,noted) ON x.id = v.id;\n"
        "INSERT INTO items (id,name,noted) SELECT id,name,noted FROM (VALUES (8,N'eight','2026-01-02T00:00:00'),"
        "(9,N'nine','2026-01-03T00:00:00')) AS v (id,name,noted) WHERE NOT EXISTS (SELECT 1 FROM items AS x WHERE x.id = v.id);\n"
        "DELETE FROM items WHERE id IN (8,9);\n",
        "SET IDENTITY_INSERT items OFF;\nUPDATE velmora_follow SET log_file = N'" + position +
            ", gtid = N'" + reader.Position().gtid + "', changes = changes + 9, applied_at = SYSUTCDATETIME() "
            "WHERE source_database = N'" + database_ + "'",
        "COMMIT TRANSACTION",
    };
    EXPECT_EQ(target_->Statements(), expected);
    EXPECT_EQ(apply.ChangesApplied(), 9);
    EXPECT_EQ(apply.ChangesRefused(), 1);  // the zero date in a NOT NULL column, as the copy refuses it
    ExpectTargetStatementsParse();
}

TEST_F(FollowTest, DdlOnAFollowedTableStopsTheReadingNamingItAndItsPosition) {
    MakeSource("CREATE TABLE items (id int PRIMARY KEY, v int) ENGINE=InnoDB;"
               "CREATE TABLE other (id int PRIMARY KEY) ENGINE=InnoDB;");
    FollowedTables tables;
    std::string error;
    ASSERT_TRUE(tables.Load(context_, database_, {"items"}, error)) << error;
    const BinlogPosition from = Head();
    RunSql("USE " + database_ + "; INSERT INTO items VALUES (1, 1); ALTER TABLE other ADD COLUMN w int;"
           "ALTER TABLE items ADD COLUMN w int; INSERT INTO items VALUES (2, 2, 2);");
    BinlogReader reader(Options(), database_, tables);
    ASSERT_TRUE(reader.Open(from, error)) << error;
    BinlogReader::Result result = BinlogReader::Result::Idle;
    std::string message;
    const std::vector<SourceTransaction> read = ReadAll(reader, &result, &message);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(result, BinlogReader::Result::Stopped);
    EXPECT_EQ(message.substr(0, message.find(" at ")), "ALTER of the followed table items");
    EXPECT_NE(message.find("\"ALTER TABLE items ADD COLUMN w int\""), std::string::npos) << message;

    // Once the target's table matches again, following goes on after the statement, with the
    // table's new definition.
    FollowedTables changed;
    ASSERT_TRUE(changed.Load(context_, database_, {"items"}, error)) << error;
    BinlogReader again(Options(), database_, changed);
    ASSERT_TRUE(again.Open(reader.Position(), error)) << error;
    const std::vector<SourceTransaction> after = ReadAll(again, &result, &message);
    EXPECT_EQ(result, BinlogReader::Result::Idle) << message;
    ASSERT_EQ(after.size(), 1u);
    ASSERT_EQ(after[0].changes.size(), 1u);
    EXPECT_EQ(after[0].changes[0].after.size(), 3u);
    EXPECT_EQ(after[0].changes[0].after[2].text, "2");
}

TEST_F(FollowTest, ALogRotationIsCrossed) {
    MakeSource("CREATE TABLE items (id int PRIMARY KEY, v int) ENGINE=InnoDB;");
    FollowedTables tables;
    std::string error;
    ASSERT_TRUE(tables.Load(context_, database_, {"items"}, error)) << error;
    const BinlogPosition from = Head();
    RunSql("USE " + database_ + "; INSERT INTO items VALUES (1, 1); FLUSH BINARY LOGS; INSERT INTO items VALUES (2, 2);");
    const BinlogPosition now = Head();
    BinlogReader reader(Options(), database_, tables);
    ASSERT_TRUE(reader.Open(from, error)) << error;
    BinlogReader::Result result = BinlogReader::Result::Failed;
    const std::vector<SourceTransaction> read = ReadAll(reader, &result, &error);
    EXPECT_EQ(result, BinlogReader::Result::Idle) << error;
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[1].end.file, now.file);
    EXPECT_NE(now.file, from.file);
    EXPECT_TRUE(reader.Position().AtOrAfter(now)) << reader.Position().Text() << " " << now.Text();
}

TEST_F(FollowTest, APurgedPositionSaysANewCopyIsNeeded) {
    MakeSource("CREATE TABLE items (id int PRIMARY KEY) ENGINE=InnoDB;");
    FollowedTables tables;
    std::string error;
    ASSERT_TRUE(tables.Load(context_, database_, {"items"}, error)) << error;
    BinlogReader reader(Options(), database_, tables);
    const BinlogPosition gone{"mariadb-bin.999999", 4, ""};
    std::string message;
    BinlogReader::Result result = BinlogReader::Result::Idle;
    if (reader.Open(gone, error)) {
        SourceTransaction transaction;
        result = reader.Next(transaction, message);
    } else {
        result = reader.OpenFailure();
        message = error;
    }
    EXPECT_EQ(result, BinlogReader::Result::Failed);
    EXPECT_NE(message.find("mariadb-bin.999999:4 is no longer in the source's binary log"), std::string::npos) << message;
    EXPECT_NE(message.find("a new copy is needed"), std::string::npos) << message;
}

TEST(FollowDdl, StatementsThatTouchAFollowedTable) {
    FollowedTables tables;
    auto table = std::make_unique<FollowedTable>();
    table->name = "Orders";
    table->model.columns.push_back({});
    table->model.columns[0].name = "id";
    table->model.columns[0].nullable = false;
    table->model.indexes.push_back({IndexModel::Kind::Primary, "", {{"id", std::nullopt, false}}});
    table->translation.columns.push_back({});
    table->translation.columns[0].name = "id";
    std::string error;
    ASSERT_TRUE(tables.Add(std::move(table), error)) << error;
    const struct {
        const char* statement;
        const char* kind;
    } cases[] = {
        {"ALTER TABLE Orders ADD x int", "ALTER"},
        {"alter online table `shop`.`Orders` drop x", "ALTER"},
        {"RENAME TABLE a TO b, Orders TO old_orders", "RENAME"},
        {"TRUNCATE orders", "TRUNCATE"},
        {"DROP TABLE IF EXISTS `x`, `Orders` /* generated by server */", "DROP"},
        {"DROP TABLE other.Orders", ""},
        {"ALTER TABLE `orders` ADD x int", ""},  // a quoted name keeps its case
        {"CREATE INDEX i ON Orders (id)", ""},
        {"ALTER TABLE Orders AUTO_INCREMENT = 500", ""},
        {"ALTER TABLE Orders AUTO_INCREMENT = 500, ADD x int", "ALTER"},
        {"ALTER TABLE Orders2 ADD x int", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DdlTouchingFollowed(c.statement, "shop", "shop", tables).kind, c.kind) << c.statement;
    }
}

}  // namespace
}  // namespace velmora::test
