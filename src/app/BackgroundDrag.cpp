#include "BackgroundDrag.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace velmora {

BackgroundDrag::BackgroundDrag(QWidget* window) : QObject(window), window_(window) {
    window_->installEventFilter(this);
}

bool BackgroundDrag::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) return false;
    // A press reaches the window only when no control under the cursor took it.
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton) return false;
            QWindow* handle = window_->windowHandle();
            if (handle && handle->startSystemMove()) return true;
            dragging_ = true;
            grab_ = mouse->globalPosition().toPoint() - window_->pos();
            return true;
        }
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (!dragging_ || !(mouse->buttons() & Qt::LeftButton)) return false;
            window_->move(mouse->globalPosition().toPoint() - grab_);
            return true;
        }
        case QEvent::MouseButtonRelease:
            if (!dragging_) return false;
            dragging_ = false;
            return true;
        default:
            return false;
    }
}

}  // namespace velmora
