#include "GuiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <map>

namespace velmora::test {

namespace {

std::map<std::string, TestFactory>& Registry() {
    static std::map<std::string, TestFactory> registry;
    return registry;
}

}  // namespace

bool RegisterGuiTest(const char* name, TestFactory factory) {
    Registry()[name] = std::move(factory);
    return true;
}

ModalAnswerer::ModalAnswerer() {
    timer_.setInterval(20);
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::Poll);
    timer_.start();
}

void ModalAnswerer::Press(QMessageBox::StandardButton button) {
    answers_.push_back([this, button](QWidget* widget) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box) {
            seen_ << QStringLiteral("(not a message box: %1)").arg(widget->metaObject()->className());
            static_cast<QDialog*>(widget)->reject();
            return;
        }
        seen_ << box->text();
        if (QAbstractButton* target = box->button(button)) {
            target->click();
        } else {
            seen_ << QStringLiteral("(button missing)");
            box->reject();
        }
    });
}

void ModalAnswerer::Handle(std::function<void(QWidget*)> handler) {
    answers_.push_back(std::move(handler));
}

void ModalAnswerer::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || answers_.empty() || !modal->isVisible()) return;
    auto answer = std::move(answers_.front());
    answers_.pop_front();
    answer(modal);
}

}  // namespace velmora::test

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
