// One big table on several writers, from the real MariaDB into the SQL Server target double: how
// each kind of key is cut (evenly, at sampled quantiles, or not at all, and the log says why),
// every row arriving exactly once across the ranges, IDENTITY_INSERT on each writer's own
// session, one reseed after the last row, and the share of a split run.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Converters/ConversionDrivers.h"
#include "Converters/ConversionReport.h"
#include "Converters/CopyPlan.h"
#include "Converters/SplitRun.h"
#include "support/ConversionFixture.h"
#include "support/TsqlOracle.h"

namespace velmora::test {
namespace {

// The first value of every row of a multi-row INSERT (the key, in these tables).
std::vector<std::string> KeysIn(const std::string& insert) {
    std::vector<std::string> keys;
    size_t at = insert.find(" VALUES (");
    if (at == std::string::npos) return keys;
    at += 9;
    while (at < insert.size()) {
        const size_t end = insert.find_first_of(",)", at);
        keys.push_back(insert.substr(at, end - at));
        at = insert.find("),(", end);
        if (at == std::string::npos) break;
        at += 3;
    }
    return keys;
}

class RangedCopyTest : public FullCopyFixture {
protected:
    void SetUp() override {
        FullCopyFixture::SetUp();
        context_.options.jobs = 3;
        GivePeers();
    }

    // The log lines since the `from`-th that start with "[table] " and hold `text`.
    size_t LogLines(const std::string& table, const std::string& text, size_t from = 0) const {
        const std::vector<std::string> messages = Messages();
        size_t found = 0;
        for (size_t i = from; i < messages.size(); ++i) {
            if (messages[i].starts_with("[" + table + "] ") && messages[i].find(text) != std::string::npos) ++found;
        }
        return found;
    }

