// The bulk copy of the Full row copy, from the real MariaDB into the target double's scripted
// bulk copy: the self-check before the first table (passing, failing on a misread value, failing
// on the driver's error), tables that go through bulk copy in batches, a batch that fails with
// part of it kept (nothing lost, nothing doubled, a refused row still named), and the tables
// that keep INSERT statements and why.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "Converters/BulkRowWriter.h"
#include "support/ConversionFixture.h"
#include "support/DoubleBulkCopy.h"

namespace velmora::test {
namespace {

// The keys of the rows of multi-row INSERT statements "(7,N'v7'),(8,N'v8')": the number after
// every opening parenthesis that starts a row.
std::vector<long> InsertedKeys(const std::vector<std::string>& inserts) {
    std::vector<long> keys;
    for (const std::string& insert : inserts) {
        size_t at = insert.find(" VALUES ");
        while ((at = insert.find('(', at)) != std::string::npos) {
            keys.push_back(std::stol(insert.substr(at + 1)));
            at = insert.find("),(", at);
            if (at == std::string::npos) break;
            ++at;
        }
    }
    return keys;
}

class BulkCopyTest : public FullCopyFixture {
protected:
    void SetUp() override {
        FullCopyFixture::SetUp();
        context_.options.bulk = BulkMode::Auto;
        GiveBulkTargets();
    }

    // A table t with `rows` rows: an identity key and a text.
    void MakeTable(const std::string& t, int rows) {
        MakeSource("CREATE TABLE " + t + " (id int AUTO_INCREMENT PRIMARY KEY, v varchar(10)); INSERT INTO " + t +
                   " SELECT seq, CONCAT('v', seq) FROM seq_1_to_" + std::to_string(rows) + ";");
    }

