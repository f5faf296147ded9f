#include "editing/FrameLoop.h"

#include <vector>

#include <gtest/gtest.h>

#include "foundation/QX_Error.h"

namespace gm {
namespace {

class FakeHost : public FrameHost {
public:
    uint64_t Now = 0;
    bool Active = true;
    FrameLoop* Loop = nullptr;
    int NestedTimers = 0; // timer requests that arrive while events are drained
    std::vector<uint64_t> Frames;
    std::vector<std::string> Errors;
    std::vector<int> Fps;
    int FailFrames = 0;

    uint64_t NowMs() override { return Now; }
    bool ApplicationActive() override { return Active; }
    void ProcessPendingEvents() override {
        for (int i = 0; i < NestedTimers; ++i)
            Loop->OnTimer();
    }
    void RunFrame(uint64_t animClock) override {
        if (FailFrames > 0) {
            --FailFrames;
            RaiseQX("TgmObj3D Present");
        }
        Frames.push_back(animClock);
    }
    void ReportFrameError(const std::string& message) override { Errors.push_back(message); }
    void ShowFps(int frames) override { Fps.push_back(frames); }
};

class FrameLoopTest : public ::testing::Test {
protected:
    FakeHost Host;
    FrameLoop Loop{Host};
    void SetUp() override { Host.Loop = &Loop; }
};

TEST_F(FrameLoopTest, ClockAdvancesByElapsedTimeFromProgramStart) {
    Host.Now = 20;
    Loop.OnTimer();
    Host.Now = 45;
    Loop.OnTimer();
    EXPECT_EQ(Host.Frames, (std::vector<uint64_t>{20, 45}));
}

TEST_F(FrameLoopTest, NestedTimerRequestsAreDroppedNotQueued) {
    Host.NestedTimers = 5;
    Host.Now = 100;
    Loop.OnTimer();
    EXPECT_EQ(Host.Frames.size(), 1u);
    EXPECT_FALSE(Loop.TickBusy());
}

TEST_F(FrameLoopTest, InactiveApplicationNeitherTicksNorLosesTime) {
    Host.Active = false;
    Host.Now = 500;
    Loop.OnTimer();
    EXPECT_TRUE(Host.Frames.empty());
    Host.Active = true;
    Host.Now = 520;
    Loop.OnTimer();
    // The first tick after reactivation covers the whole inactive time.
    EXPECT_EQ(Host.Frames, (std::vector<uint64_t>{520}));
}

TEST_F(FrameLoopTest, ClockDoesNotWrapAfterWeeks) {
    const uint64_t fiftyDays = 50ull * 24 * 3600 * 1000; // past 2^32 ms
    Host.Now = fiftyDays;
    Loop.OnTimer();
    ASSERT_EQ(Host.Frames.size(), 1u);
    EXPECT_EQ(Host.Frames[0], fiftyDays);
}

TEST_F(FrameLoopTest, FailingFrameIsReportedOnceUntilAFrameSucceeds) {
    Host.FailFrames = 3;
    for (int i = 1; i <= 4; ++i) {
        Host.Now = 20u * static_cast<uint64_t>(i);
        Loop.OnTimer();
    }
    EXPECT_EQ(Host.Errors, (std::vector<std::string>{"TgmObj3D Present"}));
    EXPECT_EQ(Host.Frames.size(), 1u);
    Host.FailFrames = 1;
    Host.Now = 100;
    Loop.OnTimer();
    EXPECT_EQ(Host.Errors.size(), 2u); // a new failure after a good frame is reported again
}

TEST_F(FrameLoopTest, FpsShowsFramesOfTheLastClosedWindow) {
    for (uint64_t t = 0; t <= 1000; t += 20) {
        Host.Now = t;
        Loop.CountFrame();
    }
    EXPECT_TRUE(Host.Fps.empty());
    Host.Now = 1001; // closes the window; this frame is not counted in the next one
    Loop.CountFrame();
    EXPECT_EQ(Host.Fps, (std::vector<int>{51}));
}

} // namespace
} // namespace gm
