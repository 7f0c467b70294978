// Every table of the sample database, as the real MariaDB prints it, translates into a statement
// that the T-SQL grammar accepts, apart from the constructs the translation passes through on
// purpose (enum and set columns).
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "translation/DdlTranslator.h"
#include "support/LocalMariaDb.h"
#include "support/TsqlOracle.h"

namespace velmora {
namespace {

// Tables whose translation keeps an enum(...) or set(...) column, which SQL Server has no type
// for: the translation leaves them unchanged, so the grammar must reject them.
const std::set<std::string> kExpectedToFail = {"products", "shipments"};

std::string ShowCreateTable(const std::string& table) {
    std::string out = test::RunMariaDbClient("show create table shop.`" + table + "`");
    size_t tab = out.find('\t');
    return tab == std::string::npos ? out : out.substr(tab + 1);
}

TEST(SampleTranslation, EveryTableParsesAsTsqlExceptEnumAndSetTables) {
    auto rows = test::QueryRows(
        "select table_name from information_schema.tables where table_schema = 'shop' "
        "and table_type = 'BASE TABLE' order by table_name");
    ASSERT_GE(rows.size(), 9u) << "the sample database is not loaded (scripts/sample-db load)";
    std::set<std::string> failed;
    for (const auto& row : rows) {
        const std::string& table = row.at(0);
        std::string definition = ShowCreateTable(table);
        ASSERT_NE(definition.find("CREATE TABLE"), std::string::npos) << definition;
        std::string translated = RewriteTableDefinition(definition);
        std::string problems = test::DescribeTsqlProblems(translated);
        if (kExpectedToFail.count(table)) {
            EXPECT_FALSE(problems.empty()) << table << " was expected to keep its enum/set column";
            EXPECT_TRUE(translated.find(" enum(") != std::string::npos ||
                        translated.find(" set(") != std::string::npos)
                << translated;
            continue;
        }
        EXPECT_EQ(problems, "") << "table " << table;
        if (!problems.empty()) failed.insert(table);
    }
    EXPECT_TRUE(failed.empty());
}

TEST(SampleTranslation, KeysAndOptionsAreGoneAndColumnsStay) {
    std::string out = RewriteTableDefinition(ShowCreateTable("customers"));
    for (const char* keyLine : {"primary key", "unique key", "\n  key "}) {
        EXPECT_EQ(out.find(keyLine), std::string::npos) << keyLine << " in\n" << out;
    }
    EXPECT_EQ(out.find("engine"), std::string::npos) << out;
    EXPECT_NE(out.find("  api_key char(32) default null,\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  created_at datetime2 not null default CURRENT_TIMESTAMP\n)\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("  active binary(8) not null default 0x00,\n"), std::string::npos) << out;
    std::string notes = RewriteTableDefinition(ShowCreateTable("order notes"));
    EXPECT_EQ(notes.rfind("create table [order notes] (\n", 0), 0u) << notes;
    std::string audit = RewriteTableDefinition(ShowCreateTable("audit_log"));
    EXPECT_NE(audit.find("  last_timestamp datetime2 null default null\n)"), std::string::npos)
        << audit;
}

}  // namespace
}  // namespace velmora
