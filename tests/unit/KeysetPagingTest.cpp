// Which key the row copy pages by, and the page queries it sends.
#include <gtest/gtest.h>
#include <unistd.h>

#include <utility>
#include <vector>


#include "Converters/KeysetPaging.h"
#include "Converters/WorkFiles.h"

namespace velmora {
namespace {

TEST(KeysetPaging, KeyTypes) {
    EXPECT_EQ(KeyKindOfType("bigint(20) unsigned"), KeyValueKind::Number);
    EXPECT_EQ(KeyKindOfType("int(11)"), KeyValueKind::Number);
    EXPECT_EQ(KeyKindOfType("decimal(10,2)"), KeyValueKind::Number);
    EXPECT_EQ(KeyKindOfType("varchar(32)"), KeyValueKind::Text);
    EXPECT_EQ(KeyKindOfType("DATETIME(3)"), KeyValueKind::Text);
    EXPECT_EQ(KeyKindOfType("varbinary(16)"), KeyValueKind::Binary);
    for (const char* refused : {"float(7,2)", "double", "enum('a','b')", "set('x')", "bit(1)",
                                "timestamp", "text", "blob", "json", ""}) {
        EXPECT_FALSE(KeyKindOfType(refused).has_value()) << refused;
    }
}

TEST(KeysetPaging, ThePrimaryKeyFirstThenAUniqueKeyOverNotNullColumns) {
    std::vector<ColumnDescription> columns = {
        {"id", "bigint(20) unsigned"}, {"code", "varchar(10)"}, {"mail", "varchar(100)"},
        {"rating", "double"},          {"a", "int(11)"},        {"b", "date"}};
    // PRIMARY wins.
    auto key = ChoosePagingKey({{"uq_code", "code", false, false}, {"PRIMARY", "id", false, false}},
                               columns);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->indexName, "PRIMARY");
    // Without PRIMARY: a nullable unique key and a non-unique one are passed over.
    key = ChoosePagingKey({{"uq_mail", "mail", false, true},
                           {"ix_code", "code", true, false},
                           {"uq_ab", "a", false, false},
                           {"uq_ab", "b", false, false}},
                          columns);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->indexName, "uq_ab");
    EXPECT_EQ(key->columns, (std::vector<std::string>{"a", "b"}));
    // A primary key over a floating-point column does not qualify; nothing else does either.
    EXPECT_FALSE(ChoosePagingKey({{"PRIMARY", "rating", false, false}}, columns));
    EXPECT_FALSE(ChoosePagingKey({}, columns));
    // Column names compare without regard to case.
    EXPECT_TRUE(ChoosePagingKey({{"PRIMARY", "ID", false, false}}, columns));
}

TEST(KeysetPaging, PageQueriesKeepTheConditionAndAdvancePastTheLastKey) {
    PagingKey single{"PRIMARY", {"id"}, {KeyValueKind::Number}};
    EXPECT_EQ(PageQuery("events", "", single, {}, 1000),
              "select * from events order by id limit 1000");
    EXPECT_EQ(PageQuery("events", "kind = 'click'", single, {"1000"}, 500),
              "select * from events where (kind = 'click'\n) and ((id > 1000)) order by id limit 500");
    PagingKey composite{"PRIMARY", {"order_id", "key"}, {KeyValueKind::Number, KeyValueKind::Text}};
    EXPECT_EQ(PageQuery("order notes", "", composite, {"7", "it's"}, 10),
              "select * from `order notes` where ((order_id > 7) or (order_id = 7 and `key` > "
              "'it''s')) order by order_id, `key` limit 10");
}

TEST(KeysetPaging, KeyValueLiterals) {
    EXPECT_EQ(KeyValueLiteral(KeyValueKind::Number, "12.50"), "12.50");
    EXPECT_EQ(KeyValueLiteral(KeyValueKind::Number, "1 or 1=1"), "'1 or 1=1'");
    EXPECT_EQ(KeyValueLiteral(KeyValueKind::Binary, "00FF"), "X'00FF'");
    EXPECT_EQ(KeyValueLiteral(KeyValueKind::Text, "2026-01-01 00:00:00"), "'2026-01-01 00:00:00'");
    EXPECT_EQ(KeyValueLiteral(KeyValueKind::Text, "a\\'b"), "_utf8mb4 X'615C2762'");
}

TEST(KeysetPaging, PageSizeFollowsTheRowSize) {
    EXPECT_EQ(NextPageRows(1000, 100 * 1000), 10000);        // small rows: the largest page
    EXPECT_EQ(NextPageRows(1000, 1000u * 1024 * 1024), 4);   // 1 MB rows: 4 per page
    EXPECT_EQ(NextPageRows(10, 100u * 1024 * 1024), 1);      // huge rows: one at a time
    EXPECT_EQ(NextPageRows(0, 0), 10000);
}

// Every name has a file of its own inside the work folder: what the assessment calls ready, the
// migration can write ("sl/*x" was refused: "work file cannot be opened").
TEST(WorkFiles, NamesAreEncodedIntoTheWorkFolder) {
    for (const char* same : {"orders", "order notes", "Küche", "a.b", "x*y"}) EXPECT_EQ(WorkFileName(same), same);
    const std::vector<std::pair<std::string, std::string>> encoded = {
        {"sl/*x", "sl%2F*x"}, {"..", "%2E."}, {".", "%2E"}, {"../migrator.cfg", "%2E.%2Fmigrator.cfg"},
        {"a%2Fb", "a%252Fb"}, {std::string("a\0b\n", 4), "a%00b%0A"}, {"", "%"}};
    for (const auto& [name, file] : encoded) EXPECT_EQ(WorkFileName(name), file) << name;
    const std::string longName(300, 'n');
    EXPECT_LE(WorkFileName(longName + ".data").size(), 255u);
    EXPECT_NE(WorkFileName(longName + "a"), WorkFileName(longName + "b"));
    EXPECT_TRUE(WorkFileName(longName + ".data").ends_with(".data"));
    const std::string folder = testing::TempDir();
    WorkFile file = OpenWorkFile(folder, "sl/*x", "w+");
    EXPECT_TRUE(file);
    EXPECT_EQ(access((folder + "sl%2F*x").c_str(), F_OK), 0);
}

}  // namespace
}  // namespace velmora
