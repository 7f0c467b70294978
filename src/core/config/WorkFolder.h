// WorkFolder: the program folder and the work folders beside it (data_cache, backup, ...).
//
// The program folder is the folder of the executable (/proc/self/exe), ending in "/"; the
// environment variable VELMORA_HOME, when set and not empty, overrides it (tests give each case
// its own). Work folders are always named by absolute path: nothing here (or anywhere in the
// program) changes the process's current folder, which two threads would otherwise share.
//
// Any thread.
#pragma once

#include <string>

namespace velmora {

// The program folder, ending in "/"; empty when it cannot be found.
std::string ProgramFolder();

// "<program folder><name>" (for example "./data_cache", "./backup", "./") as a clean absolute
// path ending in "/" ("./" is the program folder itself); empty without a program folder.
std::string WorkFolderPath(const std::string& name);

// Makes "<program folder><name>" a folder: a file of that name is deleted first; a missing folder
// is created, one level below the program folder (mode 0700: work files hold table data). Gives the folder's absolute path ending in
// "/", or nothing when it cannot be made (nothing is shown).
std::string EnsureWorkFolder(const std::string& name);

// Makes `path` (absolute) a folder, creating what is missing of it; true when it is one.
bool MakeFolders(const std::string& path);

}  // namespace velmora
