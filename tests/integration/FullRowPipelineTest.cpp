// The Full row copy as a pipeline, from the real MariaDB into the SQL Server target double: batch
// boundaries, rows with large values sent apart as parameters, the data file next to the report
// when rows are refused or a commit fails, a stop
// in the middle of a batch, identity inserts around the batches, and several tables at once on
// connections of their own with the foreign keys after all of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Converters/ConversionDrivers.h"
#include "Converters/ConversionReport.h"
#include "Converters/FullRowTransfer.h"
#include "data/StreamedValues.h"
#include "support/ConversionFixture.h"

namespace velmora::test {
namespace {

// Rows in a multi-row INSERT: one more than the row separators.
size_t RowsIn(const std::string& insert) {
    size_t rows = 1;
    for (size_t at = insert.find("),("); at != std::string::npos; at = insert.find("),(", at + 3)) ++rows;
    return rows;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class FullRowPipelineTest : public FullCopyFixture {
protected:
    size_t Count(const std::string& prefix) const { return TargetStatementsStartingWith(prefix).size(); }
};

// 0, 1, 999, 1,000, 1,001 and 2,501 rows: every row arrives once, in batches of at most 250
// inside transactions of at most eight, between IDENTITY_INSERT ON and OFF; the data file holds
// the same statements, and the progress line comes every thousand rows written.
TEST_F(FullRowPipelineTest, BatchBoundaries) {
    const std::vector<int> sizes = {0, 1, 999, 1000, 1001, 2501};
    std::string ddl;
    for (int rows : sizes) {
        const std::string t = "b" + std::to_string(rows);
        ddl += "CREATE TABLE " + t + " (id int AUTO_INCREMENT PRIMARY KEY, v varchar(10));";
        if (rows > 0) {
            ddl += "INSERT INTO " + t + " SELECT seq, CONCAT('v', seq) FROM seq_1_to_" +
                   std::to_string(rows) + ";";
        }
    }
    MakeSource(ddl);
    context_.options.autoBackup = true;
    for (int rows : sizes) {
        SCOPED_TRACE(rows);
        const std::string t = "b" + std::to_string(rows);
        const TableReport report = Convert(t);
        EXPECT_EQ(report.rows.rowsRead, rows);
        EXPECT_EQ(report.rows.rowsWritten, rows);
        EXPECT_EQ(report.rows.rowsFailed, 0);

        const std::vector<std::string> inserts = TargetStatementsStartingWith("INSERT INTO " + t + " (");
        const size_t batches = (static_cast<size_t>(rows) + kBatchRows - 1) / kBatchRows;
        EXPECT_EQ(inserts.size(), batches);
        size_t sent = 0;
        for (const std::string& insert : inserts) {
            EXPECT_LE(RowsIn(insert), kBatchRows);
            sent += RowsIn(insert);
        }
        EXPECT_EQ(sent, static_cast<size_t>(rows));
        if (rows > 0) {
            EXPECT_NE(inserts.back().find("(" + std::to_string(rows) + ",N'v" + std::to_string(rows) + "')"),
                      std::string::npos);
        }
        EXPECT_EQ(Lines(ReadWorkFile(t + ".data")), inserts);
        const std::vector<std::string> messages = Messages();
        EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                                [&](const std::string& m) {
                                    return m.starts_with("[" + t + "] ") &&
                                           m.find("000 records converted!") != std::string::npos;
                                }),
                  rows / 1000);
    }
    // Identity values are kept: one ON and one OFF per table, around its rows.
    const std::vector<std::string> statements = target_->Statements();
    for (int rows : sizes) {
        const std::string t = "b" + std::to_string(rows);
        const auto on = std::find(statements.begin(), statements.end(), "SET IDENTITY_INSERT " + t + " ON");
        const auto off = std::find(statements.begin(), statements.end(), "SET IDENTITY_INSERT " + t + " OFF");
        ASSERT_NE(on, statements.end()) << t;
        ASSERT_NE(off, statements.end()) << t;
        for (auto s = statements.begin(); s != statements.end(); ++s) {
            if (s->starts_with("INSERT INTO " + t + " (")) {
                EXPECT_TRUE(s > on && s < off) << t;
            }
        }
    }
    // One transaction for each table's first eight statements: none for 0 rows, two for 2,501.
    EXPECT_EQ(Count("BEGIN TRANSACTION"), 0u + 1u + 1u + 1u + 1u + 2u);
    EXPECT_EQ(Count("COMMIT TRANSACTION"), Count("BEGIN TRANSACTION"));
}

// A refused row and a failed commit: the report counts exactly what did not arrive, and the data
// file holds exactly the rows reported written.
TEST_F(FullRowPipelineTest, TheDataFileAndTheReportAgreeWhenRowsOrACommitFail) {
    MakeSource("CREATE TABLE r (id int PRIMARY KEY, v int);"
               "INSERT INTO r SELECT seq, seq FROM seq_1_to_5000;");
    context_.options.autoBackup = true;
    target_->FailWhen([](const std::string& s) {
        return s.starts_with("INSERT INTO r (") && s.find("(777,777)") != std::string::npos;
    }, "The INSERT statement conflicted with the CHECK constraint.");
    std::atomic<int> commits{0};
    target_->FailWhen([&commits](const std::string& s) {
        return s == "COMMIT TRANSACTION" && ++commits == 2;
    }, "The transaction log for database 'sales' is full.");
    const TableReport report = Convert("r");
    // Row 777's transaction was rolled back and its rows re-sent one by one; the next
    // transactions hold rows 1,001 to 3,000 and 3,001 to 5,000, and the second one's commit fails.
    EXPECT_EQ(report.rows.rowsRead, 5000);
    EXPECT_EQ(report.rows.rowsFailed, 1 + 2000);
    EXPECT_EQ(report.rows.rowsWritten, 5000 - 2001);
    EXPECT_EQ(report.rows.firstError.find("CHECK constraint") != std::string::npos, true);

    size_t inFile = 0;
    std::string file = ReadWorkFile("r.data");
    for (const std::string& line : Lines(file)) inFile += RowsIn(line);
    EXPECT_EQ(static_cast<int64_t>(inFile), report.rows.rowsWritten);
    EXPECT_EQ(file.find("(777,777)"), std::string::npos);
    EXPECT_EQ(file.find("(3001,3001)"), std::string::npos);
    EXPECT_EQ(file.find("(5000,5000)"), std::string::npos);
    EXPECT_NE(file.find("(776,776)"), std::string::npos);
    EXPECT_NE(file.find("(3000,3000)"), std::string::npos);
    const std::vector<std::string> messages = Messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), "[r] 2999 records converted, 2001 records FAILED!"),
              messages.end());
    // The failed commit ends its transaction for certain: nothing later lands inside it.
    const std::vector<std::string> statements = target_->Statements();
    const auto failed = std::find_if(statements.begin(), statements.end(), [&, seen = 0](const std::string& s) mutable {
        return s == "COMMIT TRANSACTION" && ++seen == 2;
    });
    ASSERT_NE(failed, statements.end());
    ASSERT_NE(failed + 1, statements.end());
    EXPECT_EQ(*(failed + 1), "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION");
}

