#include "ChoiceDialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace velmora {

ChoiceDialog::ChoiceDialog(const QString& title, const QStringList& options, int preselected,
                           QWidget* parent)
    : QDialog(parent), group_(new QButtonGroup(this)) {
    setWindowTitle(title);
    auto* grid = new QGridLayout;
    grid->setSpacing(4);
    // A square-ish grid: 36 options give six rows of six.
    const int columns = std::max(1, static_cast<int>(std::ceil(std::sqrt(options.size()))));
    for (int i = 0; i < options.size(); ++i) {
        auto* button = new QPushButton(options[i]);
        button->setCheckable(true);
        button->setAutoDefault(false);
        button->setMinimumWidth(84);
        // The chosen option stands out, not just pressed in.
        button->setStyleSheet(QStringLiteral(
            "QPushButton:checked { background: #3c6eb4; color: white; font-weight: bold; }"));
        group_->addButton(button, i);
        grid->addWidget(button, i / columns, i % columns);
    }
    group_->setExclusive(true);
    if (QAbstractButton* button = group_->button(preselected)) button->setChecked(true);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto update = [this] { buttons_->button(QDialogButtonBox::Ok)->setEnabled(chosen() >= 0); };
    connect(group_, &QButtonGroup::idToggled, this, update);
    update();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons_);
}

int ChoiceDialog::chosen() const { return group_->checkedId(); }

}  // namespace velmora