    // Every key sent in the table's INSERTs, with how often.
    std::map<std::string, int> SentKeys(const std::string& table) const {
        std::map<std::string, int> keys;
        for (const std::string& insert : TargetStatementsStartingWith("INSERT INTO " + table + " ")) {
            for (const std::string& key : KeysIn(insert)) ++keys[key];
        }
        return keys;
    }
};

struct KeyCase {
    std::string name;
    std::string ddl;          // creates and fills table t
    int64_t rows;
    std::string logged;       // how the log says it was cut (or why not)
    size_t ranges;            // 0: copied whole
};

// Every kind of key: each row arrives exactly once, and the table is one object of the report.
TEST_F(RangedCopyTest, EveryKeyArrivesOnceWhateverTheCut) {
    const std::vector<KeyCase> cases = {
        {"dense", "CREATE TABLE t (id int PRIMARY KEY, v varchar(10)); INSERT INTO t SELECT seq, seq FROM seq_1_to_120000;",
         120000, "cut into 5 key ranges between its key's minimum and maximum", 5},
        {"gaps", "CREATE TABLE t (id bigint PRIMARY KEY, v int); INSERT INTO t SELECT seq * 7, seq FROM seq_1_to_60000;",
         60000, "cut into 3 key ranges at quantiles sampled from its key", 3},
        {"skewed", "CREATE TABLE t (id bigint unsigned PRIMARY KEY, v int); "
                   "INSERT INTO t SELECT seq, seq FROM seq_1_to_59000; "
                   "INSERT INTO t SELECT 18446744073709550000 + seq, seq FROM seq_1_to_1000;",
         60000, "cut into 3 key ranges at quantiles sampled from its key", 3},
        {"decimal", "CREATE TABLE t (id decimal(12,2) PRIMARY KEY, v int); INSERT INTO t SELECT seq / 4, seq FROM seq_1_to_60000;",
         60000, "cut into 3 key ranges at quantiles sampled from its key", 3},
        {"dates", "CREATE TABLE t (id datetime PRIMARY KEY, v int); "
                  "INSERT INTO t SELECT '2020-01-01' + INTERVAL seq MINUTE, seq FROM seq_1_to_60000;",
         60000, "cut into 3 key ranges at quantiles sampled from its key", 3},
        {"composite", "CREATE TABLE t (a int, b int, PRIMARY KEY (a, b)); INSERT INTO t SELECT seq % 10, seq FROM seq_1_to_60000;",
         60000, "copied by one writer: its key has 2 columns", 0},
        {"text", "CREATE TABLE t (id varchar(12) PRIMARY KEY); INSERT INTO t SELECT CONCAT('k', seq) FROM seq_1_to_60000;",
         60000, "copied by one writer: its key is varchar(12), which the two servers do not order alike", 0},
        {"no key", "CREATE TABLE t (id int, v int); INSERT INTO t SELECT seq, seq FROM seq_1_to_60000;",
         60000, "copied by one writer: it has no primary key and no unique key over NOT NULL columns", 0},
        {"small", "CREATE TABLE t (id int PRIMARY KEY); INSERT INTO t SELECT seq FROM seq_1_to_40000;",
         40000, "", 0},
        {"empty", "CREATE TABLE t (id int PRIMARY KEY);", 0, "", 0},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        // MyISAM: the catalog's row figure is exact, so the cut is known beforehand (InnoDB's
        // estimate may stray by a fifth).
        std::string ddl = c.ddl;
        ddl.insert(ddl.find(");") + 1, " ENGINE=MyISAM");
        MakeSource(ddl);
        ExpectTargetStatementsParse();
        target_->ClearStatements();
        const size_t logged = Messages().size();
        ConversionReport report;
        ASSERT_EQ(ConvertDatabaseTables(context_, database_, &report), 0);
        EXPECT_FALSE(report.Failed()) << report.failures.front();
        ASSERT_EQ(report.tables.size(), 1u);
        EXPECT_EQ(report.tables[0].rows.rowsWritten, c.rows);
        EXPECT_EQ(report.tables[0].rows.rowsRead, c.rows);
        if (!c.logged.empty()) {
            EXPECT_EQ(LogLines("t", c.logged, logged), 1u);
        }
        EXPECT_EQ(LogLines("t", "range ", logged), c.ranges);
        EXPECT_EQ(TargetStatementsStartingWith("CREATE TABLE t ").size(), 1u);
        if (c.name == "composite" || c.name == "no key") continue;  // the first value repeats
        std::map<std::string, int> keys = SentKeys("t");
        EXPECT_EQ(static_cast<int64_t>(keys.size()), c.rows);
        for (const auto& [key, times] : keys) {
            if (times != 1) ADD_FAILURE() << key << " sent " << times << " times";
        }
    }
}

// An identity table on three writers: IDENTITY_INSERT is switched on for each range on its
// writer's own session, and the identity is reseeded once, after the last row.
TEST_F(RangedCopyTest, IdentityInsertOnEveryWriterAndOneReseedAtTheEnd) {
    MakeSource("CREATE TABLE t (id int AUTO_INCREMENT PRIMARY KEY, v int) ENGINE=MyISAM AUTO_INCREMENT = 200000;"
               "INSERT INTO t SELECT seq, seq FROM seq_1_to_90000; ANALYZE TABLE t;");
    ConversionReport report;
    ASSERT_EQ(ConvertDatabaseTables(context_, database_, &report), 0);
    EXPECT_FALSE(report.Failed()) << report.failures.front();
    EXPECT_EQ(TargetStatementsStartingWith("SET IDENTITY_INSERT t ON").size(), 4u);
    EXPECT_EQ(TargetStatementsStartingWith("SET IDENTITY_INSERT t OFF").size(), 4u);
    const std::vector<std::string> statements = target_->Statements();
    size_t lastInsert = 0;
    std::vector<size_t> reseeds;
    for (size_t i = 0; i < statements.size(); ++i) {
        if (statements[i].starts_with("INSERT INTO t ")) lastInsert = i;
        if (statements[i].find("CHECKIDENT") != std::string::npos) reseeds.push_back(i);
    }
    ASSERT_EQ(reseeds.size(), 1u);
    EXPECT_GT(reseeds[0], lastInsert);
    EXPECT_EQ(SentKeys("t").size(), 90000u);
}

// The shares of a split run take every range and whole table exactly once between them, each
// process computing the same split; a share leaves the foreign keys and the reseed to --finish.
TEST_F(RangedCopyTest, SharesOfASplitRunTakeEveryUnitOnce) {
    MakeSource("CREATE TABLE big (id int AUTO_INCREMENT PRIMARY KEY, v int);"
               "INSERT INTO big SELECT seq, seq FROM seq_1_to_100000;"
               "CREATE TABLE child (id int PRIMARY KEY, big_id int, FOREIGN KEY (big_id) REFERENCES big (id));"
               "INSERT INTO child SELECT seq, seq FROM seq_1_to_300;"
               "CREATE TABLE other (id int PRIMARY KEY); INSERT INTO other SELECT seq FROM seq_1_to_10;");
    std::map<std::string, int> keys;
    std::set<std::string> splits;
    for (int part = 1; part <= 3; ++part) {
        context_.options.part = part;
        context_.options.parts = 3;
        context_.options.resume = true;
        context_.options.jobs = part;  // the split does not depend on the writers
        ExpectTargetStatementsParse();
        target_->ClearStatements();
        ConversionReport report;
        ASSERT_EQ(ConvertDatabaseTables(context_, database_, &report), 0);
        EXPECT_FALSE(report.Failed()) << report.failures.front();
        splits.insert(report.split);
        for (const auto& [key, times] : SentKeys("big")) keys[key] += times;
        EXPECT_TRUE(TargetStatementsStartingWith("ALTER TABLE").empty()) << "a share made a foreign key";
        for (const std::string& statement : target_->Statements()) {
            EXPECT_EQ(statement.find("CHECKIDENT"), std::string::npos) << statement;
        }
    }
    EXPECT_EQ(splits.size(), 1u);
    EXPECT_EQ(keys.size(), 100000u);
    for (const auto& [key, times] : keys) {
        if (times != 1) ADD_FAILURE() << key << " sent " << times << " times";
    }
}

// --finish goes on only when every share ended SUCCESS with the split it computes itself; each
// share that did not is named, and nothing is created. A share's markers are written as it ends.
TEST_F(RangedCopyTest, FinishNamesEveryShareThatIsNotIn) {
    MakeSource("CREATE TABLE big (id int PRIMARY KEY); INSERT INTO big SELECT seq FROM seq_1_to_60000;"
               "CREATE TABLE child (id int PRIMARY KEY, big_id int, FOREIGN KEY (big_id) REFERENCES big (id));"
               "CREATE VIEW v AS SELECT id FROM child;");
    context_.sourceDatabase = database_;
    const std::string split =
        SplitFingerprint(PlanCopyUnits(context_, database_, {"big", "child"}, {true, true}), 3);
    const std::string markers = "select part, parts, split, outcome from velmora_split";
    struct Case {
        std::string name;
        std::vector<ScriptedRow> rows;
        std::vector<std::string> problems;
    };
    const std::vector<Case> cases = {
        {"none ended", {}, {"no share of the split run has ended yet"}},
        {"each wrong",
         {{"1", "3", "0123456789abcdef", "SUCCESS"}, {"3", "3", split, "FAILURE"}},
         {"share 1 of 3 split the work differently (the source or the options changed since): run every share again",
          "share 2 of 3 has not ended: run it (--part 2/3)",
          "share 3 of 3 ended FAILURE: run it again, it completes what it left"}},
        {"a share of another split", {{"1", "2", split, "SUCCESS"}, {"2", "3", split, "SUCCESS"}},
         {"share 1 of 2 split the work differently (the source or the options changed since): run every share again",
          "share 2 of 2 split the work differently (the source or the options changed since): run every share again"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        target_->ClearAnswers();
        target_->ClearStatements();
        target_->AnswerWith("select count_big(*) from velmora_split",
                            ScriptedResult::Text({"rows"}, {{std::to_string(c.rows.size())}}));
        target_->AnswerWith(markers, ScriptedResult::Text({"part", "parts", "split", "outcome"}, c.rows));
        ConversionReport report;
        EXPECT_FALSE(FinishSplitRun(context_, report));
        EXPECT_EQ(report.failures, c.problems);
        for (const std::string& statement : target_->Statements()) {
            EXPECT_TRUE(statement.starts_with("select ")) << "sent before every share was in: " << statement;
        }
    }
    // Without the marker table, no share ran at all.
    target_->ClearAnswers();
    target_->FailOn("select count_big(*) from velmora_split", "Invalid object name 'velmora_split'.");
    ConversionReport none;
    EXPECT_FALSE(FinishSplitRun(context_, none));
    EXPECT_EQ(none.failures, (std::vector<std::string>{
                                 "no share of a split run has ended in [sales]: run the shares (--part I/N) first"}));

    // A share clears its marker when it starts and writes it when it ends.
    target_->ClearAnswers();
    target_->ClearStatements();
    context_.options.part = 2;
    context_.options.parts = 3;
    EXPECT_TRUE(BeginShare(context_));
    EXPECT_TRUE(EndShare(context_, split, false));
    const std::vector<std::string> sent = target_->Statements();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_TRUE(sent[0].starts_with("IF OBJECT_ID(N'velmora_split') IS NULL CREATE TABLE velmora_split ("));
    EXPECT_EQ(sent[1], "DELETE FROM velmora_split WHERE part = 2");
    EXPECT_EQ(sent[3], "INSERT INTO velmora_split (part, parts, split, outcome, ended) VALUES (2, 3, N'" + split +
                           "', N'FAILURE', SYSDATETIME())");
}

// In a target schema the marker table is the schema's: the shares and --finish of one run take
// the same schema, and a login that may only use it keeps its markers there. A share that starts
// before its schema exists removes no marker and creates the table only when it ends.
TEST_F(RangedCopyTest, TheMarkersOfASplitRunInASchemaAreTheSchemas) {
    MakeSource("CREATE TABLE big (id int PRIMARY KEY);");
    context_.sourceDatabase = database_;
    context_.options.targetSchema = "order archive";
    context_.options.part = 2;
    context_.options.parts = 3;
    EXPECT_TRUE(BeginShare(context_));
    EXPECT_TRUE(EndShare(context_, "0123456789abcdef", true));
    const std::string table = "[order archive].velmora_split";
    const std::string create = "IF SCHEMA_ID(N'order archive') IS NOT NULL AND OBJECT_ID(N'" + table +
                               "') IS NULL CREATE TABLE " + table + " (";
    const std::vector<std::string> sent = target_->Statements();
    ASSERT_EQ(sent.size(), 5u) << ::testing::PrintToString(sent);
    EXPECT_TRUE(sent[0].starts_with(create)) << sent[0];
    EXPECT_EQ(sent[1], "IF OBJECT_ID(N'" + table + "') IS NOT NULL DELETE FROM " + table + " WHERE part = 2");
    EXPECT_TRUE(sent[2].starts_with(create)) << sent[2];
    EXPECT_EQ(sent[3], "DELETE FROM " + table + " WHERE part = 2");
    EXPECT_TRUE(sent[4].starts_with("INSERT INTO " + table + " (part, parts, split, outcome, ended) VALUES (2, 3, "));
    for (const std::string& statement : sent) EXPECT_EQ(test::DescribeTsqlProblems(statement), "") << statement;

    // --finish reads the schema's markers.
    target_->ClearStatements();
    target_->FailOn("select count_big(*) from " + table, "Invalid object name.");
    ConversionReport report;
    EXPECT_FALSE(FinishSplitRun(context_, report));
    EXPECT_EQ(target_->Statements().at(0), "select count_big(*) from " + table);
}

}  // namespace
}  // namespace velmora
