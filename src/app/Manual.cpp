#include "Manual.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include "config/WorkFolder.h"

namespace velmora {

QString ManualPath() {
    const QString name = QStringLiteral("manual.html");
    const QString inProgramFolder =
        QDir(QString::fromStdString(ProgramFolder())).filePath(name);
    if (QFileInfo(inProgramFolder).isFile()) return inProgramFolder;
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    return QFileInfo(beside).isFile() ? beside : inProgramFolder;
}

bool OpenManual() {
    EnsureWorkFolder("./");
    const QString path = ManualPath();
    if (!QFileInfo(path).isFile()) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace velmora
