#include "QtPort.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QThread>

#include "ChoiceDialog.h"
#include "PortView.h"
#include "TextPromptDialog.h"

namespace velmora {

namespace {

QString ToQt(const std::string& text) { return QString::fromStdString(text); }

// The core's texts are shown as they stand, never interpreted as rich text.
QMessageBox::StandardButton Ask(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton defaultButton,
                                const QString& caption = {}) {
    QMessageBox box(icon, caption.isEmpty() ? QStringLiteral("Velmora") : caption, text, buttons,
                    parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

QtPort::QtPort(QObject* parent) : QObject(parent) {}

QtPort::~QtPort() { Shutdown(); }

void QtPort::Attach(PortView* view) { view_ = view; }

void QtPort::Shutdown() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        shutDown_ = true;
    }
    done_.notify_all();
}

bool QtPort::IsShutDown() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return shutDown_;
}

template <typename Result>
Result QtPort::Call(std::function<Result()> work, Result fallback) {
    if (QThread::currentThread() == thread()) return work();

    struct Pending {
        bool done = false;
        Result result;
    };
    auto pending = std::make_shared<Pending>();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (shutDown_) return fallback;
    }
    // The queued work holds the shared state, so it may run after the caller gave up waiting.
    QMetaObject::invokeMethod(
        this,
        [this, pending, work = std::move(work)] {
            // A caller released by Shutdown no longer waits: its work is dropped, so no
            // question pops up after the window has gone.
            if (IsShutDown()) return;
            Result result = work();
            {
                std::lock_guard<std::mutex> lock(mutex_);
                pending->result = std::move(result);
                pending->done = true;
            }
            done_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return pending->done || shutDown_; });
    return pending->done ? pending->result : fallback;
}

void QtPort::Run(std::function<void()> work) {
    Call<bool>(
        [work = std::move(work)] {
            work();
            return true;
        },
        false);
}

void QtPort::ShowOutputLine(const std::string& line) {
    Run([this, text = ToQt(line)] {
        if (view_) view_->AppendLogLine(text);
    });
}

void QtPort::ShowOutputLines(const std::vector<std::string>& lines) {
    QStringList texts;
    for (const std::string& line : lines) texts.append(ToQt(line));
    Run([this, texts = std::move(texts)] {
        if (!view_) return;
        for (const QString& text : texts) view_->AppendLogLine(text);
    });
}

void QtPort::ShowHint(const std::string& text) {
    Run([this, hint = ToQt(text)] {
        if (view_) view_->ShowHintText(hint);
    });
}

void QtPort::ShowStatus(int pane, const std::string& text) {
    Run([this, pane, status = ToQt(text)] {
        if (view_) view_->SetStatusText(pane, status);
    });
}

void QtPort::ShowMessage(const std::string& text, const std::string& caption) {
    Run([this, message = ToQt(text), title = ToQt(caption)] {
        Ask(view_ ? view_->DialogParent() : nullptr, QMessageBox::Information, message,
            QMessageBox::Ok, QMessageBox::Ok, title);
    });
}

bool QtPort::AskOkCancel(const std::string& text) {
    return Call<bool>(
        [this, question = ToQt(text)] {
            return Ask(view_ ? view_->DialogParent() : nullptr, QMessageBox::Question, question,
                       QMessageBox::Ok | QMessageBox::Cancel,
                       QMessageBox::Ok) == QMessageBox::Ok;
        },
        false);
}

bool QtPort::AskYesNo(const std::string& text, MessageIcon icon) {
    return Call<bool>(
        [this, question = ToQt(text), icon] {
            return Ask(view_ ? view_->DialogParent() : nullptr,
                       icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                       question,
                       QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
        },
        false);
}

std::optional<std::string> QtPort::ChooseFolder(const std::string& title,
                                                const std::string& startFolder) {
    return Call<std::optional<std::string>>(
        [this, caption = ToQt(title), start = ToQt(startFolder)]() -> std::optional<std::string> {
            QString folder = QFileDialog::getExistingDirectory(
                view_ ? view_->DialogParent() : nullptr, caption, start);
            if (folder.isEmpty()) return std::nullopt;
            return folder.toStdString();
        },
        std::nullopt);
}

std::optional<std::string> QtPort::PromptText(const std::string& label) {
    return Call<std::optional<std::string>>(
        [this, text = ToQt(label)]() -> std::optional<std::string> {
            TextPromptDialog dialog(text, view_ ? view_->DialogParent() : nullptr);
            if (dialog.exec() != QDialog::Accepted) return std::nullopt;
            return dialog.value().toStdString();
        },
        std::nullopt);
}

std::optional<int> QtPort::ChooseOne(const std::string& title,
                                     const std::vector<std::string>& options, int preselected) {
    QStringList choices;
    for (const std::string& option : options) choices << ToQt(option);
    return Call<std::optional<int>>(
        [this, caption = ToQt(title), choices, preselected]() -> std::optional<int> {
            ChoiceDialog dialog(caption, choices, preselected,
                                view_ ? view_->DialogParent() : nullptr);
            if (dialog.exec() != QDialog::Accepted || dialog.chosen() < 0) return std::nullopt;
            return dialog.chosen();
        },
        std::nullopt);
}

void QtPort::TreeChanged(TreeSide side) {
    Run([this, side] {
        if (view_) view_->RefreshTree(side);
    });
}

void QtPort::TaskListChanged() {
    Run([this] {
        if (view_) view_->RefreshTaskListSoon();
    });
}

void QtPort::ShowStopStartButton(bool pausePicture, const std::string& tooltip) {
    Run([this, pausePicture, tip = ToQt(tooltip)] {
        if (view_) view_->SetStopStartButton(pausePicture, tip);
    });
}

}  // namespace velmora
