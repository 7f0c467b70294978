#include "StopSignals.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace velmora::cli {
namespace {

std::atomic<int> received{0};
int pipeEnds[2] = {-1, -1};
struct sigaction previousInt;
struct sigaction previousTerm;

// Only async-signal-safe work: an atomic exchange, write(2) and _exit(2).
void OnSignal(int signal) {
    int none = 0;
    if (!received.compare_exchange_strong(none, signal)) _exit(128 + signal);
    const char byte = static_cast<char>(signal);
    const ssize_t written = write(pipeEnds[1], &byte, 1);
    (void)written;
}

}  // namespace

StopSignals::StopSignals(std::function<void(int)> onFirst) : onFirst_(std::move(onFirst)) {
    static_assert(std::atomic<int>::is_always_lock_free);
    received = 0;
    if (pipe(pipeEnds) != 0) return;  // no stop request then: the signals keep their default
    watcher_ = std::thread([this] {
        char byte = 0;
        ssize_t count;
        while ((count = read(pipeEnds[0], &byte, 1)) < 0 && errno == EINTR) {
        }
        if (count == 1 && byte != 0 && onFirst_) onFirst_(byte);
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
}

StopSignals::~StopSignals() {
    if (!watcher_.joinable()) return;
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
    // A zero byte ends the watcher when no signal came; after a signal it has ended already.
    const char quit = 0;
    const ssize_t written = write(pipeEnds[1], &quit, 1);
    (void)written;
    watcher_.join();
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

int StopSignals::Received() const { return received.load(); }

const char* SignalName(int signal) {
    switch (signal) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        default: return "a signal";
    }
}

}  // namespace velmora::cli
