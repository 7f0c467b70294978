#include "assessment/TargetVersion.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "Converters/RefusalNote.h"

namespace velmora {
namespace {

// A construct of the T-SQL that Full writes, and the versions that lack it.
struct Limit {
    std::string_view word;       // found in the statement's code (upper case, outside quotes)
    std::string_view construct;  // how the refusal names it
    std::vector<std::string_view> lacking;
};

const Limit kLimits[] = {
    {"_UTF8", "a UTF-8 collation", {"2016", "2017", "babelfish"}},
    {"STRING_AGG(", "STRING_AGG", {"2016"}},
    {"WITHIN GROUP", "STRING_AGG ... WITHIN GROUP", {"2016", "babelfish"}},
    {"CONCAT_WS(", "CONCAT_WS", {"2016"}},
    {"TRIM(", "TRIM", {"2016"}},
    {"GREATEST(", "GREATEST", {"2016", "2017", "2019", "babelfish"}},
    {"LEAST(", "LEAST", {"2016", "2017", "2019", "babelfish"}},
    {"DATETRUNC(", "DATETRUNC", {"2016", "2017", "2019", "babelfish"}},
    {"GENERATE_SERIES(", "GENERATE_SERIES", {"2016", "2017", "2019", "babelfish"}},
};

std::string VersionName(std::string_view version) {
    if (version == "azure") return "Azure SQL Database";
    if (version == "babelfish") return "Babelfish";
    return "SQL Server " + std::string(version);
}

// The statement's code in upper case with string literals, bracketed and quoted names and
// comments blanked out, blanks before "(" removed.
std::string Code(std::string_view statement) {
    std::string code;
    code.reserve(statement.size());
    for (size_t at = 0; at < statement.size(); ++at) {
        const char c = statement[at];
        const char close = c == '\'' ? '\'' : c == '[' ? ']' : c == '"' ? '"' : 0;
        if (close) {
            size_t end = at + 1;
            while (end < statement.size() && !(statement[end] == close &&
                                               (end + 1 >= statement.size() || statement[end + 1] != close))) {
                end += statement[end] == close ? 2 : 1;
            }
            code += ' ';
            at = end;
        } else if (c == '-' && at + 1 < statement.size() && statement[at + 1] == '-') {
            at = std::min(statement.find('\n', at), statement.size());
            code += ' ';
        } else if (c == '(' && !code.empty() && code.back() == ' ') {
            while (!code.empty() && code.back() == ' ') code.pop_back();
            code += '(';
        } else {
            code += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    return code;
}

bool StartsWord(const std::string& code, size_t at) {
    return at == 0 || !(std::isalnum(static_cast<unsigned char>(code[at - 1])) || code[at - 1] == '_');
}

// An IDENTITY on a decimal wider than 18 digits (Babelfish takes precision 18 at most).
bool WideDecimalIdentity(const std::string& code) {
    for (size_t at = code.find("IDENTITY"); at != std::string::npos; at = code.find("IDENTITY", at + 1)) {
        const size_t type = code.rfind("DECIMAL(", at);
        if (type == std::string::npos || at - type > 40 || code.find(',', type) > at) continue;
        if (std::atoi(code.c_str() + type + 8) > 18) return true;
    }
    return false;
}

}  // namespace

const std::vector<std::string>& TargetVersionNames() {
    static const std::vector<std::string> names = {"2016", "2017", "2019", "2022", "azure", "babelfish"};
    return names;
}

bool IsTargetVersion(std::string_view version) {
    const auto& names = TargetVersionNames();
    return std::find(names.begin(), names.end(), version) != names.end();
}

std::string TargetVersionOf(std::string_view versionText) {
    if (versionText.find("Babelfish") != std::string_view::npos) return "babelfish";
    if (versionText.find("SQL Azure") != std::string_view::npos) return "azure";
    for (const std::string& name : TargetVersionNames()) {
        if (versionText.find("SQL Server " + name) != std::string_view::npos) return name;
    }
    return "";
}

std::vector<std::string> VersionLimits(const std::vector<std::string>& statements, std::string_view version) {
    std::vector<std::string> found;
    const auto add = [&](const std::string& text) {
        if (std::find(found.begin(), found.end(), text) == found.end()) found.push_back(text);
    };
    for (const std::string& statement : statements) {
        const std::string code = Code(statement);
        for (const Limit& limit : kLimits) {
            if (std::find(limit.lacking.begin(), limit.lacking.end(), version) == limit.lacking.end()) continue;
            for (size_t at = code.find(limit.word); at != std::string::npos; at = code.find(limit.word, at + 1)) {
                if (limit.word[0] != '_' && !StartsWord(code, at)) continue;
                add(std::string(limit.construct) + ": " + VersionName(version) + " has none");
                break;
            }
        }
        if (version == "babelfish" && WideDecimalIdentity(code)) {
            add("an identity of more than 18 digits: Babelfish has none");
        }
    }
    return found;
}

void ApplyTargetVersion(Assessment& assessment, const std::string& version, const std::string& from) {
    assessment.targetVersion = version;
    assessment.targetVersionFrom = from;
    if (version.empty()) return;
    for (DatabaseAssessment& database : assessment.databases) {
        for (AssessedObject& object : database.objects) {
            if (object.outcome != assessed::kReady && object.outcome != assessed::kAdjusted) continue;
            const std::vector<std::string> limits = VersionLimits(object.statements, version);
            if (limits.empty()) continue;
            object.outcome = assessed::kRefused;
            for (const std::string& limit : limits) {
                object.construct += (object.construct.empty() ? "" : "; ") + limit;
            }
            object.rewrite = SuggestedRewrite(object.construct);
        }
    }
}

}  // namespace velmora
