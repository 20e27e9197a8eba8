// viewer_test.cpp — the motion model frame by frame, and the view transform on a real GL context.
#include "scene/viewer.h"

#include <gtest/gtest.h>

#include "support/gl_test_context.h"
#include "support/scripted_platform.h"

// Every test starts from the program's start values.
struct ViewerMotion : ::testing::Test {
    ViewerMotion() { resetProgramState(); }
};

static void runFrames(int count) {
    for (int i = 0; i < count; ++i) advanceViewer();
}

// The eye stands at the heights of the frame before; no bob while animationPhase is 0.
TEST_F(ViewerMotion, EyeRisesToStandingHeightThenRaisingAndCrouchingMoveIt) {
    advanceViewer();
    EXPECT_EQ(groundZ, 0.0f);
    EXPECT_TRUE(torsoHeight == 10.0f && legHeight == 0.4f);
    runFrames(24);
    EXPECT_LT(legHeight, 10.0f);  // 25 steps of 0.4 fall just short in single precision
    runFrames(2);
    EXPECT_EQ(groundZ, -20.0f);
    raiseHeld = crouchHeld = 1;  // the torso up to 15 by 0.5, the legs down to 2 by 0.4
    runFrames(21);
    EXPECT_FLOAT_EQ(groundZ, -17.0f);
    raiseHeld = crouchHeld = 0;
    runFrames(22);
    EXPECT_EQ(groundZ, -20.0f);
}

TEST_F(ViewerMotion, SteadyWalkThenGlideAfterRelease) {
    float before = 0;
    for (int frame = 0; frame < 300; ++frame) {  // the forward key at heading 0, once per step
        before = worldOffsetY;
        advanceViewer();
        velocityY += walkSpeed;
    }
    EXPECT_NEAR(before - worldOffsetY, 0.4045, 5e-4);
    const float releasedAt = worldOffsetY, velocityAtRelease = velocityY;
    runFrames(400);
    EXPECT_NEAR(releasedAt - worldOffsetY, 4.045 * velocityAtRelease, 1e-3);
    EXPECT_EQ(worldOffsetX, 0.0f);
}

TEST_F(ViewerMotion, OneMouseMoveTurnsAboutPoint2333DegreesPerPixel) {
    pitchAccumulator = -90;
    headingRate += 0.1f * 30;  // 30 pixels right
    pitchRate += 0.1f * 12;    // 12 pixels down
    runFrames(200);
    EXPECT_NEAR(heading, 0.23333 * 30, 1e-3);
    EXPECT_NEAR(pitch, -90 + 0.23333 * 12, 1e-3);
}

TEST_F(ViewerMotion, PitchIsLimitedButTheAccumulatorRunsOn) {
    runFrames(1);
    EXPECT_EQ(pitch, 0.0f);  // straight down at start
    pitchRate = -200;        // 466.7 degrees up: far past straight up
    runFrames(50);
    EXPECT_EQ(pitch, -180.0f);
    pitchRate = 40;  // back down by 93.3: still beyond straight up
    runFrames(50);
    EXPECT_EQ(pitch, -180.0f);
    pitchRate = 100;  // another 233.3: the view turns down again
    runFrames(50);
    EXPECT_NEAR(pitch, -140.0f, 1e-2);
}

TEST_F(ViewerMotion, LeansReachTheirLimitsAndReturnToExactlyZero) {
    walkDirection = 1;
    strafeDirection = -1;
    runFrames(21);
    EXPECT_TRUE(forwardTilt == -4.0f && sideTilt == 2.0f);
    walkDirection = strafeDirection = 0;
    runFrames(21);  // back in steps of 0.2, ending on exactly 0
    EXPECT_TRUE(forwardTilt == 0.0f && sideTilt == 0.0f);
}

// Facing world +x, level, brought 5 nearer: eye coordinates of world points under the modelview
// the frame leaves behind.
TEST_F(ViewerMotion, ViewTransformTurnsThenPitchesThenDollies) {
    GlTestContext gl(64, 64);
    ASSERT_TRUE(gl.valid());
    glMatrixMode(GL_MODELVIEW);
    pitchAccumulator = -90;
    heading = 90;
    viewDistance = 5;
    advanceViewer();
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    const float ahead[3] = {m[0] * 10 + m[12], m[1] * 10 + m[13], m[2] * 10 + m[14]};
    EXPECT_NEAR(ahead[0], 0, 1e-4);
    EXPECT_NEAR(ahead[1], 0, 1e-4);
    EXPECT_NEAR(ahead[2], -5, 1e-4);
    EXPECT_NEAR(m[9], 1, 1e-4);  // world up is eye up
}
