// ProfileFile: reading and writing INI files with the rules of the classic private-profile
// functions, for migrator.cfg and Condition.cfg.
//
// - "[section]" lines open sections; "key=value" lines hold values; lines starting with ";" or
//   "#" and lines without "=" are ignored. Section and key names match without regard to case.
// - A value is read with blanks and tabs trimmed on both sides and kept whole, however long (the
//   classic functions cut it to their buffer: a condition or a password then changed in silence);
//   a missing file, section or key gives the default.
// - Writing a key creates the file and the section when missing, replaces an existing value,
//   and leaves every other line of the file as it was. The new file replaces the old one in one
//   step (written beside it, then renamed), so a crash never leaves half a file.
// - Values are single lines: a line break in a value to write is refused (false).
//
// Stateless; any thread. Concurrent writers of one file are not coordinated (the program writes
// each file from the interface thread only).
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view defaultValue,
                              size_t bufferSize);  // the classic buffer; nothing is cut to it

// `mode` is applied to the file on every write (0600 for files that hold passwords).
bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value, mode_t mode = 0644);

// Section names in file order.
std::vector<std::string> ReadProfileSections(const std::string& path);

// Key names of one section in file order.
std::vector<std::string> ReadProfileKeys(const std::string& path, std::string_view section);

}  // namespace velmora
