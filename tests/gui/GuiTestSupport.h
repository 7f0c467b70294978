// Helpers of the widget tests: a registry that lets one test program hold several QtTest
// classes (ctest runs each class as its own test), an answerer for the modal dialogs that the
// program opens, and a side that is never connected.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "data/DataAccess.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace velmora::test {


using TestFactory = std::function<std::unique_ptr<QObject>()>;
// Registers a QtTest class under its name; returns true so it can initialise a static.
bool RegisterGuiTest(const char* name, TestFactory factory);
std::map<std::string, TestFactory>& Registry();

#define VELMORA_GUI_TEST(Class)                                                              \
    static const bool Class##Registered =                                                    \
        ::velmora::test::RegisterGuiTest(#Class, [] { return std::make_unique<Class>(); });

// Answers the modal dialogs and popup menus the program opens, one queued answer per window, in
// order. A message box is answered by pressing a button; anything else by a function that gets
// the window.
// Texts of the message boxes it answered are kept in order.
class ModalAnswerer : public QObject {
    Q_OBJECT
public:
    ModalAnswerer();
    void Press(QMessageBox::StandardButton button);
    void Handle(std::function<void(QWidget*)> handler);

    int pending() const { return static_cast<int>(answers_.size()); }
    const QStringList& seen() const { return seen_; }

private:
    void Poll();

    QTimer timer_;
    // Every window answered so far that still exists: none is answered twice, even when it
    // becomes the active modal window again after the one above it closed.
    std::vector<QPointer<QWidget>> handled_;
    std::deque<std::function<void(QWidget*)>> answers_;
    QStringList seen_;
};

// Right-clicks the item of `tree` and returns the popup's entries (empty when no popup opened);
// `choose` picks an entry to trigger. `thenAnswer` queues the answers to what the chosen command
// asks next (on the answerer that also answered the popup); `seen` gets the texts it answered.
QStringList RightClick(QTreeWidget* tree, QTreeWidgetItem* item, const QString& choose = {},
                       const std::function<void(ModalAnswerer&)>& thenAnswer = {},
                       QStringList* seen = nullptr);

// A side that is never connected.
class NotConnectedSide : public DataSourceConnection {
public:
    ResultCode Open(std::string_view, const PropertySet&) override { return kFailure; }
    ResultCode OpenSession() override { return kFailure; }
    Session* session() override { return nullptr; }
    ResultCode GetProperty(uint32_t, std::string&) override { return kFailure; }
    void Close() override {}
    std::string ProviderErrorText() const override { return "Unknown Error!"; }
};

}  // namespace velmora::test
