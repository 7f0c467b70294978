#include "data/ConnectionString.h"

#include <algorithm>
#include <cctype>

#include "data/OdbcHandles.h"
#include "data/WideText.h"

namespace velmora {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
    auto found = std::search(text.begin(), text.end(), part.begin(), part.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
    return found != text.end();
}

std::string Trim(std::string_view text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos) return {};
    size_t end = text.find_last_not_of(" \t");
    return std::string(text.substr(begin, end - begin + 1));
}

ConnectionPairs::iterator FindKey(ConnectionPairs& pairs, std::string_view key) {
    return std::find_if(pairs.begin(), pairs.end(),
                        [&](const auto& pair) { return EqualsNoCase(pair.first, key); });
}

void EraseKeys(ConnectionPairs& pairs, std::initializer_list<std::string_view> keys) {
    std::erase_if(pairs, [&](const auto& pair) {
        return std::any_of(keys.begin(), keys.end(),
                           [&](std::string_view key) { return EqualsNoCase(pair.first, key); });
    });
}

// Sets `key` in place when present, else appends it.
void SetKey(ConnectionPairs& pairs, const std::string& key, const std::string& value) {
    auto found = FindKey(pairs, key);
    if (found != pairs.end()) {
        found->second = value;
    } else {
        pairs.emplace_back(key, value);
    }
}

// Where login keys go: right after Driver= or DSN= (the keys that pick the driver).
ConnectionPairs::iterator LoginPosition(ConnectionPairs& pairs) {
    auto driver = std::find_if(pairs.begin(), pairs.end(), [](const auto& pair) {
        return EqualsNoCase(pair.first, "Driver") || EqualsNoCase(pair.first, "DSN");
    });
    return driver == pairs.end() ? pairs.begin() : driver + 1;
}

void ApplyLogin(ConnectionPairs& pairs, const PropertySet& properties) {
    std::string userId = properties.FindText(kPropAuthUserId).value_or("");
    std::optional<std::string> password = properties.FindText(kPropAuthPassword);
    if (!userId.empty()) {
        EraseKeys(pairs, {"UID", "USER", "PWD", "PASSWORD"});
        auto at = pairs.insert(LoginPosition(pairs), {"UID", userId});
        if (password) pairs.insert(at + 1, {"PWD", *password});
        return;
    }
    // No configured user: the string's own login stands; a password fills a gap only.
    if (password && !password->empty() && FindKey(pairs, "PWD") == pairs.end() &&
        FindKey(pairs, "PASSWORD") == pairs.end()) {
        pairs.insert(LoginPosition(pairs), {"PWD", *password});
    }
}

const InstalledDriver* FindDriver(const std::vector<InstalledDriver>& drivers, std::string_view name) {
    for (const InstalledDriver& driver : drivers) {
        if (EqualsNoCase(driver.name, name)) return &driver;
    }
    return nullptr;
}

bool IsFreeTds(const InstalledDriver& driver) {
    return ContainsNoCase(driver.library, "libtdsodbc") || ContainsNoCase(driver.name, "FreeTDS");
}

bool IsMariaDbDriver(const InstalledDriver& driver) {
    return ContainsNoCase(driver.library, "libmaodbc") || ContainsNoCase(driver.name, "MariaDB");
}

