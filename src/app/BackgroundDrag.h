// BackgroundDrag: dragging a window by its own background (any point no control takes the mouse
// at: the margins, the tool bar strip, the status bar) moves the window, as dragging its title
// bar would. The platform moves it where it can (a system move); elsewhere the window follows
// the cursor itself.
//
// Interface thread only.
#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

namespace velmora {

class BackgroundDrag : public QObject {
    Q_OBJECT
public:
    // Installs itself on `window` (a top-level widget), whose child it becomes.
    explicit BackgroundDrag(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    bool dragging_ = false;
    QPoint grab_;  // the cursor's global position minus the window's, at the press
};

}  // namespace velmora
