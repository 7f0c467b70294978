#include "CutoverRunner.h"

#include "commands/FollowCommands.h"
#include "tasks/OperationLog.h"

namespace velmora {

CutoverRunner::~CutoverRunner() {
    stop_->store(true);
    if (thread_) thread_->wait();
}

bool CutoverRunner::Start(OperationLog& log, const ConnectionSettings& source, const ConnectionSettings& target,
                          const ConnectionFactory& factory, const std::string& sourceDatabase,
                          const std::string& targetDatabase, const std::string& schema) {
    if (thread_) return false;
    auto last = std::make_shared<std::string>();
    auto code = std::make_shared<int>(2);
    thread_ = QThread::create([=, &log, stop = stop_] {
        *code = CutoverOnOwnConnections(
            log, source, target, factory, sourceDatabase, targetDatabase, schema, false,
            [stop] { return stop->load(); },
            [&log, last](const std::string& line) {
                log.WriteOutputLine("%s", line.c_str());
                *last = line;
            });
    });
    connect(thread_, &QThread::finished, this, [this, last, code] {
        thread_->deleteLater();
        thread_ = nullptr;
        emit finished(QString::fromStdString(*last), *code == 0);
    });
    thread_->start();
    return true;
}

}  // namespace velmora
