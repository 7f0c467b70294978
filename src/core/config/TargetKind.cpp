#include "config/TargetKind.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace velmora {
namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// The number of an EngineEdition answer; 0 when it is none.
int EditionNumber(const std::optional<std::string>& answer) {
    if (!answer) return 0;
    int number = 0;
    for (char c : *answer) {
        if (c == ' ') continue;
        if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
        number = number * 10 + (c - '0');
        if (number > 1000) return 0;
    }
    return number;
}

constexpr int kAzureSqlDatabaseEdition = 5;
constexpr int kManagedInstanceEdition = 8;

}  // namespace

bool IsOtherDatabaseRefusal(const std::string& errorText) {
    const std::string text = Lower(errorText);
    return text.find("must be the name of the current database") != std::string::npos ||
           text.find("not supported to switch between databases") != std::string::npos ||
           text.find("reference to database and/or server name") != std::string::npos;
}

TargetKind DecideTargetKind(const TargetAnswers& answers) {
    const int edition = EditionNumber(answers.engineEdition);
    if (edition == kAzureSqlDatabaseEdition) return TargetKind::AzureSqlDatabase;
    if (answers.versionText && Lower(*answers.versionText).find("babelfish") != std::string::npos) {
        return TargetKind::Babelfish;
    }
    if (edition == kManagedInstanceEdition) return TargetKind::AzureSqlManagedInstance;
    if (answers.catalogRefusal && IsOtherDatabaseRefusal(*answers.catalogRefusal)) {
        return TargetKind::Babelfish;
    }
    return TargetKind::SqlServer;
}

bool WorksInOneDatabase(TargetKind kind) {
    return kind == TargetKind::AzureSqlDatabase || kind == TargetKind::Babelfish;
}

const char* TargetKindName(TargetKind kind) {
    switch (kind) {
        case TargetKind::SqlServer: return "SQL Server";
        case TargetKind::AzureSqlManagedInstance: return "Azure SQL Managed Instance";
        case TargetKind::AzureSqlDatabase: return "Azure SQL Database";
        case TargetKind::Babelfish: return "Babelfish";
    }
    return "SQL Server";
}

bool SameDatabaseName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && Lower(a) == Lower(b);
}

std::string OneDatabaseKindName(TargetKind kind) {
    return WorksInOneDatabase(kind) ? TargetKindName(kind) : "";
}

std::string OneDatabaseRefusal(TargetKind kind, std::string_view what) {
    return std::string(what) + " cannot run on " + TargetKindName(kind) +
           ": a connection there works only in its own database";
}

TargetKind DetectTargetKind(DataSourceConnection& connection) {
    Session* session = connection.session();
    if (!session) return TargetKind::SqlServer;
    TargetAnswers answers;
    std::string value;
    if (connection.GetProperty(kPropServerEngineEdition, value) == kSuccess) {
        answers.engineEdition = value;
    }
    if (connection.GetProperty(kPropServerVersionText, value) == kSuccess) {
        answers.versionText = value;
    }
    const TargetKind known = DecideTargetKind(answers);
    if (known != TargetKind::SqlServer) return known;
    auto catalogs = session->NewCatalogsRowset();
    if (catalogs && catalogs->Open({std::nullopt}) != kSuccess) {
        answers.catalogRefusal = catalogs->ProviderErrorText();
    }
    if (catalogs) catalogs->Close();
    return DecideTargetKind(answers);
}

}  // namespace velmora
