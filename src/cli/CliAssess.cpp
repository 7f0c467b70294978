#include "CliAssess.h"

#include <cstdio>
#include <fstream>

#include "assessment/AssessCommand.h"
#include "assessment/AssessmentReport.h"
#include "assessment/TargetVersion.h"
#include "Converters/TargetServer.h"
#include "CliChecks.h"
#include "CliRun.h"

namespace velmora::cli {
namespace {

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) std::fprintf(stderr, "velmora-cli: cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

void PrintSummary(const Assessment& assessment) {
    std::string counts;
    for (const auto& [outcome, count] : OutcomeCounts(assessment)) {
        if (count > 0) counts += (counts.empty() ? "" : ", ") + std::to_string(count) + " " + outcome;
    }
    const AssessmentTotals totals = TotalsOf(assessment);
    std::printf("objects: %s\n", counts.empty() ? "none" : counts.c_str());
    std::printf("%s", AssessmentSummaryText(assessment).c_str());
    std::printf("rows: %s%s, on disk: %s of data, %s of indexes\n", CountText(totals.rows).c_str(),
                totals.estimatedTables > 0 ? " (partly estimated)" : "", SizeText(totals.dataBytes).c_str(),
                SizeText(totals.indexBytes).c_str());
    std::printf("estimated copy time: %s\n", CopyEstimateText(totals.seconds, WritesMeasured(assessment)).c_str());
    if (assessment.write) std::printf("%s\n", WriteMeasurementText(assessment).c_str());
    for (const DatabaseAssessment& database : assessment.databases) {
        if (database.failure.empty()) {
            std::printf("%s: %s\n", database.name.c_str(), MeasurementText(database.measurement, WritesMeasured(assessment)).c_str());
        }
    }
}

}  // namespace

std::string ChooseAssessmentFiles(const CliOptions& options, AssessmentFiles& files) {
    if (options.words.empty()) {
        return "usage: velmora-cli assess SRC_DB... [--html FILE] [--json FILE] "
               "[--fail-on adjustments|refusals] [--target-version VERSION] "
               "[--target-schema NAME | --schema-per-database] "
               "[--type-map FILE]";
    }
    const bool defaults = !options.html && !options.json;
    files.html = options.html ? *options.html : defaults ? DefaultAssessmentFile(options.words, "html") : "";
    files.json = options.json ? *options.json : defaults ? DefaultAssessmentFile(options.words, "json") : "";
    if (!files.html.empty() && files.html == files.json) return "--html and --json name the same file";
    for (const std::string* path : {&files.html, &files.json}) {
        if (path->empty()) continue;
        const std::string problem = WriteProblem(*path);
        if (!problem.empty()) return "cannot write " + *path + ": " + problem;
    }
    return "";
}

int RunAssessment(MainWindowModel& window, const CliOptions& options, const AssessmentFiles& files) {
    AssessmentSettings settings;
    settings.targetVersion = options.targetVersion;
    if (!options.targetVersion.empty()) settings.targetVersionFrom = "--target-version";
    if (!options.quiet) {
        settings.progress = [](const std::string& what) { std::fprintf(stderr, "%s\n", what.c_str()); };
    }
    AssessmentRun run = AssessSource(window.log(), window.sourceSettings, window.connectionFactory,
                                     options.words, settings, window.options().ForTask());
    if (!run.failure.empty()) {
        const bool connect = run.failure == "cannot connect to the source";
        const std::string failure = connect ? SourceConnectFailure(window.sourceSettings.sourceName) : run.failure;
        std::fprintf(stderr, "velmora-cli: %s\n", failure.c_str());
        return kExitUsage;
    }
    if (Session* target = window.targetSession()) {
        const std::string version = TargetVersionOf(GetTargetServerVersion(window.log(), target));
        if (options.targetVersion.empty() && !version.empty()) {
            ApplyTargetVersion(run.assessment, version, "read from the connected target");
        }
        if (!options.quiet) std::fprintf(stderr, "measuring the target's writes\n");
        AddTargetWrites(run.assessment, MeasureTargetWrite(target));
    }
    int code = options.failOn && AssessmentFails(run.assessment, *options.failOn) ? kExitTaskFailed : kExitSuccess;
    for (const DatabaseAssessment& database : run.assessment.databases) {
        if (!database.failure.empty()) {
            std::fprintf(stderr, "velmora-cli: %s cannot be read: %s\n", database.name.c_str(),
                         database.failure.c_str());
            code = kExitUsage;
        }
    }
    PrintSummary(run.assessment);
    bool written = true;
    if (!files.html.empty()) written = WriteFile(files.html, AssessmentHtml(run.assessment)) && written;
    if (!files.json.empty()) written = WriteFile(files.json, AssessmentJson(run.assessment, code)) && written;
    for (const std::string* path : {&files.html, &files.json}) {
        if (!path->empty()) std::fprintf(stderr, "written: %s\n", path->c_str());
    }
    if (code == kExitTaskFailed) {
        std::fprintf(stderr, "velmora-cli: --fail-on %s: %s\n", options.failOn->c_str(),
                     *options.failOn == "refusals" ? "an object will not arrive" : "an object will not arrive as it is");
    }
    return written ? code : kExitUsage;
}

}  // namespace velmora::cli
