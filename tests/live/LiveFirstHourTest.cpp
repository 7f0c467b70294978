// Against the live target: the assessment reads the target's version and times a write there;
// a server whose driver catalog calls fail is found out once per process, not per connection.
#include <gtest/gtest.h>

#include <string>

#include "LiveTarget.h"
#include "assessment/TargetVersion.h"

namespace velmora {
namespace {

class LiveFirstHour : public test::LiveCliFixture {};

TEST_F(LiveFirstHour, TheAssessmentReadsTheTargetsVersionAndTimesItsWrites) {
    const test::CliResult result = Live("assess shop --json '" + home_ + "/a.json'");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const nlohmann::json report = nlohmann::json::parse(test::ReadFile(home_ + "/a.json"));
    const nlohmann::json& target = report["target"];
    EXPECT_TRUE(IsTargetVersion(target["version"].get<std::string>())) << target.dump();
    EXPECT_EQ(target["versionFrom"], "read from the connected target");
    EXPECT_EQ(target["write"]["failure"], "") << target.dump();
    EXPECT_GT(target["write"]["rows"].get<int>(), 0);
    EXPECT_NE(result.out.find("(the slower of the source's read and the target's measured writes)"),
              std::string::npos)
        << result.out;
}

TEST_F(LiveFirstHour, TheCatalogFallbackIsFoundOncePerProcess) {
    const auto tables = [](DataSourceConnection& connection) {
        auto rowset = connection.session()->NewTablesRowset();
        EXPECT_GE(rowset->Open({}), 0) << rowset->ProviderErrorText();
        return connection.session()->TakeCatalogNote();
    };
    auto first = test::ConnectLiveTarget();
    ASSERT_NE(first->session(), nullptr);
    tables(*first);  // on a server without the driver's catalog procedures: found out here
    auto second = test::ConnectLiveTarget();
    ASSERT_NE(second->session(), nullptr);
    // The second connection asks the sys views at once: no failed catalog call, no note again.
    EXPECT_EQ(tables(*second), "");
}

}  // namespace
}  // namespace velmora
