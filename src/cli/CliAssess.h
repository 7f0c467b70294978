// CliAssess: velmora-cli assess SRC_DB...: the assessment of the source databases written as HTML
// and JSON (AssessCommand.h), with a short summary on standard output and each object read named
// on standard error.
//
// Main thread.
#pragma once

#include "CliOptions.h"
#include "commands/MainWindowModel.h"

namespace velmora::cli {

// The files the command writes: the ones given; none given, both under their default names in
// the current folder. An error text (exit code 2) when an option is wrong or a file cannot be
// written; "" otherwise.
struct AssessmentFiles {
    std::string html;  // "" when not written
    std::string json;
};
std::string ChooseAssessmentFiles(const CliOptions& options, AssessmentFiles& files);

// The window's source settings are loaded. Returns the exit code: 0 when every database could be
// read (1 when --fail-on's gate closes), 2 when the source could not be connected or read.
int RunAssessment(MainWindowModel& window, const CliOptions& options, const AssessmentFiles& files);

}  // namespace velmora::cli