// Points `pairs` at the installed SQL Server driver and gives it the server address in the
// form that driver reads. SQL Server addresses are "host", "host\instance" or "host,port",
// optionally with "tcp:" in front; Address= (when given) names the server instead of Server=.
void ApplySqlServerDriver(ConnectionPairs& pairs, const InstalledDriver& driver) {
    auto address = FindKey(pairs, "Address");
    auto server = FindKey(pairs, "Server");
    std::string where = address != pairs.end() ? address->second
                        : server != pairs.end() ? server->second
                                                : std::string();
    where = Trim(where);
    if (EqualsNoCase(where.substr(0, std::min<size_t>(4, where.size())), "tcp:")) where.erase(0, 4);
    std::string host = where;
    std::string port;
    if (size_t comma = where.rfind(','); comma != std::string::npos) {
        host = Trim(where.substr(0, comma));
        port = Trim(where.substr(comma + 1));
    }
    if (port.empty()) {
        if (auto portKey = FindKey(pairs, "Port"); portKey != pairs.end()) port = Trim(portKey->second);
    }
    // The server takes the place of the first Server= or Address=; Address=, Network= (always
    // TCP/IP here) and Port= go.
    ConnectionPairs kept;
    size_t serverAt = std::string::npos;
    for (auto& pair : pairs) {
        bool isServer = EqualsNoCase(pair.first, "Server") || EqualsNoCase(pair.first, "Address");
        if (isServer || EqualsNoCase(pair.first, "Network") || EqualsNoCase(pair.first, "Port")) {
            if (isServer && serverAt == std::string::npos) serverAt = kept.size();
            continue;
        }
        kept.push_back(std::move(pair));
    }
    pairs = std::move(kept);
    if (!where.empty()) {
        ConnectionPairs added;
        if (IsFreeTds(driver)) {
            added.emplace_back("Server", host);
            if (!port.empty()) added.emplace_back("Port", port);
        } else {
            added.emplace_back("Server", port.empty() ? host : host + "," + port);
        }
        auto at = pairs.begin() + static_cast<long>(std::min(serverAt, pairs.size()));
        pairs.insert(at, added.begin(), added.end());
    }
    SetKey(pairs, "Driver", driver.name);
}

// "ODBC Driver 18 for SQL Server" gives 18; 0 when the name carries no version.
int MicrosoftDriverVersion(const InstalledDriver& driver) {
    const std::string_view prefix = "ODBC Driver ";
    if (!ContainsNoCase(driver.name, prefix)) return 0;
    std::string_view rest = std::string_view(driver.name).substr(prefix.size());
    int version = 0;
    for (char c : rest) {
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        version = version * 10 + (c - '0');
    }
    return version;
}

// The TLS choices of the target in the words of the driver in use; a choice the driver has no
// keyword for is left out. FreeTDS takes Encryption=request|require|strict and checks no
// certificate unless told a CA file, so it has nothing for TrustServerCertificate. Microsoft's
// driver 18 takes Encrypt=Optional|Mandatory|Strict; 17 knows only no|yes, and Strict (TDS 8)
// becomes yes there: still encrypted and still checked, never silently unencrypted.
void ApplyTargetTls(ConnectionPairs& pairs, const InstalledDriver& driver,
                    const PropertySet& properties) {
    const std::string encrypt = properties.FindText(kPropInitEncrypt).value_or("");
    const PropertyValue* trustValue = properties.Find(kPropInitTrustServerCertificate);
    const bool trust = trustValue && std::holds_alternative<bool>(*trustValue) &&
                       std::get<bool>(*trustValue);
    const bool optional = EqualsNoCase(encrypt, "optional");
    const bool mandatory = EqualsNoCase(encrypt, "mandatory");
    const bool strict = EqualsNoCase(encrypt, "strict");
    if (IsFreeTds(driver)) {
        if (optional || mandatory || strict) {
            EraseKeys(pairs, {"Encrypt", "Encryption"});
            pairs.emplace_back("Encryption", optional ? "request" : mandatory ? "require" : "strict");
        }
        return;
    }
    if (optional || mandatory || strict) {
        EraseKeys(pairs, {"Encrypt", "Encryption"});
        if (MicrosoftDriverVersion(driver) >= 18) {
            pairs.emplace_back("Encrypt", optional ? "Optional" : mandatory ? "Mandatory" : "Strict");
        } else {
            pairs.emplace_back("Encrypt", optional ? "no" : "yes");
        }
    }
    if (trust) SetKey(pairs, "TrustServerCertificate", "yes");
}

// True when it pinned the character set.
bool AddMariaDbOptions(ConnectionPairs& pairs) {
    bool pinned = FindKey(pairs, "CHARSET") == pairs.end();
    if (pinned) pairs.emplace_back("CHARSET", "utf8mb4");
    if (FindKey(pairs, "NO_CACHE") == pairs.end()) pairs.emplace_back("NO_CACHE", "1");
    if (FindKey(pairs, "FORWARDONLY") == pairs.end()) pairs.emplace_back("FORWARDONLY", "1");
    return pinned;
}

ConnectionStringResult Failure(std::string error) {
    ConnectionStringResult result;
    result.error = std::move(error);
    return result;
}

