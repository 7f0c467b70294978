// QtPort: the core's UserPort on Qt. Everything the core shows or asks ends up on the interface
// thread: a call made there runs at once; a call from another thread (the scheduler) is queued to
// the interface thread and the caller waits until it has been carried out, so a log line is in
// the pane, or a question answered, when the call returns.
//
// Never deadlocks: the work of a queued call owns copies of its arguments and writes its result
// into shared state, so a waiting caller can be released at any time. Shutdown() (called by the
// main window before it stops the scheduler) releases every waiting caller and makes later calls
// from other threads return at once with the cautious answer (Cancel, No, nothing chosen).
//
// Threads: every UserPort member may be called from any thread. Attach and Shutdown belong to
// the interface thread (the thread the port was created on).
#pragma once

#include <QObject>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "tasks/UserPort.h"

namespace velmora {

class PortView;

class QtPort : public QObject, public UserPort {
    Q_OBJECT
public:
    explicit QtPort(QObject* parent = nullptr);
    ~QtPort() override;

    // The view that shows what the port receives; null detaches it (calls then only wait for
    // the interface thread and show nothing).
    void Attach(PortView* view);
    void Shutdown();
    bool IsShutDown() const;

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

private:
    // Runs `work` on the interface thread and returns its result; `fallback` when the port is
    // shut down before the work could run.
    template <typename Result>
    Result Call(std::function<Result()> work, Result fallback);
    void Run(std::function<void()> work);

    PortView* view_ = nullptr;  // interface thread only
    mutable std::mutex mutex_;
    std::condition_variable done_;
    bool shutDown_ = false;
};

}  // namespace velmora
