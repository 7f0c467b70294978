// ChoiceDialog: a choice among fixed options, one button per option (the character-set choice
// shows its 36 character sets this way), with OK and Cancel. The preselected option starts
// checked; clicking another option checks it, double-clicking it also confirms.
//
// Interface thread only.
#pragma once

#include <QDialog>
#include <QStringList>

class QButtonGroup;
class QDialogButtonBox;

namespace velmora {

class ChoiceDialog : public QDialog {
    Q_OBJECT
public:
    ChoiceDialog(const QString& title, const QStringList& options, int preselected,
                 QWidget* parent = nullptr);

    // The checked option's index, -1 when none is checked.
    int chosen() const;

private:
    QButtonGroup* group_;
    QDialogButtonBox* buttons_;
};

}  // namespace velmora
