// AssessmentSummary: the figures a DBA plans with, read off an Assessment: the objects counted by
// kind and outcome, the effort each object needs, and the issues grouped by construct (each
// adjustment or refusal once, with every object it touches), most serious and widest first.
//
// Pure; any thread.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Converters/Assessment.h"

namespace velmora {

// "none" (ready), "review" (adjusted: it arrives changed) or "rewrite" (refused, unreadable or not
// migrated: someone must write its T-SQL).
std::string_view EffortOf(const AssessedObject& object);

// Per kind (tables, views, functions, procedures, triggers, events, then any other), the counts in the order of OutcomeCounts.
std::vector<std::pair<std::string, std::vector<int>>> KindOutcomeCounts(const Assessment& assessment);

struct AssessmentIssue {
    std::string outcome;               // the outcome it causes: adjusted, refused, ...
    std::string text;                  // the adjustment (without its column) or the construct
    std::vector<std::string> objects;  // "db.table.column", "db.view", ... each once
};

// Refusals before adjustments; within each, the issues touching most objects first.
std::vector<AssessmentIssue> TopIssues(const Assessment& assessment);

}  // namespace velmora
