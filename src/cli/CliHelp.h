// CliHelp: the help texts of velmora-cli and the OPTIONS section of its man page, both written
// from the one option table and command table (CliOptions.h), so that every option is listed
// wherever options are described.
//
// Pure functions; any thread.
#pragma once

#include <string>

namespace velmora::cli {

// The help of `command` ("" or an unknown command: the program's help): its usage lines, what
// it does, and every option that applies to it.
std::string HelpText(const std::string& command);

// The man page's OPTIONS section body (roff): every option with its value, what it does and the
// commands it applies to.
std::string ManPageOptions();

}  // namespace velmora::cli
