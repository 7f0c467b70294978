#include "TerminalPort.h"

#include <cctype>
#include <cstdio>
#include <iostream>

#include "ProgressLine.h"

namespace velmora::cli {
namespace {

// Message texts may hold "\r\n" line breaks (failure texts); a terminal wants plain "\n".
std::string ForTerminal(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out.push_back(text[i]);
    }
    return out;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The line the row copy writes every thousand rows; the live display says the same.
bool IsRowCountLine(const std::string& line) { return EndsWith(line, " records converted!"); }

bool ReportsFailure(const std::string& line) {
    std::string lower;
    for (char c : line) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("fail") != std::string::npos || lower.find("error") != std::string::npos;
}

}  // namespace

TerminalPort::TerminalPort(bool assumeYes, bool interactive)
    : assumeYes_(assumeYes), interactive_(interactive) {}

void TerminalPort::ShowOutputLine(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    WriteLine(line);
}

void TerminalPort::ShowOutputLines(const std::vector<std::string>& lines) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& line : lines) WriteLine(line);
}

void TerminalPort::WriteLine(const std::string& line) {
    std::string text = ForTerminal(line);
    if (output_.logFile) {
        std::fwrite(text.data(), 1, text.size(), output_.logFile);
        std::fputc('\n', output_.logFile);
        std::fflush(output_.logFile);
    }
    if (output_.quiet && !ReportsFailure(text)) return;
    if (output_.hideRowCountLines && IsRowCountLine(text)) return;
    ClearProgressLine();
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    DrawProgressLine();
}

void TerminalPort::ShowHint(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (output_.quiet) return;
    ClearProgressLine();
    std::fprintf(stderr, "hint: %s\n", ForTerminal(text).c_str());
    DrawProgressLine();
}

void TerminalPort::SetOutput(const Output& output) {
    std::lock_guard<std::mutex> lock(mutex_);
    output_ = output;
}

void TerminalPort::ShowTableProgress(const TableProgress& progress) {
    using Clock = std::chrono::steady_clock;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!output_.liveProgress || output_.quiet) return;
    const Clock::time_point now = Clock::now();
    auto [clock, added] = clocks_.try_emplace(progress.table, TableClock{now, Clock::time_point(), now, progress});
    // A wait is timed from the last row, or from the moment the target began or ceased holding.
    if (added || progress.rowsDone != clock->second.last.rowsDone ||
        progress.targetHolding != clock->second.last.targetHolding) {
        clock->second.changed = now;
    }
    clock->second.last = progress;
    // A redraw ten times a second is live enough and costs the copy nothing.
    if (!progress.finished && !added && now - clock->second.drawn < std::chrono::milliseconds(100)) {
        return;
    }
    clock->second.drawn = now;
    ProgressFigures figures{progress.table, progress.rowsDone, progress.expectedRows,
                            std::chrono::duration<double>(now - clock->second.start).count(),
                            progress.finished};
    ClearProgressLine();
    progressLine_ = FormatProgressLine(figures, output_.width);
    if (progress.finished) {
        // The finished line stays; the next table gets a line of its own.
        std::fprintf(stderr, "%s\n", progressLine_.c_str());
        std::fflush(stderr);
        progressLine_.clear();
        clocks_.erase(clock);
        return;
    }
    DrawProgressLine();
}

void TerminalPort::TickProgress() {
    using Clock = std::chrono::steady_clock;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!output_.liveProgress || output_.quiet || clocks_.empty()) return;
    const Clock::time_point now = Clock::now();
    // The table drawn last is the one on the line.
    auto shown = clocks_.begin();
    for (auto it = clocks_.begin(); it != clocks_.end(); ++it) {
        if (it->second.drawn > shown->second.drawn) shown = it;
    }
    const TableClock& clock = shown->second;
    const double waiting = std::chrono::duration<double>(now - clock.changed).count();
    if (waiting < kWaitingShownAfter) return;
    ProgressFigures figures{clock.last.table, clock.last.rowsDone, clock.last.expectedRows,
                            std::chrono::duration<double>(now - clock.start).count(), false, waiting,
                            clock.last.targetHolding};
    ClearProgressLine();
    progressLine_ = FormatProgressLine(figures, output_.width);
    DrawProgressLine();
}

void TerminalPort::ClearProgressLine() {
    if (progressLine_.empty()) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
}

void TerminalPort::DrawProgressLine() {
    if (progressLine_.empty()) return;
    std::fprintf(stderr, "\r%s\033[K", progressLine_.c_str());
    std::fflush(stderr);
}

void TerminalPort::ShowStatus(int, const std::string&) {}

void TerminalPort::ShowMessage(const std::string& text, const std::string&) {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(text);
    ClearProgressLine();
    std::fprintf(stderr, "%s\n", ForTerminal(text).c_str());
    DrawProgressLine();
}

std::optional<std::string> TerminalPort::ReadAnswer(const std::string& prompt) {
    std::fprintf(stderr, "%s", prompt.c_str());
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) return std::nullopt;
    return answer;
}

bool TerminalPort::AskOkCancel(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string question = ForTerminal(text);
    if (assumeYes_) {
        if (!output_.quiet) {
            ClearProgressLine();
            std::fprintf(stderr, "%s [yes]\n", question.c_str());
            DrawProgressLine();
        }
        return true;
    }
    if (!interactive_) {
        unanswered_.push_back(text);
        std::fprintf(stderr, "%s [not answered: no terminal; --yes answers yes]\n",
                     question.c_str());
        return false;
    }
    std::optional<std::string> answer = ReadAnswer(question + " [y/N] ");
    return answer && !answer->empty() && (answer->front() == 'y' || answer->front() == 'Y');
}

bool TerminalPort::AskYesNo(const std::string& text, MessageIcon) { return AskOkCancel(text); }

std::optional<std::string> TerminalPort::ChooseFolder(const std::string&, const std::string&) {
    std::lock_guard<std::mutex> lock(mutex_);
    return chosenFolder_;
}

std::optional<std::string> TerminalPort::PromptText(const std::string& label) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!interactive_) {
        unanswered_.push_back(label);
        std::fprintf(stderr, "%s [not answered: no terminal]\n", label.c_str());
        return std::nullopt;
    }
    return ReadAnswer(label + " ");
}

std::optional<int> TerminalPort::ChooseOne(const std::string& title,
                                           const std::vector<std::string>& options,
                                           int preselected) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!interactive_) {
        unanswered_.push_back(title);
        return std::nullopt;
    }
    for (size_t i = 0; i < options.size(); ++i) {
        std::fprintf(stderr, "%2zu %s%s\n", i, options[i].c_str(),
                     static_cast<int>(i) == preselected ? " (current)" : "");
    }
    std::optional<std::string> answer = ReadAnswer(title + " ");
    if (!answer) return std::nullopt;
    try {
        int choice = std::stoi(*answer);
        if (choice >= 0 && static_cast<size_t>(choice) < options.size()) return choice;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

void TerminalPort::TreeChanged(TreeSide) {}
void TerminalPort::TaskListChanged() {}
void TerminalPort::ShowStopStartButton(bool, const std::string&) {}

void TerminalPort::SetChosenFolder(std::string folder) {
    std::lock_guard<std::mutex> lock(mutex_);
    chosenFolder_ = std::move(folder);
}

std::vector<std::string> TerminalPort::UnansweredQuestions() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return unanswered_;
}

std::vector<std::string> TerminalPort::Messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

}  // namespace velmora::cli
