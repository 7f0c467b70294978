#include "Converters/ViewTranslator.h"

#include <exception>

#include "translation/DdlTranslator.h"
#include "translation/Naming.h"
#include "translation/PatternService.h"
#include "Converters/SourceQuery.h"
#include "tasks/OperationLog.h"

namespace velmora {
namespace {

// The MySQL view header up to the last " view ".
constexpr const char* kHeaderPattern = "create [\\w|\\W]* view ";
// A parenthesised group of words, stars and blanks that holds the word join.
constexpr const char* kJoinFragmentPattern = "\\([\\w*\\s]*\\bjoin\\b[\\w*\\s]*\\)";

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string ReplaceText(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    size_t start = 0;
    for (size_t at = text.find(from); at != std::string_view::npos; at = text.find(from, start)) {
        out.append(text, start, at - start);
        out.append(to);
        start = at + from.size();
    }
    out.append(text, start, std::string_view::npos);
    return out;
}

}  // namespace

std::string RewriteViewDefinition(std::string_view definition) {
    std::string text = RequoteIdentifiers(LowerAscii(definition));
    text = ReplaceAll(text, kHeaderPattern, "create view ");
    if (text == kPatternEngineError) return text;
    std::string fragment = LastMatch(text, kJoinFragmentPattern);
    if (fragment == kPatternEngineError) return fragment;
    if (fragment.empty()) return text;
    std::string replacement = ReplaceText(fragment, "(", "");
    replacement = ReplaceText(replacement, ")", "");
    replacement = ReplaceAll(replacement, "\\bjoin\\b", ",");
    return ReplaceText(text, fragment, replacement);
}

std::string TranslateViewDefinition(Session* source, std::string_view /*database*/,
                                    std::string_view view, OperationLog& log,
                                    std::string* readFailure) {
    try {
        std::string failure;
        std::string definition = ReadDefinition(log, source, "show create view " + QuoteSourceName(view), &failure);
        if (!failure.empty()) {
            if (readFailure) *readFailure = failure;
            return definition;
        }
        return RewriteViewDefinition(definition);
    } catch (const std::exception& e) {
        log.ShowMessage(e.what());
        if (readFailure) *readFailure = e.what();
        return {};
    }
}

}  // namespace velmora
