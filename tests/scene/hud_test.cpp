// Frame timing on a clock the test sets, the text of the overlay lines, and where and in which
// tint the overlay prints them.
#include "scene/hud.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>

#include "draw/font.h"
#include "platform/platform.h"
#include "scene/viewer.h"
#include "support/gl_test_context.h"

namespace {

uint32_t clockMilliseconds = 0;
uint32_t readTestClock() {
    return clockMilliseconds;
}

std::string hudLine(int line) {
    char text[hudLineSize];
    formatHudLine(line, text, sizeof text);
    return text;
}

// Starts from the program's initial timing state and drives the platform clock by hand.
struct FrameTiming : ::testing::Test {
    const PlatformLayer* saved = platform;
    PlatformLayer layer = sdlPlatformLayer;

    void SetUp() override {
        layer.milliseconds = &readTestClock;
        platform = &layer;
        clockSeconds = fpsPeriodStart = framesPerSecond = animationPhase = 0;
        fpsFrameCount = 0;
    }
    void TearDown() override { platform = saved; }

    void frameAt(uint32_t milliseconds) {
        clockMilliseconds = milliseconds;
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

TEST_F(FrameTiming, SteadyFiftyPerSecond) {
    uint32_t milliseconds = 10000;
    frameAt(milliseconds);
    for (int period = 0; period < 8; ++period) {
        const float phaseBefore = animationPhase;
        const int frames = periodAtFiftyPerSecond(milliseconds);
        ASSERT_TRUE(frames == 10 || frames == 11) << frames;
        EXPECT_EQ(animationPhase - phaseBefore, frames * (frames + 1) / 2);
        EXPECT_NE(hudLine(3).find("FPS: 50.00\n"), std::string::npos) << hudLine(3);
    }
}

TEST_F(FrameTiming, ClockStartingOverBeginsANewPeriod) {
    uint32_t milliseconds = 60000;
    frameAt(milliseconds);
    periodAtFiftyPerSecond(milliseconds);
    milliseconds = 5;  // the millisecond counter wrapped or was restarted
    frameAt(milliseconds);
    const float phaseBefore = animationPhase;
    const int frames = periodAtFiftyPerSecond(milliseconds);
    ASSERT_TRUE(frames == 10 || frames == 11) << frames;
    EXPECT_EQ(animationPhase - phaseBefore, frames * (frames + 1) / 2);
    EXPECT_NEAR(framesPerSecond, 50, 0.01);
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

// Each line at its place in the overlay and in its tint: a 1024 x 768 window makes window
// coordinates overlay units.
TEST(HudOverlay, LinesStandInTheirCornersInTheirTints) {
    GlTestContext gl(1024, 768);
    ASSERT_TRUE(gl.valid());
    createGlyphLists();
    auto triangles = captureFeedback([] { drawHudOverlay(); });
    struct Band {
        float bottom, r, g, b;
        float right = 0;
    } bands[] = {{753, 1, 1, 1}, {738, 0.7f, 0.7f, 1}, {20, 0.7f, 0.7f, 1}, {2, 1, 0.7f, 0.7f}};
    for (const FeedbackPrimitive& triangle : triangles) {
        float bottom = triangle.vertices[0].y;
        for (const FeedbackVertex& v : triangle.vertices) bottom = std::fmin(bottom, v.y);
        Band* band = std::find_if(std::begin(bands), std::end(bands),
                                  [&](const Band& b) { return b.bottom == bottom; });
        ASSERT_NE(band, std::end(bands)) << "glyph at y " << bottom;
        const FeedbackVertex& v = triangle.vertices[0];
        EXPECT_TRUE(std::fabs(v.r - band->r) + std::fabs(v.g - band->g) + std::fabs(v.b - band->b) <
                    1e-3)
            << "glyph at y " << bottom << " in " << v.r << ", " << v.g << ", " << v.b;
        for (const FeedbackVertex& corner : triangle.vertices)
            band->right = std::fmax(band->right, corner.x);
    }
    // The last glyph of an n-glyph line ends at 2 + 12 (n - 1) + 16; the line feed of line 2
    // prints nothing.
    EXPECT_EQ(bands[0].right, 18 + 12 * (std::strlen("Kalimbor v.1.4") - 1));
    EXPECT_EQ(bands[1].right, 18 + 12 * (hudLine(2).size() - 2));
    EXPECT_GT(bands[2].right, 0);
    EXPECT_GT(bands[3].right, 0);
    deleteGlyphLists();
}
