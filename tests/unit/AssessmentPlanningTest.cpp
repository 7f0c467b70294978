// What a DBA plans with: counts by kind and outcome, each issue once with its objects, the
// effort of each object, the checks against the target's version, the refused object's source
// and rewrite in the page.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assessment/AssessmentReport.h"
#include "assessment/AssessmentSummary.h"
#include "assessment/TargetVersion.h"

namespace velmora {
namespace {

AssessedObject Object(const std::string& kind, const std::string& name, std::string_view outcome) {
    AssessedObject object;
    object.database = "shop";
    object.kind = kind;
    object.name = name;
    object.outcome = std::string(outcome);
    return object;
}

// 16 tables with the same adjustment of their column id, a view refused for REGEXP, a view
// whose T-SQL needs a UTF-8 collation, an event.
Assessment Sample() {
    DatabaseAssessment database;
    database.name = "shop";
    for (int i = 0; i < 16; ++i) {
        AssessedObject table = Object("table", "t" + std::to_string(i), assessed::kAdjusted);
        table.columns = {{"id", "int unsigned", "bigint", "", "", ""}};
        table.adjustments = {"id: int unsigned becomes bigint"};
        table.statements = {"CREATE TABLE [t] ([id] bigint NOT NULL)"};
        database.objects.push_back(table);
    }
    AssessedObject refused = Object("view", "v_regexp", assessed::kRefused);
    refused.construct = "REGEXP";
    refused.source = "CREATE VIEW v_regexp AS select * from t where a regexp 'x<'";
    refused.rewrite = "LIKE or PATINDEX";
    database.objects.push_back(refused);
    AssessedObject utf8 = Object("view", "v_bytes", assessed::kReady);
    utf8.statements = {"CREATE VIEW v AS SELECT DATALENGTH(CAST(CAST(a AS nvarchar(max)) COLLATE "
                       "Latin1_General_100_CI_AS_SC_UTF8 AS varchar(max))) AS n, N'_UTF8 in text' AS s FROM t"};
    database.objects.push_back(utf8);
    AssessedObject event = Object("event", "nightly", assessed::kNotMigrated);
    event.reason = "the target's scheduler is a separate product";
    database.objects.push_back(event);
    Assessment assessment;
    assessment.databases.push_back(database);
    return assessment;
}

TEST(AssessmentPlanning, CountsByKindAndEachIssueOnceWithItsObjects) {
    const Assessment assessment = Sample();
    const auto kinds = KindOutcomeCounts(assessment);
    ASSERT_EQ(kinds.size(), 3u);
    EXPECT_EQ(kinds[0], (std::pair<std::string, std::vector<int>>{"table", {0, 16, 0, 0, 0}}));
    EXPECT_EQ(kinds[1], (std::pair<std::string, std::vector<int>>{"view", {1, 0, 1, 0, 0}}));
    EXPECT_EQ(kinds[2], (std::pair<std::string, std::vector<int>>{"event", {0, 0, 0, 0, 1}}));
    const std::vector<AssessmentIssue> issues = TopIssues(assessment);
    ASSERT_EQ(issues.size(), 3u);
    EXPECT_EQ(issues[0].text, "REGEXP");  // refusals first
    EXPECT_EQ(issues[1].outcome, "not migrated");
    EXPECT_EQ(issues[2].text, "int unsigned becomes bigint");
    ASSERT_EQ(issues[2].objects.size(), 16u);
    EXPECT_EQ(issues[2].objects[3], "shop.t3.id");
    EXPECT_EQ(EffortOf(assessment.databases[0].objects[0]), "review");
    EXPECT_EQ(EffortOf(assessment.databases[0].objects[16]), "rewrite");
    EXPECT_EQ(EffortOf(assessment.databases[0].objects[17]), "none");
    EXPECT_EQ(EffortOf(assessment.databases[0].objects[18]), "rewrite");
    // The first screen: the table of counts and the issue once, with how many it touches.
    const std::string text = AssessmentSummaryText(assessment);
    EXPECT_NE(text.find("\ntable         0        16        0"), std::string::npos) << text;
    EXPECT_NE(text.find("int unsigned becomes bigint  (16 objects: shop.t0.id, shop.t1.id, shop.t2.id, "
                        "shop.t3.id and 12 more)"),
              std::string::npos)
        << text;
}

TEST(AssessmentPlanning, WhatTheTargetVersionCannotTakeIsRefusedThere) {
    struct Case {
        const char* version;
        const char* statement;
        std::vector<std::string> limits;
    };
    const std::string utf8 = "SELECT a COLLATE Latin1_General_100_CI_AS_SC_UTF8 FROM t";
    const Case cases[] = {
        {"2016", utf8.c_str(), {"a UTF-8 collation: SQL Server 2016 has none"}},
        {"2017", utf8.c_str(), {"a UTF-8 collation: SQL Server 2017 has none"}},
        {"babelfish", utf8.c_str(), {"a UTF-8 collation: Babelfish has none"}},
        {"2019", utf8.c_str(), {}},
        {"2022", utf8.c_str(), {}},
        {"2016", "SELECT STRING_AGG (a, N',') FROM t", {"STRING_AGG: SQL Server 2016 has none"}},
        {"2017", "SELECT STRING_AGG(a, N',') FROM t", {}},
        {"babelfish", "SELECT STRING_AGG(a, N',') WITHIN GROUP (ORDER BY a) FROM t",
         {"STRING_AGG ... WITHIN GROUP: Babelfish has none"}},
        {"2019", "SELECT GREATEST(a, b) FROM t", {"GREATEST: SQL Server 2019 has none"}},
        {"azure", "SELECT GREATEST(a, b) FROM t", {}},
        // Names and literals are not code.
        {"2016", "SELECT [STRING_AGG(], N'x_UTF8 CONCAT_WS(' FROM [my_utf8]", {}},
        {"2016", "SELECT RTRIM(a), LTRIM(b) FROM t", {}},
        {"babelfish", "CREATE TABLE t ([id] decimal(20,0) IDENTITY(1,1) NOT NULL)",
         {"an identity of more than 18 digits: Babelfish has none"}},
        {"2022", "CREATE TABLE t ([id] decimal(20,0) IDENTITY(1,1) NOT NULL)", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VersionLimits({c.statement}, c.version), c.limits) << c.version << ": " << c.statement;
    }
    EXPECT_EQ(TargetVersionOf("Microsoft SQL Server 2019 (RTM-CU22) (KB5027702) - 15.0.4322.2 (X64)"), "2019");
    EXPECT_EQ(TargetVersionOf("Babelfish for PostgreSQL with SQL Server Compatibility - 12.0.2000.8"), "babelfish");
    EXPECT_EQ(TargetVersionOf("Microsoft SQL Azure (RTM) - 12.0.2000.8"), "azure");

    Assessment assessment = Sample();
    ApplyTargetVersion(assessment, "2017", "--target-version");
    const AssessedObject& view = assessment.databases[0].objects[17];
    EXPECT_EQ(view.outcome, "refused");
    EXPECT_EQ(view.construct, "a UTF-8 collation: SQL Server 2017 has none");
    EXPECT_NE(view.rewrite.find("non-UTF-8 collation"), std::string::npos);
    EXPECT_EQ(assessment.databases[0].objects[0].outcome, "adjusted");  // nothing of 2017's missing
    EXPECT_NE(AssessmentSummaryText(assessment).find("checked against: SQL Server 2017 (--target-version)"),
              std::string::npos);
}

TEST(AssessmentPlanning, TheRefusedObjectShowsItsSourceAndRewrite) {
    const std::string html = AssessmentHtml(Sample());
    EXPECT_NE(html.find("<p><b>Suggested rewrite:</b> LIKE or PATINDEX</p>"), std::string::npos);
    EXPECT_NE(html.find("<pre>CREATE VIEW v_regexp AS select * from t where a regexp &#39;x&lt;&#39;</pre>"),
              std::string::npos);
    EXPECT_NE(html.find("<h2>Top issues</h2>"), std::string::npos);
    const std::string json = AssessmentJson(Sample(), 0);
    EXPECT_NE(json.find("\"effort\": \"rewrite\""), std::string::npos);
    EXPECT_NE(json.find("\"topIssues\""), std::string::npos);
}

// A connected target's measured write: each table takes the slower of its read and its write.
TEST(AssessmentPlanning, TheEstimateIncludesTheTargetsMeasuredWrites) {
    Assessment assessment;
    DatabaseAssessment database;
    database.measurement = {{"big"}, 10, 500, 1000, 1.0};  // 1,000 bytes on disk a second
    AssessedObject big = Object("table", "big", assessed::kReady);
    big.rows = 100;
    big.dataBytes = 4000;
    big.copySeconds = 4.0;
    AssessedObject empty = Object("table", "empty", assessed::kReady);
    empty.rows = 0;
    empty.copySeconds = 0;
    database.objects = {big, empty};
    database.copySeconds = 4.0;
    assessment.databases = {database};
    EXPECT_EQ(CopyEstimateText(TotalsOf(assessment).seconds, WritesMeasured(assessment)),
              "at least 0:04 (the source's read; the target's writes add to it)");
    // 125 bytes of text a second written: 250 bytes on disk, at the read's 2 bytes on disk per byte of text.
    AddTargetWrites(assessment, {1000, 1250, 10.0, ""});
    EXPECT_DOUBLE_EQ(assessment.databases[0].objects[0].copySeconds, 16.0);
    EXPECT_DOUBLE_EQ(assessment.databases[0].objects[1].copySeconds, 0.0);
    EXPECT_EQ(CopyEstimateText(TotalsOf(assessment).seconds, WritesMeasured(assessment)),
              "at least 0:16 (the slower of the source's read and the target's measured writes)");
    EXPECT_NE(WriteMeasurementText(assessment).find("inserting 1,000 rows"), std::string::npos);
    // A write that failed leaves the read's estimate and says why.
    assessment.databases = {database};
    AddTargetWrites(assessment, {0, 0, 0.1, "CREATE TABLE permission denied"});
    EXPECT_DOUBLE_EQ(assessment.databases[0].copySeconds, 4.0);
    EXPECT_EQ(WriteMeasurementText(assessment),
              "the target's writes could not be measured: CREATE TABLE permission denied");
}

}  // namespace
}  // namespace velmora
