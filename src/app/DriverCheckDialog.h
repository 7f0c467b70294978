// DriverCheckDialog: which routes to the two servers can work on this computer, shown before the
// user fills in connection properties. Two groups, "MySQL" and "MSSQL", list the rows of the
// core's driver reports (name, state, and "Usable" in green or "Unusable" in red), each with its
// note, download link and, for MySQL, the installer of the driver shipped beside the program.
// OK leads on to the Config dialog; Cancel only closes; after the install button the dialog
// closes with kRecheck and a fresh check follows.
//
// Interface thread only.
#pragma once

#include <QDialog>

#include "config/DriverCheck.h"

class QGridLayout;
class QLabel;
class QPushButton;

namespace velmora {

class DriverCheckDialog : public QDialog {
    Q_OBJECT
public:
    static const QColor& UsableColour();    // green
    static const QColor& UnusableColour();  // red
    // The result of exec() after the install button: a fresh check is to follow.
    static constexpr int kRecheck = 2;

    explicit DriverCheckDialog(DriverCheckModel& model, QWidget* parent = nullptr);

    // The labels of a report's rows: three per row (name, state, usability).
    QList<QLabel*> rowLabels(bool mysql) const;
    QPushButton* installButton() const { return install_; }

private:
    QWidget* BuildGroup(const QString& title, const DriverReport& report, const QString& link,
                        const QString& linkTip, const QString& url, const QString& note,
                        bool mysql);

    DriverCheckModel& model_;
    QList<QLabel*> mysqlLabels_;
    QList<QLabel*> mssqlLabels_;
    QPushButton* install_ = nullptr;
};

}  // namespace velmora
