#include "ProgressLine.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace velmora::cli {
namespace {

// Below this the rate says more about the start-up than about the copy.
constexpr double kSteadySeconds = 0.5;

std::string Percent(long long done, long long total) {
    long long percent = total > 0 ? done * 100 / total : 0;
    return std::to_string(percent) + "%";
}

// The figures after the table name; `full` adds the time left or taken.
std::string Figures(const ProgressFigures& f, bool full) {
    // A copy shorter than that has no rate worth showing, finished or not (200 rows in a fraction
    // of a millisecond would read as a million rows a second).
    const bool steady = f.rowsDone > 0 && f.seconds >= kSteadySeconds;
    const double rate = steady ? static_cast<double>(f.rowsDone) / f.seconds : 0;
    const std::string rateText =
        steady ? GroupedCount(std::llround(rate)) + " rows/s" : std::string("-- rows/s");
    std::string text;
    if (f.finished) {
        text = GroupedCount(f.rowsDone) + " of " + GroupedCount(f.rowsDone) + " rows  100%  " + rateText;
        if (full) text += "  done in " + ClockDuration(f.seconds);
        return text;
    }
    const bool estimateHolds = f.expectedRows > 0 && f.rowsDone <= f.expectedRows;
    if (!estimateHolds) {
        text = GroupedCount(f.rowsDone) + " rows";
        if (f.expectedRows >= 0) text += " (estimate " + GroupedCount(f.expectedRows) + ")";
        return text + "  " + rateText;
    }
    text = GroupedCount(f.rowsDone) + " of " + GroupedCount(f.expectedRows) + " rows  " +
           Percent(f.rowsDone, f.expectedRows) + "  " + rateText;
    if (full) {
        text += steady ? "  " + ClockDuration(static_cast<double>(f.expectedRows - f.rowsDone) / rate) +
                             " left"
                       : std::string("  --:-- left");
    }
    return text;
}

}  // namespace

std::string GroupedCount(long long value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return value < 0 ? "-" + out : out;
}

std::string ClockDuration(double seconds) {
    long long total = seconds > 0 ? std::llround(seconds) : 0;
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    }
    return text;
}

std::string FormatProgressLine(const ProgressFigures& figures, int width) {
    const size_t room = width > 1 ? static_cast<size_t>(width - 1) : 0;
    const std::string waiting = figures.waiting >= kWaitingShownAfter
                                    ? std::string("  waiting for the ") + (figures.targetHolding ? "target" : "source") +
                                          ": " + std::to_string(std::llround(figures.waiting)) + " s"
                                    : "";
    for (bool full : {true, false}) {
        const std::string tail = "  " + Figures(figures, full) + waiting;
        if (figures.table.size() + tail.size() <= room) return figures.table + tail;
        // A long name gives way first, down to a few characters and an ellipsis.
        if (room > tail.size() + 4) {
            const size_t keep = room - tail.size() - 3;
            return figures.table.substr(0, keep) + "..." + tail;
        }
    }
    // Waiting is what matters most: the rows done and how long it has waited.
    if (!waiting.empty()) {
        const std::string tail = "  " + GroupedCount(figures.rowsDone) + " rows" + waiting;
        if (room > tail.size() + 4) {
            return (figures.table.size() + tail.size() <= room ? figures.table
                                                                 : figures.table.substr(0, room - tail.size() - 3) + "...") +
                   tail;
        }
    }
    return (figures.table + "  " + Figures(figures, false)).substr(0, room);
}

bool IsLiveTerminal(int fd) {
    if (isatty(fd) == 0) return false;
    const char* term = std::getenv("TERM");
    return !(term && std::strcmp(term, "dumb") == 0);
}

int TerminalWidth(int fd) {
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    if (const char* columns = std::getenv("COLUMNS")) {
        int value = std::atoi(columns);
        if (value > 0) return value;
    }
    return 80;
}

}  // namespace velmora::cli
