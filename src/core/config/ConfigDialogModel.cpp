#include "config/ConfigDialogModel.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>

#include "config/OdbcInstallation.h"
#include "config/ProfileFile.h"
#include "config/WorkFolder.h"

namespace velmora {
namespace {

constexpr const char* kTrue = "true";
constexpr const char* kFalse = "false";

std::string_view SectionOf(ConfigSide side) {
    return side == ConfigSide::Source ? kSectionSource : kSectionTarget;
}

std::string ComputerName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "";
    return name;
}

// The driver a data source names: a registered driver of that name, or the library itself.
OdbcDriver DriverOf(const OdbcDataSource& source, const std::vector<OdbcDriver>& drivers) {
    for (const OdbcDriver& driver : drivers) {
        if (AsciiLower(driver.name) == AsciiLower(source.driver)) return driver;
    }
    return OdbcDriver{"", source.driver, "", ""};
}

// ODBC data sources whose driver is a MySQL driver (source side) or a SQL Server driver.
std::vector<std::string> DataSourceChoices(ConfigSide side) {
    const std::vector<OdbcDriver> drivers = RegisteredOdbcDrivers();
    std::vector<std::string> names;
    for (const OdbcDataSource& source : OdbcDataSources()) {
        const OdbcDriver driver = DriverOf(source, drivers);
        bool fits =
            side == ConfigSide::Source ? IsMySqlOdbcDriver(driver) : IsSqlServerDriver(driver);
        if (fits) names.push_back(source.name);
    }
    return names;
}

}  // namespace

ConnectionSettings ConfigSideFields::Settings() const {
    return ConnectionSettings{provider, ProviderProgId(provider), sourceName, userId, password,
                              catalogName, encrypt, trustServerCertificate};
}

void ReadTargetTls(const std::string& path, std::string& encrypt, bool& trustServerCertificate) {
    auto read = [&](std::string_view key) {
        return ReadProfileString(path, kSectionTarget, key, "", kConfigValueBuffer);
    };
    const std::string stored = AsciiLower(read("Encrypt"));
    encrypt.clear();
    for (const char* choice : kEncryptChoices) {
        if (stored == choice) encrypt = choice;
    }
    trustServerCertificate = IsFlagSet(read("TrustServerCertificate"));
}

ConfigDialogModel::ConfigDialogModel(ConfigDialogHost host)
    : ConfigDialogModel(std::move(host), ConfigFilePath(ProgramFolder())) {}

ConfigDialogModel::ConfigDialogModel(ConfigDialogHost host, std::string configFilePath)
    : host_(std::move(host)), path_(std::move(configFilePath)) {
    source.providers = ProviderList(ConfigSide::Source);
    target.providers = ProviderList(ConfigSide::Target);
}

void ConfigDialogModel::ReadSide(ConfigSide side) {
    ConfigSideFields& f = fields(side);
    const std::string section(SectionOf(side));
    auto read = [&](std::string_view key) {
        return ReadProfileString(path_, section, key, "", kConfigValueBuffer);
    };
    f.provider = read("Provider");
    f.sourceName = read("SourceName");
    f.userId = read("UserID");
    f.password = read("PassWord");
    f.catalogName = read("CatalogName");
    if (side == ConfigSide::Target) ReadTargetTls(path_, f.encrypt, f.trustServerCertificate);
}

void ConfigDialogModel::LoadConfiguration() {
    configChecked = autoBackupChecked = tipsChecked = false;
    for (ConfigSide side : {ConfigSide::Source, ConfigSide::Target}) {
        ConfigSideFields& f = fields(side);
        f.provider = f.sourceName = f.userId = f.password = f.catalogName = f.encrypt = "";
        f.trustServerCertificate = false;
    }
    if (std::ifstream(path_)) {
        auto flag = [&](std::string_view key) {
            return IsFlagSet(ReadProfileString(path_, kSectionPublic, key, "", kConfigValueBuffer));
        };
        if (flag("Config")) {
            configChecked = true;
            ReadSide(ConfigSide::Source);
            ReadSide(ConfigSide::Target);
        }
        autoBackupChecked = flag("AutoBackup");
        // Absent (a file of an earlier version) means the default.
        translation = ReadTranslationMode(path_);
        jobs = ReadJobs(path_);
        bulk = ReadBulkMode(path_);
        targetSchema = ReadTargetSchema(path_);
        typeMap = ReadTypeMapPath(path_);
        SetTipsChecked(flag("Tips"));
    }
    SelectStoredProvider(ConfigSide::Source);
    SelectStoredProvider(ConfigSide::Target);
}

void ConfigDialogModel::SelectStoredProvider(ConfigSide side) {
    ConfigSideFields& f = fields(side);
    int index = 0;
    for (size_t i = 0; i < f.providers.size(); ++i) {
        if (AsciiLower(f.providers[i]) == AsciiLower(f.provider)) index = static_cast<int>(i);
    }
    f.providerIndex = index;
    f.provider = f.providers[static_cast<size_t>(index)];
    PrepareSourceName(side, true);
}

void ConfigDialogModel::ChooseProvider(ConfigSide side, int index) {
    ConfigSideFields& f = fields(side);
    if (index < 0 || static_cast<size_t>(index) >= f.providers.size()) return;
    f.providerIndex = index;
    f.provider = f.providers[static_cast<size_t>(index)];
    PrepareSourceName(side, false);
}

