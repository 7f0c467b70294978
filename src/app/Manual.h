// Manual: where the program's manual (manual.html, shipped beside the program) is and how the
// desktop is asked to open it.
//
// Interface thread only.
#pragma once

#include <QString>

namespace velmora {

// Full path of the manual: in the program folder, else beside the executable (a program folder
// named by VELMORA_HOME holds the user's files, not the manual).
QString ManualPath();
// Makes the program folder the current folder and asks the desktop to open the manual; false
// (and nothing opened) when the file is missing or the desktop refused.
bool OpenManual();

}  // namespace velmora
