// UserPort: the one way the core shows things to a person and asks them things. Implemented by
// the Qt desktop program, by the terminal front end and by the scripted test double; the core
// never includes a widget.
//
// Threads: every member may be called from the interface thread and from the scheduler thread.
// An implementation hands calls from other threads to its interface thread and returns once the
// call is done (a line shown, a question answered).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velmora {

enum class TreeSide { Source = 0, Target = 1 };

// The icon of a Yes/No question.
enum class MessageIcon { None, Warning };

class UserPort {
public:
    virtual ~UserPort() = default;

    // One finished output line (time stamp included) for the Log pane.
    virtual void ShowOutputLine(const std::string& line) = 0;
    // Lines that belong together (a failure and its reason), shown one after another with no
    // other line between them.
    virtual void ShowOutputLines(const std::vector<std::string>& lines) {
        for (const std::string& line : lines) ShowOutputLine(line);
    }
    // A hint for the user's next step, shown below the "F1 to Help:" heading.
    virtual void ShowHint(const std::string& text) = 0;
    // A status bar pane: 0 title, 1 scheduler state, 2 clock.
    virtual void ShowStatus(int pane, const std::string& text) = 0;
    // A modal message box with an OK button; `caption` is its title (empty: the program's name).
    virtual void ShowMessage(const std::string& text, const std::string& caption = {}) = 0;
    // OK/Cancel question; true for OK.
    virtual bool AskOkCancel(const std::string& text) = 0;
    // Yes/No question with the given icon; true for Yes.
    virtual bool AskYesNo(const std::string& text, MessageIcon icon = MessageIcon::None) = 0;
    // A folder chooser; nothing when cancelled.
    virtual std::optional<std::string> ChooseFolder(const std::string& title,
                                                    const std::string& startFolder) = 0;
    // A one-line text prompt such as "DB Name:"; nothing when cancelled.
    virtual std::optional<std::string> PromptText(const std::string& label) = 0;
    // A choice among fixed options (the character sets); the index, or nothing when cancelled.
    virtual std::optional<int> ChooseOne(const std::string& title,
                                         const std::vector<std::string>& options,
                                         int preselected) = 0;
    // A tree's contents changed and must be shown again.
    virtual void TreeChanged(TreeSide side) = 0;
    // The task list changed and should be shown again at once.
    virtual void TaskListChanged() = 0;
    // The task list's Stop/Start button: the pause picture while the scheduler runs, the play
    // picture otherwise; an empty tooltip leaves the tooltip as it is.
    virtual void ShowStopStartButton(bool pausePicture, const std::string& tooltip) = 0;
};

}  // namespace velmora
