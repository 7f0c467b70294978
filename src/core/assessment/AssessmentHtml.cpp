// The HTML page of an assessment (AssessmentReport.h). Only what a browser and Qt's rich-text
// viewer both render: headings, paragraphs, lists, tables with bgcolor and width, pre; the bars
// of the size chart are table cells. Every text from the source goes through HtmlText.
#include <algorithm>
#include <cstdio>
#include <sstream>

#include "assessment/AssessmentReport.h"
#include "assessment/AssessmentSummary.h"

namespace velmora {
namespace {

const char* OutcomeColour(const std::string& outcome) {
    if (outcome == assessed::kReady) return "#2e7d32";
    if (outcome == assessed::kAdjusted) return "#b26a00";
    if (outcome == assessed::kRefused) return "#c62828";
    if (outcome == assessed::kUnreadable) return "#6a1b9a";
    return "#546e7a";
}

std::string Badge(const std::string& outcome) {
    return std::string("<span style=\"color:") + OutcomeColour(outcome) + ";font-weight:bold\">" +
           HtmlText(outcome) + "</span>";
}

std::string RowsText(const AssessedObject& object) {
    if (object.rows < 0) return "unknown";
    return CountText(object.rows) + (object.rowsExact ? "" : " (estimate)");
}

struct SizedTable {
    std::string label;
    int64_t bytes = 0;
};

// The tables by size on disk, largest first; past the first 15 the rest share one bar.
std::vector<SizedTable> SizeChartEntries(const Assessment& assessment) {
    std::vector<SizedTable> tables;
    for (const DatabaseAssessment& database : assessment.databases) {
        for (const AssessedObject& object : database.objects) {
            if (object.kind != "table") continue;
            const std::string prefix = assessment.databases.size() > 1 ? database.name + "." : "";
            tables.push_back({prefix + object.name, object.dataBytes + object.indexBytes});
        }
    }
    std::stable_sort(tables.begin(), tables.end(),
                     [](const SizedTable& a, const SizedTable& b) { return a.bytes > b.bytes; });
    constexpr size_t kShown = 15;
    if (tables.size() > kShown) {
        SizedTable rest{CountText(static_cast<int64_t>(tables.size() - kShown)) + " more tables", 0};
        for (size_t i = kShown; i < tables.size(); ++i) rest.bytes += tables[i].bytes;
        tables.resize(kShown);
        tables.push_back(rest);
    }
    return tables;
}

void WriteSizeChart(std::ostream& html, const Assessment& assessment) {
    const std::vector<SizedTable> tables = SizeChartEntries(assessment);
    int64_t largest = 1;
    for (const SizedTable& table : tables) largest = std::max(largest, table.bytes);
    html << "<h2>Where the size is</h2>\n<p>Data and indexes on disk, per table.</p>\n"
            "<table cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">\n";
    // A bar is a coloured cell beside a blank one whose widths add up to the row: a browser and
    // Qt's viewer both keep the two in proportion (a nested table's own width is lost in Qt's).
    for (const SizedTable& table : tables) {
        const int percent = std::clamp(static_cast<int>(100 * table.bytes / largest), 1, 100);
        html << "<tr><td width=\"30%\">" << HtmlText(table.label) << "</td><td width=\"55%\">"
             << "<table cellspacing=\"0\" cellpadding=\"0\" width=\"100%\"><tr>"
             << "<td width=\"" << percent << "%\" bgcolor=\"#4a7fb5\" style=\"background:#4a7fb5\">&nbsp;</td>";
        if (percent < 100) html << "<td width=\"" << 100 - percent << "%\">&nbsp;</td>";
        html << "</tr></table></td><td width=\"15%\" align=\"right\">" << HtmlText(SizeText(table.bytes))
             << "</td></tr>\n";
    }
    html << "</table>\n";
}

// The objects by kind (rows) and outcome (columns), with the totals.
void WriteCounts(std::ostream& html, const Assessment& assessment) {
    const auto outcomes = OutcomeCounts(assessment);
    html << "<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\">\n<tr><th align=\"left\">kind</th>";
    for (const auto& [outcome, count] : outcomes) html << "<th align=\"right\">" << Badge(outcome) << "</th>";
    html << "</tr>\n";
    for (const auto& [kind, counts] : KindOutcomeCounts(assessment)) {
        html << "<tr><td>" << HtmlText(kind) << "</td>";
        for (int count : counts) html << "<td align=\"right\">" << count << "</td>";
        html << "</tr>\n";
    }
    html << "<tr><td><b>all</b></td>";
    for (const auto& [outcome, count] : outcomes) html << "<td align=\"right\"><b>" << count << "</b></td>";
    html << "</tr>\n</table>\n";
}

// Each adjustment or refusal once, with every object it touches.
void WriteIssues(std::ostream& html, const Assessment& assessment) {
    const std::vector<AssessmentIssue> issues = TopIssues(assessment);
    html << "<h2>Top issues</h2>\n";
    if (issues.empty()) {
        html << "<p>None: every object arrives as it is.</p>\n";
        return;
    }
    html << "<ol>\n";
    for (const AssessmentIssue& issue : issues) {
        std::string objects;
        for (const std::string& object : issue.objects) objects += (objects.empty() ? "" : ", ") + object;
        html << "<li>" << Badge(issue.outcome) << " " << HtmlText(issue.text) << " <em>(" << issue.objects.size()
             << (issue.objects.size() == 1 ? " object" : " objects") << ": " << HtmlText(objects) << ")</em></li>\n";
    }
    html << "</ol>\n";
}

void WriteSummary(std::ostream& html, const Assessment& assessment) {
    const AssessmentTotals totals = TotalsOf(assessment);
    html << "<h2>Summary</h2>\n";
    if (!assessment.targetVersion.empty()) {
        html << "<p><b>Checked against:</b> " << HtmlText(TargetVersionText(assessment))
             << ": what it cannot take is refused.</p>\n";
    }
    WriteCounts(html, assessment);
    html << "<p><b>Rows:</b> " << CountText(totals.rows)
         << (totals.estimatedTables > 0
                 ? " (" + CountText(totals.estimatedTables) + " of the tables estimated by the catalog)"
                 : "")
         << ". <b>On disk:</b> " << HtmlText(SizeText(totals.dataBytes)) << " of data, "
         << HtmlText(SizeText(totals.indexBytes)) << " of indexes. <b>Estimated copy time:</b> "
         << HtmlText(CopyEstimateText(totals.seconds, WritesMeasured(assessment))) << ".</p>\n";
    if (assessment.write) html << "<p>" << HtmlText(WriteMeasurementText(assessment)) << ".</p>\n";
    for (const DatabaseAssessment& database : assessment.databases) {
        html << "<p>" << HtmlText(database.name) << ": ";
        if (!database.failure.empty()) {
            html << "<b>could not be read:</b> " << HtmlText(database.failure) << "</p>\n";
        } else {
            html << HtmlText(MeasurementText(database.measurement, WritesMeasured(assessment))) << ".</p>\n";
        }
    }
    html << "<p>Values that change on the way (zero dates, ...) are found while the rows are copied "
            "and are not listed here.</p>\n";
    WriteIssues(html, assessment);
}

void WriteIndex(std::ostream& html, const Assessment& assessment) {
    html << "<h2>Objects</h2>\n<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">\n"
            "<tr><th align=\"left\">object</th><th align=\"left\">kind</th><th align=\"left\">outcome</th>"
            "<th align=\"left\">effort</th><th align=\"right\">rows</th><th align=\"right\">size</th><th align=\"right\">copy</th></tr>\n";
    int index = 0;
    for (const DatabaseAssessment& database : assessment.databases) {
        for (const AssessedObject& object : database.objects) {
            const bool table = object.kind == "table";
            html << "<tr><td><a href=\"#o" << ++index << "\">" << HtmlText(database.name + "." + object.name)
                 << "</a></td><td>" << HtmlText(object.kind) << "</td><td>" << Badge(object.outcome)
                 << "</td><td>" << HtmlText(EffortOf(object)) << "</td><td align=\"right\">" << (table ? HtmlText(RowsText(object)) : "")
                 << "</td><td align=\"right\">"
                 << (table ? HtmlText(SizeText(object.dataBytes + object.indexBytes)) : "")
                 << "</td><td align=\"right\">" << (table ? HtmlText(DurationText(object.copySeconds)) : "")
                 << "</td></tr>\n";
        }
    }
    html << "</table>\n";
}

void WriteColumns(std::ostream& html, const AssessedObject& object) {
    if (object.columns.empty()) return;
    html << "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">\n<tr><th align=\"left\">column</th>"
            "<th align=\"left\">MySQL type</th><th align=\"left\">SQL Server type</th>"
            "<th align=\"left\">collation</th></tr>\n";
    for (const AssessedColumn& column : object.columns) {
        std::string target = column.targetType;
        if (!column.overrideApplied.empty()) target += " (" + column.overrideApplied + ")";
        std::string collation = column.collation;
        if (!column.targetCollation.empty()) collation += " \xE2\x86\x92 " + column.targetCollation;
        html << "<tr><td>" << HtmlText(column.name) << "</td><td>" << HtmlText(column.sourceType)
             << "</td><td>" << HtmlText(target) << "</td><td>" << HtmlText(collation) << "</td></tr>\n";
    }
    html << "</table>\n";
}

void WriteObject(std::ostream& html, const AssessedObject& object, int index) {
    html << "<h3><a id=\"o" << index << "\" name=\"o" << index << "\"></a>" << HtmlText(object.kind)
         << " " << HtmlText(object.database + "." + object.name) << " &mdash; " << Badge(object.outcome)
         << "</h3>\n";
    if (object.kind == "table") {
        html << "<p>" << HtmlText(object.engine) << ", rows: " << HtmlText(RowsText(object))
             << ", data " << HtmlText(SizeText(object.dataBytes)) << ", indexes "
             << HtmlText(SizeText(object.indexBytes)) << ", estimated copy time "
             << HtmlText(DurationText(object.copySeconds)) << ".</p>\n";
    }
    if (!object.construct.empty()) {
        html << "<p><b>Refused:</b> " << HtmlText(object.construct) << "</p>\n";
    }
    if (!object.reason.empty()) html << "<p><b>Why:</b> " << HtmlText(object.reason) << "</p>\n";
    if (!object.rewrite.empty()) html << "<p><b>Suggested rewrite:</b> " << HtmlText(object.rewrite) << "</p>\n";
    if (ShowsSource(object) && !object.source.empty()) {
        html << "<p><b>MySQL source:</b></p>\n<pre>" << HtmlText(object.source) << "</pre>\n";
    }
    if (!object.adjustments.empty()) {
        html << "<p><b>Adjustments:</b></p>\n<ul>\n";
        for (const std::string& adjustment : object.adjustments) {
            html << "<li>" << HtmlText(adjustment) << "</li>\n";
        }
        html << "</ul>\n";
    }
    WriteColumns(html, object);
    if (!object.statements.empty()) {
        html << "<p><b>T-SQL:</b></p>\n<pre>";
        for (const std::string& statement : object.statements) html << HtmlText(statement) << "\nGO\n";
        html << "</pre>\n";
    }
}

std::string Title(const Assessment& assessment) {
    std::string names;
    for (const DatabaseAssessment& database : assessment.databases) {
        names += (names.empty() ? "" : ", ") + database.name;
    }
    return "Assessment of " + names;
}

}  // namespace

std::string AssessmentHtml(const Assessment& assessment) {
    std::ostringstream html;
    html << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>"
         << HtmlText(Title(assessment)) << "</title>\n<style>\n"
         << "body { font-family: sans-serif; margin: 1.5em; color: #222; }\n"
         << "table { border-collapse: collapse; }\n"
         << "pre { background: #f4f4f4; padding: 0.5em; white-space: pre-wrap; }\n"
         << "h3 { margin-top: 1.6em; border-top: 1px solid #ccc; padding-top: 0.6em; }\n"
         << "</style></head><body>\n<h1>" << HtmlText(Title(assessment)) << "</h1>\n<p>Source server "
         << HtmlText(assessment.sourceServer) << ", assessed " << HtmlText(assessment.generatedAt)
         << " by Velmora " << VELMORA_VERSION << ". The T-SQL is what a migration in Full sends to "
         << "a target database named like the source; "
         << (assessment.write ? "nothing was sent to the target but a timed write into a temporary table."
                              : "nothing was sent anywhere.")
         << "</p>\n";
    WriteSummary(html, assessment);
    WriteSizeChart(html, assessment);
    WriteIndex(html, assessment);
    int index = 0;
    for (const DatabaseAssessment& database : assessment.databases) {
        for (const AssessedObject& object : database.objects) WriteObject(html, object, ++index);
    }
    html << "</body></html>\n";
    return html.str();
}

}  // namespace velmora
