// TextPromptDialog: a one-line prompt with OK and Cancel, such as "DB Name:" for a new target
// database. The text is handed back as typed (even when empty); Cancel or closing the dialog
// returns nothing.
//
// Interface thread only.
#pragma once

#include <QDialog>

class QLineEdit;

namespace velmora {

class TextPromptDialog : public QDialog {
    Q_OBJECT
public:
    explicit TextPromptDialog(const QString& label, QWidget* parent = nullptr);

    QString value() const;

private:
    QLineEdit* edit_;
};

}  // namespace velmora
