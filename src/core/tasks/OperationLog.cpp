#include "tasks/OperationLog.h"

#include <sys/time.h>

#include <cstdio>
#include <ctime>

#include "tasks/UserPort.h"

namespace velmora {

std::string OperationLog::TimePrefix() {
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%02d/%02d/%02d %02d:%02d:%02d:%03d ",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, static_cast<int>(now.tv_usec / 1000));
    return buffer;
}

std::string_view OperationLog::CutMessage(std::string_view message) {
    if (message.size() <= kMaxMessageBytes) return message;
    size_t end = kMaxMessageBytes;
    // Step back over UTF-8 continuation bytes so that no character is split.
    while (end > 0 && (static_cast<unsigned char>(message[end]) & 0xC0) == 0x80) --end;
    return message.substr(0, end);
}

void OperationLog::WriteOutputLine(const char* format, ...) {
    char buffer[kMaxMessageBytes + 1];
    va_list args;
    va_start(args, format);
    int needed = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (needed < 0) return;
    if (static_cast<size_t>(needed) < sizeof buffer) {
        WriteText(std::string_view(buffer, static_cast<size_t>(needed)));
        return;
    }
    // Longer than the buffer: format whole, then cut on a character boundary.
    std::string whole(static_cast<size_t>(needed) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(whole.data(), whole.size(), format, args);
    va_end(args);
    whole.resize(static_cast<size_t>(needed));
    WriteText(whole);
}

namespace {

thread_local std::string tableOfThread;

}  // namespace

LogTableScope::LogTableScope(std::string table) : previous_(std::move(tableOfThread)) {
    tableOfThread = std::move(table);
}

LogTableScope::~LogTableScope() { tableOfThread = std::move(previous_); }

const std::string& LogTableScope::Current() { return tableOfThread; }

std::string OperationLog::Line(std::string_view message) {
    std::string line = TimePrefix();
    const std::string& table = tableOfThread;
    if (!table.empty() && message.find("[" + table + "]") == std::string_view::npos) {
        line += "[" + table + "] ";
    }
    line.append(CutMessage(message));
    return line;
}

void OperationLog::WriteGroup(std::initializer_list<std::string_view> messages) {
    std::vector<std::string> group;
    group.reserve(messages.size());
    for (std::string_view message : messages) group.push_back(Line(message));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const std::string& line : group) {
            if (lines_.size() >= kMaxLines) lines_.pop_front();
            lines_.push_back(line);
        }
    }
    if (port_) port_->ShowOutputLines(group);
}

void OperationLog::WriteText(std::string_view message) {
    std::string line = Line(message);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (lines_.size() >= kMaxLines) lines_.pop_front();
        lines_.push_back(line);
    }
    // Outside the lock: the desktop port waits for the interface thread, which may itself be
    // writing a line at this moment.
    if (port_) port_->ShowOutputLine(line);
}

void OperationLog::ShowHint(const std::string& text) {
    if (port_) port_->ShowHint(text);
}

void OperationLog::ShowMessage(const std::string& text) {
    if (port_) port_->ShowMessage(text);
}

std::vector<std::string> OperationLog::Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return {lines_.begin(), lines_.end()};
}

size_t OperationLog::LineCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_.size();
}

std::vector<std::string> OperationLog::Messages() const {
    std::vector<std::string> messages;
    std::lock_guard<std::mutex> lock(mutex_);
    messages.reserve(lines_.size());
    for (const std::string& line : lines_) messages.push_back(line.substr(24));
    return messages;
}

}  // namespace velmora
