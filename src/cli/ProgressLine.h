// ProgressLine: the text of the live progress line that velmora-cli shows per table on a terminal,
// and the terminal questions it depends on. Pure functions: the figures in, the text out.
//
//   orders   12,000 of 50,000 rows  24%  3,000 rows/s  0:13 left
//
// The expected rows are the catalog's estimate. An estimate of zero, or one the copy has already
// passed, is wrong: the line then shows the rows done with the estimate and no time left. Once
// the table is done the real count is the total and the line says how long it took. A rate is
// shown only once half a second has been measured. The line
// never reaches the terminal's last column (a full line would wrap and break the redraw).
//
// While no row has come for 5 s or more the line says so, redrawn every second:
//
//   orders   12,000 of 50,000 rows  24%  3,000 rows/s  0:13 left  waiting for the source: 30 s
// (or "waiting for the target" when the target has not taken the rows already read)
//
// Threads: any.
#pragma once

#include <string>

namespace velmora::cli {

// How long a table goes without a row before its line says that it waits.
inline constexpr double kWaitingShownAfter = 5;

struct ProgressFigures {
    std::string table;
    long long rowsDone = 0;
    long long expectedRows = -1;  // -1 or 0: not known
    double seconds = 0;           // since the table started
    bool finished = false;
    double waiting = 0;           // seconds since the last row arrived (said from 5 s on)
    bool targetHolding = false;   // the wait is the target's: it has not taken the rows read
};

std::string FormatProgressLine(const ProgressFigures& figures, int width);

// 1234567 -> "1,234,567".
std::string GroupedCount(long long value);
// 75 -> "1:15", 3725 -> "1:02:05".
std::string ClockDuration(double seconds);

// True when `fd` is a terminal that can take a line redrawn in place (not TERM=dumb).
bool IsLiveTerminal(int fd);
// The width of the terminal on `fd`; else $COLUMNS; else 80.
int TerminalWidth(int fd);

}  // namespace velmora::cli
