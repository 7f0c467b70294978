// AssessmentReport: an Assessment (Converters/Assessment.h) as the files a person and a pipeline
// read: one self-contained HTML page (a summary with the counts per outcome and a chart of where
// the size is, then one section per object; no scripts, and simple enough for the window's own
// viewer) and the same content as JSON in the report's family (docs/report-schema.md). Every name
// and text in the HTML goes through HtmlText.
//
// Pure; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Converters/Assessment.h"
#include "commands/JsonLayout.h"

namespace velmora {

inline constexpr int kAssessmentFormatVersion = 1;

// `text` for HTML: & < > " ' as entities; characters that reorder or hide text (the
// right-to-left and left-to-right marks, embeddings, overrides and isolates, zero-width
// characters) and control characters shown as [U+XXXX]; bytes that are not UTF-8 as U+FFFD.
std::string HtmlText(std::string_view text);

// Whether the report shows the object's MySQL source: refused and unreadable objects only.
bool ShowsSource(const AssessedObject& object);

// The figures of the summary, over every database.
struct AssessmentTotals {
    int64_t objects = 0;
    int64_t rows = 0;          // tables whose count is unknown count 0
    int estimatedTables = 0;   // tables whose rows are the catalog's estimate
    int64_t dataBytes = 0;
    int64_t indexBytes = 0;
    double seconds = 0;        // the copy-time estimate
};
AssessmentTotals TotalsOf(const Assessment& assessment);

// The copy-time estimate as a bound: "at least 0:07 (the source's read; the target's writes add
// to it)".
// With `writesMeasured` (a target was connected and took the timed write): "at least 0:07 (the
// slower of the source's read and the target's measured writes)".
std::string CopyEstimateText(double seconds, bool writesMeasured = false);
bool WritesMeasured(const Assessment& assessment);
// How the target's write was measured, or why it was not, in one sentence; "" when no target
// was connected.
std::string WriteMeasurementText(const Assessment& assessment);

// How the copy-time estimate was made, in one sentence.
std::string MeasurementText(const ReadMeasurement& measurement, bool writesMeasured = false);

// The first screen as text: the objects by kind and outcome, then the first `issuesShown` top
// issues (AssessmentSummary.h) with the objects each touches.
std::string AssessmentSummaryText(const Assessment& assessment, size_t issuesShown = 10);
// "SQL Server 2017 (--target-version)"; for an assessment checked against a version.
std::string TargetVersionText(const Assessment& assessment);

JsonDocument AssessmentDocument(const Assessment& assessment, int exitCode);
std::string AssessmentJson(const Assessment& assessment, int exitCode);
std::string AssessmentHtml(const Assessment& assessment);

// "1.5 MB", "512 bytes"; "0:07", "1:02:03" (hours, minutes, seconds); "12,345".
std::string SizeText(int64_t bytes);
std::string DurationText(double seconds);
std::string CountText(int64_t count);

}  // namespace velmora
