#include "TextPromptDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace velmora {

TextPromptDialog::TextPromptDialog(const QString& label, QWidget* parent)
    : QDialog(parent), edit_(new QLineEdit) {
    setWindowTitle(label.endsWith(':') ? label.chopped(1) : label);
    edit_->setMinimumWidth(260);
    auto* form = new QFormLayout;
    form->addRow(new QLabel(label), edit_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    edit_->setFocus();
}

QString TextPromptDialog::value() const { return edit_->text(); }

}  // namespace velmora