// Rows with a value of 1 MB or more go on their own, as INSERTs whose large values are
// parameters sent in pieces of at most 1 MB, after what came before has committed; the small rows
// around them go in batches. The values arrive exact, the data file holds every row written as
// literals, and a refused large row is named with the server's words.
TEST_F(FullRowPipelineTest, LargeValuesGoAsParametersInPiecesAndSmallRowsInBatches) {
    MakeSource("CREATE TABLE big (id int PRIMARY KEY, b longblob, t longtext);"
               "INSERT INTO big VALUES (1, 0x00FF, 'small'), (2, REPEAT(0x00FF27, 600000), 'x'),"
               "(3, NULL, 'after'), (4, NULL, REPEAT('Grüße ''東京'' 😀\n', 70000)),"
               "(5, NULL, 'last'), (6, NULL, REPEAT('z', 1048576));");
    context_.options.autoBackup = true;
    target_->FailWhen([](const std::string& s) { return s.ends_with("(6,NULL,?)"); },
                      "String or binary data would be truncated.");
    const TableReport report = Convert("big");
    EXPECT_EQ(report.rows.rowsRead, 6);
    EXPECT_EQ(report.rows.rowsWritten, 5);
    EXPECT_EQ(report.rows.rowsFailed, 1);
    EXPECT_EQ(report.rows.firstError, "String or binary data would be truncated.");

    std::string blob, text;
    for (int i = 0; i < 600000; ++i) blob += std::string("\x00\xFF'", 3);
    for (int i = 0; i < 70000; ++i) text += "Grüße '東京' 😀\n";
    const std::vector<std::string> inserts = TargetStatementsStartingWith("INSERT INTO big (");
    const std::string prefix = "INSERT INTO big (id,b,t) VALUES ";
    EXPECT_EQ(inserts, (std::vector<std::string>{prefix + "(1,0x00FF,N'small')", prefix + "(2,?,N'x')",
                                                 prefix + "(3,NULL,N'after')", prefix + "(4,NULL,?)",
                                                 prefix + "(5,NULL,N'last')", prefix + "(6,NULL,?)"}));
    const std::vector<StreamedStatement> streamed = target_->StreamedStatements();
    ASSERT_EQ(streamed.size(), 3u);
    const struct { bool text; const std::string* value; size_t pieces; } expected[] = {
        {false, &blob, 2}, {true, &text, 3}, {true, nullptr, 2}};
    for (size_t i = 0; i < streamed.size(); ++i) {
        SCOPED_TRACE(streamed[i].statement);
        EXPECT_EQ(streamed[i].statement, inserts[2 * i + 1]);
        ASSERT_EQ(streamed[i].parameters.size(), 1u);
        const StreamedParameter& received = streamed[i].parameters[0];
        EXPECT_EQ(received.text, expected[i].text);
        if (expected[i].value) {
            EXPECT_TRUE(received.value == *expected[i].value);
        }
        EXPECT_EQ(received.pieces, expected[i].pieces);
        EXPECT_LE(received.largestPiece, kStreamPieceBytes);
    }
    // The batch before a large row has committed when the row is sent.
    const std::vector<std::string> statements = target_->Statements();
    const auto second = std::find(statements.begin(), statements.end(), inserts[1]);
    ASSERT_NE(second, statements.begin());
    EXPECT_EQ(*(second - 1), "COMMIT TRANSACTION");
    const std::vector<std::string> messages = Messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(),
                        "[big] INSERT failed: String or binary data would be truncated."),
              messages.end());
    // The data file: the five rows written, the large values as their literals.
    const std::vector<std::string> lines = Lines(ReadWorkFile("big.data"));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1].size(), prefix.size() + std::string("(2,0x,N'x')").size() + 2 * blob.size());
    EXPECT_TRUE(lines[1].starts_with(prefix + "(2,0x00FF2700FF27"));
    EXPECT_TRUE(lines[3].starts_with(prefix + "(4,NULL,CONCAT(CONVERT(nvarchar(max),"));
    EXPECT_NE(lines[3].find(",N'Grüße ''東京'' 😀',NCHAR(10),"), std::string::npos);
}

