#include "assessment/AssessmentReport.h"

#include <algorithm>
#include <cstdio>

#include "assessment/AssessmentSummary.h"

namespace velmora {
namespace {

// The code point of the UTF-8 sequence at `at` and its length; length 0 when the bytes there are
// not UTF-8.
std::pair<char32_t, size_t> DecodeUtf8(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return {lead, 1};
    const size_t length = lead >= 0xF0 && lead < 0xF5 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
    if (length == 0 || lead >= 0xF5 || at + length > text.size()) return {0, 0};
    char32_t code = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return {0, 0};
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {0, 0};
    return {code, length};
}

// Characters that change how the text around them is ordered or that cannot be seen.
bool Hides(char32_t code) {
    return code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0) || code == 0x61C ||
           (code >= 0x200B && code <= 0x200F) || (code >= 0x202A && code <= 0x202E) ||
           (code >= 0x2060 && code <= 0x2069) || code == 0xFEFF;
}

}  // namespace

std::string HtmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (size_t at = 0; at < text.size();) {
        const auto [code, length] = DecodeUtf8(text, at);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++at;
            continue;
        }
        switch (code) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            case '\n': case '\t': out += static_cast<char>(code); break;
            default:
                if (Hides(code)) {
                    char shown[16];
                    std::snprintf(shown, sizeof shown, "[U+%04X]", static_cast<unsigned>(code));
                    out += shown;
                } else {
                    out.append(text.substr(at, length));
                }
        }
        at += length;
    }
    return out;
}

std::string CountText(int64_t count) {
    std::string digits = std::to_string(count < 0 ? -count : count);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(at, ",");
    return (count < 0 ? "-" : "") + digits;
}

std::string SizeText(int64_t bytes) {
    if (bytes < 1024) return CountText(bytes) + (bytes == 1 ? " byte" : " bytes");
    const char* const units[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes);
    int unit = -1;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, units[unit]);
    return text;
}

std::string DurationText(double seconds) {
    if (seconds < 0) return "unknown";
    if (seconds < 1) return "under a second";
    const long long whole = static_cast<long long>(seconds + 0.5);
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}

std::string CopyEstimateText(double seconds, bool writesMeasured) {
    const std::string bound = seconds < 1 ? "under a second" : "at least " + DurationText(seconds);
    return bound + (writesMeasured ? " (the slower of the source's read and the target's measured writes)"
                                   : " (the source's read; the target's writes add to it)");
}

bool WritesMeasured(const Assessment& assessment) {
    return assessment.write && assessment.write->TextBytesPerSecond() > 0;
}

std::string WriteMeasurementText(const Assessment& assessment) {
    if (!assessment.write) return "";
    const WriteMeasurement& write = *assessment.write;
    if (!write.failure.empty()) return "the target's writes could not be measured: " + write.failure;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f s", write.seconds);
    return "the target's writes measured by inserting " + CountText(write.rows) + " rows (" +
           SizeText(write.textBytes) + " as text) into a temporary table in " + seconds +
           ", in statements of 250 rows as the copy writes them";
}

std::string MeasurementText(const ReadMeasurement& measurement, bool writesMeasured) {
    if (measurement.rows == 0) return "not measured: no table holds rows";
    std::string tables;
    for (const std::string& table : measurement.tables) tables += (tables.empty() ? "" : ", ") + table;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f s", measurement.seconds);
    return "measured by reading " + CountText(measurement.rows) + " rows (" +
           SizeText(measurement.textBytes) + " as text) of the largest tables (" + tables + ") in " +
           seconds + ", as the copy reads them; each table's estimate scales that rate to its size " +
           (writesMeasured ? std::string("on disk") : "on disk. It covers the source's read: the target's writes are not measured");
}

bool ShowsSource(const AssessedObject& object) {
    return object.outcome == assessed::kRefused || object.outcome == assessed::kUnreadable;
}

