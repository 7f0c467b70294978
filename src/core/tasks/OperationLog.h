// OperationLog: every step of every command and task, as time-stamped output lines.
//
// A line is the local time "YYYY/MM/DD hh:mm:ss:mmm " followed by the message. Messages are
// formatted printf-style and then taken literally (percent signs in names, statements or driver
// texts are never interpreted again) and are cut at 1,024 bytes, on a character boundary. The
// log keeps at most 1,001 lines, dropping the oldest. Every line is also handed to the UserPort.
//
// Tables at once: a thread that works on one table names it for the time being (LogTableScope);
// every line it writes then names that table: "[table] " goes in front of a line that does not
// hold "[table]" already. A failure line and the reason after it are written as one group
// (WriteGroup), which no other line splits, in the stored lines and at the port.
//
// Thread-safe: the interface thread and the scheduler thread write lines at the same time. The
// stored lines keep the order in which they were written; the port is called outside the lock
// (it may wait for the interface thread), so it never blocks another writer.
#pragma once

#include <cstdarg>
#include <deque>
#include <initializer_list>
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
    // Appends one line for each message, together: a failure and its reason.
    void WriteGroup(std::initializer_list<std::string_view> messages);
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
    // The time stamp, the table's name where the thread names one, and the message.
    static std::string Line(std::string_view message);

    UserPort* port_;
    mutable std::mutex mutex_;
    std::deque<std::string> lines_;
};

// While it lives, the lines this thread writes name `table` (empty: none). Scopes nest.
class LogTableScope {
public:
    explicit LogTableScope(std::string table);
    ~LogTableScope();
    LogTableScope(const LogTableScope&) = delete;
    LogTableScope& operator=(const LogTableScope&) = delete;
    // The table this thread names now (for a thread that it starts to name it too).
    static const std::string& Current();

private:
    std::string previous_;
};

}  // namespace velmora