// A stop while a batch is being sent: the reader ends within a few batches, everything read is
// sent, and the table is reported as stopped.
TEST_F(FullRowPipelineTest, AStopInTheMiddleOfABatchLosesNothingReadAndEndsSoon) {
    MakeSource("CREATE TABLE s (id int PRIMARY KEY, v varchar(20));"
               "INSERT INTO s SELECT seq, CONCAT('row ', seq) FROM seq_1_to_20000;");
    MainWindowModel* main = main_.get();
    target_->FailWhen([main](const std::string& s) {
        if (s.starts_with("INSERT INTO s (") && s.find("(1100,N'row 1100')") != std::string::npos) {
            main->SetControllerState(ControllerState::StopRequested);
        }
        return false;
    }, "");
    const TableReport report = Convert("s");
    EXPECT_TRUE(report.rows.stopped);
    EXPECT_EQ(report.rows.rowsWritten, report.rows.rowsRead);
    EXPECT_GE(report.rows.rowsRead, 1250);
    // The batch in the writer's hands, the queued ones and the one being rendered.
    EXPECT_LE(report.rows.rowsRead, 1250 + static_cast<int64_t>(4 * kBatchRows));
    const std::vector<std::string> messages = Messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), "Data Converting Terminaled!"), messages.end());
}

// The target's connection breaks in the middle of the copy: no row is counted as refused, nothing
// more is sent (not even one row at a time), the read ends soon, and the table says why.
TEST_F(FullRowPipelineTest, ALostTargetLinkEndsTheCopyWithoutRefusingRows) {
    MakeSource("CREATE TABLE l (id int PRIMARY KEY, v varchar(20));"
               "INSERT INTO l SELECT seq, CONCAT('row ', seq) FROM seq_1_to_20000;");
    std::atomic<bool> broken = false;
    target_->FailWhen([&broken](const std::string& s) {
        if (s.starts_with("INSERT INTO l (") && s.find("(1100,N'row 1100')") != std::string::npos) broken = true;
        return broken.load();
    }, "[08S01] [FreeTDS][SQL Server]Communication link failure");
    const TableReport report = Convert("l");
    EXPECT_TRUE(report.rows.targetLost);
    EXPECT_EQ(report.rows.rowsFailed, 0);
    EXPECT_EQ(report.rows.firstError, "[08S01] [FreeTDS][SQL Server]Communication link failure");
    EXPECT_LT(report.rows.rowsWritten, 1100);
    EXPECT_LE(report.rows.rowsRead, 1100 + static_cast<int64_t>(4 * kBatchRows));  // the read ended soon
    const std::vector<std::string> statements = target_->Statements();
    const auto failed = std::find_if(statements.begin(), statements.end(),
                                     [](const std::string& s) { return s.find("(1100,N'row 1100')") != std::string::npos; });
    ASSERT_NE(failed, statements.end());
    EXPECT_EQ(std::count_if(failed + 1, statements.end(), [](const std::string& s) { return s.starts_with("INSERT INTO l ("); }),
              0);  // nothing more, not even one row at a time
    const std::vector<std::string> messages = Messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(),
                        "[l] the target's connection was lost: [08S01] [FreeTDS][SQL Server]Communication link failure"),
              messages.end());
    EXPECT_EQ(RowCopyFailure(report.rows), "the target's connection was lost after " +
                                               std::to_string(report.rows.rowsWritten) +
                                               " rows: [08S01] [FreeTDS][SQL Server]Communication link failure");
}

