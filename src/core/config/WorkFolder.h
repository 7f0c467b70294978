// WorkFolder: the program folder and the work folders beside it (data_cache, backup, ...).
//
// The program folder is the folder of the executable (/proc/self/exe), ending in "/"; the
// environment variable VELMORA_HOME, when set and not empty, overrides it (tests give each case
// its own). Files that later steps write with relative names land in the current folder, which
// EnsureWorkFolder sets.
//
// Threads: the current folder belongs to the whole process; call from the thread that is about
// to write the files (one task at a time runs on the scheduler thread).
#pragma once

#include <string>

namespace velmora {

// The program folder, ending in "/"; empty when it cannot be found.
std::string ProgramFolder();

// Makes "<program folder><name>" (for example "./data_cache", "./backup", "./") a folder and
// the current folder. A file of that name is deleted first; a missing folder is created (from
// the program folder). Failures are swallowed: the result is false and nothing is shown.
bool EnsureWorkFolder(const std::string& name);

}  // namespace velmora
