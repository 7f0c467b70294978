// LogPane: the "Log" tab, the list of output lines. It keeps at most 1,001 lines (the oldest
// goes first), always selects and shows the newest line, and keeps a horizontal extent that
// grows to a wider line's width plus 10 pixels and never shrinks, so the pane can be scrolled
// sideways to the end of the widest line it has shown.
//
// Interface thread only (QtPort brings the scheduler's lines here).
#pragma once

#include <QListWidget>

namespace velmora {

class LogPane : public QListWidget {
    Q_OBJECT
public:
    static constexpr int kMaxLines = 1001;

    explicit LogPane(QWidget* parent = nullptr);

    void AppendLine(const QString& line);
    int horizontalExtent() const { return extent_; }
    QStringList lines() const;

private:
    int extent_ = 0;
};

}  // namespace velmora
