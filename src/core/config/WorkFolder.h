// WorkFolder: the program folder and the work folders beside it (data_cache, backup, ...).
//
// The program folder is where migrator.cfg and Condition.cfg live, ending in "/":
//   - the environment variable VELMORA_HOME, when set and not empty (tests give each case its own);
//   - else the folder of the executable (/proc/self/exe) when the program may write there (a build
//     tree, an unpacked copy);
//   - else, for an installed program (a folder it cannot write, or a bin folder beside
//     share/doc/velmora, as the package installs it), the user's folders: the program folder is
//     $XDG_CONFIG_HOME/velmora/ (default ~/.config/velmora/) and the work folders go to
//     $XDG_DATA_HOME/velmora/ (default ~/.local/share/velmora/).
// Work folders are always named by absolute path: nothing here (or anywhere in the program)
// changes the process's current folder, which two threads would otherwise share.
//
// Any thread.
#pragma once

#include <string>

namespace velmora {

// Where the program's own files go.
struct ProgramFolders {
    std::string config;  // migrator.cfg, Condition.cfg; ends in "/"
    std::string data;    // data_cache, backup; ends in "/"
    bool user = false;   // the user's XDG folders (they are made when missing)
};

// The folders for a program in `executableFolder` (ending in "/"), by the rules above.
ProgramFolders ChooseProgramFolders(const std::string& executableFolder);

// The folder of the executable, ending in "/"; empty when it cannot be found.
std::string ExecutableFolder();

// The program folder, ending in "/"; empty when it cannot be found.
std::string ProgramFolder();

// "<program folder><name>" (for example "./data_cache", "./backup", "./") as a clean absolute
// path ending in "/" ("./" is the program folder itself; other names lie in the data folder,
// which is the program folder unless the user's folders are in use); empty without a program
// folder.
std::string WorkFolderPath(const std::string& name);

// Makes "<program folder><name>" a folder: a file of that name is deleted first; a missing folder
// is created, one level below the program folder (mode 0700: work files hold table data); the
// user's XDG folders are made as well when missing. Gives the folder's absolute path ending in
// "/", or nothing when it cannot be made (nothing is shown).
std::string EnsureWorkFolder(const std::string& name);

// Makes `path` (absolute) a folder, creating what is missing of it; true when it is one.
bool MakeFolders(const std::string& path);

}  // namespace velmora
