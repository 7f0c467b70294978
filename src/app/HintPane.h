// HintPane: the "Tips" tab. A read-only pane that shows the heading "F1 to Help:" and below it
// the latest hint (a new hint replaces the one before), in bold 12-point red text.
//
// Interface thread only.
#pragma once

#include <QTextEdit>

namespace velmora {

class HintPane : public QTextEdit {
    Q_OBJECT
public:
    static const QString& Heading();  // "F1 to Help:"
    static const QString& StartupHint();

    explicit HintPane(QWidget* parent = nullptr);

    void ShowHint(const QString& text);
    QString hint() const { return hint_; }

private:
    QString hint_;
};

}  // namespace velmora