// A target slower than the source: once the batches rendered ahead fill, the reader says that it
// waits for the target (and when it goes on), so that a stall is put on the right side.
TEST_F(FullRowPipelineTest, AReaderHeldUpByASlowTargetSaysSo) {
    MakeSource("CREATE TABLE w (id int PRIMARY KEY, v varchar(20));"
               "INSERT INTO w SELECT seq, CONCAT('row ', seq) FROM seq_1_to_6000;");
    target_->FailWhen([](const std::string& s) {
        if (s.starts_with("INSERT INTO w (")) std::this_thread::sleep_for(std::chrono::milliseconds(30));
        return false;
    }, "");
    std::vector<TableProgress> reports;
    context_.tableProgress = [&reports](const TableProgress& rows) { reports.push_back(rows); };
    const TableReport report = Convert("w");
    EXPECT_EQ(report.rows.rowsWritten, 6000);
    const auto holding = std::find_if(reports.begin(), reports.end(), [](const TableProgress& r) { return r.targetHolding; });
    ASSERT_NE(holding, reports.end());
    ASSERT_NE(holding + 1, reports.end());
    EXPECT_FALSE((holding + 1)->targetHolding);  // it goes on once the writer took a batch
    EXPECT_EQ((holding + 1)->rowsDone, holding->rowsDone);
    EXPECT_TRUE(reports.back().finished);
}

// Several tables at once, each on its own source connection: every table arrives whole, the
// report keeps the catalog's order, and every foreign key is created after the last row.
TEST_F(FullRowPipelineTest, ParallelTablesCreateTheForeignKeysAfterAllOfThem) {
    MakeSource(
        "CREATE TABLE a (id int PRIMARY KEY);"
        "CREATE TABLE b (id int PRIMARY KEY, a_id int, FOREIGN KEY (a_id) REFERENCES a (id));"
        "CREATE TABLE c (id int PRIMARY KEY, b_id int, FOREIGN KEY (b_id) REFERENCES b (id));"
        "CREATE TABLE d (id int PRIMARY KEY, a_id int, FOREIGN KEY (a_id) REFERENCES a (id));"
        "CREATE TABLE e (id int PRIMARY KEY, note text);"
        "INSERT INTO a SELECT seq FROM seq_1_to_3000;"
        "INSERT INTO b SELECT seq, seq FROM seq_1_to_3000;"
        "INSERT INTO c SELECT seq, seq FROM seq_1_to_3000;"
        "INSERT INTO d SELECT seq, 1 + seq % 3000 FROM seq_1_to_2000;"
        "INSERT INTO e SELECT seq, REPEAT('x', seq % 2000) FROM seq_1_to_1500;");
    context_.options.jobs = 3;
    std::atomic<int> peers{0};
    context_.openPeer = [&]() -> std::unique_ptr<WorkerContext> {
        std::unique_ptr<WorkerContext> peer = OpenPeer(database_);
        if (peer) ++peers;
        return peer;
    };
    ConversionReport report;
    EXPECT_EQ(ConvertDatabaseTables(context_, database_, &report), 0);
    EXPECT_EQ(peers.load(), 2);
    EXPECT_FALSE(report.Failed()) << report.failures.front();

    std::vector<std::string> tables;
    int64_t rows = 0;
    for (const TableReport& table : report.tables) {
        if (table.kind != "table") continue;
        tables.push_back(table.name);
        rows += table.rows.rowsWritten;
    }
    EXPECT_EQ(tables, (std::vector<std::string>{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(rows, 3000 + 3000 + 3000 + 2000 + 1500);

    const std::vector<std::string> statements = target_->Statements();
    size_t lastRow = 0;
    size_t firstKey = statements.size();
    size_t keys = 0;
    for (size_t i = 0; i < statements.size(); ++i) {
        if (statements[i].starts_with("INSERT INTO ")) lastRow = i;
        if (statements[i].find("FOREIGN KEY") != std::string::npos) {
            firstKey = std::min(firstKey, i);
            ++keys;
        }
    }
    EXPECT_EQ(keys, 3u);
    EXPECT_GT(firstKey, lastRow);
    const std::vector<std::string> messages = Messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), "Converting 5 tables, 3 at a time"),
              messages.end());
}

}  // namespace
}  // namespace velmora::test
