#include "data/BulkDriver.h"

#include <cctype>

#include "translation/SqlParser.h"

namespace velmora {
namespace {

std::string Shown(const DriverVersion& v) {
    return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]);
}

// Microsoft's driver says its major version in SQL_DRIVER_VER ("18.03.0002") and in its file
// name ("libmsodbcsql-18.3.so.2.1").
int MicrosoftMajor(const DriverIdentity& identity) {
    const int major = ParseDriverVersion(identity.version)[0];
    if (major > 0) return major;
    const size_t dash = identity.name.find('-');
    return dash == std::string::npos ? 0 : ParseDriverVersion(std::string_view(identity.name).substr(dash + 1))[0];
}

BulkDriverVerdict Refused(std::string driver, const std::string& reason) {
    return {false, driver, "bulk copy is not used with " + driver + ": " + reason};
}

BulkDriverVerdict JudgeMicrosoft(const DriverIdentity& identity) {
    const int major = MicrosoftMajor(identity);
    std::string driver = "Microsoft ODBC Driver " + std::to_string(major) + " for SQL Server " +
                         Shown(ParseDriverVersion(identity.version)) + " (" + identity.name + ")";
    if (major != 17 && major != 18) return Refused(driver, "only its versions 17 and 18 are known to bulk-copy safely");
    if (identity.dbms.find("SQL Server") == std::string::npos) {
        return Refused(driver, "its server calls itself \"" + identity.dbms + "\", not SQL Server");
    }
    return {true, driver, ""};
}

BulkDriverVerdict JudgeFreeTds(const DriverIdentity& identity) {
    const DriverVersion version = ParseDriverVersion(identity.version);
    std::string driver = "FreeTDS " + Shown(version) + " (" + identity.name + ")";
    if (kFreeTdsBulkCopyFrom[0] > 0 && version >= kFreeTdsBulkCopyFrom) return {true, driver, ""};
    return Refused(driver,
                   "its bulk copy can crash the program inside the driver and refuses values the server takes");
}

}  // namespace

BulkDriverFamily BulkDriverFamilyOf(std::string_view driverName) {
    const std::string name = LowerAscii(driverName);
    if (name.find("tdsodbc") != std::string::npos) return BulkDriverFamily::FreeTds;
    if (name.find("msodbcsql") != std::string::npos) return BulkDriverFamily::Microsoft;
    return BulkDriverFamily::Other;
}

DriverVersion ParseDriverVersion(std::string_view version) {
    DriverVersion parts = {0, 0, 0};
    size_t part = 0;
    bool inNumber = false;
    for (char c : version) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            if (parts[part] < 100000) parts[part] = parts[part] * 10 + (c - '0');
            inNumber = true;
        } else if (inNumber) {
            if (c != '.' || ++part == parts.size()) break;
            inNumber = false;
        } else if (part > 0) {
            break;  // "1..2": no more parts
        }
    }
    return parts;
}

BulkDriverVerdict JudgeBulkDriver(const DriverIdentity& identity) {
    switch (BulkDriverFamilyOf(identity.name)) {
        case BulkDriverFamily::Microsoft: return JudgeMicrosoft(identity);
        case BulkDriverFamily::FreeTds: return JudgeFreeTds(identity);
        case BulkDriverFamily::Other: break;
    }
    if (identity.name.empty()) return {false, "", "bulk copy is not used: the target's driver does not say which it is"};
    std::string driver = "the driver " + identity.name;
    if (!identity.version.empty()) driver += " " + identity.version;
    return Refused(driver, "only Microsoft's ODBC Driver 17 and 18 are known to bulk-copy safely");
}

}  // namespace velmora
