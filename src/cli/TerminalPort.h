// TerminalPort: the UserPort of velmora-cli. Output lines go to standard output exactly as the
// Log pane shows them; hints and messages go to standard error. Questions are answered "yes" by
// --yes; otherwise they are asked on the terminal, and without a terminal they are refused and
// remembered, so that the command can stop with a clear message and exit code 2.
//
// Threads: any; writes are serialised by an internal lock.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tasks/UserPort.h"

namespace velmora::cli {

class TerminalPort : public UserPort {
public:
    TerminalPort(bool assumeYes, bool interactive);

    void ShowOutputLine(const std::string& line) override;
    void ShowHint(const std::string& text) override;
    void ShowStatus(int pane, const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    bool AskOkCancel(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    std::optional<std::string> ChooseFolder(const std::string& title,
                                            const std::string& startFolder) override;
    std::optional<std::string> PromptText(const std::string& label) override;
    std::optional<int> ChooseOne(const std::string& title, const std::vector<std::string>& options,
                                 int preselected) override;
    void TreeChanged(TreeSide side) override;
    void TaskListChanged() override;
    void ShowStopStartButton(bool pausePicture, const std::string& tooltip) override;

    // The folder that the folder chooser answers with (backup --to DIR).
    void SetChosenFolder(std::string folder);
    // The questions that could not be answered (no terminal and no --yes).
    std::vector<std::string> UnansweredQuestions() const;
    // Message boxes shown so far (the CLI reports user errors through them).
    std::vector<std::string> Messages() const;

private:
    std::optional<std::string> ReadAnswer(const std::string& prompt);

    const bool assumeYes_;
    const bool interactive_;
    mutable std::mutex mutex_;
    std::optional<std::string> chosenFolder_;
    std::vector<std::string> unanswered_;
    std::vector<std::string> messages_;
};

}  // namespace velmora::cli
