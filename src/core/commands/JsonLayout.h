// JsonLayout: how the program's JSON files are laid out for a person who opens them. The
// documents are built as nlohmann::ordered_json (the members keep the order they were added in);
// this writes them with every array of objects one element a line, and each of those elements on
// its line unless it holds an array of objects itself. Strings are escaped by the library; bytes
// that are not UTF-8 become U+FFFD, so the file is always valid JSON.
//
// Pure; any thread.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace velmora {

using JsonDocument = nlohmann::ordered_json;

// The document as text, ending in a line feed.
std::string LaidOutJson(const JsonDocument& document);

}  // namespace velmora
