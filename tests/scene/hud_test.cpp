// Frame timing on a clock the test sets, and the overlay's lines: their text, place and tint.
#include "scene/hud.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <map>
#include <set>

#include "draw/font.h"
#include "scene/viewer.h"
#include "support/gl_test_context.h"
#include "support/scripted_platform.h"

// A line as printed, which must never be cut off, however long its numbers.
static std::string hudLine(int line) {
    char text[hudLineSize];
    EXPECT_LT(formatHudLine(line, text, sizeof text), int(sizeof text)) << line;
    return text;
}

// Starts from the program's start values, no frame timed yet, and drives the clock by hand.
struct FrameTiming : ::testing::Test {
    ScriptedPlatformSession session;
    void frameAt(uint32_t ms) { scripted.clockMilliseconds = ms, updateFrameTiming(); }
};

// The phase advances by the running count of the period: 1, then 2, and so on.
TEST_F(FrameTiming, PeriodClosesOnlyStrictlyPastTwoTenths) {
    frameAt(3000);  // the first period runs from the clock's start
    frameAt(3200);  // 0.2 s later; in single precision 3.2 - 3.0 falls just short of 0.2
    EXPECT_NEAR(framesPerSecond, 1 / 3.0f, 1e-6);
    frameAt(3201);
    EXPECT_NEAR(framesPerSecond, 2 / 0.201f, 0.01);
    EXPECT_EQ(animationPhase, 1 + 1 + 2);
    // From a period start of 0 the reading 0.2f lies just above the double 0.2 and closes it.
    resetProgramState();
    frameAt(200);
    EXPECT_EQ(framesPerSecond, 5);
}

TEST_F(FrameTiming, SteadyFiftyPerSecondAlsoAfterTheClockStartsOver) {
    for (uint32_t milliseconds : {10000u, 5u}) {  // then the millisecond counter wrapped
        frameAt(milliseconds);
        for (int period = 0; period < 4; ++period) {
            const float phaseBefore = animationPhase;
            int frames = 0;
            while (++frames <= 20 && (frameAt(milliseconds += 20), fpsFrameCount != 0)) continue;
            ASSERT_TRUE(frames == 10 || frames == 11) << frames;
            EXPECT_EQ(animationPhase - phaseBefore, frames * (frames + 1) / 2);
            EXPECT_NE(hudLine(3).find("FPS: 50.00\n"), std::string::npos) << hudLine(3);
        }
    }
}

TEST(HudLines, PrintTheViewerState) {
    ScriptedPlatformSession session;
    EXPECT_EQ(hudLine(1), "Kalimbor v.1.4");
    EXPECT_EQ(hudLine(2), "Rozlisenie:800x600@16 bit\n");
    worldOffsetX = -530.5f, worldOffsetY = 12, groundZ = -20, framesPerSecond = 49.5f;
    pitch = -90, heading = 12.345f, forwardTilt = -4, sideTilt = 2;
    EXPECT_EQ(hudLine(3), "Pozicia(x,y,z): 530.50, -12.00, 20.00 FPS: 49.50\n");
    EXPECT_EQ(hudLine(4), "Uhly(x,z,sklon priamy, sklon bocny): -90.00, 12.35, -4.00, 2.00\n");
    worldOffsetX = worldOffsetY = groundZ = framesPerSecond = FLT_MAX;  // the longest numbers
    pitch = heading = forwardTilt = sideTilt = -FLT_MAX;
    hudLine(3), hudLine(4);
}

// Title and mode top left, position and angles bottom left: lower edge -> tint, left edge, glyphs.
TEST(HudOverlay, PrintsFourTintedLines) {
    ScriptedPlatformSession session;
    GlTestContext gl(1024, 768);
    ASSERT_TRUE(gl.valid());
    createGlyphLists();
    std::map<float, std::vector<float>> lines;  // red, green, blue, left edge, glyphs
    std::map<float, std::set<int>> columns;     // glyphs stand 12 apart from x = 2
    for (const FeedbackPrimitive& triangle : captureFeedback(drawHudOverlay)) {
        const FeedbackVertex& v = triangle.vertices[0];
        float left = 1e9, bottom = 1e9;
        for (const FeedbackVertex& corner : triangle.vertices)
            left = std::min(left, corner.x), bottom = std::min(bottom, corner.y);
        columns[bottom].insert(int((left - 2) / 12));
        const float leftmost = lines[bottom].empty() ? left : std::min(left, lines[bottom][3]);
        lines[bottom] = {v.r, v.g, v.b, leftmost, float(columns[bottom].size())};
    }
    auto glyphs = [](int line) { return float(hudLine(line).size() - (line > 1)); };  // not "\n"
    EXPECT_EQ(lines, (std::map<float, std::vector<float>>{{753, {1, 1, 1, 2, glyphs(1)}},
                                                          {738, {0.7f, 0.7f, 1, 2, glyphs(2)}},
                                                          {20, {0.7f, 0.7f, 1, 2, glyphs(3)}},
                                                          {2, {1, 0.7f, 0.7f, 2, glyphs(4)}}}));
}
