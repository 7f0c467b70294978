// The assessment's first screen as plain text (AssessmentReport.h): the objects by kind and
// outcome, then the top issues, each once with the objects it touches.
#include <algorithm>
#include <cstdio>

#include "assessment/AssessmentReport.h"
#include "assessment/AssessmentSummary.h"

namespace velmora {
namespace {

std::string Padded(const std::string& text, size_t width, bool right) {
    if (text.size() >= width) return text;
    const std::string blanks(width - text.size(), ' ');
    return right ? blanks + text : text + blanks;
}

// "a, b, c and 4 more"
std::string ObjectList(const std::vector<std::string>& objects, size_t shown) {
    std::string list;
    for (size_t i = 0; i < objects.size() && i < shown; ++i) list += (i ? ", " : "") + objects[i];
    if (objects.size() > shown) list += " and " + CountText(static_cast<int64_t>(objects.size() - shown)) + " more";
    return list;
}

}  // namespace

std::string AssessmentSummaryText(const Assessment& assessment, size_t issuesShown) {
    std::string text;
    if (!assessment.targetVersion.empty()) {
        text += "checked against: " + TargetVersionText(assessment) + "\n";
    }
    const auto outcomes = OutcomeCounts(assessment);
    size_t kindWidth = 8;
    const auto kinds = KindOutcomeCounts(assessment);
    for (const auto& [kind, counts] : kinds) kindWidth = std::max(kindWidth, kind.size() + 2);
    std::string header = Padded("", kindWidth, false);
    for (const auto& [outcome, count] : outcomes) header += Padded(outcome, outcome.size() + 2, true);
    text += header + "\n";
    for (const auto& [kind, counts] : kinds) {
        std::string line = Padded(kind, kindWidth, false);
        for (size_t i = 0; i < outcomes.size(); ++i) {
            line += Padded(std::to_string(counts[i]), outcomes[i].first.size() + 2, true);
        }
        text += line + "\n";
    }
    const std::vector<AssessmentIssue> issues = TopIssues(assessment);
    if (issues.empty()) return text + "no issues: every object arrives as it is\n";
    text += "top issues (" + CountText(static_cast<int64_t>(issues.size())) + "):\n";
    for (size_t i = 0; i < issues.size() && i < issuesShown; ++i) {
        const AssessmentIssue& issue = issues[i];
        const size_t count = issue.objects.size();
        text += "  " + Padded(issue.outcome, 13, false) + issue.text + "  (" + CountText(static_cast<int64_t>(count)) +
                (count == 1 ? " object: " : " objects: ") + ObjectList(issue.objects, 4) + ")\n";
    }
    if (issues.size() > issuesShown) {
        text += "  ... and " + CountText(static_cast<int64_t>(issues.size() - issuesShown)) +
                " more in the HTML and JSON\n";
    }
    return text;
}

std::string TargetVersionText(const Assessment& assessment) {
    const std::string& version = assessment.targetVersion;
    const std::string name = version == "azure"       ? "Azure SQL Database"
                             : version == "babelfish" ? "Babelfish"
                                                      : "SQL Server " + version;
    return name + (assessment.targetVersionFrom.empty() ? "" : " (" + assessment.targetVersionFrom + ")");
}

}  // namespace velmora
