// PortView: what the desktop port needs from the main window to show the core's output: the
// panes, the status bar, the trees and the task list. The main window implements it; tests may
// implement it too.
//
// Interface thread only: QtPort calls it on the interface thread, whichever thread the core
// called the port from.
#pragma once

#include <QString>

class QWidget;

namespace velmora {

enum class TreeSide;

class PortView {
public:
    virtual ~PortView() = default;

    virtual void AppendLogLine(const QString& line) = 0;
    virtual void ShowHintText(const QString& text) = 0;
    virtual void SetStatusText(int pane, const QString& text) = 0;
    virtual void RefreshTree(TreeSide side) = 0;
    virtual void RefreshTaskListSoon() = 0;
    virtual void SetStopStartButton(bool pausePicture, const QString& tooltip) = 0;
    // Parent of the message boxes and dialogs that the port shows.
    virtual QWidget* DialogParent() = 0;
};

}  // namespace velmora
