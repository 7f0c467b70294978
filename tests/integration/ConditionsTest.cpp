// Migration conditions against the real source: a stored condition narrows the copy, the
// dialog's Test/Save state machine, a rejected condition, and QuerySingleValue.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Converters/Conditions.h"
#include "Converters/ConversionDrivers.h"
#include "Converters/ConversionReport.h"
#include "Converters/RowTransfer.h"
#include "support/ConversionFixture.h"

namespace velmora::test {
namespace {

class ConditionsTest : public ConversionFixture {
protected:
    const std::string& path() const { return main_->conditionFilePath(); }
};

TEST_F(ConditionsTest, AStoredConditionNarrowsTheCopy) {
    ASSERT_TRUE(SaveCondition(path(), "shop", "orders", "total > 20"));
    RowCopyResult result =
        CopyTableRows(context_, "shop", "orders");
    EXPECT_EQ(result.text, "TRUE");
    EXPECT_EQ(target_->Statements(),
              (std::vector<std::string>{
                  "insert into orders values (1,1,'2026-01-10T09:00:00',44.49,N'Leave at the "
                  "door','2026-01-11')\n",
                  "insert into orders values (2,2,'2026-02-11T10:30:00',49.00,NULL,NULL)\n"}));
    EXPECT_EQ(Messages().back(), "[orders] 2 records converted, convertion completed SUCCESSFULLY!");
}

TEST_F(ConditionsTest, AConditionWithLineBreaksATopLevelOrAndACommentIsKeptWhole) {
    // Paged reads add their own key filter: the condition must stay one term.
    ASSERT_TRUE(SaveCondition(path(), "shop", "orders", "id = 1\nor id = 4 -- and id = 3"));
    CopyTableRows(context_, "shop", "orders");
    std::vector<std::string> statements = target_->Statements();
    ASSERT_EQ(statements.size(), 2u);
    EXPECT_EQ(statements[0].rfind("insert into orders values (1,", 0), 0u);
    EXPECT_EQ(statements[1].rfind("insert into orders values (4,", 0), 0u);
}

TEST_F(ConditionsTest, AConditionBelongsToItsDatabaseOnly) {
    ASSERT_TRUE(SaveCondition(path(), "other_db", "orders", "id = 1"));
    CopyTableRows(context_, "shop", "orders");
    EXPECT_EQ(target_->Statements().size(), 4u);
}

TEST_F(ConditionsTest, AStoredConditionThatNoLongerWorksFailsTheCopy) {
    ASSERT_TRUE(SaveCondition(path(), "shop", "orders", "no_such_column > 1"));
    ConversionReport report;
    EXPECT_EQ(ConvertTable(context_, "shop", "orders", &report), 1);
    std::vector<std::string> messages = Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(messages.back().find("no_such_column"), std::string::npos) << messages.back();
    EXPECT_TRUE(TargetStatementsStartingWith("insert into").empty());
    ASSERT_EQ(report.tables.size(), 1u);
    EXPECT_EQ(report.tables[0].rows.text, "FALSE");
    EXPECT_TRUE(report.Failed());
}

TEST_F(ConditionsTest, TestThenSaveStoresTheTestedText) {
    ConditionDialogModel dialog(main_->log(), context_.SourceSession(), path(), "shop", "orders");
    EXPECT_EQ(dialog.queryLabel(), "select * from orders where");
    EXPECT_EQ(dialog.conditionText(), "");
    EXPECT_FALSE(dialog.saveEnabled());
    EXPECT_FALSE(dialog.Save());  // Save is only possible after a successful Test

    dialog.SetConditionText("id > 2");
    dialog.Test();
    EXPECT_EQ(dialog.resultText(), "Test successfully!\r\n  2 Records can be converted.");
    EXPECT_TRUE(dialog.saveEnabled());

    // Edits after the Test are not saved.
    dialog.SetConditionText("id > 100");
    EXPECT_TRUE(dialog.Save());
    EXPECT_FALSE(dialog.saveEnabled());
    EXPECT_EQ(LookupCondition(path(), "shop", "orders"), "id > 2");
    EXPECT_EQ(ConditionTooltipText(path(), "shop", "orders"), "Condition : id > 2");

    // Opening the dialog again shows the stored condition.
    ConditionDialogModel again(main_->log(), context_.SourceSession(), path(), "shop", "orders");
    EXPECT_EQ(again.conditionText(), "id > 2");
    again.Close();
    again.SetConditionText("id > 3");
    again.Test();
    EXPECT_FALSE(again.Save());
    EXPECT_EQ(LookupCondition(path(), "shop", "orders"), "id > 2");
}

TEST_F(ConditionsTest, TheEmptyConditionCountsEveryRowAndSavesNoCondition) {
    ASSERT_TRUE(SaveCondition(path(), "shop", "order notes", "id = 1"));
    ConditionDialogModel dialog(main_->log(), context_.SourceSession(), path(), "shop", "order notes");
    EXPECT_EQ(dialog.queryLabel(), "select * from order notes where");
    EXPECT_EQ(dialog.conditionText(), "id = 1");
    dialog.SetConditionText("");
    dialog.Test();
    EXPECT_EQ(dialog.resultText(), "Test successfully!\r\n  2 Records can be converted.");
    EXPECT_TRUE(dialog.Save());
    EXPECT_EQ(LookupCondition(path(), "shop", "order notes"), "");
    EXPECT_EQ(ConditionTooltipText(path(), "shop", "order notes"), "Convert All");
}

TEST_F(ConditionsTest, ARejectedConditionCannotBeSaved) {
    ConditionDialogModel dialog(main_->log(), context_.SourceSession(), path(), "shop", "orders");
    dialog.SetConditionText("id > 2");
    dialog.Test();
    ASSERT_TRUE(dialog.saveEnabled());
    dialog.SetConditionText("no_such_column > 1");
    dialog.Test();
    EXPECT_EQ(dialog.resultText().rfind("Test failed!\r\n  Because:  ", 0), 0u);
    EXPECT_NE(dialog.resultText().find("no_such_column"), std::string::npos)
        << dialog.resultText();
    EXPECT_FALSE(dialog.saveEnabled());
    EXPECT_FALSE(dialog.Save());
    EXPECT_EQ(LookupCondition(path(), "shop", "orders"), "");
}

TEST_F(ConditionsTest, ATestWithoutASourceConnectionFails) {
    context_.sourceConnection->Close();
    ConditionDialogModel dialog(main_->log(), context_.SourceSession(), path(), "shop", "orders");
    dialog.Test();
    EXPECT_EQ(dialog.resultText(), "Test failed!\r\n  Because:  No Connection!");
    EXPECT_FALSE(dialog.saveEnabled());
    EXPECT_EQ(Messages(), std::vector<std::string>{"No Connection!"});
}

TEST_F(ConditionsTest, AConditionTooLongToReadBackCannotBeSaved) {
    ConditionDialogModel dialog(main_->log(), context_.SourceSession(), path(), "shop", "orders");
    // 996 characters, but 1,086 once its 90 line breaks are stored as backslash-n.
    std::string condition = "id > 0";
    for (int i = 0; i < 90; ++i) condition += "\nand id > 0";
    dialog.SetConditionText(condition);
    ASSERT_EQ(dialog.conditionText(), condition);
    dialog.Test();
    EXPECT_EQ(dialog.resultText(),
              "Test failed!\r\n  Because:  The condition is too long to be stored: at most 1023 "
              "characters can be read back.");
    EXPECT_FALSE(dialog.saveEnabled());
    // The editor stops at 1,024 characters.
    dialog.SetConditionText(std::string(1500, 'x'));
    EXPECT_EQ(dialog.conditionText(), std::string(1024, 'x'));
    dialog.SetConditionText(std::string(1500, 'x') + "é");
    EXPECT_EQ(dialog.conditionText(), std::string(1024, 'x'));
}

TEST_F(ConditionsTest, QuerySingleValueSkipsNullsAndNegativeValues) {
    Session* source = context_.SourceSession();
    EXPECT_EQ(QuerySingleValue(main_->log(), source, "select NULL, -5, 7, 8", 0), "7");
    EXPECT_EQ(Messages(), std::vector<std::string>{"(NULL)"});
    EXPECT_EQ(QuerySingleValue(main_->log(), source, "select NULL, -5, 7", 1), "7");
    std::vector<std::string> messages = Messages();
    EXPECT_EQ(std::vector<std::string>(messages.begin() + 1, messages.end()),
              (std::vector<std::string>{"RESULT:    The operation completed SUCCESSFULLY", "(NULL)",
                                        "RESULT:    The operation completed SUCCESSFULLY",
                                        "RESULT:    The operation completed SUCCESSFULLY"}));
    EXPECT_EQ(QuerySingleValue(main_->log(), source, "select -1", 0),
              "RESULT:    The operation completed SUCCESSFULLY");
    EXPECT_EQ(QuerySingleValue(main_->log(), source, "select 'abc'", 0), "abc");
    EXPECT_EQ(QuerySingleValue(main_->log(), source, "select count(*) from events", 0), "5000");
    std::string error = QuerySingleValue(main_->log(), source, "select nonsense from nowhere", 0);
    EXPECT_NE(error.find("nowhere"), std::string::npos) << error;
    // Only the first 100 rows are examined.
    EXPECT_EQ(QuerySingleValue(main_->log(), source,
                               "select -id from events where id <= 150 union all select 1", 0),
              "RESULT:    The operation completed SUCCESSFULLY");
}

}  // namespace
}  // namespace velmora::test
