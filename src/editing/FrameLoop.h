#pragma once
// The editor's heartbeat: a 20 ms timer asks for a tick; a tick drains pending input, advances the
// animation clock by the elapsed time and runs one frame. The loop itself knows no Qt: the host
// supplies the clock, the application state and the event pump, so tests drive it with fakes.

#include <cstdint>
#include <functional>
#include <string>

namespace gm {

class FrameHost {
public:
    virtual ~FrameHost() = default;
    // Milliseconds since the program started (monotonic).
    virtual uint64_t NowMs() = 0;
    virtual bool ApplicationActive() = 0;
    // Processes every pending input event; may re-enter FrameLoop::OnTimer.
    virtual void ProcessPendingEvents() = 0;
    // The frame itself: list updates and drawing. Raises ErrorQX when the device fails.
    virtual void RunFrame(uint64_t animClock) = 0;
    // Shows a frame failure to the user.
    virtual void ReportFrameError(const std::string& message) = 0;
    // Shows the frames counted in the last window of about one second.
    virtual void ShowFps(int frames) = 0;
};

class FrameLoop {
public:
    static constexpr int TimerIntervalMs = 20;
    static constexpr uint64_t FpsWindowMs = 1000;

    explicit FrameLoop(FrameHost& host) : Host_(host) {}

    // Called by the timer. Nested calls while a tick is draining events are dropped, so frames
    // never queue; nothing happens while the application is in the background.
    void OnTimer();

    // Counts one drawn frame and, once a window of just over a second has closed, shows it.
    void CountFrame();

    uint64_t AnimClock() const noexcept { return AnimClock_; }
    bool TickBusy() const noexcept { return TickBusy_; }

private:
    FrameHost& Host_;
    bool TickBusy_ = false;
    uint64_t LastTickTime_ = 0;
    // Counted from the program's start in 64 bits, so weeks of uptime cannot overflow it.
    uint64_t AnimClock_ = 0;
    uint64_t FpsWindowStart_ = 0;
    int FpsFrames_ = 0;
    // A failing device is reported once, not every 20 ms, until a frame succeeds again.
    bool ErrorReported_ = false;
};

} // namespace gm