// While the dialog opens, a source name loaded from the file is kept; presets only fill an
// empty field then. A provider the user picks presets the field.
void ConfigDialogModel::PrepareSourceName(ConfigSide side, bool initialising) {
    ConfigSideFields& f = fields(side);
    const bool mayPreset = !initialising || f.sourceName.empty();
    f.sourceNameChoices.clear();
    if (IsTcpIpProvider(f.provider)) {
        f.sourceNameLabel = "Server:Port";
        if (mayPreset) f.sourceName = "127.0.0.1";
        return;
    }
    f.sourceNameLabel = "Source Name";
    if (AsciiLower(f.provider) == AsciiLower(kProviderSqlServer)) {
        f.sourceNameChoices = SqlServerClientAliases();
        const std::string computer = AsciiLower(ComputerName());
        for (const std::string& alias : f.sourceNameChoices) {
            if (mayPreset && !computer.empty() && AsciiLower(alias) == computer)
                f.sourceName = alias;
        }
    } else {
        f.sourceNameChoices = DataSourceChoices(side);
    }
}

void ConfigDialogModel::SetTipsChecked(bool checked) {
    tipsChecked = checked;
    if (host_.options) host_.options->tips = checked;
}

bool ConfigDialogModel::Write(std::string_view section, std::string_view key,
                              std::string_view value) {
    errno = 0;
    if (WriteProfileString(path_, section, key, value, kConfigFileMode)) return true;
    if (writeErrno_ == 0) writeErrno_ = errno != 0 ? errno : EINVAL;
    return false;
}

bool ConfigDialogModel::WriteOptions() {
    bool ok = Write(kSectionPublic, "Tips", tipsChecked ? kTrue : kFalse);
    ok = Write(kSectionPublic, "AutoBackup", autoBackupChecked ? kTrue : kFalse) && ok;
    ok = Write(kSectionPublic, "Translation", TranslationModeName(translation)) && ok;
    ok = Write(kSectionPublic, "Jobs", std::to_string(jobs)) && ok;
    // Written once chosen (and when cleared), so a file without them stays as it was.
    if (!targetSchema.empty() || !ReadTargetSchema(path_).empty()) {
        ok = Write(kSectionPublic, "TargetSchema", targetSchema) && ok;
    }
    if (!typeMap.empty() || !ReadTypeMapPath(path_).empty()) ok = Write(kSectionPublic, "TypeMap", typeMap) && ok;
    return ok;
}

bool ConfigDialogModel::WriteSide(ConfigSide side) {
    const ConfigSideFields& f = fields(side);
    const std::string_view section = SectionOf(side);
    bool ok = Write(section, "Provider", f.provider);
    ok = Write(section, "SourceName", f.sourceName) && ok;
    ok = Write(section, "UserID", f.userId) && ok;
    ok = Write(section, "PassWord", f.password) && ok;
    ok = Write(section, "CatalogName", f.catalogName) && ok;
    if (side == ConfigSide::Target) {
        ok = Write(section, "Encrypt", f.encrypt) && ok;
        ok = Write(section, "TrustServerCertificate", f.trustServerCertificate ? kTrue : kFalse) &&
             ok;
    }
    return ok;
}

// Nothing is reported as saved that was not: a file that cannot be written (a read-only
// program folder, a value with a line break) is named with the reason.
void ConfigDialogModel::ReportWriteFailure() {
    const char* reason = writeErrno_ == EINVAL ? "a value holds a line break or is not allowed"
                                               : std::strerror(writeErrno_);
    if (host_.port) {
        host_.port->ShowMessage("The Config Infomation could not be saved to " + path_ + ": " +
                                reason);
    }
}

bool ConfigDialogModel::SaveConfigCommand() {
    writeErrno_ = 0;
    bool ok = true;
    if (configChecked) {
        ok = Write(kSectionPublic, "Config", kTrue);
        ok = WriteOptions() && ok;
        ok = WriteSide(ConfigSide::Source) && ok;
        ok = WriteSide(ConfigSide::Target) && ok;
    } else {
        ok = Write(kSectionPublic, "Config", kFalse);
    }
    if (ok) {
        if (host_.port) host_.port->ShowMessage("The Config Infomation saved successfully!");
    } else {
        ReportWriteFailure();
    }
    return ok;
}

void ConfigDialogModel::ConnectButton() {
    writeErrno_ = 0;
    bool ok = true;
    if (!configChecked) ok = Write(kSectionPublic, "Config", kFalse);
    ok = WriteOptions() && ok;
    if (configChecked) {
        ok = Write(kSectionPublic, "Config", kTrue) && ok;
        ok = WriteSide(ConfigSide::Source) && ok;
        ok = WriteSide(ConfigSide::Target) && ok;
    }
    if (!ok) ReportWriteFailure();  // the settings still reach the window below

    ConnectionSettings settings[2];
    for (ConfigSide side : {ConfigSide::Source, ConfigSide::Target}) {
        ConnectionSettings& one = settings[static_cast<int>(side)];
        one = fields(side).Settings();
        // Server and data source names do not depend on case; database names do on a Linux
        // MariaDB, so the catalog keeps the case it was typed in.
        one.sourceName = AsciiLower(one.sourceName);
    }
    if (host_.options) {
        host_.options->autoBackup = autoBackupChecked;
        host_.options->translation = translation;
        host_.options->jobs = jobs;
        host_.options->bulk = bulk;
        host_.options->targetSchema = targetSchema;
        host_.options->typeMap = typeMap;
    }
    if (host_.connect) host_.connect(settings[0], settings[1]);
}

ConnectionTestResult ConfigDialogModel::TestConnectionsCommand() {
    if (!host_.testConnections) return {};
    return host_.testConnections(source.Settings(), target.Settings());
}

}  // namespace velmora
