// viewer_test.cpp — the motion model frame by frame, and the view transform on a real GL context.
#include "scene/viewer.h"

#include <gtest/gtest.h>

#include "support/gl_test_context.h"
#include "support/scripted_platform.h"

namespace {

// Every test starts from the program's start values.
struct ViewerMotion : ::testing::Test {
    ViewerMotion() { resetProgramState(); }
};

void runFrames(int count) {
    for (int i = 0; i < count; ++i) advanceViewer();
}

TEST_F(ViewerMotion, EyeRisesFromGroundToStandingHeightOverTwentySixFrames) {
    advanceViewer();
    EXPECT_EQ(groundZ, 0.0f);  // the heights of before the first ramp
    EXPECT_EQ(torsoHeight, 10.0f);
    EXPECT_FLOAT_EQ(legHeight, 0.4f);
    runFrames(24);
    EXPECT_LT(legHeight, 10.0f);  // 25 steps of 0.4 fall just short in single precision
    EXPECT_NEAR(legHeight, 10.0f, 1e-5);
    advanceViewer();
    EXPECT_EQ(legHeight, 10.0f);
    advanceViewer();
    EXPECT_EQ(groundZ, -20.0f);  // no bob while animationPhase is 0
}

TEST_F(ViewerMotion, SteadyWalkThenGlideAfterRelease) {
    float before = 0;
    for (int frame = 0; frame < 300; ++frame) {  // the forward key at heading 0, once per step
        before = worldOffsetY;
        advanceViewer();
        velocityY += walkSpeed;
    }
    EXPECT_NEAR(before - worldOffsetY, 0.4045, 5e-4);
    float releasedAt = worldOffsetY;
    float velocityAtRelease = velocityY;
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
    EXPECT_EQ(forwardTilt, -4.0f);
    EXPECT_EQ(sideTilt, 2.0f);
    walkDirection = 0;
    strafeDirection = 0;
    runFrames(21);  // back in steps of 0.2, ending on exactly 0
    EXPECT_EQ(forwardTilt, 0.0f);
    EXPECT_EQ(sideTilt, 0.0f);
}

// Eye coordinates of a world point under the modelview the frame leaves behind.
void eyeOf(const float world[3], float eye[3]) {
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int row = 0; row < 3; ++row)
        eye[row] = m[row] * world[0] + m[4 + row] * world[1] + m[8 + row] * world[2] + m[12 + row];
}

TEST_F(ViewerMotion, ViewTransformTurnsThenPitchesThenDollies) {
    GlTestContext gl(64, 64);
    ASSERT_TRUE(gl.valid());
    glMatrixMode(GL_MODELVIEW);
    pitchAccumulator = -90;  // level
    heading = 90;            // facing world +x
    viewDistance = 5;
    advanceViewer();
    const float ahead[3] = {10, 0, 0}, up[3] = {0, 0, 10};
    float eye[3];
    eyeOf(ahead, eye);  // in front of the eye, 10 away, brought 5 nearer
    EXPECT_NEAR(eye[0], 0, 1e-4);
    EXPECT_NEAR(eye[1], 0, 1e-4);
    EXPECT_NEAR(eye[2], -5, 1e-4);
    eyeOf(up, eye);
    EXPECT_NEAR(eye[1], 10, 1e-4);
}

}  // namespace
