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

}  // namespace
}  // namespace velmora
