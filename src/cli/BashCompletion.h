// BashCompletion: the bash completion script of velmora-cli, written from the CLI's own option and
// command tables (CliOptions.h), so that a new option completes without a second list to keep.
// `velmora-cli completion bash` prints it; the build writes it for the package.
//
// Threads: any.
#pragma once

#include <string>

namespace velmora::cli {

std::string BashCompletionScript();

}  // namespace velmora::cli
