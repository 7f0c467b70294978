// ConfigDialog: the "Config" dialog. Both sides' connection fields (provider, source name, user,
// password, catalog; the target's Encrypt and TrustServerCertificate), the options, and the buttons "Save Config", "Test Connections" and
// "Connect" (the default). The fields are bound to the core's ConfigDialogModel, which reads and
// writes migrator.cfg and runs the connect sequence; the dialog only copies values between the
// widgets and the model.
//
// Interface thread only.
#pragma once

#include <QDialog>

#include "config/ConfigDialogModel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace velmora {

class ConfigDialog : public QDialog {
    Q_OBJECT
public:
    // Loads the configuration into `model` and shows it.
    explicit ConfigDialog(ConfigDialogModel& model, QWidget* parent = nullptr);

    struct SideWidgets {
        QComboBox* kind = nullptr;  // "Source DB:" / "Target DB:", disabled
        QComboBox* provider = nullptr;
        QLabel* sourceNameLabel = nullptr;
        QComboBox* sourceName = nullptr;  // editable
        QLineEdit* userId = nullptr;
        QLineEdit* password = nullptr;
        QLineEdit* catalogName = nullptr;
        // The target's TLS choices; null on the source side.
        QComboBox* encrypt = nullptr;  // driver default, Optional, Mandatory, Strict
        QCheckBox* trustServerCertificate = nullptr;
    };
    const SideWidgets& side(ConfigSide which) const { return sides_[static_cast<int>(which)]; }
    QCheckBox* configBox() const { return config_; }
    QCheckBox* autoBackupBox() const { return autoBackup_; }
    QCheckBox* tipsBox() const { return tips_; }
    QComboBox* translationBox() const { return translation_; }
    QSpinBox* jobsBox() const { return jobs_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* testButton() const { return test_; }
    QPushButton* connectButton() const { return connect_; }

signals:
    // "Display Tips" changed: the main window shows or removes the Tips tab at once.
    void tipsChanged(bool shown);
    // "Connect" ran the connect sequence.
    void connected();

protected:
    // Selects a preset source name when the user clicks into it, so that typing replaces it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* BuildSide(ConfigSide which, const QString& title, const QString& kindLabel);
    void ShowModel();
    void ShowSide(ConfigSide which);
    void TakeFields();
    void OnProviderChosen(ConfigSide which, int index);
    void OnSaveConfig();
    void OnTestConnections();
    void OnConnect();

    ConfigDialogModel& model_;
    SideWidgets sides_[2];
    QCheckBox* config_ = nullptr;
    QCheckBox* autoBackup_ = nullptr;
    QCheckBox* tips_ = nullptr;
    QComboBox* translation_ = nullptr;
    QSpinBox* jobs_ = nullptr;
    QLineEdit* targetSchema_ = nullptr;
    QLineEdit* typeMap_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* test_ = nullptr;
    QPushButton* connect_ = nullptr;
    bool showing_ = false;
    // Per side: the source name shows the value a provider choice preset, not yet edited.
    bool presetShown_[2] = {false, false};
};

}  // namespace velmora
