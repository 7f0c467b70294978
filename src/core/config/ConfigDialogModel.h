// ConfigDialogModel: everything the configuration dialog ("Config") shows and does, without the
// widgets: the fields and check boxes of both sides, the provider lists and the source-name
// choices, and the dialog's buttons: loading migrator.cfg, "Save Config", "Connect" and "Test
// Connections". A dialog binds its widgets to the public fields and calls the members.
//
// migrator.cfg (in the program folder) has the sections [Public] (Config, AutoBackup, Tips),
// [SourceDB] and [TargetDB] (Provider, SourceName, UserID, PassWord, CatalogName; the target also
// Encrypt and TrustServerCertificate). Names match
// without regard to case; a value counts up to 79 characters; a flag is set when its value
// contains "true". Writes keep every other key and give the file mode 0600 (it holds
// passwords).
//
// Threads: the interface thread (it runs the connect sequence).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "config/Configuration.h"
#include "config/ConnectSequence.h"
#include "config/ConnectionSettings.h"
#include "config/Options.h"

namespace velmora {

class UserPort;

// What the dialog hands over to the window: the options as they change, the settings on Connect
// (the window then runs its connect sequence), and the test of both sides.
struct ConfigDialogHost {
    UserPort* port = nullptr;
    Options* options = nullptr;
    std::function<void(const ConnectionSettings& source, const ConnectionSettings& target)> connect;
    std::function<ConnectionTestResult(const ConnectionSettings& source,
                                       const ConnectionSettings& target)>
        testConnections;
};

// One side's group of the dialog.
struct ConfigSideFields {
    std::vector<std::string> providers;           // the side's provider list
    int providerIndex = 0;                        // the selected entry
    std::string provider;                         // its display name
    std::string sourceNameLabel = "Source Name";  // "Server:Port" for the TCP/IP route
    std::vector<std::string> sourceNameChoices;   // what the editable "Source Name:" list offers
    std::string sourceName;
    std::string userId;
    std::string password;  // shown masked
    std::string catalogName;
    // The target's TLS choices (ConnectionSettings); the source side leaves them empty.
    std::string encrypt;
    bool trustServerCertificate = false;

    // The values as typed, with the provider identifier of the provider.
    ConnectionSettings Settings() const;
};

// The TLS keys of [TargetDB] in `path`: Encrypt (an entry of kEncryptChoices; any other value
// counts as "", the driver's default) and TrustServerCertificate (a flag).
void ReadTargetTls(const std::string& path, std::string& encrypt, bool& trustServerCertificate);

class ConfigDialogModel {
public:
    // The dialog's fixed texts.
    static constexpr const char* kTitle = "Config";
    static constexpr const char* kSourceGroup = "MySQL";
    static constexpr const char* kTargetGroup = "MSSQL";
    static constexpr const char* kConfigBox = "Properties from and to config file";
    static constexpr const char* kAutoBackupBox = "Auto Backup (need more time and disk space)";
    static constexpr const char* kTipsBox = "Display Tips";
    // Shown disabled, without keys in the file.
    static constexpr const char* kOverwriteTableBox = "Overwrite the same-name table";
    static constexpr const char* kOverwriteDatabaseBox = "Overwrite the same-name database";

    // migrator.cfg in the program folder (VELMORA_HOME overrides the folder).
    explicit ConfigDialogModel(ConfigDialogHost host);
    ConfigDialogModel(ConfigDialogHost host, std::string configFilePath);

    ConfigSideFields source;
    ConfigSideFields target;
    bool configChecked = false;      // "Properties from and to config file"
    bool autoBackupChecked = false;  // "Auto Backup (need more time and disk space)"
    bool tipsChecked = false;        // "Display Tips"
    // "Translation": Full or Classic.
    TranslationMode translation = kDefaultTranslation;
    // "Jobs": the tables a Full migration copies at once.
    int jobs = kDefaultJobs;
    // [Public] Bulk= of the file (no control of its own: kept as the file says).
    BulkMode bulk = BulkMode::Auto;
    // "Target schema" (empty: dbo) and "Type map" (a file of the user's own type choices).
    std::string targetSchema;
    std::string typeMap;

    ConfigSideFields& fields(ConfigSide side) {
        return side == ConfigSide::Source ? source : target;
    }
    const std::string& configFilePath() const { return path_; }

    // Fills the dialog from the file (when Config is set there), then the provider lists: the
    // stored provider is selected, or the list's first entry when it is not in the list.
    void LoadConfiguration();

    // The user picks a provider: prepares the "Source Name:" label, its choices and, for the
    // TCP/IP route, the preset "127.0.0.1".
    void ChooseProvider(ConfigSide side, int index);

    // "Display Tips" toggled: the Tips tab comes or goes at once.
    void SetTipsChecked(bool checked);

    // "Save Config". True when the file was written (the message says which way it went).
    bool SaveConfigCommand();

    // "Connect": saves as the check box says, hands the settings and AutoBackup to the main
    // window and runs the connect sequence. The dialog then closes and the Task List tab comes
    // to the front.
    void ConnectButton();

    // "Test Connections" on the values in the fields; changes nothing in the window.
    ConnectionTestResult TestConnectionsCommand();

private:
    void PrepareSourceName(ConfigSide side, bool initialising);
    void SelectStoredProvider(ConfigSide side);
    void ReadSide(ConfigSide side);
    bool WriteSide(ConfigSide side);
    bool WriteOptions();
    bool Write(std::string_view section, std::string_view key, std::string_view value);
    void ReportWriteFailure();

    ConfigDialogHost host_;
    std::string path_;
    int writeErrno_ = 0;
};

}  // namespace velmora
