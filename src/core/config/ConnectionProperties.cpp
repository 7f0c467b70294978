#include "config/ConnectionProperties.h"

#include "config/Configuration.h"
#include "config/OdbcInstallation.h"
#include "data/ConnectionString.h"
#include "tasks/UserPort.h"

namespace velmora {
namespace {

constexpr int kMaxDriverProbes = 3;

// A part of a fixed connection string: braced when it holds a character of the string's own
// syntax, so that no host, port or database can add a key (ServerNameProblem refuses such hosts
// before this; the braces hold for every other caller).
std::string Part(std::string_view value) {
    return value.find_first_of(";{}=") == std::string_view::npos ? std::string(value) : ConnectionValue(value);
}

}  // namespace

std::string TargetProviderString(std::string_view sourceName, std::string_view catalogName) {
    std::string_view host = sourceName;
    std::string_view port = "1433";
    if (size_t colon = sourceName.find(':'); colon != std::string_view::npos) {
        host = sourceName.substr(0, colon);
        port = sourceName.substr(colon + 1);
    }
    std::string text = ";Driver={SQL Server};Server=" + Part(host) + ";Address=" + Part(std::string(host) + "," + std::string(port)) +
                       ";Network=DBMSSOCN;";
    if (!catalogName.empty()) text += "Database=" + Part(catalogName);
    return text;
}

std::string ServerNameProblem(std::string_view sourceName) {
    const auto [host, port] = SplitHostPort(sourceName, "");
    for (char c : host) {
        if (c == ';' || c == '{' || c == '}' || c == '=' || static_cast<unsigned char>(c) < 0x20)
            return std::string("the host holds '") + (static_cast<unsigned char>(c) < 0x20 ? std::string("a control character") : std::string(1, c)) +
                   "', which no host name holds";
    }
    if (port.find_first_not_of("0123456789") != std::string::npos) return "the port '" + port + "' is not a number";
    return "";
}

bool BuildTargetInitProperties(const ConnectionSettings& settings, PropertySet& set) {
    set.Add(kPropAuthEncryptPassword, false);
    set.Add(kPropAuthMaskPassword, false);
    set.Add(kPropAuthPassword, settings.password);
    set.Add(kPropAuthUserId, settings.userId);
    if (IsTcpIpProvider(settings.provider)) {
        set.Add(kPropInitProviderString,
                TargetProviderString(settings.sourceName, settings.catalogName));
    } else {
        if (!settings.sourceName.empty()) set.Add(kPropInitDataSource, settings.sourceName);
        if (!settings.catalogName.empty()) set.Add(kPropInitCatalog, settings.catalogName);
    }
    if (!settings.encrypt.empty()) set.Add(kPropInitEncrypt, settings.encrypt);
    if (settings.trustServerCertificate) set.Add(kPropInitTrustServerCertificate, true);
    set.Add(kPropInitMode, int32_t{16});   // share deny none
    set.Add(kPropInitPrompt, int32_t{4});  // no prompt
    return true;
}

std::pair<std::string, std::string> SplitHostPort(std::string_view sourceName,
                                                  std::string_view defaultPort) {
    size_t colon = sourceName.find(':');
    if (colon == std::string_view::npos) return {std::string(sourceName), std::string(defaultPort)};
    return {std::string(sourceName.substr(0, colon)), std::string(sourceName.substr(colon + 1))};
}

std::string SourceProviderString(std::string_view driver, std::string_view sourceName,
                                 std::string_view catalogName) {
    auto [host, port] = SplitHostPort(sourceName, "3306");
    std::string text = ";Driver={" + std::string(driver) + "};SERVER=" +
                       Part(host) + ";PORT=" + Part(port) + ";UID=root;";
    if (!catalogName.empty()) text += "Database=" + Part(catalogName);
    return text;
}

bool BuildSourceInitProperties(const ConnectionSettings& settings, PropertySet& set,
                               const SourceProbe& probe, UserPort* dialogPort) {
    set.Add(kPropAuthMaskPassword, false);
    set.Add(kPropAuthPassword, settings.password);
    set.Add(kPropAuthUserId, settings.userId);
    if (!IsTcpIpProvider(settings.provider)) {
        if (!settings.sourceName.empty()) set.Add(kPropInitDataSource, settings.sourceName);
        if (!settings.catalogName.empty()) set.Add(kPropInitCatalog, settings.catalogName);
    } else {
        for (int n = 1; n <= kMaxDriverProbes; ++n) {
            const std::string driver = MySqlOdbcDriverName(n);
            if (driver.empty()) {
                if (dialogPort) dialogPort->ShowMessage("No appropriate Config, Please correct!!!");
                return false;
            }
            set.Set(kPropInitProviderString,
                    SourceProviderString(driver, settings.sourceName, settings.catalogName));
            std::string error;
            if (probe && probe(settings.providerProgId, set, error) == kSuccess) break;
            if (dialogPort) dialogPort->ShowMessage(error.empty() ? "Unknown Error!" : error);
        }
    }
    set.Add(kPropInitMode, int32_t{16});   // share deny none
    set.Add(kPropInitPrompt, int32_t{4});  // no prompt
    return true;
}

}  // namespace velmora
