#include "DriverCheckDialog.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace velmora {

namespace {

QString Q(const char* text) { return QString::fromUtf8(text); }

// Notes are written with tabs and Windows line ends; a label shows them plainly.
QString NoteText(const char* note) {
    QString text = Q(note);
    text.remove(QLatin1Char('\t'));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

QLabel* RowLabel(const std::string& text, const std::string& detail) {
    auto* label = new QLabel(QString::fromStdString(text));
    label->setTextFormat(Qt::PlainText);
    if (!detail.empty()) label->setToolTip(QString::fromStdString(detail));
    QColor colour;
    if (text.rfind("Unusable", 0) == 0) {
        colour = DriverCheckDialog::UnusableColour();
    } else if (text.rfind("Usable", 0) == 0) {
        colour = DriverCheckDialog::UsableColour();
    }
    if (colour.isValid()) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, colour);
        label->setPalette(palette);
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
    }
    return label;
}

}  // namespace

const QColor& DriverCheckDialog::UsableColour() {
    static const QColor green(0, 255, 0);
    return green;
}

const QColor& DriverCheckDialog::UnusableColour() {
    static const QColor red(255, 0, 0);
    return red;
}

DriverCheckDialog::DriverCheckDialog(DriverCheckModel& model, QWidget* parent)
    : QDialog(parent), model_(model) {
    setWindowTitle(QStringLiteral("Driver Check"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildGroup(Q(DriverCheckModel::kMySqlGroup), model_.sourceReport(),
                                 Q(DriverCheckModel::kMySqlLink), Q(DriverCheckModel::kMySqlLinkTip),
                                 Q(DriverCheckModel::kMySqlUrl), NoteText(DriverCheckModel::kMySqlNote),
                                 true));
    layout->addWidget(BuildGroup(Q(DriverCheckModel::kMsSqlGroup), model_.targetReport(),
                                 Q(DriverCheckModel::kMsSqlLink), QString(),
                                 Q(DriverCheckModel::kMsSqlUrl), NoteText(DriverCheckModel::kMsSqlNote),
                                 false));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(620);
}

QWidget* DriverCheckDialog::BuildGroup(const QString& title, const DriverReport& report,
                                       const QString& link, const QString& linkTip,
                                       const QString& url, const QString& note, bool mysql) {
    auto* group = new QGroupBox(title);
    auto* layout = new QVBoxLayout(group);
    auto* rows = new QGridLayout;
    rows->setColumnStretch(0, 4);
    rows->setColumnStretch(1, 2);
    rows->setColumnStretch(2, 1);
    rows->setVerticalSpacing(4);
    QList<QLabel*>& labels = mysql ? mysqlLabels_ : mssqlLabels_;
    int row = 0;
    for (const DriverCheckRow& entry : report.rows) {
        QLabel* cells[3] = {RowLabel(entry.name, entry.detail), RowLabel(entry.state, {}),
                            RowLabel(entry.usability, {})};
        for (int column = 0; column < 3; ++column) {
            rows->addWidget(cells[column], row, column);
            labels << cells[column];
        }
        ++row;
    }
    layout->addLayout(rows);

    auto* actions = new QHBoxLayout;
    auto* linkButton = new QPushButton(link);
    linkButton->setFlat(true);
    linkButton->setCursor(Qt::PointingHandCursor);
    linkButton->setStyleSheet(QStringLiteral("QPushButton { color: #1a5fb4; text-decoration: underline; }"));
    if (!linkTip.isEmpty()) linkButton->setToolTip(linkTip);
    linkButton->setAutoDefault(false);
    connect(linkButton, &QPushButton::clicked, this, [url] { QDesktopServices::openUrl(QUrl(url)); });
    actions->addWidget(linkButton);
    if (mysql) {
        install_ = new QPushButton(Q(DriverCheckModel::kInstallButton));
        install_->setAutoDefault(false);
        // Whatever the installer did, a fresh check replaces this one.
        connect(install_, &QPushButton::clicked, this, [this] {
            model_.InstallMySqlOdbcCommand();
            done(kRecheck);
        });
        actions->addWidget(install_);
    }
    actions->addStretch();
    layout->addLayout(actions);

    auto* noteLabel = new QLabel(note);
    noteLabel->setWordWrap(true);
    noteLabel->setTextFormat(Qt::PlainText);
    layout->addWidget(noteLabel);
    return group;
}

QList<QLabel*> DriverCheckDialog::rowLabels(bool mysql) const {
    return mysql ? mysqlLabels_ : mssqlLabels_;
}

}  // namespace velmora
