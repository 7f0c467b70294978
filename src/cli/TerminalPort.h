// TerminalPort: the UserPort of velmora-cli. Output lines go to standard output exactly as the
// Log pane shows them; hints and messages go to standard error. Questions are answered "yes" by
// --yes; otherwise they are asked on the terminal, and without a terminal they are refused and
// remembered, so that the command can stop with a clear message and exit code 2.
//
// Output settings (SetOutput): with a live display (standard error is a terminal) each table's
// rows are shown on one line redrawn in place (ProgressLine.h), which stays once the table is
// done, and, when standard output is that terminal too, the "N records converted!" lines of
// every thousand rows are left off it;
// --quiet keeps only log lines that report a failure, the messages and the summary; a log file
// receives every log line. Without a terminal and without these options the output is the
// plain lines, byte for byte.
//
// Threads: any; writes are serialised by an internal lock.
#pragma once

#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Converters/WorkerContext.h"
#include "tasks/UserPort.h"

namespace velmora::cli {

class TerminalPort : public UserPort {
public:
    TerminalPort(bool assumeYes, bool interactive);

    void ShowOutputLine(const std::string& line) override;
    void ShowOutputLines(const std::vector<std::string>& lines) override;
    void ShowHint(const std::string& text) override;
    void ShowStatus(int pane, const std::string& text) override;
    void ShowMessage(const std::string& text, const std::string& caption = {}) override;
    bool AskOkCancel(const std::string& text) override;
    bool AskYesNo(const std::string& text, MessageIcon icon = MessageIcon::None) override;
    std::optional<std::string> ChooseFolder(const std::string& title,
                                            const std::string& startFolder) override;
    std::optional<std::string> PromptText(const std::string& label) override;
    std::optional<int> ChooseOne(const std::string& title, const std::vector<std::string>& options,
                                 int preselected) override;
    void TreeChanged(TreeSide side) override;
    void TaskListChanged() override;
    void ShowStopStartButton(bool pausePicture, const std::string& tooltip) override;

    struct Output {
        bool liveProgress = false;  // standard error is a terminal
        // Standard output shares that terminal: the thousand-row count lines say nothing the
        // live line does not. (Into a file or a pipe they go as ever.)
        bool hideRowCountLines = false;
        bool quiet = false;
        std::FILE* logFile = nullptr;  // not owned
        int width = 80;                // of the terminal
    };
    void SetOutput(const Output& output);
    // One table's rows (WorkerContext::tableProgress); drawn only with a live display.
    void ShowTableProgress(const TableProgress& progress);
    // Redraws the line of a table that has had no row for a while, with how long it has waited;
    // called every second while tasks run (any thread).
    void TickProgress();

    // The folder that the folder chooser answers with (backup --to DIR).
    void SetChosenFolder(std::string folder);
    // The questions that could not be answered (no terminal and no --yes).
    std::vector<std::string> UnansweredQuestions() const;
    // Message boxes shown so far (the CLI reports user errors through them).
    std::vector<std::string> Messages() const;

private:
    // One output line to the log file and standard output; the caller holds mutex_.
    void WriteLine(const std::string& line);
    std::optional<std::string> ReadAnswer(const std::string& prompt);
    void ClearProgressLine();
    void DrawProgressLine();

    struct TableClock {
        std::chrono::steady_clock::time_point start;
        std::chrono::steady_clock::time_point drawn;
        std::chrono::steady_clock::time_point changed;  // when its rows last grew
        TableProgress last;
    };

    const bool assumeYes_;
    const bool interactive_;
    mutable std::mutex mutex_;
    std::optional<std::string> chosenFolder_;
    std::vector<std::string> unanswered_;
    std::vector<std::string> messages_;
    Output output_;
    std::map<std::string, TableClock> clocks_;
    std::string progressLine_;  // on the terminal now; empty when none
};

}  // namespace velmora::cli
