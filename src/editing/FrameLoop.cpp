#include "editing/FrameLoop.h"

#include "foundation/QX_Error.h"

namespace gm {

void FrameLoop::OnTimer() {
    if (TickBusy_) return; // a tick is draining events: this request is dropped
    if (!Host_.ApplicationActive()) return;
    TickBusy_ = true;
    try {
        Host_.ProcessPendingEvents();
    } catch (...) {
        TickBusy_ = false;
        throw;
    }
    TickBusy_ = false;
    const uint64_t now = Host_.NowMs();
    const uint64_t clock = AnimClock_ + (now - LastTickTime_);
    try {
        AnimClock_ = clock;
        Host_.RunFrame(clock);
    } catch (const ErrorQX& e) {
        if (!ErrorReported_) {
            ErrorReported_ = true;
            Host_.ReportFrameError(e.Message());
        }
        return; // LastTickTime stays, so the next tick covers this one's time too
    }
    ErrorReported_ = false;
    LastTickTime_ = now;
}

void FrameLoop::CountFrame() {
    const uint64_t t = Host_.NowMs();
    if (t - FpsWindowStart_ <= FpsWindowMs) {
        ++FpsFrames_;
        return;
    }
    Host_.ShowFps(FpsFrames_);
    FpsWindowStart_ = t;
    FpsFrames_ = 0;
}

} // namespace gm
