#include <QApplication>

#include "MainWindow.h"

namespace {

// A side that is not connected; Connect replaces it.
class NotConnected : public velmora::DataSourceConnection {
public:
    velmora::ResultCode Open(std::string_view, const velmora::PropertySet&) override {
        return velmora::kFailure;
    }
    velmora::ResultCode OpenSession() override { return velmora::kFailure; }
    velmora::Session* session() override { return nullptr; }
    velmora::ResultCode GetProperty(uint32_t, std::string&) override { return velmora::kFailure; }
    void Close() override {}
    std::string ProviderErrorText() const override { return "Unknown Error!"; }
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    velmora::MainWindowSetup setup;
    setup.source = std::make_unique<NotConnected>();
    setup.target = std::make_unique<NotConnected>();
    velmora::MainWindow window(std::move(setup));
    window.show();
    return QApplication::exec();
}
