// Options: the choices of the Config dialog's options that change what a migration does, and the
// part of them that a task keeps from the moment it was queued.
//
// Threads: Options belongs to the interface thread (the window's state); a task carries its own
// TaskOptions copy, so a worker never reads what the interface thread may be writing.
#pragma once

#include <optional>
#include <string_view>

namespace velmora {

// How table and view definitions (and their rows) are translated.
// - Full: from a model of the table, with a type mapping under which every MySQL value fits its
//   SQL Server column unchanged.
// - Classic: the fixed rule chain, the plain view rewrite and one insert statement per row.
enum class TranslationMode { Full, Classic };

// "Full" or "Classic".
const char* TranslationModeName(TranslationMode mode);
// "full" / "classic" in any case; nothing for any other text.
std::optional<TranslationMode> ParseTranslationMode(std::string_view text);

// The mode when nothing chose one (migrator.cfg without Translation=, no --translation).
inline constexpr TranslationMode kDefaultTranslation = TranslationMode::Full;

// The options of a task, copied when it is queued.
struct TaskOptions {
    bool autoBackup = false;
    TranslationMode translation = kDefaultTranslation;
};

// The window's options.
struct Options {
    bool autoBackup = false;
    bool tips = true;
    TranslationMode translation = kDefaultTranslation;

    TaskOptions ForTask() const { return {autoBackup, translation}; }
};

}  // namespace velmora
