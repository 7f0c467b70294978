#include "translation/PatternService.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace velmora {
namespace {

struct CodeDeleter {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct MatchDataDeleter {
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
struct ContextDeleter {
    void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};
using CodePtr = std::unique_ptr<pcre2_code, CodeDeleter>;
using MatchDataPtr = std::unique_ptr<pcre2_match_data, MatchDataDeleter>;

// Compiles a pattern in the system's dialect. Returns null (and reports once on stderr) when the
// pattern cannot be compiled: every pattern is a fixed text of the program, so this is a defect.
CodePtr Compile(const std::string& pattern) {
    std::unique_ptr<pcre2_compile_context, ContextDeleter> context(
        pcre2_compile_context_create(nullptr));
    if (!context) return nullptr;
    pcre2_set_newline(context.get(), PCRE2_NEWLINE_LF);
    int error = 0;
    PCRE2_SIZE offset = 0;
    CodePtr code(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                               PCRE2_DOLLAR_ENDONLY, &error, &offset, context.get()));
    if (!code) {
        PCRE2_UCHAR message[256];
        pcre2_get_error_message(error, message, sizeof message);
        std::fprintf(stderr, "Can not create RegExp! pattern \"%s\" at %zu: %s\n", pattern.c_str(),
                     static_cast<size_t>(offset), reinterpret_cast<const char*>(message));
        return nullptr;
    }
    // JIT is an optimisation only: the interpreter serves when it is unavailable.
    pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE);
    return code;
}

// Process-wide cache of compiled patterns. Compiled code is read-only once built and may be
// shared between threads; only the map itself needs the lock.
const pcre2_code* CachedPattern(std::string_view pattern) {
    static std::mutex mutex;
    static std::unordered_map<std::string, CodePtr> cache;
    std::lock_guard<std::mutex> lock(mutex);
    auto found = cache.find(std::string(pattern));
    if (found != cache.end()) return found->second.get();
    CodePtr code = Compile(std::string(pattern));
    const pcre2_code* raw = code.get();
    if (raw) cache.emplace(std::string(pattern), std::move(code));
    return raw;
}

// Calls `onMatch(ovector, groupCount)` for every match, left to right, non-overlapping. After an
// empty match the search goes on one character further on, as ECMAScript's global mode does.
// Returns false when the engine fails during a match.
bool ForEachMatch(const pcre2_code* code, std::string_view text,
                  const std::function<void(const PCRE2_SIZE*, int)>& onMatch) {
    MatchDataPtr data(pcre2_match_data_create_from_pattern(code, nullptr));
    if (!data) return false;
    const auto* subject = reinterpret_cast<PCRE2_SPTR>(text.data());
    PCRE2_SIZE start = 0;
    while (start <= text.size()) {
        int rc = pcre2_match(code, subject, text.size(), start, 0, data.get(), nullptr);
        if (rc == PCRE2_ERROR_NOMATCH) return true;
        if (rc < 0) return false;
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
        onMatch(ovector, rc);
        start = ovector[1] > ovector[0] ? ovector[1] : ovector[1] + 1;
    }
    return true;
}

void AppendExpanded(std::string& out, std::string_view text, std::string_view replacement,
                    const PCRE2_SIZE* ovector, int groupCount) {
    for (size_t i = 0; i < replacement.size(); ++i) {
        char c = replacement[i];
        if (c == '$' && i + 1 < replacement.size() && replacement[i + 1] >= '1' &&
            replacement[i + 1] <= '9') {
            int group = replacement[i + 1] - '0';
            ++i;
            if (group < groupCount && ovector[2 * group] != PCRE2_UNSET) {
                out.append(text.substr(ovector[2 * group], ovector[2 * group + 1] - ovector[2 * group]));
            }
            continue;
        }
        out.push_back(c);
    }
}

}  // namespace

std::string ReplaceAll(std::string_view text, std::string_view pattern,
                       std::string_view replacement) {
    const pcre2_code* code = CachedPattern(pattern);
    if (!code) return std::string(kPatternEngineError);
    std::string out;
    out.reserve(text.size());
    size_t copied = 0;
    bool ok = ForEachMatch(code, text, [&](const PCRE2_SIZE* ovector, int groupCount) {
        out.append(text.substr(copied, ovector[0] - copied));
        AppendExpanded(out, text, replacement, ovector, groupCount);
        copied = ovector[1];
    });
    if (!ok) return std::string(kPatternEngineError);
    out.append(text.substr(copied));
    return out;
}

std::string LastMatch(std::string_view text, std::string_view pattern) {
    const pcre2_code* code = CachedPattern(pattern);
    if (!code) return std::string(kPatternEngineError);
    std::string last;
    bool ok = ForEachMatch(code, text, [&](const PCRE2_SIZE* ovector, int) {
        last.assign(text.substr(ovector[0], ovector[1] - ovector[0]));
    });
    if (!ok) return std::string(kPatternEngineError);
    return last;
}

bool Matches(std::string_view text, std::string_view pattern) {
    const pcre2_code* code = CachedPattern(pattern);
    if (!code) return false;
    MatchDataPtr data(pcre2_match_data_create_from_pattern(code, nullptr));
    if (!data) return false;
    return pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0,
                       data.get(), nullptr) >= 0;
}

}  // namespace velmora
