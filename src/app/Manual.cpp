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

QString ManualPath() { return QDir(ProgramFolder()).filePath(QStringLiteral("manual.html")); }

bool OpenManual() {
    const QString path = ManualPath();
    if (!QFileInfo(path).isFile()) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace velmora