    // The keys the bulk copy stored into `table`, in order.
    std::vector<long> StoredKeys(const std::string& table) const {
        std::vector<long> keys;
        for (const BulkCopyRecord& copy : target_->Bulk().Copies()) {
            if (copy.table != table) continue;
            for (const ScriptedRow& row : copy.stored) keys.push_back(std::stol(row.at(0).value()));
        }
        return keys;
    }
};

// The check passes: one line says so, its scratch table is created, loaded, read back and
// dropped; 25,001 rows go through the bulk copy in batches of 10,000 with their identity values,
// no INSERT statement is sent, and the progress lines come as before.
TEST_F(BulkCopyTest, RowsGoThroughTheBulkCopyOnceTheCheckPasses) {
    target_->Bulk().Offer();
    MakeTable("t", 25001);
    const TableReport report = Convert("t");
    EXPECT_EQ(report.rows.rowsRead, 25001);
    EXPECT_EQ(report.rows.rowsWritten, 25001);
    EXPECT_EQ(report.rows.rowsFailed, 0);

    const std::vector<std::string> on = MessagesStartingWith("Bulk copy on: the self-check stored and read back every value exactly (");
    EXPECT_EQ(on.size(), 1u);
    EXPECT_TRUE(MessagesStartingWith("Bulk copy off").empty());
    const std::vector<BulkCopyRecord> copies = target_->Bulk().Copies();
    ASSERT_EQ(copies.size(), 2u);
    const std::string scratch = copies[0].table;
    EXPECT_TRUE(scratch.starts_with("velmora_bulk_check_"));
    EXPECT_EQ(TargetStatementsStartingWith("CREATE TABLE " + scratch + " (").size(), 1u);
    EXPECT_EQ(TargetStatementsStartingWith("DROP TABLE " + scratch).size(), 1u);
    EXPECT_EQ(copies[1].table, "t");
    EXPECT_TRUE(copies[1].keepIdentity);
    EXPECT_EQ(copies[1].batches, 3);  // 10,000, 10,000 and the rest at the end
    std::vector<long> expected(25001);
    for (long i = 0; i < 25001; ++i) expected[static_cast<size_t>(i)] = i + 1;
    EXPECT_EQ(StoredKeys("t"), expected);
    EXPECT_EQ(copies[1].stored.back(), (ScriptedRow{"25001", "v25001"}));
    EXPECT_TRUE(TargetStatementsStartingWith("INSERT INTO t ").empty());
    EXPECT_EQ(MessagesStartingWith("[t] 25000 records converted!").size(), 1u);
}

// A driver that misreads a decimal in its short form, or whose batch fails, or that refuses the
// copy: one line names the value or the driver's error, the scratch table is dropped all the
// same, nothing more goes through the bulk copy and every row goes in INSERT statements; the
// second table asks nothing again.
class FailedCheckTest : public BulkCopyTest {
protected:
    void ExpectCheckFails(const std::string& why) {
        MakeSource("CREATE TABLE a (id int PRIMARY KEY, v varchar(10)); INSERT INTO a VALUES (1,'x'),(2,'y');"
                   "CREATE TABLE b (id int PRIMARY KEY); INSERT INTO b VALUES (5);");
        EXPECT_EQ(Convert("a").rows.rowsWritten, 2);
        EXPECT_EQ(Convert("b").rows.rowsWritten, 1);
        const std::vector<std::string> off = MessagesStartingWith("Bulk copy off: the self-check failed (");
        ASSERT_EQ(off.size(), 1u);
        EXPECT_NE(off[0].find(" s), " + why + "; rows go in INSERT statements."), std::string::npos) << off[0];
        EXPECT_TRUE(MessagesStartingWith("Bulk copy on").empty());
        for (const BulkCopyRecord& copy : target_->Bulk().Copies()) {
            EXPECT_TRUE(copy.table.starts_with("velmora_bulk_check_")) << copy.table;
        }
        EXPECT_EQ(TargetStatementsStartingWith("INSERT INTO a (").size(), 1u);
        EXPECT_EQ(TargetStatementsStartingWith("INSERT INTO b (").size(), 1u);
        EXPECT_EQ(TargetStatementsStartingWith("CREATE TABLE velmora_bulk_check_").size(), 1u);
        EXPECT_EQ(TargetStatementsStartingWith("DROP TABLE velmora_bulk_check_").size(), 1u);
    }
};

TEST_F(FailedCheckTest, AMisreadDecimal) {
    target_->Bulk().Offer();
    target_->Bulk().Misread("12.50", "1250.00");
    ExpectCheckFails("decimal(10,2) column d10_2 of row 4: sent 12.50, read back 1250.00");
}

TEST_F(FailedCheckTest, AFailedBatch) {
    target_->Bulk().Offer();
    target_->Bulk().FailBatch(1, "Trying to read more data than available in BCP request", 3);
    ExpectCheckFails("the driver's batch failed: Trying to read more data than available in BCP request");
}

TEST_F(FailedCheckTest, ARefusedCopy) {
    target_->Bulk().Offer();
    target_->Bulk().FailBegin("bulk copy is not enabled");
    ExpectCheckFails("the driver refused it: bulk copy is not enabled");
}

// A batch fails after the server kept 9,000 of its 10,000 rows (as Babelfish did over FreeTDS):
// the keys of the batch's range are read back, the kept rows count as written, the other 1,000
// and the rest of the table go in INSERT statements, and a row the server refuses there is
// isolated and named as always. Every key arrives exactly once, except the refused one.
TEST_F(BulkCopyTest, AFailedBatchIsCheckedAndTheTableGoesOnInStatements) {
    target_->Bulk().Offer();
    // Call 1 is the check's; 2 the table's first batch; 3 its second.
    target_->Bulk().FailBatch(3, "Trying to read more data than available in BCP request", 9000);
    std::vector<ScriptedRow> kept;
    for (long key = 10001; key <= 19000; ++key) kept.push_back({std::to_string(key)});
    target_->AnswerWith("SELECT id FROM t WHERE id BETWEEN 10001 AND 20000", ScriptedResult::Text({"id"}, kept));
    target_->FailWhen([](const std::string& s) { return s.starts_with("INSERT INTO t ") && s.find("(19500,") != std::string::npos; },
                      "Violation of a CHECK constraint.");
    MakeTable("t", 25001);
    const TableReport report = Convert("t");
    EXPECT_EQ(report.rows.rowsRead, 25001);
    EXPECT_EQ(report.rows.rowsWritten, 25000);
    EXPECT_EQ(report.rows.rowsFailed, 1);
    EXPECT_EQ(report.rows.firstError, "Violation of a CHECK constraint.");

    EXPECT_EQ(MessagesStartingWith("[t] bulk copy failed: Trying to read more data than available in BCP request").size(), 1u);
    EXPECT_EQ(MessagesStartingWith("[t] the server kept 9000 of the 10000 rows of the failed batch").size(), 1u);
    EXPECT_EQ(MessagesStartingWith("[t] INSERT failed: Violation of a CHECK constraint.").size(), 1u);
    EXPECT_EQ(TargetStatementsStartingWith("SELECT id FROM t WHERE id BETWEEN 10001 AND 20000").size(), 1u);

    // What arrived: the bulk copy's stored rows and the rows of INSERT statements that
    // succeeded (a statement rolled back with its transaction is sent again, so the inserted keys
    // are taken as a set). No key arrived both ways.
    std::vector<long> stored = StoredKeys("t");
    EXPECT_EQ(stored.size(), 19000u);  // the first batch and 9,000 of the second
    std::sort(stored.begin(), stored.end());
    std::vector<std::string> inserts;
    for (const std::string& s : target_->Statements()) {
        if (s.starts_with("INSERT INTO t ") && s.find("(19500,") == std::string::npos) inserts.push_back(s);
    }
    std::vector<long> inserted = InsertedKeys(inserts);
    std::sort(inserted.begin(), inserted.end());
    inserted.erase(std::unique(inserted.begin(), inserted.end()), inserted.end());
    EXPECT_EQ(inserted.size(), 6000u);  // 19,001..20,000 and 20,001..25,001 but the refused one
    std::vector<long> both;
    std::set_intersection(stored.begin(), stored.end(), inserted.begin(), inserted.end(), std::back_inserter(both));
    EXPECT_TRUE(both.empty()) << both.size() << " keys arrived twice, the first " << both.front();
    std::vector<long> arrived = stored;
    arrived.insert(arrived.end(), inserted.begin(), inserted.end());
    std::sort(arrived.begin(), arrived.end());
    std::vector<long> expected;
    for (long key = 1; key <= 25001; ++key) {
        if (key != 19500) expected.push_back(key);
    }
    EXPECT_EQ(arrived, expected);
}

// Tables that keep INSERT statements while the task may bulk-load, each with its line: no
// numeric primary key, computed columns, AutoBackup; and none of it with --bulk off.
TEST_F(BulkCopyTest, TablesThatKeepInsertStatementsSayWhy) {
    target_->Bulk().Offer();
    MakeSource("CREATE TABLE k (code varchar(10) PRIMARY KEY); INSERT INTO k VALUES ('a');"
               "CREATE TABLE g (id int PRIMARY KEY, a int, b int AS (a + 1)); INSERT INTO g (id, a) VALUES (1, 1);"
               "CREATE TABLE n (v int); INSERT INTO n VALUES (1);"
               "CREATE TABLE d (id int PRIMARY KEY); INSERT INTO d VALUES (1);");
    for (const char* table : {"k", "g", "n"}) EXPECT_EQ(Convert(table).rows.rowsWritten, 1) << table;
    context_.options.autoBackup = true;
    EXPECT_EQ(Convert("d").rows.rowsWritten, 1);
    const std::map<std::string, std::string> why = {
        {"k", "without a numeric primary key a failed batch cannot be checked"},
        {"g", "it has computed columns"},
        {"n", "without a numeric primary key a failed batch cannot be checked"},
        {"d", "AutoBackup keeps the statements it runs"},
    };
    for (const auto& [table, reason] : why) {
        EXPECT_EQ(MessagesStartingWith("[" + table + "] rows in INSERT statements, not bulk copy: " + reason).size(), 1u)
            << table;
        EXPECT_EQ(TargetStatementsStartingWith("INSERT INTO " + table + " (").size(), 1u) << table;
    }
    EXPECT_EQ(target_->Bulk().Copies().size(), 1u);  // the check's alone
}

// A target reached through FreeTDS (whose bulk copy has crashed the process inside the driver)
// never gets as far as the bulk copy, not even the check's: one line names the driver and says
// why, no scratch table is made, and every row of every table goes in INSERT statements. So does
// a driver this program does not know.
class UntrustedDriverTest : public BulkCopyTest {
protected:
    void ExpectNeverReached(const std::string& name, const std::string& version, const std::string& line) {
        target_->Bulk().Offer();
        target_->SetProperty(kPropDriverName, name);
        target_->SetProperty(kPropDriverVersion, version);
        MakeSource("CREATE TABLE a (id int PRIMARY KEY, v varchar(10)); INSERT INTO a VALUES (1,'x'),(2,'y');"
                   "CREATE TABLE b (id int PRIMARY KEY); INSERT INTO b VALUES (5);");
        EXPECT_EQ(Convert("a").rows.rowsWritten, 2);
        EXPECT_EQ(Convert("b").rows.rowsWritten, 1);
        EXPECT_EQ(MessagesStartingWith("Bulk copy"), std::vector<std::string>{line});
        EXPECT_EQ(target_->Bulk().LoadsHandedOut(), 0);
        EXPECT_TRUE(target_->Bulk().Copies().empty());
        EXPECT_TRUE(TargetStatementsStartingWith("CREATE TABLE velmora_bulk_check_").empty());
        EXPECT_EQ(TargetStatementsStartingWith("INSERT INTO a (").size(), 1u);
        EXPECT_EQ(TargetStatementsStartingWith("INSERT INTO b (").size(), 1u);
    }
};

TEST_F(UntrustedDriverTest, FreeTds) {
    ExpectNeverReached("libtdsodbc.so", "01.03.0017",
                       "Bulk copy off: bulk copy is not used with FreeTDS 1.3.17 (libtdsodbc.so): its bulk copy can "
                       "crash the program inside the driver and refuses values the server takes; rows go in INSERT "
                       "statements.");
}

TEST_F(UntrustedDriverTest, AnUnknownDriver) {
    ExpectNeverReached("libother.so", "2.0",
                       "Bulk copy off: bulk copy is not used with the driver libother.so 2.0: only Microsoft's ODBC "
                       "Driver 17 and 18 are known to bulk-copy safely; rows go in INSERT statements.");
}

TEST_F(BulkCopyTest, OffMeansNoCheckAndNoBulkCopy) {
    target_->Bulk().Offer();
    context_.options.bulk = BulkMode::Off;
    MakeTable("t", 10);
    EXPECT_EQ(Convert("t").rows.rowsWritten, 10);
    EXPECT_TRUE(target_->Bulk().Copies().empty());
    EXPECT_TRUE(MessagesStartingWith("Bulk copy").empty());
    EXPECT_TRUE(TargetStatementsStartingWith("CREATE TABLE velmora_bulk_check_").empty());
    EXPECT_EQ(TargetStatementsStartingWith("INSERT INTO t (").size(), 1u);
}

}  // namespace
}  // namespace velmora::test
