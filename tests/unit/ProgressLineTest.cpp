// The live progress line of velmora-cli: its arithmetic, its fit to the terminal, the terminal
// detection, and the output without a terminal staying exactly the plain log lines.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "ProgressLine.h"
#include "TerminalPort.h"

namespace velmora::cli {
namespace {

struct LineCase {
    const char* name;
    ProgressFigures figures;
    int width;
    std::string expected;
};

class ProgressLineCases : public ::testing::TestWithParam<LineCase> {};

TEST_P(ProgressLineCases, Formats) {
    const LineCase& c = GetParam();
    EXPECT_EQ(FormatProgressLine(c.figures, c.width), c.expected);
}

const std::string kLongName = "a_very_long_table_name";

INSTANTIATE_TEST_SUITE_P(
    All, ProgressLineCases,
    ::testing::Values(
        // 12,000 rows in 4 s: 3,000 rows/s; 38,000 to go: 12.7 s, shown rounded.
        LineCase{"MidCopy", {"orders", 12000, 50000, 4.0, false}, 80,
                 "orders  12,000 of 50,000 rows  24%  3,000 rows/s  0:13 left"},
        // A zero estimate (InnoDB's for a table it has not sampled) is no estimate: no ETA.
        LineCase{"ZeroEstimate", {"orders", 12000, 0, 4.0, false}, 80,
                 "orders  12,000 rows (estimate 0)  3,000 rows/s"},
        // The copy passed a low estimate: the rows done count, no percent above 100, no ETA.
        LineCase{"EstimatePassed", {"orders", 60000, 50000, 20.0, false}, 80,
                 "orders  60,000 rows (estimate 50,000)  3,000 rows/s"},
        LineCase{"NoEstimate", {"t", 500, -1, 1.0, false}, 80, "t  500 rows  500 rows/s"},
        // The first half second says nothing about the rate.
        LineCase{"NotYetSteady", {"orders", 100, 50000, 0.2, false}, 80,
                 "orders  100 of 50,000 rows  0%  -- rows/s  --:-- left"},
        // Done: the real count is the total, whatever the estimate was.
        LineCase{"Finished", {"orders", 49000, 50000, 16.4, true}, 80,
                 "orders  49,000 of 49,000 rows  100%  2,988 rows/s  done in 0:16"},
        // Too short a copy for a rate: 200 rows in 0.2 ms are no 991,542 rows/s.
        LineCase{"FinishedQuickly", {"t", 5000, 5120, 0.025, true}, 80,
                 "t  5,000 of 5,000 rows  100%  -- rows/s  done in 0:00"},
        LineCase{"FinishedInAnInstant", {"t", 200, 200, 0.0002017, true}, 80,
                 "t  200 of 200 rows  100%  -- rows/s  done in 0:00"},
        LineCase{"FinishedEmpty", {"t", 0, 10, 0.01, true}, 80,
                 "t  0 of 0 rows  100%  -- rows/s  done in 0:00"},
        // A source that stops answering (SIGSTOP) left the line silent: from 5 s on it says so.
        LineCase{"Waiting", {"orders", 12000, 50000, 34.0, false, 30.2}, 100,
                 "orders  12,000 of 50,000 rows  24%  353 rows/s  1:48 left  waiting for the source: 30 s"},
        LineCase{"WaitingOnANarrowTerminal", {"orders", 1788800, 2994966, 34.0, false, 7.4}, 80,
                 "orders  1,788,800 rows  waiting for the source: 7 s"},
        // A target that does not take the rows read holds the copy up: the line names it.
        LineCase{"WaitingForTheTarget", {"orders", 12000, 50000, 34.0, false, 12.0, true}, 100,
                 "orders  12,000 of 50,000 rows  24%  353 rows/s  1:48 left  waiting for the target: 12 s"},
        LineCase{"NotYetWaiting", {"t", 500, -1, 5.0, false, 4.9}, 80, "t  500 rows  100 rows/s"},
        LineCase{"LongRun", {"big", 1000000, 9000000, 3600.0, false}, 80,
                 "big  1,000,000 of 9,000,000 rows  11%  278 rows/s  8:00:00 left"},
        // A narrow terminal: the name gives way first, then the time left, then the end.
        LineCase{"NarrowCutsTheName", {kLongName, 12000, 50000, 4.0, false}, 60,
                 "a_v...  12,000 of 50,000 rows  24%  3,000 rows/s  0:13 left"},
        LineCase{"NarrowerDropsTheTimeLeft", {kLongName, 12000, 50000, 4.0, false}, 50,
                 "a_ve...  12,000 of 50,000 rows  24%  3,000 rows/s"},
        LineCase{"TinyCutsTheEnd", {kLongName, 12000, 50000, 4.0, false}, 20,
                 "a_very_long_table_n"}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST(ProgressLine, NeverReachesTheLastColumn) {
    for (int width = 0; width <= 120; ++width) {
        std::string line = FormatProgressLine({kLongName, 123456, 9876543, 61.0, false}, width);
        EXPECT_LE(static_cast<int>(line.size()), std::max(0, width - 1)) << width;
    }
}

TEST(ProgressLine, CountsAndDurations) {
    EXPECT_EQ(GroupedCount(0), "0");
    EXPECT_EQ(GroupedCount(999), "999");
    EXPECT_EQ(GroupedCount(1000), "1,000");
    EXPECT_EQ(GroupedCount(1234567), "1,234,567");
    EXPECT_EQ(ClockDuration(0), "0:00");
    EXPECT_EQ(ClockDuration(59.6), "1:00");
    EXPECT_EQ(ClockDuration(3725), "1:02:05");
}

// A pseudo-terminal pair, closed at the end.
struct PseudoTerminal {
    int master = -1;
    int slave = -1;
    PseudoTerminal() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
        slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    }
    ~PseudoTerminal() {
        if (slave >= 0) close(slave);
        if (master >= 0) close(master);
    }
};

TEST(ProgressLine, DetectsTerminalsAndTheirWidth) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    EXPECT_FALSE(IsLiveTerminal(pipeEnds[1]));
    setenv("COLUMNS", "77", 1);
    EXPECT_EQ(TerminalWidth(pipeEnds[1]), 77);
    unsetenv("COLUMNS");
    EXPECT_EQ(TerminalWidth(pipeEnds[1]), 80);
    close(pipeEnds[0]);
    close(pipeEnds[1]);

    PseudoTerminal terminal;
    ASSERT_GE(terminal.slave, 0);
    const char* oldTerm = std::getenv("TERM");
    const std::string savedTerm = oldTerm ? oldTerm : "";
    setenv("TERM", "xterm", 1);
    EXPECT_TRUE(IsLiveTerminal(terminal.slave));
    setenv("TERM", "dumb", 1);
    EXPECT_FALSE(IsLiveTerminal(terminal.slave));
    if (oldTerm) {
        setenv("TERM", savedTerm.c_str(), 1);
    } else {
        unsetenv("TERM");
    }
    winsize size{};
    size.ws_col = 123;
    size.ws_row = 40;
    ASSERT_EQ(ioctl(terminal.slave, TIOCSWINSZ, &size), 0);
    EXPECT_EQ(TerminalWidth(terminal.slave), 123);
}

// Standard output and error of this process into two files while a case runs.
class CapturedOutput {
public:
    CapturedOutput() {
        std::fflush(stdout);
        std::fflush(stderr);
        savedOut_ = dup(STDOUT_FILENO);
        savedErr_ = dup(STDERR_FILENO);
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        outFd_ = dup(fileno(out));
        errFd_ = dup(fileno(err));
        std::fclose(out);
        std::fclose(err);
        dup2(outFd_, STDOUT_FILENO);
        dup2(errFd_, STDERR_FILENO);
    }
    ~CapturedOutput() { Restore(); }
    // Restores both streams and gives what was written to them.
    std::pair<std::string, std::string> Take() {
        Restore();
        return {Read(outFd_), Read(errFd_)};
    }

private:
    void Restore() {
        if (savedOut_ < 0) return;
        std::fflush(stdout);
        std::fflush(stderr);
        dup2(savedOut_, STDOUT_FILENO);
        dup2(savedErr_, STDERR_FILENO);
        close(savedOut_);
        close(savedErr_);
        savedOut_ = savedErr_ = -1;
    }
    static std::string Read(int fd) {
        std::string text;
        char buffer[4096];
        lseek(fd, 0, SEEK_SET);
        for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
        close(fd);
        return text;
    }
    int savedOut_ = -1, savedErr_ = -1, outFd_ = -1, errFd_ = -1;
};

const char* const kLines[] = {
    "12:00:01 [orders] 1000 records converted!",
    "12:00:02 [orders] 2000 records converted!",
    "12:00:02 [orders] 2400 records converted, convertion completed SUCCESSFULLY!",
    "12:00:03 [items] INSERT failed: duplicate key",
};

void Feed(TerminalPort& port) {
    port.ShowTableProgress({"orders", 0, 2400, false});
    for (const char* line : kLines) port.ShowOutputLine(line);
    port.ShowTableProgress({"orders", 2400, 2400, true});
}

// Without a terminal (the default output) the lines pass exactly as they are, and the progress
// hook writes nothing.
TEST(TerminalOutput, WithoutATerminalTheLinesAreUnchanged) {
    TerminalPort port(true, false);
    CapturedOutput captured;
    Feed(port);
    auto [out, err] = captured.Take();
    std::string expected;
    for (const char* line : kLines) expected += std::string(line) + "\n";
    EXPECT_EQ(out, expected);
    EXPECT_EQ(err, "");
}

TEST(TerminalOutput, LiveDisplayReplacesTheCountLinesAndKeepsTheRest) {
    TerminalPort port(true, false);
    port.SetOutput({true, true, false, nullptr, 100});
    CapturedOutput captured;
    Feed(port);
    auto [out, err] = captured.Take();
    EXPECT_EQ(out, std::string(kLines[2]) + "\n" + kLines[3] + "\n");
    EXPECT_NE(err.find("\rorders  0 of 2,400 rows  0%"), std::string::npos) << err;
    const size_t done = err.rfind("orders  2,400 of 2,400 rows  100%  ");
    ASSERT_NE(done, std::string::npos) << err;
    EXPECT_TRUE(err.ends_with(" rows/s  done in 0:00\n")) << err;
    EXPECT_EQ(err.find('\r', done), std::string::npos);  // the finished line stays as it is
}

// Standard error on a terminal, standard output into a file: the file gets every line.
TEST(TerminalOutput, OutputIntoAFileKeepsTheCountLinesBesideALiveDisplay) {
    TerminalPort port(true, false);
    port.SetOutput({true, false, false, nullptr, 100});
    CapturedOutput captured;
    Feed(port);
    auto [out, err] = captured.Take();
    std::string expected;
    for (const char* line : kLines) expected += std::string(line) + "\n";
    EXPECT_EQ(out, expected);
    EXPECT_NE(err.find("orders  2,400 of 2,400 rows  100%"), std::string::npos) << err;
}

TEST(TerminalOutput, QuietKeepsFailuresAndTheLogFileKeepsEverything) {
    std::FILE* log = std::tmpfile();
    TerminalPort port(true, false);
    port.SetOutput({false, false, true, log, 80});
    CapturedOutput captured;
    Feed(port);
    port.ShowHint("Press Config button");
    auto [out, err] = captured.Take();
    EXPECT_EQ(out, std::string(kLines[3]) + "\n");
    EXPECT_EQ(err, "");
    std::rewind(log);
    std::string logged;
    for (int c; (c = std::fgetc(log)) != EOF;) logged += static_cast<char>(c);
    std::fclose(log);
    std::string expected;
    for (const char* line : kLines) expected += std::string(line) + "\n";
    EXPECT_EQ(logged, expected);
}

}  // namespace
}  // namespace velmora::cli