ConnectionStringResult BuildDriverManagerString(const PropertySet& properties,
                                                const std::vector<InstalledDriver>& drivers) {
    ConnectionStringResult result;
    std::string providerString = properties.FindText(kPropInitProviderString).value_or("");
    std::string catalog = properties.FindText(kPropInitCatalog).value_or("");
    ConnectionPairs pairs;
    if (!Trim(providerString).empty()) {
        pairs = ParseConnectionString(providerString);
    } else {
        std::string dsn = properties.FindText(kPropInitDataSource).value_or("");
        if (Trim(dsn).empty()) return Failure("No data source name and no connection string given.");
        pairs.emplace_back("DSN", dsn);
        result.dataSourceName = dsn;
    }
    if (!catalog.empty() && FindKey(pairs, "Database") == pairs.end()) {
        pairs.emplace_back("Database", catalog);
    }
    if (auto driverKey = FindKey(pairs, "Driver"); driverKey != pairs.end()) {
        if (EqualsNoCase(Trim(driverKey->second), "SQL Server")) {
            std::optional<InstalledDriver> sqlServer = PickSqlServerDriver(drivers);
            if (!sqlServer) {
                return Failure("No SQL Server ODBC driver is installed (Microsoft ODBC Driver 18 "
                               "or 17 for SQL Server, or FreeTDS).");
            }
            ApplySqlServerDriver(pairs, *sqlServer);
            ApplyTargetTls(pairs, *sqlServer, properties);
        } else if (const InstalledDriver* driver = FindDriver(drivers, Trim(driverKey->second));
                   driver && IsMariaDbDriver(*driver)) {
            result.textAsUtf8 = AddMariaDbOptions(pairs);
        }
    }
    ApplyLogin(pairs, properties);
    result.text = JoinConnectionString(pairs);
    return result;
}

ConnectionStringResult BuildSqlServerString(const PropertySet& properties,
                                            const std::vector<InstalledDriver>& drivers) {
    std::optional<InstalledDriver> driver = PickSqlServerDriver(drivers);
    if (!driver) {
        return Failure("No SQL Server ODBC driver is installed (Microsoft ODBC Driver 18 or 17 for "
                       "SQL Server, or FreeTDS).");
    }
    ConnectionPairs pairs{{"Driver", driver->name}};
    if (auto providerString = properties.FindText(kPropInitProviderString)) {
        for (auto& pair : ParseConnectionString(*providerString)) {
            if (!EqualsNoCase(pair.first, "Driver") && !EqualsNoCase(pair.first, "Provider")) {
                pairs.push_back(std::move(pair));
            }
        }
    }
    std::string server = properties.FindText(kPropInitDataSource).value_or("");
    std::string catalog = properties.FindText(kPropInitCatalog).value_or("");
    if (!server.empty()) {
        EraseKeys(pairs, {"Address"});
        SetKey(pairs, "Server", server);
    }
    if (!catalog.empty()) SetKey(pairs, "Database", catalog);
    if (FindKey(pairs, "Server") == pairs.end() && FindKey(pairs, "Address") == pairs.end()) {
        return Failure("No SQL Server name given.");
    }
    ApplySqlServerDriver(pairs, *driver);
    ApplyTargetTls(pairs, *driver, properties);
    ApplyLogin(pairs, properties);
    ConnectionStringResult result;
    result.text = JoinConnectionString(pairs);
    result.dataSourceName = server;
    return result;
}

}  // namespace

