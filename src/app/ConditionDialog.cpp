#include "ConditionDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QVBoxLayout>

namespace velmora {

ConditionDialog::ConditionDialog(ConditionDialogModel& model, QWidget* parent)
    : QDialog(parent), model_(model) {
    setWindowTitle(QStringLiteral("Migration Condition"));
    query_ = new QLabel(QString::fromStdString(model_.queryLabel()));
    query_->setTextFormat(Qt::PlainText);
    editor_ = new QPlainTextEdit(QString::fromStdString(model_.conditionText()));
    editor_->setTabChangesFocus(true);
    result_ = new QPlainTextEdit;
    result_->setReadOnly(true);
    result_->setMaximumHeight(80);
    test_ = new QPushButton(QStringLiteral("Test"));
    save_ = new QPushButton(QStringLiteral("Save"));
    close_ = new QPushButton(QStringLiteral("Close"));
    test_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(test_);
    buttons->addWidget(save_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Condition(SQL WHERE clause):")));
    layout->addWidget(query_);
    layout->addWidget(editor_);
    layout->addWidget(new QLabel(QStringLiteral("Result:")));
    layout->addWidget(result_);
    layout->addLayout(buttons);
    resize(520, 340);

    connect(editor_, &QPlainTextEdit::textChanged, this, &ConditionDialog::OnEdited);
    connect(test_, &QPushButton::clicked, this, [this] {
        model_.Test();
        ShowState();
    });
    connect(save_, &QPushButton::clicked, this, [this] {
        model_.Save();
        ShowState();
    });
    connect(close_, &QPushButton::clicked, this, [this] {
        model_.Close();
        reject();
    });
    ShowState();
}

void ConditionDialog::OnEdited() {
    // The editor stops at 1,024 characters, as the model does.
    const QString text = editor_->toPlainText();
    if (text.size() > static_cast<int>(kConditionEditorLimit)) {
        const QSignalBlocker block(editor_);
        editor_->setPlainText(text.left(static_cast<int>(kConditionEditorLimit)));
        editor_->moveCursor(QTextCursor::End);
    }
    model_.SetConditionText(editor_->toPlainText().toStdString());
}

void ConditionDialog::ShowState() {
    QString result = QString::fromStdString(model_.resultText());
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result_->setPlainText(result);
    save_->setEnabled(model_.saveEnabled());
}

}  // namespace velmora
