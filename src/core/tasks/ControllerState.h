// ControllerState: the one byte that says whether the scheduler thread runs, and whether a stop
// has been asked of it. The window owns it; the scheduler and every long loop of a task read it
// (a task through its stop check), without a lock.
#pragma once

#include <atomic>
#include <cstdint>

namespace velmora {

enum class ControllerState : uint8_t { Idle = 0, Running = 2, StopRequested = 99 };

class ControllerStateCell {
public:
    ControllerState Get() const { return static_cast<ControllerState>(value_.load()); }
    void Set(ControllerState state) { value_.store(static_cast<uint8_t>(state)); }
    bool StopRequested() const { return Get() == ControllerState::StopRequested; }

private:
    std::atomic<uint8_t> value_{static_cast<uint8_t>(ControllerState::Idle)};
};

}  // namespace velmora
