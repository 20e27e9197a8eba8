// viewer_test.cpp — the motion model frame by frame, and the view transform on a real GL context.
#include "scene/viewer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support/gl_test_context.h"
#include "support/scripted_platform.h"

// Every test starts from the program's start values, on a GL context for the view transform.
struct ViewerMotion : ::testing::Test {
    ScriptedPlatformSession session;
    GlTestContext gl{64, 64};
};

static void runFrames(int count) {
    for (int i = 0; i < count; ++i) advanceViewer();
}

// The eye stands at the heights of the frame before; no bob while animationPhase is 0. Leans
// reach their limits and return in steps of 0.2 to exactly 0.
TEST_F(ViewerMotion, EyeRisesToStandingHeightCrouchesAndLeans) {
    advanceViewer();
    EXPECT_TRUE(groundZ == 0.0f && torsoHeight == 10.0f && legHeight == 0.4f);
    runFrames(24);
    EXPECT_LT(legHeight, 10.0f);  // 25 steps of 0.4 fall just short in single precision
    runFrames(2);
    EXPECT_EQ(groundZ, -20.0f);
    raiseHeld = crouchHeld = walkDirection = 1, strafeDirection = -1;  // torso to 15, legs to 2
    for (int step = 0; step < 21; ++step) {  // by 0.5 and 0.4 a step, never past the limits
        const float torso = torsoHeight, legs = legHeight;
        advanceViewer();
        EXPECT_FLOAT_EQ(torsoHeight, std::min(15.0f, torso + 0.5f));
        EXPECT_FLOAT_EQ(legHeight, std::max(2.0f, legs - 0.4f));
    }
    EXPECT_TRUE(groundZ == -17.0f && forwardTilt == -4.0f && sideTilt == 2.0f);
    raiseHeld = crouchHeld = walkDirection = strafeDirection = 0;
    for (int step = 0; step < 22; ++step) {  // the leans come back by 0.2 a step, to exactly 0
        const float forward = forwardTilt, side = sideTilt;
        advanceViewer();
        EXPECT_NEAR(forwardTilt, std::min(0.0f, forward + 0.2f), 1e-5) << step;
        EXPECT_NEAR(sideTilt, std::max(0.0f, side - 0.2f), 1e-5) << step;
    }
    EXPECT_TRUE(groundZ == -20.0f && forwardTilt == 0.0f && sideTilt == 0.0f);
}

// Forward and sideways keys once per step, then a glide. Mouse turning: see the main-loop test.
TEST_F(ViewerMotion, SteadyWalkThenGlide) {
    float before = 0;
    for (int frame = 0; frame < 300; ++frame) {
        velocityY += walkSpeed;
        velocityX += strafeSpeed;
        before = worldOffsetY;
        advanceViewer();
    }
    EXPECT_NEAR(before - worldOffsetY, 0.4045, 5e-4);
    const float releasedAt = worldOffsetY, velocityAtRelease = velocityY;
    runFrames(400);
    EXPECT_NEAR(releasedAt - worldOffsetY, 4.045 * velocityAtRelease, 1e-3);
    EXPECT_EQ(worldOffsetX, worldOffsetY);
}

// From straight down, 466.7 degrees up goes far past straight up, 93.3 back down is still beyond
// it, another 233.3 turns the view down again, and 233.3 more would go past straight down.
TEST_F(ViewerMotion, PitchIsLimitedButTheAccumulatorRunsOn) {
    for (const auto& [rate, wanted] : {std::pair{-200, -180}, {40, -180}, {100, -140}, {100, 0}}) {
        pitchRate = rate;
        runFrames(50);
        EXPECT_NEAR(pitch, wanted, 1e-2) << rate;
    }
}

// Facing +x, level, 5 nearer. Leans and sway (peak roll 0.7, nod 0.5 degrees) roll and nod the
// view: in eye coordinates world up is (-sin roll, cos roll cos nod, cos roll sin nod).
TEST_F(ViewerMotion, ViewTransformTurnsPitchesLeansSwaysAndDollies) {
    ASSERT_TRUE(gl.valid());
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 1, 1);
    advanceViewer();  // each frame starts on a cleared picture
    unsigned char pixel[3];
    glReadPixels(9, 9, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[2], 255);
    const float peak = 3.14159265f / 2 / 0.2f;
    // Walk and strafe directions, walk and strafe phases, then the roll and nod in degrees.
    const float cases[][6] = {{0, 0, 0, 0, 0, 0},
                              {1, -1, 0, 0, 2, -4},
                              {0, 0, peak, 0, 0.7f, 0.5f},
                              {0, 0, 0, peak, 0.7f, 0.5f}};
    for (const auto& [walk, strafe, walkSway, strafeSway, rollDegrees, nodDegrees] : cases) {
        resetProgramState();
        pitchAccumulator = -90, heading = 90, viewDistance = 5;
        walkDirection = walk, strafeDirection = strafe;
        if (walk != 0) runFrames(20);  // leaning to -4 forwards and 2 sideways
        walkPhase = walkSway, strafePhase = strafeSway;
        advanceViewer();
        float m[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        const double roll = rollDegrees * 3.14159265 / 180, nod = nodDegrees * 3.14159265 / 180;
        EXPECT_NEAR(m[8], -std::sin(roll), 1e-5);
        EXPECT_NEAR(m[9], std::cos(roll) * std::cos(nod), 1e-5);
        EXPECT_NEAR(m[10], std::cos(roll) * std::sin(nod), 1e-5);
        EXPECT_NEAR(m[0] * 10 + m[12], 0, 1e-3);  // the point 10 ahead
        EXPECT_NEAR(m[2] * 10 + m[14], 5 - 10 * std::cos(nod), 1e-4);
    }
}