ConnectionPairs ParseConnectionString(std::string_view text) {
    ConnectionPairs pairs;
    size_t i = 0;
    while (i < text.size()) {
        size_t equals = text.find('=', i);
        size_t semicolon = text.find(';', i);
        if (equals == std::string_view::npos || (semicolon != std::string_view::npos && semicolon < equals)) {
            // A piece without "=": skipped (empty pieces, stray words).
            if (semicolon == std::string_view::npos) break;
            i = semicolon + 1;
            continue;
        }
        std::string key = Trim(text.substr(i, equals - i));
        size_t at = equals + 1;
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
        std::string value;
        if (at < text.size() && text[at] == '{') {
            // Braced value: runs to the first "}" that is not doubled.
            ++at;
            while (at < text.size()) {
                if (text[at] == '}') {
                    if (at + 1 < text.size() && text[at + 1] == '}') {
                        value.push_back('}');
                        at += 2;
                        continue;
                    }
                    ++at;
                    break;
                }
                value.push_back(text[at++]);
            }
            size_t end = text.find(';', at);
            i = end == std::string_view::npos ? text.size() : end + 1;
        } else {
            size_t end = text.find(';', at);
            value = Trim(text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
            i = end == std::string_view::npos ? text.size() : end + 1;
        }
        if (!key.empty()) pairs.emplace_back(std::move(key), std::move(value));
    }
    return pairs;
}

std::string ConnectionValue(std::string_view value) {
    if (value.empty() || value.find_first_of(";{}[](),?*=!@ ") == std::string_view::npos) return std::string(value);
    std::string text = "{";
    for (char c : value) {
        text += c;
        if (c == '}') text += '}';
    }
    return text + "}";
}

std::string JoinConnectionString(const ConnectionPairs& pairs) {
    std::string text;
    for (const auto& [key, value] : pairs) text += key + "=" + ConnectionValue(value) + ";";
    return text;
}

std::optional<InstalledDriver> PickSqlServerDriver(const std::vector<InstalledDriver>& drivers) {
    for (const char* preferred : {"ODBC Driver 18 for SQL Server", "ODBC Driver 17 for SQL Server"}) {
        if (const InstalledDriver* driver = FindDriver(drivers, preferred)) return *driver;
    }
    for (const InstalledDriver& driver : drivers) {
        if (ContainsNoCase(driver.name, "ODBC Driver") && ContainsNoCase(driver.name, "for SQL Server")) {
            return driver;
        }
    }
    for (const InstalledDriver& driver : drivers) {
        if (IsFreeTds(driver)) return driver;
    }
    return std::nullopt;
}

ConnectionStringResult BuildOdbcConnectionString(std::string_view provider,
                                                 const PropertySet& properties,
                                                 const std::vector<InstalledDriver>& drivers) {
    std::string name = Trim(provider);
    if (EqualsNoCase(name, "MSDASQL") || EqualsNoCase(name, "MSDASQL.1")) {
        return BuildDriverManagerString(properties, drivers);
    }
    if (EqualsNoCase(name, "SQLOLEDB") || EqualsNoCase(name, "SQLOLEDB.1")) {
        return BuildSqlServerString(properties, drivers);
    }
    return Failure("The provider \"" + name + "\" is not known (MSDASQL or SQLOLEDB).");
}

std::vector<InstalledDriver> InstalledOdbcDrivers() {
    std::vector<InstalledDriver> drivers;
    OdbcHandle environment = OdbcHandle::Allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    if (!environment) return drivers;
    SQLSetEnvAttr(environment.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    std::u16string name(512, u'\0');
    std::u16string attributes(4096, u'\0');
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    for (;;) {
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT attributesLength = 0;
        SQLRETURN rc = SQLDriversW(environment.get(), direction, WideArg(name),
                                   static_cast<SQLSMALLINT>(name.size()), &nameLength,
                                   WideArg(attributes), static_cast<SQLSMALLINT>(attributes.size()),
                                   &attributesLength);
        if (!Succeeded(rc)) break;
        direction = SQL_FETCH_NEXT;
        InstalledDriver driver;
        driver.name = Utf16ToUtf8(std::u16string_view(name.data(), std::min<size_t>(nameLength, name.size())));
        // Attributes: "key=value" texts, each ended by a NUL, the list ended by another NUL.
        std::u16string_view list(attributes.data(),
                                 std::min<size_t>(static_cast<size_t>(attributesLength), attributes.size()));
        size_t start = 0;
        while (start < list.size()) {
            size_t end = list.find(u'\0', start);
            if (end == std::u16string_view::npos) end = list.size();
            std::string entry = Utf16ToUtf8(list.substr(start, end - start));
            if (entry.size() > 7 && EqualsNoCase(entry.substr(0, 7), "Driver=")) driver.library = entry.substr(7);
            if (end == start) break;
            start = end + 1;
        }
        drivers.push_back(std::move(driver));
    }
    return drivers;
}

}  // namespace velmora
