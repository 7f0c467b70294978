// CutoverRunner: the "Cut Over" command of the desktop program, off the interface thread: the
// cutover request (commands/FollowCommands.h) on connections of its own while the following
// task runs in the scheduler, its lines in the log, its outcome handed back to the window.
//
// Interface thread; the work runs on a thread of its own, which the runner's end stops and waits
// for.
#pragma once

#include <QObject>
#include <QThread>

#include <atomic>
#include <memory>
#include <string>

#include "config/ConnectSequence.h"

namespace velmora {

class OperationLog;

class CutoverRunner : public QObject {
    Q_OBJECT
public:
    explicit CutoverRunner(QObject* parent = nullptr) : QObject(parent) {}
    ~CutoverRunner() override;

    // False (nothing started) while one runs.
    bool Start(OperationLog& log, const ConnectionSettings& source, const ConnectionSettings& target,
               const ConnectionFactory& factory, const std::string& sourceDatabase,
               const std::string& targetDatabase, const std::string& schema);

signals:
    // The last line and whether the target equals the source.
    void finished(QString outcome, bool matched);

private:
    QThread* thread_ = nullptr;
    std::shared_ptr<std::atomic<bool>> stop_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace velmora
