#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <thread>

#include "support/ScriptedPort.h"
#include "tasks/OperationLog.h"

namespace velmora {
namespace {

TEST(OperationLog, LineIsTimeStampThenMessage) {
    test::ScriptedPort port;
    OperationLog log(&port);
    log.WriteOutputLine("TABLE: [%s].[%s] Converting..... ", "shop", "orders");
    ASSERT_EQ(port.OutputLines().size(), 1u);
    const std::string line = port.OutputLines()[0];
    EXPECT_TRUE(std::regex_match(
        line, std::regex(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}:\d{3} TABLE: \[shop\]\.\[orders\] Converting\.\.\.\.\. )")))
        << line;
    EXPECT_EQ(log.Messages(), std::vector<std::string>{"TABLE: [shop].[orders] Converting..... "});
}

TEST(OperationLog, KeepsAtMost1001Lines) {
    OperationLog log;
    for (int i = 0; i < 1005; ++i) log.WriteOutputLine("line %d", i);
    EXPECT_EQ(log.LineCount(), 1001u);
    EXPECT_EQ(log.Messages().front(), "line 4");
    EXPECT_EQ(log.Messages().back(), "line 1004");
}

TEST(OperationLog, PercentSignsInArgumentsAndTextsStayLiteral) {
    OperationLog log;
    log.WriteOutputLine("%s", "select * from t where a like 'x%s%d%%'");
    log.WriteText("100% done %n %s");
    EXPECT_EQ(log.Messages(),
              (std::vector<std::string>{"select * from t where a like 'x%s%d%%'", "100% done %n %s"}));
}

TEST(OperationLog, LongMessagesAreCutAt1024BytesOnACharacterBoundary) {
    OperationLog log;
    log.WriteOutputLine("%s", std::string(5000, 'x').c_str());
    EXPECT_EQ(log.Messages()[0], std::string(1024, 'x'));
    // 1023 ASCII bytes then a two-byte character: the character does not fit and is left out.
    log.WriteText(std::string(1023, 'a') + "\xc3\xa9" + "tail");
    EXPECT_EQ(log.Messages()[1], std::string(1023, 'a'));
}

TEST(OperationLog, LinesFromTwoThreadsAreAllKeptInOrderPerThread) {
    test::ScriptedPort port;
    OperationLog log(&port);
    auto writer = [&log](const char* who) {
        for (int i = 0; i < 400; ++i) log.WriteOutputLine("%s %d", who, i);
    };
    std::thread a(writer, "a");
    std::thread b(writer, "b");
    a.join();
    b.join();
    std::vector<std::string> messages = log.Messages();
    ASSERT_EQ(messages.size(), 800u);
    EXPECT_EQ(port.OutputLines().size(), 800u);
    int nextA = 0;
    int nextB = 0;
    for (const std::string& message : messages) {
        int& next = message[0] == 'a' ? nextA : nextB;
        EXPECT_EQ(message.substr(2), std::to_string(next));
        ++next;
    }
    EXPECT_EQ(nextA, 400);
    EXPECT_EQ(nextB, 400);
}

TEST(OperationLog, HintsGoToThePortAndNotIntoTheLog) {
    test::ScriptedPort port;
    OperationLog log(&port);
    log.ShowHint("Please select a target database!");
    EXPECT_EQ(port.Hints(), std::vector<std::string>{"Please select a target database!"});
    EXPECT_EQ(log.LineCount(), 0u);
}

}  // namespace
}  // namespace velmora
