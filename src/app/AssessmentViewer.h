// AssessmentViewer: the window's Assess command. AssessmentRunner runs the assessment of one
// source database on a thread of its own (with a source connection of its own, so the window
// stays usable and its browsing connection is untouched) and hands the result back on the
// interface thread; AssessmentViewer shows the HTML page in a QTextBrowser and saves it, or the
// JSON, where the person chooses.
//
// Threads: both are created and used on the interface thread; the runner's destructor waits for
// an assessment still under way.
#pragma once

#include <QDialog>
#include <QObject>

#include <memory>
#include <string>

#include "assessment/AssessCommand.h"
#include "config/Options.h"

class QTextBrowser;
class QThread;

namespace velmora {

class AssessmentRunner : public QObject {
    Q_OBJECT
public:
    explicit AssessmentRunner(QObject* parent = nullptr);
    ~AssessmentRunner() override;

    bool running() const;
    // Starts the assessment of `database` with the target schema and type map of `choices`,
    // checked against `targetVersion` (read from the connected target; "" none); false (nothing
    // started) while one runs.
    bool Start(OperationLog& log, const ConnectionSettings& source, const ConnectionFactory& factory,
               const std::string& database, const TaskOptions& choices, const std::string& targetVersion = "");

signals:
    void finished(std::shared_ptr<velmora::AssessmentRun> run);

private:
    QThread* thread_ = nullptr;
};

class AssessmentViewer : public QDialog {
    Q_OBJECT
public:
    explicit AssessmentViewer(Assessment assessment, QWidget* parent = nullptr);

    QTextBrowser* browser() const { return browser_; }
    // Writes the page or the JSON to `path`; false when it cannot be written.
    bool SaveHtml(const QString& path) const;
    bool SaveJson(const QString& path) const;

private:
    void Save(bool html);

    Assessment assessment_;
    QTextBrowser* browser_ = nullptr;
};

}  // namespace velmora
