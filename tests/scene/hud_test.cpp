// Frame timing on a clock the test sets, and the text of the overlay lines.
#include "scene/hud.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <string>

#include "scene/viewer.h"
#include "support/scripted_platform.h"

namespace {

std::string hudLine(int line) {
    char text[hudLineSize];
    formatHudLine(line, text, sizeof text);
    return text;
}

// Starts from the program's initial timing state and drives the platform clock by hand.
struct FrameTiming : ::testing::Test {
    ScriptedPlatformSession session;
    void SetUp() override {
        clockSeconds = fpsPeriodStart = framesPerSecond = animationPhase = 0;
        fpsFrameCount = 0;
    }
    void frameAt(uint32_t milliseconds) {
        scripted.clockMilliseconds = milliseconds;
        updateFrameTiming();
    }
    // Frames every 20 ms on from `milliseconds` until a period closes; returns how many it took.
    int periodAtFiftyPerSecond(uint32_t& milliseconds) {
        for (int frames = 1; frames <= 20; ++frames) {
            frameAt(milliseconds += 20);
            if (fpsFrameCount == 0) return frames;
        }
        return 0;
    }
};

}  // namespace

TEST_F(FrameTiming, FirstUpdateMeasuresFromClockStart) {
    frameAt(3600000);  // an hour after the clock's start
    EXPECT_NEAR(framesPerSecond, 1 / 3600.0f, 1e-7);
    EXPECT_NE(hudLine(3).find("FPS: 0.00\n"), std::string::npos) << hudLine(3);
    EXPECT_EQ(animationPhase, 1);
}

TEST_F(FrameTiming, PeriodClosesOnlyStrictlyPastTwoTenths) {
    frameAt(3000);
    const float firstRate = framesPerSecond;
    frameAt(3200);  // 0.2 s later; in single precision 3.2 - 3.0 falls just short of 0.2
    EXPECT_EQ(fpsFrameCount, 1u);
    EXPECT_EQ(framesPerSecond, firstRate);
    frameAt(3201);
    EXPECT_EQ(fpsFrameCount, 0u);
    EXPECT_NEAR(framesPerSecond, 2 / 0.201f, 0.01);
    // From a period start of 0 the reading 0.2f lies just above the double 0.2 and closes it.
    SetUp();
    frameAt(200);
    EXPECT_EQ(fpsFrameCount, 0u);
}

TEST_F(FrameTiming, SteadyFiftyPerSecondAlsoAfterTheClockStartsOver) {
    for (uint32_t milliseconds : {10000u, 5u}) {  // then the millisecond counter wrapped
        frameAt(milliseconds);
        for (int period = 0; period < 4; ++period) {
            const float phaseBefore = animationPhase;
            const int frames = periodAtFiftyPerSecond(milliseconds);
            ASSERT_TRUE(frames == 10 || frames == 11) << frames;
            EXPECT_EQ(animationPhase - phaseBefore, frames * (frames + 1) / 2);
            EXPECT_NE(hudLine(3).find("FPS: 50.00\n"), std::string::npos) << hudLine(3);
        }
    }
}

TEST(HudLines, PrintTheViewerState) {
    EXPECT_EQ(hudLine(1), "Kalimbor v.1.4");
    EXPECT_EQ(hudLine(2), "Rozlisenie:800x600@16 bit\n");
    worldOffsetX = -530.5f;
    pitch = -90;
    heading = 12.345f;
    EXPECT_EQ(hudLine(3).rfind("Pozicia(x,y,z): 530.50, ", 0), 0u) << hudLine(3);
    EXPECT_EQ(hudLine(4).rfind("Uhly(x,z,sklon priamy, sklon bocny): -90.00, 12.35, ", 0), 0u)
        << hudLine(4);
    worldOffsetX = pitch = heading = 0;
}

TEST(HudLines, LongestLinesFitAndLongerTextIsCut) {
    worldOffsetX = worldOffsetY = groundZ = framesPerSecond = FLT_MAX;
    pitch = heading = forwardTilt = sideTilt = -FLT_MAX;
    for (int line = 1; line <= 4; ++line) {
        char text[hudLineSize];
        const int length = formatHudLine(line, text, sizeof text);
        EXPECT_LT(length, static_cast<int>(hudLineSize)) << "line " << line;
        EXPECT_EQ(std::strlen(text), static_cast<size_t>(length)) << "line " << line;
    }
    char guarded[64];
    std::memset(guarded, '#', sizeof guarded);
    EXPECT_GT(formatHudLine(4, guarded, 40), 40);
    EXPECT_EQ(std::strlen(guarded), 39u);
    EXPECT_EQ(guarded[40], '#');
    worldOffsetX = worldOffsetY = groundZ = framesPerSecond = 0;
    pitch = heading = forwardTilt = sideTilt = 0;
}
