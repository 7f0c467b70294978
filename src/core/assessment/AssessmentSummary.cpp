#include "assessment/AssessmentSummary.h"

#include <algorithm>
#include <map>

namespace velmora {
namespace {

const std::string_view kOutcomes[] = {assessed::kReady, assessed::kAdjusted, assessed::kRefused,
                                      assessed::kUnreadable, assessed::kNotMigrated};

int Severity(const std::string& outcome) {
    if (outcome == assessed::kRefused || outcome == assessed::kUnreadable) return 0;
    return outcome == assessed::kNotMigrated ? 1 : 2;
}

// A table's adjustment "column: what changes" as the change and the column it touches.
std::pair<std::string, std::string> SplitColumn(const AssessedObject& object, const std::string& adjustment) {
    for (const AssessedColumn& column : object.columns) {
        const std::string prefix = column.name + ": ";
        if (adjustment.rfind(prefix, 0) == 0) return {adjustment.substr(prefix.size()), column.name};
    }
    return {adjustment, ""};
}

}  // namespace

std::string_view EffortOf(const AssessedObject& object) {
    if (object.outcome == assessed::kReady) return "none";
    return object.outcome == assessed::kAdjusted ? "review" : "rewrite";
}

std::vector<std::pair<std::string, std::vector<int>>> KindOutcomeCounts(const Assessment& assessment) {
    std::vector<std::pair<std::string, std::vector<int>>> counts;
    for (const DatabaseAssessment& database : assessment.databases) {
        for (const AssessedObject& object : database.objects) {
            auto kind = std::find_if(counts.begin(), counts.end(), [&](const auto& k) { return k.first == object.kind; });
            if (kind == counts.end()) {
                counts.emplace_back(object.kind, std::vector<int>(std::size(kOutcomes), 0));
                kind = counts.end() - 1;
            }
            for (size_t i = 0; i < std::size(kOutcomes); ++i) kind->second[i] += object.outcome == kOutcomes[i] ? 1 : 0;
        }
    }
    // The kinds in the order a migration creates them; any other after them.
    const std::string_view order[] = {"table", "view", "function", "procedure", "trigger", "event"};
    const auto rank = [&](const std::string& kind) {
        return std::find(std::begin(order), std::end(order), kind) - std::begin(order);
    };
    std::stable_sort(counts.begin(), counts.end(), [&](const auto& a, const auto& b) { return rank(a.first) < rank(b.first); });
    return counts;
}

std::vector<AssessmentIssue> TopIssues(const Assessment& assessment) {
    std::vector<AssessmentIssue> issues;
    std::map<std::pair<std::string, std::string>, size_t> found;  // (outcome, text) -> index
    const auto touch = [&](const std::string& outcome, const std::string& text, const std::string& object) {
        const auto [at, fresh] = found.emplace(std::make_pair(outcome, text), issues.size());
        if (fresh) issues.push_back({outcome, text, {}});
        std::vector<std::string>& objects = issues[at->second].objects;
        if (std::find(objects.begin(), objects.end(), object) == objects.end()) objects.push_back(object);
    };
    for (const DatabaseAssessment& database : assessment.databases) {
        for (const AssessedObject& object : database.objects) {
            const std::string name = database.name + "." + object.name;
            if (object.outcome == assessed::kAdjusted) {
                for (const std::string& adjustment : object.adjustments) {
                    const auto [change, column] = SplitColumn(object, adjustment);
                    touch(object.outcome, change, column.empty() ? name : name + "." + column);
                }
            } else if (object.outcome != assessed::kReady) {
                touch(object.outcome, object.construct.empty() ? object.reason : object.construct, name);
            }
        }
    }
    std::stable_sort(issues.begin(), issues.end(), [](const AssessmentIssue& a, const AssessmentIssue& b) {
        if (Severity(a.outcome) != Severity(b.outcome)) return Severity(a.outcome) < Severity(b.outcome);
        return a.objects.size() > b.objects.size();
    });
    return issues;
}

}  // namespace velmora
