// AssessCommand: the Assess command of both front ends. It opens a source connection of its own
// from the settings (the window's browsing connection is never used), assesses each database
// (Converters/Assessment.h) and closes the connection. It reads the source only: no target is
// needed. `choices` gives the target schema (or the schemas of --schema-per-database) and the
// type map the migration would use; a type map that cannot be read is the run's failure.
//
// Threads: any; the desktop program runs it off the interface thread. The log it writes to is
// safe from several threads; `settings.progress` is called on the calling thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Converters/Assessment.h"
#include "config/ConnectSequence.h"
#include "config/Options.h"

namespace velmora {

class DatabaseTree;
class OperationLog;

struct AssessmentRun {
    Assessment assessment;
    std::string failure;  // the source could not be connected (the assessment is then empty)
};

AssessmentRun AssessSource(OperationLog& log, const ConnectionSettings& source,
                           const ConnectionFactory& factory, const std::vector<std::string>& databases,
                           const AssessmentSettings& settings = {}, const TaskOptions& choices = {});

// The source database a selection of the source tree stands for: a database, or the database of
// a selected folder, table or view; nothing when no such node is selected.
std::optional<std::string> SelectedSourceDatabase(const DatabaseTree& sourceTree);

// The file names an assessment is written to by default: "<databases>-assessment.html" and
// ".json", the databases joined by "+", every character a file name cannot hold as "_".
std::string DefaultAssessmentFile(const std::vector<std::string>& databases, const std::string& extension);

}  // namespace velmora
