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
    const QDir programDir(QCoreApplication::applicationDirPath());
    // Beside the program, then where the package puts it (<prefix>/share/doc/velmora).
    for (const QString& candidate :
         {programDir.filePath(name), programDir.filePath(QStringLiteral("../share/doc/velmora/") + name)}) {
        if (QFileInfo(candidate).isFile()) return QFileInfo(candidate).canonicalFilePath();
    }
    return inProgramFolder;
}

bool OpenManual() {
    EnsureWorkFolder("./");
    const QString path = ManualPath();
    if (!QFileInfo(path).isFile()) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace velmora
