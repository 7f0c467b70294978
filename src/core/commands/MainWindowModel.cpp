#include "commands/MainWindowModel.h"

namespace velmora {

MainWindowModel::MainWindowModel(UserPort& port, std::unique_ptr<DataSourceConnection> source,
                                 std::unique_ptr<DataSourceConnection> target)
    : port_(port), log_(&port), source_(std::move(source)), target_(std::move(target)) {}

}  // namespace velmora
