// OperationLog: every step of every command and task, as time-stamped output lines.
//
// A line is the local time "YYYY/MM/DD hh:mm:ss:mmm " followed by the message. Messages are
// formatted printf-style and then taken literally (percent signs in names, statements or driver
// texts are never interpreted again) and are cut at 1,024 bytes, on a character boundary. The
// log keeps at most 1,001 lines, dropping the oldest. Every line is also handed to the UserPort.
//
// Thread-safe: the interface thread and the scheduler thread write lines at the same time. The
// stored lines keep the order in which they were written; the port is called outside the lock
// (it may wait for the interface thread), so it never blocks another writer.
#pragma once

#include <cstdarg>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class UserPort;

class OperationLog {
public:
    static constexpr size_t kMaxMessageBytes = 1024;
    static constexpr size_t kMaxLines = 1001;

    explicit OperationLog(UserPort* port = nullptr) : port_(port) {}

    // Formats the message and appends one line.
    void WriteOutputLine(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Appends one line holding `message` exactly as it stands (cut at 1,024 bytes).
    void WriteText(std::string_view message);
    // Writes the hint through the port.
    void ShowHint(const std::string& text);
    // Shows a message box through the port (nothing without a port).
    void ShowMessage(const std::string& text);

    std::vector<std::string> Lines() const;
    size_t LineCount() const;
    // The message part of every line (time stamp removed), oldest first.
    std::vector<std::string> Messages() const;

    // "YYYY/MM/DD hh:mm:ss:mmm " for the current local time.
    static std::string TimePrefix();
    // Cuts `message` to at most kMaxMessageBytes without splitting a UTF-8 character.
    static std::string_view CutMessage(std::string_view message);

private:
    UserPort* port_;
    mutable std::mutex mutex_;
    std::deque<std::string> lines_;
};

}  // namespace velmora
