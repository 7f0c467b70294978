#include "config/Options.h"

#include <cctype>
#include <string>

namespace velmora {

const char* TranslationModeName(TranslationMode mode) {
    return mode == TranslationMode::Full ? "Full" : "Classic";
}

std::optional<TranslationMode> ParseTranslationMode(std::string_view text) {
    std::string lowered;
    for (char c : text) lowered += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lowered == "full") return TranslationMode::Full;
    if (lowered == "classic") return TranslationMode::Classic;
    return std::nullopt;
}

const char* VerifyModeName(VerifyMode mode) {
    switch (mode) {
        case VerifyMode::Count: return "count";
        case VerifyMode::Full: return "full";
        case VerifyMode::None: break;
    }
    return "none";
}

std::optional<VerifyMode> ParseVerifyMode(std::string_view text) {
    std::string lowered;
    for (char c : text) lowered += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (VerifyMode mode : {VerifyMode::None, VerifyMode::Count, VerifyMode::Full}) {
        if (lowered == VerifyModeName(mode)) return mode;
    }
    return std::nullopt;
}

const char* BulkModeName(BulkMode mode) { return mode == BulkMode::Off ? "off" : "auto"; }

std::optional<BulkMode> ParseBulkMode(std::string_view text) {
    std::string lowered;
    for (char c : text) lowered += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (BulkMode mode : {BulkMode::Auto, BulkMode::Off}) {
        if (lowered == BulkModeName(mode)) return mode;
    }
    return std::nullopt;
}

std::optional<int> ParseJobs(std::string_view text) {
    if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != text.npos) {
        return std::nullopt;
    }
    int jobs = 0;
    for (char c : text) jobs = jobs * 10 + (c - '0');
    if (jobs < 1 || jobs > kMaxJobs) return std::nullopt;
    return jobs;
}

}  // namespace velmora
