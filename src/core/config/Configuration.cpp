#include "config/Configuration.h"

#include <sys/prctl.h>
#include <sys/stat.h>

#include <cstdio>

#include "config/ProfileFile.h"

namespace velmora {

const std::vector<std::string>& ProviderList(ConfigSide side) {
    static const std::vector<std::string> source = {std::string(kProviderOdbc),
                                                    std::string(kProviderTcpIp)};
    static const std::vector<std::string> target = {
        std::string(kProviderOdbc), std::string(kProviderSqlServer), std::string(kProviderTcpIp)};
    return side == ConfigSide::Source ? source : target;
}

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string ProviderProgId(std::string_view displayName) {
    const std::string name = AsciiLower(displayName);
    if (name == AsciiLower(kProviderOdbc) || name == AsciiLower(kProviderTcpIp)) {
        return std::string(kProgIdOdbc);
    }
    if (name == AsciiLower(kProviderSqlServer)) return std::string(kProgIdSqlServer);
    return std::string(displayName);
}

bool IsTcpIpProvider(std::string_view displayName) {
    return AsciiLower(displayName) == AsciiLower(kProviderTcpIp);
}

bool IsFlagSet(std::string_view value) {
    return value.find("true") != std::string_view::npos;
}

std::string ExposedPasswordWarning(const std::string& configPath) {
    struct stat info {};
    if (stat(configPath.c_str(), &info) != 0 || (info.st_mode & 077) == 0) return "";
    for (std::string_view section : {kSectionSource, kSectionTarget}) {
        if (ReadProfileString(configPath, section, "PassWord", "", kConfigValueBuffer).empty()) continue;
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        return configPath + " holds a password and other users may read it (mode " + mode +
               "): chmod 600 " + configPath;
    }
    return "";
}

void KeepSecretsOutOfCoreDumps() { prctl(PR_SET_DUMPABLE, 0, 0, 0, 0); }

std::string ConfigFilePath(const std::string& programFolder) {
    if (programFolder.empty() || programFolder.back() == '/') {
        return programFolder + std::string(kConfigFileName);
    }
    return programFolder + "/" + std::string(kConfigFileName);
}

BulkMode ReadBulkMode(const std::string& configPath) {
    return ParseBulkMode(ReadProfileString(configPath, kSectionPublic, "Bulk", "", kConfigValueBuffer))
        .value_or(BulkMode::Auto);
}

int ReadJobs(const std::string& configPath) {
    return ParseJobs(ReadProfileString(configPath, kSectionPublic, "Jobs", "", kConfigValueBuffer))
        .value_or(kDefaultJobs);
}

std::string ReadTargetSchema(const std::string& configPath) {
    return ReadProfileString(configPath, kSectionPublic, "TargetSchema", "", kConfigValueBuffer);
}

std::string ReadTypeMapPath(const std::string& configPath) {
    constexpr size_t kPathBuffer = 4096;
    return ReadProfileString(configPath, kSectionPublic, "TypeMap", "", kPathBuffer);
}

TranslationMode ReadTranslationMode(const std::string& configPath) {
    return ParseTranslationMode(
               ReadProfileString(configPath, kSectionPublic, "Translation", "", kConfigValueBuffer))
        .value_or(kDefaultTranslation);
}

}  // namespace velmora
