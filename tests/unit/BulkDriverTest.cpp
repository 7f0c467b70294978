// Which target drivers' bulk copy may be tried at all, by what the driver says about itself:
// Microsoft's Driver 17 and 18 only where they talk to SQL Server, never FreeTDS (its bulk copy
// crashed the process), nothing unknown; and the line a refused driver gets names it.
#include <gtest/gtest.h>

#include <string>

#include "data/BulkDriver.h"

namespace velmora {
namespace {

TEST(BulkDriver, VersionsAreReadAsNumbers) {
    struct Case { const char* text; DriverVersion expected; };
    const Case cases[] = {
        {"01.03.0017", {1, 3, 17}},
        {"18.03.0002", {18, 3, 2}},
        {"17.10.0006", {17, 10, 6}},
        {"18.3.so.2.1", {18, 3, 0}},  // the rest of a file name after its version
        {"v1.4", {1, 4, 0}},
        {"1..2", {1, 0, 0}},
        {"", {0, 0, 0}},
        {"unknown", {0, 0, 0}},
        {"1.2.3.4", {1, 2, 3}},
        {"99999999999.1", {999999, 1, 0}},  // no overflow on nonsense
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseDriverVersion(c.text), c.expected);
    }
}

TEST(BulkDriver, FamiliesAreKnownByTheDriverFileName) {
    EXPECT_EQ(BulkDriverFamilyOf("libtdsodbc.so"), BulkDriverFamily::FreeTds);
    EXPECT_EQ(BulkDriverFamilyOf("/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so.0"), BulkDriverFamily::FreeTds);
    EXPECT_EQ(BulkDriverFamilyOf("libmsodbcsql-18.3.so.2.1"), BulkDriverFamily::Microsoft);
    EXPECT_EQ(BulkDriverFamilyOf("LIBMSODBCSQL-17.10.SO.6.1"), BulkDriverFamily::Microsoft);
    EXPECT_EQ(BulkDriverFamilyOf("libmaodbc.so"), BulkDriverFamily::Other);
    EXPECT_EQ(BulkDriverFamilyOf(""), BulkDriverFamily::Other);
}

TEST(BulkDriver, OnlyMicrosoftsDriver17And18MayTryBulkCopy) {
    constexpr const char* kSqlServer = "Microsoft SQL Server";
    struct Case {
        DriverIdentity identity;
        bool allowed;
        const char* why;  // the whole reason, "" when allowed
    };
    const Case cases[] = {
        {{"libmsodbcsql-18.3.so.2.1", "18.03.0002", kSqlServer}, true, ""},
        {{"libmsodbcsql-17.10.so.6.1", "17.10.0006", kSqlServer}, true, ""},
        {{"libmsodbcsql-18.3.so.2.1", "", kSqlServer}, true, ""},  // the major version from the name
        {{"libmsodbcsql-13.1.so.9.2", "13.01.0009", kSqlServer}, false,
         "bulk copy is not used with Microsoft ODBC Driver 13 for SQL Server 13.1.9 (libmsodbcsql-13.1.so.9.2): "
         "only its versions 17 and 18 are known to bulk-copy safely"},
        {{"libmsodbcsql-19.0.so.1.1", "19.00.0001", kSqlServer}, false,
         "bulk copy is not used with Microsoft ODBC Driver 19 for SQL Server 19.0.1 (libmsodbcsql-19.0.so.1.1): "
         "only its versions 17 and 18 are known to bulk-copy safely"},
        {{"libmsodbcsql-18.3.so.2.1", "18.03.0002", "Other DB"}, false,
         "bulk copy is not used with Microsoft ODBC Driver 18 for SQL Server 18.3.2 (libmsodbcsql-18.3.so.2.1): "
         "its server calls itself \"Other DB\", not SQL Server"},
        {{"libtdsodbc.so", "01.03.0017", kSqlServer}, false,
         "bulk copy is not used with FreeTDS 1.3.17 (libtdsodbc.so): its bulk copy can crash the program inside the "
         "driver and refuses values the server takes"},
        // No FreeTDS version is trusted yet, however new, whatever its server.
        {{"libtdsodbc.so", "01.05.0001", kSqlServer}, false,
         "bulk copy is not used with FreeTDS 1.5.1 (libtdsodbc.so): its bulk copy can crash the program inside the "
         "driver and refuses values the server takes"},
        {{"/opt/freetds/lib/libtdsodbc.so.0", "99.00.0000", "Babelfish"}, false,
         "bulk copy is not used with FreeTDS 99.0.0 (/opt/freetds/lib/libtdsodbc.so.0): its bulk copy can crash the "
         "program inside the driver and refuses values the server takes"},
        {{"libmaodbc.so", "03.01.0017", "MariaDB"}, false,
         "bulk copy is not used with the driver libmaodbc.so 03.01.0017: only Microsoft's ODBC Driver 17 and 18 are "
         "known to bulk-copy safely"},
        {{"", "", ""}, false, "bulk copy is not used: the target's driver does not say which it is"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.identity.name + " " + c.identity.version + " " + c.identity.dbms);
        const BulkDriverVerdict verdict = JudgeBulkDriver(c.identity);
        EXPECT_EQ(verdict.allowed, c.allowed);
        EXPECT_EQ(verdict.why, c.why);
    }
}

}  // namespace
}  // namespace velmora
