// SharedConnection: a task's "own" connection that stands for one connection the test holds (the
// SQL Server target double), so that the statements of every task land in that double in order.
// Opening it opens the shared connection when it is not open yet; closing it leaves it open.
#pragma once

#include "data/DataAccess.h"

namespace velmora::test {

class SharedConnection : public DataSourceConnection {
public:
    explicit SharedConnection(DataSourceConnection& shared) : shared_(shared) {}
    ResultCode Open(std::string_view provider, const PropertySet& properties) override {
        return shared_.session() ? kSuccess : shared_.Open(provider, properties);
    }
    ResultCode OpenSession() override {
        return shared_.session() ? kSuccess : shared_.OpenSession();
    }
    Session* session() override { return shared_.session(); }
    ResultCode GetProperty(uint32_t id, std::string& value) override {
        return shared_.GetProperty(id, value);
    }
    void Close() override {}
    std::string ProviderErrorText() const override { return shared_.ProviderErrorText(); }

private:
    DataSourceConnection& shared_;
};

}  // namespace velmora::test
