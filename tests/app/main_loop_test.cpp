// main_loop_test.cpp — the loop, its event handler and key bindings, on the scripted layer and GL.
#include "app/main_loop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>

#include "app/main_window.h"
#include "platform/virtual_keys.h"
#include "scene/viewer.h"
#include "support/gl_test_context.h"
#include "support/scripted_platform.h"

namespace {

using Steps = std::vector<std::string>;

void expectNear(const std::vector<float>& seen, const std::vector<float>& wanted) {
    for (size_t i = 0; i < wanted.size(); ++i) EXPECT_NEAR(seen[i], wanted[i], 1e-6) << i;
}

struct MainLoop : ::testing::Test {
    ScriptedPlatformSession session{true};
    MainLoop() { scripted.realGl = true; }

    // Runs the program. `atFrame` runs after each buffer swap up to `lastFrame`, that is after the
    // frame was drawn and before that step's bindings; what it queues reaches the next step.
    // Escape goes down after frame `lastFrame`.
    int32_t run(int lastFrame, std::function<void(int)> atFrame = nullptr) {
        scripted.frameLimit = lastFrame + 50;
        scripted.onFrame = [=](int frame) {
            if (atFrame && frame <= lastFrame) atFrame(frame);
            if (frame == lastFrame) scripted.queueKeyDown(virtualKeyEscape);
        };
        int32_t exitCode = runMainLoop();
        EXPECT_FALSE(scripted.runawayLoopStopped);
        return exitCode;
    }
    int32_t runQueuing(int at, std::vector<EventKind> kinds, uint8_t key = 0) {
        return run(100, [=](int frame) {
            if (frame != at) return;
            for (EventKind kind : kinds) scripted.queue(kind, key);
        });
    }
};

// Motion arrives in bursts of any size between steps: each pixel adds 0.1 to the rate once, and
// the rate is damped by 0.7 before each frame turns the view by it, so in all a pixel turns the
// view by 0.1 * 0.7 / 0.3 degrees.
TEST_F(MainLoop, EveryPointerMotionTurnsTheViewOnce) {
    const int32_t bursts[][2] = {{3, -1}, {0, 0}, {-40, 7}, {1, 1}, {250, -2}, {-7, 0}};
    run(60, [&](int frame) {
        if (frame > 6) return;
        scripted.pointerX += bursts[frame - 1][0];
        scripted.pointerY += bursts[frame - 1][1];
        // The first step has seen no motion, the second the first burst, damped once since.
        if (frame <= 2) EXPECT_FLOAT_EQ(headingRate, frame == 1 ? 0 : 0.3f * 0.7f);
    });
    // The rate decays geometrically; by the last frame the turn is complete to float precision.
    EXPECT_NEAR(heading, 207 * 0.1 * 0.7 / 0.3, 1e-3);
    EXPECT_NEAR(pitchAccumulator, 5 * 0.1 * 0.7 / 0.3, 1e-3);
}

// Minimised, nothing damps what a step adds. Each step starts from rest at another heading and
// walking speed (also below zero) with one arrow or all four, and one of A, S, R and E held.
TEST_F(MainLoop, EachStepAddsTheHeldKeysAlongTheHeading) {
    scripted.queue(EventKind::minimised);
    const uint8_t arrows[] = {virtualKeyUp, virtualKeyDown, virtualKeyLeft, virtualKeyRight};
    const uint8_t others[] = {virtualKeyA, virtualKeyS, virtualKeyR, virtualKeyE};
    const float distance[4] = {10, -10, 0, 0}, speedChange[4] = {0, 0, 0.01f, -0.01f};
    // Per arrow: walk direction and phase, strafe direction and phase (later opposite key wins).
    const float leans[5][4] = {
        {1, 1, 0, 0}, {-1, -1, 0, 0}, {0, 0, 1, 1}, {0, 0, -1, -1}, {-1, 0, -1, 0}};
    std::vector<float> wanted;
    run(41, [&](int frame) {
        if (frame > 1)
            expectNear({velocityX, velocityY, walkDirection, walkPhase, strafeDirection,
                        strafePhase, viewDistance, walkSpeed},
                       wanted);
        const int arrow = frame % 5, other = frame % 4;
        std::fill(std::begin(keys), std::end(keys), 0);
        for (int a = 0; a < 4; ++a) keys[arrows[a]] = arrow == a || arrow == 4;
        keys[others[other]] = 1;
        resetViewerState();
        heading = 47.0f * frame;
        walkSpeed = 0.6f - 0.03f * frame;
        // Forward is (sin, cos) of the heading; a step to the left is a quarter turn from it.
        const double h = heading * M_PI / 180, sign = arrow % 2 ? -1 : 1;
        const double forward = arrow < 2 ? sign * walkSpeed : 0;
        const double left = arrow == 2 || arrow == 3 ? sign * strafeSpeed : 0;
        wanted = {float(forward * std::sin(h) - left * std::cos(h)),
                  float(forward * std::cos(h) + left * std::sin(h))};
        wanted.insert(wanted.end(), leans[arrow], leans[arrow] + 4);
        wanted.insert(wanted.end(), {distance[other], walkSpeed + speedChange[other]});
    });
}

// However short a press, a step sees the key down; every release (also one held back for a step)
// ends both leans till a held arrow sets its direction again. Up tapped before the first step acts
// in it once (minimised, nothing damps it); F1 held toggles once, as does F1 down, up, down, up
// before one step; a tap right after the step that toggled (as the window reopens) toggles again;
// Escape tapped with F1 ends the loop once F1 has toggled. The first fullscreen mode is refused.
TEST_F(MainLoop, EveryKeyPressReachesAFrameStep) {
    scripted.failStep("switchDisplayMode", 1);
    scripted.queue(EventKind::minimised);
    scripted.queueKeyDown(virtualKeyLeft);  // held throughout
    scripted.queueKeyTap(virtualKeyUp);
    std::vector<float> modes, strafing;
    run(20, [&](int frame) {
        modes.push_back(fullscreen);
        strafing.push_back(strafeDirection);
        if (frame <= 3) scripted.queueKeyDown(virtualKeyF1);  // 2 and 3: auto-repeat
        if (frame == 4) scripted.queueKeyUp(virtualKeyF1);
        if (frame >= 5 && frame <= 7) scripted.queueKeyTap(virtualKeyF1);
        if (frame == 5) scripted.queueKeyTap(virtualKeyF1);
        if (frame == 7) scripted.queueKeyTap(virtualKeyEscape);
    });
    // Frame k sees step k - 1 and the events after it.
    EXPECT_EQ(modes, (std::vector<float>{0, 0, 1, 1, 1, 1, 0, 1}));
    EXPECT_EQ(strafing, (std::vector<float>{0, 0, 1, 1, 0, 0, 0, 0}));
    EXPECT_TRUE(!fullscreen && !walkDirection && scripted.callCount("destroyWindow") == 5 &&
                scripted.messageBoxes.size() == 1 && scripted.misusedHandles.empty());
    expectNear({velocityY, walkPhase, velocityX}, {0.1f, 1, -0.8f});
}

TEST_F(MainLoop, CrouchAndLightingFollowTheirKeysThroughLatches) {
    std::vector<int> crouched, lit;
    run(8, [&](int frame) {
        crouched.push_back(crouchHeld);
        lit.push_back(lightingEnabled);
        for (uint8_t key : {virtualKeyC, virtualKeyL}) {
            if (frame == 2 || frame == 3 || frame == 5) scripted.queueKeyDown(key);  // 3: repeat
            if (frame == 4 || frame == 6) scripted.queueKeyUp(key);
        }
    });
    // Frame k sees what step k - 1 applied of the keys queued after frame k - 2.
    EXPECT_EQ(crouched, (std::vector<int>{0, 0, 0, 1, 1, 0, 1, 0}));
    EXPECT_EQ(lit, (std::vector<int>{0, 1, 1, 0, 0, 1, 0, 1}));  // 0 in the very first frame
}

// A start or a reopen that fails has told the user and holds nothing; the program then ends with
// a failure code, so whoever started it knows no window was shown.
TEST_F(MainLoop, FailedStartOrReopenEndsWithAFailureCode) {
    scripted.failStep("createWindow", 2);
    EXPECT_EQ(runQueuing(1, {EventKind::keyDown}, virtualKeyF1), exitCodeNoWindow);
    EXPECT_EQ(scripted.frames, 2);
    EXPECT_EQ(scripted.messageBoxes, Steps{"[CHYBA] Chyba pri vytvarani okna. (exclamation, ok)"});
    EXPECT_TRUE(scripted.misusedHandles.empty());
    EXPECT_FALSE(scripted.displayUp);

    ScriptedPlatformSession failedStart;
    scripted.failStep("openDisplay");
    EXPECT_EQ(runMainLoop(), exitCodeNoWindow);
    EXPECT_EQ(scripted.calls, (Steps{"openDisplay", "messageBox", "closeDisplay"}));
    EXPECT_EQ(scripted.messageBoxes,
              Steps{"[CHYBA] Zlyhanie registracie triedy pre okno. (exclamation, ok)"});
    // The program's exit code is the loop's: started with no display to open, it ends with 1.
    const char command[] = "DISPLAY=:65000 SDL_VIDEODRIVER=x11 " KALIMBOR_BINARY " 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(command)), exitCodeNoWindow);
}

TEST_F(MainLoop, CloseRequestEndsOnceWithZeroAndALostWindowWithAFailure) {
    EXPECT_EQ(runQueuing(3, {EventKind::closeRequested, EventKind::keyUp}), exitCodeNormal);
    EXPECT_TRUE(scripted.frames == 3 && scripted.callCount("destroyWindow") == 1);
    ScriptedPlatformSession lostWhileClosing(true);  // seen only once the window is closed
    scripted.realGl = true;
    EXPECT_EQ(runQueuing(3, {EventKind::closeRequested, EventKind::windowLost}), exitCodeNoWindow);
    EXPECT_EQ(scripted.messageBoxes.size(), 1u);

    ScriptedPlatformSession lost(true);
    scripted.realGl = true;
    EXPECT_EQ(runQueuing(2, {EventKind::windowLost}), exitCodeNoWindow);
    EXPECT_EQ(scripted.frames, 2);  // never another frame into nothing
    EXPECT_EQ(mainWindow, nullptr);
    EXPECT_EQ(scripted.messageBoxes, Steps{"[CHYBA] Okno programu sa stratilo. (exclamation, ok)"});
    EXPECT_FALSE(scripted.displayUp);
}

TEST(EventHandler, MinimisingReleaseRightButtonAndResize) {
    ScriptedPlatformSession session;
    walkDirection = strafeDirection = -1;
    handleWindowEvent({EventKind::minimised, 0, 0, 0});
    handleWindowEvent({EventKind::keyUp, virtualKeyA, 0, 0});
    handleWindowEvent({EventKind::rightButtonDown, 0, 0, 0});
    EXPECT_TRUE(!active && walkDirection == 0 && strafeDirection == 0 && raiseHeld == 1);
    handleWindowEvent({EventKind::restored, 0, 0, 0});
    handleWindowEvent({EventKind::rightButtonUp, 0, 0, 0});
    EXPECT_TRUE(active && raiseHeld == 0);
    GlTestContext gl;
    handleWindowEvent({EventKind::resized, 0, 300, 500});
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_TRUE(viewport[2] == 300 && viewport[3] == 500);
}

}  // namespace
