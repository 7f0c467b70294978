// The widget test program: runs every registered QtTest class, or the one named by the first
// argument (ctest runs each class as its own test).
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include "GuiTestSupport.h"

// Runs every registered class, or the one named by the first argument.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The program folder of the run: Condition.cfg, migrator.cfg and work folders land here.
    QTemporaryDir home;
    if (qEnvironmentVariableIsEmpty("VELMORA_HOME")) qputenv("VELMORA_HOME", home.path().toUtf8());
    QStringList arguments = app.arguments();
    QString only;
    if (arguments.size() > 1 && !arguments[1].startsWith('-')) only = arguments.takeAt(1);
    int failures = 0;
    int ran = 0;
    for (auto& [name, factory] : velmora::test::Registry()) {
        if (!only.isEmpty() && only != QString::fromStdString(name)) continue;
        std::unique_ptr<QObject> test = factory();
        failures += QTest::qExec(test.get(), arguments);
        ++ran;
    }
    if (ran == 0) {
        qWarning("no test class named %s", qPrintable(only));
        return 1;
    }
    return failures == 0 ? 0 : 1;
}
