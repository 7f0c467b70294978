// WorkFiles: the migration's work files (the table's statement file, the view's ".vw" file and
// the ".data" file of generated inserts), written into the task's work folder (data_cache beside
// the program) by absolute path: the process's current folder is never used.
//
// A file's name is a safe encoding of the object's name, never the name itself: a path separator,
// a backslash, "%", a control character and a leading "." become %XX, so that every table the
// assessment calls ready has its files ("sl/*x" is "sl%2F*x") and a table named
// "../migrator.cfg" writes only inside the work folder. Names of letters, digits, blanks and
// other characters stay as they are.
//
// A WorkFile belongs to the one operation that opened it; any thread.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace velmora {

// The line written when a work file cannot be opened.
inline constexpr std::string_view kCharacterSetText =
    "Perhaps CHARACTER SET not correct!\nPlease change and try again.";

class WorkFile {
public:
    WorkFile() = default;
    explicit WorkFile(std::FILE* file) : file_(file) {}
    WorkFile(WorkFile&& other) noexcept : file_(other.file_), failed_(other.failed_) {
        other.file_ = nullptr;
    }
    WorkFile& operator=(WorkFile&& other) noexcept;
    WorkFile(const WorkFile&) = delete;
    WorkFile& operator=(const WorkFile&) = delete;
    ~WorkFile() { Close(); }

    explicit operator bool() const { return file_ != nullptr; }
    // Writes `text` as it stands; false once any write has failed (disk full, ...).
    bool Write(std::string_view text);
    // Flushes and closes; false when anything written was lost.
    bool Close();
    bool failed() const { return failed_; }

private:
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};

// The file name in the work folder of an object's `name` (with its suffix).
std::string WorkFileName(std::string_view name);

// Opens the file of `name` in `folder` (a path ending in "/") with fopen `mode` ("w+", "a+"); an
// empty WorkFile when it cannot be opened (errno tells why).
WorkFile OpenWorkFile(std::string_view folder, std::string_view name, const char* mode);

}  // namespace velmora
