#include "ConfigDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <iterator>

namespace velmora {

namespace {

// The translation mode of the choice's row: Full first, then Classic.
TranslationMode TranslationAt(int index) {
    return index == 1 ? TranslationMode::Classic : TranslationMode::Full;
}

}  // namespace

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

}  // namespace

ConfigDialog::ConfigDialog(ConfigDialogModel& model, QWidget* parent)
    : QDialog(parent), model_(model) {
    setWindowTitle(QStringLiteral("Config"));
    auto* groups = new QHBoxLayout;
    groups->addWidget(BuildSide(ConfigSide::Source, QStringLiteral("MySQL"),
                                QStringLiteral("Source DB:")));
    groups->addWidget(BuildSide(ConfigSide::Target, QStringLiteral("MSSQL"),
                                QStringLiteral("Target DB:")));

    auto* options = new QGroupBox(QStringLiteral("Options"));
    auto* optionLayout = new QVBoxLayout(options);
    config_ = new QCheckBox(QStringLiteral("Properties from and to config file"));
    autoBackup_ = new QCheckBox(QStringLiteral("Auto Backup (need more time and disk space)"));
    tips_ = new QCheckBox(QStringLiteral("Display Tips"));
    auto* overwriteTable = new QCheckBox(QStringLiteral("Overwrite the same-name table"));
    auto* overwriteDatabase = new QCheckBox(QStringLiteral("Overwrite the same-name database"));
    overwriteTable->setEnabled(false);
    overwriteDatabase->setEnabled(false);
    for (QCheckBox* box : {config_, autoBackup_, tips_, overwriteTable, overwriteDatabase}) {
        optionLayout->addWidget(box);
    }
    // Full: a type mapping under which every value fits its column; Classic: the plain rule
    // chain of earlier versions.
    auto* translationRow = new QHBoxLayout;
    translationRow->addWidget(new QLabel(QStringLiteral("Translation:")));
    translation_ = new QComboBox;
    translation_->setObjectName(QStringLiteral("translation"));
    translation_->addItem(QStringLiteral("Full (every MySQL value fits its column)"));
    translation_->addItem(QStringLiteral("Classic (the plain rule chain)"));
    translationRow->addWidget(translation_, 1);
    // Full mode copies this many tables at once, each on connections of its own.
    translationRow->addWidget(new QLabel(QStringLiteral("Tables at once:")));
    jobs_ = new QSpinBox;
    jobs_->setObjectName(QStringLiteral("jobs"));
    jobs_->setRange(1, kMaxJobs);
    jobs_->setToolTip(QStringLiteral("Full translation: tables copied at the same time"));
    translationRow->addWidget(jobs_);
    optionLayout->addLayout(translationRow);
    // Where the tables go (a schema of the target database) and the user's own type choices.
    auto* targetRow = new QHBoxLayout;
    targetRow->addWidget(new QLabel(QStringLiteral("Target schema:")));
    targetSchema_ = new QLineEdit;
    targetSchema_->setObjectName(QStringLiteral("targetSchema"));
    targetSchema_->setPlaceholderText(QStringLiteral("dbo"));
    targetSchema_->setToolTip(QStringLiteral("Full translation: the schema that receives the tables and views "
                                             "(created when missing)"));
    targetRow->addWidget(targetSchema_);
    targetRow->addWidget(new QLabel(QStringLiteral("Type map:")));
    typeMap_ = new QLineEdit;
    typeMap_->setObjectName(QStringLiteral("typeMap"));
    typeMap_->setPlaceholderText(QStringLiteral("none"));
    typeMap_->setToolTip(QStringLiteral("A file of rules such as tinyint(1) = bit, applied before the built-in "
                                        "type map"));
    targetRow->addWidget(typeMap_, 1);
    optionLayout->addLayout(targetRow);
    connect(translation_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!showing_) model_.translation = TranslationAt(index);
    });
    connect(jobs_, &QSpinBox::valueChanged, this, [this](int jobs) {
        if (!showing_) model_.jobs = jobs;
    });
    connect(config_, &QCheckBox::toggled, this, [this](bool on) {
        if (!showing_) model_.configChecked = on;
    });
    connect(autoBackup_, &QCheckBox::toggled, this, [this](bool on) {
        if (!showing_) model_.autoBackupChecked = on;
    });
    connect(tips_, &QCheckBox::toggled, this, [this](bool on) {
        if (showing_) return;
        model_.SetTipsChecked(on);
        emit tipsChanged(on);
    });

    // In the order of the work: save, test, connect.
    auto* buttons = new QHBoxLayout;
    save_ = new QPushButton(QStringLiteral("Save Config"));
    test_ = new QPushButton(QStringLiteral("Test Connections"));
    connect_ = new QPushButton(QStringLiteral("Connect"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    buttons->addWidget(save_);
    buttons->addWidget(test_);
    buttons->addStretch();
    buttons->addWidget(connect_);
    buttons->addWidget(cancel);
    save_->setAutoDefault(false);
    test_->setAutoDefault(false);
    cancel->setAutoDefault(false);
    connect_->setDefault(true);
    connect(save_, &QPushButton::clicked, this, &ConfigDialog::OnSaveConfig);
    connect(test_, &QPushButton::clicked, this, &ConfigDialog::OnTestConnections);
    connect(connect_, &QPushButton::clicked, this, &ConfigDialog::OnConnect);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addWidget(options);
    layout->addLayout(buttons);

    model_.LoadConfiguration();
    ShowModel();
}

QWidget* ConfigDialog::BuildSide(ConfigSide which, const QString& title, const QString& kindLabel) {
    SideWidgets& side = sides_[static_cast<int>(which)];
    auto* group = new QGroupBox(title);
    auto* form = new QFormLayout(group);
    side.kind = new QComboBox;
    side.kind->addItem(title);
    side.kind->setEnabled(false);
    side.provider = new QComboBox;
    side.provider->setMinimumWidth(300);
    side.sourceNameLabel = new QLabel;
    side.sourceName = new QComboBox;
    side.sourceName->setEditable(true);
    side.userId = new QLineEdit;
    side.password = new QLineEdit;
    side.password->setEchoMode(QLineEdit::Password);
    side.catalogName = new QLineEdit;
    form->addRow(kindLabel, side.kind);
    form->addRow(QStringLiteral("Provider:"), side.provider);
    form->addRow(side.sourceNameLabel, side.sourceName);
    form->addRow(QStringLiteral("User ID:"), side.userId);
    form->addRow(QStringLiteral("Password:"), side.password);
    form->addRow(QStringLiteral("Catalog Name:"), side.catalogName);
    if (which == ConfigSide::Target) {
        side.encrypt = new QComboBox;
        for (const char* choice : kEncryptChoices) {
            QString text = Q(choice);
            side.encrypt->addItem(text.isEmpty() ? QStringLiteral("Driver default")
                                                 : text.left(1).toUpper() + text.mid(1));
        }
        side.encrypt->setToolTip(QStringLiteral(
            "Encryption of the connection. Microsoft's ODBC Driver 18 encrypts by default;\n"
            "Strict needs SQL Server 2022 (TDS 8). FreeTDS: Optional = request, "
            "Mandatory = require."));
        side.trustServerCertificate =
            new QCheckBox(QStringLiteral("Trust the server certificate (self-signed test servers)"));
        side.trustServerCertificate->setToolTip(QStringLiteral(
            "TrustServerCertificate=yes: the connection stays encrypted but the certificate is "
            "not checked.\nMicrosoft's drivers only; FreeTDS checks no certificate anyway."));
        form->addRow(QStringLiteral("Encrypt:"), side.encrypt);
        form->addRow(QString(), side.trustServerCertificate);
    }
    connect(side.provider, &QComboBox::currentIndexChanged, this,
            [this, which](int index) { OnProviderChosen(which, index); });
    side.sourceName->lineEdit()->installEventFilter(this);
    connect(side.sourceName->lineEdit(), &QLineEdit::textEdited, this,
            [this, which] { presetShown_[static_cast<int>(which)] = false; });
    return group;
}

void ConfigDialog::ShowModel() {
    showing_ = true;
    ShowSide(ConfigSide::Source);
    ShowSide(ConfigSide::Target);
    config_->setChecked(model_.configChecked);
    autoBackup_->setChecked(model_.autoBackupChecked);
    tips_->setChecked(model_.tipsChecked);
    translation_->setCurrentIndex(model_.translation == TranslationMode::Full ? 0 : 1);
    jobs_->setValue(model_.jobs);
    targetSchema_->setText(Q(model_.targetSchema));
    typeMap_->setText(Q(model_.typeMap));
    showing_ = false;
}

void ConfigDialog::ShowSide(ConfigSide which) {
    const ConfigSideFields& fields = model_.fields(which);
    SideWidgets& side = sides_[static_cast<int>(which)];
    QSignalBlocker block(side.provider);
    side.provider->clear();
    for (const std::string& provider : fields.providers) side.provider->addItem(Q(provider));
    side.provider->setCurrentIndex(fields.providerIndex);
    side.sourceNameLabel->setText(Q(fields.sourceNameLabel) + QLatin1Char(':'));
    side.sourceName->clear();
    for (const std::string& choice : fields.sourceNameChoices) side.sourceName->addItem(Q(choice));
    side.sourceName->setEditText(Q(fields.sourceName));
    side.userId->setText(Q(fields.userId));
    side.password->setText(Q(fields.password));
    side.catalogName->setText(Q(fields.catalogName));
    if (side.encrypt) {
        int index = 0;
        for (int i = 0; i < static_cast<int>(std::size(kEncryptChoices)); ++i) {
            if (fields.encrypt == kEncryptChoices[i]) index = i;
        }
        side.encrypt->setCurrentIndex(index);
        side.trustServerCertificate->setChecked(fields.trustServerCertificate);
    }
}

// The typed values into the model, before any button acts on them.
void ConfigDialog::TakeFields() {
    for (ConfigSide which : {ConfigSide::Source, ConfigSide::Target}) {
        ConfigSideFields& fields = model_.fields(which);
        const SideWidgets& side = sides_[static_cast<int>(which)];
        fields.sourceName = S(side.sourceName->currentText());
        fields.userId = S(side.userId->text());
        fields.password = S(side.password->text());
        fields.catalogName = S(side.catalogName->text());
        if (side.encrypt) {
            const int index = side.encrypt->currentIndex();
            fields.encrypt = index > 0 ? kEncryptChoices[index] : "";
            fields.trustServerCertificate = side.trustServerCertificate->isChecked();
        }
    }
    model_.configChecked = config_->isChecked();
    model_.autoBackupChecked = autoBackup_->isChecked();
    model_.tipsChecked = tips_->isChecked();
    model_.translation = TranslationAt(translation_->currentIndex());
    model_.jobs = jobs_->value();
    model_.targetSchema = S(targetSchema_->text().trimmed());
    model_.typeMap = S(typeMap_->text().trimmed());
}

void ConfigDialog::OnProviderChosen(ConfigSide which, int index) {
    if (index < 0) return;
    TakeFields();
    model_.ChooseProvider(which, index);
    showing_ = true;
    ShowSide(which);
    showing_ = false;
    // A preset ("127.0.0.1" for TCP/IP) is shown selected: what the user types replaces it.
    QLineEdit* name = sides_[static_cast<int>(which)].sourceName->lineEdit();
    presetShown_[static_cast<int>(which)] = !name->text().isEmpty();
    name->selectAll();
}

bool ConfigDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        for (int which = 0; which < 2; ++which) {
            QLineEdit* name = sides_[which].sourceName->lineEdit();
            // Only the first click: a second one places the cursor as usual.
            if (watched == name && presetShown_[which]) {
                presetShown_[which] = false;
                if (!name->hasSelectedText()) name->selectAll();
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ConfigDialog::OnSaveConfig() {
    TakeFields();
    model_.SaveConfigCommand();
}

void ConfigDialog::OnTestConnections() {
    TakeFields();
    model_.TestConnectionsCommand();
}

void ConfigDialog::OnConnect() {
    TakeFields();
    hide();
    model_.ConnectButton();
    emit connected();
    accept();
}

}  // namespace velmora
