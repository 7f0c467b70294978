#include <gtest/gtest.h>

#include <mutex>
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

// A thread that names a table: each of its lines names it once, whether or not the message
// already does; a line of another thread, or after the scope, is left as it is.
TEST(OperationLog, ATableScopeNamesTheTableInEveryLineOfItsThread) {
    OperationLog log;
    {
        LogTableScope named("orders");
        log.WriteText("Create Index failure!");
        log.WriteOutputLine("Create table [%s] SUCCESSFULLY!!!", "orders");
        log.WriteText("[orders] 1000 records converted!");
        log.WriteText("Create table [orders_old] SUCCESSFULLY!!!");
        {
            LogTableScope inner("a]b");
            log.WriteText("inner");
        }
        std::thread([&log] { log.WriteText("another thread"); }).join();
        std::thread([&log, table = LogTableScope::Current()] {
            LogTableScope inherited(table);
            log.WriteText("its writer");
        }).join();
    }
    log.WriteText("after");
    EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                  "[orders] Create Index failure!",
                                  "Create table [orders] SUCCESSFULLY!!!",
                                  "[orders] 1000 records converted!",
                                  "[orders] Create table [orders_old] SUCCESSFULLY!!!",
                                  "[a]b] inner",
                                  "another thread",
                                  "[orders] its writer",
                                  "after",
                              }));
}

// Records what reaches the port, call by call.
class GroupPort : public test::ScriptedPort {
public:
    void ShowOutputLines(const std::vector<std::string>& lines) override {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const std::string& line : lines) calls_.push_back(line.substr(24));
    }
    void ShowOutputLine(const std::string& line) override {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(line.substr(24));
    }
    std::vector<std::string> Calls() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

// Four tables at once, each writing failures with their reasons and single lines in between:
// in the log and at the port, every reason directly follows its own failure, and both name the
// table.
TEST(OperationLog, AFailureAndItsReasonStayTogetherWithTablesAtOnce) {
    GroupPort port;
    OperationLog log(&port);
    std::vector<std::thread> threads;
    for (const char* table : {"t1", "t2", "t3", "t4"}) {
        threads.emplace_back([&log, table] {
            LogTableScope named(table);
            for (int i = 0; i < 80; ++i) {  // 960 lines: the log keeps them all
                log.WriteText("Create Index failure!");
                log.WriteGroup({"Create PK failure!", std::string("reason of ") + table});
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (const std::vector<std::string>& lines : {log.Messages(), port.Calls()}) {
        ASSERT_EQ(lines.size(), 4u * 80u * 3u);
        size_t groups = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].find("Create PK failure!") == std::string::npos) continue;
            const std::string table = lines[i].substr(1, 2);
            EXPECT_EQ(lines[i], "[" + table + "] Create PK failure!");
            ASSERT_LT(i + 1, lines.size());
            EXPECT_EQ(lines[i + 1], "[" + table + "] reason of " + table) << "after line " << i;
            ++groups;
        }
        EXPECT_EQ(groups, 320u);
    }
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
