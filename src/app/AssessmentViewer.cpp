#include "AssessmentViewer.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QThread>
#include <QVBoxLayout>

#include "assessment/AssessmentReport.h"
#include "tasks/OperationLog.h"

namespace velmora {

AssessmentRunner::AssessmentRunner(QObject* parent) : QObject(parent) {}

AssessmentRunner::~AssessmentRunner() {
    if (thread_) thread_->wait();
}

bool AssessmentRunner::running() const { return thread_ != nullptr; }

bool AssessmentRunner::Start(OperationLog& log, const ConnectionSettings& source,
                             const ConnectionFactory& factory, const std::string& database,
                             const TaskOptions& choices, const std::string& targetVersion) {
    if (thread_) return false;
    auto run = std::make_shared<AssessmentRun>();
    AssessmentSettings settings;
    settings.targetVersion = targetVersion;
    if (!targetVersion.empty()) settings.targetVersionFrom = "read from the connected target";
    settings.progress = [&log](const std::string& what) {
        log.WriteOutputLine("ASSESS: %s", what.c_str());
    };
    thread_ = QThread::create([run, &log, source, factory, database, settings, choices] {
        *run = AssessSource(log, source, factory, {database}, settings, choices);
    });
    connect(thread_, &QThread::finished, this, [this, run] {
        thread_->deleteLater();
        thread_ = nullptr;
        emit finished(run);
    });
    thread_->start();
    return true;
}

AssessmentViewer::AssessmentViewer(Assessment assessment, QWidget* parent)
    : QDialog(parent), assessment_(std::move(assessment)) {
    setWindowTitle(QStringLiteral("Assessment"));
    resize(900, 700);
    browser_ = new QTextBrowser(this);
    browser_->setOpenLinks(true);
    browser_->setOpenExternalLinks(false);
    browser_->setHtml(QString::fromStdString(AssessmentHtml(assessment_)));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* html = buttons->addButton(QStringLiteral("Save HTML..."), QDialogButtonBox::ActionRole);
    QPushButton* json = buttons->addButton(QStringLiteral("Save JSON..."), QDialogButtonBox::ActionRole);
    connect(html, &QPushButton::clicked, this, [this] { Save(true); });
    connect(json, &QPushButton::clicked, this, [this] { Save(false); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_);
    layout->addWidget(buttons);
}

namespace {

bool WriteText(const QString& path, const std::string& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size()) &&
           file.flush();
}

}  // namespace

bool AssessmentViewer::SaveHtml(const QString& path) const {
    return WriteText(path, AssessmentHtml(assessment_));
}

bool AssessmentViewer::SaveJson(const QString& path) const {
    return WriteText(path, AssessmentJson(assessment_, 0));
}

void AssessmentViewer::Save(bool html) {
    std::vector<std::string> names;
    for (const DatabaseAssessment& database : assessment_.databases) names.push_back(database.name);
    const QString suggested = QString::fromStdString(DefaultAssessmentFile(names, html ? "html" : "json"));
    const QString path = QFileDialog::getSaveFileName(this, html ? tr("Save HTML") : tr("Save JSON"), suggested);
    if (path.isEmpty()) return;
    if (!(html ? SaveHtml(path) : SaveJson(path))) {
        QMessageBox::warning(this, QStringLiteral("Assessment"), QStringLiteral("Cannot write ") + path);
    }
}

}  // namespace velmora
