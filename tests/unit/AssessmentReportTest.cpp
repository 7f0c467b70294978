// The assessment's files: the HTML escapes every name and text in one place (hostile names stay
// text), the JSON is valid and keeps names exactly, the gate of --fail-on, and the figures' texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assessment/AssessCommand.h"
#include "assessment/AssessmentReport.h"
#include "commands/JsonLayout.h"

namespace velmora {
namespace {

const std::string kRightToLeftOverride = "\xE2\x80\xAE";  // U+202E
const std::string kRightToLeftMark = "\xE2\x80\x8F";      // U+200F

TEST(AssessmentReportTest, HtmlTextKeepsHostileTextAsText) {
    struct Case {
        std::string text;
        std::string html;
    };
    const std::vector<Case> cases = {
        {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"a \"quoted\" 'name'", "a &quot;quoted&quot; &#39;name&#39;"},
        {"R&D &amp; more", "R&amp;D &amp;amp; more"},
        {"txt" + kRightToLeftOverride + "exe.sql", "txt[U+202E]exe.sql"},
        {"a" + kRightToLeftMark + "b", "a[U+200F]b"},
        {"zero\xE2\x80\x8Bwidth", "zero[U+200B]width"},
        {"bell\x07", "bell[U+0007]"},
        {"line\nnext\ttab", "line\nnext\ttab"},
        {"Müller \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xF0\x9F\x98\x80", "Müller \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xF0\x9F\x98\x80"},
        {"bad\xFF\xC3", "bad\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"overlong\xC0\xBC", "overlong\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"surrogate\xED\xA0\x80", "surrogate\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const Case& c : cases) EXPECT_EQ(HtmlText(c.text), c.html) << c.text;
}

// An assessment whose every name and text is hostile.
Assessment HostileAssessment() {
    AssessedObject table;
    table.database = "shop<b>";
    table.kind = "table";
    table.name = "<script>alert('x')</script>" + kRightToLeftOverride + "\"&";
    table.outcome = std::string(assessed::kAdjusted);
    table.adjustments = {"col <i>: ON UPDATE dropped & \"more\""};
    table.statements = {"CREATE TABLE [<script>] ([a] int)"};
    table.columns = {{"<img src=x onerror=alert(1)>", "int", "int", "", "", ""}};
    table.engine = "InnoDB";
    table.rows = 3;
    table.rowsExact = true;
    table.dataBytes = 16384;
    AssessedObject view = table;
    view.kind = "view";
    view.outcome = std::string(assessed::kRefused);
    view.construct = "<iframe> in a view";
    view.statements.clear();
    view.columns.clear();
    DatabaseAssessment database;
    database.name = table.database;
    database.objects = {table, view};
    Assessment assessment;
    assessment.sourceServer = "10.11 <server>";
    assessment.generatedAt = "2026-12-07T12:00:00Z";
    assessment.databases = {database};
    return assessment;
}

TEST(AssessmentReportTest, TheHtmlHoldsNoMarkupFromTheSource) {
    const std::string html = AssessmentHtml(HostileAssessment());
    for (const char* raw : {"<script", "<img", "<iframe", "<i>", "shop<b>", "<server>", "\xE2\x80\xAE"}) {
        EXPECT_EQ(html.find(raw), std::string::npos) << raw;
    }
    for (const char* escaped : {"&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;[U+202E]&quot;&amp;",
                                "&lt;img src=x onerror=alert(1)&gt;", "&lt;iframe&gt; in a view",
                                "col &lt;i&gt;: ON UPDATE dropped &amp; &quot;more&quot;",
                                "CREATE TABLE [&lt;script&gt;]", "shop&lt;b&gt;", "10.11 &lt;server&gt;"}) {
        EXPECT_NE(html.find(escaped), std::string::npos) << escaped;
    }
    // Counts per outcome, then one section per object.
    EXPECT_NE(html.find("<h2>Summary</h2>"), std::string::npos);
    EXPECT_NE(html.find("name=\"o1\""), std::string::npos);
    EXPECT_NE(html.find("name=\"o2\""), std::string::npos);
}

TEST(AssessmentReportTest, TheJsonKeepsEveryNameExactly) {
    Assessment assessment = HostileAssessment();
    assessment.databases[0].objects[1].name = "not utf-8 \xFF";
    const JsonDocument json = JsonDocument::parse(AssessmentJson(assessment, 1));
    EXPECT_EQ(json["formatVersion"], kAssessmentFormatVersion);
    EXPECT_EQ(json["report"], "assessment");
    EXPECT_EQ(json["exitCode"], 1);
    EXPECT_EQ(json["summary"]["outcomes"]["adjusted"], 1);
    EXPECT_EQ(json["summary"]["outcomes"]["refused"], 1);
    EXPECT_EQ(json["summary"]["outcomes"]["ready"], 0);
    const JsonDocument& objects = json["databases"][0]["objects"];
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0]["name"], assessment.databases[0].objects[0].name);
    EXPECT_EQ(objects[0]["columns"][0]["name"], "<img src=x onerror=alert(1)>");
    EXPECT_EQ(objects[0]["rows"], 3);
    EXPECT_EQ(objects[1]["construct"], "<iframe> in a view");
    EXPECT_EQ(objects[1]["name"], "not utf-8 \xEF\xBF\xBD");  // still valid JSON
    EXPECT_TRUE(objects[1]["estimatedSeconds"].is_null());
}

TEST(AssessmentReportTest, JsonLayoutPutsEachObjectOfAListOnItsLine) {
    const JsonDocument document = {
        {"version", 2},
        {"tool", {{"name", "x"}}},
        {"items", {{{"a", 1}, {"list", {1, 2}}}, {{"a", 2}, {"list", JsonDocument::array()}}}},
        {"empty", JsonDocument::array()},
    };
    const std::string text = LaidOutJson(document);
    EXPECT_EQ(text,
              "{\n  \"version\": 2,\n  \"tool\": {\"name\": \"x\"},\n  \"items\": [\n"
              "    {\"a\": 1, \"list\": [1, 2]},\n    {\"a\": 2, \"list\": []}\n  ],\n"
              "  \"empty\": []\n}\n");
    EXPECT_EQ(JsonDocument::parse(text), document);
}

TEST(AssessmentReportTest, TheGateClosesOnWhatItNames) {
    struct Case {
        std::string_view outcome;
        bool refusals;
        bool adjustments;
    };
    const std::vector<Case> cases = {
        {assessed::kReady, false, false},
        {assessed::kAdjusted, false, true},
        {assessed::kRefused, true, true},
        {assessed::kUnreadable, true, true},
        {assessed::kNotMigrated, true, true},
    };
    for (const Case& c : cases) {
        Assessment assessment;
        assessment.databases.resize(1);
        assessment.databases[0].objects.resize(2);
        assessment.databases[0].objects[0].outcome = std::string(assessed::kReady);
        assessment.databases[0].objects[1].outcome = std::string(c.outcome);
        EXPECT_EQ(AssessmentFails(assessment, "refusals"), c.refusals) << c.outcome;
        EXPECT_EQ(AssessmentFails(assessment, "adjustments"), c.adjustments) << c.outcome;
    }
    Assessment unreadable;
    unreadable.databases.resize(1);
    unreadable.databases[0].failure = "Unknown database";
    EXPECT_TRUE(AssessmentFails(unreadable, "refusals"));
}

TEST(AssessmentReportTest, FiguresReadAsAPersonWritesThem) {
    struct Case {
        std::string got;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {SizeText(0), "0 bytes"},
        {SizeText(1), "1 byte"},
        {SizeText(1023), "1,023 bytes"},
        {SizeText(16384), "16 KB"},
        {SizeText(1536 * 1024), "1.5 MB"},
        {SizeText(int64_t{5} << 40), "5.0 TB"},
        {CountText(1234567), "1,234,567"},
        {CountText(999), "999"},
        {DurationText(-1), "unknown"},
        {DurationText(0.2), "under a second"},
        {DurationText(7.4), "0:07"},
        {DurationText(3723), "1:02:03"},
        {CopyEstimateText(0.4), "under a second (the source's read; the target's writes add to it)"},
        {CopyEstimateText(75), "at least 1:15 (the source's read; the target's writes add to it)"},
        {DefaultAssessmentFile({"shop"}, "html"), "shop-assessment.html"},
        {DefaultAssessmentFile({"shop", "crm"}, "json"), "shop+crm-assessment.json"},
        {DefaultAssessmentFile({"../etc/x"}, "html"), "_.._etc_x-assessment.html"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

}  // namespace
}  // namespace velmora
