// The scripted target itself: what the engineers who test against it rely on.
#include <gtest/gtest.h>

#include "support/TargetDouble.h"

namespace velmora {
namespace {

using Names = std::vector<std::string>;

Names Execute(Session& session, const std::string& text, ResultCode expected = kSuccess) {
    auto statement = session.NewStatement();
    EXPECT_EQ(statement->Create(text), kSuccess);
    EXPECT_EQ(statement->Execute(StandardRowsetProperties()), expected) << text;
    Names values;
    while (statement->HasRowset() && statement->MoveNext() == kSuccess) {
        for (int i = 0; i < statement->ColumnCount(); ++i) {
            values.push_back(statement->IsNull(i) ? "NULL" : std::string(statement->Value(i)));
        }
    }
    if (expected != kSuccess) values.push_back(statement->ProviderErrorText());
    return values;
}

TEST(TargetDouble, ScriptedAnswersAndFailuresExactTextsFirst) {
    test::TargetDouble target;
    Session& session = *target.session();
    target.AnswerWhen([](const std::string& s) { return s.starts_with("select"); },
                      test::ScriptedResult::Text({"v"}, {{"any"}}));
    target.AnswerWith("select 1", test::ScriptedResult::Text({"a", "b"}, {{"1", std::nullopt}}));
    target.FailWhen([](const std::string& s) { return s.find("bad") != std::string::npos; }, "first rule");
    target.FailWhen([](const std::string& s) { return s.find("bad") != std::string::npos; }, "second rule");
    target.FailOn("select bad exact", "exact rule");
    EXPECT_EQ(Execute(session, "select 1"), (Names{"1", "NULL"}));
    EXPECT_EQ(Execute(session, "select 2"), Names{"any"});
    EXPECT_EQ(Execute(session, "select bad", kFailure), Names{"first rule"});  // failures before answers
    EXPECT_EQ(Execute(session, "select bad exact", kFailure), Names{"exact rule"});
    EXPECT_EQ(Execute(session, "create table t (id int)"), Names{});  // unscripted: no rowset
    EXPECT_EQ(target.Statements().size(), 5u);
    EXPECT_EQ(target.Statements().back(), "create table t (id int)");
}

TEST(TargetDouble, CatalogsFollowTheCurrentDatabase) {
    test::TargetDouble target;
    target.AddCatalog("master");
    target.AddCatalog("sales");
    target.AddTable("sales", "orders");
    target.AddTable("sales", "order_view", "VIEW");
    target.AddTable("master", "spt_values");
    target.AddColumn("sales", "orders", "id", SQL_INTEGER, "int");
    target.AddColumn("sales", "orders", "note");
    target.AddIndex("sales", "orders", "PK_orders", "id", true);
    Session& session = *target.session();
    auto tableNames = [&](std::vector<std::optional<std::string>> restrictions) {
        auto tables = session.NewTablesRowset();
        EXPECT_EQ(tables->Open(restrictions), kSuccess);
        Names names;
        while (tables->MoveNext() == kSuccess) names.push_back(tables->Current().tableName);
        return names;
    };
    EXPECT_EQ(tableNames({}), Names{"spt_values"});
    Execute(session, "use [sales];");
    EXPECT_EQ(target.currentCatalog(), "sales");
    EXPECT_EQ(tableNames({std::nullopt, std::nullopt, std::nullopt, std::string("TABLE")}), Names{"orders"});
    EXPECT_EQ(tableNames({std::string("master")}), Names{"spt_values"});
    auto columns = session.NewColumnsRowset();
    ASSERT_EQ(columns->Open({std::nullopt, std::nullopt, std::string("orders")}), kSuccess);
    Names columnNames;
    while (columns->MoveNext() == kSuccess) {
        columnNames.push_back(columns->Current().columnName + std::to_string(columns->Current().ordinalPosition));
    }
    EXPECT_EQ(columnNames, (Names{"id1", "note2"}));
    auto indexes = session.NewIndexesRowset();
    ASSERT_EQ(indexes->Open({std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::string("orders")}), kSuccess);
    ASSERT_EQ(indexes->MoveNext(), kSuccess);
    EXPECT_TRUE(indexes->Current().primaryKey && indexes->Current().unique);
    EXPECT_EQ(indexes->MoveNext(), kEndOfRowset);
}

TEST(TargetDouble, OpenIsRecordedAndCanBeRefused) {
    test::TargetDouble target(false);
    EXPECT_EQ(target.session(), nullptr);
    PropertySet properties;
    properties.Add(kPropInitDataSource, std::string("dbhost"));
    EXPECT_EQ(target.Open("SQLOLEDB", properties), kSuccess);
    EXPECT_EQ(target.OpenSession(), kSuccess);
    EXPECT_NE(target.session(), nullptr);
    EXPECT_EQ(target.lastOpenProvider(), "SQLOLEDB");
    EXPECT_EQ(target.lastOpenProperties().FindText(kPropInitDataSource), "dbhost");
    std::string name;
    EXPECT_EQ(target.GetProperty(kPropDbmsName, name), kSuccess);
    EXPECT_EQ(name, "Microsoft SQL Server");
    target.RefuseOpen("Login failed for user 'sa'.");
    EXPECT_NE(target.Open("SQLOLEDB", properties), kSuccess);
    EXPECT_EQ(target.session(), nullptr);
    EXPECT_EQ(target.ProviderErrorText(), "Login failed for user 'sa'.");
    EXPECT_EQ(target.openCount(), 2);
}

}  // namespace
}  // namespace velmora
