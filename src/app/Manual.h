// Manual: where the program's manual (manual.html, shipped beside the program) is and how the
// desktop is asked to open it.
//
// Interface thread only.
#pragma once

#include <QString>

namespace velmora {

// The program folder: $VELMORA_HOME when set, else the folder of the executable.
QString ProgramFolder();
// Full path of the manual: in the program folder, else beside the executable.
QString ManualPath();
// Asks the desktop to open the manual; false (and nothing opened) when the file is missing or
// the desktop refused.
bool OpenManual();

}  // namespace velmora