namespace {

JsonDocument ObjectJson(const AssessedObject& object) {
    JsonDocument columns = JsonDocument::array();
    for (const AssessedColumn& column : object.columns) {
        columns.push_back({{"name", column.name}, {"sourceType", column.sourceType},
                           {"targetType", column.targetType}, {"collation", column.collation},
                           {"targetCollation", column.targetCollation},
                           {"overrideApplied", column.overrideApplied}});
    }
    const bool table = object.kind == "table";
    return {{"database", object.database},
            {"kind", object.kind},
            {"name", object.name},
            {"outcome", object.outcome},
            {"effort", EffortOf(object)},
            {"construct", object.construct},
            {"reason", object.reason},
            {"source", ShowsSource(object) ? object.source : ""},
            {"rewrite", object.rewrite},
            {"adjustments", object.adjustments},
            {"statements", object.statements},
            {"engine", object.engine},
            {"rows", table && object.rows >= 0 ? JsonDocument(object.rows) : JsonDocument(nullptr)},
            {"rowsExact", object.rowsExact},
            {"dataBytes", object.dataBytes},
            {"indexBytes", object.indexBytes},
            {"estimatedSeconds", object.copySeconds >= 0 ? JsonDocument(object.copySeconds) : JsonDocument(nullptr)},
            {"columns", columns}};
}

JsonDocument DatabaseJson(const DatabaseAssessment& database, bool writesMeasured) {
    const ReadMeasurement& m = database.measurement;
    JsonDocument objects = JsonDocument::array();
    for (const AssessedObject& object : database.objects) objects.push_back(ObjectJson(object));
    return {{"name", database.name},
            {"failure", database.failure},
            {"estimatedSeconds", database.copySeconds},
            {"measurement", {{"tables", m.tables}, {"rows", m.rows}, {"textBytes", m.textBytes},
                             {"storageBytes", m.storageBytes}, {"seconds", m.seconds},
                             {"method", MeasurementText(m, writesMeasured)}}},
            {"objects", objects}};
}

}  // namespace

AssessmentTotals TotalsOf(const Assessment& assessment) {
    AssessmentTotals totals;
    for (const DatabaseAssessment& database : assessment.databases) {
        totals.seconds += database.copySeconds;
        for (const AssessedObject& object : database.objects) {
            ++totals.objects;
            totals.dataBytes += object.dataBytes;
            totals.indexBytes += object.indexBytes;
            if (object.kind != "table") continue;
            totals.rows += std::max<int64_t>(object.rows, 0);
            totals.estimatedTables += object.rowsExact ? 0 : 1;
        }
    }
    return totals;
}

JsonDocument AssessmentDocument(const Assessment& assessment, int exitCode) {
    JsonDocument outcomes = JsonDocument::object();
    for (const auto& [outcome, count] : OutcomeCounts(assessment)) outcomes[outcome] = count;
    JsonDocument databases = JsonDocument::array();
    for (const DatabaseAssessment& database : assessment.databases) databases.push_back(DatabaseJson(database, WritesMeasured(assessment)));
    const AssessmentTotals totals = TotalsOf(assessment);
    JsonDocument kinds = JsonDocument::object();
    const auto order = OutcomeCounts(assessment);
    for (const auto& [kind, counts] : KindOutcomeCounts(assessment)) {
        JsonDocument byOutcome = JsonDocument::object();
        for (size_t i = 0; i < order.size(); ++i) byOutcome[order[i].first] = counts[i];
        kinds[kind] = byOutcome;
    }
    JsonDocument issues = JsonDocument::array();
    for (const AssessmentIssue& issue : TopIssues(assessment)) {
        issues.push_back({{"outcome", issue.outcome}, {"issue", issue.text}, {"objects", issue.objects}});
    }
    return {{"formatVersion", kAssessmentFormatVersion},
            {"report", "assessment"},
            {"tool", {{"name", "velmora"}, {"version", VELMORA_VERSION}}},
            {"exitCode", exitCode},
            {"generatedAt", assessment.generatedAt},
            {"source", {{"server", assessment.sourceServer}}},
            {"target", {{"version", assessment.targetVersion}, {"versionFrom", assessment.targetVersionFrom},
                        {"write", assessment.write ? JsonDocument{{"rows", assessment.write->rows},
                                                                  {"textBytes", assessment.write->textBytes},
                                                                  {"seconds", assessment.write->seconds},
                                                                  {"failure", assessment.write->failure},
                                                                  {"method", WriteMeasurementText(assessment)}}
                                                   : JsonDocument(nullptr)}}},
            {"summary", {{"objects", totals.objects}, {"outcomes", outcomes}, {"kinds", kinds},
                         {"topIssues", issues}, {"rows", totals.rows},
                         {"rowsExact", totals.estimatedTables == 0}, {"dataBytes", totals.dataBytes},
                         {"indexBytes", totals.indexBytes}, {"estimatedSeconds", totals.seconds}}},
            {"databases", databases}};
}

std::string AssessmentJson(const Assessment& assessment, int exitCode) {
    return LaidOutJson(AssessmentDocument(assessment, exitCode));
}

}  // namespace velmora
