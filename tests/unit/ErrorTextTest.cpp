#include <gtest/gtest.h>

#include <cerrno>

#include "data/ErrorText.h"
#include "data/OdbcHandles.h"

namespace velmora {
namespace {

TEST(ErrorText, SystemErrorFillsTheFailureFormat) {
    errno = 0;
    EXPECT_EQ(FormatLastSystemError("No Connection!"),
              "No Connection! \r\n failed with error code:[0x00000000] \r\n discription:Success");
    errno = ENOENT;
    EXPECT_EQ(FormatLastSystemError("open data_cache/orders"),
              "open data_cache/orders \r\n failed with error code:[0x00000002] \r\n discription:No such file or "
              "directory");
}

TEST(ErrorText, ProviderErrorShowsTheCodeAsEightLowerCaseHexDigits) {
    EXPECT_EQ(FormatProviderError("Open rowset", kFailure),
              "Open rowset \r\n failed with error code:[0x80004005] \r\n discription:Unspecified error");
    EXPECT_EQ(FormatProviderError("Fetch", kEndOfRowset),
              "Fetch \r\n failed with error code:[0x00040ec6] \r\n discription:No more rows.");
    // A code without a text of its own still gives the whole format.
    EXPECT_EQ(FormatProviderError("x", static_cast<ResultCode>(0x80041234u)),
              "x \r\n failed with error code:[0x80041234] \r\n discription:Unknown error");
    // Percent signs in the message stay as they are.
    EXPECT_EQ(FormatProviderError("like 'a%s%d'", kFailure).substr(0, 14), "like 'a%s%d' \r");
}

TEST(ErrorText, TheLastReadableDiagnosticRecordWins) {
    std::vector<DiagnosticRecord> records{
        {"08001", 0, "[FreeTDS][SQL Server]Unable to connect: Adaptive Server is unavailable"},
        {"08001", 0, "[FreeTDS][SQL Server]Unable to connect to data source"}};
    EXPECT_EQ(GetProviderErrorText(records), "[FreeTDS][SQL Server]Unable to connect to data source");
    records.push_back({"01000", 0, ""});  // a record without a message is not readable text
    EXPECT_EQ(GetProviderErrorText(records), "[FreeTDS][SQL Server]Unable to connect to data source");
    EXPECT_EQ(GetProviderErrorText(std::vector<DiagnosticRecord>{}), "Unknown Error!");
}


// The cause of a failed connection, from the records the drivers give (FreeTDS puts its generic
// record first; a missing database is a failed login to SQL Server as well).
TEST(ErrorText, ConnectionFailuresNameTheirCause) {
    struct Case {
        std::vector<DiagnosticRecord> records;
        std::string cause;
    };
    const Case cases[] = {
        {{{"08001", 0, "[FreeTDS][SQL Server]Unable to connect to data source"},
          {"42000", 18456, "[FreeTDS][SQL Server]Login failed for user 'sa'."}},
         "login refused"},
        {{{"08001", 0, "[FreeTDS][SQL Server]Unable to connect to data source"},
          {"08S01", 20009, "[FreeTDS][SQL Server]Unable to connect: Adaptive Server is "
                           "unavailable or does not exist"}},
         "server unreachable"},
        {{{"42000", 4060, "Cannot open database \"sales\" requested by the login. The login failed."},
          {"28000", 18456, "Login failed for user 'sa'."}},
         "database missing"},
        {{{"08001", 0, "[Microsoft][ODBC Driver 18 for SQL Server]SSL Provider: certificate verify "
                       "failed:self-signed certificate"}},
         "TLS refused"},
        {{{"28000", 1045, "[ma-3.1.15]Access denied for user 'velmora'@'127.0.0.1'"}}, "login refused"},
        {{{"HY000", 2002, "[ma-3.1.15]Can't connect to server on '127.0.0.1' (115)"}},
         "server unreachable"},
        {{{"42000", 1049, "[ma-3.1.15]Unknown database 'shopx'"}}, "database missing"},
        {{{"HY000", 0, "[unixODBC]Driver's SQLAllocHandle on SQL_HANDLE_HENV failed"}}, ""},
        {{}, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ConnectionFailureCause(c.records), c.cause)
            << (c.records.empty() ? "" : c.records.back().message);
    }
    // The line names the cause, then the record that says why, never the generic first one.
    EXPECT_EQ(ConnectionFailureLine(cases[0].records, "Unable to connect to data source"),
              "login refused: [42000] (18456) [FreeTDS][SQL Server]Login failed for user 'sa'.");
    // Without records, the text it is given tells the cause.
    EXPECT_EQ(ConnectionFailureLine({}, "Access denied for user 'x'"),
              "login refused: Access denied for user 'x'");
    EXPECT_EQ(ConnectionFailureLine({}, "Something else"), "Something else");
}

}  // namespace
}  // namespace velmora
