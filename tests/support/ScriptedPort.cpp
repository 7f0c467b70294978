#include "support/ScriptedPort.h"

namespace velmora::test {

void ScriptedPort::Record(const std::string& event) { events_.push_back(event); }

void ScriptedPort::ShowOutputLine(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
    Record("line: " + line);
}

void ScriptedPort::ShowHint(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    hints_.push_back(text);
    Record("hint: " + text);
}

void ScriptedPort::ShowStatus(int pane, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    statuses_.emplace_back(pane, text);
    Record("status " + std::to_string(pane) + ": " + text);
}

void ScriptedPort::ShowMessage(const std::string& text, const std::string& caption) {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(text);
    captions_.push_back(caption);
    Record("message: " + text);
}

bool ScriptedPort::AskOkCancel(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    questions_.push_back(text);
    Record("ok-cancel: " + text);
    if (answers_.empty()) return defaultAnswer;
    bool answer = answers_.front();
    answers_.pop_front();
    return answer;
}

bool ScriptedPort::AskYesNo(const std::string& text, MessageIcon icon) {
    std::lock_guard<std::mutex> lock(mutex_);
    questions_.push_back(text);
    yesNoIcons_.push_back(icon);
    Record("yes-no: " + text);
    if (answers_.empty()) return defaultAnswer;
    bool answer = answers_.front();
    answers_.pop_front();
    return answer;
}

std::optional<std::string> ScriptedPort::ChooseFolder(const std::string& title,
                                                      const std::string& startFolder) {
    std::lock_guard<std::mutex> lock(mutex_);
    Record("choose-folder: " + title + " [" + startFolder + "]");
    if (texts_.empty()) return std::nullopt;
    auto text = texts_.front();
    texts_.pop_front();
    return text;
}

std::optional<std::string> ScriptedPort::PromptText(const std::string& label) {
    std::lock_guard<std::mutex> lock(mutex_);
    Record("prompt: " + label);
    if (texts_.empty()) return std::nullopt;
    auto text = texts_.front();
    texts_.pop_front();
    return text;
}

std::optional<int> ScriptedPort::ChooseOne(const std::string& title,
                                           const std::vector<std::string>& options,
                                           int preselected) {
    std::lock_guard<std::mutex> lock(mutex_);
    Record("choose: " + title + " (" + std::to_string(options.size()) + " options, preselected " +
           std::to_string(preselected) + ")");
    if (choices_.empty()) return std::nullopt;
    auto choice = choices_.front();
    choices_.pop_front();
    return choice;
}

void ScriptedPort::TreeChanged(TreeSide side) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++treeChanges_[static_cast<int>(side)];
    Record(side == TreeSide::Source ? "tree-changed: source" : "tree-changed: target");
}

void ScriptedPort::TaskListChanged() {
    std::lock_guard<std::mutex> lock(mutex_);
    Record("task-list-changed");
}

void ScriptedPort::ShowStopStartButton(bool pausePicture, const std::string& tooltip) {
    std::lock_guard<std::mutex> lock(mutex_);
    Record(std::string("stop-start: ") + (pausePicture ? "pause" : "play") +
           (tooltip.empty() ? "" : " \"" + tooltip + "\""));
}

void ScriptedPort::QueueAnswer(bool answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.push_back(answer);
}

void ScriptedPort::QueueText(std::optional<std::string> text) {
    std::lock_guard<std::mutex> lock(mutex_);
    texts_.push_back(std::move(text));
}

void ScriptedPort::QueueChoice(std::optional<int> choice) {
    std::lock_guard<std::mutex> lock(mutex_);
    choices_.push_back(choice);
}

std::vector<std::string> ScriptedPort::Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

std::vector<std::string> ScriptedPort::OutputLines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

std::vector<std::string> ScriptedPort::Messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

std::vector<std::string> ScriptedPort::Questions() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return questions_;
}

std::vector<std::string> ScriptedPort::Hints() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return hints_;
}

std::vector<std::string> ScriptedPort::StatusTexts(int pane) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> texts;
    for (const auto& [p, text] : statuses_) {
        if (p == pane) texts.push_back(text);
    }
    return texts;
}

int ScriptedPort::TreeChanges(TreeSide side) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return treeChanges_[static_cast<int>(side)];
}

}  // namespace velmora::test

namespace velmora::test {

std::vector<std::string> ScriptedPort::Captions() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return captions_;
}

std::vector<MessageIcon> ScriptedPort::YesNoIcons() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return yesNoIcons_;
}

}  // namespace velmora::test
