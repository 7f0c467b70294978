#include "Manual.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace velmora {

QString ProgramFolder() {
    const QString home = qEnvironmentVariable("VELMORA_HOME");
    return home.isEmpty() ? QCoreApplication::applicationDirPath() : home;
}

QString ManualPath() {
    const QString name = QStringLiteral("manual.html");
    const QString inProgramFolder = QDir(ProgramFolder()).filePath(name);
    if (QFileInfo(inProgramFolder).isFile()) return inProgramFolder;
    // A program folder set by VELMORA_HOME holds the user's files; the manual ships beside the
    // executable.
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    return QFileInfo(beside).isFile() ? beside : inProgramFolder;
}

bool OpenManual() {
    const QString path = ManualPath();
    if (!QFileInfo(path).isFile()) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace velmora
