// Configuration: the fixed vocabulary of migrator.cfg and of the connection settings: section
// and key names, the flag rule, the provider lists of both sides and the provider-to-identifier
// table. Pure functions and constants; any thread.
#pragma once

#include "config/Options.h"

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

inline constexpr std::string_view kConfigFileName = "migrator.cfg";
// The classic functions read values into an 80-character buffer; values are now read whole.
inline constexpr size_t kConfigValueBuffer = 80;
// migrator.cfg holds passwords.
inline constexpr unsigned kConfigFileMode = 0600;

inline constexpr std::string_view kSectionPublic = "Public";
inline constexpr std::string_view kSectionSource = "SourceDB";
inline constexpr std::string_view kSectionTarget = "TargetDB";

inline constexpr std::string_view kProviderOdbc = "Microsoft OLE DB Provider for ODBC Divers";
inline constexpr std::string_view kProviderSqlServer = "Microsoft OLE DB Provider for SQL Server";
inline constexpr std::string_view kProviderTcpIp = "TCP/IP:Port";

inline constexpr std::string_view kProgIdOdbc = "MSDASQL";
inline constexpr std::string_view kProgIdSqlServer = "SQLOLEDB";

enum class ConfigSide { Source = 0, Target = 1 };

// The provider display names a side offers, in list order.
const std::vector<std::string>& ProviderList(ConfigSide side);

// The provider identifier of a display name (compared without regard to case); any other text
// is its own identifier.
std::string ProviderProgId(std::string_view displayName);

// Whether a display name is the host-and-port route (compared without regard to case).
bool IsTcpIpProvider(std::string_view displayName);

// A flag counts as set when its value contains "true" anywhere (case-sensitive).
bool IsFlagSet(std::string_view value);

// migrator.cfg in the given program folder.
std::string ConfigFilePath(const std::string& programFolder);

// The warning for a migrator.cfg that holds a password and that other users may read ("" when it
// holds none or only its owner may read it).
std::string ExposedPasswordWarning(const std::string& configPath);

// Keeps the process from leaving a core dump (it would hold the passwords): from start to end,
// since the settings may be read at any time. Call once, first thing in main.
void KeepSecretsOutOfCoreDumps();

// Letters A-Z turned into a-z (names are ASCII in the settings that are lowered).
std::string AsciiLower(std::string_view text);

// [Public] Translation= of a migrator.cfg: Full or Classic; the default when the key is absent
// (a file of an earlier version) or holds anything else.
TranslationMode ReadTranslationMode(const std::string& configPath);
// [Public] Jobs= of the file: the tables a Full migration copies at once (absent or not a number
// from 1 to 16: the default).
int ReadJobs(const std::string& configPath);
// [Public] Bulk= of the file: auto or off (absent or anything else: auto).
BulkMode ReadBulkMode(const std::string& configPath);

// [Public] TargetSchema= (empty: dbo) and [Public] TypeMap= (the type-map file; empty: none).
// The path is read up to 4,095 bytes.
std::string ReadTargetSchema(const std::string& configPath);
std::string ReadTypeMapPath(const std::string& configPath);

}  // namespace velmora
