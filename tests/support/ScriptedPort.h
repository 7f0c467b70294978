// ScriptedPort: the UserPort of the tests. It records everything the core shows and answers
// questions from a script (a queue of answers; questions beyond the script are answered with
// the default and recorded, so a test can assert exactly which questions were asked).
#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tasks/UserPort.h"

namespace velmora::test {

class ScriptedPort : public UserPort {
public:
    void ShowOutputLine(const std::string& line) override;
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

    // Answers, consumed in order. Bool answers serve AskOkCancel and AskYesNo.
    void QueueAnswer(bool answer);
    void QueueText(std::optional<std::string> text);  // PromptText and ChooseFolder
    void QueueChoice(std::optional<int> choice);
    bool defaultAnswer = true;

    // What the core showed or asked, in order ("message: ...", "ok-cancel: ...", ...).
    std::vector<std::string> Events() const;
    std::vector<std::string> OutputLines() const;
    std::vector<std::string> Messages() const;   // message boxes
    std::vector<std::string> Questions() const;  // OK/Cancel and Yes/No texts
    std::vector<std::string> Hints() const;
    // Per message box its caption, and per Yes/No question its icon, in order.
    std::vector<std::string> Captions() const;
    std::vector<MessageIcon> YesNoIcons() const;
    std::vector<std::string> StatusTexts(int pane) const;
    int TreeChanges(TreeSide side) const;

private:
    void Record(const std::string& event);

    mutable std::mutex mutex_;
    std::vector<std::string> events_;
    std::vector<std::string> lines_;
    std::vector<std::string> messages_;
    std::vector<std::string> questions_;
    std::vector<std::string> hints_;
    std::vector<std::string> captions_;
    std::vector<MessageIcon> yesNoIcons_;
    std::vector<std::pair<int, std::string>> statuses_;
    int treeChanges_[2] = {0, 0};
    std::deque<bool> answers_;
    std::deque<std::optional<std::string>> texts_;
    std::deque<std::optional<int>> choices_;
};

// How many of `lines` hold `part`.
inline size_t CountContaining(const std::vector<std::string>& lines, const std::string& part) {
    size_t count = 0;
    for (const std::string& line : lines) count += line.find(part) != std::string::npos ? 1 : 0;
    return count;
}

}  // namespace velmora::test
