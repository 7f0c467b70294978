#include "GuiTestSupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTreeWidget>
#include <QDialog>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <map>

namespace velmora::test {

std::map<std::string, TestFactory>& Registry() {
    static std::map<std::string, TestFactory> registry;
    return registry;
}

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
    // A popup menu (a tree's right-click menu) comes before any dialog under it.
    QWidget* modal = QApplication::activePopupWidget();
    if (!modal) modal = QApplication::activeModalWidget();
    if (!modal || answers_.empty() || !modal->isVisible()) return;
    for (const QPointer<QWidget>& answered : handled_) {
        if (answered == modal) return;
    }
    handled_.emplace_back(modal);
    auto answer = std::move(answers_.front());
    answers_.pop_front();
    // Answered from a fresh event, not from inside this timer: an answer that opens another
    // dialog (Save Config's message box) can then be answered by the next poll.
    QTimer::singleShot(0, this, [answer = std::move(answer), target = QPointer<QWidget>(modal)] {
        if (target) answer(target);
    });
}

QStringList RightClick(QTreeWidget* tree, QTreeWidgetItem* item, const QString& choose,
                       const std::function<void(ModalAnswerer&)>& thenAnswer, QStringList* seen) {
    ModalAnswerer answerer;
    QStringList entries;
    answerer.Handle([&](QWidget* widget) {
        auto* menu = qobject_cast<QMenu*>(widget);
        if (!menu) return;
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions()) {
            entries << action->text();
            if (action->text() == choose) chosen = action;
        }
        if (chosen) {
            menu->setActiveAction(chosen);
            QTest::keyClick(menu, Qt::Key_Return);
        } else {
            menu->close();
        }
    });
    if (thenAnswer) thenAnswer(answerer);
    tree->scrollToItem(item);
    const QPoint at = tree->visualItemRect(item).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
    QApplication::sendEvent(tree->viewport(), &event);
    QCoreApplication::processEvents();
    if (seen) *seen = answerer.seen();
    return entries;
}

}  // namespace velmora::test
