// The log of tables at once: four tables copied together, all of them failing (an index the
// target refuses, rows it refuses): every line written while a table is converted names it, and
// each failure line is followed directly by its own table's reason.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Converters/ConversionDrivers.h"
#include "support/ConversionFixture.h"

namespace velmora::test {
namespace {

const std::vector<std::string> kTables = {"t1", "t2", "t3", "t4", "t5", "t6"};

class ParallelLogTest : public ConversionFixture {
protected:
    void SetUp() override {
        ConversionFixture::SetUp();
        database_ = ProcessDatabaseName("velmora_it_parallel_log");
        std::string ddl;
        for (const std::string& table : kTables) {
            ddl += "CREATE TABLE " + table + " (id int PRIMARY KEY, v int, UNIQUE KEY u_" + table +
                   " (v)); INSERT INTO " + table + " SELECT seq, seq FROM seq_1_to_3000;";
        }
        RunSql("DROP DATABASE IF EXISTS " + database_ + "; CREATE DATABASE " + database_ + "; USE " +
               database_ + "; " + ddl);
        UseSourceDatabase(database_);
        context_.options.translation = TranslationMode::Full;
        context_.options.jobs = 4;
        context_.targetDatabase = "sales";
        context_.openPeer = [this] { return OpenPeer(database_); };
    }
    void TearDown() override {
        RunSql("DROP DATABASE IF EXISTS " + database_ + ";");
        ConversionFixture::TearDown();
    }

    std::string database_;
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The table a line names at its start, "[t3] ...", or in "Create table [t3] ...".
std::string NamedTable(const std::string& message) {
    for (const std::string& table : kTables) {
        if (message.rfind("[" + table + "] ", 0) == 0 || Contains(message, "[" + table + "]")) return table;
    }
    return "";
}

TEST_F(ParallelLogTest, EveryLineNamesItsTableAndAReasonFollowsItsFailure) {
    target_->FailWhen([](const std::string& s) { return Contains(s, "CREATE UNIQUE INDEX"); },
                      "the index is refused");
    // Every 700th row of every table is refused, in the middle of the batches.
    target_->FailWhen([](const std::string& s) { return Contains(s, "INSERT INTO") && Contains(s, "(700,700)"); },
                      "row 700 is refused");
    ConversionReport report;
    ConvertDatabaseTables(context_, database_, &report);
    ASSERT_EQ(report.tables.size(), kTables.size());
    for (const TableReport& table : report.tables) {
        EXPECT_EQ(table.rows.rowsWritten, 2999) << table.name;
        EXPECT_EQ(table.rows.rowsFailed, 1) << table.name;
    }

    const std::vector<std::string> messages = Messages();
    std::map<std::string, int> indexFailures;
    bool inTables = false;
    for (size_t i = 0; i < messages.size(); ++i) {
        const std::string& message = messages[i];
        if (Contains(message, "Converting 6 tables, 4 at a time")) inTables = true;
        if (Contains(message, "Convert Foreign Keys")) inTables = false;
        if (!inTables || Contains(message, "Converting 6 tables")) continue;
        const std::string table = NamedTable(message);
        EXPECT_NE(table, "") << "a line of tables at once names no table: " << message;
        if (Contains(message, "Create Index failure!")) {
            ++indexFailures[table];
            EXPECT_EQ(message, "[" + table + "] Create Index failure!");
            ASSERT_LT(i + 1, messages.size());
            EXPECT_TRUE(Contains(messages[i + 1], "the index is refused") &&
                        messages[i + 1].rfind("[" + table + "] ", 0) == 0)
                << "after the failure of " << table << ": " << messages[i + 1];
        }
        if (Contains(message, "INSERT failed")) {
            EXPECT_TRUE(Contains(message, "row 700 is refused")) << message;
        }
    }
    for (const std::string& table : kTables) EXPECT_EQ(indexFailures[table], 1) << table;
}

}  // namespace
}  // namespace velmora::test
